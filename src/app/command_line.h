// What the program is told when it starts: its name, version and desktop
// identity, its settings file, and the command line (--help, --version,
// --data-dir DIR, --toggle, --clipboard-seconds N).
//
// The command line is read before any window exists, so that a mistake in it
// ends the program with a message on the terminal and nothing on the screen.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace sb::app {

// Exit status of a start refused for its command line (the usual status of
// command-line usage errors).
constexpr int kUsageError = 2;

// Names the program to Qt: application name and version, and the desktop
// entry (the application id) that desktops match its windows with.
void nameProgram();

// The settings file, ~/.config/Stashbook/Stashbook.conf.
QSettings programSettings();

// How long a copied password stays on the clipboard by default, and at most.
constexpr int kClipboardSeconds = 30;
constexpr int kMaxClipboardSeconds = 86400;

struct CommandLine
{
    enum class Action {
        Run,   // start on dataDir
        Print, // print `text` on standard output and end with status 0 (--help, --version)
        Refuse // print `text` on standard error and end with kUsageError
    };
    Action action = Action::Run;
    QString text;
    // The folder of the record files, canonical (absolute, no symbolic
    // links): two spellings of one folder give the same path.
    QString dataDir;
    // --toggle: the program already running on dataDir is to show its window
    // if hidden and hide it if shown; with none running, this one starts.
    bool toggle = false;
    // How many seconds a copied password stays on the clipboard (0: until
    // exit): --clipboard-seconds, else "clipboard-seconds" in the settings
    // file, else kClipboardSeconds.
    int clipboardSeconds = kClipboardSeconds;
};

// Reads `arguments` (the program's name first), before any application
// object exists: it needs no display. Qt's own options (-platform, -display,
// -style...) are let through for the application object made afterwards.
// Relative folders are taken from the working directory.
CommandLine readCommandLine(const QStringList& arguments);

// Prints what `line` asks for and returns the program's exit status.
int printCommandLineOutcome(const CommandLine& line);

} // namespace sb::app
