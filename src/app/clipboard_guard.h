// Keeps passwords from outliving the program on the clipboard.
//
// Whoever puts a text on the clipboard goes through place(); at exit
// clearIfStillOurs() empties the clipboard when it still holds the last text
// placed and that text holds a password. Emptying it also spares the wait
// while Qt would hand the text to a clipboard manager on the way out.
//
// A text holding a password is also marked as secret in the desktop's own
// way (platform.h), so that clipboard managers do not keep it in their
// history; what is pasted is the same plain text.
#pragma once

#include <QString>

namespace sb::app {

class ClipboardGuard
{
public:
    // Empties the clipboard, puts `text` on it as plain text and remembers it.
    // `holdsPassword` marks the text as secret for clipboard managers.
    void place(const QString& text, bool holdsPassword);
    // Empties the clipboard if it still holds the remembered password text.
    void clearIfStillOurs();

private:
    QString text_;
    bool holdsPassword_ = false;
};

} // namespace sb::app
