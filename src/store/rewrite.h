// Changing a record file: adding a record, or changing and removing records.
// Either way the new content is written to a temporary file that is renamed
// over the record file, so whenever the program or the machine stops, the
// file is either the old one or the complete new one, never something in
// between.
#pragma once

#include "store/record_file.h"

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
using RuleAnswer = std::variant<Keep, Drop, Replace>;
using Rule = std::function<RuleAnswer(const Record&)>;

// The numbers of the temporary files "SB-t<n>.txt", 1..10000. The generator
// is deliberately never seeded: every run draws the same sequence, so the
// changes of one operation (adds and rewrites alike) get successive numbers.
class TempNameGenerator
{
public:
    // Next number in 1..10000.
    int next();
    static std::string nameFor(int number);

private:
    std::uint32_t state_ = 0x50000;
};

// Low-level file operations of a change. Tests replace some of them to make a
// step fail at a chosen moment; one left empty is the system's.
struct FileOps
{
    std::function<long(int fd, const void* data, std::size_t size)> write;
    std::function<int(int fd)> fsync; // the temporary file, then its directory
    std::function<int(int fd)> close; // the temporary file
    std::function<int(const char* from, const char* to)> rename;
    std::function<int(const char* path)> unlink; // a temporary file given up

    static FileOps system();
};

struct RewriteResult
{
    std::string tempName; // the temporary file used ("SB-t<n>.txt"); empty if none was made
};

// What both changes promise:
//  - The temporary file is made beside the file's content (beside a symbolic
//    link's target, so the link stays one) under a name "SB-t<n>.txt" drawn
//    from `names` that no file has: an existing one may be left by an
//    interrupted change and hold the only full copy of a record file.
//  - The record file keeps its name, permissions and owner. A new file is for
//    its owner alone (0600), as it may hold passwords.
//  - Only a regular file is changed: anything else under the name is an error.
//  - A returned error means the file was not changed, and its message says so;
//    should the temporary file then fail to be removed, the message names it.
//    Once the new content is in place the change has succeeded, even if the
//    directory could not be synced after it.

// Adds one record (which must have `file.fields` fields) at the end of the
// file, creating the file when it does not exist. A field holding a double
// quote is refused, since it would not read back as written. The new record
// must read back as a record of its own, so a line end is written first when
// the last record lacks one, blank lines after the last record are dropped
// (they would be read as empty fields in front of it), and a damaged file is
// refused (the record would be joined to the damage).
Status appendRecord(const RecordFile& file, const Record& record, TempNameGenerator& names,
                    RewriteResult* result = nullptr, const FileOps& ops = FileOps::system());

// Streams the records of `file` through `rule` into the temporary file, which
// then replaces the record file. At most one record is held in memory. A
// missing record file is an error.
Status rewriteRecordFile(const RecordFile& file, const Rule& rule, TempNameGenerator& names,
                         RewriteResult* result = nullptr, const FileOps& ops = FileOps::system());

} // namespace sb::store
