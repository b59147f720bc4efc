// The main window's handlers of copying to the clipboard, and the lists' menus.
//
// The menus pop up without a loop of their own: the right button's press
// returns at once, so the list is never left halfway through a press, and a
// command runs once the menu has closed.
#include "app/data_store.h"
#include "app/main_window.h"
#include "browse/account_table.h"
#include "browse/selection_list.h"
#include "browse/site_list_part.h"
#include "export/all_accounts.h"
#include "export/clipboard_text.h"

#include <QAction>
#include <QMenu>

namespace sb::app {

using browse::SelectionList;

void frmStashbook::connectCopying()
{
    auto submenu = [](QMenu* menu, const char* name, const QString& caption,
                      QAction* before = nullptr) {
        auto* m = new QMenu(caption, menu);
        m->setObjectName(QLatin1String(name));
        menu->insertMenu(before, m);
        return m;
    };
    auto separator = [](QMenu* menu, const char* name, QAction* before) {
        QAction* a = menu->insertSeparator(before);
        a->setObjectName(QLatin1String(name));
        return a;
    };

    // The frame of both menus: the all-accounts submenu of the account menu
    // exists already (its title names the selected site).
    mnu_Copy_Column = submenu(mnu_Account_Copy, "mnu_Copy_Column", QStringLiteral("Copy &Column"),
                              mnu_Copy_All->menuAction());
    mnu_Hyphen1 = separator(mnu_Account_Copy, "mnu_Hyphen1", mnu_Copy_Column->menuAction());
    mnu_Site_Copy_All_Accounts =
        submenu(mnu_Copy_Site, "mnu_Site_Copy_All_Accounts", QStringLiteral("Copy All Accounts"));
    Hyphen6 = separator(mnu_Copy_Site, "Hyphen6", mnu_Site_Copy_All_Accounts->menuAction());
    mnu_Site_Copy_All_NoShow = submenu(mnu_Site_Copy_All_Accounts, "mnu_Site_Copy_All_NoShow",
                                       QStringLiteral("Don't Show Sites In List"));
    mnu_Site_Copy_All_Show = submenu(mnu_Site_Copy_All_Accounts, "mnu_Site_Copy_All_Show",
                                     QStringLiteral("Show Sites In List"));
    Hyphen7 = separator(mnu_Copy_Site, "Hyphen7", nullptr);

    // The commands, each put before `before` (or at the end) of its menu.
    using Handler = void (frmStashbook::*)();
    const struct
    {
        QAction* frmStashbook::*item;
        const char* name;
        const char* caption;
        Handler run;
        QMenu* menu;
        QAction* before;
    } items[] = {
        {&frmStashbook::mnu_Copy_Username, "mnu_Copy_Username", "Copy &Username",
         &frmStashbook::mnu_Copy_Username_Click, mnu_Account_Copy, mnu_Hyphen1},
        {&frmStashbook::mnu_Copy_Password, "mnu_Copy_Password", "Copy &Passowrd",
         &frmStashbook::mnu_Copy_Password_Click, mnu_Account_Copy, mnu_Hyphen1},
        {&frmStashbook::mnu_Copy_Referral_URL, "mnu_Copy_Referral_URL", "Copy &Extra Info",
         &frmStashbook::mnu_Copy_Referral_URL_Click, mnu_Account_Copy, mnu_Hyphen1},
        {&frmStashbook::mnu_Copy_Row, "mnu_Copy_Row", "Copy &Selected Row",
         &frmStashbook::mnu_Copy_Row_Click, mnu_Account_Copy, mnu_Hyphen1},
        {&frmStashbook::mnu_Copy_Column_Username, "mnu_Copy_Column_Username", "&Username",
         &frmStashbook::mnu_Copy_Column_Username_Click, mnu_Copy_Column, nullptr},
        {&frmStashbook::mnu_Copy_Column_Password, "mnu_Copy_Column_Password", "&Password",
         &frmStashbook::mnu_Copy_Column_Password_Click, mnu_Copy_Column, nullptr},
        {&frmStashbook::mnu_Copy_Column_Referral_URL, "mnu_Copy_Column_Referral_URL", "&Extra Info",
         &frmStashbook::mnu_Copy_Column_Referral_URL_Click, mnu_Copy_Column, nullptr},
        {&frmStashbook::mnu_Copy_All_Without, "mnu_Copy_All_Without", "With&out Extra Info",
         &frmStashbook::mnu_Copy_All_Without_Click, mnu_Copy_All, nullptr},
        {&frmStashbook::mnu_Copy_All_With, "mnu_Copy_All_With", "&With Extra Info",
         &frmStashbook::mnu_Copy_All_With_Click, mnu_Copy_All, nullptr},
        {&frmStashbook::mnu_Site_Copy_Selected, "mnu_Site_Copy_Selected", "Copy Selected Site",
         &frmStashbook::mnu_Site_Copy_Selected_Click, mnu_Copy_Site, Hyphen6},
        {&frmStashbook::mnu_Site_Copy_All_Sites, "mnu_Site_Copy_All_Sites", "Copy All Sites",
         &frmStashbook::mnu_Site_Copy_All_Sites_Click, mnu_Copy_Site,
         mnu_Site_Copy_All_Accounts->menuAction()},
        {&frmStashbook::mnu_Site_Copy_All_NoShow_Without, "mnu_Site_Copy_All_NoShow_Without",
         "Without Extra Info", &frmStashbook::mnu_Site_Copy_All_NoShow_Without_Click,
         mnu_Site_Copy_All_NoShow, nullptr},
        {&frmStashbook::mnu_Site_Copy_All_NoShow_With, "mnu_Site_Copy_All_NoShow_With",
         "With Extra Info", &frmStashbook::mnu_Site_Copy_All_NoShow_With_Click,
         mnu_Site_Copy_All_NoShow, nullptr},
        {&frmStashbook::mnu_Site_Copy_All_Show_Without, "mnu_Site_Copy_All_Show_Without",
         "Without Extra Info", &frmStashbook::mnu_Site_Copy_All_Show_Without_Click,
         mnu_Site_Copy_All_Show, nullptr},
        {&frmStashbook::mnu_Site_Copy_All_Show_With, "mnu_Site_Copy_All_Show_With",
         "With Extra Info", &frmStashbook::mnu_Site_Copy_All_Show_With_Click,
         mnu_Site_Copy_All_Show, nullptr},
        {&frmStashbook::mnu_Site_Import_CSV, "mnu_Site_Import_CSV", "Import From CSV File...",
         &frmStashbook::mnu_Site_Import_CSV_Click, mnu_Copy_Site, nullptr},
        {&frmStashbook::mnu_Site_Export_CSV, "mnu_Site_Export_CSV", "Export To CSV File...",
         &frmStashbook::mnu_Site_Export_CSV_Click, mnu_Copy_Site, nullptr},
    };
    for (const auto& i : items) {
        auto* a = new QAction(QString::fromUtf8(i.caption), i.menu);
        a->setObjectName(QLatin1String(i.name));
        i.menu->insertAction(i.before, a);
        connect(a, &QAction::triggered, this, i.run);
        this->*i.item = a;
    }

    const struct
    {
        SelectionList* list;
        Handler doubleClick;
        void (frmStashbook::*mouseDown)(const QPoint&);
    } accountLists[] = {
        {lst_Username, &frmStashbook::lst_Username_DblClick, &frmStashbook::lst_Username_MouseDown},
        {lst_Password, &frmStashbook::lst_Password_DblClick, &frmStashbook::lst_Password_MouseDown},
        {lst_Referral_URL, &frmStashbook::lst_Referral_URL_DblClick,
         &frmStashbook::lst_Referral_URL_MouseDown},
    };
    for (const auto& l : accountLists) {
        connect(l.list, &SelectionList::doubleClicked, this, l.doubleClick);
        connect(l.list, &SelectionList::menuRequested, this, l.mouseDown);
    }
    connect(lst_Site, &SelectionList::menuRequested, this, &frmStashbook::lst_Site_MouseDown);
}

// --- The account lists ---------------------------------------------------------

void frmStashbook::Copy_Account_Field(SelectionList* list, bool holdsPassword)
{
    clipboardGuard().place(list->selectedText(), holdsPassword);
}

void frmStashbook::mnu_Copy_Username_Click()
{
    Copy_Account_Field(lst_Username, false);
}

void frmStashbook::mnu_Copy_Password_Click()
{
    Copy_Account_Field(lst_Password, true);
}

void frmStashbook::mnu_Copy_Referral_URL_Click()
{
    Copy_Account_Field(lst_Referral_URL, false);
}

void frmStashbook::mnu_Copy_Row_Click()
{
    // The three lists share their selected row.
    const QString text =
        Accounts->selectedRow() < 0
            ? QString()
            : exporting::rowText(lst_Username->selectedText(), lst_Password->selectedText(),
                                 lst_Referral_URL->selectedText());
    clipboardGuard().place(text, true);
}

void frmStashbook::mnu_Copy_Column_Username_Click()
{
    clipboardGuard().place(exporting::linesText(Accounts->usernames()), false);
}

void frmStashbook::mnu_Copy_Column_Password_Click()
{
    clipboardGuard().place(exporting::linesText(Accounts->passwords()), true);
}

void frmStashbook::mnu_Copy_Column_Referral_URL_Click()
{
    clipboardGuard().place(exporting::linesText(Accounts->extraInfo()), false);
}

void frmStashbook::mnu_Copy_All_Without_Click()
{
    clipboardGuard().place(exporting::accountsText(Accounts->usernames(), Accounts->passwords(),
                                                   Accounts->extraInfo(), false),
                           true);
}

void frmStashbook::mnu_Copy_All_With_Click()
{
    clipboardGuard().place(exporting::accountsText(Accounts->usernames(), Accounts->passwords(),
                                                   Accounts->extraInfo(), true),
                           true);
}

// The first click of a double-click has selected the row in all three lists.
void frmStashbook::lst_Username_DblClick()
{
    mnu_Copy_Username_Click();
}

void frmStashbook::lst_Password_DblClick()
{
    mnu_Copy_Password_Click();
}

void frmStashbook::lst_Referral_URL_DblClick()
{
    mnu_Copy_Referral_URL_Click();
}

void frmStashbook::lst_Username_MouseDown(const QPoint& globalPos)
{
    if (lst_Username->count() > 0)
        Show_Account_Copy_Menu(globalPos);
}

void frmStashbook::lst_Password_MouseDown(const QPoint& globalPos)
{
    if (lst_Password->count() > 0)
        Show_Account_Copy_Menu(globalPos);
}

void frmStashbook::lst_Referral_URL_MouseDown(const QPoint& globalPos)
{
    if (lst_Referral_URL->count() > 0)
        Show_Account_Copy_Menu(globalPos);
}

void frmStashbook::Show_Account_Copy_Menu(const QPoint& globalPos)
{
    // The placeholder row of a site without accounts offers nothing to copy;
    // the single-row commands need a selected row.
    const bool placeholder = Accounts->firstRowIsPlaceholder();
    const bool rowSelected = !placeholder && Accounts->selectedRow() >= 0;
    for (QAction* a : {mnu_Copy_Username, mnu_Copy_Password, mnu_Copy_Referral_URL, mnu_Copy_Row})
        a->setEnabled(rowSelected);
    for (QMenu* m : {mnu_Copy_Column, mnu_Copy_All})
        m->menuAction()->setEnabled(!placeholder);
    mnu_Account_Copy->popup(globalPos);
}

// --- The site list -------------------------------------------------------------

void frmStashbook::lst_Site_MouseDown(const QPoint& globalPos)
{
    mnu_Site_Copy_Selected->setEnabled(Sites->selectedRow() >= 0);
    mnu_Copy_Site->popup(globalPos);
}

void frmStashbook::mnu_Site_Copy_Selected_Click()
{
    clipboardGuard().place(Sites->selectedName(), false);
}

void frmStashbook::mnu_Site_Copy_All_Sites_Click()
{
    clipboardGuard().place(exporting::linesText(Sites->names()), false);
}

void frmStashbook::mnu_Site_Copy_All_NoShow_Without_Click()
{
    Copy_Accounts_Of_All_Sites(true, false);
}

void frmStashbook::mnu_Site_Copy_All_NoShow_With_Click()
{
    Copy_Accounts_Of_All_Sites(false, false);
}

void frmStashbook::mnu_Site_Copy_All_Show_Without_Click()
{
    Copy_Accounts_Of_All_Sites(true, true);
}

void frmStashbook::mnu_Site_Copy_All_Show_With_Click()
{
    Copy_Accounts_Of_All_Sites(false, true);
}

void frmStashbook::Copy_Accounts_Of_All_Sites(bool Without_Extra_Info, bool Show_Sites)
{
    // A file that fails half-way is reported and the clipboard keeps what it
    // had: part of a listing would pass for the whole of it.
    QString text;
    if (!Store->check(exporting::allAccountsText(Store->file(common::RecordKind::Accounts),
                                                 Sites->names(), !Without_Extra_Info, Show_Sites,
                                                 text)))
        return;
    clipboardGuard().place(text, true);
}

} // namespace sb::app
