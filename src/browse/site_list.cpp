#include "browse/site_list.h"

#include "browse/site_order.h"
#include "common/name_match.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sb::browse {

ReadAhead::ReadAhead(const store::RecordFile& sites, const store::RecordFile& accounts)
    : sites_(store::stampOf(sites)), accounts_(store::stampOf(accounts))
{}

bool ReadAhead::take(const QString& name, const store::RecordFile& sites,
                     const store::RecordFile& accounts, AccountView& out)
{
    if (std::exchange(taken_, true) || !common::sameName(name, site) ||
        store::stampOf(sites) != sites_ || store::stampOf(accounts) != accounts_)
        return false;
    out = std::move(view);
    return true;
}

store::Status readSiteListing(const store::RecordFile& sites, const store::RecordFile& accounts,
                              SiteListing& out, const SiteChoice& then)
{
    SiteListing listing;
    // Noted before reading: a change made meanwhile makes the view stale.
    ReadAhead ahead(sites, accounts);
    std::vector<std::string> raw;
    std::string urls; // every address, one after the other
    std::vector<size_t> urlEnds;
    store::Status st = store::readRecords(
        sites,
        [&](const store::Record& r) {
            raw.push_back(r[0]);
            urls += r[1];
            urlEnds.push_back(urls.size());
        },
        &listing.sitesFound);
    if (st.failed())
        return st;

    QStringList names;
    names.reserve(static_cast<qsizetype>(raw.size()));
    for (const std::string& name : raw)
        names.append(common::fromUtf8(name));
    const std::vector<qsizetype> order = siteNameOrder(names);
    listing.names.reserve(names.size());
    for (const qsizetype i : order)
        listing.names.append(std::move(names[i]));

    // The row the window selects next: the first of the name, as a person
    // picking it from the list would.
    const auto rows = static_cast<int>(order.size());
    if (!then.name.isEmpty()) {
        const common::NameMatcher wanted(then.name);
        const auto it = std::find_if(order.begin(), order.end(),
                                     [&](qsizetype i) { return wanted.matches(raw[size_t(i)]); });
        if (it != order.end())
            listing.chosenRow = static_cast<int>(it - order.begin());
    }
    if (listing.chosenRow < 0 && then.row >= 0 && (then.row < rows || then.orNearest))
        listing.chosenRow = std::min(then.row, rows - 1);

    long long count = 0;
    if (listing.chosenRow < 0) {
        st = store::countRecords(accounts, count, &listing.accountsFound);
    } else {
        // What selecting the site shows: its sites record (the last of its
        // name) and its accounts.
        ahead.site = listing.names[listing.chosenRow];
        const common::NameMatcher matcher(ahead.site);
        AccountView& view = ahead.view;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (matcher.matches(raw[i])) {
                view.siteFound = true;
                view.siteName = common::fromUtf8(raw[i]);
                const size_t start = i == 0 ? 0 : urlEnds[i - 1];
                view.siteUrl =
                    common::fromUtf8(std::string_view(urls).substr(start, urlEnds[i] - start));
            }
        }
        st = readSiteAccounts(accounts, matcher, view, count);
        listing.accountsFound = view.accountsFileFound;
        listing.chosen.emplace(std::move(ahead));
    }
    if (st.failed())
        return st;
    listing.accountCount = static_cast<qint32>(std::min<long long>(count, INT32_MAX));

    out = std::move(listing);
    return {};
}

} // namespace sb::browse
