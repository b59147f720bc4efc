// What the shell needs from the desktop beyond Qt: the global hot key, the
// window's place in the task list, the trays. One implementation per desktop
// family, picked by the build (platform_x11.cpp, platform_win.cpp,
// platform_other.cpp); the rest of the program knows nothing of X11 or Win32.
#pragma once

#include <functional>
#include <thread>

class QMimeData;
class QObject;
class QWidget;

namespace sb::app {

class GlobalHotKey;
class TrayHosts;

namespace platform {

// Ctrl+T for this desktop, owned by `parent`. Where the running desktop has
// no global keys (Wayland, offscreen) it is an UnavailableHotKey.
GlobalHotKey* createHotKey(QObject* parent);

// Whether `window` appears in the task list (and the task switcher) while it
// is shown; applies at once to a shown window.
void setInTaskList(QWidget* window, bool inList);

// Called before every show of a hidden window: window managers forget the
// task-list setting when a window is hidden, so it is given again. It also
// makes sure the window comes back as a window and not as an icon: Qt marks
// a window minimised while hidden to start iconic, and takes that mark back
// only after it has already asked for the window to be mapped.
void prepareToShow(QWidget* window, bool inTaskList);

// Whether the program can bring back its own window from the task list,
// where it waits minimised. Wayland leaves that to the compositor alone; the
// window is shown anew there instead.
bool canUnminimize();

// Follows the trays this desktop offers, from the desktop's own notices, so
// that nobody ever has to ask (see TrayHosts), owned by `parent`.
TrayHosts* createTrayHosts(QObject* parent);

// Marks a text about to go on the clipboard as a secret, in the way this
// desktop's clipboard managers understand, so that they do not keep it in
// their history. The text itself is left as it is.
void markClipboardSecret(QMimeData& data);

// Calls `quit` from the event loop of `context` when the system asks the
// program to end (logout, shutdown, `kill`), so that it ends as its Exit
// does: whatever is open closes, nothing half-done is written, and a
// password it left on the clipboard goes along. For as long as `context` lives.
void onTermination(QObject* context, std::function<void()> quit);

// Starts loading the desktop's font configuration on a thread of its own,
// to be called just before the application object connects to the display:
// the first text measured would otherwise wait several milliseconds for it
// afterwards. The thread is waited for when the returned object goes; none
// is started where fonts need no such loading.
std::jthread prepareFonts();

} // namespace platform
} // namespace sb::app
