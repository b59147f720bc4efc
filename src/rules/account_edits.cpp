#include "rules/account_edits.h"

namespace sb::rules {

namespace {

// Shows a refusal; `box` unless the program is ending meanwhile.
Outcome refuse(common::Prompter& prompter, const QString& title, const QString& text, Outcome box)
{
    prompter.error(title, text);
    return prompter.exiting() ? Outcome::Stopped : box;
}

// The record format cannot hold a double quote: it would end the field.
bool refusesQuote(common::Prompter& prompter, const Account& typed, Outcome& refused)
{
    const int field = fieldWithQuote(typed);
    if (field < 0)
        return false;
    const Outcome boxes[] = {Outcome::NameBox, Outcome::PasswordBox, Outcome::ExtraInfoBox};
    refused = refuse(prompter, kInvalidCharacterTitle, invalidCharacterText(field), boxes[field]);
    return true;
}

Outcome failed(const common::Prompter& prompter)
{
    return prompter.exiting() ? Outcome::Stopped : Outcome::Failed;
}

} // namespace

Outcome loadAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                    const AccountRow& row, Account& account)
{
    SiteAccounts::Scan scan;
    if (!SiteAccounts(records, site).scan(row, std::nullopt, scan))
        return failed(prompter);
    if (!scan.found) {
        prompter.error(kNotFoundTitle, notFoundText(row.username));
        return Outcome::Stopped;
    }
    account = *scan.found;
    return Outcome::Done;
}

Outcome addAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                   const Account& typed)
{
    Outcome refused;
    if (refusesQuote(prompter, typed, refused))
        return refused;
    SiteAccounts accounts(records, site);
    SiteAccounts::Scan scan;
    if (!accounts.scan(std::nullopt, typed.username, scan))
        return failed(prompter);
    if (scan.taken)
        return refuse(prompter, kDuplicateTitle, duplicateText(typed.username), Outcome::NameBox);
    return accounts.add(typed) ? Outcome::Done : failed(prompter);
}

Outcome editAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                    const AccountRow& row, const Account& typed)
{
    Outcome refused;
    if (refusesQuote(prompter, typed, refused))
        return refused;
    SiteAccounts accounts(records, site);
    SiteAccounts::Scan scan;
    if (!accounts.scan(row, typed.username, scan))
        return failed(prompter);
    if (!scan.found) {
        // Changed by another program meanwhile: nothing is left to change.
        prompter.error(kNotFoundTitle, notFoundText(row.username));
        return Outcome::Stopped;
    }
    if (scan.taken)
        return refuse(prompter, kRenameTitle, renameText(typed.username), Outcome::NameBox);
    return accounts.replace(row, typed) ? Outcome::Done : failed(prompter);
}

Outcome removeAccount(common::Records& records, common::Prompter& prompter, const QString& site,
                      const AccountRow& row)
{
    if (!prompter.ask(kRemoveTitle, removeQuestion(row.username)) || prompter.exiting())
        return Outcome::Stopped;
    return SiteAccounts(records, site).remove(row) ? Outcome::Done : failed(prompter);
}

} // namespace sb::rules
