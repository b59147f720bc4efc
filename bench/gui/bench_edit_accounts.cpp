// Adding, editing and removing an account on large record files: the time
// from OK (or Yes) to the refreshed view, with the site and the account row
// selected again. Each round adds an account to a site, edits it and removes
// it, so the files end as they began; the removal is undone (Ctrl+Z, the
// account back and selected) and made again (Ctrl+Shift+Z) on the way.
// Prints median and best of the rounds,
// and the steps on their own: the check read, the append, the rewrite, the
// reload and the selection of the site.
//
//   bench_edit_accounts [sites] [accounts] [rounds]
#include "app/data_store.h"
#include "bench_window.h"
#include "dialogs/account/site_accounts.h"

#include <QApplication>
#include <QListWidget>

#include <cstdio>
#include <cstdlib>

namespace {

using sb::bench::fail;
using sb::bench::Timings;
using sb::dialogs::account::Account;
using sb::dialogs::account::AccountRow;
using sb::dialogs::account::SiteAccounts;

} // namespace

int main(int argc, char* argv[])
{
    const int accounts = sb::bench::sizeFromArgs(argc, argv).accounts;

    sb::bench::BenchProgram program(argc, argv, 30);
    const int rounds = program.runs;
    sb::bench::BenchWindow& bench = program.bench;
    const std::filesystem::path& path = bench.path;
    sb::bench::BenchPrompter& prompter = bench.prompter;
    sb::app::frmStashbook& window = bench.window;
    auto* siteList = window.findChild<QListWidget*>(QStringLiteral("lst_Site"));
    auto* users = window.findChild<QListWidget*>(QStringLiteral("lst_Username"));
    auto button = [&](const char* name) {
        return window.findChild<QPushButton*>(QLatin1String(name));
    };
    const int rows = siteList->count();
    std::printf("%d sites, %d accounts, %d rounds\n", rows, window.accountCount(), rounds);

    // The dialog's part: type, then time from the press of OK.
    Timings* timing = nullptr;
    auto typeAndOk = [&](const Account& typed) {
        return [&timing, typed](QDialog& d) {
            sb::bench::fillBox(d, "txt_Username", typed.username);
            sb::bench::fillBox(d, "txt_Password", typed.password);
            sb::bench::fillBox(d, "txt_Referral_URL", typed.extraInfo);
            return sb::bench::pressOk(d, "cmd_Add_Account_OK_or_Cancel", *timing);
        };
    };

    Timings add, edit, remove, undo, redo;
    for (int i = 0; i < rounds; ++i) {
        const int site = static_cast<int>((i * 7919LL) % rows);
        siteList->setCurrentRow(site);
        const QString user = QStringLiteral("bench-user-%1").arg(i);

        prompter.onDialog = typeAndOk({user, QStringLiteral("pw"), QString()});
        timing = &add;
        button("cmd_Add_Account")->click();
        add.stop();
        const int added = users->currentRow();
        if (siteList->currentRow() != site || added < 0 || users->item(added)->text() != user)
            fail("the added account is not selected");

        prompter.onDialog = typeAndOk({user, QStringLiteral("changed"), QStringLiteral("x")});
        timing = &edit;
        button("cmd_Edit_Account")->click();
        edit.stop();
        if (siteList->currentRow() != site || users->currentRow() != added)
            fail("the edited account is not selected");

        remove.start(); // the question is answered at once
        button("cmd_Remove_Account")->click();
        remove.stop();
        if (siteList->currentRow() != site || !users->selectedItems().isEmpty())
            fail("the site is not shown again");

        undo.start();
        window.Undo_Last_Change();
        undo.stop();
        if (siteList->currentRow() != site || users->currentRow() != added)
            fail("the account taken back is not selected");
        redo.start();
        window.Redo_Last_Change();
        redo.stop();
        if (siteList->currentRow() != site || users->findItems(user, Qt::MatchExactly).size())
            fail("the account is not removed again");
    }
    if (window.accountCount() != accounts)
        fail("the accounts file did not come back to its size");

    // The steps on their own, on the same files.
    sb::app::DataStore store(path, prompter);
    Timings check, append, rewrite, reload, select;
    for (int i = 0; i < rounds; ++i) {
        siteList->setCurrentRow(static_cast<int>((i * 7919LL) % rows));
        SiteAccounts accountsOfSite(store, siteList->currentItem()->text());
        const Account extra{QStringLiteral("bench-step"), QStringLiteral("pw"), QString()};
        SiteAccounts::Scan scan;
        check.start();
        accountsOfSite.scan(AccountRow{QStringLiteral("nobody")}, extra.username, scan);
        check.stop();
        append.start();
        accountsOfSite.add(extra);
        append.stop();
        rewrite.start();
        accountsOfSite.remove({extra.username});
        rewrite.stop();
        reload.start();
        window.Load_Lists();
        reload.stop();
        select.start();
        siteList->setCurrentRow(static_cast<int>((i * 7919LL) % rows));
        select.stop();
    }

    std::printf("From OK (Yes) to the view with site and row selected again:\n");
    sb::bench::print("  ", 40, "Add Account", add);
    sb::bench::print("  ", 40, "Edit Account", edit);
    sb::bench::print("  ", 40, "Remove Account", remove);
    sb::bench::print("  ", 40, "Ctrl+Z of Remove Account", undo);
    sb::bench::print("  ", 40, "Ctrl+Shift+Z of Remove Account", redo);
    std::printf("Steps:\n");
    sb::bench::print("  ", 40, "check: one read of the accounts file", check);
    sb::bench::print("  ", 40, "append one record", append);
    sb::bench::print("  ", 40, "rewrite the accounts file", rewrite);
    sb::bench::print("  ", 40, "reload (Load_Lists)", reload);
    sb::bench::print("  ", 40, "select the site (reads both files)", select);
    std::printf("Add = check + append + reload + select; Edit = check + rewrite + reload + "
                "select; Remove = rewrite + reload + select\n");
    return 0;
}
