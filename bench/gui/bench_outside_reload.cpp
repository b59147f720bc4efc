// The window following a change made outside it, against a click on Reload!,
// on a large data set with a site and one of its accounts selected. Both
// read the two files and rebuild the site list; the outside reload selects
// the site and the account again. Also: the time from the outside write to
// the status bar's word, which includes the wait for a burst to settle.
#include "app/outside_changes.h"
#include "bench_window.h"
#include "browse/selection_list.h"

#include <QPushButton>
#include <QStatusBar>

#include <fstream>

int main(int argc, char* argv[])
{
    const sb::bench::DataSetSize size = sb::bench::sizeFromArgs(argc, argv);
    sb::bench::BenchProgram program(argc, argv, 15);
    sb::bench::BenchWindow& bench = program.bench;
    sb::app::frmStashbook& window = bench.window;
    window.show();
    auto* sites = window.findChild<sb::browse::SelectionList*>(QStringLiteral("lst_Site"));
    auto* users = window.findChild<sb::browse::SelectionList*>(QStringLiteral("lst_Username"));
    auto* reload = window.findChild<QPushButton*>(QStringLiteral("cmd_Reload"));
    auto* status = window.findChild<QStatusBar*>(QStringLiteral("sts_Bar"));
    const QString told = QStringLiteral("Reloaded: the files were changed outside Stashbook");
    const auto settle = [] {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3 * sb::app::OutsideChanges::kSettleMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    settle(); // the first frame arms the watch
    const auto select = [&] {
        sites->selectRow(sites->count() / 2);
        users->selectRow(users->count() - 1);
    };
    // Another program appends an account to the selected site.
    int written = 0;
    const auto writeOutside = [&] {
        std::ofstream(bench.path / "SB-Acnts.DaT", std::ios::app | std::ios::binary)
            << '"' << sites->currentItem()->text().toStdString() << "\",\"outside" << ++written
            << "\",\"pw\",\"\"\r\n";
    };

    sb::bench::Timings click, clickBack, follow, latency;
    for (int i = 0; i < program.runs; ++i) {
        select();
        click.start();
        reload->click();
        click.stop();
        if (sites->selectedRow() != -1)
            sb::bench::fail("Reload! keeps no selection");
        // What a person then does to see the same account again.
        clickBack.start();
        reload->click();
        select();
        clickBack.stop();

        select();
        const QString user = users->currentItem()->text();
        writeOutside();
        follow.start();
        window.Follow_Outside_Change();
        follow.stop();
        if (users->currentItem()->text() != user || status->currentMessage() != told)
            sb::bench::fail("the outside reload lost the account or said nothing");
        settle(); // the watch sees the change too, and tells nothing more
        if (status->currentMessage() != told)
            sb::bench::fail("status");

        status->clearMessage();
        writeOutside();
        latency.start();
        while (status->currentMessage() != told)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        latency.stop();
        settle();
    }
    std::printf("%d sites, %d accounts, %d runs:\n", size.sites, size.accounts, program.runs);
    sb::bench::print("  ", 40, "click on Reload!", click);
    sb::bench::print("  ", 40, "outside change reloaded (once told)", follow);
    std::printf("  ratio of the medians: %.2f (target <= 1.2)\n", follow.median() / click.median());
    sb::bench::print("  ", 40, "Reload!, then the site and account again", clickBack);
    std::printf("  ratio of the medians: %.2f\n", follow.median() / clickBack.median());
    sb::bench::print("  ", 40, "outside write to the status bar's word", latency);
    return 0;
}
