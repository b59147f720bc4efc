// Fuzz target of the record reader. Any input must parse without a crash, and
// the readers must agree with each other:
//  - counting gives as many records as reading, and the same error;
//  - the streaming reader, fed in small pieces or all at once, gives what the
//    whole buffer gives, also when it takes only the records whose first
//    field passes a test;
//  - every field read is valid UTF-8;
//  - records written by the writer read back as they were.
#include "store/record_file.h"
#include "store/record_io.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace sb::store;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_reader: %s\n", what);
        std::abort();
    }
}

std::string messageOf(const Status& s)
{
    return s ? std::string() : s.error().message;
}

// Valid UTF-8 decodes to itself; anything else is read as Windows-1252.
std::string decoded(const std::string& raw)
{
    std::string out;
    decodeField(raw, out);
    return out;
}

void checkReaders(std::string_view bytes, int fields, std::size_t piece, std::size_t capacity)
{
    std::vector<Record> whole;
    const Status parsed = parseBuffer(bytes, fields, "fuzz", [&](const Record& r) {
        check(r.size() == static_cast<std::size_t>(fields), "record with a wrong field count");
        for (const auto& field : r)
            check(decoded(field) == field, "field read is not valid UTF-8");
        whole.push_back(r);
    });

    long long count = -1;
    const Status counted = countBuffer(bytes, fields, "fuzz", count);
    check(count == static_cast<long long>(whole.size()), "count differs from records read");
    check(messageOf(counted) == messageOf(parsed), "count fails differently");

    // Feed the streaming reader a few bytes at a time from a tiny buffer, so
    // that records are cut at every possible place; or all at once, as from
    // a file.
    std::size_t offset = 0;
    const auto fromStart = [&] {
        offset = 0;
        return detail::RecordReader(
            [&](char* into, std::size_t size) -> long {
                const std::size_t n = std::min({size, piece, bytes.size() - offset});
                std::copy_n(bytes.data() + offset, n, into);
                offset += n;
                return static_cast<long>(n);
            },
            fields, capacity);
    };
    detail::RecordReader reader = fromStart();
    Record record;
    std::size_t i = 0;
    while (reader.next(&record))
        check(i < whole.size() && record == whole[i++], "streaming reader reads other records");
    check(i == whole.size(), "streaming reader reads fewer records");
    check(reader.message() == messageOf(parsed), "streaming reader fails differently");

    // Taking only the records whose first field passes a test gives those
    // records, and steps over the others without losing count.
    detail::RecordReader picker = fromStart();
    const FirstFieldTest evenLength = [](std::string_view f) { return f.size() % 2 == 0; };
    i = 0;
    while (picker.next(&record, &evenLength)) {
        check(i < whole.size(), "picking reader reads more records");
        const Record& expected = whole[i++];
        check(picker.lastKept() == (expected[0].size() % 2 == 0), "picking reader picks wrongly");
        check(!picker.lastKept() || record == expected, "picking reader reads other records");
    }
    check(picker.records() == static_cast<long long>(whole.size()) && i == whole.size(),
          "picking reader counts otherwise");
    check(picker.message() == messageOf(parsed), "picking reader fails differently");

    // Decoding only the leading fields gives those, and as many records.
    i = 0;
    detail::RecordReader lead = fromStart();
    Record first;
    while (lead.next(&first, nullptr, 1)) {
        check(i < whole.size() && first[0] == whole[i][0], "leading fields read otherwise");
        check(std::all_of(first.begin() + 1, first.end(), [](const auto& f) { return f.empty(); }),
              "fields after the leading ones decoded");
        ++i;
    }
    check(i == whole.size() && lead.message() == messageOf(parsed),
          "leading-field reader counts or fails otherwise");
}

// Cuts the input into fields at NUL bytes, leaving out double quotes (the
// writer refuses them), and checks that the writer's bytes read back.
void checkRoundTrip(std::string_view bytes, int fields)
{
    const auto size = static_cast<std::size_t>(fields);
    std::vector<Record> records(1, Record(1));
    for (const char c : bytes) {
        if (c == '\0' && records.back().size() == size)
            records.emplace_back(1);
        else if (c == '\0')
            records.back().emplace_back();
        else if (c != '"')
            records.back().back() += c;
    }
    std::string encoded;
    for (auto& r : records) {
        r.resize(size);
        check(!encodeRecord(r, encoded), "writer refuses a field without a double quote");
    }

    std::size_t i = 0;
    const Status s = parseBuffer(encoded, fields, "fuzz", [&](const Record& r) {
        check(i < records.size(), "more records read back than written");
        for (std::size_t f = 0; f < size; ++f)
            check(r[f] == decoded(records[i][f]), "field reads back differently");
        ++i;
    });
    check(!s.failed() && i == records.size(), "written records do not read back");

    Record quoted(size);
    quoted.back() = "a\"b";
    std::string untouched = encoded;
    check(encodeRecord(quoted, untouched).has_value(), "writer accepts a double quote");
    check(untouched == encoded, "refused record changed the output");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const int fields : {kSiteFields, kAccountFields}) {
        checkReaders(bytes, fields, 1 + size % 7, 4);
        checkReaders(bytes, fields, size + 1, detail::RecordReader::kDefaultCapacity);
        checkRoundTrip(bytes, fields);
    }
    return 0;
}
