// The freedesktop desktops, X11 and Wayland sessions alike, told apart at run
// time. In an X11 session: Ctrl+T through a passive key grab on the root
// window, the task list through the EWMH _NET_WM_STATE hints, the trays
// through the XEmbed manager selection and the StatusNotifierWatcher on the
// session bus. The X parts use Qt's own xcb connection, so the grab lives
// exactly as long as the program's connection to the display. In a Wayland
// session (natively or under Xwayland, where a grab sees only the keys sent to
// the program's own windows) Ctrl+T goes through the desktop's shortcut
// portal (portal_shortcut.cpp), the window stays in the task list, and the
// StatusNotifierItem hosts are the trays.
#include "app/hotkey.h"
#include "app/platform.h"
#include "app/portal_shortcut.h"
#include "app/tray.h"

#include <QAbstractNativeEventFilter>
#include <QBasicTimer>
#include <QCoreApplication>
#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QList>
#include <QMimeData>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <fontconfig/fontconfig.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace sb::app::platform {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// The StatusNotifierWatcher's signals: QtDBus subscribes to a signal of such
// a proxy when it gets its first connection. Unlike QDBusInterface, making
// one asks the watcher nothing.
class WatcherSignals final : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    WatcherSignals(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(kWatcherService, kWatcherPath, "org.kde.StatusNotifierWatcher",
                                 bus, parent)
    {}

signals:
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();
};

} // namespace
} // namespace sb::app::platform

#include "platform_x11.moc"

namespace sb::app::platform {

namespace {

constexpr xcb_keysym_t kKeysymT = 0x0074;       // XK_t
constexpr xcb_keysym_t kKeysymNumLock = 0xff7f; // XK_Num_Lock

// Modifiers that make a different key combination; lock modifiers (CapsLock,
// NumLock) and the keyboard group do not count.
constexpr uint16_t kSignificantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL |
                                           XCB_MOD_MASK_1 /* Alt */ | XCB_MOD_MASK_4 /* Super */;

// With the server's plain auto-repeat a held key sends release/press pairs
// that share one timestamp; with XKB's detectable auto-repeat it sends
// presses only. A press is a repeat when it follows a release at the same
// moment, or follows a press with no release in between. The second rule
// only holds for a while, so that a release lost to someone else's grab
// cannot swallow the next real press.
constexpr uint32_t kHeldKeyWindowMs = 2000;

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_connection_t* connection()
{
    if (!qGuiApp)
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

template <typename T> struct FreeDeleter
{
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The keyboard's keysym table, for finding the keys that produce a symbol.
class KeyboardMap
{
public:
    explicit KeyboardMap(xcb_connection_t* c)
    {
        const xcb_setup_t* setup = xcb_get_setup(c);
        min_ = setup->min_keycode;
        const auto count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        reply_.reset(
            xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, min_, count), nullptr));
        if (reply_) {
            syms_ = xcb_get_keyboard_mapping_keysyms(reply_.get());
            perKey_ = reply_->keysyms_per_keycode;
            keys_ = perKey_ ? xcb_get_keyboard_mapping_keysyms_length(reply_.get()) / perKey_ : 0;
        }
    }

    // The key whose unshifted symbol is `sym`; failing that, any key that
    // produces it on some level or group. 0 when no key does.
    xcb_keycode_t keycodeFor(xcb_keysym_t sym) const
    {
        for (int column = 0; column < perKey_; ++column)
            for (int key = 0; key < keys_; ++key)
                if (syms_[key * perKey_ + column] == sym)
                    return static_cast<xcb_keycode_t>(min_ + key);
        return 0;
    }

    bool produces(xcb_keycode_t keycode, xcb_keysym_t sym) const
    {
        const int key = keycode - min_;
        if (keycode < min_ || key >= keys_)
            return false;
        for (int column = 0; column < perKey_; ++column)
            if (syms_[key * perKey_ + column] == sym)
                return true;
        return false;
    }

private:
    Reply<xcb_get_keyboard_mapping_reply_t> reply_;
    const xcb_keysym_t* syms_ = nullptr;
    xcb_keycode_t min_ = 0;
    int perKey_ = 0;
    int keys_ = 0;
};

// The modifier bit NumLock sets in event states (usually Mod2), or 0 when
// NumLock is bound to no modifier and so cannot disturb the grab.
uint16_t numLockMask(xcb_connection_t* c, const KeyboardMap& keys)
{
    Reply<xcb_get_modifier_mapping_reply_t> r(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!r)
        return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(r.get());
    const int perModifier = r->keycodes_per_modifier;
    // Shift, Lock and Control (0..2) are never NumLock's.
    for (int modifier = 3; modifier < 8; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            if (const xcb_keycode_t k = codes[modifier * perModifier + i];
                k && keys.produces(k, kKeysymNumLock))
                return static_cast<uint16_t>(1u << modifier);
    return 0;
}

class X11HotKey final : public GlobalHotKey, public QAbstractNativeEventFilter
{
public:
    explicit X11HotKey(QObject* parent) : GlobalHotKey(parent) {}
    ~X11HotKey() override { unregisterKey(); }

    // The grab waits for the event loop: the window's first frame does not
    // need the key, and asking the X server for it takes a few round trips.
    Registration registerKey() override
    {
        if (isRegistered())
            return {Outcome::Registered, {}};
        if (!wanted_) {
            wanted_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!wanted_ || isRegistered())
                        return;
                    const Registration r = grab();
                    wanted_ = r.ok();
                    emit registrationFinished(r);
                },
                Qt::QueuedConnection);
        }
        return {Outcome::Pending, {}};
    }

