// Changing one record file: adding a record, or changing and removing
// records. Both are commits of one file (store/commit.h): the new content is
// written to a temporary file that is renamed over the record file, so
// whenever the program or the machine stops, the file is either the old one
// or the complete new one, never something in between.
#pragma once

#include "store/commit.h"

namespace sb::store {

struct RewriteResult
{
    std::string tempName; // the temporary file used ("SB-t<n>.txt"); empty if none was made
};

// Both make the promises of commit(), in the file's own directory.

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
