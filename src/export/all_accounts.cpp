#include "export/all_accounts.h"

#include "common/name_match.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sb::exporting {

namespace {

// Hashes text as if upper-cased byte by byte (FNV-1a). For ASCII text that
// is the hash of its upper case; text that is already upper case hashes the
// same either way.
std::uint64_t upperHash(std::string_view s, bool& ascii)
{
    std::uint64_t h = 14695981039346656037ull;
    ascii = true;
    for (const char c : s) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        h = (h ^ static_cast<unsigned char>(common::asciiUpper(c))) * 1099511628211ull;
    }
    return h;
}

// The site names of the list, each a group of account lines, found by the
// upper case of a site field. Fields are nearly always ASCII and are then
// matched byte by byte without building their upper case; any other text is
// upper-cased by Qt, as every other comparison of names does.
//
// A file is read afresh for every listing and most of a lookup's time goes
// on fetching memory: the table is small, each slot holds where its key is,
// and the keys lie one after the other.
class SiteGroups
{
public:
    explicit SiteGroups(size_t expected)
    {
        size_t size = 16;
        while (size < expected + expected / 2)
            size *= 2;
        slots_.assign(size, Slot{});
    }

    // The group of `name` (a row of the list), made on first use.
    int add(const QString& name)
    {
        const std::string key = common::upperUtf8(name);
        bool ascii = false;
        const std::uint64_t h = upperHash(key, ascii);
        Slot& slot = find(key, h, false);
        if (slot.group < 0) {
            slot = {static_cast<std::uint32_t>(h >> 32), groups_++,
                    static_cast<std::uint32_t>(keys_.size()),
                    static_cast<std::uint32_t>(key.size())};
            keys_ += key;
        }
        return slot.group;
    }

    // The group of a site field (UTF-8), or -1 when no row names it.
    int lookUp(std::string_view field)
    {
        // Accounts of one site often follow each other in the file.
        if (!haveLast_ || field != last_) {
            last_.assign(field);
            lastGroup_ = search(field);
            haveLast_ = true;
        }
        return lastGroup_;
    }

    size_t size() const { return static_cast<size_t>(groups_); }

private:
    struct Slot
    {
        std::uint32_t tag = 0; // the high half of the key's hash
        int group = -1;        // -1: free
        std::uint32_t keyStart = 0;
        std::uint32_t keySize = 0;
    };

    int search(std::string_view field)
    {
        bool ascii = false;
        const std::uint64_t h = upperHash(field, ascii);
        if (ascii)
            return find(field, h, true).group;
        scratch_ = common::upperUtf8(common::fromUtf8(field));
        return find(scratch_, upperHash(scratch_, ascii), false).group;
    }

    // The slot that holds `text`, or the free slot where it would go. With
    // `fold` the text is compared as upper-cased byte by byte.
    Slot& find(std::string_view text, std::uint64_t h, bool fold)
    {
        const size_t mask = slots_.size() - 1;
        const auto tag = static_cast<std::uint32_t>(h >> 32);
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.group < 0 || (slot.tag == tag && slot.keySize == text.size() &&
                                   equal(keys_.data() + slot.keyStart, text, fold)))
                return slot;
        }
    }

    static bool equal(const char* upper, std::string_view text, bool fold)
    {
        if (!fold)
            return std::memcmp(upper, text.data(), text.size()) == 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (common::asciiUpper(text[i]) != upper[i])
                return false;
        }
        return true;
    }

    std::vector<Slot> slots_; // open addressing
    std::string keys_;        // the upper-case names, one after the other
    int groups_ = 0;
    std::string scratch_;
    bool haveLast_ = false;
    std::string last_; // the field looked up last, and its group
    int lastGroup_ = -1;
};

// The account lines, one after the other in file order, as UTF-8 like the
// file. The text is made as the records are read, while their fields are
// still at hand; putting it in the order of the site list is then a matter
// of copying runs of bytes, and the whole is turned into a QString once.
class LineStore
{
public:
    explicit LineStore(size_t expected) { grow(std::max<size_t>(expected, 4096)); }

    // Adds the line of one account; returns its length in bytes.
    size_t add(const store::Record& r, bool withExtraInfo)
    {
        const size_t length = r[1].size() + r[2].size() + (withExtraInfo ? r[3].size() + 1 : 0) + 3;
        if (size_ + length > capacity_)
            grow(std::max(capacity_ * 2, size_ + length));
        char* to = data_.get() + size_;
        to = put(r[1], to);
        *to++ = ' ';
        to = put(r[2], to);
        if (withExtraInfo) {
            *to++ = ' ';
            to = put(r[3], to);
        }
        *to++ = '\r';
        *to = '\n';
        starts_.push_back(size_);
        size_ += length;
        return length;
    }

