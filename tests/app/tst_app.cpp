// The command line (which folder the program runs on, which starts it
// refuses before any window exists), the texts of the window and dialogs,
// and the shell: hiding to the tray and back, the hot key, the tray icon and
// exit, with a stand-in hot key and tray (the offscreen platform has
// neither).
#include "app/command_line.h"
#include "app/hotkey.h"
#include "app/shell.h"
#include "app/tray.h"
#include "support/window_driver.h"

#include <QAccessible>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>

namespace {

using sb::app::CommandLine;
using Action = CommandLine::Action;
using Outcome = sb::app::GlobalHotKey::Outcome;
using sb::app::TrayKind;

class FakeHotKey final : public sb::app::GlobalHotKey
{
public:
    Outcome outcome = Outcome::Registered;
    bool registered = false;
    int unregistered = 0;

    Registration registerKey() override { return answer(outcome, false); }
    // The desktop's answer, at once or later to a Pending registration.
    Registration answer(Outcome o, bool later = true)
    {
        registered = o == Outcome::Registered;
        const Registration r{o, registered ? QString() : "taken"};
        if (later)
            emit registrationFinished(r);
        return r;
    }
    void unregisterKey() override { ++unregistered, registered = false; }
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
    QString tip;

    void add(const QIcon& i, const QString& t, QMenu* m) override
    {
        icon = i;
        menu = m;
        tip = t;
        follow(offered, true);
    }
    void remove() override { follow(offered, false); }
    void setTip(const QString& t) override { tip = t; }
    TrayKind kind() const override { return kind_; }
    // The desktop's tray comes, goes or changes kind.
    void offer(TrayKind k) { follow(k, wanted); }
    void click(QSystemTrayIcon::ActivationReason r) { emit activated(r); }

private:
    void follow(TrayKind k, bool want)
    {
        offered = k;
        wanted = want;
        if (const TrayKind now = want ? k : TrayKind::None; now != kind_)
            emit kindChanged(kind_ = now);
    }
    TrayKind kind_ = TrayKind::None;
};

} // namespace

class TestApp : public QObject, sb::test::WindowDriver
{
    Q_OBJECT

    QTemporaryDir tmp;
    std::unique_ptr<FakeHotKey> hotKey_;
    std::unique_ptr<FakeTray> tray_;

    QAction* action(const char* name) { return window->findChild<QAction*>(name); }

    // Where the window is: "shown" (its icon in the tray), "listed" (shown
    // in the task list, as there is no tray), "tray" (hidden in the tray),
    // "minimised" (waiting in the task list) or "exited".
    void verifyAt(const QString& at)
    {
        QCOMPARE(window->exitRequested(), at == "exited");
        if (at == "exited") {
            QCOMPARE(hotKey_->unregistered, 1);
            QVERIFY(!tray_->wanted);
            return;
        }
        const bool hidden = at == "tray" || at == "minimised";
        QTRY_COMPARE(action("mnu_File_Restore_or_Hide")->text(), hidden ? "&Restore!" : "&TrayIt!");
        QCOMPARE(window->isVisible(), at != "tray");
        QCOMPARE(window->isMinimized(), hidden);
        QCOMPARE(window->findChild<sb::app::Shell*>()->inTaskList(),
                 at == "listed" || at == "minimised");
        if (at != "minimised")
            QCOMPARE(tray_->kind() != TrayKind::None, at == "shown" || at == "tray");
    }

private slots:
    void initTestCase()
    {
        sb::app::nameProgram();
        QStandardPaths::setTestModeEnabled(true); // the settings file too
        const QDir root(QFileInfo(tmp.path()).canonicalFilePath());
        QVERIFY(root.mkpath("real") && root.mkpath("locked"));
        QVERIFY(QFile::link(tmp.filePath("real"), tmp.filePath("link")));
        sb::test::writeFile(tmp.path(), "file", {});
        QVERIFY(QFile::setPermissions(tmp.filePath("locked"), {}));
        // Relative folders are taken from the working directory.
        QVERIFY(QDir::setCurrent(root.path()));
    }

