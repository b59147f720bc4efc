// The window's life beside the desktop: the tray icon and its menu, the
// global Ctrl+T, hiding to the tray and restoring, and the one way out.
//
// The window is either shown (the tray menu's first item reads "&TrayIt!")
// or hidden in the tray ("&Restore!"); the caption is the state, and every
// trigger (Ctrl+T, the tray icon, the tray menu, minimise, a close request)
// goes through the one toggle.
//
// The window hides only where it can be found again: while the tray icon is
// in a tray. Without a tray it stays in the task list, minimise minimises,
// and a close request ends the program, since there is no tray menu to exit
// from. Trays come and go: one that turns up is used from then on, and when
// the tray goes away the window comes back into the task list at once, and
// out of hiding if it was hidden, so that it is never out of reach.
#pragma once

#include "app/hotkey.h"

#include <QObject>

#include <filesystem>

class QAction;
class QEvent;
class QEventLoop;
class QMenu;
class QWidget;

namespace sb::common {
class Prompter;
}

namespace sb::app {

class ClipboardGuard;
class GlobalHotKey;
class TrayIcon;

class Shell final : public QObject
{
    Q_OBJECT

public:
    // The tray menu and its two items, made by the window.
    struct TrayMenu
    {
        QMenu* menu;
        QAction* restoreOrHide;
        QAction* exit;
    };

    // `hotKey` and `tray` stand in for the desktop's own when given;
    // `dataDir` is the folder the program runs on.
    Shell(QWidget* window, TrayMenu menu, GlobalHotKey* hotKey, TrayIcon* tray,
          common::Prompter& prompter, ClipboardGuard& clipboard,
          const std::filesystem::path& dataDir);
    ~Shell() override;

    void addTrayIcon();
    void removeTrayIcon();
    // The tray icon's tip: `tip`, or the program's name when empty.
    void setTrayTip(const QString& tip);
    // Shows or hides the window, by the caption of the tray menu's first item.
    void toggle();
    // Gives the key and the icon back, clears a password left on the
    // clipboard and ends the program's loop; emits exiting().
    void exit();
    // Takes Ctrl+T. Tells the user once when another program holds it, and
    // when the desktop gives programs no global key at all, how to bind
    // `stashbook --toggle` instead (unless told not to, in the settings
    // file). Where the desktop answers later, so does the box.
    void registerHotKey();
    // The program's event loop: returns once exit() ran.
    void waitForHotKey();
    bool exitRequested() const { return exitRequested_; }
    // Whether the window was last put into the task list (or taken out).
    bool inTaskList() const { return inTaskList_; }

    // From the window's own events. A close request returns whether the
    // window may close (only without a tray, where closing ends the program).
    bool closeRequested();
    void windowStateChanged();

    // Another start of the program asks for the window: restores it when
    // hidden, as Ctrl+T would, or brings it to the front when shown.
    void bringBack();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // Exit was chosen: whatever is open must close at once.
    void exiting();

private:
    void hotKeyRegistered(const GlobalHotKey::Registration& r);
    bool trayInUse() const;
    void trayChanged();
    void setInTaskList(bool inList);
    void bringToFront();
    void hideOnMinimise();
    void restoredByUser();

    QWidget* window_;
    TrayMenu menu_;
    GlobalHotKey* hotKey_;
    TrayIcon* tray_;
    common::Prompter& prompter_;
    ClipboardGuard& clipboard_;
    std::filesystem::path dataDir_;
    QEventLoop* loop_ = nullptr;
    bool exitRequested_ = false;
    bool inTaskList_ = true;
};

} // namespace sb::app
