// Adding, changing and removing sites, without any widget: the checks, the
// rules of the rewrites, the message boxes and the order in which the files
// are touched. The dialogs and the main window only map their controls to
// these calls and act on what they answer.
//
// A site is known by its name alone, matched ignoring letter case with
// blanks counting; its accounts are the account records whose site field
// matches the same way.
#pragma once

#include "common/ports.h"

#include <QString>

namespace sb::dialogs::site {

// What the two boxes of a site dialog hold.
struct SiteFields
{
    QString name;
    QString url;
};

// The address the name box proposes for `name`: "www." name ".com".
QString addressFor(const QString& name);

// How an add or an edit ended.
enum class Outcome {
    Done,    // written
    NameBox, // refused because of the name (shown): try again from the name box
    UrlBox,  // refused because of the address (shown): try again from the address box
    Failed,  // a file error (shown): nothing was written, and the dialog stays open with
             // what was typed, to try again
    Stopped, // ended without a change that is left to make: a vanished site (shown), or
             // the program is exiting; the dialog closes
};

// Reads the site `name` for editing: its first record. False when the sites
// file could not be read or holds no record of that name any more (changed
// since it was listed, or gone); either has been reported.
bool loadSite(common::Records& records, common::Prompter& prompter, const QString& name,
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
// answered. True when the files changed and the view should be reloaded;
// false when nothing was written (No, a file error, or the program is
// exiting).
bool removeSite(common::Records& records, common::Prompter& prompter, const QString& name);

} // namespace sb::dialogs::site
