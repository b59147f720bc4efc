// The commands that read: sites, accounts, show, search and copy.
#include "browse/site_order.h"
#include "cli/command.h"
#include "cli/terminal.h"
#include "common/name_match.h"
#include "common/shown_text.h"
#include "csv/csv_file.h"
#include "export/clipboard_text.h"
#include "history/change.h"
#include "rules/account_edits.h"
#include "rules/site_edits.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

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

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kLowBits = 0x0101010101010101ull;

// The high bit of each byte of `word` that equals the byte of `pattern`.
constexpr std::uint64_t equalBytes(std::uint64_t word, std::uint64_t pattern)
{
    const std::uint64_t v = word ^ pattern;
    return ~(((v & ~kHighBits) + ~kHighBits) | v | ~kHighBits);
}

// Whether `text` holds `upperNeedle` (ASCII, in upper case) ignoring case,
// when `text` is ASCII up to where it is found; nothing when it is not.
// Eight bytes at a time: a search runs over every user name.
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
    const std::uint64_t up = kLowBits * static_cast<unsigned char>(first);
    const std::uint64_t low = kLowBits * static_cast<unsigned char>(firstLower);
    for (size_t i = 0; i < n; i += 8) {
        std::uint64_t word = 0; // the bytes past the end are NUL, which no needle starts with
        std::memcpy(&word, text.data() + i, std::min<size_t>(8, n - i));
        std::uint64_t starts = equalBytes(word, up) | equalBytes(word, low);
        const std::uint64_t high = word & kHighBits;
        // Only starts before the first byte beyond ASCII count.
        if (high != 0)
            starts &= (high & (0 - high)) - 1;
        for (; starts != 0; starts &= starts - 1) {
            if (matchesAt(i + size_t(__builtin_ctzll(starts)) / 8))
                return true;
        }
        if (high != 0)
            return std::nullopt;
    }
    return false;
}

// Texts one after the other in one block: many short names without an
// allocation each.
class TextList
{
public:
    void append(std::string_view text)
    {
        text_.append(text);
        ends_.push_back(text_.size());
    }

    std::string_view operator[](size_t i) const
    {
        const size_t start = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(start, ends_[i] - start);
    }

    size_t size() const { return ends_.size(); }

private:
    std::string text_;
    std::vector<size_t> ends_; // where each ends in text_
};

// Sites by name, ignoring case as the window does (each name once, under
// its first spelling), from the first field of their records.
class SiteNames
{
public:
    // The index of the site `record` names, added when new, and whether it was.
    std::pair<size_t, bool> add(const store::Record& record)
    {
        const std::uint64_t hash = history::nameHash(RecordKind::Sites, record);
        if (const auto found = find(record[0], hash))
            return {*found, false};
        const size_t i = names_.size();
        names_.append(record[0]);
        byHash_.emplace(hash, i);
        return {i, true};
    }

    std::optional<size_t> find(const store::Record& record) const
    {
        return find(record[0], history::nameHash(RecordKind::Sites, record));
    }

    std::string_view operator[](size_t i) const { return names_[i]; }
    size_t size() const { return names_.size(); }

private:
    static bool sameName(std::string_view a, std::string_view b)
    {
        const auto isAscii = [](std::string_view s) {
            return QtPrivate::isAscii(QLatin1StringView(s.data(), qsizetype(s.size())));
        };
        if (isAscii(a) && isAscii(b))
            return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return common::asciiUpper(x) == common::asciiUpper(y);
            });
        return csv::upperKey(a) == csv::upperKey(b);
    }

    std::optional<size_t> find(std::string_view name, std::uint64_t hash) const
    {
        const auto [from, to] = byHash_.equal_range(hash);
        for (auto it = from; it != to; ++it) {
            if (sameName(names_[it->second], name))
                return it->second;
        }
        return std::nullopt;
    }

    TextList names_;
    std::unordered_multimap<std::uint64_t, size_t> byHash_;
};

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
        QStringList names;    // to match and order
        TextList shown, urls; // as printed; the addresses only for JSON, which shows them
        const auto onSite = [&](const store::Record& r) {
            names << fromUtf8(r[0]);
            shown.append(r[0]);
            if (c.json)
                urls.append(r[1]);
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
        Listing out(c.json);
        for (const qsizetype k : browse::siteNameOrder(listed)) {
            const auto i = size_t(at[size_t(k)]);
            if (c.json)
                out.add({{"name", shown[i]}, {"url", urls[i]}});
            else
                out.add({{"name", shown[i]}});
        }
        out.finish();
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
        const std::string_view needle(wantedBytes.constData(), size_t(wantedBytes.size()));
        const bool asciiWanted = QtPrivate::isAscii(QLatin1StringView(wantedBytes));
        // Holds `wanted`, ignoring case. Most names are plain ASCII: those
        // are compared as bytes, the others as text.
        const auto holds = [&](std::string_view utf8) {
            if (asciiWanted) {
                if (const auto found = holdsAscii(utf8, needle))
                    return *found;
            }
            return fromUtf8(utf8).toUpper().contains(wanted);
        };
        // First the accounts found, by site (site and user name are all it
        // needs: the rest is not decoded). A site's accounts mostly follow
        // one another: the last site is tested and keyed once.
        SiteNames hitSites;
        std::vector<std::vector<std::string>> users; // by hit site
        std::string lastSite;
        bool lastHolds = false;
        std::optional<size_t> last; // the last site's place in hitSites
        const auto onAccount = [&](const store::Record& r) {
            if (r[0] != lastSite || lastSite.empty()) {
                lastSite = r[0];
                lastHolds = holds(r[0]);
                last.reset();
            }
            if (!lastHolds && !holds(r[1]))
                return;
            if (!last) {
                last = hitSites.add(r).first;
                users.resize(hitSites.size());
            }
            users[*last].push_back(r[1]);
        };
        const store::Status readAccounts =
            store::readLeadingFields(c.files.file(RecordKind::Accounts), 2, onAccount);
        // Then the sites they belong to, and those found by name alone,
        // each once under the name of its first record. A site found by its
        // name has all its accounts among those found (their site names are
        // the same, but for letter case); an account of a site not in the
        // sites file is not listed.
        std::vector<std::string> shownUtf8;
        std::vector<const std::vector<std::string>*> shownUsers; // null: the site alone
        std::vector<bool> hitShown(hitSites.size());
        SiteNames alone;
        const auto onSite = [&](const store::Record& r) {
            const std::optional<size_t> hit = hitSites.size() ? hitSites.find(r) : std::nullopt;
            if (hit) {
                if (hitShown[*hit])
                    return;
                hitShown[*hit] = true;
            } else if (!holds(r[0]) || !alone.add(r).second) {
                return;
            }
            shownUtf8.push_back(r[0]);
            shownUsers.push_back(hit ? &users[*hit] : nullptr);
        };
        if (!c.files.check(store::readLeadingFields(c.files.file(RecordKind::Sites), 1, onSite)) ||
            !c.files.check(readAccounts))
            return kFileError;

        // Only the sites found are sorted: the order among them is the same.
        QStringList shown;
        for (const std::string& name : shownUtf8)
            shown << fromUtf8(name);
        Listing out(c.json);
        for (const qsizetype k : browse::siteNameOrder(shown)) {
            const std::string_view site = shownUtf8[size_t(k)];
            const std::vector<std::string>* users = shownUsers[size_t(k)];
            if (!users)
                out.add({{"site", site}});
            for (size_t u = 0; users && u < users->size(); ++u)
                out.add({{"site", site}, {"user", (*users)[u]}});
        }
        out.finish();
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
