#include "app/portal_shortcut.h"

#include "app/hotkey.h"

#include <QDBusAbstractInterface>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

namespace sb::app {
namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutId = QStringLiteral("toggle");
// The desktop keeps the user's binding under this name from one run to the next.
const QString kSessionToken = QStringLiteral("stashbook");
// After the portal went away, how long it is given before it is asked again.
constexpr int kAskAgainMs = 1000;

// One entry of the portal's shortcut lists, a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& s)
{
    out.beginStructure();
    out << s.id << s.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& s)
{
    in.beginStructure();
    in >> s.id >> s.properties;
    in.endStructure();
    return in;
}

// Signal-only proxies: QtDBus subscribes to a signal when it gets its first
// connection, and making one asks the portal nothing.
class PortalRequest final : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    PortalRequest(const QString& path, const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(kPortal, path, "org.freedesktop.portal.Request", bus, parent)
    {}

signals:
    void Response(uint response, const QVariantMap& results);
};

class PortalShortcuts final : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    PortalShortcuts(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(kPortal, kPortalPath, "org.freedesktop.portal.GlobalShortcuts",
                                 bus, parent)
    {}

signals:
    void Activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);
};

class PortalSession final : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    PortalSession(const QString& path, const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(kPortal, path, "org.freedesktop.portal.Session", bus, parent)
    {}

signals:
    void Closed(const QVariantMap& details);
};

} // namespace
} // namespace sb::app

Q_DECLARE_METATYPE(sb::app::PortalShortcut)

#include "portal_shortcut.moc"

namespace sb::app {
namespace {

QString objectPath(const QVariant& v)
{
    return v.canConvert<QDBusObjectPath>() ? v.value<QDBusObjectPath>().path() : v.toString();
}

// The key the desktop bound to our shortcut, in its words ("Ctrl+T"), from
// the shortcut list of a CreateSession or BindShortcuts response; empty when
// it bound none (the key is taken) or did not say.
QString boundTrigger(const QVariantMap& results, bool* told)
{
    const QVariant given = results.value(QStringLiteral("shortcuts"));
    *told = given.canConvert<QDBusArgument>();
    if (!*told)
        return {};
    QList<PortalShortcut> list;
    given.value<QDBusArgument>() >> list;
    for (const PortalShortcut& s : list)
        if (s.id == kShortcutId)
            return s.properties.value(QStringLiteral("trigger_description")).toString();
    return {};
}

class PortalHotKey final : public GlobalHotKey
{
public:
    explicit PortalHotKey(QObject* parent) : GlobalHotKey(parent) {}

    Registration registerKey() override
    {
        if (isRegistered())
            return {Outcome::Registered, {}};
        if (!wanted_) {
            wanted_ = true;
            pending_ = true;
            // The session bus is not even connected before the window is up.
            QMetaObject::invokeMethod(this, &PortalHotKey::begin, Qt::QueuedConnection);
        }
        return {Outcome::Pending, {}};
    }

    void unregisterKey() override
    {
        wanted_ = false;
        pending_ = false;
        ++attempt_; // answers still on their way are dropped
        inFlight_ = false;
        if (!session_.isEmpty()) {
            QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
                kPortal, session_, QStringLiteral("org.freedesktop.portal.Session"),
                QStringLiteral("Close")));
            session_.clear();
        }
    }

