// The order of the site list: alphabetical as a person expects, in the
// user's language and ignoring letter case, as the collator gives it. QtCore
// only: the command line lists in the window's order.
#pragma once

#include <QStringList>

#include <vector>

namespace sb::browse {

// Sorts names alphabetically as a person expects: by the user's locale,
// ignoring letter case; names that compare equal keep their file order.
void sortSiteNames(QStringList& names);
// The same order as indexes into `names`, which stay as they are.
std::vector<qsizetype> siteNameOrder(const QStringList& names);

} // namespace sb::browse
