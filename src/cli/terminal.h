// What the command line needs from the terminal and the desktop around it:
// a password read without echo, and a clipboard, which a program linking no
// display library can only borrow from the window program.
#pragma once

#include <QString>

namespace sb::cli {

// A new password: the first line of standard input when it is no terminal,
// else typed twice on the terminal without echo (the prompts on standard
// error). Never from an argument, which other users can read. Returns the
// problem, or an empty text: no input, or the two differ (`mismatch`).
QString readPassword(QString& password, bool& mismatch);

// Puts `text` on the clipboard through `stashbook --clipboard-hold`, started
// detached beside this program (or found on the PATH): it marks a
// `password` secret and clears it after the window's delay. Returns the
// problem, or an empty text once the clipboard holds the text.
QString holdOnClipboard(const QString& text, bool password);

} // namespace sb::cli
