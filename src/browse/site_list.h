// What the site list shows, read from the record files without any widget.
#pragma once

#include "store/record_file.h"

#include <QStringList>

#include <vector>

namespace sb::browse {

struct SiteListing
{
    bool sitesFound = false;    // the sites file exists
    QStringList names;          // every site record's name, sorted for display
    bool accountsFound = false; // the accounts file exists
    qint32 accountCount = 0;    // number of account records (when found)
};

// Reads the site names (sorted) and counts the accounts. Nothing is returned
// on error: a caller shows the error and keeps its view as it was.
store::Status readSiteListing(const store::RecordFile& sites, const store::RecordFile& accounts,
                              SiteListing& out);

// Sorts names alphabetically as a person expects: by the user's locale,
// ignoring letter case; names that compare equal keep their file order.
void sortSiteNames(QStringList& names);
// The same order as indexes into `names`, which stay as they are.
std::vector<qsizetype> siteNameOrder(const QStringList& names);

} // namespace sb::browse
