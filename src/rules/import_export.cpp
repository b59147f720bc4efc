#include "rules/import_export.h"

#include "common/shown_text.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace sb::rules {

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

Outcome failed(const common::Prompter& prompter)
{
    return prompter.exiting() ? Outcome::Stopped : Outcome::Failed;
}

} // namespace

Outcome planImport(common::Records& records, common::Prompter& prompter, const QString& path,
                   ImportJob& job)
{
    if (const QString error = csv::readCsvFile(path, job.file); !error.isEmpty()) {
        prompter.error(kImport + QStringLiteral("Cannot Read The File"), aboutFile(path, error));
        return failed(prompter);
    }
    std::vector<store::Record> sites, accounts;
    if (!readAll(records, RecordKind::Sites, sites) ||
        !readAll(records, RecordKind::Accounts, accounts))
        return failed(prompter);
    job.plan = csv::planImport(job.file, sites, accounts);
    const csv::ImportPreview preview = csv::previewImport(job.file, job.plan);
    job.figures =
        QStringList{QStringLiteral("File: ") + common::quotedName(QFileInfo(path).fileName())} +
        preview.figures;
    job.listing = preview.listing;
    return Outcome::Done;
}

Outcome commitImport(common::Records& records, const common::Prompter& prompter, ImportJob& job,
                     bool replacePasswords, QString& firstSite)
{
    csv::ImportPlan& plan = job.plan;
    const bool replace = replacePasswords && !plan.passwordChanges.empty();
    const std::string first = !plan.sites.empty()      ? plan.sites[0][0]
                              : !plan.accounts.empty() ? plan.accounts[0][0]
                              : replace                ? plan.passwordChanges[0][0]
                                                       : std::string();
    // Both files in one commit, each only when it changes.
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
    if (edits.empty())
        return Outcome::Stopped;
    if (!records.commit(edits))
        return failed(prompter);
    firstSite = QString::fromStdString(first);
    return Outcome::Done;
}

Outcome exportAccounts(common::Records& records, common::Prompter& prompter, const QString& path,
                       int* count)
{
    std::vector<store::Record> sites, accounts;
    if (!readAll(records, RecordKind::Sites, sites) ||
        !readAll(records, RecordKind::Accounts, accounts))
        return failed(prompter);
    const store::Status written = csv::writeCsvFile(path, csv::exportCsv(sites, accounts));
    if (written.failed()) {
        prompter.error(kExport + QStringLiteral("Cannot Write The File"),
                       aboutFile(path, QString::fromStdString(written.error().message)));
        return failed(prompter);
    }
    if (count)
        *count = int(accounts.size());
    return Outcome::Done;
}

} // namespace sb::rules
