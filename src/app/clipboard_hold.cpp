#include "app/clipboard_hold.h"

#include "app/clipboard_guard.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace sb::app {

namespace {

// Tells the starting program and lets it go: nothing is written to its pipe
// afterwards, so it sees the end of the output at once.
void reportAndDetach(const char* line)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
    // A failure leaves the stream closed, which serves as well.
    for (std::FILE* out : {stdout, stderr}) {
        [[maybe_unused]] std::FILE* null = std::freopen("/dev/null", "w", out);
    }
}

} // namespace

int holdClipboard(int& argc, char** argv, bool password, std::chrono::seconds delay)
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 3;
    const QString text = QString::fromUtf8(in.readAll());
    in.close();

    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    ClipboardGuard guard;
    guard.setDelay(delay);
    guard.place(text, password);
    if (!clipboard->ownsClipboard() && clipboard->text() != text) {
        reportAndDetach("the desktop did not let the clipboard be taken\n");
        return 3;
    }
    reportAndDetach("ok\n");
    // Another program's copy ends the hold; so does the clearing of a
    // password, which leaves nothing to hold.
    QObject::connect(clipboard, &QClipboard::dataChanged, &app, [clipboard] {
        if (!clipboard->ownsClipboard())
            QGuiApplication::quit();
    });
    QObject::connect(&guard, &ClipboardGuard::countdown, &app, [](int left) {
        if (left == 0)
            QGuiApplication::quit();
    });
    const int status = QGuiApplication::exec();
    guard.clearIfStillOurs();
    return status;
}

} // namespace sb::app
