// Desktops the program has no native support for: no global hot key, and the
// window stays in the task list.
#include "app/hotkey.h"
#include "app/platform.h"

#include <QMimeData>

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

// Wayland's clipboard managers (Klipper, wl-clip-persist and others) skip a
// text offered with this entry; elsewhere it is one more format nobody reads.
void markClipboardSecret(QMimeData& data)
{
    data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
}

} // namespace sb::app::platform
