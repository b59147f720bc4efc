#include "app/clipboard_guard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace sb::app {

void ClipboardGuard::place(const QString& text, bool holdsPassword)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    text_ = text;
    holdsPassword_ = holdsPassword;
}

void ClipboardGuard::clearIfStillOurs()
{
    if (!holdsPassword_ || text_.isEmpty())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->text() == text_)
        clipboard->clear();
    holdsPassword_ = false;
    text_.clear();
}

} // namespace sb::app
