// Hiding to the tray, restoring, the global hot key, and the one way out.
//
// The window is either shown (mnu_File_Restore_or_Hide reads "&TrayIt!") or
// hidden in the tray ("&Restore!"); the caption is the state, and every
// trigger (Ctrl+T, the tray icon, the tray menu, minimise, a close request)
// goes through the one toggle.
//
// The window hides only where it can be found again: while the tray icon is
// there. Without a tray it stays in the task list, minimise minimises, and a
// close request ends the program, since there is no tray menu to exit from.
// A tray that turns up later is taken into use at the next minimise or close.
#include "app/hotkey.h"
#include "app/main_window.h"
#include "app/notifier.h"
#include "app/platform.h"
#include "app/tray.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>

namespace sb::app {

namespace {

const QString kRestore = QStringLiteral("&Restore!");
const QString kTrayIt = QStringLiteral("&TrayIt!");
const QString kTrayTip = QStringLiteral("Stashbook");
const QString kHotKeyInUseTitle = QStringLiteral("[Stashbook]  :Hot Key:  Control-T Is In Use");

} // namespace

void frmStashbook::connectShell()
{
    mnu_File_Restore_or_Hide = mnu_File->addAction(kRestore);
    mnu_File_Restore_or_Hide->setObjectName(QStringLiteral("mnu_File_Restore_or_Hide"));
    Hyphen4 = mnu_File->addSeparator();
    Hyphen4->setObjectName(QStringLiteral("Hyphen4"));
    mnu_File_Exit = mnu_File->addAction(QStringLiteral("   E&xit"));
    mnu_File_Exit->setObjectName(QStringLiteral("mnu_File_Exit"));
    connect(mnu_File_Restore_or_Hide, &QAction::triggered, this,
            &frmStashbook::mnu_File_Restore_or_Hide_Click);
    connect(mnu_File_Exit, &QAction::triggered, this, &frmStashbook::mnu_File_Exit_Click);
    // The program comes to the front before its tray menu opens, so that the
    // menu belongs to the active program and closes when the user clicks away.
    connect(mnu_File, &QMenu::aboutToShow, this, &frmStashbook::Bring_To_Front);

    Hot_Key = env_.hotKey ? env_.hotKey : platform::createHotKey(this);
    connect(Hot_Key, &GlobalHotKey::activated, this, &frmStashbook::mnu_File_Restore_or_Hide_Click);

    Tray = env_.tray ? env_.tray : new SystemTrayIcon(this);
    connect(Tray, &TrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            Tray_Icon_DblClick();
        else if (reason == QSystemTrayIcon::Trigger)
            Tray_Icon_Click();
        // The right button opens the menu by itself; the middle one does nothing.
    });
}

void frmStashbook::Tray_Icon_Add()
{
    if (Tray->isAdded() || !Tray->isAvailable())
        return;
    Tray->add(windowIcon(), kTrayTip, mnu_File);
    // From now on the tray icon is the program's presence while it is hidden.
    platform::setInTaskList(this, false);
}

void frmStashbook::Tray_Icon_Remove()
{
    Tray->remove();
}

bool frmStashbook::Tray_In_Use() const
{
    return Tray->isAdded() && Tray->isAvailable();
}

// Where the tray reports double-clicks, a double-click toggles and a single
// click does nothing. Where it reports only one activation per click, that
// activation toggles, or the icon would be dead.
void frmStashbook::Tray_Icon_Click()
{
    if (!Tray->reportsDoubleClicks())
        mnu_File_Restore_or_Hide_Click();
}

void frmStashbook::Tray_Icon_DblClick()
{
    mnu_File_Restore_or_Hide_Click();
}

void frmStashbook::Bring_To_Front()
{
    // Only a shown window: the menu must not pull a hidden one out of the tray.
    if (!isVisible() || isMinimized())
        return;
    raise();
    activateWindow();
}

void frmStashbook::mnu_File_Restore_or_Hide_Click()
{
    if (Exit_Requested)
        return;
    const QString caption = mnu_File_Restore_or_Hide->text();
    if (caption == kRestore) {
        mnu_File_Restore_or_Hide->setText(kTrayIt);
        // Before anything maps the window: clearing the minimised state
        // already maps it on X11.
        if (!isVisible())
            platform::prepareToShow(this, !Tray_In_Use());
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        Bring_To_Front();
    } else if (caption == kTrayIt) {
        mnu_File_Restore_or_Hide->setText(kRestore);
        if (Tray_In_Use()) {
            hide();
            setWindowState(windowState() | Qt::WindowMinimized);
        } else {
            // Hidden, the window could not be found again: it waits
            // minimised in the task list instead.
            showMinimized();
        }
    }
}

void frmStashbook::mnu_File_Exit_Click()
{
    Exit_Requested = true;
    Hot_Key->unregisterKey();
    Tray_Icon_Remove();
    Clipboard_Guard.clearIfStillOurs();
    // Ends every event loop, a modal dialog's included; no close request is
    // raised and the window is discarded when the program returns from main.
    if (Wait_Loop)
        QCoreApplication::exit(0);
}

void frmStashbook::Register_Hot_Key()
{
    const GlobalHotKey::Registration r = Hot_Key->registerKey();
    switch (r.outcome) {
    case GlobalHotKey::Outcome::Registered:
        break;
    case GlobalHotKey::Outcome::InUse: {
        QString text = QStringLiteral(
            "Control-T is held by another program, so it cannot show and hide Stashbook.\n\n");
        text += Tray_In_Use() ? QStringLiteral("The tray icon still shows and hides the window.")
                              : QStringLiteral("The window stays in the task list instead.");
        env_.notifier->error(this, kHotKeyInUseTitle, text);
        break;
    }
    case GlobalHotKey::Outcome::Unsupported:
        if (!r.error.isEmpty())
            qInfo("Stashbook: Control-T is not available: %s", qUtf8Printable(r.error));
        break;
    }
}

void frmStashbook::Wait_For_Hot_Key()
{
    if (Exit_Requested)
        return;
    QEventLoop loop;
    Wait_Loop = &loop;
    loop.exec(); // every handler of the program runs in here
    Wait_Loop = nullptr;
}

void frmStashbook::closeEvent(QCloseEvent* event)
{
    if (!Tray->isAdded())
        Tray_Icon_Add();
    if (Tray_In_Use()) {
        // Closing hides to the tray (or, while hidden, shows again).
        mnu_File_Restore_or_Hide_Click();
        event->ignore();
        return;
    }
    mnu_File_Exit_Click();
    event->accept();
}

void frmStashbook::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The toggle's own state changes come here too; they find the caption
    // already changed and so do nothing.
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized()) {
        // Hidden only after Qt has finished with the state change.
        QMetaObject::invokeMethod(this, &frmStashbook::Hide_On_Minimise, Qt::QueuedConnection);
    } else if (isVisible() && mnu_File_Restore_or_Hide->text() == kRestore) {
        // Restored from the task list while minimised there without a tray.
        mnu_File_Restore_or_Hide->setText(kTrayIt);
    }
}

void frmStashbook::Hide_On_Minimise()
{
    // Still minimised by the user, and not counted as hidden yet.
    if (!isMinimized() || mnu_File_Restore_or_Hide->text() != kTrayIt)
        return;
    if (!Tray->isAdded())
        Tray_Icon_Add();
    mnu_File_Restore_or_Hide_Click();
}

} // namespace sb::app
