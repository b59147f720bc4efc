// Moving records in and out through CSV files: the preview shown before an
// import writes anything, and the import and the export themselves, which
// the main window's menu items and a file dropped on it run.
#pragma once

#include <QDialog>

class QCheckBox;

namespace sb::common {
class Prompter;
class Records;
} // namespace sb::common
namespace sb::csv {
struct ImportPreview;
}

namespace sb::dialogs::importing {

// What importing a file would add and what it leaves out, as lines of plain
// text; OK imports, Cancel (Esc, the close box) writes nothing. The accounts
// there already with another password keep it unless "replace their
// passwords" is ticked.
class frmImport_CSV final : public QDialog
{
    Q_OBJECT

public:
    // `passwordsToReplace`: some accounts are there with another password.
    frmImport_CSV(const QString& fileName, const csv::ImportPreview& preview,
                  bool passwordsToReplace, QWidget* parent = nullptr);

    bool replacePasswords() const;

public slots:
    // 0: OK, 1: Cancel.
    void cmd_Import_CSV_OK_or_Cancel_Click(int Index);

private:
    QCheckBox* chk_Import_CSV_Replace = nullptr;
};

// A file dialog for a CSV file to import, or (`forExport`) the name of one to
// write, proposed as "stashbook.csv" in the home folder. Empty when none was
// chosen.
QString chooseCsvFile(common::Prompter& prompter, bool forExport, QWidget* parent);

// Reads the export at `path`, shows the preview and, on OK, adds its sites
// and accounts (and replaces passwords, if asked) in one commit of both
// files. True when the files changed; `firstSite` then names the first site
// imported. Errors have been reported when it returns false.
bool importCsv(common::Records& records, common::Prompter& prompter, const QString& path,
               QWidget* parent, QString& firstSite);

// Once the user has been told that the file will hold every password in
// clear text, and has chosen its name, writes every account (of every site,
// and of sites that are gone) to it in Chrome's layout, for the owner alone.
// False when nothing was written: No, no name chosen, or an error (reported).
bool exportCsv(common::Records& records, common::Prompter& prompter, QWidget* parent);

} // namespace sb::dialogs::importing
