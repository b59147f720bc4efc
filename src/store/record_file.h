// The two record files and their byte format.
//
// This is the only code that knows how a record looks on disk. It uses the
// standard library alone so that it can be fuzzed and benchmarked without Qt.
//
// On disk a record is its fields, each between double quotes, separated by
// commas, ended by CR LF:  "name","address"\r\n
// Nothing is escaped, so a field can never contain a double quote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sb::store {

inline constexpr std::string_view kSitesFileName = "SB-Sites.DaT";
inline constexpr std::string_view kAccountsFileName = "SB-Acnts.DaT";

inline constexpr int kSiteFields = 2;    // name, web address
inline constexpr int kAccountFields = 4; // site name, user name, password, extra info

// Fields of one record, in file order. Text is UTF-8.
using Record = std::vector<std::string>;

// A failed store operation. `file` is the name the user knows the file by
// (as found on disk); `message` says what failed, including the system's own
// message or, for a damaged file, the record and what is missing.
struct Error
{
    std::string file;
    std::string message;
};

// Outcome of an operation: empty on success.
class Status
{
public:
    Status() = default;
    Status(Error e) : error_(std::move(e)) {}
    static Status ok() { return {}; }

    explicit operator bool() const { return !error_; }
    bool failed() const { return error_.has_value(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

// A record file: a bare file name looked up in a directory (the program uses
// its working directory) and the number of fields of its records.
struct RecordFile
{
    std::filesystem::path dir;
    std::string name;
    int fields = 0;

    static RecordFile sites(std::filesystem::path dir = ".")
    {
        return {std::move(dir), std::string(kSitesFileName), kSiteFields};
    }
    static RecordFile accounts(std::filesystem::path dir = ".")
    {
        return {std::move(dir), std::string(kAccountsFileName), kAccountFields};
    }
};

// Existence test. Returns the name on disk of the regular file in `file.dir`
// whose name equals `file.name` ignoring letter case, or nothing. An entry of
// the exact name is the file whatever it is (so a directory of that name hides
// no other spelling); without one, the smallest spelling that is a regular
// file wins. Hidden names are never found. Every read and change goes to the
// name returned here, so a file saved as "sb-sites.dat" is used rather than
// shadowed by a new "SB-Sites.DaT".
std::optional<std::string> findOnDisk(const RecordFile& file);

// What a record file is now, as far as the file system tells: the same
// stamp means the same content (a rename gives another inode, an append
// another size, a write in place another modification time). A missing file
// (or anything but a regular file under its name) has the empty stamp.
struct FileStamp
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const RecordFile& file);

// Reads every record of `file` in order and hands each to `onRecord` (the
// vector is reused between calls: copy what must outlive the call). A missing
// file is not an error: `exists` (if given) is false exactly then, and nothing
// is read. Anything but a regular file under the name (a directory, a named
// pipe, a device, a link to one, a loop of links) is an error, found without
// opening it. A damaged file or an I/O failure stops the read with an error;
// the records already handed over stay handed over.
Status readRecords(const RecordFile& file, const std::function<void(const Record&)>& onRecord,
                   bool* exists = nullptr);

// A test of a record's first field (decoded, as onRecord would see it).
using FirstFieldTest = std::function<bool(std::string_view)>;

// Reads `file` as readRecords does, but hands over only the records whose
// first field passes `keep`; the others are stepped over as countRecords
// steps over them. `count` is the number of all records, handed over or not.
Status readRecordsWhere(const RecordFile& file, const FirstFieldTest& keep,
                        const std::function<void(const Record&)>& onRecord, long long& count,
                        bool* exists = nullptr);

// Reads `file` as readRecords does, decoding only the first `decoded` fields
// of each record; the others are stepped over and handed over empty. For
// listings of names, which need no password.
Status readLeadingFields(const RecordFile& file, int decoded,
                         const std::function<void(const Record&)>& onRecord,
                         bool* exists = nullptr);

// Counts the records of `file` without materialising their fields. Same
// rules and errors as readRecords.
Status countRecords(const RecordFile& file, long long& count, bool* exists = nullptr);

// Adding a record: appendRecord() in store/rewrite.h.

// Appends one record in the writer's form to `out`, or returns an error
// message (leaving `out` as it was) when a field holds a double quote or the
// record has no field.
std::optional<std::string> encodeRecord(const Record& record, std::string& out);

// --- Parsing, exposed for the fuzzer and the benchmark -----------------------

// Parses records from an in-memory buffer holding a whole file. Same rules as
// readRecords; `name` is used in error messages only.
Status parseBuffer(std::string_view bytes, int fields, std::string_view name,
                   const std::function<void(const Record&)>& onRecord);

// Counts the records of an in-memory buffer, as countRecords does for a file.
Status countBuffer(std::string_view bytes, int fields, std::string_view name, long long& count);

// Decodes one raw field: valid UTF-8 is taken as it is, anything else is read
// as Windows-1252 (files written on Windows).
void decodeField(std::string_view raw, std::string& out);

} // namespace sb::store
