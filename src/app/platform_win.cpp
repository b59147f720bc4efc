// Windows: Ctrl+T through RegisterHotKey, the task list through the window's
// extended style.
#include "app/hotkey.h"
#include "app/platform.h"
#include "app/tray.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMimeData>
#include <QWidget>

#include <windows.h>

#ifndef MOD_NOREPEAT // older SDK headers
#define MOD_NOREPEAT 0x4000
#endif

namespace sb::app::platform {

namespace {

constexpr int kHotKeyId = 0xBFFF; // 49151, the top of the range applications may use

// The hot key is registered for no window (a null HWND): WM_HOTKEY then
// arrives as a thread message, which every native event filter sees, and the
// registration does not depend on the main window's handle staying the same.
class WinHotKey final : public GlobalHotKey, public QAbstractNativeEventFilter
{
public:
    using GlobalHotKey::GlobalHotKey;
    ~WinHotKey() override { unregisterKey(); }

    Registration registerKey() override
    {
        if (registered_)
            return {Outcome::Registered, {}};
        if (!RegisterHotKey(nullptr, kHotKeyId, MOD_CONTROL | MOD_NOREPEAT, 'T')) {
            const DWORD code = GetLastError();
            if (code == ERROR_HOTKEY_ALREADY_REGISTERED)
                return {Outcome::InUse, QStringLiteral("another program holds Control-T")};
            return {Outcome::InUse,
                    QStringLiteral("RegisterHotKey failed with error %1").arg(code)};
        }
        registered_ = true;
        QCoreApplication::instance()->installNativeEventFilter(this);
        return {Outcome::Registered, {}};
    }

    void unregisterKey() override
    {
        if (!registered_)
            return;
        UnregisterHotKey(nullptr, kHotKeyId);
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
        registered_ = false;
    }

    bool isRegistered() const override { return registered_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message == WM_HOTKEY && msg->wParam == static_cast<WPARAM>(kHotKeyId))
            QMetaObject::invokeMethod(this, &GlobalHotKey::activated, Qt::QueuedConnection);
        return false;
    }

private:
    bool registered_ = false;
};

} // namespace

GlobalHotKey* createHotKey(QObject* parent)
{
    return new WinHotKey(parent);
}

void setInTaskList(QWidget* window, bool inList)
{
    // A tool window has no taskbar button and no place in Alt+Tab.
    const HWND hwnd = reinterpret_cast<HWND>(window->winId());
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    style = inList ? (style & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW
                   : (style | WS_EX_TOOLWINDOW) & ~WS_EX_APPWINDOW;
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style);
}

void prepareToShow(QWidget* window, bool inTaskList)
{
    setInTaskList(window, inTaskList);
}

bool canUnminimize()
{
    return true;
}

// The notification area is always there (Qt puts the icon back itself when
// Explorer restarts), and reports a click and then a double-click.
TrayHosts* createTrayHosts(QObject* parent)
{
    return new FixedTrayHosts(TrayKind::Embedded, parent);
}

// Windows keeps a text offered with this format out of its clipboard history
// and its cloud clipboard, and clipboard monitors leave it alone.
void markClipboardSecret(QMimeData& data)
{
    data.setData(
        QStringLiteral(
            "application/x-qt-windows-mime;value=\"ExcludeClipboardContentFromMonitorProcessing\""),
        QByteArrayLiteral("1"));
}

// Windows ends a session through the application's own messages, which
// Qt turns into the same quit.
void onTermination(QObject*, std::function<void()>) {}

std::jthread prepareFonts()
{
    return {};
}

} // namespace sb::app::platform
