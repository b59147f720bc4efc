// Stands in for the program's message boxes and dialogs: records what would
// have been shown and answers from a script, so no modal loop blocks a test.
#pragma once

#include "common/ports.h"

#include <QDialog>
#include <QStringList>

#include <functional>

namespace sb::test {

struct FakePrompter final : common::Prompter
{
    QStringList titles, texts; // every box, errors and questions, in order
    QList<bool> answers;       // answers to the questions in order; No when none is left
    // Once this many boxes have been shown the program is exiting (exit was
    // chosen from the tray while the last one was open): questions answer No.
    int exitAt = -1;
    // Drives a dialog shown modally and returns its result; by default the
    // dialog is cancelled.
    std::function<int(QDialog&)> onDialog;

    void error(const QString& title, const QString& text) override
    {
        titles << title;
        texts << text;
    }
    void errorLater(const QString& title, const QString& text) override { error(title, text); }
    bool ask(const QString& title, const QString& text) override
    {
        error(title, text);
        return !answers.isEmpty() && answers.takeFirst() && !exiting();
    }
    int run(QDialog& dialog) override
    {
        return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
    }
    bool exiting() const override { return exitAt >= 0 && titles.size() >= exitAt; }

    // Title and text of every box, in order.
    QStringList boxes() const
    {
        QStringList out;
        for (int i = 0; i < titles.size(); ++i)
            out << titles[i] << texts[i];
        return out;
    }
};

} // namespace sb::test
