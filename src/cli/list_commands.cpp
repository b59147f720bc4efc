// The commands that read: sites, accounts, show, search and copy.
#include "browse/site_list.h"
#include "cli/command.h"
#include "cli/terminal.h"
#include "common/name_match.h"
#include "common/shown_text.h"
#include "csv/csv_file.h"
#include "export/clipboard_text.h"
#include "rules/account_edits.h"
#include "rules/site_edits.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace sb::cli {

using common::fromUtf8;
using common::RecordKind;

namespace {

const QCommandLineOption kField(QStringLiteral("field"),
                                QStringLiteral("Only this field: user, password or extra."),
                                QStringLiteral("user|password|extra"));
const QStringList kFields{QStringLiteral("user"), QStringLiteral("password"),
                          QStringLiteral("extra")};

// The account `user` of the site `name`, found as the window finds them:
// the site's name as stored, the first account of the user name.
int findAccount(Context& c, const QString& name, const QString& user, rules::SiteFields& site,
                rules::Account& account)
{
    rules::Outcome found = rules::findSite(c.files, c.prompter, name, site);
    if (found == rules::Outcome::Done)
        found = rules::loadAccount(c.files, c.prompter, site.name, {user, 0}, account);
    return c.prompter.statusOf(found);
}

// Whether `text` holds `upperNeedle` (ASCII, in upper case) ignoring case,
// when `text` is ASCII up to where it is found; nothing when it is not.
// Sixteen bytes at a time where SSE2 is at hand: a search runs over every
// user name.
std::optional<bool> holdsAscii(std::string_view text, std::string_view upperNeedle)
{
    const size_t n = text.size(), m = upperNeedle.size();
    if (m == 0)
        return true;
    const char first = upperNeedle[0];
    const char firstLower = first >= 'A' && first <= 'Z' ? char(first + ('a' - 'A')) : first;
    const auto matchesAt = [&](size_t i) {
        if (i + m > n)
            return false;
        for (size_t k = 1; k < m; ++k) {
            if (common::asciiUpper(text[i + k]) != upperNeedle[k])
                return false;
        }
        return true;
    };
    size_t i = 0;
#ifdef __SSE2__
    const __m128i up = _mm_set1_epi8(first), low = _mm_set1_epi8(firstLower);
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        auto starts = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, up), _mm_cmpeq_epi8(bytes, low))));
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        // Only starts before the first byte beyond ASCII count.
        if (high != 0)
            starts &= (high & (0u - high)) - 1;
        for (; starts != 0; starts &= starts - 1) {
            if (matchesAt(i + size_t(__builtin_ctz(starts))))
                return true;
        }
        if (high != 0)
            return std::nullopt;
    }
#endif
    for (; i < n; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return std::nullopt;
        if ((text[i] == first || text[i] == firstLower) && matchesAt(i))
            return true;
    }
    return false;
}

// The field --field names (-1: all of them), or -2 for a wrong name.
int fieldOption(const Context& c)
{
    if (!c.options.isSet(kField))
        return -1;
    const int field = int(kFields.indexOf(c.options.value(kField)));
    if (field < 0)
        Prompter::usage(QStringLiteral("--field takes user, password or extra, not \"%1\".")
                            .arg(c.options.value(kField)));
    return field < 0 ? -2 : field;
}

QString fieldOf(const rules::Account& a, int field)
{
    return field == 0 ? a.username : field == 1 ? a.password : a.extraInfo;
}

class Sites final : public Command
{
public:
    Sites()
    {
        name = QStringLiteral("sites");
        arguments = QStringLiteral("[PATTERN]");
        description = QStringLiteral("Lists the sites in the window's order, or those whose "
                                     "name holds PATTERN (ignoring case; * and ? are "
                                     "wildcards).");
        maxArgs = 1;
        listing = true;
    }

