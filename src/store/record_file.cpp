#include "store/record_file.h"
#include "store/record_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sb::store {

using detail::RecordReader;
using detail::systemMessage;
using detail::UniqueFd;

namespace {

// --- Text --------------------------------------------------------------------

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

bool isValidUtf8(std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Nearly all text is ASCII: step over it eight bytes at a time.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + i, 8);
            if ((word & kHighBits) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (n - i < length || s[i + 1] < low || s[i + 1] > high)
            return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

// Windows-1252 characters 0x80..0x9F; the five bytes it leaves undefined
// stand for the C1 control of the same value, as in Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(char16_t code, std::string& out)
{
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

// Finds the double quote that closes a field in [p, end), or nullptr, and
// tells whether the bytes before it may be other than ASCII (then the field
// must be checked as UTF-8). Sixteen bytes at a time where SSE2 is at hand:
// fields are short, and one pass answers both questions.
inline const char* findClosingQuote(const char* p, const char* end, bool& maybeNonAscii)
{
#ifdef __SSE2__
    unsigned high = 0;
    const __m128i quote = _mm_set1_epi8('"');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto quotes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)));
        const auto highBits = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (quotes != 0) {
            high |= highBits & ((quotes & (0u - quotes)) - 1); // bits before the quote
            maybeNonAscii = high != 0;
            return p + __builtin_ctz(quotes);
        }
        high |= highBits;
    }
    for (; p < end; ++p) {
        if (*p == '"') {
            maybeNonAscii = high != 0;
            return p;
        }
        high |= static_cast<unsigned char>(*p) & 0x80u;
    }
    maybeNonAscii = high != 0;
    return nullptr;
#else
    maybeNonAscii = true;
    return static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
#endif
}

// --- The parser --------------------------------------------------------------
//
// One record is parsed at a time from the bytes in [cursor, end). When the
// bytes run out before the record is complete and more may follow (`eof` is
// false), the parser answers NeedMore and the caller parses the same record
// again once it holds more bytes.

enum class Step { Record, End, NeedMore, Damaged };

struct Damage
{
    bool openQuote = false;
    int field = 0; // the field with the open quote, or the fields read before the end
};

