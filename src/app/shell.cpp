#include "app/shell.h"

#include "app/clipboard_guard.h"
#include "app/hotkey.h"
#include "app/platform.h"
#include "app/tray.h"
#include "common/ports.h"

#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QWidget>

namespace sb::app {

namespace {

const QString kRestore = QStringLiteral("&Restore!");
const QString kTrayIt = QStringLiteral("&TrayIt!");
const QString kTrayTip = QStringLiteral("Stashbook");
const QString kHotKeyInUseTitle = QStringLiteral("[Stashbook]  :Hot Key:  Control-T Is In Use");

} // namespace

Shell::Shell(QWidget* window, TrayMenu menu, GlobalHotKey* hotKey, TrayIcon* tray,
             common::Prompter& prompter, ClipboardGuard& clipboard)
    : QObject(window), window_(window), menu_(menu),
      hotKey_(hotKey ? hotKey : platform::createHotKey(this)),
      tray_(tray ? tray : new SystemTrayIcon(this)), prompter_(prompter), clipboard_(clipboard)
{
    menu_.restoreOrHide->setText(kRestore);
    connect(menu_.restoreOrHide, &QAction::triggered, this, &Shell::toggle);
    connect(menu_.exit, &QAction::triggered, this, &Shell::exit);
    // The program comes to the front before its tray menu opens, so that the
    // menu belongs to the active program and closes when the user clicks away.
    connect(menu_.menu, &QMenu::aboutToShow, this, &Shell::bringToFront);
    connect(hotKey_, &GlobalHotKey::activated, this, &Shell::toggle);
    connect(tray_, &TrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            toggle();
        else if (reason == QSystemTrayIcon::Trigger)
            trayClick();
        // The right button opens the menu by itself; the middle one does nothing.
    });
}

Shell::~Shell() = default;

void Shell::addTrayIcon()
{
    if (tray_->isAdded() || !tray_->isAvailable())
        return;
    tray_->add(window_->windowIcon(), kTrayTip, menu_.menu);
    // From now on the tray icon is the program's presence while it is hidden.
    platform::setInTaskList(window_, false);
}

void Shell::removeTrayIcon()
{
    tray_->remove();
}

bool Shell::trayInUse() const
{
    return tray_->isAdded() && tray_->isAvailable();
}

// Where the tray reports double-clicks, a double-click toggles and a single
// click does nothing. Where it reports only one activation per click, that
// activation toggles, or the icon would be dead.
void Shell::trayClick()
{
    if (!tray_->reportsDoubleClicks())
        toggle();
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
    const QString caption = menu_.restoreOrHide->text();
    if (caption == kRestore) {
        menu_.restoreOrHide->setText(kTrayIt);
        // Before anything maps the window: clearing the minimised state
        // already maps it on X11.
        if (!window_->isVisible())
            platform::prepareToShow(window_, !trayInUse());
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->show();
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
    const GlobalHotKey::Registration r = hotKey_->registerKey();
    switch (r.outcome) {
    case GlobalHotKey::Outcome::Registered:
        break;
    case GlobalHotKey::Outcome::InUse: {
        QString text = QStringLiteral(
            "Control-T is held by another program, so it cannot show and hide Stashbook.\n\n");
        text += trayInUse() ? QStringLiteral("The tray icon still shows and hides the window.")
                            : QStringLiteral("The window stays in the task list instead.");
        prompter_.error(kHotKeyInUseTitle, text);
        break;
    }
    case GlobalHotKey::Outcome::Unsupported:
        if (!r.error.isEmpty())
            qInfo("Stashbook: Control-T is not available: %s", qUtf8Printable(r.error));
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
    if (!tray_->isAdded())
        addTrayIcon();
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
    } else if (window_->isVisible() && menu_.restoreOrHide->text() == kRestore) {
        // Restored from the task list while minimised there without a tray.
        menu_.restoreOrHide->setText(kTrayIt);
    }
}

void Shell::hideOnMinimise()
{
    // Still minimised by the user, and not counted as hidden yet.
    if (!window_->isMinimized() || menu_.restoreOrHide->text() != kTrayIt)
        return;
    if (!tray_->isAdded())
        addTrayIcon();
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
