// Hiding to the tray and back, the hot key, the tray icon and exit, with a
// stand-in hot key and tray (the offscreen platform has neither).
#include "app/hotkey.h"
#include "app/shell.h"
#include "app/tray.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTimer>
#include <QtTest>

namespace {

using Outcome = sb::app::GlobalHotKey::Outcome;
using sb::app::TrayKind;

const QString kRestore = QStringLiteral("&Restore!");
const QString kTrayIt = QStringLiteral("&TrayIt!");

class FakeHotKey final : public sb::app::GlobalHotKey
{
public:
    Outcome outcome = Outcome::Registered;
    bool registered = false;
    int unregistered = 0;

    Registration registerKey() override
    {
        registered = outcome == Outcome::Registered;
        return {outcome, registered ? QString() : QStringLiteral("taken")};
    }
    void unregisterKey() override
    {
        ++unregistered;
        registered = false;
    }
    bool isRegistered() const override { return registered; }
    void press() { emit activated(); }
};

// The icon is in the desktop's tray while the program wants it there and the
// desktop offers one.
class FakeTray final : public sb::app::TrayIcon
{
public:
    TrayKind offered = TrayKind::Embedded;
    bool wanted = false;
    QIcon icon;
    QMenu* menu = nullptr;

    void add(const QIcon& i, const QString&, QMenu* m) override
    {
        wanted = true;
        icon = i;
        menu = m;
        follow();
    }
    void remove() override
    {
        wanted = false;
        follow();
    }
    TrayKind kind() const override { return kind_; }
    bool added() const { return kind_ != TrayKind::None; }
    // The desktop's tray comes, goes or changes kind.
    void offer(TrayKind k)
    {
        offered = k;
        follow();
    }
    void click(QSystemTrayIcon::ActivationReason r) { emit activated(r); }

private:
    void follow()
    {
        const TrayKind k = wanted ? offered : TrayKind::None;
        if (k != kind_)
            emit kindChanged(kind_ = k);
    }
    TrayKind kind_ = TrayKind::None;
};

} // namespace

class TestShell : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    std::unique_ptr<FakeHotKey> hotKey_;
    std::unique_ptr<FakeTray> tray_;

    sb::app::frmStashbook& start() { return WindowFixture::start(hotKey_.get(), tray_.get()); }
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }
    QString caption() { return action("mnu_File_Restore_or_Hide")->text(); }
    bool inTaskList() { return window->findChild<sb::app::Shell*>()->inTaskList(); }

    // Shown, hidden in the tray, or (without a tray) minimised in the task list.
    enum class At { Shown, Tray, TaskList };
    void verifyAt(At at)
    {
        QTRY_COMPARE(caption(), at == At::Shown ? kTrayIt : kRestore);
        QCOMPARE(window->isVisible(), at != At::Tray);
        QCOMPARE(window->isMinimized(), at != At::Shown);
    }

    void fire(const QString& trigger)
    {
        if (trigger == "hot key")
            hotKey_->press();
        else if (trigger == "tray double-click")
            tray_->click(QSystemTrayIcon::DoubleClick);
        else if (trigger == "tray click")
            tray_->click(QSystemTrayIcon::Trigger);
        else if (trigger == "tray menu")
            action("mnu_File_Restore_or_Hide")->trigger();
        else if (trigger == "close request")
            QVERIFY2(!window->close(), "a close request must be refused");
        else
            window->setWindowState(window->windowState() | Qt::WindowMinimized);
    }

