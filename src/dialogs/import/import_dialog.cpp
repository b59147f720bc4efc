#include "dialogs/import/import_dialog.h"

#include "common/ports.h"
#include "common/shown_text.h"
#include "csv/import_preview.h"
#include "dialogs/dialog_kit.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <memory>

namespace sb::dialogs::importing {

using common::RecordKind;

namespace {

const QString kImport = QStringLiteral("[Stashbook]  :Import From CSV File:  ");
const QString kExport = QStringLiteral("[Stashbook]  :Export To CSV File:  ");

bool readAll(common::Records& records, RecordKind kind, std::vector<store::Record>& out)
{
    return records.read(kind, [&out](const store::Record& r) { out.push_back(r); });
}

// The file's path and what is wrong with it, for a box.
QString aboutFile(const QString& path, const QString& matter)
{
    return QDir::toNativeSeparators(path) + QStringLiteral("\n\n") + matter;
}

} // namespace

frmImport_CSV::frmImport_CSV(const QString& fileName, const csv::ImportPreview& preview,
                             bool passwordsToReplace, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmImport_CSV"));
    setUpDialog(this, kImport + QStringLiteral("Import These Accounts?"), 8640, 5400,
                /*resizable=*/true);

    auto* figures = new QLabel(this);
    figures->setObjectName(QStringLiteral("lbl_Import_CSV_Figures"));
    figures->setTextFormat(Qt::PlainText);
    figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    figures->setText(QStringLiteral("File: ") + common::quotedName(fileName) + u'\n' +
                     preview.figures.join(u'\n'));

    chk_Import_CSV_Replace = new QCheckBox(QStringLiteral("&Replace their passwords"), this);
    chk_Import_CSV_Replace->setObjectName(QStringLiteral("chk_Import_CSV_Replace"));
    chk_Import_CSV_Replace->setEnabled(passwordsToReplace);

    auto* listing = new QPlainTextEdit(this);
    listing->setObjectName(QStringLiteral("txt_Import_CSV_Listing"));
    listing->setAccessibleName(QStringLiteral("Rows listed"));
    listing->setReadOnly(true);
    listing->setTabChangesFocus(true);
    listing->setLineWrapMode(QPlainTextEdit::NoWrap);
    listing->setPlaceholderText(QStringLiteral("No row to list."));
    listing->setPlainText(preview.listing.join(u'\n'));

    const OkCancel buttons = makeOkCancel(this, "cmd_Import_CSV_OK_or_Cancel", {}, {},
                                          [this](int i) { cmd_Import_CSV_OK_or_Cancel_Click(i); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(buttons.ok);
    buttonRow->addWidget(buttons.cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(figures);
    layout->addWidget(chk_Import_CSV_Replace);
    layout->addWidget(listing, 1);
    layout->addLayout(buttonRow);

    QWidget::setTabOrder(chk_Import_CSV_Replace, listing);
    QWidget::setTabOrder(listing, buttons.ok);
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
    csv::CsvFile file;
    if (const QString error = csv::readCsvFile(path, file); !error.isEmpty()) {
        prompter.error(kImport + QStringLiteral("Cannot Read The File"), aboutFile(path, error));
        return false;
    }
    std::vector<store::Record> sites, accounts;
    if (!readAll(records, RecordKind::Sites, sites) ||
        !readAll(records, RecordKind::Accounts, accounts))
        return false;
    csv::ImportPlan plan = csv::planImport(file, sites, accounts);
    bool replace = false;
    {
        frmImport_CSV dialog(QFileInfo(path).fileName(), csv::previewImport(file, plan),
                             !plan.passwordChanges.empty(), parent);
        if (prompter.run(dialog) != QDialog::Accepted || prompter.exiting())
            return false;
        replace = dialog.replacePasswords() && !plan.passwordChanges.empty();
    }

    // Both files in one commit, each only when it changes.
    firstSite = QString::fromStdString(!plan.sites.empty()      ? plan.sites[0][0]
                                       : !plan.accounts.empty() ? plan.accounts[0][0]
                                       : replace                ? plan.passwordChanges[0][0]
                                                                : std::string());
    std::vector<common::Records::Edit> edits;
    if (!plan.sites.empty())
        edits.push_back({RecordKind::Sites, {}, std::move(plan.sites)});
    store::Rule rule;
    if (replace) {
        auto changes = std::make_shared<const csv::PasswordChanges>(plan.passwordChanges);
        rule = [changes](const store::Record& r) -> store::RuleAnswer {
            const std::string* password = changes->newPassword(r);
            if (!password)
                return store::Keep{};
            store::Record changed = r;
            changed[2] = *password;
            return store::Replace{std::move(changed)};
        };
    }
    if (rule || !plan.accounts.empty())
        edits.push_back({RecordKind::Accounts, rule, std::move(plan.accounts)});
    return !edits.empty() && records.commit(edits);
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
    std::vector<store::Record> sites, accounts;
    if (path.isEmpty() || !readAll(records, RecordKind::Sites, sites) ||
        !readAll(records, RecordKind::Accounts, accounts))
        return false;
    const store::Status written = csv::writeCsvFile(path, csv::exportCsv(sites, accounts));
    if (written.failed())
        prompter.error(kExport + QStringLiteral("Cannot Write The File"),
                       aboutFile(path, QString::fromStdString(written.error().message)));
    return !written.failed();
}

} // namespace sb::dialogs::importing