    Registration grab()
    {
        xcb_connection_t* c = connection();
        if (!c)
            return {Outcome::Unsupported, QStringLiteral("no connection to the X server")};

        const KeyboardMap keys(c);
        keycode_ = keys.keycodeFor(kKeysymT);
        if (!keycode_)
            return {Outcome::Unsupported, QStringLiteral("no key on this keyboard produces T")};

        // The grab matches modifiers exactly, so Ctrl+T is grabbed once for
        // each state of the lock keys the user may have switched on.
        const uint16_t numLock = numLockMask(c, keys);
        QList<uint16_t> lockStates = {0, XCB_MOD_MASK_LOCK};
        if (numLock)
            lockStates << numLock << static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK);

        for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem;
             xcb_screen_next(&it)) {
            roots_ << it.data->root;
            for (uint16_t locks : lockStates) {
                const Grab grab{it.data->root, static_cast<uint16_t>(XCB_MOD_MASK_CONTROL | locks)};
                const Reply<xcb_generic_error_t> error(xcb_request_check(
                    c, xcb_grab_key_checked(c, 0, grab.root, grab.modifiers, keycode_,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
                if (error) {
                    const bool inUse = error->error_code == 10; // BadAccess
                    const QString why =
                        inUse ? QStringLiteral("another program holds Control-T")
                              : QStringLiteral("the X server refused the grab (error %1)")
                                    .arg(error->error_code);
                    releaseGrabs(c);
                    return {inUse ? Outcome::InUse : Outcome::Unsupported, why};
                }
                grabs_ << grab;
            }
        }
        held_ = false;
        lastRelease_ = 0;
        QCoreApplication::instance()->installNativeEventFilter(this);
        return {Outcome::Registered, {}};
    }

    void unregisterKey() override
    {
        wanted_ = false;
        if (!isRegistered())
            return;
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
        releaseGrabs(connection());
    }

    bool isRegistered() const override { return !grabs_.isEmpty(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & ~0x80) { // the high bit marks sent events
        case XCB_KEY_PRESS: {
            const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
            if (key->detail != keycode_ || !roots_.contains(key->event) ||
                (key->state & kSignificantModifiers) != XCB_MOD_MASK_CONTROL)
                break;
            const bool repeat = (lastRelease_ && key->time == lastRelease_) ||
                                (held_ && key->time - lastPress_ < kHeldKeyWindowMs);
            held_ = true;
            lastPress_ = key->time;
            if (!repeat) {
                // Run the toggle after Qt has taken this event's timestamp,
                // which the window manager wants when the window is activated.
                QMetaObject::invokeMethod(this, &GlobalHotKey::activated, Qt::QueuedConnection);
            }
            break;
        }
        case XCB_KEY_RELEASE: {
            const auto* key = reinterpret_cast<const xcb_key_release_event_t*>(event);
            if (key->detail == keycode_) {
                held_ = false;
                lastRelease_ = key->time;
            }
            break;
        }
        default:
            break;
        }
        // Never swallow the event: Qt keeps the server time from it.
        return false;
    }

private:
    struct Grab
    {
        xcb_window_t root;
        uint16_t modifiers;
    };

    // Without a connection the server has dropped the grabs already.
    void releaseGrabs(xcb_connection_t* c)
    {
        if (c) {
            for (const Grab& g : grabs_)
                xcb_ungrab_key(c, keycode_, g.root, g.modifiers);
            xcb_flush(c);
        }
        grabs_.clear();
        roots_.clear();
    }

    bool wanted_ = false; // registered, or about to be
    xcb_keycode_t keycode_ = 0;
    QList<Grab> grabs_;
    QList<xcb_window_t> roots_;
    bool held_ = false;
    xcb_timestamp_t lastPress_ = 0;
    xcb_timestamp_t lastRelease_ = 0;
};

// How long a tray that has just appeared is given before the icon goes to
// it: LXQt's panel takes its watcher's name first and exports the watcher a
// little later, and Qt's own XEmbed code learns of a new tray from the
// MANAGER message that follows the selection.
constexpr int kHostSettleMs = 250;
constexpr int kManagerSettleMs = 100;
// Nothing is asked before the window is up. Then no tray is offered until
// the watcher has answered, so that Qt, which ties the program to the first
// kind of tray it makes an icon for, finds the same one as we do; a watcher
// that does not answer by then counts as none until it does.
constexpr int kStartUpAnswerMs = 500;

// The trays, from the desktop's notices:
// - a StatusNotifierItem host counts while the watcher is on the bus and says
//   a host is registered with it (what Qt checks when it makes an icon; a
//   watcher without a host shows nothing). The watcher is asked only
//   asynchronously, a moment after it appears or tells of a host coming or
//   going, never on demand: a hung panel would hold up the asker.
// - an XEmbed tray counts while someone owns the manager selection
//   _NET_SYSTEM_TRAY_S<screen>, as XFixes reports it.
class X11TrayHosts final : public TrayHosts, public QAbstractNativeEventFilter
{
public:
    explicit X11TrayHosts(QObject* parent) : TrayHosts(parent)
    {
        QMetaObject::invokeMethod(this, &X11TrayHosts::start, Qt::QueuedConnection);
    }

    ~X11TrayHosts() override
    {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }

    bool offers(TrayKind kind) const override
    {
        if (!settled_)
            return false;
        switch (kind) {
        case TrayKind::StatusNotifier:
            return hostReady_;
        case TrayKind::Embedded:
            return managerReady_;
        case TrayKind::None:
            break;
        }
        return false;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (!selectionEvent_ || (event->response_type & ~0x80) != selectionEvent_)
            return false;
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        bool ours = false;
        for (Manager& m : managers_) {
            if (m.root == notify->window && m.selection == notify->selection) {
                m.owner = notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER
                              ? notify->owner
                              : xcb_window_t(XCB_NONE);
                ours = true;
            }
        }
        if (ours) {
            // A new owner is a new tray: gone first, back a moment later.
            settleManager_.stop();
            setManagerReady(false);
            if (managerOwned())
                settleManager_.start(kManagerSettleMs, this);
        }
        return false;
    }

protected:
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() == settleHost_.timerId()) {
            settleHost_.stop();
            askForHost();
        } else if (event->timerId() == settleStart_.timerId()) {
            settle();
        } else if (event->timerId() == settleManager_.timerId()) {
            settleManager_.stop();
            setManagerReady(managerOwned());
        } else {
            TrayHosts::timerEvent(event);
        }
    }

