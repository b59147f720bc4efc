// The main window: the site list on the left, the accounts of the selected
// site in three linked columns on the right, a status bar below.
//
// Controls and handlers carry the names the rest of the program and its
// tests know them by (lst_Site, cmd_Reload_Click, Load_Lists, ...). The
// window only wires widgets to handlers; reading files, matching names and
// building texts live in store/, browse/ and export/.
#pragma once

#include "app/clipboard_guard.h"
#include "store/record_file.h"

#include <QString>
#include <QWidget>

#include <filesystem>

class QAction;
class QEventLoop;
class QGroupBox;
class QListWidget;
class QMenu;
class QPushButton;
class QStatusBar;
class QLabel;

namespace sb::app {

class GlobalHotKey;
class Notifier;
class TrayIcon;

// What the window needs from outside; tests pass fakes.
struct Environment
{
    std::filesystem::path dataDir = "."; // where the record files live
    Notifier* notifier = nullptr;        // required
    GlobalHotKey* hotKey = nullptr;      // Ctrl+T; null: the desktop's own
    TrayIcon* tray = nullptr;            // null: the system tray
};

class frmStashbook : public QWidget
{
    Q_OBJECT

public:
    explicit frmStashbook(Environment env, QWidget* parent = nullptr);
    ~frmStashbook() override;

    // Start-up up to the point where the program waits for the user.
    void Start_Up();

    // Rebuilds the site list from the files and resets the account view.
    // Returns false when a file could not be read (the error was shown and
    // the view left as it was).
    bool Load_Lists();

    void cmd_Reload_Click();

    // --- Shell (main_window_shell.cpp)
    // The program's event loop: returns once the tray menu's exit item ran.
    void Wait_For_Hot_Key();
    bool exitRequested() const { return Exit_Requested; }
    // Whoever puts a text on the clipboard goes through here, so that a
    // password is not left there after exit.
    ClipboardGuard& clipboardGuard() { return Clipboard_Guard; }

    // Window-level state, read by tests and by the parts of the window.
    const QString& programVersion() const { return Program_Version; }
    const QString& siteUrl() const { return Site_URL; }
    qint32 accountCount() const { return AccountCount; }
    const store::RecordFile& sitesFile() const { return SitesFile; }
    const store::RecordFile& accountsFile() const { return AccountsFile; }

    static QString titleText(const QString& version);
    static QString statusText(const QString& version);
    static const QString kHotKeyHint;

private:
    void buildControls();
    void buildMenus();
    void setTabOrder();
    void reportError(const store::Error& e);

    // --- Shell: tray icon, hide/restore, global hot key (main_window_shell.cpp)
    void connectShell();
    void Tray_Icon_Add();
    void Tray_Icon_Remove();
    void Tray_Icon_Click();
    void Tray_Icon_DblClick();
    // Shows or hides the window, by the caption of mnu_File_Restore_or_Hide.
    void mnu_File_Restore_or_Hide_Click();
    void mnu_File_Exit_Click();
    void Register_Hot_Key();
    // The tray icon is there to restore the window from.
    bool Tray_In_Use() const;
    void Bring_To_Front();
    void Hide_On_Minimise();

    bool Exit_Requested = false;
    GlobalHotKey* Hot_Key = nullptr;
    TrayIcon* Tray = nullptr;
    QAction* mnu_File_Restore_or_Hide = nullptr;
    QAction* Hyphen4 = nullptr;
    QAction* mnu_File_Exit = nullptr;
    QEventLoop* Wait_Loop = nullptr;
    ClipboardGuard Clipboard_Guard;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // --- Browsing: site selection, linked account lists, GO buttons
    //     (browse/main_window_browse.cpp)
    void connectBrowsing();
    // Run whenever the selection of their list changes: by mouse, keyboard
    // or from code.
    void lst_Site_Click();
    void lst_Username_Click();
    void lst_Password_Click();
    void lst_Referral_URL_Click();
    void cmd_Go_Click();
    void cmd_Go_Referral_URL_Click();
    // Moves the other two account lists to the row selected in `source` and
    // sets the account buttons for that row.
    void Link_Account_Rows(QListWidget* source);
    // The account side in its state of no site selected, as after Load_Lists.
    void Clear_Account_View();

    bool Linking_Account_Rows = false; // a linked selection is being set
    QMenu* mnu_Copy_All = nullptr;     // in mnu_Account_Copy

    Environment env_;

    // State
    QString Program_Version;
    QString Site_URL;
    qint32 AccountCount = 0;
    store::RecordFile SitesFile;
    store::RecordFile AccountsFile;

    // Controls
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QWidget* Frame4 = nullptr;
    QPushButton* cmd_Sites = nullptr;
    QPushButton* cmd_Reload = nullptr;
    QListWidget* lst_Site = nullptr;
    QPushButton* cmd_Add_Site = nullptr;
    QPushButton* cmd_Edit_Site = nullptr;
    QPushButton* cmd_Rem_Site = nullptr;
    QGroupBox* frm_Selected_Site = nullptr;
    QWidget* Frame3 = nullptr;
    QPushButton* cmd_Site_Name = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* cmd_Go = nullptr;
    QPushButton* cmd_Go_Referral_URL = nullptr;
    QListWidget* lst_Username = nullptr;
    QListWidget* lst_Password = nullptr;
    QListWidget* lst_Referral_URL = nullptr;
    QPushButton* cmd_Add_Account = nullptr;
    QPushButton* cmd_Edit_Account = nullptr;
    QPushButton* cmd_Remove_Account = nullptr;
    QStatusBar* sts_Bar = nullptr;
    QLabel* sts_Panel = nullptr;

    // Popup menus, never shown as a menu bar.
    QMenu* mnu_File = nullptr;
    QMenu* mnu_Account_Copy = nullptr;
    QMenu* mnu_Copy_Site = nullptr;
};

} // namespace sb::app
