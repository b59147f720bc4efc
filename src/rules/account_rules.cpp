#include "rules/account_rules.h"

#include "common/shown_text.h"

#include <algorithm>

namespace sb::rules {

using common::quotedName;

store::Record accountRecord(const QString& site, const Account& account)
{
    return {site.toStdString(), account.username.toStdString(), account.password.toStdString(),
            account.extraInfo.toStdString()};
}

AccountMatcher::AccountMatcher(const QString& site, const QString& username)
    : site_(site), username_(username)
{}

bool AccountMatcher::matches(const store::Record& record) const
{
    return record.size() >= size_t{store::kAccountFields} && site_.matches(record[0]) &&
           username_.matches(record[1]);
}

AccountRow accountRow(const QStringList& usernames, int row)
{
    const QString& name = usernames.at(row);
    const auto above = std::count_if(usernames.begin(), usernames.begin() + row,
                                     [&](const QString& u) { return common::sameName(u, name); });
    return {name, int(above)};
}

int rowOf(const QStringList& usernames, const AccountRow& account)
{
    int rank = account.rank;
    for (int row = 0; row < usernames.size(); ++row) {
        if (common::sameName(usernames[row], account.username) && rank-- == 0)
            return row;
    }
    return -1;
}

namespace {

// A rule that answers `answer` for the record of the account `row` and
// keeps every other record. The records come in file order, once each.
store::Rule changeAccount(const QString& site, const AccountRow& row, store::RuleAnswer answer)
{
    return [match = AccountMatcher(site, row.username), rank = row.rank,
            answer = std::move(answer)](const store::Record& r) mutable -> store::RuleAnswer {
        if (match.matches(r) && rank-- == 0)
            return answer;
        return store::Keep{};
    };
}

} // namespace

store::Rule replaceAccountRule(const QString& site, const AccountRow& row, const Account& changed)
{
    return changeAccount(site, row, store::Replace{accountRecord(site, changed)});
}

store::Rule removeAccountRule(const QString& site, const AccountRow& row)
{
    return changeAccount(site, row, store::Drop{});
}

int fieldWithQuote(const Account& account)
{
    const QChar quote = QLatin1Char('"');
    if (account.username.contains(quote))
        return 0;
    if (account.password.contains(quote))
        return 1;
    if (account.extraInfo.contains(quote))
        return 2;
    return -1;
}

QString duplicateText(const QString& username)
{
    return QStringLiteral("Cannot Create '") + quotedName(username) +
           QStringLiteral("'. Account Already Exists.");
}

QString renameText(const QString& username)
{
    return QStringLiteral("Cannot Rename To '") + quotedName(username) +
           QStringLiteral("'. Account Already Exists.");
}

QString removeQuestion(const QString& username)
{
    return QStringLiteral("Are You Sure You Want To Remove The Account:  ") + quotedName(username);
}

QString notFoundText(const QString& username)
{
    return QStringLiteral("Cannot Find The Account '") + quotedName(username) +
           QStringLiteral("'. It Is No Longer In The Accounts File.");
}

QString invalidCharacterText(int field)
{
    static const char* const names[] = {"Username", "Password", "Extra Info"};
    return QStringLiteral("Cannot Save A Double Quote (\") In The ") + QLatin1String(names[field]) +
           QLatin1Char('.');
}

} // namespace sb::rules
