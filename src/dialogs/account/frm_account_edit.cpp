#include "dialogs/account/frm_account_edit.h"

namespace sb::dialogs::account {

namespace {

constexpr int kOldColumnLeft = 4080;

} // namespace

frmAccount_Edit::frmAccount_Edit(common::Records& records, common::Prompter& prompter,
                                 const QString& siteName, const AccountRow& account,
                                 QWidget* parent)
    : AccountDialog(records, prompter, siteName,
                    {QStringLiteral("[Stashbook]  :Edit Account:  New Account Info:"), 6975, 1920,
                     QStringLiteral("New Username"), QStringLiteral("New Password"),
                     QStringLiteral("New Extra Info (Optional)")},
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
    Account stored;
    if (rules::loadAccount(Files, Prompts, Account_Site_Name, Selected_Account, stored) !=
        rules::Outcome::Done)
        return false;
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

rules::Outcome frmAccount_Edit::save(const Account& typed)
{
    return rules::editAccount(Files, Prompts, Account_Site_Name,
                              {txt_Username_Old->text(), Selected_Account.rank}, typed);
}

} // namespace sb::dialogs::account
