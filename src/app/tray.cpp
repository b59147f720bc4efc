#include "app/tray.h"

#include "app/platform.h"

#include <QMenu>
#include <QPixmap>

#include "app/icon.xpm"

namespace sb::app {

QIcon programIcon()
{
    return QIcon(QPixmap(kProgramIconXpm));
}

SystemTrayIcon::SystemTrayIcon(QObject* parent)
    : TrayIcon(parent), hosts_(platform::createTrayHosts(this))
{
    connect(hosts_, &TrayHosts::changed, this, &SystemTrayIcon::follow);
}

void SystemTrayIcon::add(const QIcon& icon, const QString& tip, QMenu* menu)
{
    picture_ = icon;
    tip_ = tip;
    menu_ = menu;
    wanted_ = true;
    follow();
}

void SystemTrayIcon::remove()
{
    wanted_ = false;
    follow();
}

void SystemTrayIcon::setTip(const QString& tip)
{
    if (tip == tip_)
        return;
    tip_ = tip;
    if (icon_)
        icon_->setToolTip(tip);
}

void SystemTrayIcon::follow()
{
    TrayKind target = TrayKind::None;
    if (wanted_) {
        if (bound_ != TrayKind::None)
            target = hosts_->offers(bound_) ? bound_ : TrayKind::None;
        else if (hosts_->offers(TrayKind::StatusNotifier))
            target = TrayKind::StatusNotifier; // the tray Qt prefers when both are there
        else if (hosts_->offers(TrayKind::Embedded))
            target = TrayKind::Embedded;
    }
    if (target == kind_)
        return;

    if (target == TrayKind::None) {
        // Gone from the tray (with a tray that went away, Qt's icon is gone
        // already; this only tidies up).
        icon_->hide();
    } else {
        if (!icon_) {
            // Here Qt makes its once-for-all choice; a tray is there now, and
            // the hosts said which, so Qt finds the same.
            icon_ = new QSystemTrayIcon(this);
            bound_ = target;
            icon_->setIcon(picture_);
            icon_->setToolTip(tip_);
            icon_->setContextMenu(menu_);
            connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
        }
        // Shown afresh each time a tray (re)appears, so that it registers
        // with, or docks into, the tray that is there now.
        icon_->show();
    }
    kind_ = target;
    emit kindChanged(kind_);
}

} // namespace sb::app
