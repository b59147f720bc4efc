// The listing of the accounts of every site, read from the accounts file.
#pragma once

#include "store/record_file.h"

#include <QString>
#include <QStringList>

namespace sb::exporting {

// Lists, for each name of `siteNames` in that order, the accounts of the
// accounts file whose site name equals it ignoring letter case, in file
// order: one line per account (user name, blank, password, and with
// `withExtraInfo` blank and extra info), ended by CR LF. With `showSites`
// each site's block starts with the name as given and ends with an empty
// line. Accounts of sites not named are left out; a missing accounts file
// holds no accounts.
//
// The file is read once however many sites are named. On a read error `out`
// is left as it was: a listing with a site missing would look complete.
store::Status allAccountsText(const store::RecordFile& accounts, const QStringList& siteNames,
                              bool withExtraInfo, bool showSites, QString& out);

} // namespace sb::exporting
