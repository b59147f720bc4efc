// The Add Account dialog: the user name, password and extra info of a new
// account of the site selected in the main window. OK appends the account
// unless the site has an account of that user name already.
#pragma once

#include "dialogs/account/account_dialog.h"

namespace sb::dialogs::account {

class frmAccount_Add final : public AccountDialog
{
    Q_OBJECT

public:
    frmAccount_Add(common::Records& records, common::Prompter& prompter, const QString& siteName,
                   QWidget* parent = nullptr);

    // The user name added, as typed; empty until OK has added it.
    const QString& addedUsername() const { return Added_Username; }

private:
    rules::Outcome save(const Account& typed) override;

    QString Added_Username;
};

} // namespace sb::dialogs::account
