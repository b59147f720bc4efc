// Hiding to the tray and back, the hot key, the tray icon and exit, with a
// stand-in hot key and tray (the offscreen platform has neither).
#include "app/hotkey.h"
#include "app/main_window.h"
#include "app/tray.h"
#include "support/fake_notifier.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

using Outcome = sb::app::GlobalHotKey::Outcome;
using Reason = QSystemTrayIcon::ActivationReason;

const QString kRestore = QStringLiteral("&Restore!");
const QString kTrayIt = QStringLiteral("&TrayIt!");
const QString kInUseTitle = QStringLiteral("[Stashbook]  :Hot Key:  Control-T Is In Use");

class FakeHotKey final : public sb::app::GlobalHotKey
{
public:
    Outcome outcome = Outcome::Registered;
    int unregistered = 0;

    Registration registerKey() override
    {
        registered_ = outcome == Outcome::Registered;
        return {outcome, registered_ ? QString() : QStringLiteral("taken")};
    }
    void unregisterKey() override
    {
        ++unregistered;
        registered_ = false;
    }
    bool isRegistered() const override { return registered_; }
    void press() { emit activated(); }

private:
    bool registered_ = false;
};

class FakeTray final : public sb::app::TrayIcon
{
public:
    bool available = true;
    QString tip;
    QMenu* menu = nullptr;
    bool hasIcon = false;
    bool doubleClicks = true;

    bool isAvailable() const override { return available; }
    void add(const QIcon& icon, const QString& t, QMenu* m) override
    {
        added_ = true;
        hasIcon = !icon.isNull();
        tip = t;
        menu = m;
    }
    void remove() override { added_ = false; }
    bool isAdded() const override { return added_; }
    bool reportsDoubleClicks() const override { return doubleClicks; }
    void click(Reason r) { emit activated(r); }

private:
    bool added_ = false;
};

