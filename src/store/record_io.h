// Internals of the record store shared by the reader, the writer, the rewrite
// and the fuzzer: the streaming record reader and a few POSIX helpers.
#pragma once

#include "store/record_file.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include <sys/stat.h>

namespace sb::store::detail {

// Whether `a` and `b` are equal when ASCII letters are compared ignoring case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The system's text for an errno value.
std::string systemMessage(int error);

// Supplies bytes to the reader: fills at most `size` bytes of `into` and
// returns how many, 0 at the end of the file, or -1 with errno set.
using ReadFn = std::function<long(char* into, std::size_t size)>;

// Reads from a file descriptor, retrying when interrupted.
ReadFn fdReader(int fd);

// Writes all of `data` through `write`, carrying on after short writes and
// interruptions. Returns 0 or the errno of the failure.
int writeAll(const std::function<long(int, const void*, std::size_t)>& write, int fd,
             std::string_view data);

// Owns a file descriptor.
class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives up ownership without closing.
    int release() { return std::exchange(fd_, -1); }
    // Closes now; returns 0 or the errno of close().
    int reset();

private:
    int fd_;
};

// Where a record file lies on disk.
struct Location
{
    // The name it goes by: as spelt on disk, or as wanted when missing.
    std::string name;
    // Where its content is: the entry itself, or a symbolic link's final target.
    std::filesystem::path path;
    // A regular file lies at `path`.
    bool exists = false;
};

// Looks `file` up in its directory. An entry of the exact name is taken
// whatever it is; without one, regular files spelt in other letter case come
// first, the smallest spelling winning, so every operation settles on the same
// file. Symbolic links are followed; one that leads to nothing stands for a
// missing file, which an added record creates at the link's target. Anything
// but a regular file (a directory, a named pipe, a device, a socket, a loop of
// links) is an Error: the program neither reads nor replaces it.
Status locate(const RecordFile& file, Location& where);

// Opens the regular file found by locate() for reading. Never waits: should a
// named pipe or a device have taken the file's place since, it is refused.
Status openForReading(const Location& where, UniqueFd& fd, struct stat& st);

// Reads the records of one file from a stream of bytes, holding at most one
// record plus one buffer of bytes in memory. The buffer grows when a single
// record does not fit in it.
class RecordReader
{
public:
    static constexpr std::size_t kDefaultCapacity = 256 * 1024;

    RecordReader(ReadFn read, int fields, std::size_t capacity = kDefaultCapacity);

    // Reads the next record into *out (only steps over it when out is null).
    // False at the end of the records or on failure; failed() tells which.
    // With `keep`, a record whose first field it turns down is stepped over
    // after that field, and lastKept() is false.
    // Only the first `decoded` fields are decoded; the others stay as they were.
    bool next(Record* out, const FirstFieldTest* keep = nullptr,
              int decoded = std::numeric_limits<int>::max());
    bool lastKept() const { return lastKept_; }

    bool failed() const { return !message_.empty(); }
    // What went wrong, for an Error's message.
    const std::string& message() const { return message_; }
    long long records() const { return records_; }

    // Offset just past the last record read (past the byte-order mark before
    // the first record) and whether the last field of that record was ended
    // by the end of the file rather than by a comma or a line end.
    std::uint64_t recordsEnd() const { return recordsEnd_; }
    bool lastFieldEndedByEof() const { return lastFieldEndedByEof_; }

private:
    bool start();
    bool refill();

    ReadFn read_;
    int fields_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t begin_ = 0;    // first byte not yet parsed
    std::size_t end_ = 0;      // end of the bytes held
    std::uint64_t offset_ = 0; // file offset of buffer_[0]
    bool eof_ = false;
    bool started_ = false;
    bool done_ = false;
    long long records_ = 0;
    std::uint64_t recordsEnd_ = 0;
    bool lastFieldEndedByEof_ = false;
    bool lastKept_ = true;
    std::string message_;
};

} // namespace sb::store::detail
