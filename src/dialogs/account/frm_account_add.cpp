#include "dialogs/account/frm_account_add.h"

namespace sb::dialogs::account {

frmAccount_Add::frmAccount_Add(common::Records& records, common::Prompter& prompter,
                               const QString& siteName, QWidget* parent)
    : AccountDialog(records, prompter, siteName,
                    {QStringLiteral("[Stashbook]  :Add Account:  Account Info:"), 4110, 1935,
                     QStringLiteral("Username"), QStringLiteral("Password"),
                     QStringLiteral("Extra Info (Optional)")},
                    parent)
{
    setObjectName(QStringLiteral("frmAccount_Add"));
}

rules::Outcome frmAccount_Add::save(const Account& typed)
{
    const rules::Outcome outcome = rules::addAccount(Files, Prompts, Account_Site_Name, typed);
    if (outcome == rules::Outcome::Done)
        Added_Username = typed.username;
    return outcome;
}

} // namespace sb::dialogs::account
