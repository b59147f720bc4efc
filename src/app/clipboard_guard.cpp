#include "app/clipboard_guard.h"

#include "app/platform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace sb::app {

void ClipboardGuard::place(const QString& text, bool holdsPassword)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    auto* data = new QMimeData;
    data->setText(text);
    if (holdsPassword)
        platform::markClipboardSecret(*data);
    clipboard->setMimeData(data); // the clipboard owns it
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
