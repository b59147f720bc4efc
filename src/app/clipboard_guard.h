// Keeps passwords from lingering on the clipboard.
//
// Whoever puts a text on the clipboard goes through place(). A text that
// holds a password is cleared a while after it was placed (30 seconds unless
// the user chose otherwise; zero keeps it until exit), and at exit
// clearIfStillOurs() clears it too; both only when the clipboard still holds
// exactly that text, so that whatever was copied since, by any program, is
// never touched. Clearing at exit also spares the wait while Qt would hand
// the text to a clipboard manager on the way out.
//
// A text holding a password is also marked as secret in the desktop's own
// way (platform.h), so that clipboard managers do not keep it in their
// history; what is pasted is the same plain text.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace sb::app {

class ClipboardGuard final : public QObject
{
    Q_OBJECT

public:
    ClipboardGuard();

    // How long a password stays on the clipboard; zero: until exit.
    void setDelay(std::chrono::milliseconds delay) { delay_ = delay; }

    // Empties the clipboard, puts `text` on it as plain text and remembers it.
    // `holdsPassword` marks the text as secret and starts the wait.
    void place(const QString& text, bool holdsPassword);
    // Empties the clipboard if it still holds the remembered password text.
    void clearIfStillOurs();

signals:
    // While a password waits to be cleared: the whole seconds left, when it
    // is placed and then each second; 0 once it no longer waits.
    void countdown(int secondsLeft);

private:
    void tick();

    QString text_;
    bool holdsPassword_ = false;
    std::chrono::milliseconds delay_{30000};
    QTimer clear_; // one shot: the password's time is up
    QTimer tick_;  // each second, for the countdown only
    QDeadlineTimer clearAt_;
};

} // namespace sb::app
