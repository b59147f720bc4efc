#include "dialogs/account/account_dialog.h"

#include <QLabel>
#include <QPushButton>

namespace sb::dialogs::account {

namespace {

// The rows of boxes, in twips: each box with its label beneath.
constexpr int kRowTop[] = {120, 720, 1320};
constexpr int kBoxWidth = 2775;
constexpr int kBoxHeight = 285;
constexpr int kLabelHeight = 195;
constexpr int kColumnLeft = 120;

constexpr const char* kButtons = "cmd_Add_Account_OK_or_Cancel";

} // namespace

TextBox* AccountDialog::makeRow(QDialog* dialog, const char* name, const QString& label, int row,
                                int leftTwips, bool oldValue)
{
    TextBox* box =
        makeTextBox(dialog, name, label, leftTwips, kRowTop[row], kBoxWidth, kBoxHeight, oldValue);
    // The label spans its box, so a wider dialog font cannot clip it; its
    // text stays centred beneath the box.
    makeLabel(dialog, label, leftTwips, kRowTop[row] + kBoxHeight, kBoxWidth, kLabelHeight);
    return box;
}

AccountDialog::AccountDialog(common::Records& records, common::Prompter& prompter,
                             const QString& siteName, const Layout& layout, QWidget* parent)
    : QDialog(parent), Files(records), Prompts(prompter), Account_Site_Name(siteName)
{
    setUpDialog(this, layout.caption, layout.widthTwips, layout.heightTwips, /*resizable=*/true);
    txt_Username = makeRow(this, "txt_Username", layout.usernameLabel, 0, kColumnLeft);
    txt_Password = makeRow(this, "txt_Password", layout.passwordLabel, 1, kColumnLeft);
    txt_Referral_URL = makeRow(this, "txt_Referral_URL", layout.extraInfoLabel, 2, kColumnLeft);
    const OkCancel buttons =
        makeOkCancel(this, kButtons, {3000, 120, 975, 885}, {3000, 1080, 975, 735},
                     [this](int index) { cmd_Add_Account_OK_or_Cancel_Click(index); });
    QWidget::setTabOrder(txt_Username, txt_Password);
    QWidget::setTabOrder(txt_Password, txt_Referral_URL);
    QWidget::setTabOrder(txt_Referral_URL, buttons.ok);
    QWidget::setTabOrder(buttons.ok, buttons.cancel);
    txt_Username->setFocus();
}

Account AccountDialog::values() const
{
    return {txt_Username->text(), txt_Password->text(), txt_Referral_URL->text()};
}

void AccountDialog::cmd_Add_Account_OK_or_Cancel_Click(int Index)
{
    if (Index != 0) {
        reject();
        return;
    }
    const rules::Outcome outcome = save(values());
    // Exit was chosen while a box was open: the dialog has been closed.
    if (!Prompts.exiting())
        finishOk(*this, outcome, {txt_Username, txt_Password, txt_Referral_URL});
}

} // namespace sb::dialogs::account
