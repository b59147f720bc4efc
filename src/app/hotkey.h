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
        Registered, // the key is ours until unregisterKey()
        InUse,      // another program holds it
        Unsupported // this desktop offers no global keys to programs
    };

    struct Registration
    {
        Outcome outcome = Outcome::Unsupported;
        QString error; // what went wrong, in words; empty when registered
        bool ok() const { return outcome == Outcome::Registered; }
    };

    using QObject::QObject;

    // Takes Ctrl+T for this program. Calling it while registered changes nothing.
    virtual Registration registerKey() = 0;
    // Gives the key back to the desktop; harmless when not registered.
    virtual void unregisterKey() = 0;
    virtual bool isRegistered() const = 0;

signals:
    // Ctrl+T was pressed (a held key counts once).
    void activated();
};

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
