// How an edit or a look-up ended, for a front end to act on: a dialog closes
// or goes back to the box at fault, the command line sets its exit status.
#pragma once

namespace sb::rules {

enum class Outcome {
    Done,         // written (a look-up: found)
    NameBox,      // refused because of the name, a site's or a user's (shown)
    UrlBox,       // refused because of a site's address (shown)
    PasswordBox,  // refused because of the password (shown)
    ExtraInfoBox, // refused because of the extra info (shown)
    Failed,       // a file error (shown): nothing was written; a dialog stays open with
                  // what was typed, to try again
    Stopped,      // ended without a change: the site or the account is not there (shown),
                  // the user said No, or the program is exiting; a dialog closes
};

// Refused because of what was typed: the user can try again.
constexpr bool refused(Outcome outcome)
{
    return outcome != Outcome::Done && outcome != Outcome::Failed && outcome != Outcome::Stopped;
}

} // namespace sb::rules
