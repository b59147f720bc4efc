#include "store/rewrite.h"
#include "store/record_io.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sb::store {

using detail::systemMessage;
using detail::UniqueFd;

namespace {

// The encoded records are written out in pieces of about this size.
constexpr std::size_t kWriteChunk = 256 * 1024;

// More draws than there are names: by then every name is taken.
constexpr int kMaxDraws = 100000;

// Makes a rename in `dir` durable, as far as the system lets it.
void syncDirectory(const std::filesystem::path& dir, const FileOps& ops)
{
    UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ops.fsync(fd.get());
}

// One change of a record file: the new content goes to a temporary file
// beside the old content, and a rename puts it in place.
class Change
{
public:
    Change(const RecordFile& file, TempNameGenerator& names, RewriteResult* result,
           const FileOps& given)
        : file_(file), names_(names), result_(result), ops_(FileOps::system())
    {
        const auto pick = [&](auto member) {
            if (given.*member)
                ops_.*member = given.*member;
        };
        pick(&FileOps::write);
        pick(&FileOps::fsync);
        pick(&FileOps::close);
        pick(&FileOps::rename);
        pick(&FileOps::unlink);
        where_.name = file.name;
        if (result_ != nullptr)
            result_->tempName.clear();
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;
    ~Change()
    {
        // Reached with the temporary file still there only when a rule threw.
        temp_.reset();
        if (!tempPath_.empty())
            ops_.unlink(tempPath_.c_str());
    }

    const std::string& name() const { return where_.name; }
    bool exists() const { return where_.exists; }
    int source() const { return source_.get(); }

    // Finds the record file and, when it exists, opens it for reading.
    Status start()
    {
        Status s = detail::locate(file_, where_);
        if (s && where_.exists)
            s = detail::openForReading(where_, source_, sourceStat_);
        if (s.failed())
            return fail(s.error().message);
        return {};
    }

    Status createTemporary()
    {
        for (int draws = 0; !temp_.valid(); ++draws) {
            if (draws == kMaxDraws)
                return fail("no free name for a temporary file");
            tempName_ = TempNameGenerator::nameFor(names_.next());
            const std::filesystem::path path = where_.path.parent_path() / tempName_;
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                temp_ = UniqueFd(fd);
                tempPath_ = path;
            } else if (const int error = errno; error != EEXIST) {
                return fail("cannot create the temporary file " + shownTemp() + ": " +
                            systemMessage(error));
            }
        }
        if (result_ != nullptr)
            result_->tempName = tempName_;
        return {};
    }

