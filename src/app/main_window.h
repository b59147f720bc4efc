// The main window: the site list on the left, the accounts of the selected
// site in three linked columns on the right, a status bar below.
//
// The window lays out its controls and names them; its handlers carry the
// names the program's design gives them (lst_Site_Click, cmd_Reload_Click,
// Load_Lists, ...) and are thin: the work is done by the parts below.
#pragma once

#include "app/clipboard_guard.h"

#include <QWidget>

#include <chrono>
#include <filesystem>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;

namespace sb::common {
class Prompter;
}
namespace sb::history {
class UndoHistory;
}
namespace sb::rules {
class DataStore;
}
namespace sb::browse {
class AccountTable;
class SelectionList;
class SiteListPart;
} // namespace sb::browse

namespace sb::app {

class GlobalHotKey;
class Modal;
class OutsideChanges;
class Shell;
class TrayIcon;

// What the window needs from outside; null members are the desktop's own.
struct Environment
{
    std::filesystem::path dataDir = ".";  // where the record files live
    common::Prompter* prompter = nullptr; // message boxes and dialogs
    GlobalHotKey* hotKey = nullptr;       // Ctrl+T
    TrayIcon* tray = nullptr;             // the system tray
    // How long a copied password stays on the clipboard; zero: until exit.
    std::chrono::milliseconds clipboardDelay{30000};
};

class frmStashbook : public QWidget
{
    Q_OBJECT

public:
    explicit frmStashbook(Environment env, QWidget* parent = nullptr);
    ~frmStashbook() override;

    // Start-up up to the point where the program waits for the user.
    void Start_Up();
    // The program's event loop: returns once the tray menu's exit item ran.
    void Wait_For_Hot_Key();
    // Another start for the same data folder wants the window: back from the
    // tray, or to the front.
    void Bring_Back();

    bool exitRequested() const;
    // Whoever puts a text on the clipboard goes through here, so that a
    // password is not left there after exit.
    ClipboardGuard& clipboardGuard() { return Clipboard_Guard; }
    const QString& siteUrl() const;
    qint32 accountCount() const;

    static QString titleText(const QString& version);
    static QString statusText(const QString& version);

public slots:
    // Rebuilds the site list from the files. The first site named
    // `nextSite`, or without one the site at `nextRow` (with `orNearest` the
    // last one when the list got shorter), is selected and shown, its
    // accounts read in the same pass; without one the account view is
    // reset. False when a file could not be read (reported; the view is
    // kept).
    bool Load_Lists(const QString& nextSite = {}, int nextRow = -1, bool orNearest = false);
    void cmd_Reload_Click();
    // The files were changed by another program: reloaded, the selected
    // site and account selected again by name (or the nearest row when they
    // are gone), and the status bar says so.
    void Follow_Outside_Change();

    // Shell: tray icon, hide and restore, exit.
    void Tray_Icon_Add();
    void Tray_Icon_Remove();
    void mnu_File_Restore_or_Hide_Click();
    void mnu_File_Exit_Click();

    // Browsing: run whenever the selection of their list changes, by mouse,
    // keyboard or from code.
    void lst_Site_Click();
    void lst_Username_Click();
    void lst_Password_Click();
    void lst_Referral_URL_Click();
    void cmd_Go_Click();
    void cmd_Go_Referral_URL_Click();

    // Undo (Ctrl+Z) and redo (Ctrl+Shift+Z, Ctrl+Y) of the changes made
    // through the window; nothing while a box or a dialog is open.
    void Undo_Last_Change();
    void Redo_Last_Change();

    // Site editing (main_window_sites.cpp).
    void cmd_Add_Site_Click();
    void cmd_Edit_Site_Click();
    void cmd_Rem_Site_Click();

    // Account editing (main_window_accounts.cpp).
    void cmd_Add_Account_Click();
    void cmd_Edit_Account_Click();
    void cmd_Remove_Account_Click();

    // Copying to the clipboard, the lists' menus (main_window_copy.cpp).
    // The account menu's commands copy from the account lists as shown.
    void mnu_Copy_Username_Click();
    void mnu_Copy_Password_Click();
    void mnu_Copy_Referral_URL_Click();
    void mnu_Copy_Row_Click();
    void mnu_Copy_Column_Username_Click();
    void mnu_Copy_Column_Password_Click();
    void mnu_Copy_Column_Referral_URL_Click();
    void mnu_Copy_All_Without_Click();
    void mnu_Copy_All_With_Click();
    // A double-click copies the field of the row it selected.
    void lst_Username_DblClick();
    void lst_Password_DblClick();
    void lst_Referral_URL_DblClick();
    // The site menu's commands: site names from the list, accounts from the
    // accounts file.
    void mnu_Site_Copy_Selected_Click();
    void mnu_Site_Copy_All_Sites_Click();
    void mnu_Site_Copy_All_NoShow_Without_Click();
    void mnu_Site_Copy_All_NoShow_With_Click();
    void mnu_Site_Copy_All_Show_Without_Click();
    void mnu_Site_Copy_All_Show_With_Click();
    // The right button went down over a list (or its menu key was pressed):
    // its menu pops up at `globalPos`.
    void lst_Username_MouseDown(const QPoint& globalPos);
    void lst_Password_MouseDown(const QPoint& globalPos);
    void lst_Referral_URL_MouseDown(const QPoint& globalPos);
    void lst_Site_MouseDown(const QPoint& globalPos);

