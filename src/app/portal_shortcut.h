// Ctrl+T through the desktop's GlobalShortcuts portal
// (org.freedesktop.portal.GlobalShortcuts), the way a Wayland session gives a
// program a global key: the desktop holds the key, lets the user bind it in
// its own settings, and tells the program when it is pressed.
#pragma once

class QObject;

namespace sb::app {

class GlobalHotKey;

// One shortcut, id "toggle", preferred trigger Ctrl+T, in a session the
// desktop files under "stashbook" (KDE names the shortcut group after it, so
// a key the user chose there wins over Ctrl+T). Everything goes over the
// session bus asynchronously: registering answers Pending, the outcome comes
// later, and a portal that goes away and comes back is registered with again.
GlobalHotKey* createPortalHotKey(QObject* parent);

} // namespace sb::app