    Status write(std::string_view bytes)
    {
        if (const int error = detail::writeAll(ops_.write, temp_.get(), bytes))
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

    // Saves the temporary file and renames it over the record file.
    Status commit()
    {
        if (ops_.fsync(temp_.get()) != 0) {
            const int error = errno;
            return fail("cannot save the temporary file " + shownTemp() +
                        " to disk: " + systemMessage(error));
        }
        // The owner's group and permissions go with the content; only root
        // may give the file to another owner, so that may fail.
        const struct stat& st = sourceStat_;
        if (exists() && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(temp_.get(), st.st_uid, st.st_gid) != 0 && errno != EPERM) {
            const int error = errno;
            return fail("cannot give the temporary file " + shownTemp() +
                        " the file's owner: " + systemMessage(error));
        }
        if (::fchmod(temp_.get(), exists() ? st.st_mode & 07777 : 0600) != 0) {
            const int error = errno;
            return fail("cannot give the temporary file " + shownTemp() +
                        " the file's permissions: " + systemMessage(error));
        }
        if (ops_.close(temp_.release()) != 0)
            return writeFailed(errno);
        if (ops_.rename(tempPath_.c_str(), where_.path.c_str()) != 0) {
            const int error = errno;
            return fail("cannot replace the file by the temporary file " + shownTemp() + ": " +
                        systemMessage(error));
        }
        tempPath_.clear();
        // The new content is in place: a failure to make the rename durable
        // is not a failed change.
        syncDirectory(where_.path.parent_path(), ops_);
        return {};
    }

    // Gives the change up: removes the temporary file and says what failed
    // and what is left on disk.
    Error fail(std::string what)
    {
        what += "; the file was not changed";
        temp_.reset();
        if (!tempPath_.empty() && ops_.unlink(tempPath_.c_str()) != 0 && errno != ENOENT) {
            const int error = errno;
            what += ", but the temporary file " + shownTemp() + " could not be deleted (" +
                    systemMessage(error) + "); it may hold a copy of the file's records";
        }
        tempPath_.clear();
        return Error{where_.name, std::move(what)};
    }

private:
    Error writeFailed(int error)
    {
        return fail("cannot write the temporary file " + shownTemp() + ": " + systemMessage(error));
    }

    // The temporary file as the user finds it: a bare name when it lies
    // beside the record file, else its whole path.
    std::string shownTemp() const
    {
        const std::filesystem::path dir = where_.path.parent_path();
        return dir == file_.dir ? tempName_ : (dir / tempName_).string();
    }

    const RecordFile& file_;
    TempNameGenerator& names_;
    RewriteResult* result_;
    FileOps ops_;
    detail::Location where_;
    UniqueFd source_;
    struct stat sourceStat_ = {};
    UniqueFd temp_;
    std::string tempName_;
    std::filesystem::path tempPath_; // empty once renamed or removed
};

} // namespace

int TempNameGenerator::next()
{
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    // The integer part of r * 10000 + 1 with r = state / 2^24, in exact arithmetic.
    return static_cast<int>((static_cast<std::uint64_t>(state_) * 10000u) >> 24) + 1;
}

std::string TempNameGenerator::nameFor(int number)
{
    return "SB-t" + std::to_string(number) + ".txt";
}

FileOps FileOps::system()
{
    return {
        [](int fd, const void* data, std::size_t size) -> long {
            return static_cast<long>(::write(fd, data, size));
        },
        [](int fd) { return ::fsync(fd); },
        [](int fd) { return ::close(fd); },
        [](const char* from, const char* to) { return ::rename(from, to); },
        [](const char* path) { return ::unlink(path); },
    };
}

Status appendRecord(const RecordFile& file, const Record& record, TempNameGenerator& names,
                    RewriteResult* result, const FileOps& ops)
{
    Change change(file, names, result, ops);
    if (Status s = change.start(); !s)
        return s;
    if (record.size() != static_cast<std::size_t>(file.fields))
        return Error{change.name(), "the record was not added: it has " +
                                        std::to_string(record.size()) + " fields instead of " +
                                        std::to_string(file.fields)};
    std::string bytes;
    if (auto refused = encodeRecord(record, bytes))
        return Error{change.name(), "the record was not added: " + *refused};

    // The file is copied up to the end of its last record, so that the new
    // record starts a record of its own.
    std::uint64_t kept = 0;
    if (change.exists()) {
        detail::RecordReader reader(detail::fdReader(change.source()), file.fields);
        while (reader.next(nullptr)) {
        }
        if (reader.failed())
            return change.fail(reader.message());
        kept = reader.recordsEnd();
        if (reader.lastFieldEndedByEof())
            bytes.insert(0, "\r\n");
    }
    if (Status s = change.createTemporary(); !s)
        return s;
    if (Status s = change.copy(kept); !s)
        return s;
    if (Status s = change.write(bytes); !s)
        return s;
    return change.commit();
}

Status rewriteRecordFile(const RecordFile& file, const Rule& rule, TempNameGenerator& names,
                         RewriteResult* result, const FileOps& ops)
{
    Change change(file, names, result, ops);
    if (Status s = change.start(); !s)
        return s;
    if (!change.exists())
        return Error{change.name(), "cannot be changed: the file does not exist"};
    if (Status s = change.createTemporary(); !s)
        return s;

    detail::RecordReader reader(detail::fdReader(change.source()), file.fields);
    Record record;
    std::string out;
    out.reserve(kWriteChunk + 4096);
    while (reader.next(&record)) {
        const RuleAnswer answer = rule(record);
        const Record* written = nullptr;
        if (const auto* replace = std::get_if<Replace>(&answer)) {
            written = &replace->record;
            if (written->size() != record.size())
                return change.fail("the new record " + std::to_string(reader.records()) + " has " +
                                   std::to_string(written->size()) + " fields instead of " +
                                   std::to_string(record.size()));
        } else if (std::holds_alternative<Keep>(answer)) {
            written = &record;
        }
        if (written != nullptr) {
            if (auto refused = encodeRecord(*written, out))
                return change.fail("record " + std::to_string(reader.records()) + ": " + *refused);
        }
        if (out.size() >= kWriteChunk) {
            if (Status s = change.write(out); !s)
                return s;
            out.clear();
        }
    }
    if (reader.failed())
        return change.fail(reader.message());
    if (Status s = change.write(out); !s)
        return s;
    return change.commit();
}

} // namespace sb::store
