#include "cli/terminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sb::cli {

namespace {

// The terminal's settings while echo is off, for a signal to put back:
// a handler can reach nothing else.
termios savedTerminal;
volatile std::sig_atomic_t echoOff = 0;

void restoreEcho(int signal)
{
    if (echoOff)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// One line of standard input without its line end; false at the end of the
// input with nothing read.
bool readLine(QByteArray& line)
{
    line.clear();
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line += char(c);
    if (line.endsWith('\r'))
        line.chop(1);
    return c == '\n' || !line.isEmpty();
}

// Asks for `first` and `second` with echo off all along: set before the
// first prompt, so that nothing typed after a prompt shows.
bool askTwice(QByteArray& first, QByteArray& second)
{
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    quiet.c_lflag |= ECHONL;
    echoOff = 1;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    const auto ask = [](const char* prompt, QByteArray& line) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        return readLine(line);
    };
    const bool typed = ask("Password: ", first) && ask("Password again: ", second);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    echoOff = 0;
    return typed;
}

} // namespace

QString readPassword(QString& password, bool& mismatch)
{
    mismatch = false;
    QByteArray first;
    if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
        if (!readLine(first))
            return QStringLiteral("no password on standard input.");
        password = QString::fromUtf8(first);
        return {};
    }
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
        std::signal(s, restoreEcho);
    QByteArray second;
    if (!askTwice(first, second))
        return QStringLiteral("no password typed.");
    if (first != second) {
        mismatch = true;
        return QStringLiteral("the two passwords differ; nothing was written.");
    }
    password = QString::fromUtf8(first);
    return {};
}

QString holdOnClipboard(const QString& text, bool password)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral("copy needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set.");
    QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("stashbook"));
    if (!QFileInfo(program).isExecutable())
        program = QStandardPaths::findExecutable(QStringLiteral("stashbook"));
    if (program.isEmpty())
        return QStringLiteral("copy needs the program stashbook, which holds the clipboard; it "
                              "is not beside stashbook-cli nor on the PATH.");
    const QByteArray path = QFile::encodeName(program);
    const char* argv[] = {path.constData(), "--clipboard-hold", password ? "password" : "text",
                          nullptr};

    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
        return QStringLiteral("cannot start stashbook: no pipe.");
    const pid_t child = ::fork();
    if (child == 0) {
        // Its own session: it outlives this program and the terminal.
        ::setsid();
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(output[1], STDERR_FILENO);
        ::execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    if (child < 0) {
        ::close(input[1]);
        ::close(output[0]);
        return QStringLiteral("cannot start stashbook.");
    }
    std::signal(SIGPIPE, SIG_IGN);
    const QByteArray bytes = text.toUtf8();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(input[1], bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::close(input[1]);
    // It answers "ok" once the clipboard holds the text, or says why not,
    // and then closes its output.
    QByteArray said;
    char buffer[512];
    for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, n);
    ::close(output[0]);
    if (said.endsWith("ok\n"))
        return {};
    return QStringLiteral("stashbook could not hold the clipboard: ") +
           QString::fromLocal8Bit(said).trimmed().replace(u'\n', QStringLiteral("; "));
}

} // namespace sb::cli
