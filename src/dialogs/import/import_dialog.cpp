#include "dialogs/import/import_dialog.h"

#include "dialogs/dialog_kit.h"
#include "rules/import_export.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace sb::dialogs::importing {

namespace {

const QString kImport = QStringLiteral("[Stashbook]  :Import From CSV File:  ");
const QString kExport = QStringLiteral("[Stashbook]  :Export To CSV File:  ");

} // namespace

frmImport_CSV::frmImport_CSV(const QStringList& figures, const QStringList& listing,
                             bool passwordsToReplace, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmImport_CSV"));
    setUpDialog(this, kImport + QStringLiteral("Import These Accounts?"), 8640, 5400,
                /*resizable=*/true);

    auto* shown = new QLabel(this);
    shown->setObjectName(QStringLiteral("lbl_Import_CSV_Figures"));
    shown->setTextFormat(Qt::PlainText);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    shown->setText(figures.join(u'\n'));

    chk_Import_CSV_Replace = new QCheckBox(QStringLiteral("&Replace their passwords"), this);
    chk_Import_CSV_Replace->setObjectName(QStringLiteral("chk_Import_CSV_Replace"));
    chk_Import_CSV_Replace->setEnabled(passwordsToReplace);

    auto* rows = new QPlainTextEdit(this);
    rows->setObjectName(QStringLiteral("txt_Import_CSV_Listing"));
    rows->setAccessibleName(QStringLiteral("Rows listed"));
    rows->setReadOnly(true);
    rows->setTabChangesFocus(true);
    rows->setLineWrapMode(QPlainTextEdit::NoWrap);
    rows->setPlaceholderText(QStringLiteral("No row to list."));
    rows->setPlainText(listing.join(u'\n'));

    const OkCancel buttons = makeOkCancel(this, "cmd_Import_CSV_OK_or_Cancel", {}, {},
                                          [this](int i) { cmd_Import_CSV_OK_or_Cancel_Click(i); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(buttons.ok);
    buttonRow->addWidget(buttons.cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(shown);
    layout->addWidget(chk_Import_CSV_Replace);
    layout->addWidget(rows, 1);
    layout->addLayout(buttonRow);

    QWidget::setTabOrder(chk_Import_CSV_Replace, rows);
    QWidget::setTabOrder(rows, buttons.ok);
    QWidget::setTabOrder(buttons.ok, buttons.cancel);
    // Space ticks the box, Enter imports.
    (passwordsToReplace ? static_cast<QWidget*>(chk_Import_CSV_Replace) : buttons.ok)->setFocus();
}

bool frmImport_CSV::replacePasswords() const
{
    return chk_Import_CSV_Replace->isChecked();
}

void frmImport_CSV::cmd_Import_CSV_OK_or_Cancel_Click(int Index)
{
    if (Index == 0)
        accept();
    else
        reject();
}

QString chooseCsvFile(common::Prompter& prompter, bool forExport, QWidget* parent)
{
    QFileDialog dialog(parent, forExport ? kExport + QStringLiteral("Save As?")
                                         : kImport + QStringLiteral("Which File?"));
    dialog.setNameFilters(
        {QStringLiteral("CSV Files (*.csv *.CSV)"), QStringLiteral("All Files (*)")});
    dialog.setDirectory(QDir::home());
    if (forExport) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        dialog.selectFile(QDir::home().filePath(QStringLiteral("stashbook.csv")));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (prompter.run(dialog) != QDialog::Accepted || prompter.exiting())
        return {};
    return dialog.selectedFiles().value(0);
}

bool importCsv(common::Records& records, common::Prompter& prompter, const QString& path,
               QWidget* parent, QString& firstSite)
{
    rules::ImportJob job;
    if (rules::planImport(records, prompter, path, job) != rules::Outcome::Done)
        return false;
    bool replace = false;
    {
        frmImport_CSV dialog(job.figures, job.listing, !job.plan.passwordChanges.empty(), parent);
        if (prompter.run(dialog) != QDialog::Accepted || prompter.exiting())
            return false;
        replace = dialog.replacePasswords();
    }
    return rules::commitImport(records, prompter, job, replace, firstSite) == rules::Outcome::Done;
}

bool exportCsv(common::Records& records, common::Prompter& prompter, QWidget* parent)
{
    if (!prompter.ask(kExport + QStringLiteral("Passwords In Clear Text!"),
                      QStringLiteral("The file will hold every password in clear text: whoever "
                                     "can read the file can read them all.\n\nKeep it where "
                                     "only you can reach it, and delete it once it has served."
                                     "\n\nExport every account?")))
        return false;
    const QString path = chooseCsvFile(prompter, /*forExport=*/true, parent);
    return !path.isEmpty() &&
           rules::exportAccounts(records, prompter, path) == rules::Outcome::Done;
}

} // namespace sb::dialogs::importing
