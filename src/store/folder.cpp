#include "store/folder.h"

#include <charconv>
#include <set>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sb::store {

namespace detail {

namespace {

constexpr std::string_view kJournalHead = "Stashbook journal 1\n";
constexpr std::size_t kMaxJournal = 1 << 20;

std::uint64_t checksum(std::string_view bytes)
{
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return hash;
}

// Reads a number and the separator after it from the front of `text`.
bool takeNumber(std::string_view& text, std::uint64_t& value, char separator, int base = 10)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end == text.data() + text.size() || *end != separator)
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    return true;
}

// Reads "<length>:<bytes>" and the separator after it.
bool takePath(std::string_view& text, std::filesystem::path& path, char separator)
{
    std::uint64_t length = 0;
    if (!takeNumber(text, length, ':') || length >= text.size() || text[length] != separator)
        return false;
    path = std::string(text.substr(0, length));
    text.remove_prefix(length + 1);
    return true;
}

void appendPath(std::string& out, const std::filesystem::path& path, char separator)
{
    out += std::to_string(path.native().size()) + ':' + path.native() + separator;
}

bool readSmallFile(const std::filesystem::path& path, std::string& bytes, std::size_t limit)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return false;
    bytes.resize(limit);
    std::size_t size = 0;
    const ReadFn read = fdReader(fd.get());
    for (long n; size < limit && (n = read(bytes.data() + size, limit - size)) != 0; size += n) {
        if (n < 0)
            return false;
    }
    bytes.resize(size);
    return true;
}

} // namespace

int syncDirectory(const std::filesystem::path& dir, const FileOps& ops)
{
    UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return -1;
    return runStep(ops, Step::DirSync, dir, [&] { return ::fsync(fd.get()); });
}