inline bool isBlankOrLineEnd(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

// The comma or line end that ends an unquoted field (or what follows the
// closing quote of a quoted one), or `end`.
inline const char* findFieldEnd(const char* p, const char* end)
{
    while (p < end && *p != ',' && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// Decodes one field into `field`. False when `keep`, the first field's
// test, turns the record down.
inline bool decodeOne(std::string_view raw, bool maybeNonAscii, std::string& field,
                      const FirstFieldTest* keep)
{
    if (maybeNonAscii) {
        decodeField(raw, field);
        return keep == nullptr || (*keep)(field);
    }
    if (keep != nullptr && !(*keep)(raw))
        return false; // ASCII is its own decoding: nothing to copy
    field.clear();    // keeps the capacity for the next record
    field.append(raw);
    return true;
}

// With Materialise, the first `decoded` fields are decoded into *out (the
// others are stepped over), unless `keep` turns the record down on its first
// field: then the rest is only stepped over, and `kept` says so.
template <bool Materialise>
Step parseRecord(const char*& cursor, const char* end, bool eof, int fields, Record* out,
                 Damage& damage, bool& endedByEof, const FirstFieldTest* keep = nullptr,
                 bool* kept = nullptr, int decoded = std::numeric_limits<int>::max())
{
    const char* p = cursor;
    bool take = Materialise;

    // Only blanks and line ends up to the end of the file: no further record.
    const char* q = p;
    while (q < end && isBlankOrLineEnd(*q))
        ++q;
    if (q == end) {
        if (!eof)
            return Step::NeedMore;
        cursor = end;
        return Step::End;
    }

    for (int f = 0; f < fields; ++f) {
        const bool decodes = take && f < decoded;
        while (p < end && *p == ' ')
            ++p;
        if (p == end) {
            if (!eof)
                return Step::NeedMore;
            damage = {false, f};
            return Step::Damaged;
        }
        const char* text;
        const char* textEnd;
        bool maybeNonAscii = true;
        if (*p == '"') {
            text = p + 1;
            if (decodes)
                textEnd = findClosingQuote(text, end, maybeNonAscii);
            else // stepping over needs no text: memchr is quicker on its own
                textEnd = static_cast<const char*>(
                    std::memchr(text, '"', static_cast<std::size_t>(end - text)));
            if (textEnd == nullptr) {
                if (!eof)
                    return Step::NeedMore;
                damage = {true, f};
                return Step::Damaged;
            }
            p = textEnd + 1;
            // Whatever stands between the closing quote and the end of the
            // field is not part of it.
            if (p == end || *p != ',')
                p = findFieldEnd(p, end);
        } else {
            text = p;
            maybeNonAscii = true;
            p = findFieldEnd(p, end);
            textEnd = p;
            while (textEnd > text && textEnd[-1] == ' ')
                --textEnd;
        }

        if (p == end) {
            if (!eof)
                return Step::NeedMore;
            endedByEof = true;
        } else {
            endedByEof = false;
            if (*p++ == '\r') {
                if (p == end) {
                    if (!eof)
                        return Step::NeedMore;
                } else if (*p == '\n') {
                    ++p;
                }
            }
        }
        if (decodes)
            take = decodeOne(std::string_view(text, static_cast<std::size_t>(textEnd - text)),
                             maybeNonAscii, (*out)[static_cast<std::size_t>(f)],
                             f == 0 ? keep : nullptr);
    }
    cursor = p;
    if (kept != nullptr)
        *kept = take;
    return Step::Record;
}

#ifdef __SSE2__
// The double quotes in a buffer, 64 bytes at a time, and (WithText)
// whether the bytes between one and the next are all ASCII.
template <bool WithText> class QuoteScanner
{
public:
    // Starts after the double quote at `from`; at least 64 bytes from it
    // must be at hand.
    QuoteScanner(const char* from, const char* end) : base_(from), last_(from), end_(end)
    {
        load();
        quotes_ &= ~std::uint64_t(1);
    }

    // The next double quote, or nullptr where the 64 bytes from a block's
    // start would pass the end.
    const char* next(bool& nonAsciiBefore)
    {
        bool high = false;
        while (quotes_ == 0) {
            if constexpr (WithText)
                high = high || (high_ & after(last_)) != 0;
            base_ += 64;
            if (end_ - base_ < 64)
                return nullptr;
            load();
        }
        const char* quote = base_ + __builtin_ctzll(quotes_);
        quotes_ &= quotes_ - 1;
        if constexpr (WithText) {
            const std::uint64_t before = (std::uint64_t(1) << (quote - base_)) - 1;
            nonAsciiBefore = high || (high_ & after(last_) & before) != 0;
            last_ = quote;
        }
        return quote;
    }

private:
    // The bits of the block after `p` (all of them when p is before it).
    std::uint64_t after(const char* p) const
    {
        return p < base_ ? ~std::uint64_t(0) : (~std::uint64_t(0) << (p - base_)) << 1;
    }

    void load()
    {
        const __m128i quote = _mm_set1_epi8('"');
        quotes_ = high_ = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base_ + 16 * k));
            const auto shift = static_cast<unsigned>(16 * k);
            quotes_ |= std::uint64_t(
                           static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote))))
                       << shift;
            if constexpr (WithText)
                high_ |= std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(bytes))) << shift;
        }
    }

    const char* base_;
    const char* last_;
    const char* end_;
    std::uint64_t quotes_ = 0, high_ = 0;
};
#endif

// A record as the writer writes it, and so nearly every record read: each
// field in double quotes, one comma between fields, CR LF or LF at the end.
// Its fields are found from the double quotes alone, 64 bytes at a time.
// Anything else, or a record not whole in [cursor, end), is left to
// parseRecord (false), which reads these records the same way.
template <bool Materialise>
bool parseAsWritten(const char*& cursor, const char* end, int fields, Record* out,
                    const FirstFieldTest* keep, bool* kept, int decoded)
{
#ifndef __SSE2__
    return false;
#else
    if (end - cursor < 64 || *cursor != '"')
        return false;
    QuoteScanner<Materialise> quotes(cursor, end);
    bool take = Materialise;
    const char* open = cursor;
    for (int f = 0;; ++f) {
        bool nonAscii = false;
        const char* close = quotes.next(nonAscii);
        if (close == nullptr || end - close < 3)
            return false;
        if (take && f < decoded)
            take =
                decodeOne(std::string_view(open + 1, static_cast<std::size_t>(close - open - 1)),
                          nonAscii, (*out)[static_cast<std::size_t>(f)], f == 0 ? keep : nullptr);
        if (f + 1 == fields) {
            if (close[1] == '\n')
                cursor = close + 2;
            else if (close[1] == '\r' && close[2] == '\n')
                cursor = close + 3;
            else
                return false;
            break;
        }
        if (close[1] != ',' || (open = quotes.next(nonAscii)) != close + 2)
            return false;
    }
    if (kept != nullptr)
        *kept = take;
    return true;
#endif
}