private:
    struct Manager
    {
        xcb_window_t root;
        xcb_atom_t selection;
        xcb_window_t owner;
    };

    void start()
    {
        bus_ = QDBusConnection::sessionBus();
        followXEmbedTrays();
        if (!followStatusNotifierHosts())
            return settle();
        settleStart_.start(kStartUpAnswerMs, this);
    }

    // The trays are known: from now on they are offered.
    void settle()
    {
        settleStart_.stop();
        if (settled_)
            return;
        settled_ = true;
        emit changed();
    }

    bool followStatusNotifierHosts()
    {
        if (!bus_.isConnected())
            return false;
        auto* names = new QDBusServiceWatcher(kWatcherService, bus_,
                                              QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(names, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    // A new watcher knows nothing of the old one's hosts.
                    ++asked_;
                    settleHost_.stop();
                    setHostReady(false);
                    if (!newOwner.isEmpty())
                        settleHost_.start(kHostSettleMs, this);
                });
        auto* watcher = new WatcherSignals(bus_, this);
        const auto askSoon = [this] { settleHost_.start(kHostSettleMs, this); };
        connect(watcher, &WatcherSignals::StatusNotifierHostRegistered, this, askSoon);
        connect(watcher, &WatcherSignals::StatusNotifierHostUnregistered, this, askSoon);
        askForHost();
        return true;
    }

    QDBusMessage hostQuery() const
    {
        QDBusMessage m = QDBusMessage::createMethodCall(
            kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        m << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
        return m;
    }

    void askForHost()
    {
        const int asked = ++asked_;
        auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuery()), this);
        connect(call, &QDBusPendingCallWatcher::finished, this,
                [this, asked](QDBusPendingCallWatcher* finished) {
                    finished->deleteLater();
                    if (asked == asked_) // nothing changed since it was asked
                        takeAnswer(finished->reply());
                    settle();
                });
    }

    void takeAnswer(const QDBusMessage& answer)
    {
        setHostReady(answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty() &&
                     answer.arguments().constFirst().value<QDBusVariant>().variant().toBool());
    }

    void setHostReady(bool ready)
    {
        if (ready == hostReady_)
            return;
        hostReady_ = ready;
        if (settled_)
            emit changed();
    }

    void followXEmbedTrays()
    {
        xcb_connection_t* c = onX11() ? connection() : nullptr;
        if (!c)
            return;
        const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
        if (xfixes && xfixes->present) {
            // Each client states its version before it uses the extension;
            // this one is the version Qt states on the same connection.
            Reply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
                c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
                nullptr));
            if (version)
                selectionEvent_ =
                    static_cast<uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
        }
        int screen = 0;
        for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem;
             xcb_screen_next(&it), ++screen) {
            const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
            Manager m{it.data->root, internAtom(c, name.constData()), XCB_NONE};
            if (selectionEvent_)
                xcb_xfixes_select_selection_input(
                    c, m.root, m.selection,
                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
            Reply<xcb_get_selection_owner_reply_t> owner(
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m.selection), nullptr));
            if (owner)
                m.owner = owner->owner;
            managers_ << m;
        }
        xcb_flush(c);
        managerReady_ = managerOwned();
        if (selectionEvent_)
            QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool managerOwned() const
    {
        for (const Manager& m : managers_)
            if (m.owner != XCB_NONE)
                return true;
        return false;
    }

    void setManagerReady(bool ready)
    {
        if (ready == managerReady_)
            return;
        managerReady_ = ready;
        if (settled_)
            emit changed();
    }

    QDBusConnection bus_{QString()}; // the session bus, once started
    bool settled_ = false;
    QBasicTimer settleStart_;
    bool hostReady_ = false;
    int asked_ = 0; // answers to older questions are dropped
    QBasicTimer settleHost_;

    QList<Manager> managers_;
    uint8_t selectionEvent_ = 0;
    bool managerReady_ = false;
    QBasicTimer settleManager_;
};

