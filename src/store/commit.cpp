#include "store/commit.h"
#include "store/folder.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <thread>

#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/stat.h>
#include <unistd.h>

namespace sb::store {

using detail::runStep;
using detail::systemMessage;
using detail::UniqueFd;

namespace {

// The encoded records are written out in pieces of about this size.
constexpr std::size_t kWriteChunk = 256 * 1024;

// More draws than there are names: by then every name is taken.
constexpr int kMaxDraws = 100000;

// Starts of a commit on files that other programs keep changing.
constexpr int kMaxTries = 6;

// What a file is: the same identity means the same content, as far as the
// file system tells. Appends change the size, replacements the inode.
struct Identity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {};

    static Identity of(const struct stat& st)
    {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    }
    bool operator==(const Identity& o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// One file's part of a commit: the new content goes to a temporary file
// beside the old content and is then put in its place.
class FileChange
{
public:
    enum class Placing { Done, Displaced, Failed };

    FileChange(const Edit& edit, const FileOps& ops, const std::string& unchanged)
        : edit_(edit), ops_(ops), unchanged_(unchanged)
    {
        where_.name = edit.file.name;
        result_.name = edit.file.name;
    }
    FileChange(const FileChange&) = delete;
    FileChange& operator=(const FileChange&) = delete;
    ~FileChange()
    {
        temp_.reset();
        // New content never put in place, unless a journal names it; or the
        // old content an exchange displaced.
        if ((state_ == State::Written && !keep_) || state_ == State::Exchanged)
            removeTemp();
    }

    FileResult& result() { return result_; }
    const detail::Location& where() const { return where_; }
    const Identity& read() const { return read_; }
    bool replacedOld() const { return state_ == State::Exchanged || state_ == State::Renamed; }
    bool inPlace() const { return replacedOld() || state_ == State::Created; }
    bool pending() const { return state_ == State::Written; }
    // Why the rule stopped the change, if it did.
    const std::string& aborted() const { return aborted_; }
    // The temporary file stays for the journal to complete the change.
    void keep() { keep_ = true; }

    // Writes the new content to a temporary file and saves it to disk.
    Status prepare(TempNameGenerator& names)
    {
        if (Status s = detail::locate(edit_.file, where_); !s)
            return fail(s.error().message);
        result_.name = where_.name;
        if (where_.exists) {
            struct stat st;
            if (Status s = detail::openForReading(where_, source_, st); !s)
                return fail(s.error().message);
            read_ = expected_ = Identity::of(st);
        } else if (edit_.rule) {
            return Error{where_.name, "cannot be changed: the file does not exist"};
        }
        if (Status s = createTemporary(names); !s)
            return s;
        if (Status s = edit_.rule ? rewrite() : copyAndAppend(); !s)
            return s;
        return saveTemporary();
    }

    // Whether the file is still the one that was read. For adds, bytes that
    // another program added after those read are caught up with: copied to
    // the end of the new content while it is still private.
    bool stillAsRead()
    {
        if (!where_.exists) {
            detail::Location now;
            return detail::locate(edit_.file, now) && !now.exists;
        }
        for (int round = 0; round < 4; ++round) {
            struct stat st;
            if (::lstat(where_.path.c_str(), &st) == 0 && Identity::of(st) == expected_)
                return true;
            if (edit_.rule || !catchUp())
                return false;
        }
        return false;
    }

    // Puts the new content in place of the file: Displaced when what it
    // replaced was not what was read (it is then put back if it can be).
    Placing place(int& error)
    {
        const char* target = where_.path.c_str();
        if (!noExchange_) {
            const int r = runStep(ops_, Step::Exchange, where_.path, [&] {
                return ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, target,
                                   where_.exists ? RENAME_EXCHANGE : RENAME_NOREPLACE);
            });
            if (r == 0) {
                state_ = where_.exists ? State::Exchanged : State::Created;
                struct stat st;
                return !where_.exists || (::lstat(tempPath_.c_str(), &st) == 0 &&
                                          Identity::of(st) == expected_)
                           ? Placing::Done
                           : Placing::Displaced;
            }
            error = errno;
            if (error == EEXIST)
                return Placing::Displaced; // made by another program meanwhile
            if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
                return Placing::Failed;
            noExchange_ = true;
        }
        if (runStep(ops_, Step::Rename, where_.path,
                    [&] { return ::rename(tempPath_.c_str(), target); }) != 0) {
            error = errno;
            return Placing::Failed;
        }
        state_ = State::Renamed;
        return Placing::Done;
    }

    // Puts the old content back after place(). False when it cannot be:
    // after a plain rename, or when the file is no longer the new content.
    bool putBack()
    {
        struct stat st;
        if (state_ == State::Written || state_ == State::None)
            return true;
        if (state_ == State::Renamed || ::lstat(where_.path.c_str(), &st) != 0 ||
            st.st_ino != newInode_)
            return false;
        const bool back = runStep(ops_, Step::Exchange, where_.path, [&] {
                              return state_ == State::Exchanged
                                         ? ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD,
                                                       where_.path.c_str(), RENAME_EXCHANGE)
                                         : ::rename(where_.path.c_str(), tempPath_.c_str());
                          }) == 0;
        if (back)
            state_ = State::Written;
        return back;
    }

