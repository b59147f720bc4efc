#include "app/clipboard_guard.h"

#include "app/platform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

namespace sb::app {

ClipboardGuard::ClipboardGuard()
{
    clear_.setSingleShot(true);
    clear_.setTimerType(Qt::PreciseTimer); // on time, whatever the countdown says
    tick_.setInterval(1000);
    connect(&clear_, &QTimer::timeout, this, &ClipboardGuard::clearIfStillOurs);
    connect(&tick_, &QTimer::timeout, this, &ClipboardGuard::tick);
}

void ClipboardGuard::place(const QString& text, bool holdsPassword)
{
    const bool waited = clear_.isActive();
    clear_.stop();
    tick_.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    auto* data = new QMimeData;
    data->setText(text);
    if (holdsPassword)
        platform::markClipboardSecret(*data);
    clipboard->setMimeData(data); // the clipboard owns it
    text_ = text;
    holdsPassword_ = holdsPassword;
    if (holdsPassword && !text.isEmpty() && delay_.count() > 0) {
        clear_.start(delay_);
        clearAt_.setRemainingTime(delay_);
        tick_.start();
        tick();
    } else if (waited) {
        emit countdown(0);
    }
}

void ClipboardGuard::tick()
{
    // Rounded up: the count reaches 0 only when the time is up.
    emit countdown(int((std::max<qint64>(clearAt_.remainingTime(), 0) + 999) / 1000));
}

void ClipboardGuard::clearIfStillOurs()
{
    const bool waited = clear_.isActive() || tick_.isActive();
    clear_.stop();
    tick_.stop();
    if (holdsPassword_ && !text_.isEmpty()) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->text() == text_)
            clipboard->clear();
    }
    holdsPassword_ = false;
    text_.clear();
    if (waited)
        emit countdown(0);
}

} // namespace sb::app
