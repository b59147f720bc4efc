// Adding, renaming and removing sites and adding, editing and removing
// accounts through the dialogs, the Rem button and the account buttons,
// driven through the main window and the widgets as a person would: what
// the boxes show while typing, what is asked and told, where the focus goes
// after a refusal, how a dialog closes, what the files hold afterwards and
// what is selected.
#include "support/window_driver.h"

#include <QtTest>

namespace {

const QString kInvalid = "[Stashbook]  :ERROR:  Invalid Character";
const QString kTaken = "[Stashbook]  :ERROR:  Site Name Already Exists";
const QString kNotFound = "[Stashbook]  :ERROR:  Site Not Found";
const QString kTransfer = "[Stashbook]  :Account Transfer:  Transfer?";
const QString kRemove = "[Stashbook]  :Remove Site:  Are You Sure?|[Stashbook]  :Remove Site:  "
                        "Update Accounts ?";
const QString kError = "[Stashbook]  :File Error:  SB-";
// "News" stands twice, in two letter cases (a file edited by hand); the
// list shows Mail, News, news.
const QString kNews = "write S News,news.example|Mail,mail.example|news,n2.example; write A "
                      "NEWS,zed,pw-z,|Mail,bob,pw-b,x|news,alice,pw-a,y; ";
const QString kNewsDamaged = "file S = News,news.example|Mail,mail.example|news,n2.example|\"Cut\"";
// In file order, unsorted: the list shows Apple, Banana, Cherry.
const QString kFruit = "write S Cherry,cherry.example|Apple,apple.example|Banana,banana.example; ";

// For the accounts: sites Bank (no accounts), Mail and News, listed in
// that order. News lists zed, alice, mike; Mail alice. Some records spell
// their site otherwise than the sites file.
const QString kAccounts = "NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|news,alice,pw-a,x-a|News,mike,pw-m,";
const QString kDuplicate = "boxes = [Stashbook]  :ERROR:  Account Already Exists; said = Cannot "
                           "Create '%1'. Account Already Exists.";
const QString kQuote = "Cannot Save A Double Quote (\") In The ";
const QString kRemoved =
    "answers y; %1; enter cmd_Remove_Account; boxes = [Stashbook]  :Remove Account:  Are You "
    "Sure?; said = Are You Sure You Want To Remove The Account:  %2; focus = "
    "cmd_Add_Account; sel = -1; ";
const QString kAccountNotFound =
    "boxes = [Stashbook]  :ERROR:  Account Not Found; said = Cannot Find The Account 'alice'. It "
    "Is No Longer In The Accounts File.; ";

} // namespace

class TestDialogs : public QObject, sb::test::WindowDriver
{
    Q_OBJECT

private slots:
    void init() { fresh(); }