    // Deletes the new content before it is put in place.
    void discard()
    {
        if (state_ == State::Written && removeTemp())
            state_ = State::None;
    }

    // After the commit: deletes the old content it displaced.
    void removeDisplaced()
    {
        if (state_ == State::Exchanged && removeTemp())
            state_ = State::Renamed;
    }

    // Bytes that another program appended to the old file through a
    // descriptor it held across the rename go to the end of the new file.
    void carryOverAppends()
    {
        for (int round = 0; replacedOld() && round < 8; ++round) {
            struct stat st;
            if (::fstat(expectedFd(), &st) != 0 || st.st_size <= expected_.size ||
                !copyTail(expectedFd(), st.st_size))
                break;
        }
        result_.carriedBytes = carried_;
    }

    detail::JournalEntry journalEntry() const
    {
        return {std::filesystem::absolute(tempPath_), std::filesystem::absolute(where_.path),
                static_cast<std::uint64_t>(newDevice_), static_cast<std::uint64_t>(newInode_)};
    }

    // Gives the change up: says what failed and what is left on disk.
    Error fail(std::string what)
    {
        what += "; " + unchanged_;
        temp_.reset();
        if (state_ == State::Written && !removeTemp()) {
            const int error = errno;
            what += ", but the temporary file " + shownTemp() + " could not be deleted (" +
                    systemMessage(error) + "); it may hold a copy of the file's records";
        }
        state_ = State::None;
        return Error{where_.name, std::move(what)};
    }

    std::string shownTemp() const
    {
        const std::filesystem::path dir = tempPath_.parent_path();
        return dir == edit_.file.dir ? result_.tempName : tempPath_.string();
    }

private:
    enum class State {
        None,      // no temporary file
        Written,   // the temporary file holds the new content
        Exchanged, // the new content is in place; the temporary name holds the old
        Created,   // the new content is in place of a missing file
        Renamed,   // the new content is in place; the old is gone
    };

    // Reads the file as it was when opened: bytes added since are not read.
    detail::ReadFn readSource()
    {
        return [this, done = std::uint64_t(0)](char* into, std::size_t size) mutable -> long {
            const auto left = static_cast<std::uint64_t>(read_.size) - done;
            const long n = detail::fdReader(source_.get())(
                into, static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
            done += n > 0 ? static_cast<std::uint64_t>(n) : 0;
            return n;
        };
    }

    int expectedFd() const { return caughtFrom_.valid() ? caughtFrom_.get() : source_.get(); }

    // Whether `a` from `atA` and `b` from `atB` hold the same `size` bytes.
    static bool sameBytes(int a, std::uint64_t atA, int b, std::uint64_t atB, std::uint64_t size)
    {
        std::string x(static_cast<std::size_t>(std::min<std::uint64_t>(size, kWriteChunk)), '\0');
        std::string y(x.size(), '\0');
        for (std::uint64_t done = 0; done < size;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, x.size()));
            if (::pread(a, x.data(), n, static_cast<off_t>(atA + done)) !=
                    static_cast<ssize_t>(n) ||
                ::pread(b, y.data(), n, static_cast<off_t>(atB + done)) !=
                    static_cast<ssize_t>(n) ||
                std::memcmp(x.data(), y.data(), n) != 0)
                return false;
            done += n;
        }
        return true;
    }

