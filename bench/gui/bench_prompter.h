// The benchmarks drive the window without anyone at the screen: errors end
// the run (a figure measured over a failure would mean nothing), questions
// are answered Yes, and a dialog is driven by the benchmark's own script.
#pragma once

#include "common/ports.h"

#include <QDialog>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace sb::bench {

struct BenchPrompter final : common::Prompter
{
    std::function<int(QDialog&)> onDialog; // drives a dialog; none: cancelled

    void error(const QString& title, const QString& text) override
    {
        std::fprintf(stderr, "error: %s: %s\n", qPrintable(title), qPrintable(text));
        std::exit(1);
    }
    void errorLater(const QString& title, const QString& text) override { error(title, text); }
    bool ask(const QString&, const QString&) override { return true; }
    int run(QDialog& dialog) override
    {
        return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
    }
    bool exiting() const override { return false; }
};

} // namespace sb::bench
