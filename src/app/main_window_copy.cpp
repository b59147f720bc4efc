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
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (frmStashbook::*handler)(), QAction* before = nullptr) {
        auto* a = new QAction(caption, menu);
        a->setObjectName(QLatin1String(name));
        menu->insertAction(before, a);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto submenu = [](QMenu* menu, const char* name, const QString& caption,
                      QAction* before = nullptr) {
        auto* m = new QMenu(caption, menu);
        m->setObjectName(QLatin1String(name));
        menu->insertMenu(before, m);
        return m;
    };

    // The all-accounts submenu exists already (its title names the selected
    // site); everything else of the account menu goes before it.
    QAction* const copyAll = mnu_Copy_All->menuAction();
    mnu_Copy_Username =
        item(mnu_Account_Copy, "mnu_Copy_Username", QStringLiteral("Copy &Username"),
             &frmStashbook::mnu_Copy_Username_Click, copyAll);
    mnu_Copy_Password =
        item(mnu_Account_Copy, "mnu_Copy_Password", QStringLiteral("Copy &Passowrd"),
             &frmStashbook::mnu_Copy_Password_Click, copyAll);
    mnu_Copy_Referral_URL =
        item(mnu_Account_Copy, "mnu_Copy_Referral_URL", QStringLiteral("Copy &Extra Info"),
             &frmStashbook::mnu_Copy_Referral_URL_Click, copyAll);
    mnu_Copy_Row = item(mnu_Account_Copy, "mnu_Copy_Row", QStringLiteral("Copy &Selected Row"),
                        &frmStashbook::mnu_Copy_Row_Click, copyAll);
    mnu_Hyphen1 = mnu_Account_Copy->insertSeparator(copyAll);
    mnu_Hyphen1->setObjectName(QStringLiteral("mnu_Hyphen1"));
    mnu_Copy_Column =
        submenu(mnu_Account_Copy, "mnu_Copy_Column", QStringLiteral("Copy &Column"), copyAll);
    mnu_Copy_Column_Username =
        item(mnu_Copy_Column, "mnu_Copy_Column_Username", QStringLiteral("&Username"),
             &frmStashbook::mnu_Copy_Column_Username_Click);
    mnu_Copy_Column_Password =
        item(mnu_Copy_Column, "mnu_Copy_Column_Password", QStringLiteral("&Password"),
             &frmStashbook::mnu_Copy_Column_Password_Click);
    mnu_Copy_Column_Referral_URL =
        item(mnu_Copy_Column, "mnu_Copy_Column_Referral_URL", QStringLiteral("&Extra Info"),
             &frmStashbook::mnu_Copy_Column_Referral_URL_Click);
    mnu_Copy_All_Without =
        item(mnu_Copy_All, "mnu_Copy_All_Without", QStringLiteral("With&out Extra Info"),
             &frmStashbook::mnu_Copy_All_Without_Click);
    mnu_Copy_All_With = item(mnu_Copy_All, "mnu_Copy_All_With", QStringLiteral("&With Extra Info"),
                             &frmStashbook::mnu_Copy_All_With_Click);

    mnu_Site_Copy_Selected =
        item(mnu_Copy_Site, "mnu_Site_Copy_Selected", QStringLiteral("Copy Selected Site"),
             &frmStashbook::mnu_Site_Copy_Selected_Click);
    Hyphen6 = mnu_Copy_Site->addSeparator();
    Hyphen6->setObjectName(QStringLiteral("Hyphen6"));
    mnu_Site_Copy_All_Sites =
        item(mnu_Copy_Site, "mnu_Site_Copy_All_Sites", QStringLiteral("Copy All Sites"),
             &frmStashbook::mnu_Site_Copy_All_Sites_Click);
    mnu_Site_Copy_All_Accounts =
        submenu(mnu_Copy_Site, "mnu_Site_Copy_All_Accounts", QStringLiteral("Copy All Accounts"));
    mnu_Site_Copy_All_NoShow = submenu(mnu_Site_Copy_All_Accounts, "mnu_Site_Copy_All_NoShow",
                                       QStringLiteral("Don't Show Sites In List"));
    mnu_Site_Copy_All_NoShow_Without =
        item(mnu_Site_Copy_All_NoShow, "mnu_Site_Copy_All_NoShow_Without",
             QStringLiteral("Without Extra Info"),
             &frmStashbook::mnu_Site_Copy_All_NoShow_Without_Click);
    mnu_Site_Copy_All_NoShow_With =
        item(mnu_Site_Copy_All_NoShow, "mnu_Site_Copy_All_NoShow_With",
             QStringLiteral("With Extra Info"), &frmStashbook::mnu_Site_Copy_All_NoShow_With_Click);
    mnu_Site_Copy_All_Show = submenu(mnu_Site_Copy_All_Accounts, "mnu_Site_Copy_All_Show",
                                     QStringLiteral("Show Sites In List"));
    mnu_Site_Copy_All_Show_Without = item(mnu_Site_Copy_All_Show, "mnu_Site_Copy_All_Show_Without",
                                          QStringLiteral("Without Extra Info"),
                                          &frmStashbook::mnu_Site_Copy_All_Show_Without_Click);
    mnu_Site_Copy_All_Show_With =
        item(mnu_Site_Copy_All_Show, "mnu_Site_Copy_All_Show_With",
             QStringLiteral("With Extra Info"), &frmStashbook::mnu_Site_Copy_All_Show_With_Click);

    connect(lst_Username, &SelectionList::doubleClicked, this,
            &frmStashbook::lst_Username_DblClick);
    connect(lst_Password, &SelectionList::doubleClicked, this,
            &frmStashbook::lst_Password_DblClick);
    connect(lst_Referral_URL, &SelectionList::doubleClicked, this,
            &frmStashbook::lst_Referral_URL_DblClick);
    connect(lst_Username, &SelectionList::menuRequested, this,
            &frmStashbook::lst_Username_MouseDown);
    connect(lst_Password, &SelectionList::menuRequested, this,
            &frmStashbook::lst_Password_MouseDown);
    connect(lst_Referral_URL, &SelectionList::menuRequested, this,
            &frmStashbook::lst_Referral_URL_MouseDown);
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
