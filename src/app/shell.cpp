#include "app/shell.h"

#include "app/clipboard_guard.h"
#include "app/command_line.h"
#include "app/hotkey.h"
#include "app/platform.h"
#include "app/tray.h"
#include "common/ports.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace sb::app {

namespace {

const QString kRestore = QStringLiteral("&Restore!");
const QString kTrayIt = QStringLiteral("&TrayIt!");
const QString kTrayTip = QStringLiteral("Stashbook");
const QString kHotKeyInUseTitle = QStringLiteral("[Stashbook]  :Hot Key:  Control-T Is In Use");
const QString kNoGlobalKeyTitle =
    QStringLiteral("[Stashbook]  :Hot Key:  No Global Keys On This Desktop");
// In the settings file: whether to tell at start-up that there is no global key.
const QString kTellNoGlobalKey = QStringLiteral("startUp/tellNoGlobalKey");

QString shellQuoted(const QString& word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=+-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

// The command that shows and hides this program on `dataDir` from anywhere:
// by its bare name where that finds this very program, else by its path.
QString toggleCommand(const std::filesystem::path& dataDir)
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString byName = QStandardPaths::findExecutable(QStringLiteral("stashbook"));
    const bool found = !byName.isEmpty() &&
                       QFileInfo(byName).canonicalFilePath() == QFileInfo(self).canonicalFilePath();
    const QString folder = QFileInfo(QString::fromStdString(dataDir.string())).absoluteFilePath();
    return (found ? QStringLiteral("stashbook") : shellQuoted(self)) +
           QStringLiteral(" --toggle --data-dir ") + shellQuoted(folder);
}

} // namespace

Shell::Shell(QWidget* window, TrayMenu menu, GlobalHotKey* hotKey, TrayIcon* tray,
             common::Prompter& prompter, ClipboardGuard& clipboard,
             const std::filesystem::path& dataDir)
    : QObject(window), window_(window), menu_(menu),
      hotKey_(hotKey ? hotKey : platform::createHotKey(this)),
      tray_(tray ? tray : new SystemTrayIcon(this)), prompter_(prompter), clipboard_(clipboard),
      dataDir_(dataDir)
{
    menu_.restoreOrHide->setText(kRestore);
    connect(menu_.restoreOrHide, &QAction::triggered, this, &Shell::toggle);
    connect(menu_.exit, &QAction::triggered, this, &Shell::exit);
    // The program comes to the front before its tray menu opens, so that the
    // menu belongs to the active program and closes when the user clicks away.
    connect(menu_.menu, &QMenu::aboutToShow, this, &Shell::bringToFront);
    connect(hotKey_, &GlobalHotKey::activated, this, &Shell::toggle);
    connect(hotKey_, &GlobalHotKey::registrationFinished, this, &Shell::hotKeyRegistered);
    // Where the tray reports double-clicks, a double-click toggles and a
    // single click does nothing. Where it reports one activation per click,
    // that activation toggles, or the icon would be dead. The kind is the one
    // last reported, so a click asks the desktop nothing.
    connect(tray_, &TrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick ||
            (reason == QSystemTrayIcon::Trigger && tray_->kind() == TrayKind::StatusNotifier))
            toggle();
        // The right button opens the menu by itself; the middle one does nothing.
    });
    connect(tray_, &TrayIcon::kindChanged, this, &Shell::trayChanged);
    window_->installEventFilter(this);
}

Shell::~Shell() = default;

void Shell::addTrayIcon()
{
    // In the tray there is now, or in the first that comes (trayChanged).
    tray_->add(window_->windowIcon(), kTrayTip, menu_.menu);
}

void Shell::removeTrayIcon()
{
    tray_->remove();
}

void Shell::setTrayTip(const QString& tip)
{
    tray_->setTip(tip.isEmpty() ? kTrayTip : tip);
}

bool Shell::trayInUse() const
{
    return tray_->kind() != TrayKind::None;
}

void Shell::trayChanged()
{
    if (exitRequested_)
        return;
    if (trayInUse()) {
        // The tray icon is the program's presence while it is hidden. A
        // window minimised in the task list stays there until restored.
        if (window_->isVisible() && !window_->isMinimized())
            setInTaskList(false);
        return;
    }
    // Nothing to come back from any more: the window must be in reach now.
    setInTaskList(true);
    if (!window_->isVisible() && menu_.restoreOrHide->text() == kRestore)
        toggle();
}

void Shell::setInTaskList(bool inList)
{
    inTaskList_ = inList;
    platform::setInTaskList(window_, inList);
}

void Shell::bringToFront()
{
    // Only a shown window: the menu must not pull a hidden one out of the tray.
    if (!window_->isVisible() || window_->isMinimized())
        return;
    window_->raise();
    window_->activateWindow();
}