    // A row's name, after " | " the script on the window, and after " || "
    // the steps in the dialog it opens. A refusal keeps the dialog open on
    // the box at fault, its text selected;
    // the list is read afresh after every closing, a new site selected by
    // its name, an edited one by its row, whichever site that now holds; a
    // new account by its name, an edited one by its row, and a removal
    // shows the site again with no account selected.
    void scripts_data()
    {
        scriptColumns();
        const auto row = scriptRow;
        const QString add = "click cmd_Add_Site; ", edit = "site News; click cmd_Edit_Site; ",
                      remove = "site news; click cmd_Rem_Site; boxes = " + kRemove;
        row("add: the address follows the name; a double quote is refused | " + add +
            "boxes = " + kInvalid +
            "; files = ; nosite || focus = 0; keys 0 a; text 1 = www.a.com; keys 0 b; text 1 "
            "= www.ab.com; keys 0 c; text 1 = www.abc.com; key 0 Tab; keys 1 my.example; "
            "text 1 = my.example; key 1 Shift+Tab; key 0 End; keys 0 d; text 1 = "
            "www.abcd.com; key 0 Ctrl+A; key 0 Del; text 1 = www..com; key 0 Tab; keys 1 "
            "a\"b; close OK; focus = 1; close Esc");
        row("add: Enter makes the missing file | " + add +
            "file S = Mail,www.Mail.com; rows "
            "lst_Site = Mail; sel lst_Site = 0; focus = cmd_Add_Site || type 0 Mail; close Enter");
        row("add: found by name where it sorts | " + kFruit + add +
            "rows lst_Site = Apple|Banana|blueberry|Cherry; sel lst_Site = 2 || type 0 "
            "blueberry; close OK");
        row("add: taken in another letter case, refused as typed, then corrected | " + kFruit +
            add + "boxes = " + kTaken +
            "; said = Cannot Create 'APPLE'. Site Name Already Exists.; rows lst_Site = "
            "Apple|Apricot|Banana|Cherry; sel lst_Site = 1 || type 0 APPLE; close OK; "
            "focus = 0; type 0 Apricot; close OK");
        row("add: blanks count | " + kNews + add +
            "file S = News,news.example|Mail,mail.example|news,n2.example| News,; text "
            "cmd_Site_Name ~ [SITE:  News ]; focus = cmd_Add_Site || type 0  News; type "
            "1 ; close OK");
        row("add: a double quote in the name | " + kNews + add + "boxes = " + kInvalid +
            "; said = Site Names And Site URL Locations Cannot Contain A Double Quote (\").; "
            "unchanged S || type 0 Ne\"ws; type 1 u; close OK; focus = 0; close Esc");
        for (const char* how : {"Cancel", "Esc", "close box", "Enter on Cancel"})
            QTest::addRow("add: %s", how)
                << kFruit + add + "rows lst_Site = Apple|Banana|Cherry; nosite; unchanged S"
                << QString("type 0 Date; close ") + how;
        row("add: a failed write keeps the dialog open with the name | " + kFruit + "noroom; " +
            add + "boxes = " + kError +
            "Sites.DaT; nosite; unchanged S || type 0 Date; close OK; focus = 0; text 0 = "
            "Date; close Esc");

        // The stored values, the old ones for reference; the address
        // proposed for the name is replaced by the stored one.
        row("edit: a rename moves the site; the row is selected again | " + kFruit +
            "answers y; row lst_Site 0; click cmd_Edit_Site; rows lst_Site = "
            "Banana|Cherry|Zebra; sel lst_Site = 0; focus = cmd_Add_Site || focus = 0; "
            "text 0 = Apple; text 1 = apple.example; text 2 = Apple; text 3 = "
            "apple.example; enabled 2 = 0; enabled 3 = 0; keys 0 Zebra; text 1 = "
            "www.Zebra.com; close OK");
        row("edit: Cancel after typing | " + kFruit +
            "row lst_Site 1; click cmd_Edit_Site; sel "
            "lst_Site = 1; unchanged S; focus = cmd_Add_Site || keys 0 Date; text 1 = "
            "www.Date.com; close Cancel");
        row("edit: another letter case; Yes moves every account of the site | " + kNews +
            "answers y; " + edit + "boxes = " + kTransfer +
            "; said = Would You Like The Accounts That Use The Old Site Name (News)\r\nTo Be "
            "Transfered To The New Site Name (NEWS) ?; file S = "
            "NEWS,u|Mail,mail.example|NEWS,u; file A = "
            "NEWS,zed,pw-z,|Mail,bob,pw-b,x|NEWS,alice,pw-a,y || type 0 NEWS; type 1 u; "
            "close OK");
        row("edit: No leaves the accounts under the old name | " + kNews + "answers n; " + edit +
            "boxes = " + kTransfer +
            "; file S = Paper,p|Mail,mail.example|Paper,p; unchanged A || type 0 Paper; type "
            "1 p; close OK");
        row("edit: only the address changed; still asked, the name as in the box | " + kNews +
            "answers y; " + edit + "boxes = " + kTransfer +
            "; file S = News,new|Mail,mail.example|News,new; file A = "
            "News,zed,pw-z,|Mail,bob,pw-b,x|News,alice,pw-a,y || type 1 new; close OK");
        row("edit: another site's name, in any letter case | " + kNews + edit +
            "boxes = [Stashbook]  :RENAME ERROR:  Site Already Exists; said = Cannot Rename "
            "To 'mAIL'. Site Already Exists.; unchanged S; unchanged A || type 0 mAIL; "
            "type 1 u; close OK; focus = 0; close Esc");
        row("edit: a double quote in the address | " + kNews + edit + "boxes = " + kInvalid +
            "; unchanged S || type 1 a\"b; close OK; focus = 1; close Esc");
        row("edit: the site gone at opening: no dialog | " + kFruit +
            "row lst_Site 1; write S Cherry,c|Apple,a; click cmd_Edit_Site; dialogs = 0; "
            "boxes = " +
            kNotFound + "; rows lst_Site = Apple|Cherry; sel lst_Site = 1");
        row("edit: the site gone at OK | " + kFruit +
            "row lst_Site 1; click cmd_Edit_Site; boxes = " + kNotFound +
            "; said = Cannot Edit 'Banana'. Site Is No Longer In The Sites File.; rows "
            "lst_Site = Apple|Cherry; sel lst_Site = 1; focus = cmd_Add_Site || keys 0 "
            "Date; write S Cherry,c|Apple,a; close OK; open = 0");
        row("edit: the sites file gone at OK | " + kNews + edit + "boxes = " + kNotFound +
            "; files = SB-Acnts.DaT || remove S; close OK; open = 0");
        row("edit: a damaged sites file: nothing asked or written, kept open | " + kNews + edit +
            "boxes ~ " + kError + "Sites.DaT; " + kNewsDamaged + " || " +
            "append S \"Cut\"; type 0 Paper; close OK; focus = 0; boxes = " + kError +
            "Sites.DaT; close Esc");
        row("edit: a damaged accounts file: neither file changed, kept open | " + kNews +
            "answers y; " + edit + "boxes ~ " + kTransfer + "|" + kError +
            "Acnts.DaT; unchanged S; file A = NEWS,zed,pw-z,|Mail,bob,pw-b,x|news,alice,pw-a,"
            "y|\"Cut\" || append A \"Cut\"; type 0 Paper; close OK; focus = 0; close Esc");
        row("edit: exit at the transfer question: nothing written | " + kNews +
            "answers y; exitat 1; " + edit + "boxes = " + kTransfer +
            "; unchanged S; unchanged A || type 0 Paper; close OK; close Esc");

        row("remove: No | " + kNews +
            "answers n; site news; click cmd_Rem_Site; boxes = [Stashbook]  :Remove Site:  "
            "Are You Sure?; said = Are You Sure You Want To Remove The Site:  news; "
            "unchanged S; unchanged A; sel lst_Site = 2; rows lst_Username = zed|alice; status = ");
        row("remove: Yes, No: every record of the site goes, its accounts stay | " + kNews +
            "answers yn; " + remove +
            "; said ~ |Do You Want All The Accounts That Used This Site (news) Removed?; "
            "file S = Mail,mail.example; unchanged A; nosite; focus = cmd_Add_Site");
        row("remove: Yes, Yes: the others keep their order | " + kNews +
            "append S Bank,b; append A Bank,c,d,; answers yy; " + remove +
            "; file S = Mail,mail.example|Bank,b; file A = Mail,bob,pw-b,x|Bank,c,d,");
        // Ctrl+Z takes a removal back, the site selected again; Ctrl+Shift+Z
        // removes it again. The status bar tells.
        row(QString("remove: Yes, Yes, undone, redone | " + kFruit +
                    "write A banana,u,p,|Apple,v,q,; answers yy; site Banana; click cmd_Rem_Site; "
                    "status = R%1Z undoes.; key cmd_Add_Site Ctrl+Z; status = Undone: r%1Shift+Z "
                    "redoes.; unchanged S; unchanged A; sel lst_Site = 1; rows lst_Username = u; "
                    "key cmd_Add_Site Ctrl+Shift+Z; status = Redone: r%1Z undoes.; rows lst_Site = "
                    "Apple|Cherry; nosite; focus = cmd_Add_Site")
                .arg("emoved site 'Banana' and its 1 account. Ctrl+"));
        row("remove: the sites file gone: not made again, still asked | " + kNews +
            "answers yy; site news; remove S; click cmd_Rem_Site; boxes = " + kRemove +
            "; files = SB-Acnts.DaT; file A = Mail,bob,pw-b,x");
        row("remove: a damaged sites file: both asked, nothing written | " + kNews +
            "answers yy; site news; append S \"Cut\"; click cmd_Rem_Site; boxes = " + kRemove +
            "|" + kError + "Sites.DaT; unchanged A; " + kNewsDamaged);
        row("remove: a damaged accounts file: neither file changed | " + kNews +
            "answers yy; site news; append A \"Cut\"; click cmd_Rem_Site; boxes = " + kRemove +
            "|" + kError + "Acnts.DaT; unchanged S");
        row("remove: exit at the second question: nothing written | " + kNews +
            "answers yy; exitat 2; " + remove + "; unchanged S; unchanged A");

        // Over the sites and `accounts` (null: no accounts file).
        const auto accounts = [&row](const QString& accounts, const QString& steps) {
            row(steps.section(" | ", 0, 0) + " | write S News,n|Mail,m|Bank,b; " +
                (accounts.isNull() ? "" : "write A " + accounts + "; ") + steps.section(" | ", 1));
        };
        const QString news = "site News; row lst_Username ", addA = "; enter cmd_Add_Account; ",
                      editA = "; enter cmd_Edit_Account; ";
        accounts(
            kAccounts,
            "Add: the same name in other letter case refused, then corrected | " + news + "1" +
                addA + kDuplicate.arg("ALICE") + "; file A = " + kAccounts +
                "|News,alice2,other,; sel = 3; account = alice2,other,; focus = cmd_Add_Account; "
                "on ~ Edit_Account Remove_Account || focus = 0; type 0 ALICE; type 1 other; "
                "close Enter; focus = 0; type 0 alice2; close Enter");
        accounts(kAccounts,
                 "Add: the same name at another site | site Mail" + addA + "file A = " + kAccounts +
                     "|Mail,zed,p,e; sel = 1 || type 0 zed; type 1 p; type 2 e; close Enter");
        accounts(kAccounts, "Add: leading and trailing blanks count | " + news + "0" + addA +
                                "file A = " + kAccounts +
                                "|News, alice ,,; sel = 3 || type 0  alice ; close Enter");
        accounts(
            QString(),
            "Add: no accounts file: the placeholder row gives way | site Bank; row lst_Username 0" +
                addA +
                "file A = Bank,new,,; rows lst_Username = new; sel = 0; account = new,, || "
                "type 0 new; close Enter");
        accounts(kAccounts,
                 "Add: a double quote refused | " + news + "2" + addA + "boxes = " + kInvalid +
                     "|" + kInvalid + "; said = " + kQuote + "Password.|" + kQuote +
                     "Extra Info.; unchanged A; sel = 2 || type 0 bob; type 1 pa\"ss; close "
                     "Enter; focus = 1; type 0 bob; type 1 pass; type 2 x\"; close Enter; "
                     "focus = 2; close Cancel");
        accounts(
            kAccounts,
            "Add: a pasted line end is dropped: a duplicate | " + news + "1" + addA +
                kDuplicate.arg("alice") +
                "; unchanged A; sel = 1 || type 0 alice\r\n; close Enter; focus = 0; close Cancel");
        accounts(kAccounts,
                 "Add: Cancel keeps the row | " + news + "1" + addA +
                     "dialogs = 1; unchanged A; sel = 1; rows lst_Username = zed|alice|mike || "
                     "close Cancel");
        accounts(kAccounts,
                 "Add: Cancel on the placeholder | site Bank" + addA +
                     "unchanged A; sel = -1; rows lst_Username = -- NO -- || close Cancel");

        accounts(
            kAccounts,
            "Edit: password and extra info keep the position | " + news + "1" + editA +
                "file A = NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|News,alice,new-pw,|News,mike,pw-m,;"
                " sel = 1; account = alice,new-pw,; on ~ Edit_Account Remove_Account || "
                "focus = 0; text 3 = alice; text 4 = pw-a; text 5 = x-a; type 1 new-pw; type "
                "2 ; close Enter");
        accounts(kAccounts,
                 "Edit: letter case only | " + news + "0" + editA +
                     "file A = News,ZED,pw-z,x-z|Mail,alice,pw-ma,|news,alice,pw-a,x-a|News,mike,"
                     "pw-m,; sel = 0; account = ZED,pw-z,x-z || type 0 ZED; close Enter");
        accounts(kAccounts,
                 "Edit: the name of another account of the site refused | " + news + "2" + editA +
                     "boxes = [Stashbook]  :RENAME ERROR:  Site Already Exists; said = Cannot "
                     "Rename To 'ALICE'. Account Already Exists.; unchanged A; sel = 2 || "
                     "type 0 ALICE; close Enter; focus = 0; close Cancel");
        accounts(
            kAccounts,
            "Edit: a name found at another site only | site Mail; row lst_Username 0" + editA +
                "file A = NEWS,zed,pw-z,x-z|Mail,zed,pw-ma,|news,alice,pw-a,x-a|News,mike,pw-m,; "
                "sel = 0 || type 0 zed; close Enter");
        accounts("News,big,pw," + QString(1 << 20, 'x'),
                 "Edit: a megabyte of extra info, byte for byte | " + news + "0" + editA +
                     "unchanged A; sel = 0 || close Enter");
        accounts(kAccounts,
                 "Edit: no change writes the site as listed | " + news + "0" + editA +
                     "file A = News,zed,pw-z,x-z|Mail,alice,pw-ma,|news,alice,pw-a,x-a|News,mike,"
                     "pw-m,; sel = 0 || close Enter");
        accounts("News,bob,1,a|Mail,alice,pw-ma,|NEWS,BOB,2,b",
                 "Edit: the second record of a name: that one only | " + news + "1" + editA +
                     "file A = News,bob,1,a|Mail,alice,pw-ma,|News,Rob,9,b; sel = 1; account = "
                     "Rob,9,b || text 3 = BOB; type 0 Rob; type 1 9; close Enter");
        accounts(kAccounts,
                 "Edit: a double quote refused | " + news + "1" + editA + "boxes = " + kInvalid +
                     "; said = " + kQuote +
                     "Username.; unchanged A; sel = 1 || type 0 al\"ice; close Enter; focus = 0; "
                     "close Cancel");
        accounts(kAccounts, "Edit: Cancel | " + news + "2" + editA +
                                "unchanged A; sel = 2 || text 3 = mike; close Cancel");

        accounts(kAccounts,
                 "Remove: the only account | " +
                     kRemoved.arg("site Mail; row lst_Username 0", "alice") +
                     "file A = NEWS,zed,pw-z,x-z|news,alice,pw-a,x-a|News,mike,pw-m,; rows "
                     "lst_Username = -- NO --; text cmd_Site_Name ~ [SITE: Mail");
        accounts(
            kAccounts,
            "Remove: the others keep their order, other sites keep theirs | " +
                kRemoved.arg(news + "1", "alice") +
                "file A = NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|News,mike,pw-m,; rows lst_Username "
                "= zed|mike");
        accounts("News,bob,1,|news,alice,pw-a,x-a|NEWS,BOB,2,",
                 "Remove: the second record of a name: that one only | " +
                     kRemoved.arg(news + "2", "BOB") +
                     "file A = News,bob,1,|news,alice,pw-a,x-a; rows lst_Username = bob|alice");
        accounts("News,,p,|news,alice,pw-a,x-a",
                 "Remove: an empty user name | " + kRemoved.arg(news + "0", "") +
                     "file A = news,alice,pw-a,x-a; rows lst_Username = alice");
        accounts(kAccounts,
                 "Remove: No changes nothing | answers n; " + news +
                     "1; enter cmd_Remove_Account; unchanged A; sel = 1; rows lst_Username = "
                     "zed|alice|mike");

        // The account vanished from the file (another program, or a restored
        // backup) before the dialog opened or while it was open: no dialog,
        // or nothing written; the user is told and the view is read afresh.
        const QString gone = "write A NEWS,zed,pw-z,x-z|Mail,alice,pw-ma,|News,mike,pw-m,";
        const QString afresh = "rows lst_Username = zed|mike; sel = 1";
        accounts(kAccounts, "Edit: the account gone before opening | " + news + "1; " + gone +
                                editA + "dialogs = 0; " + kAccountNotFound + afresh);
        accounts(kAccounts, "Edit: the accounts file gone before opening | " + news +
                                "1; remove A" + editA + "dialogs = 0; " + kAccountNotFound +
                                "rows lst_Username = -- NO --; sel = -1");
        accounts(kAccounts, "Edit: the account gone at OK | " + news + "1" + editA +
                                "dialogs = 1; " + kAccountNotFound + afresh + " || " +
                                "type 0 ann; type 1 p; " + gone + "; close Enter; open = 0");
        accounts(kAccounts,
                 "Edit: the accounts file gone at OK | " + news + "1" + editA + kAccountNotFound +
                     "files = SB-Sites.DaT; rows lst_Username = -- NO -- || type 0 ann; type 1 "
                     "p; remove A; close Enter; open = 0");
    }

    void scripts() { runScript(); }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
