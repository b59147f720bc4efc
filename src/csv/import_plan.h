// What importing the rows of an export would change in the record files,
// worked out before anything is written, for a preview to show and a commit
// to carry out.
//
// Sites and accounts are matched as everywhere in the program: names equal
// in upper case, blanks counting (common/name_match.h).
#pragma once

#include "csv/csv_file.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace sb::csv {

// A row that adds no account, or changes one only if the user asks.
struct ListedRow
{
    Reason reason;
    int number; // Row::number
    std::string site;
    std::string username;
};

struct ImportPlan
{
    // To append to the sites file: the new sites, each once, under the name
    // and with the first web address of its rows.
    std::vector<store::Record> sites;
    // To append to the accounts file, in the order of the file's rows. An
    // account of a known site bears the site's name as the sites file has
    // it.
    std::vector<store::Record> accounts;
    // The accounts that exist with another password: their new passwords
    // ({site, user name, password}). Applied only when the user asks to
    // replace their passwords; then every account of that site and user
    // name gets it.
    std::vector<store::Record> passwordChanges;
    // Every row that adds no account, in file order, SamePassword and
    // OtherPassword included.
    std::vector<ListedRow> listed;

    int count(Reason reason) const;
};

// Sets the rows of `file` against the records of the sites file and of the
// accounts file. The first row of a site and user name decides; later rows
// of the same are listed as Repeated. A rejected row, a row that would hold
// a double quote and a row without user name and password claim nothing.
// A site is added only with an account.
ImportPlan planImport(const CsvFile& file, const std::vector<store::Record>& sites,
                      const std::vector<store::Record>& accounts);

// Finds the new password of an account record, for the rewrite of the
// accounts file.
class PasswordChanges
{
public:
    explicit PasswordChanges(const std::vector<store::Record>& changes);
    // The new password of `account`, or nullptr when it keeps its own.
    const std::string* newPassword(const store::Record& account) const;

private:
    std::unordered_map<std::string, std::string> byAccount_;
};

// Carries out `plan` on records held in memory, as the commit does on the
// files: password changes (with `replacePasswords`), then the appends.
void applyPlan(const ImportPlan& plan, bool replacePasswords, std::vector<store::Record>& sites,
               std::vector<store::Record>& accounts);

} // namespace sb::csv