void Shell::toggle()
{
    if (exitRequested_)
        return;
    // While a box or a dialog waits for an answer the window stays where it
    // is: hidden, it would leave the dialog alone on the screen, with nothing
    // to come back to. The dialog comes to the front instead.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    const QString caption = menu_.restoreOrHide->text();
    if (caption == kRestore) {
        menu_.restoreOrHide->setText(kTrayIt);
        // Before anything maps the window: clearing the minimised state
        // already maps it on X11.
        bool wasVisible = window_->isVisible();
        if (wasVisible && !platform::canUnminimize()) {
            // Only shown anew does the window come back from the task list.
            window_->hide();
            wasVisible = false;
        }
        inTaskList_ = !trayInUse();
        if (!wasVisible)
            platform::prepareToShow(window_, inTaskList_);
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->show();
        // Back from the task list, where it waited while there was no tray.
        if (wasVisible)
            setInTaskList(inTaskList_);
        bringToFront();
    } else if (caption == kTrayIt) {
        menu_.restoreOrHide->setText(kRestore);
        if (trayInUse()) {
            window_->hide();
            window_->setWindowState(window_->windowState() | Qt::WindowMinimized);
        } else {
            // Hidden, the window could not be found again: it waits
            // minimised in the task list instead.
            window_->showMinimized();
        }
    }
}

void Shell::exit()
{
    if (exitRequested_)
        return;
    exitRequested_ = true;
    hotKey_->unregisterKey();
    removeTrayIcon();
    clipboard_.clearIfStillOurs();
    emit exiting();
    // No close request is raised: the windows are simply gone.
    window_->hide();
    if (loop_)
        loop_->exit(0);
}

void Shell::registerHotKey()
{
    hotKeyRegistered(hotKey_->registerKey());
}

void Shell::hotKeyRegistered(const GlobalHotKey::Registration& r)
{
    if (exitRequested_)
        return;
    // What still works, and what the user can do about it. Said without
    // asking the tray, which may not have answered yet.
    const auto advice = [this] {
        return QStringLiteral(
                   "To show and hide it from anywhere, bind a key of your choice to this "
                   "command in the desktop's keyboard settings (GNOME: Settings > Keyboard "
                   "> Custom Shortcuts; KDE: System Settings > Shortcuts):\n\n    ") +
               toggleCommand(dataDir_) +
               QStringLiteral(
                   "\n\nUntil then the tray icon, or the task list where there is no tray, "
                   "brings the window back.");
    };
    switch (r.outcome) {
    case GlobalHotKey::Outcome::Registered:
    case GlobalHotKey::Outcome::Pending:
        break;
    case GlobalHotKey::Outcome::InUse:
        qInfo("Stashbook: Control-T is not available: %s", qUtf8Printable(r.error));
        prompter_.error(kHotKeyInUseTitle,
                        QStringLiteral("Control-T is held by another program, so it cannot show "
                                       "and hide Stashbook.\n\n") +
                            advice());
        break;
    case GlobalHotKey::Outcome::Unsupported:
        // Headless platforms (tests) have no user to tell.
        if (r.error.isEmpty())
            break;
        qInfo("Stashbook: Control-T is not available: %s", qUtf8Printable(r.error));
        if (!programSettings().value(kTellNoGlobalKey, true).toBool())
            break;
        if (!prompter_.ask(kNoGlobalKeyTitle,
                           QStringLiteral("This desktop gives programs no global key, so "
                                          "Control-T cannot show and hide Stashbook while another "
                                          "program has the focus.\n\n") +
                               advice() +
                               QStringLiteral("\n\nTell this again at the next start?")) &&
            !prompter_.exiting())
            programSettings().setValue(kTellNoGlobalKey, false);
        break;
    }
}

void Shell::waitForHotKey()
{
    if (exitRequested_)
        return;
    QEventLoop loop;
    loop_ = &loop;
    loop.exec(); // every handler of the program runs in here
    loop_ = nullptr;
}

bool Shell::closeRequested()
{
    if (exitRequested_)
        return true;
    if (trayInUse()) {
        // Closing hides to the tray (or, while hidden, shows again).
        toggle();
        return false;
    }
    exit();
    return true;
}

void Shell::windowStateChanged()
{
    // The toggle's own state changes come here too; they find the caption
    // already changed and so do nothing.
    if (window_->isMinimized()) {
        // Hidden only after Qt has finished with the state change.
        QMetaObject::invokeMethod(this, &Shell::hideOnMinimise, Qt::QueuedConnection);
    } else if (window_->isVisible() && menu_.restoreOrHide->text() == kRestore &&
               platform::canUnminimize()) {
        // Restored from the task list while minimised there without a tray
        // (one may have come since). On Wayland the compositor never says
        // that a window is minimised, so there this only means that it has
        // not said so: the window's activation tells instead (eventFilter).
        restoredByUser();
    }
}

void Shell::restoredByUser()
{
    menu_.restoreOrHide->setText(kTrayIt);
    setInTaskList(!trayInUse());
}

bool Shell::eventFilter(QObject* watched, QEvent* event)
{
    // A minimised window is never the active one: the user brought it back.
    // (Where the window's state can be trusted, windowStateChanged() knows.)
    if (watched == window_ && event->type() == QEvent::ActivationChange &&
        !platform::canUnminimize() && window_->isActiveWindow() && window_->isVisible() &&
        menu_.restoreOrHide->text() == kRestore)
        restoredByUser();
    return QObject::eventFilter(watched, event);
}

void Shell::hideOnMinimise()
{
    // Still minimised by the user, and not counted as hidden yet.
    if (!window_->isMinimized() || menu_.restoreOrHide->text() != kTrayIt)
        return;
    toggle();
}

void Shell::bringBack()
{
    if (exitRequested_)
        return;
    if (menu_.restoreOrHide->text() == kRestore)
        toggle();
    else
        bringToFront();
}

} // namespace sb::app