    int run(Context& c) override
    {
        QStringList names, urls; // the addresses only for JSON, which shows them
        const auto onSite = [&](const store::Record& r) {
            names << fromUtf8(r[0]);
            if (c.json)
                urls << fromUtf8(r[1]);
        };
        if (!c.files.check(store::readLeadingFields(c.files.file(RecordKind::Sites),
                                                    c.json ? store::kSiteFields : 1, onSite)))
            return kFileError;
        // A pattern without wildcards is a plain text, as search takes it;
        // no pattern: every site.
        const QString pattern = c.args.value(0);
        const bool wild = std::any_of(pattern.cbegin(), pattern.cend(), [](QChar ch) {
            return ch == u'*' || ch == u'?' || ch == u'[';
        });
        const QRegularExpression match =
            wild ? QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive)
                 : QRegularExpression();
        // Only the sites listed are sorted: the order among them is the same.
        QStringList listed;
        std::vector<qsizetype> at;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (wild ? match.match(names[i]).hasMatch()
                     : pattern.isEmpty() || names[i].contains(pattern, Qt::CaseInsensitive)) {
                listed << names[i];
                at.push_back(i);
            }
        }
        JsonRows json;
        QString text;
        for (const qsizetype k : browse::siteNameOrder(listed)) {
            const qsizetype i = at[size_t(k)];
            if (c.json)
                json.add({{"name", &names[i]}, {"url", &urls[i]}});
            else
                text += names[i] + u'\n';
        }
        c.json ? json.print() : print(text);
        return kDone;
    }
};

class Accounts final : public Command
{
public:
    Accounts()
    {
        name = QStringLiteral("accounts");
        arguments = QStringLiteral("SITE");
        description = QStringLiteral("Lists the user names of the site's accounts, in file "
                                     "order (with --json their extra info too).");
        minArgs = maxArgs = 1;
        listing = true;
    }

    int run(Context& c) override
    {
        rules::SiteFields site;
        if (const auto found = rules::findSite(c.files, c.prompter, c.args[0], site);
            found != rules::Outcome::Done)
            return c.prompter.statusOf(found);
        const common::NameMatcher ofSite(site.name);
        QJsonArray json;
        QString text;
        const auto keep = [&ofSite](std::string_view name) { return ofSite.matches(name); };
        if (!c.files.readWhere(RecordKind::Accounts, keep, [&](const store::Record& r) {
                json.append(QJsonObject{{QStringLiteral("user"), fromUtf8(r[1])},
                                        {QStringLiteral("extra"), fromUtf8(r[3])}});
                text += fromUtf8(r[1]) + u'\n';
            }))
            return kFileError;
        c.json ? printJson(QJsonObject{{QStringLiteral("site"), site.name},
                                       {QStringLiteral("url"), site.url},
                                       {QStringLiteral("accounts"), json}})
               : print(text);
        return kDone;
    }
};

class Show final : public Command
{
public:
    Show()
    {
        name = QStringLiteral("show");
        arguments = QStringLiteral("SITE USER");
        description = QStringLiteral("Shows an account as the window copies its row: user "
                                     "name, password and extra info, one blank between.");
        minArgs = maxArgs = 2;
        listing = true;
        options = {kField};
    }

    int run(Context& c) override
    {
        const int field = fieldOption(c);
        if (field == -2)
            return kUsage;
        rules::SiteFields site;
        rules::Account a;
        if (const int status = findAccount(c, c.args[0], c.args[1], site, a))
            return status;
        if (c.json) {
            QJsonObject json{{QStringLiteral("site"), site.name}};
            for (int f = 0; f < 3; ++f) {
                if (field < 0 || f == field)
                    json.insert(kFields[f], fieldOf(a, f));
            }
            printJson(json);
        } else {
            print((field < 0 ? exporting::rowText(a.username, a.password, a.extraInfo)
                             : fieldOf(a, field)) +
                  u'\n');
        }
        return kDone;
    }
};

class Search final : public Command
{
public:
    Search()
    {
        name = QStringLiteral("search");
        arguments = QStringLiteral("TEXT");
        description = QStringLiteral("Lists the accounts whose site name or user name holds "
                                     "TEXT, ignoring case, as SITE<tab>USER lines (a site "
                                     "without accounts alone).");
        minArgs = maxArgs = 1;
        listing = true;
    }

