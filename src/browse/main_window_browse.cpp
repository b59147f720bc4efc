// The main window's browsing handlers: selecting a site, the three linked
// account lists and the GO buttons.
//
// The handlers listen to the lists' itemSelectionChanged: it fires for a
// mouse click, for the keyboard and for a selection set from code, but not
// when a list merely gets a current row without a selection (a list that
// receives the focus makes its first row current, unselected).
#include "app/main_window.h"

#include "browse/account_view.h"
#include "browse/go_url.h"

#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>

namespace sb::app {

namespace {

// The selected row of a single-selection list, or -1.
int selectedRow(const QListWidget* list)
{
    const QModelIndexList rows = list->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void fill(QListWidget* list, const QStringList& rows)
{
    list->clear();
    list->addItems(rows);
}

} // namespace

void frmStashbook::connectBrowsing()
{
    mnu_Copy_All = new QMenu(QStringLiteral("Copy &All Accounts"), mnu_Account_Copy);
    mnu_Copy_All->setObjectName(QStringLiteral("mnu_Copy_All"));
    mnu_Account_Copy->addMenu(mnu_Copy_All);

    connect(lst_Site, &QListWidget::itemSelectionChanged, this, &frmStashbook::lst_Site_Click);
    connect(lst_Username, &QListWidget::itemSelectionChanged, this,
            &frmStashbook::lst_Username_Click);
    connect(lst_Password, &QListWidget::itemSelectionChanged, this,
            &frmStashbook::lst_Password_Click);
    connect(lst_Referral_URL, &QListWidget::itemSelectionChanged, this,
            &frmStashbook::lst_Referral_URL_Click);
    connect(cmd_Go, &QPushButton::clicked, this, &frmStashbook::cmd_Go_Click);
    connect(cmd_Go_Referral_URL, &QPushButton::clicked, this,
            &frmStashbook::cmd_Go_Referral_URL_Click);
}

void frmStashbook::lst_Site_Click()
{
    const int row = selectedRow(lst_Site);
    if (row < 0) {
        // The site was deselected (Ctrl+click) or the list emptied by a
        // reload: nothing is selected, so nothing may stay on show for it.
        Clear_Account_View();
        return;
    }
    const QString name = lst_Site->item(row)->text();

    // Everything is read before anything is shown, so a file that fails
    // half-way leaves no mixture of two sites on screen.
    browse::AccountView view;
    if (store::Status st = browse::readAccountView(SitesFile, AccountsFile, name, view);
        st.failed()) {
        // Back to the state after a reload, with no site selected, so that
        // clicking the site again retries.
        lst_Site->clearSelection();
        Clear_Account_View();
        reportError(st.error());
        return;
    }

    cmd_Go->setEnabled(true);
    cmd_Edit_Site->setEnabled(true);
    cmd_Rem_Site->setEnabled(true);

    mnu_Copy_All->setTitle(browse::copyAllCaption(name, view.accountsFileFound));
    cmd_Site_Name->setText(browse::siteCaption(name, view, AccountCount));
    Site_URL = view.siteFound ? view.siteUrl : QString();

    if (view.usernames.isEmpty()) {
        fill(lst_Username, {browse::kNoAccountsUsername});
        fill(lst_Password, {browse::kNoAccountsPassword});
        fill(lst_Referral_URL, {browse::kNoAccountsExtraInfo});
    } else {
        fill(lst_Username, view.usernames);
        fill(lst_Password, view.passwords);
        fill(lst_Referral_URL, view.extraInfo);
    }

    cmd_Add_Account->setEnabled(true);
    cmd_Edit_Account->setEnabled(false);
    cmd_Remove_Account->setEnabled(false);
    cmd_Go_Referral_URL->setEnabled(false);
    lst_Username->setFocus();
}

void frmStashbook::lst_Username_Click()
{
    Link_Account_Rows(lst_Username);
}

void frmStashbook::lst_Password_Click()
{
    Link_Account_Rows(lst_Password);
}

void frmStashbook::lst_Referral_URL_Click()
{
    Link_Account_Rows(lst_Referral_URL);
}

void frmStashbook::Link_Account_Rows(QListWidget* source)
{
    // Moving the other lists raises their handlers in turn; the outer run
    // already does their work.
    if (Linking_Account_Rows)
        return;
    const QScopedValueRollback guard(Linking_Account_Rows, true);

    const int row = selectedRow(source);
    for (QListWidget* list : {lst_Username, lst_Password, lst_Referral_URL}) {
        if (list == source || selectedRow(list) == row)
            continue;
        if (row < 0)
            list->clearSelection();
        else
            list->setCurrentRow(row);
    }

    const QListWidgetItem* user = row < 0 ? nullptr : lst_Username->item(row);
    if (!user) {
        // No row selected any more (Ctrl+click, or the lists being
        // emptied): there is no account to act on.
        cmd_Edit_Account->setEnabled(false);
        cmd_Remove_Account->setEnabled(false);
        cmd_Go_Referral_URL->setEnabled(false);
        return;
    }
    if (browse::isNoAccountsRow(user->text())) {
        // The extra-info button keeps its state: a site's selection disables
        // it, so it is off whenever the real placeholder row is on show.
        cmd_Edit_Account->setEnabled(false);
        cmd_Remove_Account->setEnabled(false);
        return;
    }
    cmd_Edit_Account->setEnabled(true);
    cmd_Remove_Account->setEnabled(true);
    cmd_Go_Referral_URL->setEnabled(true);
}

void frmStashbook::cmd_Go_Click()
{
    // The completed address is kept, so a second press opens the same one.
    Site_URL = browse::browserAddress(Site_URL);
    browse::openInBrowser(Site_URL);
    cmd_Add_Site->setFocus();
}

void frmStashbook::cmd_Go_Referral_URL_Click()
{
    // The list keeps the text as stored; only the browser sees the prefix.
    const int row = selectedRow(lst_Referral_URL);
    if (row >= 0)
        browse::openInBrowser(browse::browserAddress(lst_Referral_URL->item(row)->text()));
    cmd_Add_Account->setFocus();
}

void frmStashbook::Clear_Account_View()
{
    cmd_Site_Name->setText(kHotKeyHint);
    cmd_Go->setEnabled(false);
    lst_Username->clear();
    lst_Password->clear();
    lst_Referral_URL->clear();
    for (QPushButton* b : {cmd_Add_Account, cmd_Edit_Site, cmd_Rem_Site, cmd_Edit_Account,
                           cmd_Remove_Account, cmd_Go_Referral_URL})
        b->setEnabled(false);
}

} // namespace sb::app
