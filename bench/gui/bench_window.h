// The main window started on a generated data set in a temporary folder, as
// the program starts it, for the benchmarks that measure what a user waits
// on in it.
#pragma once

#include "app/main_window.h"
#include "bench_prompter.h"
#include "dialogs/dialog_kit.h"
#include "gen_data.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace sb::bench {

// The data set asked for on the command line ([sites] [accounts] ...); the
// large one by default.
inline DataSetSize sizeFromArgs(int argc, char* argv[])
{
    return {argc > 1 ? std::atoi(argv[1]) : kLargeDataSet.sites,
            argc > 2 ? std::atoi(argv[2]) : kLargeDataSet.accounts};
}

// The calling thread's own time in ms: unaffected by other processes.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// A figure measured over a wrong result would mean nothing.
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "wrong result: %s\n", what);
    std::exit(1);
}

// Runs of one thing: the time on the clock and the thread's own processor
// time, which other processes on the machine do not inflate.
class Timings
{
public:
    std::vector<double> ms, cpu;

    void start()
    {
        cpuStart_ = threadCpuMs();
        wall_.start();
    }
    void stop()
    {
        ms.push_back(static_cast<double>(wall_.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - cpuStart_);
    }
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    double median() const { return median(ms); }
    double best() const { return *std::min_element(ms.begin(), ms.end()); }
    double cpuMedian() const { return median(cpu); }

private:
    QElapsedTimer wall_;
    double cpuStart_ = 0;
};

// One line of figures: "<what> median .. ms  best .. ms  (cpu median .. ms)".
inline void print(const char* indent, int width, const char* what, const Timings& t)
{
    std::printf("%s%-*s median %7.2f ms  best %7.2f ms  (cpu median %6.2f ms)\n", indent, width,
                what, t.median(), t.best(), t.cpuMedian());
}

// Fills the dialog's box `name`.
inline void fillBox(QDialog& dialog, const char* name, const QString& text)
{
    dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
}

// Presses the OK button of the array `buttons`, with `timing` running from
// the press; the caller stops it once the view is refreshed.
inline int pressOk(QDialog& dialog, const char* buttons, Timings& timing)
{
    timing.start();
    dialogs::okCancelButton(&dialog, buttons, 0)->click();
    return dialog.result();
}

struct BenchWindow
{
    QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    BenchPrompter prompter;
    app::frmStashbook window;

    explicit BenchWindow(DataSetSize size) : window(environment(size))
    {
        window.Start_Up();
        QCoreApplication::processEvents();
    }

private:
    app::Environment environment(DataSetSize size)
    {
        writeDataSet(path, size);
        app::Environment env;
        env.dataDir = path;
        env.prompter = &prompter;
        return env;
    }
};

// A benchmark program: the application, without a screen unless told
// otherwise; the window on the data set of the command line
// ([sites] [accounts] [runs]); and the number of runs.
struct BenchProgram
{
    QApplication app;
    BenchWindow bench;
    const int runs;

    BenchProgram(int& argc, char* argv[], int defaultRuns)
        : app(offscreenUnlessSet(argc), argv), bench(sizeFromArgs(argc, argv)),
          runs(argc > 3 ? std::max(1, std::atoi(argv[3])) : defaultRuns)
    {}

private:
    static int& offscreenUnlessSet(int& argc)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }
};

} // namespace sb::bench