    // Moving records in and out (main_window_import.cpp): the site menu's
    // last items, and a CSV file dropped on the window. An import shows what
    // it would do first; afterwards the lists are reloaded and the first
    // site imported is selected.
    void mnu_Site_Import_CSV_Click();
    void mnu_Site_Export_CSV_Click();
    void Import_CSV_File(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void setTabOrder();
    void connectHandlers();
    void connectSiteEditing();
    void connectAccountEditing();
    void connectCopying();

    Environment env_;
    QString Program_Version;
    ClipboardGuard Clipboard_Guard;

    // Parts
    Modal* Own_Modal = nullptr;              // when no prompter was given
    common::Prompter* Prompts = nullptr;     // every box and dialog
    std::unique_ptr<rules::DataStore> Store; // the two record files
    // In front of Store: every change goes through it, to be undone.
    std::unique_ptr<history::UndoHistory> Changes;
    Shell* Tray_Shell = nullptr; // tray, Ctrl+T, hide and restore
    // Changes made by other programs, followed once the first frame is out.
    OutsideChanges* Outside = nullptr;
    bool Outside_Armed = false;
    // A box, a dialog or a menu is open: the lists must not change under it.
    bool Busy() const;
    browse::SiteListPart* Sites = nullptr;
    browse::AccountTable* Accounts = nullptr;
    // Site editing.
    QString NewSiteName; // the name last added through the Add Site dialog

    // Account editing.
    QString NewUsername; // the user name last added through the Add Account dialog

    // The status bar: what was just done, or how long a copied password
    // stays on the clipboard.
    void Show_Status(const QString& text);
    void Show_Clipboard_Countdown(int secondsLeft);
    int Countdown_Left = 0; // as last shown
    void Take_Back(bool redo);

    // Copying.
    void Show_Account_Copy_Menu(const QPoint& globalPos);
    void Copy_Accounts_Of_All_Sites(bool Without_Extra_Info, bool Show_Sites);
    void Copy_Account_Field(browse::SelectionList* list, bool holdsPassword);

    // Controls
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QWidget* Frame4 = nullptr;
    QPushButton* cmd_Sites = nullptr;
    QPushButton* cmd_Reload = nullptr;
    browse::SelectionList* lst_Site = nullptr;
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
    browse::SelectionList* lst_Username = nullptr;
    browse::SelectionList* lst_Password = nullptr;
    browse::SelectionList* lst_Referral_URL = nullptr;
    QPushButton* cmd_Add_Account = nullptr;
    QPushButton* cmd_Edit_Account = nullptr;
    QPushButton* cmd_Remove_Account = nullptr;
    QStatusBar* sts_Bar = nullptr;
    QLabel* sts_Panel = nullptr;

    // Popup menus, never shown as a menu bar.
    QMenu* mnu_File = nullptr;
    QAction* mnu_File_Restore_or_Hide = nullptr;
    QAction* Hyphen4 = nullptr;
    QAction* mnu_File_Exit = nullptr;
    QMenu* mnu_Account_Copy = nullptr;
    QMenu* mnu_Copy_All = nullptr;
    QMenu* mnu_Copy_Site = nullptr;
    QAction* mnu_Copy_Username = nullptr;
    QAction* mnu_Copy_Password = nullptr;
    QAction* mnu_Copy_Referral_URL = nullptr;
    QAction* mnu_Copy_Row = nullptr;
    QAction* mnu_Hyphen1 = nullptr;
    QMenu* mnu_Copy_Column = nullptr;
    QAction* mnu_Copy_Column_Username = nullptr;
    QAction* mnu_Copy_Column_Password = nullptr;
    QAction* mnu_Copy_Column_Referral_URL = nullptr;
    QAction* mnu_Copy_All_Without = nullptr;
    QAction* mnu_Copy_All_With = nullptr;
    QAction* mnu_Site_Copy_Selected = nullptr;
    QAction* Hyphen6 = nullptr;
    QAction* mnu_Site_Copy_All_Sites = nullptr;
    QMenu* mnu_Site_Copy_All_Accounts = nullptr;
    QMenu* mnu_Site_Copy_All_NoShow = nullptr;
    QAction* mnu_Site_Copy_All_NoShow_Without = nullptr;
    QAction* mnu_Site_Copy_All_NoShow_With = nullptr;
    QMenu* mnu_Site_Copy_All_Show = nullptr;
    QAction* mnu_Site_Copy_All_Show_Without = nullptr;
    QAction* mnu_Site_Copy_All_Show_With = nullptr;
    QAction* Hyphen7 = nullptr;
    QAction* mnu_Site_Import_CSV = nullptr;
    QAction* mnu_Site_Export_CSV = nullptr;
};

} // namespace sb::app