Status FolderLock::take(const std::filesystem::path& dir, const FileOps& ops,
                        const std::string& shown, const std::string& unchanged)
{
    fd_ = UniqueFd(
        ::open((dir / kLockName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd_.valid()) {
        const int error = errno;
        return Error{shown, "cannot lock the data folder (" + std::string(kLockName) +
                                "): " + systemMessage(error) + "; " + unchanged};
    }
    const auto deadline = std::chrono::steady_clock::now() + ops.lockWait;
    while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == ENOLCK || error == EOPNOTSUPP)
            return {}; // no locks here: go on, as without another program
        if (error != EINTR && error != EWOULDBLOCK)
            return Error{shown, "cannot lock the data folder (" + std::string(kLockName) +
                                    "): " + systemMessage(error) + "; " + unchanged};
        if (error == EWOULDBLOCK && std::chrono::steady_clock::now() >= deadline)
            return Error{shown, "another program is changing the files of the data folder "
                                "(it holds " +
                                    std::string(kLockName) + "); " + unchanged};
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return {};
}

std::string encodeJournal(const std::vector<JournalEntry>& entries)
{
    std::string out(kJournalHead);
    for (const JournalEntry& e : entries) {
        out += "rename " + std::to_string(e.device) + ' ' + std::to_string(e.inode) + ' ';
        appendPath(out, e.temp, ' ');
        appendPath(out, e.target, '\n');
    }
    char sum[17];
    const auto end = std::to_chars(sum, sum + 16, checksum(out), 16).ptr;
    return out + "end " + std::string(sum, end) + '\n';
}

bool decodeJournal(std::string_view bytes, std::vector<JournalEntry>& entries)
{
    entries.clear();
    if (bytes.substr(0, kJournalHead.size()) != kJournalHead)
        return false;
    std::string_view text = bytes.substr(kJournalHead.size());
    while (text.substr(0, 7) == "rename ") {
        text.remove_prefix(7);
        JournalEntry e;
        if (!takeNumber(text, e.device, ' ') || !takeNumber(text, e.inode, ' ') ||
            !takePath(text, e.temp, ' ') || !takePath(text, e.target, '\n'))
            return false;
        entries.push_back(std::move(e));
    }
    const std::string_view body = bytes.substr(0, bytes.size() - text.size());
    std::uint64_t sum = 0;
    return text.substr(0, 4) == "end " && (text.remove_prefix(4), true) &&
           takeNumber(text, sum, '\n', 16) && text.empty() && sum == checksum(body);
}

Status recover(const std::filesystem::path& dir, const FileOps& ops, FolderReport* report)
{
    const std::filesystem::path journal = dir / kJournalName;
    std::string bytes;
    struct stat st;
    if (::lstat(journal.c_str(), &st) != 0 && errno == ENOENT)
        return {};
    if (!readSmallFile(journal, bytes, kMaxJournal)) {
        const int error = errno;
        return Error{std::string(kJournalName),
                     "cannot read the journal of an interrupted change: " + systemMessage(error)};
    }
    std::vector<JournalEntry> entries;
    const bool complete = decodeJournal(bytes, entries);
    std::set<std::filesystem::path> dirs{dir};
    for (const JournalEntry& e : entries) {
        if (::lstat(e.temp.c_str(), &st) != 0)
            continue; // renamed already
        const bool isNew = st.st_dev == e.device && st.st_ino == e.inode;
        if (complete && isNew) {
            if (runStep(ops, Step::Rename, e.target,
                        [&] { return ::rename(e.temp.c_str(), e.target.c_str()); }) != 0) {
                const int error = errno;
                return Error{e.target.filename().string(),
                             "cannot complete an interrupted change: cannot replace the file by " +
                                 e.temp.string() + ": " + systemMessage(error)};
            }
            dirs.insert(e.target.parent_path());
        } else if (complete || isNew) {
            // The file a completed exchange displaced, or the new content of
            // a change that was never saved.
            runStep(ops, Step::RemoveTemp, e.temp, [&] { return ::unlink(e.temp.c_str()); });
        }
    }
    for (const auto& d : dirs)
        syncDirectory(d, ops);
    runStep(ops, Step::RemoveJournal, journal, [&] { return ::unlink(journal.c_str()); });
    if (report != nullptr)
        (complete ? report->completed : report->discarded) = true;
    return {};
}

bool isTempName(std::string_view name)
{
    if (name.size() < 9 || !equalsIgnoringAsciiCase(name.substr(0, 4), "SB-t") ||
        !equalsIgnoringAsciiCase(name.substr(name.size() - 4), ".txt"))
        return false;
    const std::string_view digits = name.substr(4, name.size() - 8);
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size() && digits[0] != '0' &&
           number <= 10000;
}

int fieldsOfFirstRecord(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (bytes.empty())
        return 0;
    int fields = 0;
    for (std::size_t i = 0;;) {
        while (i < bytes.size() && bytes[i] == ' ')
            ++i;
        if (i < bytes.size() && bytes[i] == '"')
            i = std::min(bytes.find('"', i + 1), bytes.size());
        i = std::min(bytes.find_first_of(",\r\n", i), bytes.size());
        ++fields;
        if (i == bytes.size() || bytes[i++] != ',')
            return fields;
    }
}

void removeLeftovers(const std::filesystem::path& dir, const FileOps& ops, FolderReport* report)
{
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (listing == nullptr)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        if (isTempName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    if (names.empty())
        return;
    // A record file that is missing may have its only copy here.
    std::optional<std::string> missing[2];
    for (const RecordFile& file : {RecordFile::sites(dir), RecordFile::accounts(dir)}) {
        Location where;
        if (locate(file, where).failed() || !where.exists)
            missing[file.fields == kSiteFields ? 0 : 1] = file.name;
    }
    for (const std::string& name : names) {
        const std::filesystem::path path = dir / name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (missing[0] || missing[1]) {
            std::string head;
            const int fields = readSmallFile(path, head, 64 * 1024) ? fieldsOfFirstRecord(head) : 0;
            const auto& of = fields == kSiteFields      ? missing[0]
                             : fields == kAccountFields ? missing[1]
                                                        : std::nullopt;
            if (of) {
                if (report != nullptr)
                    report->onlyCopies.push_back({*of, name});
                continue;
            }
        }
        if (runStep(ops, Step::RemoveTemp, path, [&] { return ::unlink(path.c_str()); }) == 0 &&
            report != nullptr)
            report->removed.push_back(name);
    }
}

} // namespace detail

std::string FolderReport::notice() const
{
    std::string text;
    for (const OnlyCopy& copy : onlyCopies)
        text += copy.recordFile + " is missing, and " + copy.tempName +
                " holds records of its kind: it was kept, as it may be the only copy of them. "
                "To use them, rename it to " +
                copy.recordFile + ".\n";
    return text;
}

Status openFolder(const std::filesystem::path& dir, FolderReport* report, const FileOps& ops)
{
    if (report != nullptr)
        *report = {};
    // A folder the program may not write to holds nothing to complete or
    // delete, unless a commit was interrupted there.
    struct stat st;
    if (::access(dir.empty() ? "." : dir.c_str(), W_OK) != 0 &&
        ::lstat((dir / detail::kJournalName).c_str(), &st) != 0)
        return {};
    detail::FolderLock lock;
    if (Status s = lock.take(dir, ops, std::string(detail::kLockName), "nothing was done"); !s)
        return s;
    if (Status s = detail::recover(dir, ops, report); !s)
        return s;
    detail::removeLeftovers(dir, ops, report);
    return {};
}

} // namespace sb::store
