#include "browse/account_view.h"

#include "common/name_match.h"
#include "common/shown_text.h"

namespace sb::browse {

namespace {

// `name` quoted in a caption: bounded, set apart from the words around it
// when it holds direction controls, and with its '&'s shown as typed.
QString literal(const QString& name)
{
    return common::quotedName(name).replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

bool isNoAccountsRow(const QString& username)
{
    return username.toUpper() == kNoAccountsUsername;
}

store::Status readAccountView(const store::RecordFile& sites, const store::RecordFile& accounts,
                              const QString& selectedName, AccountView& out)
{
    const common::NameMatcher matcher(selectedName);
    AccountView view;

    store::Status st = store::readRecords(sites, [&](const store::Record& r) {
        if (r.size() < size_t{store::kSiteFields} || !matcher.matches(r[0]))
            return;
        view.siteFound = true;
        view.siteName = common::fromUtf8(r[0]);
        view.siteUrl = common::fromUtf8(r[1]);
    });
    if (st.failed())
        return st;

    long long allAccounts = 0;
    if (st = readSiteAccounts(accounts, matcher, view, allAccounts); st.failed())
        return st;

    out = std::move(view);
    return {};
}

store::Status readSiteAccounts(const store::RecordFile& accounts, const common::NameMatcher& site,
                               AccountView& view, long long& allAccounts)
{
    return store::readRecordsWhere(
        accounts, [&site](std::string_view name) { return site.matches(name); },
        [&view](const store::Record& r) {
            view.usernames.append(common::fromUtf8(r[1]));
            view.passwords.append(common::fromUtf8(r[2]));
            view.extraInfo.append(common::fromUtf8(r[3]));
        },
        allAccounts, &view.accountsFileFound);
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