// Counts the close events a widget receives.
class CloseCounter final : public QObject
{
public:
    int closes = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Close)
            ++closes;
        return false;
    }
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    sb::test::FakeNotifier notifier_;
    std::unique_ptr<FakeHotKey> hotKey_;
    std::unique_ptr<FakeTray> tray_;
    std::unique_ptr<sb::app::frmStashbook> window_;

    sb::app::frmStashbook& make()
    {
        sb::app::Environment env;
        env.dataDir = dir_.path().toStdString();
        env.notifier = &notifier_;
        env.hotKey = hotKey_.get();
        env.tray = tray_.get();
        window_ = std::make_unique<sb::app::frmStashbook>(env);
        return *window_;
    }

    sb::app::frmStashbook& start()
    {
        make().Start_Up();
        return *window_;
    }

    QAction* action(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
    QString caption() { return action("mnu_File_Restore_or_Hide")->text(); }

    void verifyShown()
    {
        QTRY_VERIFY(window_->isVisible());
        QVERIFY(!window_->isMinimized());
        QCOMPARE(caption(), kTrayIt);
    }
    void verifyHiddenInTray()
    {
        QTRY_VERIFY(!window_->isVisible());
        QVERIFY(window_->isMinimized());
        QCOMPARE(caption(), kRestore);
    }

    void fire(const QString& trigger)
    {
        if (trigger == QLatin1String("hot key"))
            hotKey_->press();
        else if (trigger == QLatin1String("tray double-click"))
            tray_->click(QSystemTrayIcon::DoubleClick);
        else if (trigger == QLatin1String("tray menu"))
            action("mnu_File_Restore_or_Hide")->trigger();
        else if (trigger == QLatin1String("close request"))
            QVERIFY2(!window_->close(), "a close request must be refused");
        else if (trigger == QLatin1String("minimise"))
            window_->setWindowState(window_->windowState() | Qt::WindowMinimized);
        else
            QFAIL("unknown trigger");
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void init()
    {
        notifier_.errors.clear();
        hotKey_ = std::make_unique<FakeHotKey>();
        tray_ = std::make_unique<FakeTray>();
        QGuiApplication::clipboard()->clear();
    }

    void cleanup() { window_.reset(); }

    void trayMenuAtDesign()
    {
        make();
        const QList<QAction*> items = window_->findChild<QMenu*>("mnu_File")->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->objectName(), QStringLiteral("mnu_File_Restore_or_Hide"));
        QCOMPARE(items[0]->text(), kRestore);
        QCOMPARE(items[1]->objectName(), QStringLiteral("Hyphen4"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->objectName(), QStringLiteral("mnu_File_Exit"));
        QCOMPARE(items[2]->text(), QStringLiteral("   E&xit"));
    }

    void startUp_data()
    {
        QTest::addColumn<bool>("trayAvailable");
        QTest::addColumn<Outcome>("keyOutcome");
        QTest::addColumn<bool>("toldInUse");
        QTest::newRow("tray, key free") << true << Outcome::Registered << false;
        QTest::newRow("tray, key in use") << true << Outcome::InUse << true;
        QTest::newRow("no tray, key in use") << false << Outcome::InUse << true;
        QTest::newRow("no global keys here") << true << Outcome::Unsupported << false;
    }

    void startUp()
    {
        QFETCH(bool, trayAvailable);
        QFETCH(Outcome, keyOutcome);
        QFETCH(bool, toldInUse);
        tray_->available = trayAvailable;
        hotKey_->outcome = keyOutcome;
        start();

        verifyShown();
        QVERIFY(!window_->exitRequested());
        QCOMPARE(tray_->isAdded(), trayAvailable);
        if (trayAvailable) {
            QCOMPARE(tray_->tip, QStringLiteral("Stashbook"));
            QVERIFY(tray_->hasIcon);
            QCOMPARE(tray_->menu, window_->findChild<QMenu*>("mnu_File"));
        }
        QCOMPARE(hotKey_->isRegistered(), keyOutcome == Outcome::Registered);
        QCOMPARE(notifier_.errors.size(), toldInUse ? 1 : 0);
        if (toldInUse) {
            QCOMPARE(notifier_.errors[0].title, kInUseTitle);
            QVERIFY(notifier_.errors[0].text.contains(QStringLiteral("another program")));
            QCOMPARE(notifier_.errors[0].text.contains(QStringLiteral("tray icon")), trayAvailable);
        }
    }

    // Every trigger hides the shown window to the tray; those that can reach
    // a hidden window bring it back.
    void toggle_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("restores");
        QTest::newRow("hot key") << "hot key" << true;
        QTest::newRow("tray double-click") << "tray double-click" << true;
        QTest::newRow("tray menu") << "tray menu" << true;
        QTest::newRow("close request") << "close request" << true;
        QTest::newRow("minimise") << "minimise" << false;
    }

    void toggle()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, restores);
        start();
        for (int round = 0; round < 2; ++round) {
            fire(trigger);
            verifyHiddenInTray();
            if (!restores)
                hotKey_->press();
            else
                fire(trigger);
            verifyShown();
        }
        QVERIFY(tray_->isAdded());
        QVERIFY(!window_->exitRequested());
    }

    // What the tray reports for the user's clicks, on a tray that reports
    // double-clicks (XEmbed) or one that does not (StatusNotifierItem);
    // whether the window is shown at the end.
    void trayClicks_data()
    {
        QTest::addColumn<bool>("doubleClicks");
        QTest::addColumn<QList<int>>("events");
        QTest::addColumn<bool>("shown");
        const int click = QSystemTrayIcon::Trigger;
        const int dbl = QSystemTrayIcon::DoubleClick;
        const int right = QSystemTrayIcon::Context;
        const int middle = QSystemTrayIcon::MiddleClick;
        QTest::newRow("XEmbed: single click") << true << QList<int>{click} << true;
        QTest::newRow("XEmbed: double-click") << true << QList<int>{click, dbl} << false;
        QTest::newRow("XEmbed: two double-clicks")
            << true << QList<int>{click, dbl, click, dbl} << true;
        QTest::newRow("SNI: activation") << false << QList<int>{click} << false;
        QTest::newRow("SNI: two activations") << false << QList<int>{click, click} << true;
        QTest::newRow("right click") << true << QList<int>{right} << true;
        QTest::newRow("middle click") << false << QList<int>{middle} << true;
    }

    void trayClicks()
    {
        QFETCH(bool, doubleClicks);
        QFETCH(QList<int>, events);
        QFETCH(bool, shown);
        tray_->doubleClicks = doubleClicks;
        start();
        for (int e : events)
            tray_->click(Reason(e));
        QCOMPARE(window_->isVisible(), shown);
        QCOMPARE(caption(), shown ? kTrayIt : kRestore);
    }

    void trayMenuBringsShownWindowForward()
    {
        start();
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());

        // What the tray does on a right click, short of the popup's grabs,
        // which the offscreen platform cannot do.
        auto* menu = window_->findChild<QMenu*>("mnu_File");
        emit menu->aboutToShow();
        QTRY_VERIFY(window_->isActiveWindow());

        hotKey_->press();
        verifyHiddenInTray();
        emit menu->aboutToShow();
        QTest::qWait(20);
        QVERIFY(!window_->isVisible());
    }

    void withoutTray()
    {
        tray_->available = false;
        start();

        // Minimising leaves the window minimised in the task list.
        window_->setWindowState(Qt::WindowMinimized);
        QTRY_COMPARE(caption(), kRestore);
        QVERIFY(window_->isVisible());
        QVERIFY(window_->isMinimized());
        hotKey_->press();
        verifyShown();
        // The hot key minimises instead of hiding.
        hotKey_->press();
        QCOMPARE(caption(), kRestore);
        QVERIFY(window_->isVisible());
        QVERIFY(window_->isMinimized());
        // Restored through the task list: the caption follows.
        window_->setWindowState(Qt::WindowNoState);
        QCOMPARE(caption(), kTrayIt);

        // With no tray menu to exit from, closing ends the program.
        QVERIFY(window_->close());
        QVERIFY(window_->exitRequested());
        QCOMPARE(hotKey_->unregistered, 1);
    }

    void trayAppearingLater_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("minimise") << "minimise";
        QTest::newRow("close request") << "close request";
    }

    void trayAppearingLater()
    {
        QFETCH(QString, trigger);
        tray_->available = false;
        start();
        QVERIFY(!tray_->isAdded());
        tray_->available = true;
        fire(trigger);
        verifyHiddenInTray();
        QVERIFY(tray_->isAdded());
        QVERIFY(!window_->exitRequested());
    }

    void exitFromTrayMenu()
    {
        start();
        CloseCounter closes;
        window_->installEventFilter(&closes);
        action("mnu_File_Exit")->trigger();

        QVERIFY(window_->exitRequested());
        QCOMPARE(hotKey_->unregistered, 1);
        QVERIFY(!hotKey_->isRegistered());
        QVERIFY(!tray_->isAdded());
        QCOMPARE(closes.closes, 0);
        // Nothing toggles any more on the way out, whatever is still queued.
        hotKey_->press();
        QCOMPARE(caption(), kTrayIt);
        tray_->click(QSystemTrayIcon::DoubleClick);
        QCOMPARE(caption(), kTrayIt);
        QVERIFY(window_->isVisible());
    }

    void clipboardAtExit_data()
    {
        QTest::addColumn<QString>("placed");
        QTest::addColumn<bool>("holdsPassword");
        QTest::addColumn<QString>("laterByOthers"); // empty: nobody touched it
        QTest::addColumn<QString>("atExit");
        QTest::newRow("password left there") << "bob s3cret" << true << ""
                                             << "";
        QTest::newRow("no password") << "example.com" << false << ""
                                     << "example.com";
        QTest::newRow("replaced since") << "bob s3cret" << true << "other"
                                        << "other";
    }

    void clipboardAtExit()
    {
        QFETCH(QString, placed);
        QFETCH(bool, holdsPassword);
        QFETCH(QString, laterByOthers);
        QFETCH(QString, atExit);
        start();
        window_->clipboardGuard().place(placed, holdsPassword);
        QCOMPARE(QGuiApplication::clipboard()->text(), placed);
        if (!laterByOthers.isEmpty())
            QGuiApplication::clipboard()->setText(laterByOthers);
        action("mnu_File_Exit")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), atExit);
    }

    // Runs the real loop, so it ends every event loop: keep it last.
    void waitLoopRunsUntilExit()
    {
        start();
        QTimer::singleShot(0, this, [this] {
            hotKey_->press();
            action("mnu_File_Exit")->trigger();
        });
        window_->Wait_For_Hot_Key();
        QVERIFY(window_->exitRequested());
        QCOMPARE(caption(), kRestore); // the hot key ran inside the loop
        window_->Wait_For_Hot_Key();   // returns at once after exit
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
