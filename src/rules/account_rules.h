// How account editing decides which records of the accounts file an edit
// touches, and what it tells the user. No widget here.
//
// An account is a site name and a user name: both compared ignoring letter
// case, blanks counting (common/name_match.h). Password and extra info never
// identify an account.
#pragma once

#include "common/name_match.h"
#include "store/rewrite.h"

#include <QString>
#include <QStringList>

namespace sb::rules {

// What the user types for an account; the site comes from the site list.
struct Account
{
    QString username;
    QString password;
    QString extraInfo;
};

// The account of one row of the site's account list: its user name, and
// how many rows above it bear the same name (ignoring letter case). The
// dialogs never make two accounts of one name, but the file may hold them
// (written by another program, or brought together by a site renamed with
// its accounts); each row then stands for its own record: the rows are the
// site's records in file order, so the row is the rank-th record (from 0)
// of the site with that user name.
struct AccountRow
{
    QString username;
    int rank = 0;
};

// The account of row `row` of `usernames`, the site's account list.
AccountRow accountRow(const QStringList& usernames, int row);
// The other way round: the row of `account` in `usernames`, or -1.
int rowOf(const QStringList& usernames, const AccountRow& account);

// The accounts-file record of `account` at `site`, fields as typed.
store::Record accountRecord(const QString& site, const Account& account);

// Records of the account `username` at `site`, tested on their UTF-8 fields:
// the accounts file may hold a hundred thousand of them.
class AccountMatcher
{
public:
    AccountMatcher(const QString& site, const QString& username);
    bool matches(const store::Record& record) const;

private:
    common::NameMatcher site_;
    common::NameMatcher username_;
};

// Rewrite rules. The record of the account `row` is replaced (or dropped)
// where it stands; the others are kept, in their order.
store::Rule replaceAccountRule(const QString& site, const AccountRow& row, const Account& changed);
store::Rule removeAccountRule(const QString& site, const AccountRow& row);

// The record format cannot hold a double quote (it ends the field): the
// field of `account` that holds one (0 user name, 1 password, 2 extra info),
// or -1.
int fieldWithQuote(const Account& account);

// --- What the user is told ---------------------------------------------------

inline const QString kDuplicateTitle =
    QStringLiteral("[Stashbook]  :ERROR:  Account Already Exists");
QString duplicateText(const QString& username);

// Editing reports a taken user name under the same title as renaming a site.
inline const QString kRenameTitle =
    QStringLiteral("[Stashbook]  :RENAME ERROR:  Site Already Exists");
QString renameText(const QString& username);

inline const QString kRemoveTitle = QStringLiteral("[Stashbook]  :Remove Account:  Are You Sure?");
QString removeQuestion(const QString& username);

inline const QString kNotFoundTitle = QStringLiteral("[Stashbook]  :ERROR:  Account Not Found");
QString notFoundText(const QString& username);

inline const QString kInvalidCharacterTitle =
    QStringLiteral("[Stashbook]  :ERROR:  Invalid Character");
// `field` as fieldWithQuote() numbers it.
QString invalidCharacterText(int field);

} // namespace sb::rules