// Adds or removes `atoms` in the window's _NET_WM_STATE property.
void editNetWmState(xcb_connection_t* c, xcb_window_t window, xcb_atom_t netWmState,
                    const QList<xcb_atom_t>& atoms, bool add)
{
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, netWmState, XCB_ATOM_ATOM, 0, 1024), nullptr));
    QList<xcb_atom_t> state;
    if (r && r->format == 32 && r->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.get()));
        state = QList<xcb_atom_t>(data, data + xcb_get_property_value_length(r.get()) / 4);
    }
    for (xcb_atom_t a : atoms) {
        if (add && !state.contains(a))
            state << a;
        else if (!add)
            state.removeAll(a);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(state.size()), state.constData());
}

} // namespace

GlobalHotKey* createHotKey(QObject* parent)
{
    switch (hotKeyRoute(QGuiApplication::platformName(), qEnvironmentVariable("XDG_SESSION_TYPE"),
                        qEnvironmentVariable("WAYLAND_DISPLAY"))) {
    case HotKeyRoute::X11Grab:
        return new X11HotKey(parent);
    case HotKeyRoute::Portal:
        return createPortalHotKey(parent);
    case HotKeyRoute::None:
        break;
    }
    // Headless platforms (tests) have no user to press keys: nothing to say.
    return new UnavailableHotKey(QString(), parent);
}

