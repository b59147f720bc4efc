// The commands that change the files: adding, changing and removing sites
// and accounts, each through the rule its dialog or button uses.
#include "cli/command.h"
#include "cli/terminal.h"
#include "rules/account_edits.h"
#include "rules/site_edits.h"

#include <QCommandLineParser>

namespace sb::cli {

using rules::Outcome;

namespace {

QCommandLineOption option(const char* name, const char* description, const char* value = nullptr)
{
    return QCommandLineOption(QLatin1String(name), QString::fromUtf8(description),
                              value ? QLatin1String(value) : QString());
}

// The answer two options give to a question: Yes, No, or none when neither
// is given. False when both are.
bool yesOrNo(const Context& c, const QCommandLineOption& yes, const QCommandLineOption& no,
             std::optional<bool>& answer)
{
    if (c.options.isSet(yes) && c.options.isSet(no)) {
        Prompter::usage(QStringLiteral("give --%1 or --%2, not both.")
                            .arg(yes.names().first(), no.names().first()));
        return false;
    }
    if (c.options.isSet(yes) || c.options.isSet(no))
        answer = c.options.isSet(yes);
    return true;
}

// The site named on the command line, as the sites file has it.
int findSite(Context& c, const QString& name, rules::SiteFields& site)
{
    return c.prompter.statusOf(rules::findSite(c.files, c.prompter, name, site));
}

// The password read for an account; the status when none could be read.
int newPassword(Context& c, QString& password)
{
    bool mismatch = false;
    const QString problem = readPassword(password, mismatch);
    if (problem.isEmpty())
        return kDone;
    if (!mismatch)
        return Prompter::usage(problem);
    c.prompter.error({}, problem);
    return kRefused;
}

class AddSite final : public Command
{
public:
    AddSite()
    {
        name = QStringLiteral("add-site");
        arguments = QStringLiteral("NAME [URL]");
        description = QStringLiteral("Adds a site (URL: www.NAME.com unless given).");
        minArgs = 1;
        maxArgs = 2;
    }

    int run(Context& c) override
    {
        const QString url = c.args.size() > 1 ? c.args[1] : rules::addressFor(c.args[0]);
        return c.prompter.statusOf(rules::addSite(c.files, c.prompter, {c.args[0], url}));
    }
};

class EditSite final : public Command
{
    const QCommandLineOption newName = option("name", "The new name.", "NEW");
    const QCommandLineOption url = option("url", "The new address.", "URL");
    const QCommandLineOption transfer =
        option("transfer", "A new name takes the site's accounts along.");
    const QCommandLineOption noTransfer =
        option("no-transfer", "A new name leaves the accounts under the old one.");

public:
    EditSite()
    {
        name = QStringLiteral("edit-site");
        arguments = QStringLiteral("NAME");
        description = QStringLiteral("Renames a site or changes its address; a new name needs "
                                     "--transfer or --no-transfer.");
        minArgs = maxArgs = 1;
        options = {newName, url, transfer, noTransfer};
    }

    int run(Context& c) override
    {
        std::optional<bool> move;
        if (!yesOrNo(c, transfer, noTransfer, move))
            return kUsage;
        rules::SiteFields stored;
        if (const Outcome found = rules::findSite(c.files, c.prompter, c.args[0], stored);
            found != Outcome::Done)
            return c.prompter.statusOf(found);
        const rules::SiteFields changed{c.options.isSet(newName) ? c.options.value(newName)
                                                                 : stored.name,
                                        c.options.isSet(url) ? c.options.value(url) : stored.url};
        // The same name leaves nothing to move.
        if (!move && changed.name == stored.name)
            move = false;
        c.prompter.answer(rules::kTransferTitle, move,
                          QStringLiteral("--transfer or --no-transfer"));
        return c.prompter.statusOf(rules::editSite(c.files, c.prompter, stored.name, changed));
    }
};

class RemoveSite final : public Command
{
    const QCommandLineOption withAccounts =
        option("with-accounts", "Removes the site's accounts too.");
    const QCommandLineOption keepAccounts =
        option("keep-accounts", "Keeps the site's accounts in the accounts file.");

public:
    RemoveSite()
    {
        name = QStringLiteral("remove-site");
        arguments = QStringLiteral("NAME");
        description = QStringLiteral("Removes a site, with --with-accounts or --keep-accounts.");
        minArgs = maxArgs = 1;
        options = {withAccounts, keepAccounts};
    }