std::string damageMessage(long long record, const Damage& damage, int fields)
{
    const std::string where = "record " + std::to_string(record);
    if (damage.openQuote)
        return where + " is damaged: field " + std::to_string(damage.field + 1) + " of " +
               std::to_string(fields) + " opens a double quote that is never closed";
    return where + " is cut short: the file ends after field " + std::to_string(damage.field) +
           " of " + std::to_string(fields);
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view withoutByteOrderMark(std::string_view bytes)
{
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        bytes.remove_prefix(kByteOrderMark.size());
    return bytes;
}

template <bool Materialise>
Status parseWhole(std::string_view bytes, int fields, std::string_view name, long long& count,
                  const std::function<void(const Record&)>* onRecord)
{
    count = 0;
    if (fields < 1)
        return Error{std::string(name), "a record needs at least one field"};
    bytes = withoutByteOrderMark(bytes);
    Record record(static_cast<std::size_t>(fields));
    const char* cursor = bytes.data();
    const char* end = bytes.data() + bytes.size();
    for (;;) {
        Damage damage;
        bool endedByEof = false;
        switch (parseRecord<Materialise>(cursor, end, true, fields, &record, damage, endedByEof)) {
        case Step::Record:
            ++count;
            if constexpr (Materialise)
                (*onRecord)(record);
            break;
        case Step::Damaged:
            return Error{std::string(name), damageMessage(count + 1, damage, fields)};
        case Step::End:
        case Step::NeedMore: // not with the whole file at hand
            return {};
        }
    }
}

// Longest chain of symbolic links followed, as the kernel allows.
constexpr int kMaxLinks = 40;

Error notRegular(const std::string& name, mode_t mode)
{
    const char* what = S_ISDIR(mode)                    ? "a directory"
                       : S_ISFIFO(mode)                 ? "a named pipe"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "a special file";
    return Error{name, std::string("not a regular file but ") + what};
}

// The smallest spelling of `name` in other letter case in `dir`, regular
// files first, or `name` itself when there is none.
std::string otherSpelling(const std::filesystem::path& dir, const std::string& name)
{
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (listing == nullptr)
        return name;
    std::optional<std::string> regular, other;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view candidate = entry->d_name;
        if (candidate.empty() || candidate.front() == '.' ||
            !detail::equalsIgnoringAsciiCase(candidate, name))
            continue;
        struct stat st;
        auto& best =
            ::stat((dir / candidate).c_str(), &st) == 0 && S_ISREG(st.st_mode) ? regular : other;
        if (!best || candidate < *best)
            best = std::string(candidate);
    }
    ::closedir(listing);
    return regular.value_or(other.value_or(name));
}

// The body shared by readRecords and countRecords: `read` takes the records
// from the reader of the file.
Status readFile(const RecordFile& file, bool* exists,
                const std::function<void(RecordReader&)>& read)
{
    detail::Location where;
    Status s = detail::locate(file, where);
    if (exists != nullptr)
        *exists = s.failed() || where.exists;
    if (s.failed() || !where.exists)
        return s;
    UniqueFd fd;
    struct stat st;
    if (s = detail::openForReading(where, fd, st); s.failed())
        return s;
    RecordReader reader(detail::fdReader(fd.get()), file.fields);
    read(reader);
    if (reader.failed())
        return Error{where.name, reader.message()};
    return {};
}

} // namespace

// --- Helpers shared with the rewrite --------------------------------------------