void setInTaskList(QWidget* window, bool inList)
{
    if (!onX11())
        return;
    xcb_connection_t* c = connection();
    if (!c)
        return;
    const auto wid = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t netWmState = internAtom(c, "_NET_WM_STATE");
    const QList<xcb_atom_t> skip = {internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                    internAtom(c, "_NET_WM_STATE_SKIP_PAGER")};

    // A window manager reads the property when it takes on a window it maps
    // (it may not have done so yet for a window just shown)...
    editNetWmState(c, wid, netWmState, skip, !inList);

    // ... and takes changes to a mapped window only by message.
    if (window->isVisible()) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, wid), nullptr));
        if (tree) {
            xcb_client_message_event_t ev{};
            ev.response_type = XCB_CLIENT_MESSAGE;
            ev.format = 32;
            ev.window = wid;
            ev.type = netWmState;
            ev.data.data32[0] = inList ? 0 : 1; // _NET_WM_STATE_REMOVE / _ADD
            ev.data.data32[1] = skip[0];
            ev.data.data32[2] = skip[1];
            ev.data.data32[3] = 1; // the request comes from an application
            xcb_send_event(c, 0, tree->root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&ev));
        }
    }
    xcb_flush(c);
}

void prepareToShow(QWidget* window, bool inTaskList)
{
    setInTaskList(window, inTaskList);
    if (!onX11() || window->isVisible())
        return;
    xcb_connection_t* c = connection();
    if (!c)
        return;
    // WM_HINTS: flags, input, initial_state, ... (ICCCM 4.1.2.4).
    constexpr uint32_t kStateHint = 1u << 1;
    constexpr uint32_t kNormalState = 1;
    constexpr uint32_t kIconicState = 3;
    const auto wid = static_cast<xcb_window_t>(window->winId());
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c, xcb_get_property(c, 0, wid, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 3 * 4)
        return;
    const auto* value = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    QList<uint32_t> hints(value, value + xcb_get_property_value_length(r.get()) / 4);
    if (!(hints[0] & kStateHint) || hints[2] != kIconicState)
        return;
    hints[2] = kNormalState;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, wid, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        static_cast<uint32_t>(hints.size()), hints.constData());
    xcb_flush(c);
}

bool canUnminimize()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

TrayHosts* createTrayHosts(QObject* parent)
{
    return new X11TrayHosts(parent);
}

// KDE's Klipper and the other freedesktop clipboard managers skip a text
// offered with this entry.
void markClipboardSecret(QMimeData& data)
{
    data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
}

// Qt finds fonts through fontconfig, whose configuration and caches take
// longer to load than the rest of the start-up on a second core.
std::jthread prepareFonts()
{
    return std::jthread([] { FcInit(); });
}

} // namespace sb::app::platform
