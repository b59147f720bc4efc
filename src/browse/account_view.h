// What the account side of the main window shows for one selected site,
// read from the record files without any widget.
#pragma once

#include "common/name_match.h"
#include "store/record_file.h"

#include <QString>
#include <QStringList>

namespace sb::browse {

// The row the three account lists hold when a site has no account.
inline const QString kNoAccountsUsername = QStringLiteral("-- NO --");
inline const QString kNoAccountsPassword = QStringLiteral("-- LISTED --");
inline const QString kNoAccountsExtraInfo = QStringLiteral("-- ACCOUNTS --");

// True for the user name of the placeholder row, in any letter case. A real
// account named so is treated like the placeholder: there is no way to tell
// the two apart from the user-name column alone.
bool isNoAccountsRow(const QString& username);

// The accounts of one site, and its sites-file record.
struct AccountView
{
    bool accountsFileFound = false;
    bool siteFound = false; // some sites record matched the selected name
    QString siteName;       // that record's own name (the last match wins)
    QString siteUrl;        // and its address
    // Row i of each is the i-th account of the site in file order.
    QStringList usernames;
    QStringList passwords;
    QStringList extraInfo;
};

// Collects the accounts of the site `site` matches into `view`, in file
// order, and counts every record of the accounts file: one pass, in which
// the other sites' records are only stepped over. On a read error `view` may
// hold some of the accounts.
store::Status readSiteAccounts(const store::RecordFile& accounts, const common::NameMatcher& site,
                               AccountView& view, long long& allAccounts);

// Looks `selectedName` up in the sites file and collects its accounts from
// the accounts file. Missing files are not errors: they show as nothing
// found. On a read error `out` is left untouched, so a caller never shows
// half a site.
store::Status readAccountView(const store::RecordFile& sites, const store::RecordFile& accounts,
                              const QString& selectedName, AccountView& out);

// Captions are returned ready to be set on their widget: a '&' of a name or
// address is doubled so that it shows as typed rather than marking an access
// key (a site "AT&T", an address "?a=1&b=2"). Names and addresses are
// quoted as common::quotedName() quotes them: a long one is cut, and one
// with direction controls cannot turn the caption's own words around.

// Caption of the header above the account lists:
//   [SITE: name ]-[URL: address ]-[ACCOUNTS: n/total ]
// with the sites record's name and address, or the selected name and an
// empty address when no record matched. `totalAccounts` is the count of the
// last reload, not of this read.
QString siteCaption(const QString& selectedName, const AccountView& view, qint32 totalAccounts);

// Caption of the "copy all accounts of this site" submenu.
QString copyAllCaption(const QString& selectedName, bool accountsFileFound);

} // namespace sb::browse
