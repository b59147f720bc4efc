// Desktops the program has no native support for: no global hot key, the
// window stays in the task list, and the tray is looked for once.
#include "app/hotkey.h"
#include "app/platform.h"
#include "app/tray.h"

#include <QGuiApplication>
#include <QMimeData>

namespace sb::app::platform {

GlobalHotKey* createHotKey(QObject* parent)
{
    return new UnavailableHotKey(QStringLiteral("this desktop offers no global hot keys"), parent);
}

void setInTaskList(QWidget*, bool) {}

void prepareToShow(QWidget*, bool) {}

bool canUnminimize()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Without notices of the tray coming and going, the one there is at start is
// taken for the whole session. The trays of these desktops (StatusNotifierItem
// hosts on Wayland, the macOS menu bar) report one activation per click.
TrayHosts* createTrayHosts(QObject* parent)
{
    return new FixedTrayHosts(QSystemTrayIcon::isSystemTrayAvailable() ? TrayKind::StatusNotifier
                                                                       : TrayKind::None,
                              parent);
}

// Wayland's clipboard managers (Klipper, wl-clip-persist and others) skip a
// text offered with this entry; elsewhere it is one more format nobody reads.
void markClipboardSecret(QMimeData& data)
{
    data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
}

std::jthread prepareFonts()
{
    return {};
}

} // namespace sb::app::platform
