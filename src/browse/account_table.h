// The account side of the main window: three lists that act as the columns
// of one table (user name, password, extra info), the caption above them,
// and the buttons whose state follows the selection.
//
// Row i of each list is the same account, and one selected row is shared by
// all three. A site without accounts shows one placeholder row
// ("-- NO --", "-- LISTED --", "-- ACCOUNTS --").
#pragma once

#include "browse/account_view.h"

#include <QObject>

class QMenu;
class QPushButton;

namespace sb::browse {

class SelectionList;

// The controls the account side is made of; the window lays them out.
struct AccountControls
{
    QPushButton* siteCaption; // names the selected site, its address and counts
    QMenu* copyAllMenu;       // its title names the selected site
    SelectionList* usernames;
    SelectionList* passwords;
    SelectionList* extraInfo;
    QPushButton* goSite;      // opens the site's address
    QPushButton* goExtraInfo; // opens the selected account's extra info
    QPushButton* addAccount;
    QPushButton* editAccount;
    QPushButton* removeAccount;
    QPushButton* editSite; // need a selected site too
    QPushButton* removeSite;
};

class AccountTable final : public QObject
{
    Q_OBJECT

public:
    AccountTable(const AccountControls& controls, QObject* parent);

    // No site selected, as after a reload: the hint caption, no rows, and
    // every button that needs a site or an account disabled.
    void clear();
    // Shows the accounts of the site selected as `selectedName` (or the
    // placeholder row), with no row selected. `totalAccounts` is the count
    // of the last reload.
    void showSite(const QString& selectedName, const AccountView& view, qint32 totalAccounts);

    // Moves the other two lists to the row selected in `source` and sets the
    // account buttons for that row.
    void linkRows(SelectionList* source);

    // The selected row (the same in all three lists), or -1.
    int selectedRow() const;
    // Selects `row` in all three lists; -1 selects none.
    void selectRow(int row);
    // Selects the first row whose user name equals `username` ignoring
    // letter case; false (and nothing selected) when there is none.
    bool selectUsername(const QString& username);
    int rowCount() const;
    QStringList usernames() const;
    QStringList passwords() const;
    QStringList extraInfo() const;

    // The first row of each list is the placeholder's (letter case ignored):
    // the site has no accounts, or its first account is spelled so.
    bool firstRowIsPlaceholder() const;

    // The selected site's web address (empty when none is known).
    const QString& siteUrl() const { return siteUrl_; }
    void setSiteUrl(const QString& url) { siteUrl_ = url; }

    // The caption shown while no site is selected.
    static const QString kHotKeyHint;

private:
    void setAccountButtons(bool enabled);

    AccountControls c_;
    QString siteUrl_;
    bool linking_ = false; // a linked selection is being set
};

} // namespace sb::browse