    int run(Context& c) override
    {
        const QString wanted = c.args[0].toUpper();
        const QByteArray wantedBytes = wanted.toUtf8();
        const bool asciiWanted = QtPrivate::isAscii(QLatin1StringView(wantedBytes));
        // Holds `wanted`, ignoring case. Most names are plain ASCII: those
        // are compared as bytes, the others as text.
        const auto holds = [&](const std::string& utf8) {
            if (asciiWanted) {
                if (const auto found = holdsAscii(utf8, std::string_view(wantedBytes)))
                    return *found;
            }
            return fromUtf8(utf8).toUpper().contains(wanted);
        };
        // Each site once, under the name of its first record; as text only
        // the names shown.
        std::vector<std::string> names;
        std::vector<bool> siteMatches;
        std::unordered_map<std::string, qsizetype> byKey; // upper-case name: index in names
        const auto onSite = [&](const store::Record& r) {
            if (byKey.try_emplace(csv::upperKey(r[0]), qsizetype(names.size())).second) {
                names.push_back(r[0]);
                siteMatches.push_back(holds(r[0]));
            }
        };
        if (!c.files.check(store::readLeadingFields(c.files.file(RecordKind::Sites), 1, onSite)))
            return kFileError;
        // The accounts found, by site. A site's accounts mostly follow one
        // another: the last site is tested and looked up once, and looked
        // up only when one of its accounts is found.
        std::vector<std::vector<QString>> users(size_t(names.size()));
        std::vector<bool> hasAccounts(size_t(names.size()));
        std::string lastSite;
        bool lastHolds = false;
        qsizetype last = -1; // -1: not looked up yet; -2: not in the sites file
        // Site and user name are all it needs: the rest is not decoded.
        const auto onAccount = [&](const store::Record& r) {
            if (r[0] != lastSite || lastSite.empty()) {
                lastSite = r[0];
                lastHolds = holds(r[0]);
                last = -1;
            }
            if (!lastHolds && !holds(r[1]))
                return;
            if (last == -1) {
                const auto it = byKey.find(csv::upperKey(r[0]));
                last = it == byKey.end() ? -2 : it->second;
            }
            if (last < 0)
                return;
            // A site found by its name lists all its accounts.
            hasAccounts[size_t(last)] = true;
            users[size_t(last)].push_back(fromUtf8(r[1]));
        };
        if (!c.files.check(
                store::readLeadingFields(c.files.file(RecordKind::Accounts), 2, onAccount)))
            return kFileError;
        JsonRows json;
        QString text;
        const auto found = [&](const QString& site, const QString* user) {
            if (!c.json)
                text += site + (user ? u'\t' + *user : QString()) + u'\n';
            else if (user)
                json.add({{"site", &site}, {"user", user}});
            else
                json.add({{"site", &site}});
        };
        // Only the sites found are sorted: the order among them is the same.
        QStringList shown;
        std::vector<size_t> at;
        for (size_t i = 0; i < names.size(); ++i) {
            if ((siteMatches[i] && !hasAccounts[i]) || !users[i].empty()) {
                shown << fromUtf8(names[i]);
                at.push_back(i);
            }
        }
        for (const qsizetype k : browse::siteNameOrder(shown)) {
            const size_t i = at[size_t(k)];
            if (siteMatches[i] && !hasAccounts[i])
                found(shown[k], nullptr);
            for (const QString& user : users[i])
                found(shown[k], &user);
        }
        c.json ? json.print() : print(text);
        return kDone;
    }
};

class Copy final : public Command
{
public:
    Copy()
    {
        name = QStringLiteral("copy");
        arguments = QStringLiteral("SITE USER");
        description = QStringLiteral("Copies the account's password (or --field) to the "
                                     "clipboard; a password is cleared after the window's "
                                     "delay. Needs a display.");
        minArgs = maxArgs = 2;
        options = {kField};
    }

    int run(Context& c) override
    {
        int field = fieldOption(c);
        if (field == -2)
            return kUsage;
        field = field < 0 ? 1 : field;
        rules::SiteFields site;
        rules::Account a;
        if (const int status = findAccount(c, c.args[0], c.args[1], site, a))
            return status;
        if (const QString problem = holdOnClipboard(fieldOf(a, field), field == 1);
            !problem.isEmpty()) {
            c.prompter.error({}, problem);
            return kFileError;
        }
        return kDone;
    }
};

} // namespace

std::vector<std::unique_ptr<Command>> listingCommands()
{
    std::vector<std::unique_ptr<Command>> out;
    out.push_back(std::make_unique<Sites>());
    out.push_back(std::make_unique<Accounts>());
    out.push_back(std::make_unique<Show>());
    out.push_back(std::make_unique<Search>());
    out.push_back(std::make_unique<Copy>());
    return out;
}

} // namespace sb::cli
