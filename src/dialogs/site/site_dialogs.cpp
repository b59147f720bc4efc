#include "dialogs/site/site_dialogs.h"

#include "dialogs/dialog_kit.h"
#include "rules/site_edits.h"

#include <QPushButton>

namespace sb::dialogs::site {

using rules::Outcome;
using rules::SiteFields;

namespace {

// A text box on the left of the dialog with its caption centred beneath it;
// the caption also names the box for assistive tools. The caption spans the
// box: a narrower one of the same centre would clip its text in many fonts.
TextBox* makeCaptionedBox(QDialog* dialog, const char* name, const QString& caption, int top,
                          int captionTop, bool oldValue = false)
{
    TextBox* box = makeTextBox(dialog, name, caption, 120, top, 2775, 285, oldValue);
    makeLabel(dialog, caption, 120, captionTop, 2775, 285);
    return box;
}

void chainTabOrder(std::initializer_list<QWidget*> order)
{
    for (auto it = order.begin(); it + 1 != order.end(); ++it)
        QWidget::setTabOrder(*it, *(it + 1));
}

} // namespace

// --- Add Site -----------------------------------------------------------------

frmSite_Add::frmSite_Add(common::Records& records, common::Prompter& prompter, QWidget* parent)
    : QDialog(parent), records_(records), prompter_(prompter)
{
    setObjectName(QStringLiteral("frmSite_Add"));
    setUpDialog(this, QStringLiteral("[Stashbook]  :Add Site:  Add Which Site?"), 4095, 1260,
                /*resizable=*/false);
    txt_Add_Site_Name =
        makeCaptionedBox(this, "txt_Add_Site_Name", QStringLiteral("Site Name"), 120, 400);
    txt_Add_Site_URL =
        makeCaptionedBox(this, "txt_Add_Site_URL", QStringLiteral("Site URL Location"), 720, 1000);
    const OkCancel buttons =
        makeOkCancel(this, "cmd_Add_Site_OK_or_Cancel", {3000, 120, 975, 285},
                     {3000, 480, 975, 615}, [this](int i) { cmd_Add_Site_OK_or_Cancel_Click(i); });
    chainTabOrder({txt_Add_Site_Name, txt_Add_Site_URL, buttons.ok, buttons.cancel});
    txt_Add_Site_Name->setFocus();

    connect(txt_Add_Site_Name, &QLineEdit::textChanged, this,
            &frmSite_Add::txt_Add_Site_Name_Change);
}

void frmSite_Add::cmd_Add_Site_OK_or_Cancel_Click(int Index)
{
    if (Index != 0) {
        reject();
        return;
    }
    const SiteFields site{txt_Add_Site_Name->text(), txt_Add_Site_URL->text()};
    const Outcome outcome = rules::addSite(records_, prompter_, site);
    // Exit was chosen while a box was open: the dialog has been closed.
    if (prompter_.exiting())
        return;
    if (outcome == Outcome::Done)
        addedName_ = site.name;
    finishOk(*this, outcome, {txt_Add_Site_Name, txt_Add_Site_URL});
}

void frmSite_Add::txt_Add_Site_Name_Change()
{
    txt_Add_Site_URL->setText(rules::addressFor(txt_Add_Site_Name->text()));
}

// --- Edit Site ----------------------------------------------------------------

frmSite_Edit::frmSite_Edit(common::Records& records, common::Prompter& prompter,
                           const QString& siteName, QWidget* parent)
    : QDialog(parent), records_(records), prompter_(prompter), siteName_(siteName)
{
    setObjectName(QStringLiteral("frmSite_Edit"));
    setUpDialog(this, QStringLiteral("[Stashbook]  :Edit Site:  Need Site's Info:"), 4050, 2445,
                /*resizable=*/true);
    txt_Edit_Site_Name =
        makeCaptionedBox(this, "txt_Edit_Site_Name", QStringLiteral("New Site Name"), 120, 405);
    txt_Edit_Site_URL = makeCaptionedBox(this, "txt_Edit_Site_URL",
                                         QStringLiteral("New Site URL Location"), 720, 1005);
    txt_Edit_Site_Old_Name = makeCaptionedBox(this, "txt_Edit_Site_Old_Name",
                                              QStringLiteral("Old Site Name"), 1320, 1605, true);
    txt_Edit_Site_Old_URL = makeCaptionedBox(
        this, "txt_Edit_Site_Old_URL", QStringLiteral("Old Site URL Location"), 1920, 2205, true);
    const OkCancel buttons = makeOkCancel(this, "cmd_Edit_Site_OK_or_Cancel",
                                          {3000, 120, 975, 1125}, {3000, 1320, 975, 975},
                                          [this](int i) { cmd_Edit_Site_OK_or_Cancel_Click(i); });
    chainTabOrder({txt_Edit_Site_Name, txt_Edit_Site_URL, buttons.ok, buttons.cancel,
                   txt_Edit_Site_Old_URL, txt_Edit_Site_Old_Name});
    txt_Edit_Site_Name->setFocus();

    connect(txt_Edit_Site_Name, &QLineEdit::textChanged, this,
            &frmSite_Edit::txt_Edit_Site_Name_Change);
}

bool frmSite_Edit::Form_Load()
{
    SiteFields site;
    if (rules::loadSite(records_, prompter_, siteName_, site) != Outcome::Done)
        return false;
    // In this order: the name box proposes an address, which the stored one
    // then replaces.
    txt_Edit_Site_Name->setText(site.name);
    txt_Edit_Site_URL->setText(site.url);
    txt_Edit_Site_Old_Name->setText(site.name);
    txt_Edit_Site_Old_URL->setText(site.url);
    return true;
}

void frmSite_Edit::cmd_Edit_Site_OK_or_Cancel_Click(int Index)
{
    if (Index != 0) {
        reject();
        return;
    }
    const Outcome outcome =
        rules::editSite(records_, prompter_, txt_Edit_Site_Old_Name->text(),
                        {txt_Edit_Site_Name->text(), txt_Edit_Site_URL->text()});
    if (prompter_.exiting())
        return;
    finishOk(*this, outcome, {txt_Edit_Site_Name, txt_Edit_Site_URL});
}

void frmSite_Edit::txt_Edit_Site_Name_Change()
{
    txt_Edit_Site_URL->setText(rules::addressFor(txt_Edit_Site_Name->text()));
}

} // namespace sb::dialogs::site
