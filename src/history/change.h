// A change of the record files as it can be taken back, and taking it back.
//
// A commit tells which records it dropped, replaced or expanded and where it
// appended (store::CommitResult). Here that becomes, for each file, a list of
// hunks: runs of records that stand in the file after the change where other
// records stood before it. Taking the change back puts the old records in
// place of the new ones, in one commit of the files it touched, and keeps
// every other record, including those changed since by this program or by
// another one. What that commit did is itself a change: taking it back
// makes the first change again.
//
// No widget here: the window, and any other front end, only show what this
// answers.
#pragma once

#include "common/ports.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace sb::history {

// In the file after the change, `inserted` stand from record `at` (0-based)
// where `removed` stood before it. Records the change kept are in no hunk.
struct Hunk
{
    long long at = 0;
    std::vector<store::Record> removed;
    std::vector<store::Record> inserted;
    // When nothing was inserted: the record kept right after the removed
    // ones, if the change saw one, which marks their place.
    std::optional<store::Record> next;
};

struct FileHunks
{
    common::RecordKind kind = common::RecordKind::Sites;
    std::vector<Hunk> hunks; // in file order, none overlapping or touching another
    // For each name the change took away (by nameHash()): how many records
    // that it kept bore it too (a file may hold a name twice).
    std::map<std::uint64_t, long long> namesKept;
    long long count = 0; // records in the file right after the change; -1: not known
};

// A name as names are matched (site names, and within a site user names,
// in upper case): equal for two records exactly when they name the same
// site, or the same account of the same site.
std::uint64_t nameHash(common::RecordKind kind, const store::Record& record);

struct Change
{
    std::vector<FileHunks> files; // only files with hunks
    bool empty() const { return files.empty(); }
};

// Commits `edits` through `records` and tells in `change` what the commit
// did (nothing when it failed). `result` as Records::commit gives it.
bool commitChange(common::Records& records, const std::vector<common::Records::Edit>& edits,
                  Change& change, store::CommitResult* result = nullptr);

// A few words on what `change` did, starting with a capital and without a
// full stop: "Removed site 'Bank' and its 3 accounts". Names are quoted as
// the program's sentences quote them (common::quotedName).
QString describe(const Change& change);

// Where the user's eye goes after a change was taken back or made again:
// the site it brought back (and the account, when it brought back one), or
// the site whose account it took away. Empty names: nowhere in particular.
struct Focus
{
    QString site;
    QString username;
};
Focus focusOf(const Change& change);

struct Revert
{
    enum class Result {
        Done,
        Refused, // it is no longer possible (`refusal` says why); nothing was written
        Failed,  // a file error, reported by `records`; nothing was written
    };
    Result result = Result::Done;
    QString refusal;
    Change change; // Done: what the revert did; reverting it makes the change again
};

// Takes `change` back through `records`, in one commit. The records to take
// back are looked up in the files as they are now (exactly equal, nearest
// their place after the change, allowing for records others added or removed
// before them) and replaced by the records they stood for; records the change
// removed go back at their old places, before the record now there or at the
// end. Refused, with nothing written, when a record to take back has been
// changed or removed since, or when a name to bring back is now borne by a
// record the revert leaves in place. The commit checks, under the folder's
// lock, that the files are still as they were looked at; if another program
// wrote to them in between, everything is looked up once more.
Revert revert(common::Records& records, const Change& change);

} // namespace sb::history
