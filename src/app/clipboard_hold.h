// The clipboard without a window, for the command line (stashbook-cli copy),
// which links no display library and cannot own a clipboard itself: it
// starts `stashbook --clipboard-hold MODE` detached and writes the text to
// its standard input.
//
// The text is placed through the window's ClipboardGuard: a password is
// marked secret and cleared after the same delay as in the window. The
// program says "ok" on standard output once the clipboard holds the text (or
// why not, and ends), then closes its output and stays until the clipboard
// is cleared or another program takes it.
#pragma once

#include <chrono>

namespace sb::app {

// Runs the hold; returns the exit status (0, or 3 when the clipboard could
// not be had). `delay`: how long a password stays (zero: until another
// program takes the clipboard).
int holdClipboard(int& argc, char** argv, bool password, std::chrono::seconds delay);

} // namespace sb::app
