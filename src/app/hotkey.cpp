#include "app/hotkey.h"

namespace sb::app {

UnavailableHotKey::UnavailableHotKey(QString reason, QObject* parent)
    : GlobalHotKey(parent), reason_(std::move(reason))
{}

GlobalHotKey::Registration UnavailableHotKey::registerKey()
{
    return {Outcome::Unsupported, reason_};
}

HotKeyRoute hotKeyRoute(const QString& qtPlatform, const QString& sessionType,
                        const QString& waylandDisplay)
{
    if (qtPlatform == QLatin1String("offscreen") || qtPlatform == QLatin1String("minimal"))
        return HotKeyRoute::None;
    // A session started from a console says "tty" but has a Wayland display.
    const bool waylandSession = sessionType == QLatin1String("wayland") ||
                                (sessionType != QLatin1String("x11") && !waylandDisplay.isEmpty());
    if (qtPlatform == QLatin1String("xcb") && !waylandSession)
        return HotKeyRoute::X11Grab;
    return HotKeyRoute::Portal;
}

} // namespace sb::app
