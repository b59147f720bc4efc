// Adding, changing and removing the accounts of a site, without any widget:
// the checks, the questions and messages, and the one change of the accounts
// file each makes. The dialogs, the main window and the command line only map
// their input to these calls and act on what they answer.
#pragma once

#include "rules/outcome.h"
#include "rules/site_accounts.h"

namespace sb::rules {

// Reads the account `row` of `site` for editing. Stopped when it is no longer
// in the accounts file (told: empty boxes would let OK overwrite the site's
// accounts that have no user name), Failed when the file could not be read
// (reported).
Outcome loadAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                    const AccountRow& row, Account& account);

// Adds `typed` to `site` (as the site list shows it) unless the site has an
// account of that user name.
Outcome addAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                   const Account& typed);

// Replaces the record of the account `row` of `site` where it stands, unless
// the new user name belongs to another account of the site. Stopped (told)
// when the account has left the file since it was read.
Outcome editAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                    const AccountRow& row, const Account& typed);

// Removes the record of the account `row` of `site` once the user has
// confirmed it. Stopped after a No.
Outcome removeAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                      const AccountRow& row);

} // namespace sb::rules
