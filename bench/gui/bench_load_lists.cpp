// Load_Lists on a large pair of record files: read both files, sort the site
// names and fill the site list. Prints the median of several runs and the
// share of each step.
#include "bench_window.h"
#include "browse/site_list.h"
#include "browse/site_order.h"
#include "common/name_match.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    const sb::bench::DataSetSize size = sb::bench::sizeFromArgs(argc, argv);
    sb::bench::BenchProgram program(argc, argv, 15);
    const int kRuns = program.runs;
    sb::bench::BenchWindow& bench = program.bench;
    const auto sitesFile = sb::store::RecordFile::sites(bench.path);
    const auto accountsFile = sb::store::RecordFile::accounts(bench.path);
    sb::app::frmStashbook& window = bench.window;
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lst_Site"));

    sb::browse::SiteListing listing;
    const double read = medianMs(kRuns, [&] {
        sb::browse::SiteListing l;
        (void)sb::browse::readSiteListing(sitesFile, accountsFile, l);
    });
    (void)sb::browse::readSiteListing(sitesFile, accountsFile, listing);
    // With the view of the site selected next read in the same pass.
    const QString chosen = listing.names.value(listing.names.size() / 2);
    const double readAhead = medianMs(kRuns, [&] {
        sb::browse::SiteListing l;
        (void)sb::browse::readSiteListing(sitesFile, accountsFile, l, {chosen, -1});
    });
    QStringList unsorted;
    (void)sb::store::readRecords(sitesFile, [&](const sb::store::Record& r) {
        unsorted.append(sb::common::fromUtf8(r[0]));
    });
    const double sort = medianMs(kRuns, [&] {
        QStringList names = unsorted;
        sb::browse::sortSiteNames(names);
    });
    const double fill = medianMs(kRuns, [&] {
        list->clear();
        list->addItems(listing.names);
    });
    const double whole = medianMs(kRuns, [&] { window.Load_Lists(); });

    std::printf("Load_Lists with %d sites and %d accounts (median of %d):\n", size.sites,
                size.accounts, kRuns);
    std::printf("  whole Load_Lists        %7.2f ms   (target < 50 ms)\n", whole);
    std::printf("    read + count + sort   %7.2f ms\n", read);
    std::printf("      of which sort       %7.2f ms\n", sort);
    std::printf("    read + one site's view %6.2f ms   (the reload before a selection)\n",
                readAhead);
    std::printf("    fill the list         %7.2f ms\n", fill);
    std::printf("  rows listed: %d\n", list->count());
    return 0;
}
