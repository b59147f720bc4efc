// Adding, editing and removing accounts from the main window, with the real
// dialogs typed into offscreen: what is asked and told, where the focus
// goes after a refusal, what the accounts file holds afterwards and which
// account is selected.
#include "support/window_driver.h"

#include <QtTest>

namespace {

// Sites Bank (no accounts), Mail and News, listed in that order. News lists
// zed, alice, mike; Mail alice. Some records spell their site otherwise than
// the sites file.
const QString kAccounts = "NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|news,alice,pw-a,x-a|News,mike,pw-m,";
const QString kDuplicate = "boxes = [Stashbook]  :ERROR:  Account Already Exists; said = Cannot "
                           "Create '%1'. Account Already Exists.";
const QString kInvalid = "[Stashbook]  :ERROR:  Invalid Character";
const QString kQuote = "Cannot Save A Double Quote (\") In The ";
const QString kRemoved = "answers y; %1; enter cmd_Remove_Account; boxes = [Stashbook]  :Remove "
                         "Account:  Are You Sure?; said = Are You Sure You Want To Remove The "
                         "Account:  %2; focus = cmd_Add_Account; sel = -1; ";
const QString kNotFound = "boxes = [Stashbook]  :ERROR:  Account Not Found; said = Cannot Find The "
                          "Account 'alice'. It Is No Longer In The Accounts File.; ";

} // namespace

class TestAccountEditing : public QObject, sb::test::WindowDriver
{
    Q_OBJECT

private slots:
    void init() { fresh(); }
    void cleanup() { window.reset(); }

