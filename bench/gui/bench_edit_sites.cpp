// Adding, renaming (accounts moved: Yes) and removing a site (accounts too:
// Yes, Yes) on large record files, each timed from the OK click to the
// refreshed list with its site selected again, as the user waits for it;
// each is then undone (Ctrl+Z), timed from the key to the refreshed list.
// Beside them, in the same run, the steps an edit cannot avoid: one rewrite
// of each file, one Load_Lists and one site selection.
//
//   bench_edit_sites [sites] [accounts] [runs]
#include "bench_window.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using sb::bench::fail;
using sb::bench::Timings;

} // namespace

int main(int argc, char* argv[])
{

    sb::bench::BenchProgram program(argc, argv, 15);
    const int runs = program.runs;
    sb::bench::BenchWindow& bench = program.bench;
    const std::filesystem::path& path = bench.path;
    sb::bench::BenchPrompter& prompter = bench.prompter; // every question answered Yes
    sb::app::frmStashbook& window = bench.window;
    auto* siteList = window.findChild<QListWidget*>(QStringLiteral("lst_Site"));
    std::printf("%d sites, %d accounts, %d runs of each\n", siteList->count(),
                window.accountCount(), runs);
    auto rowFor = [siteList](int i) { return static_cast<int>((i * 7919LL) % siteList->count()); };

    Timings add, edit, remove, undoAdd, undoEdit, undoRemove;
    // Ctrl+Z right after the change; the list shows `rows` sites again.
    auto undo = [&](Timings& timing, int rows) {
        timing.start();
        window.Undo_Last_Change();
        timing.stop();
        if (siteList->count() != rows)
            fail("the undo did not bring the list back");
    };
    for (int i = 0; i < runs; ++i) {
        const QString name = QStringLiteral("Bench Site %1").arg(i);
        prompter.onDialog = [&](QDialog& d) {
            sb::bench::fillBox(d, "txt_Add_Site_Name", name); // the address follows
            return sb::bench::pressOk(d, "cmd_Add_Site_OK_or_Cancel", add);
        };
        window.cmd_Add_Site_Click();
        add.stop();
        if (!siteList->currentItem() || siteList->currentItem()->text() != name)
            fail("the added site is not selected");
        undo(undoAdd, siteList->count() - 1);
    }
    for (int i = 0; i < runs; ++i) {
        const int row = rowFor(i);
        siteList->setCurrentRow(row);
        prompter.onDialog = [&](QDialog& d) {
            sb::bench::fillBox(d, "txt_Edit_Site_Name", QStringLiteral("Renamed %1").arg(i));
            return sb::bench::pressOk(d, "cmd_Edit_Site_OK_or_Cancel", edit);
        };
        window.cmd_Edit_Site_Click();
        edit.stop();
        if (siteList->currentRow() != row)
            fail("the row is not selected again after an edit");
        undo(undoEdit, siteList->count());
    }
    prompter.onDialog = nullptr;
    for (int i = 0; i < runs; ++i) {
        const int rows = siteList->count();
        siteList->setCurrentRow(rowFor(i));
        remove.start();
        window.cmd_Rem_Site_Click();
        remove.stop();
        if (siteList->count() != rows - 1)
            fail("the site is still listed after its removal");
        undo(undoRemove, rows);
    }

    // The steps an edit is made of, each alone.
    sb::store::TempNameGenerator names;
    const auto keepAll = [](const sb::store::Record&) {
        return sb::store::RuleAnswer(sb::store::Keep{});
    };
    Timings rewriteSites, rewriteAccounts, load, select;
    for (int i = 0; i < runs; ++i) {
        for (auto [file, timings] :
             {std::pair{sb::store::RecordFile::sites(path), &rewriteSites},
              std::pair{sb::store::RecordFile::accounts(path), &rewriteAccounts}}) {
            timings->start();
            if (!sb::store::commit(path, {{file, keepAll, {}}}, names))
                fail("a rewrite failed");
            timings->stop();
        }
        load.start();
        window.Load_Lists();
        load.stop();
        select.start();
        siteList->setCurrentRow(rowFor(i));
        select.stop();
    }

    sb::bench::print("", 50, "Add Site: OK to the new site selected", add);
    sb::bench::print("", 50, "Edit Site, transfer Yes: OK to the row selected", edit);
    sb::bench::print("", 50, "Remove Site, Yes, Yes: click to the reloaded list", remove);
    sb::bench::print("", 50, "Ctrl+Z of Add Site", undoAdd);
    sb::bench::print("", 50, "Ctrl+Z of Edit Site (accounts moved back)", undoEdit);
    sb::bench::print("", 50, "Ctrl+Z of Remove Site (its accounts back)", undoRemove);
    sb::bench::print("", 50, "one rewrite of the sites file", rewriteSites);
    sb::bench::print("", 50, "one rewrite of the accounts file", rewriteAccounts);
    sb::bench::print("", 50, "one Load_Lists", load);
    sb::bench::print("", 50, "one site selection", select);
    const double steps =
        rewriteSites.median() + rewriteAccounts.median() + load.median() + select.median();
    const double cpuSteps = rewriteSites.cpuMedian() + rewriteAccounts.cpuMedian() +
                            load.cpuMedian() + select.cpuMedian();
    std::printf("sum of the four steps (medians): %.2f ms (cpu %.2f ms); the edit takes %.2fx "
                "of it (cpu %.2fx)\n",
                steps, cpuSteps, edit.median() / steps, edit.cpuMedian() / cpuSteps);
    const bool fast = std::max({add.median(), edit.median(), remove.median()}) < 100.0;
    std::printf("target: each under 100 ms: %s; the edit within 2x of the steps: %s\n",
                fast ? "met" : "MISSED", edit.median() < 2 * steps ? "met" : "MISSED");
    const bool undoFast = undoAdd.median() <= add.median() && undoEdit.median() <= edit.median() &&
                          undoRemove.median() <= remove.median();
    std::printf("target: each undo no longer than the change it undoes: %s (%.2fx, %.2fx, %.2fx)\n",
                undoFast ? "met" : "MISSED", undoAdd.median() / add.median(),
                undoEdit.median() / edit.median(), undoRemove.median() / remove.median());
    return 0;
}
