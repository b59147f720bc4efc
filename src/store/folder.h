// Internals of a commit that concern the data folder as a whole: its lock,
// the journal of a commit of several files, and leftover temporary files.
#pragma once

#include "store/commit.h"
#include "store/record_io.h"

#include <cerrno>
#include <string_view>

namespace sb::store::detail {

inline constexpr std::string_view kLockName = ".SB-Lock";
inline constexpr std::string_view kJournalName = ".SB-Journal";

// Carries out `call` as `step` unless ops.before refuses it: then -1 with
// errno set to its answer.
template <typename Call>
int runStep(const FileOps& ops, Step step, const std::filesystem::path& path, Call&& call)
{
    if (ops.before) {
        if (const int error = ops.before(step, path)) {
            errno = error;
            return -1;
        }
    }
    return call();
}

// fsync of a directory; 0 or -1 with errno set.
int syncDirectory(const std::filesystem::path& dir, const FileOps& ops);

// The folder's advisory lock, held from take() until destruction.
class FolderLock
{
public:
    // Waits at most ops.lockWait. `shown` names the file of the error,
    // `unchanged` tells what was left as it was.
    Status take(const std::filesystem::path& dir, const FileOps& ops, const std::string& shown,
                const std::string& unchanged);

private:
    UniqueFd fd_;
};

// One rename of a commit: `temp` (the new content, identified by its device
// and inode) goes over `target`. Paths are absolute.
struct JournalEntry
{
    std::filesystem::path temp;
    std::filesystem::path target;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

std::string encodeJournal(const std::vector<JournalEntry>& entries);
// False when the journal is incomplete (its end or checksum is missing or
// wrong); `entries` then holds those that could be read.
bool decodeJournal(std::string_view bytes, std::vector<JournalEntry>& entries);

// Completes the journal left in `dir` by an interrupted commit (or drops an
// incomplete one), then deletes it. An error leaves it in place.
Status recover(const std::filesystem::path& dir, const FileOps& ops, FolderReport* report);

// Deletes leftover temporary files of `dir`, keeping only copies.
void removeLeftovers(const std::filesystem::path& dir, const FileOps& ops, FolderReport* report);

// Whether `name` is a temporary file's name "SB-t<n>.txt", n in 1..10000,
// in any letter case.
bool isTempName(std::string_view name);

// The number of fields of the first record in `bytes`, counted up to the
// line end that ends one; 0 for no bytes.
int fieldsOfFirstRecord(std::string_view bytes);

} // namespace sb::store::detail
