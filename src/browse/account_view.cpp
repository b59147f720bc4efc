#include "browse/account_view.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sb::browse {

namespace {

// Site names are short and nearly always ASCII: test eight bytes at a time.
bool isAscii(std::string_view s)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & kHighBits)
            return false;
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    }
    return true;
}

char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

QString fromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString literal(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

bool isNoAccountsRow(const QString& username)
{
    return username.toUpper() == kNoAccountsUsername;
}

SiteNameMatcher::SiteNameMatcher(const QString& name) : upper_(name.toUpper())
{
    upperIsAscii_ =
        std::all_of(upper_.cbegin(), upper_.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (upperIsAscii_)
        asciiUpper_ = upper_.toLatin1();
}

bool SiteNameMatcher::matches(std::string_view utf8) const
{
    // An ASCII text upper-cases to ASCII of the same length, so an ASCII field
    // can only match an ASCII key of its length, and then byte for byte.
    if (upperIsAscii_ && utf8.size() == static_cast<size_t>(asciiUpper_.size())) {
        const char* key = asciiUpper_.constData();
        for (size_t i = 0; i < utf8.size(); ++i) {
            const char c = utf8[i];
            if (static_cast<unsigned char>(c) >= 0x80)
                return matchesText(utf8);
            if (asciiUpper(c) != key[i])
                return isAscii(utf8.substr(i)) ? false : matchesText(utf8);
        }
        return true;
    }
    return isAscii(utf8) ? false : matchesText(utf8);
}

bool SiteNameMatcher::matchesText(std::string_view utf8) const
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUpper() == upper_;
}

store::Status readAccountView(const store::RecordFile& sites, const store::RecordFile& accounts,
                              const QString& selectedName, AccountView& out)
{
    const SiteNameMatcher matcher(selectedName);
    AccountView view;

    store::Status st = store::readRecords(sites, [&](const store::Record& r) {
        if (r.size() < size_t{store::kSiteFields} || !matcher.matches(r[0]))
            return;
        view.siteFound = true;
        view.siteName = fromUtf8(r[0]);
        view.siteUrl = fromUtf8(r[1]);
    });
    if (st.failed())
        return st;

    st = store::readRecords(
        accounts,
        [&](const store::Record& r) {
            if (r.size() < size_t{store::kAccountFields} || !matcher.matches(r[0]))
                return;
            view.usernames.append(fromUtf8(r[1]));
            view.passwords.append(fromUtf8(r[2]));
            view.extraInfo.append(fromUtf8(r[3]));
        },
        &view.accountsFileFound);
    if (st.failed())
        return st;

    out = std::move(view);
    return {};
}

QString siteCaption(const QString& selectedName, const AccountView& view, qint32 totalAccounts)
{
    const QString& name = view.siteFound ? view.siteName : selectedName;
    const QString url = view.siteFound ? view.siteUrl : QString();
    return QStringLiteral("[SITE: ") + literal(name) + QStringLiteral(" ]-[URL: ") + literal(url) +
           QStringLiteral(" ]-[ACCOUNTS: ") + QString::number(view.usernames.size()) +
           QLatin1Char('/') + QString::number(totalAccounts) + QStringLiteral(" ]");
}

QString copyAllCaption(const QString& selectedName, bool accountsFileFound)
{
    if (!accountsFileFound)
        return QStringLiteral("Copy &All ------ Accounts");
    return QStringLiteral("Copy &All ") + literal(selectedName) + QStringLiteral(" Accounts");
}

} // namespace sb::browse
