// What the site list shows, read from the record files without any widget.
#pragma once

#include "browse/account_view.h"
#include "store/record_file.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace sb::browse {

// The view of one site read together with the list, kept for the selection
// of that site that follows: it stands for a read of its own as long as both
// files are as they were read.
class ReadAhead
{
public:
    // Notes how both files are now, before they are read.
    ReadAhead(const store::RecordFile& sites, const store::RecordFile& accounts);

    // Gives the view up, once, when `name` is its site (ignoring letter
    // case) and neither file has changed since it was read.
    bool take(const QString& name, const store::RecordFile& sites,
              const store::RecordFile& accounts, AccountView& out);

    QString site; // as the list shows it
    AccountView view;

private:
    store::FileStamp sites_, accounts_;
    bool taken_ = false;
};

// The site a reload goes on to show: the first one named `name` (ignoring
// letter case), or without one of that name the one at `row` of the new
// list (with `orNearest`, the last one when the list is shorter); none when
// neither is given.
struct SiteChoice
{
    QString name;
    int row = -1;
    bool orNearest = false;
};

struct SiteListing
{
    bool sitesFound = false;    // the sites file exists
    QStringList names;          // every site record's name, sorted for display
    bool accountsFound = false; // the accounts file exists
    qint32 accountCount = 0;    // number of account records (when found)
    // The site chosen and its view, read in the same pass (none when no
    // site was chosen or the list has none).
    int chosenRow = -1;
    std::optional<ReadAhead> chosen;
};

// Reads the site names (sorted) and counts the accounts; the accounts of
// the site `then` chooses are collected in the same pass over the accounts
// file. Nothing is returned on error: a caller shows the error and keeps its
// view as it was.
store::Status readSiteListing(const store::RecordFile& sites, const store::RecordFile& accounts,
                              SiteListing& out, const SiteChoice& then = {});

} // namespace sb::browse
