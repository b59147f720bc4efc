// Adding, renaming (accounts moved: Yes) and removing a site (accounts too:
// Yes, Yes) on large record files, each timed from the OK click to the
// refreshed list with its site selected again, as the user waits for it.
// Beside them, in the same run, the steps an edit cannot avoid: one rewrite
// of each file, one Load_Lists and one site selection.
//
//   bench_edit_sites [sites] [accounts] [runs]
#include "app/main_window.h"
#include "bench_prompter.h"
#include "dialogs/dialog_kit.h"
#include "gen_data.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// A stopwatch of the time on the clock and of the thread's own processor
// time, which other processes on the machine do not inflate.
struct Clock
{
    QElapsedTimer wall;
    double cpuStart = 0;

    void start()
    {
        cpuStart = threadCpuMs();
        wall.start();
    }
};

struct Timings
{
    std::vector<double> ms, cpu;

    void add(const Clock& c)
    {
        ms.push_back(static_cast<double>(c.wall.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - c.cpuStart);
    }
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    double median() const { return median(ms); }
    double best() const { return *std::min_element(ms.begin(), ms.end()); }
    double cpuMedian() const { return median(cpu); }
};

void print(const char* what, const Timings& t)
{
    std::printf("%-50s median %7.2f ms  best %7.2f ms  (cpu median %7.2f ms)\n", what, t.median(),
                t.best(), t.cpuMedian());
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "wrong result: %s\n", what);
    std::exit(1);
}

// Fills the dialog's name box (the address follows it) and presses OK with
// the clock running.
int pressOk(QDialog& dialog, const char* nameBox, const char* buttons, const QString& name,
            Clock& clock)
{
    dialog.findChild<QLineEdit*>(QLatin1String(nameBox))->setText(name);
    clock.start();
    sb::dialogs::okCancelButton(&dialog, buttons, 0)->click();
    return dialog.result();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int sites = argc > 1 ? std::atoi(argv[1]) : sb::bench::kLargeDataSet.sites;
    const int accounts = argc > 2 ? std::atoi(argv[2]) : sb::bench::kLargeDataSet.accounts;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 15;

    QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    sb::bench::writeDataSet(path, {sites, accounts});

    sb::bench::BenchPrompter prompter; // every question answered Yes
    sb::app::Environment env;
    env.dataDir = path;
    env.prompter = &prompter;
    sb::app::frmStashbook window(env);
    window.Start_Up();
    QCoreApplication::processEvents();
    auto* siteList = window.findChild<QListWidget*>(QStringLiteral("lst_Site"));
    std::printf("%d sites, %d accounts, %d runs of each\n", siteList->count(),
                window.accountCount(), runs);
    auto rowFor = [siteList](int i) { return static_cast<int>((i * 7919LL) % siteList->count()); };

    Clock clock;
    Timings add, edit, remove;
    for (int i = 0; i < runs; ++i) {
        const QString name = QStringLiteral("Bench Site %1").arg(i);
        prompter.onDialog = [&](QDialog& d) {
            return pressOk(d, "txt_Add_Site_Name", "cmd_Add_Site_OK_or_Cancel", name, clock);
        };
        window.cmd_Add_Site_Click();
        add.add(clock);
        if (!siteList->currentItem() || siteList->currentItem()->text() != name)
            fail("the added site is not selected");
    }
    for (int i = 0; i < runs; ++i) {
        const int row = rowFor(i);
        siteList->setCurrentRow(row);
        prompter.onDialog = [&](QDialog& d) {
            return pressOk(d, "txt_Edit_Site_Name", "cmd_Edit_Site_OK_or_Cancel",
                           QStringLiteral("Renamed %1").arg(i), clock);
        };
        window.cmd_Edit_Site_Click();
        edit.add(clock);
        if (siteList->currentRow() != row)
            fail("the row is not selected again after an edit");
    }
    prompter.onDialog = nullptr;
    for (int i = 0; i < runs; ++i) {
        const int rows = siteList->count();
        siteList->setCurrentRow(rowFor(i));
        clock.start();
        window.cmd_Rem_Site_Click();
        remove.add(clock);
        if (siteList->count() != rows - 1)
            fail("the site is still listed after its removal");
    }

    // The steps an edit is made of, each alone.
    sb::store::TempNameGenerator names;
    const auto keepAll = [](const sb::store::Record&) {
        return sb::store::RuleAnswer(sb::store::Keep{});
    };
    Timings rewriteSites, rewriteAccounts, load, select;
    for (int i = 0; i < runs; ++i) {
        for (auto [file, timings] :
             {std::pair{sb::store::RecordFile::sites(path), &rewriteSites},
              std::pair{sb::store::RecordFile::accounts(path), &rewriteAccounts}}) {
            clock.start();
            if (!sb::store::rewriteRecordFile(file, keepAll, names))
                fail("a rewrite failed");
            timings->add(clock);
        }
        clock.start();
        window.Load_Lists();
        load.add(clock);
        clock.start();
        siteList->setCurrentRow(rowFor(i));
        select.add(clock);
    }

    print("Add Site: OK to the new site selected", add);
    print("Edit Site, transfer Yes: OK to the row selected", edit);
    print("Remove Site, Yes, Yes: click to the reloaded list", remove);
    print("one rewrite of the sites file", rewriteSites);
    print("one rewrite of the accounts file", rewriteAccounts);
    print("one Load_Lists", load);
    print("one site selection", select);
    const double steps =
        rewriteSites.median() + rewriteAccounts.median() + load.median() + select.median();
    const double cpuSteps = rewriteSites.cpuMedian() + rewriteAccounts.cpuMedian() +
                            load.cpuMedian() + select.cpuMedian();
    std::printf("sum of the four steps (medians): %.2f ms (cpu %.2f ms); the edit takes %.2fx "
                "of it (cpu %.2fx)\n",
                steps, cpuSteps, edit.median() / steps, edit.cpuMedian() / cpuSteps);
    const bool fast = std::max({add.median(), edit.median(), remove.median()}) < 100.0;
    std::printf("target: each under 100 ms: %s; the edit within 2x of the steps: %s\n",
                fast ? "met" : "MISSED", edit.median() < 2 * steps ? "met" : "MISSED");
    return 0;
}