    int run(Context& c) override
    {
        std::optional<bool> accountsToo;
        if (!yesOrNo(c, withAccounts, keepAccounts, accountsToo))
            return kUsage;
        rules::SiteFields site;
        if (const int status = findSite(c, c.args[0], site))
            return status;
        c.prompter.answer(rules::kRemoveSiteTitle, true);
        c.prompter.answer(rules::kRemoveSiteAccountsTitle, accountsToo,
                          QStringLiteral("--with-accounts or --keep-accounts"));
        return c.prompter.statusOf(rules::removeSite(c.files, c.prompter, site.name));
    }
};

class AddAccount final : public Command
{
    const QCommandLineOption extra = option("extra", "The extra info.", "TEXT");

public:
    AddAccount()
    {
        name = QStringLiteral("add-account");
        arguments = QStringLiteral("SITE USER");
        description = QStringLiteral("Adds an account; its password is read from standard "
                                     "input, or asked twice on a terminal.");
        minArgs = maxArgs = 2;
        options = {extra};
    }

    int run(Context& c) override
    {
        rules::SiteFields site;
        if (const int status = findSite(c, c.args[0], site))
            return status;
        rules::Account typed{c.args[1], {}, c.options.value(extra)};
        if (const int status = newPassword(c, typed.password))
            return status;
        return c.prompter.statusOf(rules::addAccount(c.files, c.prompter, site.name, typed));
    }
};

class EditAccount final : public Command
{
    const QCommandLineOption user = option("user", "The new user name.", "NEW");
    const QCommandLineOption extra = option("extra", "The new extra info.", "TEXT");
    const QCommandLineOption password =
        option("password", "A new password, read as add-account reads it.");

public:
    EditAccount()
    {
        name = QStringLiteral("edit-account");
        arguments = QStringLiteral("SITE USER");
        description = QStringLiteral("Changes an account's user name, password or extra info.");
        minArgs = maxArgs = 2;
        options = {user, extra, password};
    }

    int run(Context& c) override
    {
        rules::SiteFields site;
        if (const int status = findSite(c, c.args[0], site))
            return status;
        rules::Account stored;
        if (const Outcome found =
                rules::loadAccount(c.files, c.prompter, site.name, {c.args[1], 0}, stored);
            found != Outcome::Done)
            return c.prompter.statusOf(found);
        rules::Account typed = stored;
        if (c.options.isSet(user))
            typed.username = c.options.value(user);
        if (c.options.isSet(extra))
            typed.extraInfo = c.options.value(extra);
        if (c.options.isSet(password)) {
            if (const int status = newPassword(c, typed.password))
                return status;
        }
        return c.prompter.statusOf(
            rules::editAccount(c.files, c.prompter, site.name, {stored.username, 0}, typed));
    }
};

class RemoveAccount final : public Command
{
public:
    RemoveAccount()
    {
        name = QStringLiteral("remove-account");
        arguments = QStringLiteral("SITE USER");
        description = QStringLiteral("Removes an account.");
        minArgs = maxArgs = 2;
    }

    int run(Context& c) override
    {
        rules::SiteFields site;
        if (const int status = findSite(c, c.args[0], site))
            return status;
        rules::Account stored;
        if (const Outcome found =
                rules::loadAccount(c.files, c.prompter, site.name, {c.args[1], 0}, stored);
            found != Outcome::Done)
            return c.prompter.statusOf(found);
        c.prompter.answer(rules::kRemoveTitle, true);
        return c.prompter.statusOf(
            rules::removeAccount(c.files, c.prompter, site.name, {stored.username, 0}));
    }
};

} // namespace

std::vector<std::unique_ptr<Command>> editingCommands()
{
    std::vector<std::unique_ptr<Command>> out;
    out.push_back(std::make_unique<AddSite>());
    out.push_back(std::make_unique<EditSite>());
    out.push_back(std::make_unique<RemoveSite>());
    out.push_back(std::make_unique<AddAccount>());
    out.push_back(std::make_unique<EditAccount>());
    out.push_back(std::make_unique<RemoveAccount>());
    return out;
}

} // namespace sb::cli