    bool isRegistered() const override { return !session_.isEmpty(); }

private:
    void begin()
    {
        if (!wanted_)
            return;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return finish(Outcome::Unsupported, QStringLiteral("there is no session bus"));
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        // QtDBus finds a signal's argument types by name.
        qRegisterMetaType<QDBusObjectPath>();
        // The portal may come and go (restarted, crashed, replaced): each new
        // one is registered with again.
        auto* owner =
            new QDBusServiceWatcher(kPortal, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    portalChanged(!newOwner.isEmpty());
                });
        auto* shortcuts = new PortalShortcuts(bus, this);
        connect(shortcuts, &PortalShortcuts::Activated, this,
                [this](const QDBusObjectPath& session, const QString& id) {
                    if (!session_.isEmpty() && session.path() == session_ && id == kShortcutId)
                        emit activated();
                });
        createSession();
    }

    void createSession()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const int attempt = ++attempt_;
        inFlight_ = true;
        // The portal answers on a request object whose path it derives from
        // our name and this token; listening there first, the answer cannot
        // come before we listen.
        const QString token = QStringLiteral("stashbook%1").arg(attempt);
        const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        listenForResponse(
            kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token, attempt);

        // KDE registers the shortcuts given to CreateSession without asking;
        // BindShortcuts would only open its settings.
        const QVariantMap shortcut{
            {QStringLiteral("description"), QStringLiteral("Show or hide Stashbook")},
            {QStringLiteral("preferred_trigger"), QStringLiteral("CTRL+t")}};
        const QList<PortalShortcut> shortcuts{{kShortcutId, shortcut}};
        QDBusMessage call = QDBusMessage::createMethodCall(
            kPortal, kPortalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
            QStringLiteral("CreateSession"));
        call << QVariantMap{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("session_handle_token"), kSessionToken},
                            {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}};
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, attempt](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    const QDBusPendingReply<QDBusObjectPath> reply = *w;
                    if (attempt != attempt_)
                        return;
                    if (reply.isError()) {
                        inFlight_ = false;
                        const QDBusError error = reply.error();
                        const bool none = error.type() == QDBusError::ServiceUnknown ||
                                          error.type() == QDBusError::UnknownInterface ||
                                          error.type() == QDBusError::UnknownMethod ||
                                          error.type() == QDBusError::UnknownObject;
                        return finish(Outcome::Unsupported,
                                      none ? QStringLiteral("the desktop has no portal for "
                                                            "global shortcuts")
                                           : QStringLiteral("the shortcut portal failed: ") +
                                                 error.message());
                    }
                    // A portal may answer on another path than the one derived.
                    if (request_ && reply.value().path() != request_->path())
                        listenForResponse(reply.value().path(), attempt);
                });
    }

    void listenForResponse(const QString& path, int attempt)
    {
        if (request_)
            request_->deleteLater();
        request_ = new PortalRequest(path, QDBusConnection::sessionBus(), this);
        connect(request_, &PortalRequest::Response, this,
                [this, attempt](uint response, const QVariantMap& results) {
                    if (attempt == attempt_)
                        sessionCreated(response, results);
                });
    }

    void sessionCreated(uint response, const QVariantMap& results)
    {
        inFlight_ = false;
        request_->deleteLater(); // it is still telling of this answer
        request_ = nullptr;
        if (response != 0)
            return finish(Outcome::Unsupported,
                          response == 1
                              ? QStringLiteral("the shortcut was declined")
                              : QStringLiteral("the desktop could not register the shortcut"));
        session_ = objectPath(results.value(QStringLiteral("session_handle")));
        if (session_.isEmpty())
            return finish(Outcome::Unsupported, QStringLiteral("the portal opened no session"));
        auto* session = new PortalSession(session_, QDBusConnection::sessionBus(), this);
        connect(session, &PortalSession::Closed, this, [this, session] {
            session->deleteLater();
            if (session->path() == session_)
                session_.clear();
        });
        bool told = false;
        const QString trigger = boundTrigger(results, &told);
        if (told && trigger.isEmpty())
            return finish(Outcome::InUse,
                          QStringLiteral("the desktop bound no key to the shortcut; Control-T "
                                         "is taken"));
        if (!trigger.isEmpty())
            qInfo("Stashbook: the desktop shows and hides the window on %s",
                  qUtf8Printable(trigger));
        finish(Outcome::Registered, {});
    }

    void portalChanged(bool present)
    {
        if (!present) {
            // The sessions went with it. A portal that crashed is started
            // again by the bus when it is next called: in a moment, the key is
            // asked for again.
            if (!session_.isEmpty()) {
                qInfo("Stashbook: the shortcut portal went away; asking its successor for "
                      "Control-T");
                QTimer::singleShot(kAskAgainMs, this, [this] {
                    if (wanted_ && session_.isEmpty() && !inFlight_)
                        createSession();
                });
            }
            session_.clear();
            ++attempt_;
            inFlight_ = false;
        } else if (wanted_ && session_.isEmpty() && !inFlight_) {
            createSession();
        }
    }

    // The first outcome goes to whoever registered; later ones (the portal
    // came back) are only noted.
    void finish(Outcome outcome, const QString& error)
    {
        if (!pending_) {
            if (!error.isEmpty())
                qInfo("Stashbook: Control-T is not available: %s", qUtf8Printable(error));
            return;
        }
        pending_ = false;
        emit registrationFinished({outcome, error});
    }

    bool wanted_ = false;
    bool pending_ = false;  // registrationFinished() not emitted yet
    bool inFlight_ = false; // a CreateSession is under way
    int attempt_ = 0;       // answers to older attempts are dropped
    QPointer<PortalRequest> request_;
    QString session_; // the session's object path while registered
};

} // namespace

GlobalHotKey* createPortalHotKey(QObject* parent)
{
    return new PortalHotKey(parent);
}

} // namespace sb::app
