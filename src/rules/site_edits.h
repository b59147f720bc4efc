// Adding, changing and removing sites, without any widget: the checks, the
// rules of the rewrites, the questions and messages, and the order in which
// the files are touched. The dialogs, the main window and the command line
// only map their input to these calls and act on what they answer.
//
// A site is known by its name alone, matched ignoring letter case with
// blanks counting; its accounts are the account records whose site field
// matches the same way.
#pragma once

#include "common/ports.h"
#include "rules/outcome.h"

#include <QString>

namespace sb::rules {

// What the two boxes of a site dialog hold.
struct SiteFields
{
    QString name;
    QString url;
};

// The questions asked, which the command line answers from its options.
inline const QString kTransferTitle = QStringLiteral("[Stashbook]  :Account Transfer:  Transfer?");
inline const QString kRemoveSiteTitle = QStringLiteral("[Stashbook]  :Remove Site:  Are You Sure?");
inline const QString kRemoveSiteAccountsTitle =
    QStringLiteral("[Stashbook]  :Remove Site:  Update Accounts ?");

// The address the name box proposes for `name`: "www." name ".com".
QString addressFor(const QString& name);

// Reads the site `name` for editing: its first record. Stopped when the
// sites file holds no record of that name any more (changed since it was
// listed, or gone), Failed when it could not be read; either is reported.
Outcome loadSite(common::Records& records, common::Prompter& prompter, const QString& name,
                 SiteFields& site);
// The same for any other use of a site named by the user, who may never have
// seen it listed; its text does not speak of editing.
Outcome findSite(common::Records& records, common::Prompter& prompter, const QString& name,
                 SiteFields& site);

// Adds the site `site` unless a site of its name exists.
Outcome addSite(common::Records& records, common::Prompter& prompter, const SiteFields& site);

// Renames the site `oldName` (every record of that name) to `site`, unless
// another site has its name, and moves the old name's accounts to the new
// name when the user says Yes; the question comes first, and both files then
// change in one commit. The site must still be in the sites file.
Outcome editSite(common::Records& records, common::Prompter& prompter, const QString& oldName,
                 const SiteFields& site);

// Removes every record of the site `name` once the user has confirmed it, and
// its accounts on a second Yes, in one commit once both questions are
// answered. Done when the files changed and the view should be reloaded;
// Stopped after a No or when the program is exiting, Failed after a file
// error (reported): nothing was written.
Outcome removeSite(common::Records& records, common::Prompter& prompter, const QString& name);

} // namespace sb::rules
