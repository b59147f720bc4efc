// Changing record files: one change (a commit) of one or several record files
// of the data folder, which all take their new content together or none does.
//
// Every file's new content is written to a temporary file beside its content
// and renamed over it, so whenever the program or the machine stops, a file is
// either the old one or the complete new one. When a commit changes two files,
// a small journal naming both renames is saved first; should the program stop
// between the renames, the next start (openFolder) or the next commit completes
// them, so both files are old or both are new.
//
// Other writers: a commit takes the folder's lock (flock on ".SB-Lock"), so
// two programs of ours never change the files at the same time, and it never
// overwrites content it did not read. It notes each file's identity (device,
// inode, size, modification time in ns) when it starts reading and checks it
// just before and just after the rename (the rename is an exchange, so the
// displaced file can be looked at and put back). When a file changed
// meanwhile, the commit starts again on the new content; for an add, a file
// that only grew (its first bytes unchanged, whether appended to or replaced
// by a longer copy) is caught up with instead: the new bytes follow the added
// records. Bytes that another program appended to the displaced file through
// a descriptor it held across the rename go to the end of the new file too.
//
// The journal ".SB-Journal" is text: the line "Stashbook journal 1", one line
// "rename <device> <inode> <length>:<temporary path> <length>:<record path>"
// for each file (device and inode those of the temporary file, paths absolute)
// and the line "end <FNV-1a 64 of all bytes before it, in hex>". Without a
// valid end line the commit was never saved and is dropped.
#pragma once

#include "store/record_file.h"

#include <chrono>
#include <cstdint>
#include <variant>

namespace sb::store {

// What the rule of a rewrite answers for one record.
struct Keep
{};
struct Drop
{};
struct Replace
{
    Record record;
};
// The record gives way to these records, in order: include the record itself
// to keep it and insert others before or after it.
struct Expand
{
    std::vector<Record> records;
};
// The file is not what the rule expects: the commit stops, nothing is
// written, and it fails with `reason` (CommitResult::aborted).
struct Abort
{
    std::string reason;
};
using RuleAnswer = std::variant<Keep, Drop, Replace, Expand, Abort>;
// Called for every record in file order. A commit that starts again (another
// program changed the file meanwhile) calls a fresh copy of the rule, so a
// rule may count the records it has seen.
using Rule = std::function<RuleAnswer(const Record&)>;

// The numbers of the temporary files "SB-t<n>.txt", 1..10000. The generator
// is deliberately never seeded: every run draws the same sequence, so the
// files of one operation get successive numbers.
class TempNameGenerator
{
public:
    // Next number in 1..10000.
    int next();
    static std::string nameFor(int number);

private:
    std::uint32_t state_ = 0x50000;
};

// The steps of a commit, as FileOps::before sees them.
enum class Step {
    TempWrite,     // one write to a temporary file
    TempSync,      // fsync of a temporary file
    TempClose,     // close of a temporary file
    JournalWrite,  // the journal's one write
    JournalSync,   // fsync of the journal: the commit point follows it
    Exchange,      // renaming a temporary file over its record file, atomically
    Rename,        // the same by a plain rename, where the file system has no exchange
    RemoveTemp,    // deleting a temporary file or a file a commit displaced
    RemoveJournal, // deleting the journal
    DirSync,       // fsync of a directory
};

// Low-level file operations of a change. Tests use them to make a step fail
// or to stop the process at a chosen moment.
struct FileOps
{
    // Writes to temporary files and the journal; empty: the system's write().
    std::function<long(int fd, const void* data, std::size_t size)> write;
    // Called before each step with the path it concerns. A nonzero answer is
    // an errno value: the step is not carried out and fails with it. Answering
    // EINVAL to Exchange makes the commit rename as where the file system
    // cannot exchange.
    std::function<int(Step step, const std::filesystem::path& path)> before;
    // How long a commit waits for another program of ours to finish.
    std::chrono::milliseconds lockWait{10000};

    static FileOps system() { return {}; }
};

// One file's part of a commit.
struct Edit
{
    RecordFile file;
    // Streams every record through the rule (the file must exist; it is
    // then all in the writer's form). Empty: the file's bytes are copied up
    // to the end of its last record, as they are, and the file is created
    // when it does not exist.
    Rule rule;
    // Records added at the end of the file.
    std::vector<Record> append;
    // With a rule: called after the last record with the number of records
    // read; an Abort stops the commit as the rule's own does.
    std::function<std::optional<Abort>(long long records)> atEnd = {};
};

// A record the rule dropped, replaced or expanded.
struct RecordChange
{
    long long index = 0;       // 0-based, in the file as read
    Record before;             // as read
    std::vector<Record> after; // written in its place; empty: dropped
};

// What a commit did to one file. Kept records are not listed.
struct FileResult
{
    std::string name;                  // the name on disk
    std::string tempName;              // the temporary file last used, "SB-t<n>.txt"
    std::vector<RecordChange> changes; // in file order
    long long appendedAt = 0;          // index of the first appended record in the new file
    std::uint64_t carriedBytes = 0;    // appended by another program meanwhile, carried over
};

struct CommitResult
{
    std::vector<FileResult> files; // one for each edit, in order
    int tries = 0;                 // 1, or more when another writer changed a file meanwhile
    std::string aborted;           // the reason of a rule's Abort: nothing was written
};

// Changes the files of `edits` (at most one edit per file) as one commit, in
// the data folder `dir`, which holds the lock and the journal.
//  - Temporary files lie beside a file's content (beside a symbolic link's
//    target, so the link stays one), under names drawn from `names` that no
//    file has (an existing one may hold the only copy of a record file).
//  - A file keeps its name as spelt on disk, its permissions and its owner. A
//    new file is for its owner alone (0600), as it may hold passwords. Only a
//    regular file is changed: anything else under the name is an error.
//  - A returned error means that no file was changed, and its message says
//    so; should a temporary file then stay behind, it is named. The one
//    exception, only where the file system cannot exchange files: a rename
//    failing after another file of the commit was replaced; the message then
//    says which file changed, and the next start or commit completes the
//    change.
//  - Once every new content is in place the commit has succeeded, even if a
//    directory could not be synced after it.
//  - Leftover temporary files are deleted at its end (see openFolder).
Status commit(const std::filesystem::path& dir, const std::vector<Edit>& edits,
              TempNameGenerator& names, CommitResult* result = nullptr,
              const FileOps& ops = FileOps::system());

// A temporary file kept because its record file is missing: it may hold the
// only copy of that file's records.
struct OnlyCopy
{
    std::string recordFile; // the missing file's name, e.g. "SB-Acnts.DaT"
    std::string tempName;   // the temporary file kept
};

struct FolderReport
{
    bool completed = false;           // an interrupted commit was completed
    bool discarded = false;           // an interrupted commit that had not been saved was dropped
    std::vector<std::string> removed; // leftover temporary files deleted
    std::vector<OnlyCopy> onlyCopies;

    // What the user must be told (the only copies), or nothing.
    std::string notice() const;
};

// Made once when the program starts on the data folder `dir`, under the
// folder's lock: completes a commit that was interrupted after its journal was
// saved (or drops one that was not), then deletes leftover temporary files
// "SB-t<n>.txt" (any letter case) of the folder: with every change made
// through a rename, a leftover is a stale copy, except when its record file
// is missing and it holds records of that file's kind (told by the fields of
// its first record); it is then kept and reported.
Status openFolder(const std::filesystem::path& dir, FolderReport* report = nullptr,
                  const FileOps& ops = FileOps::system());

} // namespace sb::store
