// Measures the record store on a large data set and prints each figure next
// to a reference measured in the same run on the same bytes:
//  - the readers against a plain read of the file and a bare byte-at-a-time
//    loop that counts the same records in memory;
//  - the rewrite (keeping every record) against a plain copy + fsync, and
//    against the same file-system steps as the rewrite without the records;
//  - adding one account against the rewrite of the same file;
//  - renaming a site with its accounts and removing a site with its
//    accounts: one commit of both files against two rewrites, one after the
//    other;
//  - another program appending to or replacing the accounts file during
//    1,000 adds: the records of either side that are lost.
//
// Usage: bench_store [directory]   (default: a new directory under $TMPDIR)
#include "gen_data.h"
#include "other_writer.h"
#include "store/commit.h"
#include "store/record_file.h"
#include "store/rewrite.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace sb::store;
namespace fs = std::filesystem;

constexpr int kRepeats = 7;

struct Timing
{
    double best;   // seconds
    double median; // seconds
};

template <typename F, typename Setup = void (*)()>
Timing measure(
    F&& run, Setup&& setup = [] {})
{
    std::vector<double> seconds;
    for (int i = 0; i < kRepeats; ++i) {
        setup();
        const auto start = std::chrono::steady_clock::now();
        run();
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

// Two ways of doing the same, taken in turns so that both meet the same load
// on the machine, each after `setup` (untimed).
template <typename A, typename B, typename Setup>
std::pair<Timing, Timing> measureInTurns(A&& a, B&& b, Setup&& setup)
{
    std::vector<double> seconds[2];
    for (int i = 0; i < 2 * kRepeats; ++i) {
        setup();
        const auto start = std::chrono::steady_clock::now();
        i % 2 ? b() : a();
        seconds[i % 2].push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    for (auto& s : seconds)
        std::sort(s.begin(), s.end());
    return {{seconds[0].front(), seconds[0][kRepeats / 2]},
            {seconds[1].front(), seconds[1][kRepeats / 2]}};
}

[[noreturn]] void die(const std::string& what)
{
    std::fprintf(stderr, "bench_store: %s\n", what.c_str());
    std::exit(1);
}

void check(const Status& s)
{
    if (s.failed())
        die(s.error().file + ": " + s.error().message);
}

// The simplest reader there is: one byte at a time through a state machine,
// counting the fields of the same records (the data has no blank lines).
long long bareLoopCount(std::string_view bytes, int fields)
{
    enum State { FieldStart, Quoted, AfterText, AfterCr };
    State state = FieldStart;
    long long count = 0;
    for (const char c : bytes) {
        if (state == AfterCr) {
            state = FieldStart;
            if (c == '\n')
                continue;
        }
        switch (state) {
        case FieldStart:
            if (c == '"')
                state = Quoted;
            else if (c == ',' || c == '\n')
                ++count;
            else if (c == '\r')
                ++count, state = AfterCr;
            else if (c != ' ')
                state = AfterText;
            break;
        case Quoted:
            if (c == '"')
                state = AfterText;
            break;
        case AfterText:
            if (c == ',' || c == '\n')
                ++count, state = FieldStart;
            else if (c == '\r')
                ++count, state = AfterCr;
            break;
        case AfterCr:
            break;
        }
    }
    if (state == Quoted || state == AfterText)
        ++count;
    return count / fields;
}

void plainRead(const fs::path& path)
{
    static std::vector<char> buffer(1 << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        die("cannot open " + path.string());
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
}

void copyAndSync(const fs::path& from, const fs::path& to)
{
    static std::vector<char> buffer(256 * 1024);
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (in < 0 || out < 0)
        die("cannot copy " + from.string());
    ssize_t n;
    while ((n = ::read(in, buffer.data(), buffer.size())) > 0) {
        if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n)
            die("cannot write " + to.string());
    }
    if (::fsync(out) != 0)
        die("cannot sync " + to.string());
    ::close(out);
    ::close(in);
}

double mb(std::size_t bytes)
{
    return static_cast<double>(bytes) / 1e6;
}

void printRate(const char* what, std::size_t bytes, const Timing& t)
{
    std::printf("  %-40s %8.0f MB/s  %8.0f MB/s  %7.2f ms\n", what, mb(bytes) / t.best,
                mb(bytes) / t.median, t.best * 1e3);
}

void printTime(const char* what, const Timing& t)
{
    std::printf("  %-40s %8.2f ms  %8.2f ms\n", what, t.best * 1e3, t.median * 1e3);
}

// The first site's name and a rule that renames it, or drops it, in either
// file (the site name is the first field of both kinds of record).
struct SiteChange
{
    std::string from, to; // `to` empty: removed
    Rule rule() const
    {
        return [this](const Record& r) -> RuleAnswer {
            if (r[0] != from)
                return Keep{};
            if (to.empty())
                return Drop{};
            Record renamed = r;
            renamed[0] = to;
            return Replace{renamed};
        };
    }
};

void copyFiles(const fs::path& from, const fs::path& to)
{
    for (const auto name : {kSitesFileName, kAccountsFileName})
        fs::copy_file(from / name, to / name, fs::copy_options::overwrite_existing);
}

// Adds 1,000 accounts while `kind` writes to the file; prints how many
// records of either side are missing afterwards.
void withOtherWriter(const fs::path& dir, sb::bench::Writer kind, const char* what)
{
    sb::bench::writeDataSet(dir, sb::bench::kSmallDataSet);
    const RecordFile accounts = RecordFile::accounts(dir);
    sb::bench::OtherWriter other(kind, (dir / kAccountsFileName).string(), kAccountFields, 1000);
    TempNameGenerator names;
    int failed = 0;
    for (int i = 0; i < 1000; ++i)
        failed += appendRecord(accounts, {"ours", std::to_string(i), "", ""}, names).failed();
    const int theirs = other.stop();
    std::vector<int> ours(1000), others(static_cast<std::size_t>(std::max(theirs, 0)));
    check(readRecords(accounts, [&](const Record& r) {
        auto& seen = r[0] == "ours" ? ours : others;
        if (r[0] == "ours" || r[0] == "other")
            ++seen.at(std::stoul(r[1]));
    }));
    auto lost = [](const std::vector<int>& seen) {
        return std::count(seen.begin(), seen.end(), 0);
    };
    std::printf("  %-36s ours: %4ld of 1000 lost (%d adds failed), theirs: %4ld of %d lost\n", what,
                lost(ours) - failed, failed, lost(others), theirs);
}

} // namespace

int main(int argc, char** argv)
{
    fs::path dir;
    bool removeDir = false;
    if (argc > 1) {
        dir = argv[1];
    } else {
        std::string pattern = (fs::temp_directory_path() / "stashbook-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            die("cannot make a directory in " + fs::temp_directory_path().string());
        dir = pattern;
        removeDir = true;
    }
    sb::bench::writeDataSet(dir, sb::bench::kLargeDataSet);
    const RecordFile accounts = RecordFile::accounts(dir);
    const fs::path accountsPath = dir / std::string(kAccountsFileName);
    std::ifstream in(accountsPath, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    const std::size_t size = bytes.size();

    std::printf("Stashbook record store, %d runs each (best, median)\n", kRepeats);
    std::printf("data in %s: %d sites (%.2f MB), %d accounts (%.2f MB)\n\n", dir.c_str(),
                sb::bench::kLargeDataSet.sites,
                mb(fs::file_size(dir / std::string(kSitesFileName))),
                sb::bench::kLargeDataSet.accounts, mb(size));

    // Every reader must see the same records.
    const long long expected = bareLoopCount(bytes, kAccountFields);
    long long records = 0;
    std::size_t fieldBytes = 0;
    std::string someSite;
    check(readRecords(accounts, [&](const Record& r) {
        if (++records == 1)
            someSite = r[0];
        for (const auto& f : r)
            fieldBytes += f.size();
    }));
    long long counted = 0;
    check(countRecords(accounts, counted));
    if (records != expected || counted != expected || expected != sb::bench::kLargeDataSet.accounts)
        die("the readers disagree on the number of records");

    std::printf("Reading %lld accounts\n", expected);
    const Timing plain = measure([&] { plainRead(accountsPath); });
    long long sink = 0;
    const Timing bare = measure([&] { sink += bareLoopCount(bytes, kAccountFields); });
    const Timing read = measure(
        [&] { check(readRecords(accounts, [&](const Record& r) { sink += r[2].size(); })); });
    const Timing count = measure([&] { check(countRecords(accounts, counted)); });
    // What a view of one site reads: its accounts taken, every other one
    // counted and stepped over.
    const FirstFieldTest oneSite = [&](std::string_view f) { return f == someSite; };
    const Timing pick = measure([&] {
        check(readRecordsWhere(
            accounts, oneSite, [&](const Record& r) { sink += r[2].size(); }, counted));
    });
    const Timing parse = measure([&] {
        check(parseBuffer(bytes, kAccountFields, "memory",
                          [&](const Record& r) { sink += r[2].size(); }));
    });
    printRate("plain read of the file (1 MiB reads)", size, plain);
    printRate("bare byte-at-a-time loop (in memory)", size, bare);
    printRate("readRecords (file)", size, read);
    printRate("countRecords (file)", size, count);
    printRate("readRecordsWhere, one site (file)", size, pick);
    printRate("parseBuffer (in memory)", size, parse);
    std::printf("  readRecords: %.2fx the bare loop, countRecords: %.2fx (target: at least "
                "1x)\n\n",
                bare.best / read.best, bare.best / count.best);

    std::printf("Rewriting the accounts file, keeping every record\n");
    const fs::path copy = dir / "copy.tmp";
    const Timing copied = measure([&] {
        fs::remove(copy);
        copyAndSync(accountsPath, copy);
    });
    // The same file-system steps as the rewrite, without reading records:
    // copy, fsync, rename over an older copy, fsync the directory.
    fs::remove(copy);
    const fs::path replaced = dir / "replaced.tmp";
    fs::copy_file(accountsPath, replaced);
    const Timing copiedAndRenamed = measure([&] {
        copyAndSync(accountsPath, copy);
        fs::rename(copy, replaced);
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        ::fsync(fd);
        ::close(fd);
    });
    fs::remove(replaced);
    TempNameGenerator names;
    const Timing rewritten = measure([&] {
        check(rewriteRecordFile(
            accounts, [](const Record&) -> RuleAnswer { return Keep{}; }, names));
    });
    std::ifstream again(accountsPath, std::ios::binary);
    if (std::string(std::istreambuf_iterator<char>(again), {}) != bytes)
        die("keeping every record changed the file");
    printTime("plain copy + fsync", copied);
    printTime("copy + fsync + rename + directory fsync", copiedAndRenamed);
    printTime("rewriteRecordFile", rewritten);
    std::printf("  rewrite: %.2fx the copy (target: at most 3x), %.2fx the same steps\n\n",
                rewritten.best / copied.best, rewritten.best / copiedAndRenamed.best);

    std::printf("Adding one account to the accounts file\n");
    const Record account{"site 1", "new user", "new password", "https://example.com/ref"};
    const Timing added = measure([&] { check(appendRecord(accounts, account, names)); });
    long long after = 0;
    check(countRecords(accounts, after));
    if (after != expected + kRepeats)
        die("adding did not add one record each time");
    printTime("rewriteRecordFile", rewritten);
    printTime("appendRecord", added);
    std::printf("  add: %.2fx the rewrite (target: under 2x)\n\n", added.best / rewritten.best);

    // Each run starts from the same files, copied back untimed.
    const fs::path pristine = dir / "pristine";
    fs::create_directory(pristine);
    sb::bench::writeDataSet(pristine, sb::bench::kLargeDataSet);
    const std::string site = sb::bench::siteNames(sb::bench::kLargeDataSet).front();
    const RecordFile sites = RecordFile::sites(dir);
    for (const SiteChange& change : {SiteChange{site, site + " (renamed)"}, SiteChange{site, ""}}) {
        std::printf("%s a site with its accounts\n", change.to.empty() ? "Removing" : "Renaming");
        const Rule rule = change.rule();
        const auto [twice, once] = measureInTurns(
            [&] {
                check(rewriteRecordFile(sites, rule, names));
                check(rewriteRecordFile(accounts, rule, names));
            },
            [&] {
                check(commit(dir, {{sites, rule, {}}, {accounts, rule, {}}}, names));
            },
            [&] { copyFiles(pristine, dir); });
        printTime("two rewrites, one after the other", twice);
        printTime("one commit of both files", once);
        std::printf("  commit: %.2fx the two rewrites (median; target: at most 1.2x)\n\n",
                    once.median / twice.median);
    }

    std::printf("Another program writing to a file of %d accounts during 1,000 adds\n",
                sb::bench::kSmallDataSet.accounts);
    const fs::path small = dir / "other-writer";
    fs::create_directory(small);
    withOtherWriter(small, sb::bench::Writer::Appender, "appending");
    withOtherWriter(small, sb::bench::Writer::Replacer, "replacing after checking");
    withOtherWriter(small, sb::bench::Writer::Exchanger, "replacing by exchange, then checking");

    if (removeDir)
        fs::remove_all(dir);
    return sink == -1 ? 1 : 0; // keep the measured work from being optimised away
}
