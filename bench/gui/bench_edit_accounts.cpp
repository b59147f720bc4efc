// Adding, editing and removing an account on large record files: the time
// from OK (or Yes) to the refreshed view, with the site and the account row
// selected again. Each round adds an account to a site, edits it and removes
// it, so the files end as they began. Prints median and best of the rounds,
// and the steps on their own: the check read, the append, the rewrite, the
// reload and the selection of the site.
//
//   bench_edit_accounts [sites] [accounts] [rounds]
#include "app/data_store.h"
#include "app/main_window.h"
#include "bench_prompter.h"
#include "dialogs/account/site_accounts.h"
#include "dialogs/dialog_kit.h"
#include "gen_data.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace {

using sb::dialogs::account::Account;
using sb::dialogs::account::SiteAccounts;

// This thread's processor time, which other processes on the machine do
// not inflate (the wall clock also counts waiting for the disk).
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Runs of one thing: wall clock and processor time.
struct Samples
{
    std::vector<double> wall, cpu;
    QElapsedTimer started;
    double cpuStart = 0;

    void start()
    {
        cpuStart = cpuMs();
        started.start();
    }
    void stop()
    {
        wall.push_back(static_cast<double>(started.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - cpuStart);
    }
    void print(const char* what)
    {
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("  %-40s median %7.2f ms  best %7.2f ms  (cpu median %6.2f ms)\n", what,
                    wall[wall.size() / 2], wall.front(), cpu[cpu.size() / 2]);
    }
};

void fail(const char* what)
{
    std::fprintf(stderr, "bench_edit_accounts: %s\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int sites = argc > 1 ? std::atoi(argv[1]) : sb::bench::kLargeDataSet.sites;
    const int accounts = argc > 2 ? std::atoi(argv[2]) : sb::bench::kLargeDataSet.accounts;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 30;

    QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    sb::bench::writeDataSet(path, {sites, accounts});

    sb::bench::BenchPrompter prompter;
    sb::app::Environment env;
    env.dataDir = path;
    env.prompter = &prompter;
    sb::app::frmStashbook window(env);
    window.Start_Up();
    QCoreApplication::processEvents();
    auto* siteList = window.findChild<QListWidget*>(QStringLiteral("lst_Site"));
    auto* users = window.findChild<QListWidget*>(QStringLiteral("lst_Username"));
    auto button = [&](const char* name) {
        return window.findChild<QPushButton*>(QLatin1String(name));
    };
    const int rows = siteList->count();
    std::printf("%d sites, %d accounts, %d rounds\n", rows, window.accountCount(), rounds);

    // The dialog's part: type, then time from the press of OK.
    Samples* timing = nullptr;
    auto typeAndOk = [&](const Account& typed) {
        return [&timing, typed](QDialog& d) {
            d.findChild<QLineEdit*>(QStringLiteral("txt_Username"))->setText(typed.username);
            d.findChild<QLineEdit*>(QStringLiteral("txt_Password"))->setText(typed.password);
            d.findChild<QLineEdit*>(QStringLiteral("txt_Referral_URL"))->setText(typed.extraInfo);
            timing->start();
            sb::dialogs::okCancelButton(&d, "cmd_Add_Account_OK_or_Cancel", 0)->click();
            return d.result();
        };
    };

    Samples add, edit, remove;
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
    }
    if (window.accountCount() != accounts)
        fail("the accounts file did not come back to its size");

    // The steps on their own, on the same files.
    sb::app::DataStore store(path, prompter);
    Samples check, append, rewrite, reload, select;
    for (int i = 0; i < rounds; ++i) {
        siteList->setCurrentRow(static_cast<int>((i * 7919LL) % rows));
        SiteAccounts accountsOfSite(store, siteList->currentItem()->text());
        const Account extra{QStringLiteral("bench-step"), QStringLiteral("pw"), QString()};
        SiteAccounts::Scan scan;
        check.start();
        accountsOfSite.scan(QStringLiteral("nobody"), extra.username, scan);
        check.stop();
        append.start();
        accountsOfSite.add(extra);
        append.stop();
        rewrite.start();
        accountsOfSite.remove(extra.username);
        rewrite.stop();
        reload.start();
        window.Load_Lists();
        reload.stop();
        select.start();
        siteList->setCurrentRow(static_cast<int>((i * 7919LL) % rows));
        select.stop();
    }

    std::printf("From OK (Yes) to the view with site and row selected again:\n");
    add.print("Add Account");
    edit.print("Edit Account");
    remove.print("Remove Account");
    std::printf("Steps:\n");
    check.print("check: one read of the accounts file");
    append.print("append one record");
    rewrite.print("rewrite the accounts file");
    reload.print("reload (Load_Lists)");
    select.print("select the site (reads both files)");
    std::printf("Add = check + append + reload + select; Edit = check + rewrite + reload + "
                "select; Remove = rewrite + reload + select\n");
    return 0;
}
