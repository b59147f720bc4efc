// What the Add Account and Edit Account dialogs share: the column of three
// editable boxes with their labels, the OK/Cancel pair, and acting on how OK
// ended (rules/account_edits.h): the dialog closes, or the focus goes back
// to the box at fault.
#pragma once

#include "dialogs/dialog_kit.h"
#include "rules/account_edits.h"

#include <QDialog>

namespace sb::dialogs::account {

using rules::Account;
using rules::AccountRow;

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

    // OK: writes `typed`, or refuses it.
    virtual rules::Outcome save(const Account& typed) = 0;

    common::Records& Files;
    common::Prompter& Prompts;
    const QString Account_Site_Name; // the site selected as the dialog opened

    TextBox* txt_Username = nullptr;
    TextBox* txt_Password = nullptr;
    TextBox* txt_Referral_URL = nullptr;
};

} // namespace sb::dialogs::account
