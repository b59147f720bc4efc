// Measures an import from a CSV export into a large data set, and the export
// of all its accounts:
//  - parsing a 10,000-row export (Chrome's layout) and planning its import
//    against 10,000 sites / 100,000 accounts: a quarter of the rows are
//    accounts already there with their password, a quarter with another
//    password, a quarter new accounts of known sites (names in other letter
//    case), a quarter new accounts of new sites;
//  - finding the accounts whose password changes, as the rewrite of the
//    accounts file does for every record;
//  - exporting every account.
//
// Usage: bench_csv [rows]   (default 10000)
#include "common/name_match.h"
#include "csv/import_plan.h"
#include "gen_data.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace sb::csv;
using sb::store::Record;

constexpr int kRepeats = 7;

template <typename F> double medianMs(F&& run)
{
    std::vector<double> ms;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "bench_csv: wrong result: %s\n", what);
    std::exit(1);
}

std::string upperAscii(std::string s)
{
    for (char& c : s)
        c = sb::common::asciiUpper(c);
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const sb::bench::DataSet data = sb::bench::makeDataSet(sb::bench::kLargeDataSet);
    std::vector<Record> sites, accounts;
    for (const auto& s : data.sites)
        sites.push_back({s[0], s[1]});
    for (const auto& a : data.accounts)
        accounts.push_back({a[0], a[1], a[2], a[3]});

    // The export to import, written as this program writes one.
    std::vector<Record> csvSites, csvAccounts;
    for (int i = 0; i < rows; ++i) {
        const Record& a = accounts[size_t(i) * 7 % accounts.size()];
        const Record& s = sites[size_t(i) * 13 % sites.size()];
        const std::string n = std::to_string(i);
        switch (i % 4) {
        case 0:
            csvAccounts.push_back(a);
            break;
        case 1:
            csvAccounts.push_back({a[0], a[1], "changed-" + n, a[3]});
            break;
        case 2:
            csvAccounts.push_back({upperAscii(s[0]), "new.user" + n, "pw" + n, "note, " + n});
            break;
        default:
            csvSites.push_back(
                {"new-site-" + n + ".example", "https://new-site-" + n + ".example"});
            csvAccounts.push_back({csvSites.back()[0], "user" + n, "pw" + n, ""});
        }
    }
    const std::string csv = exportCsv(csvSites, csvAccounts);

    CsvFile file;
    ImportPlan plan;
    const double parseMs = medianMs([&] {
        if (!parseCsv(csv, file).isEmpty() || file.rows.size() != size_t(rows))
            die("the export does not read back");
    });
    const double planMs = medianMs([&] { plan = planImport(file, sites, accounts); });
    const double bothMs = medianMs([&] {
        parseCsv(csv, file);
        plan = planImport(file, sites, accounts);
    });
    const int known = plan.count(Reason::SamePassword) + plan.count(Reason::OtherPassword) +
                      plan.count(Reason::Repeated);
    if (plan.accounts.size() != size_t(rows - rows / 2) || plan.sites.size() != size_t(rows / 4) ||
        known != rows / 2 || plan.passwordChanges.size() > size_t(rows / 4))
        die("the plan does not match the rows");

    const PasswordChanges changes(plan.passwordChanges);
    size_t changed = 0;
    const double rewriteMs = medianMs([&] {
        changed = 0;
        for (const Record& a : accounts)
            changed += changes.newPassword(a) != nullptr;
    });
    size_t exported = 0;
    const double exportMs = medianMs([&] { exported = exportCsv(sites, accounts).size(); });

    std::printf("Stashbook CSV import and export, median of %d runs\n", kRepeats);
    std::printf("%d sites, %zu accounts; an export of %d rows (%.2f MB)\n", int(sites.size()),
                accounts.size(), rows, double(csv.size()) / 1e6);
    std::printf("  plan: %zu sites and %zu accounts to add, %d same, %d other password, "
                "%d repeated\n",
                plan.sites.size(), plan.accounts.size(), plan.count(Reason::SamePassword),
                plan.count(Reason::OtherPassword), plan.count(Reason::Repeated));
    std::printf("  %-44s %8.2f ms\n", "parse", parseMs);
    std::printf("  %-44s %8.2f ms\n", "plan", planMs);
    std::printf("  %-44s %8.2f ms   (target 300 ms)\n", "parse + plan", bothMs);
    std::printf("  %-44s %8.2f ms   (%zu accounts change)\n",
                "password lookup for every account record", rewriteMs, changed);
    std::printf("  %-44s %8.2f ms   (%.2f MB)\n", "export of every account", exportMs,
                double(exported) / 1e6);
    return 0;
}