private slots:
    void init()
    {
        fresh();
        hotKey_ = std::make_unique<FakeHotKey>();
        tray_ = std::make_unique<FakeTray>();
        QGuiApplication::clipboard()->clear();
    }

    void startUp_data()
    {
        QTest::addColumn<bool>("trayAvailable");
        QTest::addColumn<Outcome>("keyOutcome");
        QTest::newRow("tray, key free") << true << Outcome::Registered;
        QTest::newRow("tray, key in use") << true << Outcome::InUse;
        QTest::newRow("no tray, key in use") << false << Outcome::InUse;
        QTest::newRow("no global keys here") << true << Outcome::Unsupported;
    }

    void startUp()
    {
        QFETCH(bool, trayAvailable);
        QFETCH(Outcome, keyOutcome);
        tray_->offered = trayAvailable ? TrayKind::Embedded : TrayKind::None;
        hotKey_->outcome = keyOutcome;
        start();
        // The program's own picture, in the title bar and in the tray, with
        // or without a tray to show it yet.
        QVERIFY(!window->windowIcon().pixmap(QSize(22, 22)).isNull());
        QVERIFY(!tray_->icon.pixmap(QSize(22, 22)).isNull());
        // Clicks that a tray reporting double-clicks (XEmbed) leaves alone: the
        // one before a double-click; the right button opens the menu by itself.
        for (auto r :
             {QSystemTrayIcon::Trigger, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
            tray_->click(r);
        verifyAt(At::Shown);
        QCOMPARE(tray_->added(), trayAvailable);
        QCOMPARE(inTaskList(), !trayAvailable);
        QCOMPARE(tray_->menu, child<QMenu>("mnu_File"));
        QCOMPARE(hotKey_->registered, keyOutcome == Outcome::Registered);
        // Told once when another program holds the key, with what still works.
        const bool inUse = keyOutcome == Outcome::InUse;
        QCOMPARE(notifier.titles, inUse ? QStringList{"[Stashbook]  :Hot Key:  Control-T Is In Use"}
                                        : QStringList());
        if (inUse)
            QCOMPARE(notifier.texts[0].contains("tray icon"), trayAvailable);
    }

    // Every trigger hides the shown window to the tray; those that can reach
    // a hidden window bring it back. A tray that reports no double-clicks
    // (StatusNotifierItem) toggles on a click. A tray that turns up after
    // start-up is used from then on.
    void toggle_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("trayLater");
        for (const char* t :
             {"hot key", "tray double-click", "tray menu", "close request", "minimise"})
            QTest::newRow(t) << t << false;
        QTest::newRow("tray click, no double-clicks") << "tray click" << false;
        QTest::newRow("minimise, tray appearing later") << "minimise" << true;
        QTest::newRow("close request, tray appearing later") << "close request" << true;
    }

    void toggle()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, trayLater);
        const TrayKind kind =
            trigger == "tray click" ? TrayKind::StatusNotifier : TrayKind::Embedded;
        tray_->offered = trayLater ? TrayKind::None : kind;
        start();
        QCOMPARE(tray_->added(), !trayLater);
        tray_->offer(kind);
        QVERIFY(!inTaskList());
        for (int round = 0; round < 2; ++round) {
            fire(trigger);
            verifyAt(At::Tray);
            fire(trigger == "minimise" ? "hot key" : trigger);
            verifyAt(At::Shown);
        }
        QVERIFY(tray_->added());
        QVERIFY(!window->exitRequested());
    }

    void withoutTray()
    {
        tray_->offered = TrayKind::None;
        start();
        // Minimising leaves the window minimised in the task list; the hot
        // key minimises instead of hiding.
        window->setWindowState(Qt::WindowMinimized);
        verifyAt(At::TaskList);
        hotKey_->press();
        verifyAt(At::Shown);
        hotKey_->press();
        verifyAt(At::TaskList);
        // Restored through the task list: the caption follows.
        window->setWindowState(Qt::WindowNoState);
        QCOMPARE(caption(), kTrayIt);
        // With no tray menu to exit from, closing ends the program.
        QVERIFY(window->close());
        QVERIFY(window->exitRequested());
        QCOMPARE(hotKey_->unregistered, 1);
    }

    // When the tray goes away the window is within reach at once: back in the
    // task list, and shown if it was hidden in the tray. A tray that comes
    // back takes the icon again; a window minimised in the task list waits
    // there until restored, and then leaves it.
    void trayGoesAway_data()
    {
        QTest::addColumn<TrayKind>("kind");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("shown, embedding tray") << TrayKind::Embedded << false;
        QTest::newRow("hidden, embedding tray") << TrayKind::Embedded << true;
        QTest::newRow("hidden, StatusNotifierItem host") << TrayKind::StatusNotifier << true;
    }

    void trayGoesAway()
    {
        QFETCH(TrayKind, kind);
        QFETCH(bool, hidden);
        tray_->offered = kind;
        start();
        if (hidden) {
            hotKey_->press();
            verifyAt(At::Tray);
        }
        tray_->offer(TrayKind::None);
        verifyAt(At::Shown);
        QVERIFY(inTaskList());
        hotKey_->press();
        verifyAt(At::TaskList);

        tray_->offer(kind);
        QVERIFY(tray_->added());
        verifyAt(At::TaskList);
        QVERIFY(inTaskList());
        hotKey_->press();
        verifyAt(At::Shown);
        QVERIFY(!inTaskList());
        hotKey_->press();
        verifyAt(At::Tray);
        hotKey_->press();
        verifyAt(At::Shown);
    }

    // Exit gives the hot key back, removes the icon and takes along a
    // password Stashbook left on the clipboard; anything else stays there.
    // Chosen while a box is open, it closes the box and ends the program at
    // once: nothing of the interrupted handler shows the window again.
    // (Ctrl+T while a box is open hides nothing: the box would be left alone.)
    void exitFromTrayMenu_data()
    {
        QTest::addColumn<bool>("holdsPassword");
        QTest::addColumn<QString>("laterByOthers"); // null: nobody touched it
        QTest::addColumn<QString>("atExit");
        QTest::addColumn<QString>("openBox"); // the box open when exit is chosen
        QTest::newRow("password left there") << true << QString() << QString() << QString();
        QTest::newRow("no password") << false << QString() << "bob s3cret" << QString();
        QTest::newRow("replaced since") << true << "other"
                                        << "other" << QString();
        QTest::newRow("during the start-up box")
            << true << QString() << QString() << "[Stashbook]  :Hot Key:  Control-T Is In Use";
        QTest::newRow("during a File Error box")
            << true << QString() << QString() << "[Stashbook]  :File Error:  SB-Sites.DaT";
    }

    void exitFromTrayMenu()
    {
        QFETCH(bool, holdsPassword);
        QFETCH(QString, laterByOthers);
        QFETCH(QString, atExit);
        QFETCH(QString, openBox);
        // Exit is chosen as soon as the box runs its loop.
        QString seen;
        bool keptByCtrlT = false;
        auto leftOpen = std::make_shared<bool>(false);
        auto exitFromBox = [&] {
            QTimer::singleShot(0, this, [&] {
                if (QWidget* box = QApplication::activeModalWidget())
                    seen = box->windowTitle();
                hotKey_->press();
                keptByCtrlT = window->isVisible() && QApplication::activeModalWidget();
                action("mnu_File_Exit")->trigger();
                // A box that exit did not close would block the test for good.
                QTimer::singleShot(1000, this, [leftOpen] {
                    if (QWidget* box = QApplication::activeModalWidget())
                        *leftOpen = box->close();
                });
            });
        };
        const bool atStartUp = openBox.contains("Hot Key");
        if (atStartUp) {
            hotKey_->outcome = Outcome::InUse;
            exitFromBox();
        }
        WindowFixture::start(hotKey_.get(), tray_.get(), /*realBoxes=*/!openBox.isNull());
        if (!atStartUp)
            window->clipboardGuard().place("bob s3cret", holdsPassword);
        if (!laterByOthers.isNull())
            QGuiApplication::clipboard()->setText(laterByOthers);
        if (openBox.isNull()) {
            action("mnu_File_Exit")->trigger();
        } else if (!atStartUp) {
            write("SB-Sites.DaT", "\"cut\"");
            exitFromBox();
            window->cmd_Reload_Click();
        }
        QCOMPARE(seen, openBox.isNull() ? QString() : openBox);
        QCOMPARE(keptByCtrlT, !openBox.isNull());
        QVERIFY(!*leftOpen);
        QCOMPARE(QGuiApplication::clipboard()->text(), atExit);
        QVERIFY(window->exitRequested());
        QCOMPARE(hotKey_->unregistered, 1);
        QVERIFY(!tray_->wanted);
        // Nothing shows the window any more, whatever is still queued.
        hotKey_->press();
        tray_->click(QSystemTrayIcon::DoubleClick);
        QCoreApplication::processEvents();
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
