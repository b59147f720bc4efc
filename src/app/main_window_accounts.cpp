// The main window's handlers of account editing: adding, changing and removing accounts.
#include "app/main_window.h"

#include "browse/account_table.h"
#include "browse/selection_list.h"
#include "browse/site_list_part.h"
#include "dialogs/account/frm_account_add.h"
#include "dialogs/account/frm_account_edit.h"
#include "history/undo_history.h"
#include "rules/account_edits.h"

#include <QPushButton>

namespace sb::app {

using namespace dialogs::account;
using rules::AccountRow;

namespace {

// The account of the selected row. The rows are the site's records in file
// order: two rows of one user name are two records, told apart by order.
AccountRow selectedAccount(const browse::AccountTable& table)
{
    return rules::accountRow(table.usernames(), table.selectedRow());
}

} // namespace

void frmStashbook::connectAccountEditing()
{
    connect(cmd_Add_Account, &QPushButton::clicked, this, &frmStashbook::cmd_Add_Account_Click);
    connect(cmd_Edit_Account, &QPushButton::clicked, this, &frmStashbook::cmd_Edit_Account_Click);
    connect(cmd_Remove_Account, &QPushButton::clicked, this,
            &frmStashbook::cmd_Remove_Account_Click);
}

void frmStashbook::cmd_Add_Account_Click()
{
    const int siteRow = Sites->selectedRow();
    const int accountRow = Accounts->selectedRow();
    // A successful add makes the site's placeholder row give way to the
    // new account, or adds one row.
    const QStringList shown = Accounts->usernames();
    const int expectedRows =
        !shown.isEmpty() && browse::isNoAccountsRow(shown.first()) ? 1 : int(shown.size()) + 1;
    {
        frmAccount_Add dialog(*Changes, *Prompts, Sites->selectedName(), this);
        if (Prompts->run(dialog) == QDialog::Accepted)
            NewUsername = dialog.addedUsername();
        if (Prompts->exiting())
            return;
    }
    if (!Load_Lists({}, siteRow))
        return;
    if (Accounts->rowCount() != expectedRows)
        Accounts->selectRow(accountRow);
    else if (Accounts->selectUsername(NewUsername))
        cmd_Add_Account->setFocus();
}

void frmStashbook::cmd_Edit_Account_Click()
{
    const int siteRow = Sites->selectedRow();
    const int accountRow = Accounts->selectedRow();
    {
        frmAccount_Edit dialog(*Changes, *Prompts, Sites->selectedName(),
                               selectedAccount(*Accounts), this);
        if (dialog.Form_Load())
            Prompts->run(dialog);
        if (Prompts->exiting())
            return;
    }
    // An edit replaces the record where it stands, so the same row shows
    // the account with its new values.
    if (Load_Lists({}, siteRow))
        Accounts->selectRow(accountRow);
}

void frmStashbook::cmd_Remove_Account_Click()
{
    const int siteRow = Sites->selectedRow();
    if (rules::removeAccount(*Changes, *Prompts, Sites->selectedName(),
                             selectedAccount(*Accounts)) != rules::Outcome::Done)
        return;
    if (Load_Lists({}, siteRow))
        cmd_Add_Account->setFocus();
}

} // namespace sb::app
