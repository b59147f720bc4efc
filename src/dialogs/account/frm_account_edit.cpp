#include "dialogs/account/frm_account_edit.h"

namespace sb::dialogs::account {

namespace {

constexpr int kOldColumnLeft = 4080;

} // namespace

frmAccount_Edit::frmAccount_Edit(common::Records& records, common::Prompter& prompter,
                                 const QString& siteName, const AccountRow& account,
                                 QWidget* parent)
    : AccountDialog(records, prompter, siteName,
                    {kEditCaption, 6975, 1920, QStringLiteral("New Username"),
                     QStringLiteral("New Password"), QStringLiteral("New Extra Info (Optional)")},
                    parent),
      Selected_Account(account)
{
    setObjectName(QStringLiteral("frmAccount_Edit"));
    txt_Username_Old = makeRow(this, "txt_Username_Old", QStringLiteral("Old Username"), 0,
                               kOldColumnLeft, /*oldValue=*/true);
    txt_Password_Old =
        makeRow(this, "txt_Password_Old", QStringLiteral("Old Password"), 1, kOldColumnLeft, true);
    txt_Referral_URL_Old =
        makeRow(this, "txt_Referral_URL_Old", QStringLiteral("Old Extra Info (Optional)"), 2,
                kOldColumnLeft, true);
}

bool frmAccount_Edit::Form_Load()
{
    SiteAccounts::Scan scan;
    if (!Accounts.scan(Selected_Account, std::nullopt, scan))
        return false;
    if (!scan.found) {
        // Empty boxes would let OK overwrite the site's accounts that have
        // no user name.
        tell(kNotFoundTitle, notFoundText(Selected_Account.username));
        return false;
    }
    const Account& stored = *scan.found;
    const auto show = [](QLineEdit* box, QLineEdit* old, const QString& text) {
        box->setText(text);
        old->setText(text);
    };
    show(txt_Username, txt_Username_Old, stored.username);
    show(txt_Password, txt_Password_Old, stored.password);
    show(txt_Referral_URL, txt_Referral_URL_Old, stored.extraInfo);
    txt_Username->selectAll();
    return true;
}

bool frmAccount_Edit::save(const Account& typed)
{
    const AccountRow old{txt_Username_Old->text(), Selected_Account.rank};
    SiteAccounts::Scan scan;
    if (!Accounts.scan(old, typed.username, scan))
        return false;
    if (!scan.found) {
        // Changed by another program while the dialog was open: nothing is
        // left to change.
        if (tell(kNotFoundTitle, notFoundText(old.username)))
            reject();
        return false;
    }
    if (scan.taken) {
        if (tell(kRenameTitle, renameText(typed.username)))
            focusBack(txt_Username);
        return false;
    }
    return Accounts.replace(old, typed);
}

} // namespace sb::dialogs::account