    void cleanupTestCase()
    {
        QFile::setPermissions(tmp.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // "run DIR SECONDS" (relative to the temporary folder; how long a copied
    // password stays, 30 when not given), "refuse TEXT" (a part of the
    // message on standard error) or "print TEXT" (on standard output).
    // "[X]" in front of the arguments: X is the settings' clipboard-seconds.
    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by blanks
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* name, const char* arguments, const char* outcome) {
            QTest::newRow(name) << arguments << outcome;
        };
        row("default: the working directory", "", "run .");
        row("relative folder", "--data-dir real", "run real");
        row("toggle the running program", "--toggle --data-dir real", "run real");
        row("one folder, two spellings", "--data-dir=./link/../real/", "run real");
        row("symbolic link: the folder it names", "--data-dir link", "run real");
        row("missing folder", "--data-dir nowhere",
            "refuse \"nowhere\": No such file or directory");
        row("a file, not a folder", "--data-dir file", "refuse \"file\": Not a directory");
        row("a folder that cannot be entered", "--data-dir locked",
            "refuse \"locked\": Permission denied");
        row("empty folder name", "--data-dir=", "refuse empty");
        row("no folder after the option", "--data-dir", "refuse Missing value after '--data-dir'");
        row("unknown option", "--bogus --data-dir real", "refuse Unknown option 'bogus'");
        row("stray argument", "real", "refuse unexpected argument 'real'");
        row("Qt's own options, left to Qt",
            "-platform offscreen --style=fusion -reverse --data-dir real", "run real");
        row("help", "--help", "print --data-dir <DIR>");
        row("help before a bad folder", "-h --data-dir nowhere", "print --version");
        row("version", "--version", "print Stashbook " STASHBOOK_TEST_VERSION "\n");
        row("version, short", "-v", "print Stashbook " STASHBOOK_TEST_VERSION "\n");
        row("clipboard until exit", "--clipboard-seconds 0", "run . 0");
        row("clipboard seconds from the settings", "[45]", "run . 45");
        row("the option over the settings", "[45] --clipboard-seconds 86400", "run . 86400");
        row("a bad setting is ignored", "[soon]", "run . 30");
        row("negative seconds", "--clipboard-seconds -1", "refuse from 0 to 86400, not \"-1\"");
        row("more than a day", "--clipboard-seconds 86401", "refuse not \"86401\"");
    }

    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, outcome);
        // Permissions do not stop root.
        if (arguments.contains("locked") && QDir(tmp.filePath("locked")).isReadable())
            QSKIP("this user enters any folder");
        if (arguments.startsWith('['))
            QSettings("Stashbook", "Stashbook")
                .setValue("clipboard-seconds", arguments.section(']', 0, 0).mid(1));
        const CommandLine line = sb::app::readCommandLine(
            ("stashbook " + arguments.section(']', -1)).split(' ', Qt::SkipEmptyParts));
        const QString action = outcome.section(' ', 0, 0), rest = outcome.section(' ', 1, 1);
        QCOMPARE(line.action, action == "run"      ? Action::Run
                              : action == "refuse" ? Action::Refuse
                                                   : Action::Print);
        QCOMPARE(line.dataDir,
                 action == "run" ? QFileInfo(tmp.filePath(rest)).canonicalFilePath() : QString());
        QCOMPARE(line.toggle, arguments.contains("--toggle"));
        const QString seconds = outcome.section(' ', 2);
        QCOMPARE(line.clipboardSeconds,
                 action == "run" && !seconds.isEmpty() ? seconds.toInt() : 30);
        QVERIFY2(action == "run" || line.text.contains(outcome.section(' ', 1)),
                 qPrintable(line.text));
        QVERIFY(action != "refuse" || line.text.startsWith("stashbook: "));
    }

    // Where the program takes Ctrl+T from: an X11 grab sees every key only
    // in an X11 session, not under Xwayland.
    void hotKeyRoute_data()
    {
        QTest::addColumn<QString>("platform"); // platform, XDG_SESSION_TYPE, WAYLAND_DISPLAY
        QTest::addColumn<sb::app::HotKeyRoute>("route");
        using R = sb::app::HotKeyRoute;
        QTest::newRow("X11 session") << "xcb x11 " << R::X11Grab;
        QTest::newRow("X11, session unknown") << "xcb  " << R::X11Grab;
        QTest::newRow("X11 with a nested compositor") << "xcb x11 wayland-1" << R::X11Grab;
        QTest::newRow("Xwayland") << "xcb wayland wayland-0" << R::Portal;
        QTest::newRow("Xwayland, started from a console") << "xcb tty wayland-0" << R::Portal;
        QTest::newRow("native Wayland") << "wayland wayland wayland-0" << R::Portal;
        QTest::newRow("offscreen") << "offscreen wayland wayland-0" << R::None;
    }

    void hotKeyRoute()
    {
        QFETCH(QString, platform);
        const QStringList p = platform.split(' ');
        QTEST(sb::app::hotKeyRoute(p[0], p[1], p[2]), "route");
    }

    void init()
    {
        fresh();
        QSettings("Stashbook", "Stashbook").clear();
        hotKey_ = std::make_unique<FakeHotKey>();
        tray_ = std::make_unique<FakeTray>();
        QGuiApplication::clipboard()->clear();
    }

    // Two starts with a tray or without, the hot key granted, taken, not
    // offered by the desktop (at once, or Pending and then `later`); then
    // the steps of `script`, each a trigger and where the window is then
    // (see verifyAt); "tray gone" and "tray back" are the desktop's tray
    // going and coming.
    void shell_data()
    {
        QTest::addColumn<TrayKind>("kind"); // of the tray whenever there is one
        QTest::addColumn<bool>("trayAtStart");
        QTest::addColumn<Outcome>("keyOutcome");
        QTest::addColumn<Outcome>("later");
        QTest::addColumn<QList<bool>>("answers"); // "tell again?", at each start
        QTest::addColumn<QString>("told");        // the boxes of two starts
        QTest::addColumn<QString>("script");
        const QString inUse = "[Stashbook]  :Hot Key:  Control-T Is In Use";
        const QString noKeys = "[Stashbook]  :Hot Key:  No Global Keys On This Desktop";
        const auto row = [](const char* name, bool tray, const QString& script,
                            Outcome now = Outcome::Registered, Outcome later = {},
                            QList<bool> answers = {}, const QString& told = {},
                            TrayKind kind = TrayKind::Embedded) {
            QTest::newRow(name) << kind << tray << now << later << answers << told << script;
        };
        // Told at every start when another program holds the key; that the
        // desktop has none until the user says not to.
        row("tray, key free", true, "shown");
        row("tray, key in use", true, "shown", Outcome::InUse, {}, {}, inUse + "|" + inUse);
        row("no tray, key in use", false, "listed", Outcome::InUse, {}, {}, inUse + "|" + inUse);
        row("no global keys, told again", true, "shown", Outcome::Unsupported, {}, {true},
            noKeys + "|" + noKeys);
        row("no global keys, not again", false, "listed", Outcome::Unsupported, {}, {false},
            noKeys);
        row("desktop grants the key later", true, "shown", Outcome::Pending, Outcome::Registered);
        row("desktop has no keys, says later", true, "shown", Outcome::Pending,
            Outcome::Unsupported, {false}, noKeys);
        // Every trigger hides the shown window to the tray; those that can
        // reach a hidden window bring it back. (A tray that reports no
        // double-clicks, StatusNotifierItem, toggles on a click: on a real
        // desktop, desktop.sh sni.)
        const auto round = [](const char* hide, const char* show) {
            return QString(", %1>tray, %2>shown").arg(hide, show).repeated(2);
        };
        for (const char* t : {"hot key", "tray double-click", "tray menu", "close request"})
            row(t, true, "shown" + round(t, t));
        // A tray that turns up after start-up is used from then on.
        row("minimise, tray appearing later", false,
            "listed, tray back>shown" + round("minimise", "hot key"));
        // Without a tray the hot key minimises instead of hiding, and with no
        // tray menu to exit from, closing ends the program.
        row("no tray", false,
            "listed, minimise>minimised, hot key>listed, hot key>minimised, restore>listed, "
            "close request>exited");
        // When the tray goes away the window is within reach at once: back in
        // the task list, and shown if it was hidden in the tray. A tray that
        // comes back takes the icon again; a window minimised in the task
        // list waits there until restored, and then leaves it.
        const QString goneAndBack = "tray gone>listed, hot key>minimised, tray back>minimised, "
                                    "hot key>shown, hot key>tray, hot key>shown";
        row("tray gone while shown", true, "shown, " + goneAndBack);
        row("tray gone while hidden", true, "shown, hot key>tray, " + goneAndBack);
        row("StatusNotifierItem host gone while hidden", true,
            "shown, hot key>tray, " + goneAndBack, Outcome::Registered, {}, {}, {},
            TrayKind::StatusNotifier);
    }

    void shell()
    {
        QFETCH(TrayKind, kind);
        QFETCH(bool, trayAtStart);
        QFETCH(Outcome, keyOutcome);
        QFETCH(Outcome, later);
        QFETCH(QString, told);
        QFETCH(QString, script);
        tray_->offered = trayAtStart ? kind : TrayKind::None;
        hotKey_->outcome = keyOutcome;
        QFETCH(QList<bool>, answers);
        notifier.answers = answers;
        for (int run = 0; run < 2; ++run) {
            start(hotKey_.get(), tray_.get());
            if (keyOutcome == Outcome::Pending)
                hotKey_->answer(later);
        }
        QCOMPARE(notifier.titles.join('|'), told);
        // Both boxes name the command to bind instead.
        for (const QString& text : notifier.texts)
            QVERIFY2(text.contains(" --toggle --data-dir " + dir->path() + "\n"), qPrintable(text));
        QCOMPARE(hotKey_->registered,
                 (keyOutcome == Outcome::Pending ? later : keyOutcome) == Outcome::Registered);
        // The program's own picture, in the title bar and in the tray, with
        // or without a tray to show it yet; the tray's menu is the window's.
        QVERIFY(!window->windowIcon().pixmap(QSize(22, 22)).isNull());
        QVERIFY(!tray_->icon.pixmap(QSize(22, 22)).isNull());
        QCOMPARE(tray_->menu, child<QMenu>("mnu_File"));
        // Clicks that a tray reporting double-clicks (XEmbed) leaves alone: the
        // one before a double-click; the right button opens the menu by itself.
        tray_->click(QSystemTrayIcon::Context);
        tray_->click(QSystemTrayIcon::MiddleClick);
        if (kind == TrayKind::Embedded)
            tray_->click(QSystemTrayIcon::Trigger);
        for (const QString& step : script.split(", ")) {
            const QString trigger = step.section('>', 0, -2);
            if (trigger == "hot key")
                hotKey_->press();
            else if (trigger == "tray double-click")
                tray_->click(QSystemTrayIcon::DoubleClick);
            else if (trigger == "tray menu")
                action("mnu_File_Restore_or_Hide")->trigger();
            else if (trigger == "close request") // refused while there is a tray
                QCOMPARE(window->close(), tray_->kind() == TrayKind::None);
            else if (trigger == "minimise")
                window->setWindowState(window->windowState() | Qt::WindowMinimized);
            else if (trigger == "restore")
                window->setWindowState(Qt::WindowNoState);
            else if (!trigger.isEmpty())
                tray_->offer(trigger == "tray back" ? kind : TrayKind::None);
            verifyAt(step.section('>', -1));
        }
    }

    // No text of a button or label is cut or drawn on its button's edge (the
    // style's margins): where the design is too narrow for the desktop's font,
    // that control's font shrinks just enough, to 7 points at least, at which
    // the left-aligned site caption alone may still be cut. ctest runs this at
    // 96 and at 144 dpi.
    void textsFit_data()
    {
        // The button that opens the dialog walked ("-": none, the window
        // itself), and the site selected with its first account ("-": none,
        // "Long": a long name).
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("site");
        for (const char* row :
             {"- -", "- Example", "- Long", "cmd_Add_Site -", "cmd_Edit_Site Long",
              "cmd_Add_Account Example", "cmd_Edit_Account Example"})
            QTest::newRow(row) << QString(row).section(' ', 0, 0) << QString(row).section(' ', 1);
    }

    void textsFit()
    {
        QFETCH(QString, opener);
        QFETCH(QString, site);
        const QString name = site == "Long" ? QString("Long Site Name ").repeated(8) : site;
        run(name == "-" ? "nosite"
                        : QString("write S %1,www.x.com; write A %1,Bob Bobbington,s3cret,; site "
                                  "%1; row lst_Username 0")
                              .arg(name));
        int walked = 0;
        QStringList cut; // texts cut, or shrunk without need
        const auto walk = [&](QWidget& top) {
            for (QWidget* w : top.findChildren<QWidget*>()) {
                auto* button = qobject_cast<QPushButton*>(w);
                const QString text = w->property("text").toString();
                if (text.isEmpty() || !w->isVisibleTo(&top) ||
                    !(button || qobject_cast<QLabel*>(w)))
                    continue;
                ++walked;
                QStyleOptionButton o; // without text: no least width of a labelled button
                o.initFrom(w);
                o.features = button && button->autoDefault() ? o.AutoDefaultButton : o.None;
                const auto fits = [&](const QFont& font) {
                    const QSize s = QFontMetrics(font).size(Qt::TextShowMnemonic, text);
                    const QSize need =
                        button ? w->style()->sizeFromContents(QStyle::CT_PushButton, &o, s, w) : s;
                    return need.width() <= w->contentsRect().width() &&
                           s.height() <= w->contentsRect().height();
                };
                const qreal points = w->font().pointSizeF();
                QFont larger = w->font(); // a tenth of a point more: too large
                larger.setPointSizeF(points + 0.1);
                if (points < 7 ||
                    !(fits(w->font()) || (points == 7 && text.startsWith("[SITE: "))) ||
                    (points != w->parentWidget()->font().pointSizeF() &&
                     (fits(w->parentWidget()->font()) || fits(larger))))
                    cut << QString("%1 at %2 pt").arg(text).arg(points);
            }
        };
        notifier.onDialog = [&](QDialog& d) { return walk(d), 0; };
        if (opener == "-")
            walk(*window);
        else
            run("click " + opener);
        QVERIFY(walked >= 4);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
    }

    // Exit gives the hot key back, removes the icon and takes along a
    // password Stashbook left on the clipboard; anything else stays there.
    // Chosen while a box is open, it closes the box and ends the program at
    // once: nothing of the interrupted handler shows the window again.
    // (Ctrl+T while a box is open hides nothing: the box would be left alone.)
    //
    // A password copied is cleared after a delay (30 s unless a row gives
    // one in ms: the window is then hidden in the tray, whose tip counts
    // down, and the row waits for it) unless another text replaced it.
    void exitFromTrayMenu_data()
    {
        // a password or a text [, the delay], then what others put there
        QTest::addColumn<QString>("placed");
        QTest::addColumn<QString>("told");   // by the status bar once it is placed
        QTest::addColumn<QString>("waited"); // on the clipboard after the delay
        QTest::addColumn<QString>("atExit");
        QTest::addColumn<QString>("openBox"); // the box open when exit is chosen
        const auto row = [](const char* name, const char* placed, const char* told,
                            const char* waited, const char* atExit, const char* openBox) {
            QTest::newRow(name) << placed << told << waited << atExit << openBox;
        };
        const char *in30 = "Password copied: the clipboard is cleared in 30 s",
                   *in1 = "Password copied: the clipboard is cleared in 1 s";
        row("password left there", "password", in30, "", "", "");
        row("no password", "text", "", "", "bob s3cret", "");
        row("replaced since", "password other", in30, "", "other", "");
        row("during the start-up box", "", "", "", "",
            "[Stashbook]  :Hot Key:  Control-T Is In Use");
        row("during a File Error box", "password", in30, "", "",
            "[Stashbook]  :File Error:  SB-Sites.DaT");
        row("during a question naming a site", "password", in30, "", "",
            "[Stashbook]  :Remove Site:  Are You Sure?");
        row("cleared after the delay", "password 100", in1, "", "", "");
        row("replaced before the delay", "password 100 other", in1, "other", "other", "");
        row("no delay: kept until exit", "password 0", "", "bob s3cret", "", "");
    }

    void exitFromTrayMenu()
    {
        QFETCH(QString, placed);
        QFETCH(QString, told);
        QFETCH(QString, openBox);
        bool waits = false;
        const int delay = placed.section(' ', 1, 1).toInt(&waits);
        const QString others = placed.section(' ', waits ? 2 : 1);
        clipboardDelay = std::chrono::milliseconds(waits ? delay : 30000);
        QString seen, shown; // the open box's title, and its text as shown
        bool keptByCtrlT = false;
        auto leftOpen = std::make_shared<bool>(false);
        // Exit is chosen as soon as the box runs its loop.
        auto exitFromBox = [&] {
            QTimer::singleShot(0, this, [&] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    seen = box->windowTitle();
                    shown = QAccessible::queryAccessibleInterface(
                                box->findChild<QLabel*>("qt_msgbox_label"))
                                ->text(QAccessible::Name);
                }
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
        // A name that would be markup to a box that took it for rich text.
        const QString site = "<b>x</b>  y<br>z";
        run("write S " + site + ",x.example");
        hotKey_->outcome = openBox.contains("Hot Key") ? Outcome::InUse : Outcome::Registered;
        if (openBox.contains("Hot Key"))
            exitFromBox();
        start(hotKey_.get(), tray_.get(), /*realBoxes=*/!openBox.isEmpty());
        if (delay > 0)
            hotKey_->press();
        if (!placed.isEmpty())
            window->clipboardGuard().place("bob s3cret", placed.startsWith("password"));
        QCOMPARE(child<QStatusBar>("sts_Bar")->currentMessage(), told);
        QCOMPARE(tray_->tip, delay > 0 ? told : "Stashbook");
        if (!others.isEmpty())
            QGuiApplication::clipboard()->setText(others);
        if (waits) {
            QTest::qWait(delay + 300);
            QTEST(QGuiApplication::clipboard()->text(), "waited");
            QCOMPARE(child<QStatusBar>("sts_Bar")->currentMessage() + tray_->tip, "Stashbook");
        }
        run(openBox.contains("Remove") ? "site " + site
            : openBox.contains("File") ? "write S \"cut\""
                                       : "");
        if (openBox.isEmpty())
            action("mnu_File_Exit")->trigger();
        else if (!openBox.contains("Hot Key"))
            exitFromBox();
        if (openBox.contains("Remove"))
            window->cmd_Rem_Site_Click();
        if (openBox.contains("File"))
            window->cmd_Reload_Click();
        QCOMPARE(seen, openBox);
        QCOMPARE(shown.contains(site), openBox.contains("Remove")); // shown as typed
        QCOMPARE(keptByCtrlT, !openBox.isEmpty());
        QVERIFY(!*leftOpen);
        QTEST(QGuiApplication::clipboard()->text(), "atExit");
        verifyAt("exited");
        // Nothing shows the window any more, whatever is still queued.
        hotKey_->press();
        tray_->click(QSystemTrayIcon::DoubleClick);
        QCoreApplication::processEvents();
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
