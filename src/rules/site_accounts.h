// The accounts of one site in the accounts file: looking one up, and adding,
// changing and removing one. Every call that returns false has reported its
// file error already and left the file as it was.
#pragma once

#include "common/ports.h"
#include "rules/account_rules.h"

#include <optional>

namespace sb::rules {

class SiteAccounts
{
public:
    // `site` as the site list shows it; changed records are written with it.
    SiteAccounts(common::Records& records, const QString& site);

    // What one read of the accounts file tells.
    struct Scan
    {
        // The record of the account `current`; none when the file or the
        // record is missing.
        std::optional<Account> found;
        // `wanted` is the user name of some record of the site that does not
        // bear the user name of `current`.
        bool taken = false;
    };
    // Reads the accounts file once for both questions; either may be left
    // out (adding has no current account, opening asks for no name).
    bool scan(const std::optional<AccountRow>& current, const std::optional<QString>& wanted,
              Scan& out);

    // Appends the account (creating the file when it is missing).
    bool add(const Account& account);
    // Replaces the record of the account `row` where it stands.
    bool replace(const AccountRow& row, const Account& changed);
    // Removes the record of the account `row`. A missing file has nothing
    // to remove.
    bool remove(const AccountRow& row);

private:
    common::Records& records_;
    QString site_;
};

} // namespace sb::rules