namespace detail {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string systemMessage(int error)
{
    return std::strerror(error);
}

ReadFn fdReader(int fd)
{
    return [fd](char* into, std::size_t size) -> long {
        for (;;) {
            const ssize_t n = ::read(fd, into, size);
            if (n >= 0 || errno != EINTR)
                return static_cast<long>(n);
        }
    };
}

int writeAll(const std::function<long(int, const void*, std::size_t)>& write, int fd,
             std::string_view data)
{
    while (!data.empty()) {
        const long n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO; // no progress: do not spin
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int UniqueFd::reset()
{
    int result = 0;
    if (fd_ >= 0 && ::close(fd_) != 0)
        result = errno;
    fd_ = -1;
    return result;
}

Status locate(const RecordFile& file, Location& where)
{
    where = {file.name, file.dir / file.name, false};
    if (!file.name.empty() && file.name.front() == '.')
        return Error{file.name, "a hidden file is never a record file"};
    struct stat st;
    if (::lstat(where.path.c_str(), &st) != 0 && errno == ENOENT) {
        where.name = otherSpelling(file.dir, file.name);
        where.path = file.dir / where.name;
    }
    for (int links = 0;; ++links) {
        if (::lstat(where.path.c_str(), &st) != 0) {
            const int error = errno;
            if (error == ENOENT)
                return {}; // no file, or a link to nothing
            return Error{where.name, "cannot look up the file: " + systemMessage(error)};
        }
        if (S_ISREG(st.st_mode)) {
            where.exists = true;
            return {};
        }
        if (!S_ISLNK(st.st_mode))
            return notRegular(where.name, st.st_mode);
        if (links == kMaxLinks)
            return Error{where.name, "not a regular file but a loop of symbolic links"};
        std::error_code ec;
        const std::filesystem::path to = std::filesystem::read_symlink(where.path, ec);
        if (ec)
            return Error{where.name, "cannot follow the symbolic link: " + ec.message()};
        where.path = to.is_absolute() ? to : where.path.parent_path() / to;
    }
}

Status openForReading(const Location& where, UniqueFd& fd, struct stat& st)
{
    fd = UniqueFd(
        ::open(where.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        const int error = errno;
        return Error{where.name, "cannot open the file: " + systemMessage(error)};
    }
    if (!S_ISREG(st.st_mode))
        return notRegular(where.name, st.st_mode);
    return {};
}

RecordReader::RecordReader(ReadFn read, int fields, std::size_t capacity)
    : read_(std::move(read)), fields_(fields),
      buffer_(new char[std::max<std::size_t>(capacity, 4)]),
      capacity_(std::max<std::size_t>(capacity, 4))
{}

bool RecordReader::start()
{
    started_ = true;
    if (fields_ < 1) {
        message_ = "a record needs at least one field";
        return false;
    }
    while (end_ < kByteOrderMark.size() && !eof_) {
        if (!refill())
            return false;
    }
    if (std::string_view(buffer_.get(), end_).substr(0, kByteOrderMark.size()) == kByteOrderMark)
        begin_ = kByteOrderMark.size();
    recordsEnd_ = begin_;
    return true;
}

bool RecordReader::refill()
{
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        offset_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) { // one record larger than the buffer
        std::unique_ptr<char[]> larger(new char[capacity_ * 2]);
        std::memcpy(larger.get(), buffer_.get(), end_);
        buffer_ = std::move(larger);
        capacity_ *= 2;
    }
    const long n = read_(buffer_.get() + end_, capacity_ - end_);
    if (n < 0) {
        const int error = errno;
        message_ = "cannot read the file: " + systemMessage(error);
        return false;
    }
    if (n == 0)
        eof_ = true;
    end_ += static_cast<std::size_t>(n);
    return true;
}

bool RecordReader::next(Record* out, const FirstFieldTest* keep, int decoded)
{
    if (done_ || (!started_ && !start())) {
        done_ = true;
        return false;
    }
    if (out != nullptr && out->size() != static_cast<std::size_t>(fields_))
        out->resize(static_cast<std::size_t>(fields_));
    for (;;) {
        const char* cursor = buffer_.get() + begin_;
        const char* end = buffer_.get() + end_;
        Damage damage;
        bool endedByEof = false;
        Step step;
        if (out != nullptr)
            step = parseAsWritten<true>(cursor, end, fields_, out, keep, &lastKept_, decoded)
                       ? Step::Record
                       : parseRecord<true>(cursor, end, eof_, fields_, out, damage, endedByEof,
                                           keep, &lastKept_, decoded);
        else
            step = parseAsWritten<false>(cursor, end, fields_, nullptr, nullptr, nullptr, 0)
                       ? Step::Record
                       : parseRecord<false>(cursor, end, eof_, fields_, out, damage, endedByEof);
        switch (step) {
        case Step::Record:
            begin_ = static_cast<std::size_t>(cursor - buffer_.get());
            ++records_;
            recordsEnd_ = offset_ + begin_;
            lastFieldEndedByEof_ = endedByEof;
            return true;
        case Step::End:
            done_ = true;
            return false;
        case Step::Damaged:
            message_ = damageMessage(records_ + 1, damage, fields_);
            done_ = true;
            return false;
        case Step::NeedMore:
            if (!refill()) {
                done_ = true;
                return false;
            }
            break;
        }
    }
}

} // namespace detail

// --- Public interface ------------------------------------------------------------

void decodeField(std::string_view raw, std::string& out)
{
    if (isValidUtf8(raw)) {
        out.assign(raw);
        return;
    }
    out.clear();
    out.reserve(raw.size() * 2);
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            appendUtf8(kCp1252High[c - 0x80], out);
        else
            appendUtf8(c, out); // the rest is Latin-1
    }
}

std::optional<std::string> encodeRecord(const Record& record, std::string& out)
{
    if (record.empty())
        return "a record needs at least one field";
    std::size_t size = record.size() * 3 + 1; // quotes, commas, CR LF
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (std::memchr(record[i].data(), '"', record[i].size()) != nullptr)
            return "field " + std::to_string(i + 1) +
                   " holds a double quote (\"), which the file cannot store";
        size += record[i].size();
    }
    // One resize and plain copies: the rewrite encodes every record.
    const std::size_t start = out.size();
    out.resize(start + size);
    char* p = out.data() + start;
    for (const auto& field : record) {
        if (p != out.data() + start)
            *p++ = ',';
        *p++ = '"';
        std::memcpy(p, field.data(), field.size());
        p += field.size();
        *p++ = '"';
    }
    *p++ = '\r';
    *p = '\n';
    return std::nullopt;
}