    size_t lines() const { return starts_.size(); }
    // The text of lines `first` to `last`, both included.
    std::string_view text(size_t first, size_t last) const
    {
        const size_t end = last + 1 < starts_.size() ? starts_[last + 1] : size_;
        return {data_.get() + starts_[first], end - starts_[first]};
    }

private:
    static char* put(const std::string& field, char* to)
    {
        std::memcpy(to, field.data(), field.size());
        return to + field.size();
    }

    void grow(size_t capacity)
    {
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0)
            std::memcpy(data.get(), data_.get(), size_);
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    std::vector<size_t> starts_;
};

} // namespace

store::Status allAccountsText(const store::RecordFile& accounts, const QStringList& siteNames,
                              bool withExtraInfo, bool showSites, QString& out)
{
    // One pass over the file gathers the account lines of the listed sites,
    // chained site by site in file order; they are then put in the order of
    // the list. Rows that name the same site ignoring letter case share one
    // chain of lines.
    SiteGroups groups(static_cast<size_t>(siteNames.size()));
    std::vector<int> rowGroup;
    rowGroup.reserve(static_cast<size_t>(siteNames.size()));
    for (const QString& name : siteNames)
        rowGroup.push_back(groups.add(name));

    // A line takes no more bytes than its record takes in the file.
    size_t fileSize = 0;
    if (const auto onDisk = store::findOnDisk(accounts)) {
        std::error_code ignored;
        fileSize = static_cast<size_t>(std::filesystem::file_size(accounts.dir / *onDisk, ignored));
    }
    LineStore lines(fileSize);
    std::vector<int> next; // the next line of the same site, or -1
    std::vector<int> first(groups.size(), -1);
    std::vector<int> last(groups.size(), -1);
    std::vector<size_t> units(groups.size(), 0); // the length of each site's lines
    const store::Status st = store::readRecords(accounts, [&](const store::Record& r) {
        if (r.size() < size_t{store::kAccountFields})
            return;
        const int group = groups.lookUp(r[0]);
        if (group < 0)
            return;
        const auto g = static_cast<size_t>(group);
        const auto line = static_cast<int>(lines.lines());
        units[g] += lines.add(r, withExtraInfo);
        next.push_back(-1);
        (last[g] < 0 ? first[g] : next[static_cast<size_t>(last[g])]) = line;
        last[g] = line;
    });
    if (st.failed())
        return st;

    // A UTF-8 byte never makes more than one UTF-16 unit.
    qsizetype most = 0;
    for (qsizetype row = 0; row < siteNames.size(); ++row) {
        most +=
            static_cast<qsizetype>(units[static_cast<size_t>(rowGroup[static_cast<size_t>(row)])]);
        if (showSites) // the name line and the empty line
            most += siteNames[row].size() + 4;
    }

    // The lines go straight from their bytes into the text, run by run:
    // lines that follow each other in the file are converted at once.
    QString text(most, Qt::Uninitialized);
    QChar* to = text.data();
    QStringDecoder utf8 = common::fieldDecoder();
    const QLatin1StringView lineEnd("\r\n");
    auto put = [&to](QStringView part) { to = std::copy(part.begin(), part.end(), to); };
    for (qsizetype row = 0; row < siteNames.size(); ++row) {
        if (showSites) {
            put(siteNames[row]);
            to = std::copy(lineEnd.begin(), lineEnd.end(), to);
        }
        for (int i = first[static_cast<size_t>(rowGroup[static_cast<size_t>(row)])]; i >= 0;) {
            int j = i;
            while (next[static_cast<size_t>(j)] == j + 1)
                ++j;
            const std::string_view run = lines.text(static_cast<size_t>(i), static_cast<size_t>(j));
            to = utf8.appendToBuffer(
                to, QByteArrayView(run.data(), static_cast<qsizetype>(run.size())));
            i = next[static_cast<size_t>(j)];
        }
        if (showSites)
            to = std::copy(lineEnd.begin(), lineEnd.end(), to);
    }
    text.truncate(to - text.constData());
    out = std::move(text);
    return {};
}

} // namespace sb::exporting
