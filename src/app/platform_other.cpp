// Desktops the program has no native support for: no global hot key, and the
// window stays in the task list.
#include "app/hotkey.h"
#include "app/platform.h"

namespace sb::app::platform {

GlobalHotKey* createHotKey(QObject* parent)
{
    return new UnavailableHotKey(QStringLiteral("this desktop offers no global hot keys"), parent);
}

void setInTaskList(QWidget*, bool) {}

void prepareToShow(QWidget*, bool) {}

// The trays of these desktops (StatusNotifierItem hosts on Wayland) report one
// activation per click.
bool trayReportsDoubleClicks()
{
    return false;
}

} // namespace sb::app::platform