Status parseBuffer(std::string_view bytes, int fields, std::string_view name,
                   const std::function<void(const Record&)>& onRecord)
{
    long long count = 0;
    return parseWhole<true>(bytes, fields, name, count, &onRecord);
}

Status countBuffer(std::string_view bytes, int fields, std::string_view name, long long& count)
{
    return parseWhole<false>(bytes, fields, name, count, nullptr);
}

std::optional<std::string> findOnDisk(const RecordFile& file)
{
    detail::Location where;
    if (detail::locate(file, where).failed() || !where.exists)
        return std::nullopt;
    return where.name;
}

FileStamp stampOf(const RecordFile& file)
{
    detail::Location where;
    struct stat st = {};
    if (detail::locate(file, where).failed() || !where.exists ||
        ::stat(where.path.c_str(), &st) != 0)
        return {};
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
            std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

Status readRecords(const RecordFile& file, const std::function<void(const Record&)>& onRecord,
                   bool* exists)
{
    Record record;
    return readFile(file, exists, [&](RecordReader& reader) {
        while (reader.next(&record))
            onRecord(record);
    });
}

Status readRecordsWhere(const RecordFile& file, const FirstFieldTest& keep,
                        const std::function<void(const Record&)>& onRecord, long long& count,
                        bool* exists)
{
    count = 0;
    Record record;
    return readFile(file, exists, [&](RecordReader& reader) {
        while (reader.next(&record, &keep)) {
            if (reader.lastKept())
                onRecord(record);
        }
        count = reader.records();
    });
}

Status readLeadingFields(const RecordFile& file, int decoded,
                         const std::function<void(const Record&)>& onRecord, bool* exists)
{
    Record record;
    return readFile(file, exists, [&](RecordReader& reader) {
        while (reader.next(&record, nullptr, decoded))
            onRecord(record);
    });
}

Status countRecords(const RecordFile& file, long long& count, bool* exists)
{
    count = 0;
    return readFile(file, exists, [&](RecordReader& reader) {
        while (reader.next(nullptr)) {
        }
        count = reader.records();
    });
}

} // namespace sb::store
