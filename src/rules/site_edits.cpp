#include "rules/site_edits.h"

#include "common/name_match.h"
#include "common/shown_text.h"

#include <optional>

namespace sb::rules {

using common::NameMatcher;
using common::Prompter;
using common::quotedName;
using common::RecordKind;
using common::Records;

namespace {

// --- The rules of the rewrites: each looks at the site name, the first field
// of both kinds of record.

store::Rule renameSiteRule(const QString& oldName, const SiteFields& site)
{
    return [match = NameMatcher(oldName),
            renamed = store::Record{site.name.toStdString(), site.url.toStdString()}](
               const store::Record& r) {
        return match.matches(r[0]) ? store::RuleAnswer(store::Replace{renamed})
                                   : store::RuleAnswer(store::Keep{});
    };
}

store::Rule moveAccountsRule(const QString& oldName, const QString& newName)
{
    return [match = NameMatcher(oldName), name = newName.toStdString()](const store::Record& r) {
        if (!match.matches(r[0]))
            return store::RuleAnswer(store::Keep{});
        store::Record moved = r;
        moved[0] = name;
        return store::RuleAnswer(store::Replace{std::move(moved)});
    };
}

store::Rule dropSiteRule(const QString& name)
{
    return [match = NameMatcher(name)](const store::Record& r) {
        return match.matches(r[0]) ? store::RuleAnswer(store::Drop{})
                                   : store::RuleAnswer(store::Keep{});
    };
}

// --- Checks and their message boxes.

// The files hold every field between double quotes and escape nothing, so a
// double quote would end its field early: the rest of the field would be
// lost and, past a comma, every later field of the file shifted by one.
bool refusesQuote(Prompter& prompter, const SiteFields& site, Outcome& refused)
{
    const QChar quote = u'"';
    if (site.name.contains(quote))
        refused = Outcome::NameBox;
    else if (site.url.contains(quote))
        refused = Outcome::UrlBox;
    else
        return false;
    prompter.error(QStringLiteral("[Stashbook]  :ERROR:  Invalid Character"),
                   QStringLiteral("Site Names And Site URL Locations Cannot Contain A Double "
                                  "Quote (\")."));
    if (prompter.exiting())
        refused = Outcome::Stopped;
    return true;
}

const QString kSiteNotFoundTitle = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");

void reportSiteNotFound(Prompter& prompter, const QString& name)
{
    prompter.error(kSiteNotFoundTitle,
                   QStringLiteral("Cannot Edit '") + quotedName(name) +
                       QStringLiteral("'. Site Is No Longer In The Sites File."));
}

// The first record of the site `name`; `notFound` reports its absence.
Outcome readSite(Records& records, Prompter& prompter, const QString& name, SiteFields& site,
                 void (*notFound)(Prompter&, const QString&))
{
    const NameMatcher match(name);
    bool found = false;
    if (!records.read(RecordKind::Sites, [&](const store::Record& r) {
            if (!found && match.matches(r[0])) {
                found = true;
                site = {common::fromUtf8(r[0]), common::fromUtf8(r[1])};
            }
        }))
        return Outcome::Failed;
    if (!found)
        notFound(prompter, name);
    return found ? Outcome::Done : Outcome::Stopped;
}

// A file error (reported) that left the files as they were.
Outcome failed(const Prompter& prompter)
{
    return prompter.exiting() ? Outcome::Stopped : Outcome::Failed;
}

// A refusal that sends the user back to the name box.
Outcome refuseName(Prompter& prompter, const QString& title, const QString& text)
{
    prompter.error(title, text);
    return prompter.exiting() ? Outcome::Stopped : Outcome::NameBox;
}

} // namespace

QString addressFor(const QString& name)
{
    return QStringLiteral("www.") + name + QStringLiteral(".com");
}

Outcome loadSite(Records& records, Prompter& prompter, const QString& name, SiteFields& site)
{
    return readSite(records, prompter, name, site, reportSiteNotFound);
}

Outcome findSite(Records& records, Prompter& prompter, const QString& name, SiteFields& site)
{
    return readSite(records, prompter, name, site, [](Prompter& p, const QString& n) {
        p.error(kSiteNotFoundTitle, QStringLiteral("Cannot Find The Site '") + quotedName(n) +
                                        QStringLiteral("'. It Is Not In The Sites File."));
    });
}

Outcome addSite(Records& records, Prompter& prompter, const SiteFields& site)
{
    Outcome refused;
    if (refusesQuote(prompter, site, refused))
        return refused;

    const NameMatcher match(site.name);
    bool taken = false;
    if (!records.read(RecordKind::Sites,
                      [&](const store::Record& r) { taken = taken || match.matches(r[0]); }))
        return failed(prompter);
    if (taken)
        return refuseName(prompter,
                          QStringLiteral("[Stashbook]  :ERROR:  Site Name Already Exists"),
                          QStringLiteral("Cannot Create '") + quotedName(site.name) +
                              QStringLiteral("'. Site Name Already Exists."));

    return records.append(RecordKind::Sites, {site.name, site.url}) ? Outcome::Done
                                                                    : failed(prompter);
}

Outcome editSite(Records& records, Prompter& prompter, const QString& oldName,
                 const SiteFields& site)
{
    Outcome refused;
    if (refusesQuote(prompter, site, refused))
        return refused;

    // The site may have gone since the dialog opened (another program, or
    // the file edited by hand): renaming nothing and then offering to move
    // accounts would make no sense. Asked again after the question, which
    // may stay open for long while another program changes the file.
    const auto check = [&]() -> std::optional<Outcome> {
        const NameMatcher oldMatch(oldName);
        const NameMatcher newMatch(site.name);
        bool oldFound = false;
        bool taken = false; // by another site: a change of letter case is no conflict
        if (!records.read(RecordKind::Sites, [&](const store::Record& r) {
                if (oldMatch.matches(r[0]))
                    oldFound = true;
                else if (!taken && newMatch.matches(r[0]))
                    taken = true;
            }))
            return failed(prompter);
        if (!oldFound) {
            reportSiteNotFound(prompter, oldName);
            return Outcome::Stopped;
        }
        if (taken)
            return refuseName(prompter,
                              QStringLiteral("[Stashbook]  :RENAME ERROR:  Site Already Exists"),
                              QStringLiteral("Cannot Rename To '") + quotedName(site.name) +
                                  QStringLiteral("'. Site Already Exists."));
        return std::nullopt;
    };
    if (const auto refusal = check())
        return *refusal;

    // Every question is answered before anything is written, so that both
    // files change together, in one commit, or not at all.
    const bool transfer = prompter.ask(
        kTransferTitle, QStringLiteral("Would You Like The Accounts That Use The Old Site Name (") +
                            quotedName(oldName) +
                            QStringLiteral(")\r\nTo Be Transfered To The New Site Name (") +
                            quotedName(site.name) + QStringLiteral(") ?"));
    if (prompter.exiting())
        return Outcome::Stopped;
    if (const auto refusal = check())
        return *refusal;

    std::vector<Records::Edit> edits{{RecordKind::Sites, renameSiteRule(oldName, site), {}}};
    if (transfer && records.exists(RecordKind::Accounts))
        edits.push_back({RecordKind::Accounts, moveAccountsRule(oldName, site.name), {}});
    return records.commit(edits) ? Outcome::Done : failed(prompter);
}

Outcome removeSite(Records& records, Prompter& prompter, const QString& name)
{
    const bool sure = prompter.ask(kRemoveSiteTitle,
                                   QStringLiteral("Are You Sure You Want To Remove The Site:  ") +
                                       quotedName(name));
    if (!sure || prompter.exiting())
        return Outcome::Stopped;
    const bool accountsToo =
        prompter.ask(kRemoveSiteAccountsTitle,
                     QStringLiteral("Do You Want All The Accounts That Used This Site (") +
                         quotedName(name) + QStringLiteral(") Removed?"));
    if (prompter.exiting())
        return Outcome::Stopped;

    // Both answers are in: the site and, on the second Yes, its accounts go
    // in one commit. A failure (reported) leaves both files as they were.
    const store::Rule drop = dropSiteRule(name);
    std::vector<Records::Edit> edits;
    if (records.exists(RecordKind::Sites))
        edits.push_back({RecordKind::Sites, drop, {}});
    if (accountsToo && records.exists(RecordKind::Accounts))
        edits.push_back({RecordKind::Accounts, drop, {}});
    return records.commit(edits) ? Outcome::Done : failed(prompter);
}

} // namespace sb::rules
