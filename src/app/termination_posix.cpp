// The end asked by the system, on systems with signals: a signal handler may
// only write to a descriptor, so it wakes the event loop through a socket
// pair, and the loop does the rest.
#include "app/platform.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace sb::app::platform {

namespace {

// The handler's only way out, made once for the process.
int wakeUp[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
}

} // namespace

void onTermination(QObject* context, std::function<void()> quit)
{
    if (wakeUp[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wakeUp) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : {SIGTERM, SIGHUP, SIGINT})
            ::sigaction(signal, &action, nullptr);
    }
    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [quit = std::move(quit)] {
        char bytes[16];
        bool asked = false;
        while (::read(wakeUp[0], bytes, sizeof bytes) > 0)
            asked = true;
        if (asked)
            quit();
    });
}

} // namespace sb::app::platform
