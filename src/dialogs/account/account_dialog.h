// What the Add Account and Edit Account dialogs share: the column of three
// editable boxes with their labels, the OK/Cancel pair, and the refusals
// that put the focus back on the box at fault.
#pragma once

#include "dialogs/account/site_accounts.h"
#include "dialogs/dialog_kit.h"

#include <QDialog>

namespace sb::dialogs::account {

class AccountDialog : public QDialog
{
    Q_OBJECT

public:
    // The three boxes as typed.
    Account values() const;

public slots:
    // Index 0 is OK, 1 Cancel.
    void cmd_Add_Account_OK_or_Cancel_Click(int Index);

protected:
    struct Layout
    {
        QString caption;
        int widthTwips;
        int heightTwips;
        QString usernameLabel, passwordLabel, extraInfoLabel;
    };
    AccountDialog(common::Records& records, common::Prompter& prompter, const QString& siteName,
                  const Layout& layout, QWidget* parent);

    // A box of the dialog's three rows (row 0 to 2) in the column that
    // starts at `leftTwips`, with its label centred beneath it; the label
    // names the box for screen readers too.
    static TextBox* makeRow(QDialog* dialog, const char* name, const QString& label, int row,
                            int leftTwips, bool oldValue = false);

    // OK, once no box holds a double quote: true when `typed` has been
    // written and the dialog may close as accepted. A refusal keeps the
    // dialog open (or closes it, rejected).
    virtual bool save(const Account& typed) = 0;

    // Shows an error; false when the program is ending meanwhile, and the
    // dialog must do nothing more.
    bool tell(const QString& title, const QString& text);
    // After a refusal: `box` takes the focus, its whole text selected.
    void focusBack(QLineEdit* box);

    common::Prompter& Prompts;
    SiteAccounts Accounts; // of the site selected as the dialog opened

    TextBox* txt_Username = nullptr;
    TextBox* txt_Password = nullptr;
    TextBox* txt_Referral_URL = nullptr;
};

} // namespace sb::dialogs::account
