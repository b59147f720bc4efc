#include "store/rewrite.h"
#include "store/record_io.h"

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

constexpr std::string_view kUnchanged = "; the file was not changed";

// The temporary file, removed unless it was renamed over the record file.
class TempFile
{
public:
    ~TempFile()
    {
        fd.reset();
        if (!path.empty())
            ::unlink(path.c_str());
    }
    void committed() { path.clear(); }

    std::filesystem::path path;
    UniqueFd fd;
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
        [](const char* from, const char* to) { return ::rename(from, to); },
    };
}

Status rewriteRecordFile(const RecordFile& file, const Rule& rule, TempNameGenerator& names,
                         RewriteResult* result, const FileOps& givenOps)
{
    if (result != nullptr)
        result->tempName.clear();
    FileOps ops = FileOps::system();
    if (givenOps.write)
        ops.write = givenOps.write;
    if (givenOps.fsync)
        ops.fsync = givenOps.fsync;
    if (givenOps.rename)
        ops.rename = givenOps.rename;

    const auto found = findOnDisk(file);
    if (!found)
        return Error{file.name, "cannot be changed: the file does not exist"};
    const std::string& name = *found;
    auto fail = [&name](std::string what) {
        what += kUnchanged;
        return Error{name, std::move(what)};
    };
    if (file.fields < 1)
        return fail("a record needs at least one field");

    // A symbolic link stays one: its final target gets the new content, and
    // the temporary file is made beside the target so the rename is atomic.
    std::filesystem::path target = file.dir / name;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        target = std::filesystem::canonical(target, ec);
        if (ec)
            return fail("cannot follow the symbolic link: " + ec.message());
    }
    UniqueFd source(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid() || ::fstat(source.get(), &st) != 0) {
        const int error = errno;
        return fail("cannot open the file: " + systemMessage(error));
    }

    // Never open an existing temporary file: after an interrupted run it may
    // hold the only complete copy of a record file.
    TempFile temp;
    std::string tempName;
    for (int draws = 0; !temp.fd.valid(); ++draws) {
        if (draws == kMaxDraws)
            return fail("no free name for a temporary file");
        tempName = TempNameGenerator::nameFor(names.next());
        const std::filesystem::path path = target.parent_path() / tempName;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            temp.fd = UniqueFd(fd);
            temp.path = path;
        } else if (const int error = errno; error != EEXIST) {
            return fail("cannot create the temporary file " + tempName + ": " +
                        systemMessage(error));
        }
    }
    if (result != nullptr)
        result->tempName = tempName;
    auto writeFailed = [&](int error) {
        return fail("cannot write the temporary file " + tempName + ": " + systemMessage(error));
    };

    detail::RecordReader reader(detail::fdReader(source.get()), file.fields);
    Record record;
    std::string out;
    out.reserve(kWriteChunk + 4096);
    while (reader.next(&record)) {
        const RuleAnswer answer = rule(record);
        const Record* written = nullptr;
        if (const auto* replace = std::get_if<Replace>(&answer)) {
            written = &replace->record;
            if (written->size() != record.size())
                return fail("the new record " + std::to_string(reader.records()) + " has " +
                            std::to_string(written->size()) + " fields instead of " +
                            std::to_string(record.size()));
        } else if (std::holds_alternative<Keep>(answer)) {
            written = &record;
        }
        if (written != nullptr) {
            if (auto refused = encodeRecord(*written, out))
                return fail("record " + std::to_string(reader.records()) + ": " + *refused);
        }
        if (out.size() >= kWriteChunk) {
            if (int error = detail::writeAll(ops.write, temp.fd.get(), out))
                return writeFailed(error);
            out.clear();
        }
    }
    if (reader.failed())
        return fail(reader.message());
    if (int error = detail::writeAll(ops.write, temp.fd.get(), out))
        return writeFailed(error);
    if (ops.fsync(temp.fd.get()) != 0) {
        const int error = errno;
        return fail("cannot save the temporary file " + tempName +
                    " to disk: " + systemMessage(error));
    }
    // The owner's group and permissions go with the content; only root may
    // give the file to another owner, so that may fail.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(temp.fd.get(), st.st_uid, st.st_gid) != 0 && errno != EPERM) {
        const int error = errno;
        return fail("cannot give the temporary file " + tempName +
                    " the file's owner: " + systemMessage(error));
    }
    if (::fchmod(temp.fd.get(), st.st_mode & 07777) != 0) {
        const int error = errno;
        return fail("cannot give the temporary file " + tempName +
                    " the file's permissions: " + systemMessage(error));
    }
    if (int error = temp.fd.reset())
        return writeFailed(error);
    if (ops.rename(temp.path.c_str(), target.c_str()) != 0) {
        const int error = errno;
        return fail("cannot replace the file by the temporary file " + tempName + ": " +
                    systemMessage(error));
    }
    temp.committed();

    // Make the rename itself durable. The new content is in place already, so
    // a failure here is not reported as a failed change.
    UniqueFd dir(::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return {};
}

} // namespace sb::store
