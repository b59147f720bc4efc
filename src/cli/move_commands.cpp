// Moving records in and out through CSV files: import and export.
#include "cli/command.h"
#include "rules/import_export.h"

#include <QCommandLineParser>

namespace sb::cli {

using rules::Outcome;

namespace {

class Import final : public Command
{
    const QCommandLineOption dryRun{QStringLiteral("dry-run"),
                                    QStringLiteral("Prints what the import would do, and stops.")};
    const QCommandLineOption replace{
        QStringLiteral("replace"),
        QStringLiteral("Accounts there already with another password take the file's.")};

public:
    Import()
    {
        name = QStringLiteral("import");
        arguments = QStringLiteral("FILE");
        description = QStringLiteral("Imports the CSV export of a browser or password manager, "
                                     "printing the window's preview first.");
        minArgs = maxArgs = 1;
        options = {dryRun, replace};
    }

    int run(Context& c) override
    {
        rules::ImportJob job;
        if (const Outcome planned = rules::planImport(c.files, c.prompter, c.args[0], job);
            planned != Outcome::Done)
            return c.prompter.statusOf(planned);
        print(job.figures.join(u'\n') + u'\n');
        if (!job.listing.isEmpty())
            print(u'\n' + job.listing.join(u'\n') + u'\n');
        if (c.options.isSet(dryRun))
            return kDone;
        QString firstSite;
        const Outcome done =
            rules::commitImport(c.files, c.prompter, job, c.options.isSet(replace), firstSite);
        if (done == Outcome::Stopped)
            print(QStringLiteral("Nothing to import.\n"));
        return done == Outcome::Stopped ? kDone : c.prompter.statusOf(done);
    }
};

class Export final : public Command
{
public:
    Export()
    {
        name = QStringLiteral("export");
        arguments = QStringLiteral("FILE");
        description = QStringLiteral("Writes every account to FILE as CSV in Chrome's layout, "
                                     "for the owner alone: every password in clear text.");
        minArgs = maxArgs = 1;
    }

    int run(Context& c) override
    {
        int count = 0;
        const Outcome done = rules::exportAccounts(c.files, c.prompter, c.args[0], &count);
        if (done == Outcome::Done)
            print(QStringLiteral("Exported %1 accounts; the file holds their passwords in clear "
                                 "text.\n")
                      .arg(count));
        return c.prompter.statusOf(done);
    }
};

} // namespace

std::vector<std::unique_ptr<Command>> movingCommands()
{
    std::vector<std::unique_ptr<Command>> out;
    out.push_back(std::make_unique<Import>());
    out.push_back(std::make_unique<Export>());
    return out;
}

} // namespace sb::cli