    // The script on the window over the files above (`accounts` replaces
    // the accounts file; "-": none), and the steps in the dialog it opens.
    // Add selects the new account by its name, Edit the same row again,
    // whatever the edit changed; a refused OK keeps the dialog open on the
    // box at fault. A removal removes that one record, nothing else, and
    // shows the site again with no account selected.
    void scripts_data()
    {
        QTest::addColumn<QString>("accounts");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("dialog");
        const auto row = [](const char* name, const QString& accounts, const QString& script,
                            const QString& dialog = {}) {
            QTest::newRow(name) << accounts << script << dialog;
        };
        const QString news = "site News; row lst_Username ", add = "; enter cmd_Add_Account; ",
                      edit = "; enter cmd_Edit_Account; ";
        row("Add: the same name in other letter case refused, then corrected", kAccounts,
            news + "1" + add + kDuplicate.arg("ALICE") + "; file A = " + kAccounts +
                "|News,alice2,other,; sel = 3; account = alice2,other,; focus = cmd_Add_Account; "
                "on ~ Edit_Account Remove_Account",
            "focus = 0; type 0 ALICE; type 1 other; close Enter; focus = 0; type 0 alice2; close "
            "Enter");
        row("Add: the same name at another site", kAccounts,
            "site Mail" + add + "file A = " + kAccounts + "|Mail,zed,p,e; sel = 1",
            "type 0 zed; type 1 p; type 2 e; close Enter");
        row("Add: leading and trailing blanks count", kAccounts,
            news + "0" + add + "file A = " + kAccounts + "|News, alice ,,; sel = 3",
            "type 0  alice ; close Enter");
        row("Add: no accounts file: the placeholder row gives way", "-",
            "site Bank; row lst_Username 0" + add +
                "file A = Bank,new,,; rows lst_Username = new; sel = 0; account = new,,",
            "type 0 new; close Enter");
        row("Add: a double quote refused", kAccounts,
            news + "2" + add + "boxes = " + kInvalid + "|" + kInvalid + "; said = " + kQuote +
                "Password.|" + kQuote + "Extra Info.; unchanged A; sel = 2",
            "type 0 bob; type 1 pa\"ss; close Enter; focus = 1; type 0 bob; type 1 pass; type 2 "
            "x\"; close Enter; focus = 2; close Cancel");
        row("Add: a pasted line end is dropped: a duplicate", kAccounts,
            news + "1" + add + kDuplicate.arg("alice") + "; unchanged A; sel = 1",
            "type 0 alice\r\n; close Enter; focus = 0; close Cancel");
        row("Add: Cancel keeps the row", kAccounts,
            news + "1" + add +
                "dialogs = 1; unchanged A; sel = 1; rows lst_Username = "
                "zed|alice|mike",
            "close Cancel");
        row("Add: Cancel on the placeholder", kAccounts,
            "site Bank" + add + "unchanged A; sel = -1; rows lst_Username = -- NO --",
            "close Cancel");

        row("Edit: password and extra info keep the position", kAccounts,
            news + "1" + edit +
                "file A = NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|News,alice,new-pw,|News,mike,pw-m,; "
                "sel = 1; account = alice,new-pw,; on ~ Edit_Account Remove_Account",
            "focus = 0; text 3 = alice; text 4 = pw-a; text 5 = x-a; type 1 new-pw; type 2 ; "
            "close Enter");
        row("Edit: letter case only", kAccounts,
            news + "0" + edit +
                "file A = News,ZED,pw-z,x-z|Mail,alice,pw-ma,|news,alice,pw-a,"
                "x-a|News,mike,pw-m,; sel = 0; account = ZED,pw-z,x-z",
            "type 0 ZED; close Enter");
        row("Edit: the name of another account of the site refused", kAccounts,
            news + "2" + edit +
                "boxes = [Stashbook]  :RENAME ERROR:  Site Already Exists; said = "
                "Cannot Rename To 'ALICE'. Account Already Exists.; unchanged A; "
                "sel = 2",
            "type 0 ALICE; close Enter; focus = 0; close Cancel");
        row("Edit: a name found at another site only", kAccounts,
            "site Mail; row lst_Username 0" + edit +
                "file A = NEWS,zed,pw-z,x-z|Mail,zed,pw-ma,|news,alice,pw-a,x-a|News,mike,pw-m,;"
                " sel = 0",
            "type 0 zed; close Enter");
        row("Edit: a megabyte of extra info, byte for byte", "News,big,pw," + QString(1 << 20, 'x'),
            news + "0" + edit + "unchanged A; sel = 0", "close Enter");
        row("Edit: no change writes the site as listed", kAccounts,
            news + "0" + edit +
                "file A = News,zed,pw-z,x-z|Mail,alice,pw-ma,|news,alice,pw-a,"
                "x-a|News,mike,pw-m,; sel = 0",
            "close Enter");
        row("Edit: the second record of a name: that one only",
            "News,bob,1,a|Mail,alice,pw-ma,|NEWS,BOB,2,b",
            news + "1" + edit +
                "file A = News,bob,1,a|Mail,alice,pw-ma,|News,Rob,9,b; sel = 1; "
                "account = Rob,9,b",
            "text 3 = BOB; type 0 Rob; type 1 9; close Enter");
        row("Edit: a double quote refused", kAccounts,
            news + "1" + edit + "boxes = " + kInvalid + "; said = " + kQuote +
                "Username.; unchanged A; sel = 1",
            "type 0 al\"ice; close Enter; focus = 0; close Cancel");
        row("Edit: Cancel", kAccounts, news + "2" + edit + "unchanged A; sel = 2",
            "text 3 = mike; close Cancel");

        row("Remove: the only account", kAccounts,
            kRemoved.arg("site Mail; row lst_Username 0", "alice") +
                "file A = NEWS,zed,pw-z,x-z|news,alice,pw-a,x-a|News,mike,pw-m,; rows "
                "lst_Username = -- NO --; text cmd_Site_Name ~ [SITE: Mail");
        row("Remove: the others keep their order, other sites keep theirs", kAccounts,
            kRemoved.arg(news + "1", "alice") +
                "file A = NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|News,mike,pw-m,; rows lst_Username "
                "= zed|mike");
        row("Remove: the second record of a name: that one only",
            "News,bob,1,|news,alice,pw-a,x-a|NEWS,BOB,2,",
            kRemoved.arg(news + "2", "BOB") +
                "file A = News,bob,1,|news,alice,pw-a,x-a; rows lst_Username = bob|alice");
        row("Remove: an empty user name", "News,,p,|news,alice,pw-a,x-a",
            kRemoved.arg(news + "0", "") +
                "file A = news,alice,pw-a,x-a; rows lst_Username = alice");
        row("Remove: No changes nothing", kAccounts,
            "answers n; " + news +
                "1; enter cmd_Remove_Account; unchanged A; sel = 1; rows "
                "lst_Username = zed|alice|mike");

        // The account vanished from the file (another program, or a restored
        // backup) before the dialog opened or while it was open: no dialog,
        // or nothing written; the user is told and the view is read afresh.
        const QString gone = "write A NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|News,mike,pw-m,";
        const QString afresh = "rows lst_Username = zed|mike; sel = 1";
        row("Edit: the account gone before opening", kAccounts,
            news + "1; " + gone + edit + "dialogs = 0; " + kNotFound + afresh);
        row("Edit: the accounts file gone before opening", kAccounts,
            news + "1; remove A" + edit + "dialogs = 0; " + kNotFound +
                "rows lst_Username = -- NO --; sel = -1");
        row("Edit: the account gone at OK", kAccounts,
            news + "1" + edit + "dialogs = 1; " + kNotFound + afresh,
            "type 0 ann; type 1 p; " + gone + "; close Enter; open = 0");
        row("Edit: the accounts file gone at OK", kAccounts,
            news + "1" + edit + kNotFound + "files = SB-Sites.DaT; rows lst_Username = -- NO --",
            "type 0 ann; type 1 p; remove A; close Enter; open = 0");
    }

    void scripts()
    {
        QFETCH(QString, accounts);
        QFETCH(QString, script);
        QFETCH(QString, dialog);
        dialogSteps = dialog;
        run("write S News,n|Mail,m|Bank,b; " +
            (accounts == "-" ? QString() : "write A " + accounts + "; ") + script);
    }
};

QTEST_MAIN(TestAccountEditing)
#include "tst_account_editing.moc"
