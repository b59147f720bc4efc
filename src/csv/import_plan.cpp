#include "csv/import_plan.h"

#include <algorithm>
#include <unordered_set>

namespace sb::csv {

namespace {

// A site name and a user name as one key: equal exactly when both names are.
std::string accountKey(std::string_view site, std::string_view username)
{
    std::string key = upperKey(site);
    key += '\0';
    key += upperKey(username);
    return key;
}

bool isAccount(const store::Record& r)
{
    return r.size() >= size_t{store::kAccountFields};
}

} // namespace

int ImportPlan::count(Reason reason) const
{
    return int(std::count_if(listed.begin(), listed.end(),
                             [reason](const ListedRow& r) { return r.reason == reason; }));
}

ImportPlan planImport(const CsvFile& file, const std::vector<store::Record>& sites,
                      const std::vector<store::Record>& accounts)
{
    // The sites by name (the first record of a name), and the accounts by
    // site and user name, chained when the file holds several.
    std::unordered_map<std::string, std::string> siteNames(sites.size());
    for (const store::Record& s : sites) {
        if (!s.empty())
            siteNames.try_emplace(upperKey(s[0]), s[0]);
    }
    std::unordered_map<std::string, int> lastAccount(accounts.size());
    std::vector<int> previous(accounts.size(), -1);
    for (size_t i = 0; i < accounts.size(); ++i) {
        if (!isAccount(accounts[i]))
            continue;
        const auto [at, added] =
            lastAccount.try_emplace(accountKey(accounts[i][0], accounts[i][1]), int(i));
        if (!added)
            previous[i] = std::exchange(at->second, int(i));
    }

    ImportPlan plan;
    std::unordered_map<std::string, size_t> newSites; // index in plan.sites
    std::unordered_set<std::string> claimed;          // the accounts of the rows so far
    for (const Row& row : file.rows) {
        const auto list = [&](Reason reason) {
            plan.listed.push_back({reason, row.number, row.site, row.username});
        };
        if (row.rejected) {
            list(row.reason);
            continue;
        }
        std::string siteKey = upperKey(row.site);
        const std::string key = accountKey(row.site, row.username);
        if (!claimed.insert(key).second) {
            list(Reason::Repeated);
            continue;
        }
        if (const auto at = lastAccount.find(key); at != lastAccount.end()) {
            bool same = false;
            for (int i = at->second; i >= 0 && !same; i = previous[size_t(i)])
                same = accounts[size_t(i)][2] == row.password;
            list(same ? Reason::SamePassword : Reason::OtherPassword);
            if (!same)
                plan.passwordChanges.push_back({row.site, row.username, row.password});
            continue;
        }
        std::string siteName = row.site;
        if (const auto known = siteNames.find(siteKey); known != siteNames.end()) {
            siteName = known->second;
        } else if (const auto added = newSites.find(siteKey); added != newSites.end()) {
            store::Record& site = plan.sites[added->second];
            siteName = site[0];
            if (site[1].empty()) // the first address given
                site[1] = row.url;
        } else {
            newSites.emplace(std::move(siteKey), plan.sites.size());
            plan.sites.push_back({row.site, row.url});
        }
        plan.accounts.push_back({siteName, row.username, row.password, row.extraInfo});
    }
    return plan;
}

PasswordChanges::PasswordChanges(const std::vector<store::Record>& changes)
{
    for (const store::Record& c : changes)
        byAccount_.insert_or_assign(accountKey(c[0], c[1]), c[2]);
}

const std::string* PasswordChanges::newPassword(const store::Record& account) const
{
    if (byAccount_.empty() || !isAccount(account))
        return nullptr;
    const auto at = byAccount_.find(accountKey(account[0], account[1]));
    return at == byAccount_.end() ? nullptr : &at->second;
}

void applyPlan(const ImportPlan& plan, bool replacePasswords, std::vector<store::Record>& sites,
               std::vector<store::Record>& accounts)
{
    if (replacePasswords) {
        const PasswordChanges changes(plan.passwordChanges);
        for (store::Record& account : accounts) {
            if (const std::string* password = changes.newPassword(account))
                account[2] = *password;
        }
    }
    sites.insert(sites.end(), plan.sites.begin(), plan.sites.end());
    accounts.insert(accounts.end(), plan.accounts.begin(), plan.accounts.end());
}

} // namespace sb::csv