    // Appends the bytes of `fd` from the end of those expected up to `end` to
    // the new content.
    bool copyTail(int fd, off_t end)
    {
        std::string bytes(static_cast<std::size_t>(end - expected_.size), '\0');
        if (::pread(fd, bytes.data(), bytes.size(), expected_.size) !=
                static_cast<ssize_t>(bytes.size()) ||
            detail::writeAll(::write, newContent_.get(), bytes) != 0)
            return false;
        carried_ += bytes.size();
        expected_.size = end;
        return true;
    }

    // The file now under the name holds the bytes read (up to the end of the
    // last record) and those caught up with before: its further bytes go to
    // the new content, which is saved again.
    bool catchUp()
    {
        UniqueFd now(::open(where_.path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st, mine;
        if (!now.valid() || ::fstat(now.get(), &st) != 0 || st.st_size < expected_.size ||
            ::fstat(newContent_.get(), &mine) != 0)
            return false;
        if (carried_ == 0)
            tailAt_ = static_cast<std::uint64_t>(mine.st_size);
        const auto before = static_cast<std::uint64_t>(read_.size);
        if (!sameBytes(now.get(), 0, newContent_.get(), 0, kept_) ||
            !sameBytes(now.get(), before, newContent_.get(), tailAt_, carried_) ||
            !copyTail(now.get(), st.st_size) || runStep(ops_, Step::TempSync, tempPath_, [&] {
                                                    return ::fsync(newContent_.get());
                                                }) != 0)
            return false;
        expected_ = Identity::of(st);
        if (st.st_ino != read_.inode || st.st_dev != read_.device)
            caughtFrom_ = std::move(now);
        return true;
    }

    bool removeTemp()
    {
        return runStep(ops_, Step::RemoveTemp, tempPath_,
                       [&] { return ::unlink(tempPath_.c_str()); }) == 0 ||
               errno == ENOENT;
    }

    Status createTemporary(TempNameGenerator& names)
    {
        for (int draws = 0; !temp_.valid(); ++draws) {
            if (draws == kMaxDraws)
                return fail("no free name for a temporary file");
            result_.tempName = TempNameGenerator::nameFor(names.next());
            tempPath_ = where_.path.parent_path() / result_.tempName;
            const int fd = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                temp_ = UniqueFd(fd);
                state_ = State::Written;
            } else if (const int error = errno; error != EEXIST) {
                return fail("cannot create the temporary file " + shownTemp() + ": " +
                            systemMessage(error));
            }
        }
        return {};
    }

    Status write(std::string_view bytes)
    {
        const auto write = [this](int fd, const void* data, std::size_t size) -> long {
            return runStep(ops_, Step::TempWrite, tempPath_, [&] {
                return ops_.write ? ops_.write(fd, data, size)
                                  : static_cast<long>(::write(fd, data, size));
            });
        };
        if (const int error = detail::writeAll(write, temp_.get(), bytes))
            return writeFailed(error);
        return {};
    }

    // Copies the first `size` bytes of the record file.
    Status copy(std::uint64_t size)
    {
        std::string buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, kWriteChunk)),
                           '\0');
        for (std::uint64_t done = 0; done < size;) {
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(size - done, buffer.size()));
            const ssize_t n = ::pread(source_.get(), buffer.data(), want, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = n < 0 ? errno : 0;
                return fail(error != 0 ? "cannot read the file: " + systemMessage(error)
                                       : std::string("the file was cut short while it was read"));
            }
            if (Status s = write({buffer.data(), static_cast<std::size_t>(n)}); !s)
                return s;
            done += static_cast<std::uint64_t>(n);
        }
        return {};
    }

    // The records to add, after `count` records.
    Status writeAppended(std::string& out, long long count)
    {
        result_.appendedAt = count;
        for (const Record& record : edit_.append)
            encodeRecord(record, out); // checked by commit()
        return write(out);
    }

    // The file is copied up to the end of its last record, so that an added
    // record starts a record of its own.
    Status copyAndAppend()
    {
        std::string out;
        std::uint64_t kept = 0;
        long long count = 0;
        if (where_.exists) {
            detail::RecordReader reader(readSource(), edit_.file.fields);
            while (reader.next(nullptr)) {
            }
            if (reader.failed())
                return fail(reader.message());
            kept = kept_ = reader.recordsEnd();
            count = reader.records();
            if (reader.lastFieldEndedByEof())
                out = "\r\n";
        }
        if (Status s = copy(kept); !s)
            return s;
        return writeAppended(out, count);
    }

    Status rewrite()
    {
        detail::RecordReader reader(readSource(), edit_.file.fields);
        Record record;
        std::string out;
        out.reserve(kWriteChunk + 4096);
        long long written = 0;
        const auto encode = [&](const Record& r) -> std::optional<std::string> {
            if (r.size() != record.size())
                return "the new record " + std::to_string(reader.records()) + " has " +
                       std::to_string(r.size()) + " fields instead of " +
                       std::to_string(record.size());
            ++written;
            if (auto refused = encodeRecord(r, out))
                return "record " + std::to_string(reader.records()) + ": " + *refused;
            return std::nullopt;
        };
        // A fresh copy for every try: the rule may count what it has seen.
        Rule rule = edit_.rule;
        while (reader.next(&record)) {
            RuleAnswer answer = rule(record);
            std::optional<std::string> refused;
            if (auto* abort = std::get_if<Abort>(&answer)) {
                return abortWith(std::move(abort->reason));
            } else if (std::holds_alternative<Keep>(answer)) {
                refused = encode(record);
            } else {
                RecordChange change{reader.records() - 1, record, {}};
                if (auto* replace = std::get_if<Replace>(&answer))
                    change.after.push_back(std::move(replace->record));
                else if (auto* expand = std::get_if<Expand>(&answer))
                    change.after = std::move(expand->records);
                for (const Record& r : change.after) {
                    if (!refused)
                        refused = encode(r);
                }
                result_.changes.push_back(std::move(change));
            }
            if (refused)
                return fail(*refused);
            if (out.size() >= kWriteChunk) {
                if (Status s = write(out); !s)
                    return s;
                out.clear();
            }
        }
        if (reader.failed())
            return fail(reader.message());
        if (edit_.atEnd) {
            if (std::optional<Abort> abort = edit_.atEnd(reader.records()))
                return abortWith(std::move(abort->reason));
        }
        return writeAppended(out, written);
    }

    Status abortWith(std::string reason)
    {
        aborted_ = reason;
        return fail(std::move(reason));
    }

    // Saves the temporary file to disk with the record file's owner and
    // permissions.
    Status saveTemporary()
    {
        if (runStep(ops_, Step::TempSync, tempPath_, [&] { return ::fsync(temp_.get()); }) != 0) {
            const int error = errno;
            return fail("cannot save the temporary file " + shownTemp() +
                        " to disk: " + systemMessage(error));
        }
        // Only root may give the file to another owner, so that may fail.
        struct stat st;
        if (where_.exists && ::fstat(source_.get(), &st) == 0 &&
            (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(temp_.get(), st.st_uid, st.st_gid) != 0 && errno != EPERM) {
            const int error = errno;
            return fail("cannot give the temporary file " + shownTemp() +
                        " the file's owner: " + systemMessage(error));
        }
        if (::fchmod(temp_.get(), where_.exists ? st.st_mode & 07777 : 0600) != 0 ||
            ::fstat(temp_.get(), &st) != 0) {
            const int error = errno;
            return fail("cannot give the temporary file " + shownTemp() +
                        " the file's permissions: " + systemMessage(error));
        }
        newDevice_ = st.st_dev;
        newInode_ = st.st_ino;
        if (runStep(ops_, Step::TempClose, tempPath_, [&] { return ::close(temp_.release()); }) !=
            0)
            return writeFailed(errno);
        newContent_ =
            UniqueFd(::open(tempPath_.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
        if (!newContent_.valid())
            return writeFailed(errno);
        return {};
    }

    Error writeFailed(int error)
    {
        return fail("cannot write the temporary file " + shownTemp() + ": " + systemMessage(error));
    }

    const Edit& edit_;
    const FileOps& ops_;
    const std::string& unchanged_;
    FileResult result_;
    detail::Location where_;
    UniqueFd source_;
    Identity read_;             // the file when it was opened
    Identity expected_;         // the file the new content is meant to replace
    UniqueFd caughtFrom_;       // that file, when it is not the one read
    std::uint64_t kept_ = 0;    // bytes copied as they were
    std::uint64_t carried_ = 0; // bytes of other programs caught up with
    std::uint64_t tailAt_ = 0;  // where they start in the new content
    UniqueFd newContent_;       // wherever another program may move it
    UniqueFd temp_;
    std::filesystem::path tempPath_;
    dev_t newDevice_ = 0;
    ino_t newInode_ = 0;
    State state_ = State::None;
    bool noExchange_ = false;
    bool keep_ = false;
    std::string aborted_;
};

using Changes = std::vector<std::unique_ptr<FileChange>>;

enum class Placed { Done, Again, Failed };

// Makes the renames in the folders of the files durable.
void syncDirectories(const Changes& changes, const FileOps& ops)
{
    std::set<std::filesystem::path> dirs;
    for (const auto& c : changes)
        dirs.insert(c->where().path.parent_path());
    for (const auto& d : dirs)
        detail::syncDirectory(d, ops);
}

// Writes the journal of a commit of several files and saves it, with the
// temporary files' names, to disk: the commit point.
Status saveJournal(const std::filesystem::path& dir, const Changes& changes, const FileOps& ops,
                   const std::string& unchanged)
{
    std::vector<detail::JournalEntry> entries;
    std::set<std::filesystem::path> dirs{dir};
    for (const auto& c : changes) {
        entries.push_back(c->journalEntry());
        dirs.insert(entries.back().temp.parent_path());
    }
    const std::filesystem::path path = dir / detail::kJournalName;
    const std::string bytes = detail::encodeJournal(entries);
    int error = 0;
    for (const auto& d : dirs) {
        if (d != dir && detail::syncDirectory(d, ops) != 0)
            error = errno;
    }
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    const auto write = [&](int f, const void* data, std::size_t size) -> long {
        return runStep(ops, Step::JournalWrite, path, [&] {
            return ops.write ? ops.write(f, data, size) : static_cast<long>(::write(f, data, size));
        });
    };
    if (error == 0 && !fd.valid())
        error = errno;
    if (error == 0)
        error = detail::writeAll(write, fd.get(), bytes);
    if (error == 0 && runStep(ops, Step::JournalSync, path, [&] { return ::fsync(fd.get()); }) != 0)
        error = errno;
    if (error == 0 && (fd.reset() != 0 || detail::syncDirectory(dir, ops) != 0))
        error = errno;
    if (error == 0)
        return {};
    ::unlink(path.c_str());
    return Error{changes.front()->where().name, "cannot save the journal " +
                                                    std::string(detail::kJournalName) + ": " +
                                                    systemMessage(error) + "; " + unchanged};
}

// Puts every new content in place. Again: a file had changed since it was
// read; everything was put back and the commit starts again.
Placed placeAll(const std::filesystem::path& dir, Changes& changes, const FileOps& ops,
                const std::string& unchanged, Status& status)
{
    const bool journal = changes.size() > 1;
    if (journal && (status = saveJournal(dir, changes, ops, unchanged)).failed())
        return Placed::Failed;
    const std::filesystem::path journalPath = dir / detail::kJournalName;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        int error = 0;
        const FileChange::Placing placing = changes[i]->place(error);
        if (placing == FileChange::Placing::Done)
            continue;
        bool back = true;
        for (std::size_t j = i + 1; j-- > 0;)
            back = changes[j]->putBack() && back;
        if (back) {
            // The journal goes last: it must not bring the new contents back.
            std::string left;
            for (const auto& c : changes) {
                c->discard();
                if (c->pending() && c != changes[i])
                    left += (left.empty() ? "" : ", ") + c->shownTemp();
            }
            if (journal) {
                syncDirectories(changes, ops);
                ::unlink(journalPath.c_str());
            }
            if (placing == FileChange::Placing::Displaced)
                return Placed::Again;
            const Error e = changes[i]->fail("cannot replace the file by the temporary file " +
                                             changes[i]->shownTemp() + ": " + systemMessage(error));
            status = left.empty() ? e
                                  : Error{e.file, e.message + "; the temporary file " + left +
                                                      " could not be deleted either"};
            return Placed::Failed;
        }
        // Some new content stays in place: the rest follows it.
        for (const auto& c : changes) {
            if (c->pending())
                c->place(error);
            if (c->pending()) {
                std::string changed;
                for (const auto& other : changes) {
                    other->keep();
                    if (other->inPlace())
                        changed += (changed.empty() ? "" : ", ") + other->where().name;
                }
                status = Error{c->where().name,
                               "cannot replace the file by the temporary file " + c->shownTemp() +
                                   ": " + systemMessage(error) +
                                   "; the file was not changed yet, but " + changed +
                                   " was; the change is completed the next time the data "
                                   "folder is opened or changed"};
                return Placed::Failed;
            }
        }
        break;
    }
    syncDirectories(changes, ops);
    for (const auto& c : changes)
        c->removeDisplaced();
    if (journal)
        runStep(ops, Step::RemoveJournal, journalPath,
                [&] { return ::unlink(journalPath.c_str()); });
    return Placed::Done;
}

} // namespace

