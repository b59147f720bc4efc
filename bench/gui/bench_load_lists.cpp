// Load_Lists on a large pair of record files: read both files, sort the site
// names and fill the site list. Prints the median of several runs and the
// share of each step.
#include "app/main_window.h"
#include "bench_prompter.h"
#include "browse/site_list.h"
#include "gen_data.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int sites = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int accounts = argc > 2 ? std::atoi(argv[2]) : 100000;
    constexpr int kRuns = 15;

    QTemporaryDir dir;
    sb::bench::writeDataSet(dir.path().toStdString(), {sites, accounts});
    const auto sitesFile = sb::store::RecordFile::sites(dir.path().toStdString());
    const auto accountsFile = sb::store::RecordFile::accounts(dir.path().toStdString());

    sb::bench::BenchPrompter prompter;
    sb::app::Environment env;
    env.dataDir = dir.path().toStdString();
    env.prompter = &prompter;
    sb::app::frmStashbook window(env);
    window.Start_Up();
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lst_Site"));

    sb::browse::SiteListing listing;
    const double read = medianMs(kRuns, [&] {
        sb::browse::SiteListing l;
        (void)sb::browse::readSiteListing(sitesFile, accountsFile, l);
    });
    (void)sb::browse::readSiteListing(sitesFile, accountsFile, listing);
    QStringList unsorted;
    (void)sb::store::readRecords(sitesFile, [&](const sb::store::Record& r) {
        unsorted.append(QString::fromStdString(r[0]));
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

    std::printf("Load_Lists with %d sites and %d accounts (median of %d):\n", sites, accounts,
                kRuns);
    std::printf("  whole Load_Lists        %7.2f ms   (target < 50 ms)\n", whole);
    std::printf("    read + count + sort   %7.2f ms\n", read);
    std::printf("      of which sort       %7.2f ms\n", sort);
    std::printf("    fill the list         %7.2f ms\n", fill);
    std::printf("  rows listed: %d\n", list->count());
    return 0;
}
