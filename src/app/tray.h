// The icon in the system tray. The window talks to this interface so that
// tests can stand in a tray that exists (or not) on demand, where the
// offscreen platform never has one.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

class QIcon;
class QMenu;
class QString;

namespace sb::app {

class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the desktop has a tray to put the icon in right now.
    virtual bool isAvailable() const = 0;
    // Puts the icon in the tray, with its tip and right-click menu.
    virtual void add(const QIcon& icon, const QString& tip, QMenu* menu) = 0;
    // Takes the icon out of the tray at once.
    virtual void remove() = 0;
    virtual bool isAdded() const = 0;
    // Whether this tray reports double-clicks. XEmbed trays (and Windows)
    // report a click on the first press and a double-click on the second;
    // StatusNotifierItem hosts report a single activation and never a
    // double-click, so there the activation itself has to toggle.
    virtual bool reportsDoubleClicks() const = 0;

signals:
    // The user clicked the icon, as the tray reports it.
    void activated(QSystemTrayIcon::ActivationReason reason);
};

// The real tray, through QSystemTrayIcon.
class SystemTrayIcon final : public TrayIcon
{
    Q_OBJECT

public:
    explicit SystemTrayIcon(QObject* parent = nullptr);

    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip, QMenu* menu) override;
    void remove() override;
    bool isAdded() const override;
    bool reportsDoubleClicks() const override;

private:
    QSystemTrayIcon* icon_;
};

} // namespace sb::app
