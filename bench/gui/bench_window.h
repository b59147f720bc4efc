// The main window started on a generated data set in a temporary folder, as
// the program starts it, for the benchmarks that measure what a user waits
// on in it.
#pragma once

#include "app/main_window.h"
#include "bench_prompter.h"
#include "gen_data.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>
#include <filesystem>

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

} // namespace sb::bench
