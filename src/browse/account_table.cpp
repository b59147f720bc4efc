#include "browse/account_table.h"

#include "browse/selection_list.h"
#include "common/font_fit.h"

#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>

namespace sb::browse {

const QString AccountTable::kHotKeyHint =
    QStringLiteral("Use:   Control-T   :To Minimize/Restore 'Stashbook' From The System Tray");

AccountTable::AccountTable(const AccountControls& controls, QObject* parent)
    : QObject(parent), c_(controls)
{}

void AccountTable::setAccountButtons(bool enabled)
{
    for (QPushButton* b : {c_.editAccount, c_.removeAccount, c_.goExtraInfo})
        b->setEnabled(enabled);
}

void AccountTable::clear()
{
    c_.siteCaption->setText(kHotKeyHint);
    common::fitFont(c_.siteCaption);
    for (SelectionList* l : {c_.usernames, c_.passwords, c_.extraInfo})
        l->clear();
    for (QPushButton* b : {c_.goSite, c_.addAccount, c_.editSite, c_.removeSite})
        b->setEnabled(false);
    setAccountButtons(false);
}

void AccountTable::showSite(const QString& selectedName, const AccountView& view,
                            qint32 totalAccounts)
{
    for (QPushButton* b : {c_.goSite, c_.editSite, c_.removeSite})
        b->setEnabled(true);
    c_.copyAllMenu->setTitle(copyAllCaption(selectedName, view.accountsFileFound));
    c_.siteCaption->setText(siteCaption(selectedName, view, totalAccounts));
    common::fitFont(c_.siteCaption);
    siteUrl_ = view.siteFound ? view.siteUrl : QString();

    const bool none = view.usernames.isEmpty();
    c_.usernames->setRows(none ? QStringList{kNoAccountsUsername} : view.usernames);
    c_.passwords->setRows(none ? QStringList{kNoAccountsPassword} : view.passwords);
    c_.extraInfo->setRows(none ? QStringList{kNoAccountsExtraInfo} : view.extraInfo);

    c_.addAccount->setEnabled(true);
    setAccountButtons(false);
}

void AccountTable::linkRows(SelectionList* source)
{
    // Moving the other lists raises their handlers in turn; the outer run
    // already does their work.
    if (linking_)
        return;
    const QScopedValueRollback guard(linking_, true);

    const int row = source->selectedRow();
    if (row < 0) // only the program clears the lists, and then all three
        return;
    for (SelectionList* l : {c_.usernames, c_.passwords, c_.extraInfo}) {
        if (l->selectedRow() != row)
            l->selectRow(row);
    }
    if (isNoAccountsRow(c_.usernames->value(row))) {
        // The extra-info button keeps its state: a site's selection disables
        // it, so it is off whenever the real placeholder row is on show.
        c_.editAccount->setEnabled(false);
        c_.removeAccount->setEnabled(false);
        return;
    }
    setAccountButtons(true);
}

int AccountTable::selectedRow() const
{
    return c_.usernames->selectedRow();
}

void AccountTable::selectRow(int row)
{
    if (row >= 0) {
        c_.usernames->selectRow(row); // the other two follow
        return;
    }
    for (SelectionList* l : {c_.usernames, c_.passwords, c_.extraInfo})
        l->clearSelection();
    setAccountButtons(false);
}

bool AccountTable::selectUsername(const QString& username)
{
    const int row = c_.usernames->rowNamed(username);
    selectRow(row);
    return row >= 0;
}

int AccountTable::rowCount() const
{
    return c_.usernames->count();
}

QStringList AccountTable::usernames() const
{
    return c_.usernames->rows();
}

QStringList AccountTable::passwords() const
{
    return c_.passwords->rows();
}

QStringList AccountTable::extraInfo() const
{
    return c_.extraInfo->rows();
}

bool AccountTable::firstRowIsPlaceholder() const
{
    auto first = [](const SelectionList* l) {
        return l->count() > 0 ? l->value(0).toUpper() : QString();
    };
    return first(c_.usernames) == kNoAccountsUsername &&
           first(c_.passwords) == kNoAccountsPassword &&
           first(c_.extraInfo) == kNoAccountsExtraInfo;
}

} // namespace sb::browse
