#include "rules/site_accounts.h"

namespace sb::rules {

using common::RecordKind;

SiteAccounts::SiteAccounts(common::Records& records, const QString& site)
    : records_(records), site_(site)
{}

bool SiteAccounts::scan(const std::optional<AccountRow>& current,
                        const std::optional<QString>& wanted, Scan& out)
{
    const common::NameMatcher site(site_);
    std::optional<common::NameMatcher> isCurrent, isWanted;
    int rank = current ? current->rank : 0; // records of the name still to pass
    if (current)
        isCurrent.emplace(current->username);
    if (wanted)
        isWanted.emplace(*wanted);

    Scan scan;
    const auto ofSite = [&site](std::string_view name) { return site.matches(name); };
    const bool ok = records_.readWhere(RecordKind::Accounts, ofSite, [&](const store::Record& r) {
        const bool ofCurrent = isCurrent && isCurrent->matches(r[1]);
        if (ofCurrent && rank-- == 0)
            scan.found =
                Account{common::fromUtf8(r[1]), common::fromUtf8(r[2]), common::fromUtf8(r[3])};
        if (isWanted && !ofCurrent && isWanted->matches(r[1]))
            scan.taken = true;
    });
    if (ok)
        out = std::move(scan);
    return ok;
}

bool SiteAccounts::add(const Account& account)
{
    return records_.append(RecordKind::Accounts,
                           {site_, account.username, account.password, account.extraInfo});
}

bool SiteAccounts::replace(const AccountRow& row, const Account& changed)
{
    return records_.rewrite(RecordKind::Accounts, replaceAccountRule(site_, row, changed));
}

bool SiteAccounts::remove(const AccountRow& row)
{
    if (!records_.exists(RecordKind::Accounts))
        return true;
    return records_.rewrite(RecordKind::Accounts, removeAccountRule(site_, row));
}

} // namespace sb::rules
