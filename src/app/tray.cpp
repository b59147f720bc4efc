#include "app/tray.h"

#include "app/platform.h"

#include <QMenu>

namespace sb::app {

SystemTrayIcon::SystemTrayIcon(QObject* parent) : TrayIcon(parent), icon_(new QSystemTrayIcon(this))
{
    connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

bool SystemTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::add(const QIcon& icon, const QString& tip, QMenu* menu)
{
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    icon_->setContextMenu(menu);
    icon_->show();
}

void SystemTrayIcon::remove()
{
    icon_->hide();
}

bool SystemTrayIcon::isAdded() const
{
    return icon_->isVisible();
}

bool SystemTrayIcon::reportsDoubleClicks() const
{
    return platform::trayReportsDoubleClicks();
}

} // namespace sb::app