Status commit(const std::filesystem::path& dir, const std::vector<Edit>& edits,
              TempNameGenerator& names, CommitResult* result, const FileOps& ops)
{
    if (result != nullptr)
        *result = {};
    if (edits.empty())
        return {};
    const std::string unchanged = edits.size() == 1   ? "the file was not changed"
                                  : edits.size() == 2 ? "neither file was changed"
                                                      : "no file was changed";
    // Records to add are checked before any file is touched.
    for (const Edit& edit : edits) {
        for (const Record& record : edit.append) {
            std::string bytes;
            std::optional<std::string> refused = encodeRecord(record, bytes);
            if (record.size() != static_cast<std::size_t>(edit.file.fields))
                refused = "it has " + std::to_string(record.size()) + " fields instead of " +
                          std::to_string(edit.file.fields);
            if (refused)
                return Error{findOnDisk(edit.file).value_or(edit.file.name),
                             "the record was not added: " + *refused};
        }
    }
    const std::string& shown = edits.front().file.name;
    detail::FolderLock lock;
    if (Status s = lock.take(dir, ops, shown, unchanged); !s)
        return s;
    if (Status s = detail::recover(dir, ops, nullptr); !s)
        return Error{s.error().file, s.error().message + "; " + unchanged};

    Changes changes;
    for (int tries = 1;; ++tries) {
        changes.clear();
        for (const Edit& edit : edits) {
            changes.push_back(std::make_unique<FileChange>(edit, ops, unchanged));
            if (Status s = changes.back()->prepare(names); !s) {
                if (result != nullptr)
                    result->aborted = changes.back()->aborted();
                return s;
            }
        }
        for (std::size_t i = 0; i < changes.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                const FileChange& a = *changes[j];
                const FileChange& b = *changes[i];
                if (a.where().path == b.where().path ||
                    (a.where().exists && b.where().exists && a.read().inode == b.read().inode &&
                     a.read().device == b.read().device))
                    return changes[i]->fail("the file is changed twice in one change");
            }
        }
        const bool unchangedSinceRead = std::all_of(changes.begin(), changes.end(),
                                                    [](const auto& c) { return c->stillAsRead(); });
        if (unchangedSinceRead) {
            Status status;
            const Placed placed = placeAll(dir, changes, ops, unchanged, status);
            if (placed == Placed::Failed)
                return status;
            if (placed == Placed::Done) {
                if (result != nullptr)
                    result->tries = tries;
                break;
            }
        }
        if (tries == kMaxTries)
            return changes.front()->fail("another program kept changing the file while it was "
                                         "being changed (" +
                                         std::to_string(tries) + " tries)");
        std::this_thread::sleep_for(std::chrono::microseconds(500 << tries));
    }
    for (const auto& c : changes)
        c->carryOverAppends();
    detail::removeLeftovers(dir, ops, nullptr);
    if (result != nullptr) {
        for (const auto& c : changes)
            result->files.push_back(std::move(c->result()));
    }
    return {};
}

} // namespace sb::store
