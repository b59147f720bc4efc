// Changing or removing records: a record file is rewritten as a whole through
// a temporary file that is renamed over it, so the file is either the old one
// or the complete new one, never something in between.
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
// is deliberately never seeded: every run draws the same sequence, so the two
// rewrites of one operation get two successive numbers of it.
class TempNameGenerator
{
public:
    // Next number in 1..10000.
    int next();
    static std::string nameFor(int number);

private:
    std::uint32_t state_ = 0x50000;
};

// Low-level file operations used by the rewrite. Tests replace some of them to
// make a write, a sync or the rename fail at a chosen moment; one left empty
// is the system's.
struct FileOps
{
    std::function<long(int fd, const void* data, std::size_t size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(const char* from, const char* to)> rename;

    static FileOps system();
};

struct RewriteResult
{
    std::string tempName; // the temporary file used ("SB-t<n>.txt"); empty if none was made
};

// Streams the records of `file` through `rule` into a new temporary file in
// the file's directory, then renames it over the record file. The record file
// keeps its name, its permissions and, when it is a symbolic link, stays one
// (its target gets the new content). On any failure the record file is left
// untouched, the temporary file is removed and an error is returned. At most
// one record is held in memory. A missing record file is an error.
Status rewriteRecordFile(const RecordFile& file, const Rule& rule, TempNameGenerator& names,
                         RewriteResult* result = nullptr, const FileOps& ops = FileOps::system());

} // namespace sb::store
