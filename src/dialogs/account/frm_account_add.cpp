#include "dialogs/account/frm_account_add.h"

namespace sb::dialogs::account {

frmAccount_Add::frmAccount_Add(common::Records& records, common::Prompter& prompter,
                               const QString& siteName, QWidget* parent)
    : AccountDialog(records, prompter, siteName,
                    {kAddCaption, 4110, 1935, QStringLiteral("Username"),
                     QStringLiteral("Password"), QStringLiteral("Extra Info (Optional)")},
                    parent)
{
    setObjectName(QStringLiteral("frmAccount_Add"));
}

bool frmAccount_Add::save(const Account& typed)
{
    SiteAccounts::Scan scan;
    if (!Accounts.scan(std::nullopt, typed.username, scan))
        return false;
    if (scan.taken) {
        if (tell(kDuplicateTitle, duplicateText(typed.username)))
            focusBack(txt_Username);
        return false;
    }
    if (!Accounts.add(typed))
        return false;
    Added_Username = typed.username;
    return true;
}

} // namespace sb::dialogs::account
