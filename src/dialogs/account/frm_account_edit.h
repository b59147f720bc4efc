// The Edit Account dialog: the stored user name, password and extra info of
// the account selected in the main window, editable on the left and kept for
// reference on the right. OK replaces the account's record where it stands
// unless the new user name belongs to another account of the site.
#pragma once

#include "dialogs/account/account_dialog.h"

namespace sb::dialogs::account {

class frmAccount_Edit final : public AccountDialog
{
    Q_OBJECT

public:
    // `account` is the selected row of the user-name list.
    frmAccount_Edit(common::Records& records, common::Prompter& prompter, const QString& siteName,
                    const AccountRow& account, QWidget* parent = nullptr);

    // Looks the account's record up and fills both columns with its values.
    // False when the dialog must not be shown: the account is no longer in
    // the accounts file (the user has been told so), or the file could not
    // be read (reported).
    bool Form_Load();

private:
    rules::Outcome save(const Account& typed) override;

    const AccountRow Selected_Account;
    TextBox* txt_Username_Old = nullptr;
    TextBox* txt_Password_Old = nullptr;
    TextBox* txt_Referral_URL_Old = nullptr;
};

} // namespace sb::dialogs::account
