// The global key Ctrl+T, which shows and hides the window while any other
// program has the focus. Each desktop takes such a key its own way; the
// window only sees this interface (platform.h says which implementation).
#pragma once

#include <QObject>
#include <QString>

namespace sb::app {

class GlobalHotKey : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Registered,  // the key is ours until unregisterKey()
        InUse,       // another program holds it
        Unsupported, // this desktop offers no global keys to programs
        Pending      // the desktop was asked; registrationFinished() tells
    };

    struct Registration
    {
        Outcome outcome = Outcome::Unsupported;
        QString error; // what went wrong, in words; empty when registered
        bool ok() const { return outcome == Outcome::Registered; }
    };

    using QObject::QObject;

    // Takes Ctrl+T for this program. Calling it while registered changes
    // nothing. Where the desktop answers later, the outcome is Pending and
    // comes with registrationFinished(); nothing waits for the desktop.
    virtual Registration registerKey() = 0;
    // Gives the key back to the desktop; harmless when not registered.
    virtual void unregisterKey() = 0;
    virtual bool isRegistered() const = 0;

signals:
    // Ctrl+T was pressed (a held key counts once).
    void activated();
    // The outcome of a Pending registration.
    void registrationFinished(const sb::app::GlobalHotKey::Registration& registration);
};

// How this desktop lets a program have a global key:
enum class HotKeyRoute {
    X11Grab, // a key grab on the X server, which sees every key (an X11 session)
    Portal,  // the desktop's GlobalShortcuts portal (a Wayland session, Xwayland included)
    None     // no user at a keyboard (offscreen, minimal): nothing to take or to tell
};

// From the Qt platform the program runs on and the session's XDG_SESSION_TYPE
// and WAYLAND_DISPLAY. Under Xwayland an X11 grab sees only the keys sent to
// the program's own windows, so it is no global key there.
HotKeyRoute hotKeyRoute(const QString& qtPlatform, const QString& sessionType,
                        const QString& waylandDisplay);

// For desktops without global keys: registering always fails, quietly.
class UnavailableHotKey final : public GlobalHotKey
{
    Q_OBJECT

public:
    explicit UnavailableHotKey(QString reason, QObject* parent = nullptr);

    Registration registerKey() override;
    void unregisterKey() override {}
    bool isRegistered() const override { return false; }

private:
    QString reason_;
};

} // namespace sb::app
