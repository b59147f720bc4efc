// The icon in the system tray. The window talks to the TrayIcon interface so
// that tests can stand in a tray that comes and goes on demand, where the
// offscreen platform never has one.
//
// Trays come and go while the program runs (a panel starts late, crashes,
// is restarted), and asking the desktop whether one is there can take long
// (a hung panel answers D-Bus calls only after a time-out). So nothing here
// is asked for on demand: the desktop's own notices say which trays there
// are (TrayHosts), and the icon follows them, telling the window through
// kindChanged() whenever the tray it sits in comes, goes or changes kind.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;

namespace sb::app {

// The program's own icon (title bar, tray, task list).
QIcon programIcon();

enum class TrayKind {
    None,
    // A StatusNotifierItem host over D-Bus (KDE, LXQt, XFCE, GNOME's
    // AppIndicator extension), or a tray that behaves like one: it reports
    // one activation per click and never a double-click.
    StatusNotifier,
    // A tray that takes the icon's own window (XEmbed on X11) or draws it
    // itself (Windows): it reports a click on the first press and a
    // double-click on the second.
    Embedded,
};

class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // From now on the icon belongs in the tray: in the one there is, and in
    // any that turns up later.
    virtual void add(const QIcon& icon, const QString& tip, QMenu* menu) = 0;
    // Takes the icon out of the tray at once and for good.
    virtual void remove() = 0;
    // The text shown when the pointer rests on the icon.
    virtual void setTip(const QString& tip) = 0;
    // The tray the icon is in now (None while it is in none). Known from
    // what the desktop last told; cheap, never asks the desktop.
    virtual TrayKind kind() const = 0;

signals:
    // The icon went into a tray, or its tray went away.
    void kindChanged(sb::app::TrayKind kind);
    // The user clicked the icon, as the tray reports it.
    void activated(QSystemTrayIcon::ActivationReason reason);
};

// Which trays the desktop offers, followed from its own notices
// (platform::createTrayHosts makes the one for this desktop).
class TrayHosts : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether a tray of this kind is there and ready to take an icon.
    virtual bool offers(TrayKind kind) const = 0;

signals:
    void changed();
};

// Desktops whose tray is there for the whole session, or never.
class FixedTrayHosts final : public TrayHosts
{
    Q_OBJECT

public:
    FixedTrayHosts(TrayKind offered, QObject* parent) : TrayHosts(parent), offered_(offered) {}
    bool offers(TrayKind kind) const override { return kind != TrayKind::None && kind == offered_; }

private:
    TrayKind offered_;
};

// The real tray, through QSystemTrayIcon.
//
// Qt decides once per program, the first time a QSystemTrayIcon is made,
// whether its icons go to a StatusNotifierItem host or into an embedding
// tray, and never changes its mind. So no QSystemTrayIcon is made before a
// tray is there, and once made, only a tray of that same kind can take it:
// while there is none, the icon is out and the window stays within reach.
class SystemTrayIcon final : public TrayIcon
{
    Q_OBJECT

public:
    explicit SystemTrayIcon(QObject* parent = nullptr);

    void add(const QIcon& icon, const QString& tip, QMenu* menu) override;
    void remove() override;
    void setTip(const QString& tip) override;
    TrayKind kind() const override { return kind_; }

private:
    void follow();

    TrayHosts* hosts_;
    QSystemTrayIcon* icon_ = nullptr;
    TrayKind bound_ = TrayKind::None; // the kind Qt tied the program to
    TrayKind kind_ = TrayKind::None;
    bool wanted_ = false;
    QIcon picture_;
    QString tip_;
    QPointer<QMenu> menu_;
};

} // namespace sb::app
