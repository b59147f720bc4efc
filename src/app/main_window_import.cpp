// The main window's handlers of moving records in and out through CSV files.
#include "app/main_window.h"
#include "browse/site_list_part.h"
#include "csv/csv_file.h"
#include "dialogs/import/import_dialog.h"
#include "history/undo_history.h"
#include "rules/data_store.h"

#include <QDropEvent>
#include <QMimeData>

namespace sb::app {

void frmStashbook::mnu_Site_Import_CSV_Click()
{
    const QString path = dialogs::importing::chooseCsvFile(*Prompts, /*forExport=*/false, this);
    if (!path.isEmpty())
        Import_CSV_File(path);
}

void frmStashbook::Import_CSV_File(const QString& path)
{
    QString firstSite;
    // One commit: one change to undo.
    if (!dialogs::importing::importCsv(*Changes, *Prompts, path, this, firstSite))
        return;
    Load_Lists(firstSite);
}

void frmStashbook::mnu_Site_Export_CSV_Click()
{
    dialogs::importing::exportCsv(*Store, *Prompts, this);
}

void frmStashbook::dragEnterEvent(QDragEnterEvent* event)
{
    if (!csv::droppedCsvFile(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void frmStashbook::dropEvent(QDropEvent* event)
{
    const QString path = csv::droppedCsvFile(event->mimeData()->urls());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The preview opens once the drop is over: the program the file came
    // from waits until then.
    QMetaObject::invokeMethod(
        this, [this, path] { Import_CSV_File(path); }, Qt::QueuedConnection);
}

} // namespace sb::app
