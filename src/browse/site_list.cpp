#include "browse/site_list.h"

#include "common/name_match.h"

#include <QCollator>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace sb::browse {

store::Status readSiteListing(const store::RecordFile& sites, const store::RecordFile& accounts,
                              SiteListing& out)
{
    SiteListing listing;
    std::vector<std::string> raw;
    store::Status st = store::readRecords(
        sites, [&raw](const store::Record& r) { raw.push_back(r[0]); }, &listing.sitesFound);
    if (st.failed())
        return st;

    long long count = 0;
    st = store::countRecords(accounts, count, &listing.accountsFound);
    if (st.failed())
        return st;
    listing.accountCount = static_cast<qint32>(std::min<long long>(count, INT32_MAX));

    listing.names.reserve(static_cast<qsizetype>(raw.size()));
    for (const std::string& name : raw)
        listing.names.append(common::fromUtf8(name));
    sortSiteNames(listing.names);

    out = std::move(listing);
    return {};
}

void sortSiteNames(QStringList& names)
{
    QStringList sorted;
    sorted.reserve(names.size());
    for (qsizetype i : siteNameOrder(names))
        sorted.append(std::move(names[i]));
    names = std::move(sorted);
}

std::vector<qsizetype> siteNameOrder(const QStringList& names)
{
    // Under the POSIX "C" locale Qt collates by code point and heeds letter
    // case whatever it is told; a person still expects dictionary order, so
    // English rules stand in for it.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    // Sort keys make each comparison a plain byte compare: with thousands of
    // names that is several times faster than collating pairs of strings.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : std::as_const(names))
        keys.push_back(collator.sortKey(name));

    std::vector<qsizetype> order(static_cast<size_t>(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]) < 0;
    });
    return order;
}

} // namespace sb::browse
