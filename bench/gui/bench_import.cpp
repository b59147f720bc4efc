// Importing a 10,000-row CSV export into large record files through the
// window, as the user waits for it:
//  - the preview: from the file chosen to the preview dialog shown (reading
//    the export and both record files, the plan, the dialog and its listing);
//  - OK with "Replace their passwords" ticked: the one commit of both files,
//    the reload and the first imported site selected;
//  - the commit alone, on the same files.
// A quarter of the rows are accounts already there with their password, a
// quarter with another password, a quarter new accounts of known sites, a
// quarter new accounts of new sites. The record files are written afresh
// before every run.
//
//   bench_import [sites] [accounts] [runs] [rows]
#include "bench_window.h"
#include "csv/import_plan.h"

#include <QCheckBox>
#include <QListWidget>

namespace {

using sb::bench::fail;
using sb::bench::Timings;
using sb::store::Record;

// The export to import, written as this program writes one.
std::string makeExport(const sb::bench::DataSet& data, int rows)
{
    std::vector<Record> sites, accounts;
    for (int i = 0; i < rows; ++i) {
        const auto& a = data.accounts[size_t(i) * 7 % data.accounts.size()];
        const auto& s = data.sites[size_t(i) * 13 % data.sites.size()];
        const std::string n = std::to_string(i);
        switch (i % 4) {
        case 0:
            accounts.push_back({a[0], a[1], a[2], a[3]});
            break;
        case 1:
            accounts.push_back({a[0], a[1], "changed-" + n, a[3]});
            break;
        case 2:
            accounts.push_back({s[0], "new.user" + n, "pw" + n, "note, " + n});
            break;
        default:
            sites.push_back({"new-site-" + n + ".example", "https://new-site-" + n + ".example"});
            accounts.push_back({sites.back()[0], "user" + n, "pw" + n, ""});
        }
    }
    return sb::csv::exportCsv(sites, accounts);
}

} // namespace

int main(int argc, char* argv[])
{
    sb::bench::BenchProgram program(argc, argv, 7);
    const int rows = argc > 4 ? std::atoi(argv[4]) : 10'000;
    sb::bench::BenchWindow& bench = program.bench;
    const sb::bench::DataSetSize size = sb::bench::sizeFromArgs(argc, argv);
    const QString csvPath = bench.dir.filePath(QStringLiteral("export.csv"));
    const std::string csv = makeExport(sb::bench::makeDataSet(size), rows);
    if (!sb::csv::writeCsvFile(csvPath, csv))
        fail("the export could not be written");
    auto* siteList = bench.window.findChild<QListWidget*>(QStringLiteral("lst_Site"));

    Timings preview, ok, commit;
    sb::store::TempNameGenerator names;
    for (int i = 0; i < program.runs; ++i) {
        sb::bench::writeDataSet(bench.path, size);
        bench.window.Load_Lists();
        bench.prompter.onDialog = [&](QDialog& d) {
            d.show();
            QCoreApplication::processEvents();
            preview.stop();
            d.findChild<QCheckBox*>()->setChecked(true);
            return sb::bench::pressOk(d, "cmd_Import_CSV_OK_or_Cancel", ok);
        };
        preview.start();
        bench.window.Import_CSV_File(csvPath);
        ok.stop();
        if (!siteList->currentItem() || siteList->currentItem()->text() != "new-site-3.example" ||
            siteList->count() != size.sites + rows / 4)
            fail("the import is not listed");

        // The same commit alone, on the files as they were.
        sb::bench::writeDataSet(bench.path, size);
        std::vector<Record> sites, accounts;
        const auto all = [](std::vector<Record>& out) {
            return [&out](const Record& r) { out.push_back(r); };
        };
        sb::csv::CsvFile file;
        if (!sb::csv::parseCsv(csv, file).isEmpty() ||
            !sb::store::readRecords(sb::store::RecordFile::sites(bench.path), all(sites)) ||
            !sb::store::readRecords(sb::store::RecordFile::accounts(bench.path), all(accounts)))
            fail("the files could not be read");
        const sb::csv::ImportPlan plan = sb::csv::planImport(file, sites, accounts);
        const sb::csv::PasswordChanges changes(plan.passwordChanges);
        const sb::store::Rule rule = [&changes](const Record& r) -> sb::store::RuleAnswer {
            const std::string* password = changes.newPassword(r);
            if (!password)
                return sb::store::Keep{};
            Record changed = r;
            changed[2] = *password;
            return sb::store::Replace{std::move(changed)};
        };
        commit.start();
        if (!sb::store::commit(bench.path,
                               {{sb::store::RecordFile::sites(bench.path), {}, plan.sites},
                                {sb::store::RecordFile::accounts(bench.path), rule, plan.accounts}},
                               names))
            fail("the commit failed");
        commit.stop();
    }

    std::printf("%d sites, %d accounts, an export of %d rows, %d runs\n", size.sites, size.accounts,
                rows, program.runs);
    sb::bench::print("  ", 52, "file chosen to the preview shown", preview);
    sb::bench::print("  ", 52, "OK to the first imported site selected", ok);
    sb::bench::print("  ", 52, "the commit of both files alone", commit);
    std::printf("targets: preview under 300 ms: %s; commit under 500 ms: %s\n",
                preview.median() < 300 ? "met" : "MISSED",
                commit.median() < 500 ? "met" : "MISSED");
    return 0;
}
