// Adding, renaming and removing sites: the rules on real record files, and
// the Add Site and Edit Site dialogs and the Rem button driven through the
// main window and the widgets as a person would (what the boxes show while
// typing, how a dialog closes, which site is selected afterwards).
#include "rules/data_store.h"
#include "rules/site_edits.h"
#include "support/dialog_driver.h"
#include "support/window_fixture.h"

#include <QStatusBar>
#include <QtTest>

using namespace sb::rules;
using namespace sb::test;

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(SiteFields)

namespace {

const QString kInvalid = QStringLiteral("[Stashbook]  :ERROR:  Invalid Character");
const QString kTaken = QStringLiteral("[Stashbook]  :ERROR:  Site Name Already Exists");
const QString kNotFound = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");
const QString kTransfer = QStringLiteral("[Stashbook]  :Account Transfer:  Transfer?");
const QString kRemove = QStringLiteral("[Stashbook]  :Remove Site:  Are You Sure?");
const QString kRemoveAccounts = QStringLiteral("[Stashbook]  :Remove Site:  Update Accounts ?");
const QString kSitesError = QStringLiteral("[Stashbook]  :File Error:  SB-Sites.DaT");
const QString kAccountsError = QStringLiteral("[Stashbook]  :File Error:  SB-Acnts.DaT");

// "News" stands twice, in two letter cases (a file edited by hand).
const QByteArray kS =
    rec({"News", "news.example"}) + rec({"Mail", "mail.example"}) + rec({"news", "n2.example"});
const QByteArray kA = rec({"NEWS", "zed", "pw-z", ""}) + rec({"Mail", "bob", "pw-b", "x"}) +
                      rec({"news", "alice", "pw-a", "y"});
const QByteArray kMail = rec({"Mail", "mail.example"});
const QByteArray kBob = rec({"Mail", "bob", "pw-b", "x"});
const QByteArray kDamage = "\"Cut\""; // a record that ends after its first field

const QStringList kFruit{"Apple", "Banana", "Cherry"};
// In file order, unsorted.
const QByteArray kSites = rec({"Cherry", "cherry.example"}) + rec({"Apple", "apple.example"}) +
                          rec({"Banana", "banana.example"});

// The boxes by creation order: new name, new address (and the old values).
// After showing and after a refused OK, the box expected has the focus, its
// whole text selected.
void verifyOn(QDialog& d, int i)
{
    QVERIFY(d.isVisible());
    QCOMPARE(focusedBox(d), box(d, i)->objectName());
}
void open(QDialog& d)
{
    showActive(d);
    verifyOn(d, 0);
}

// "OK", "Enter", "Cancel", "Esc" or "close box".
void close(QDialog& d, const QString& how)
{
    closeDialog(d, how,
                d.inherits("sb::dialogs::site::frmSite_Add") ? "cmd_Add_Site_OK_or_Cancel"
                                                             : "cmd_Edit_Site_OK_or_Cancel");
}

} // namespace

class TestSiteEditing : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    void verifyFocusOnAddSite() { QCOMPARE(window->focusWidget(), child("cmd_Add_Site")); }

private slots:
    void init() { fresh(); }

    // The rules without the dialogs: what is written, what is asked and
    // shown, and where it stops. A removal is Done when the view is to be
    // reloaded. Null file bytes: no such file.
    void edits_data()
    {
        for (const char* column : {"sites", "accounts", "sitesAfter", "accountsAfter"})
            QTest::addColumn<QByteArray>(column);
        QTest::addColumn<QString>("op"); // and the site edited or removed
        QTest::addColumn<SiteFields>("typed");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("exitAt");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("lastText"); // the text of the last box, when given

        const QByteArray s2 = rec({"News", "n"}) + rec({"\u00c4rzte", "a"});
        const QList<bool> none, yes{true}, no{false}, yesYes{true, true};
        const QStringList asked{kRemove, kRemoveAccounts};
        const QString unchecked;
        using O = Outcome;

        QTest::newRow("add: taken in another letter case, shown as typed")
            << s2 << kA << s2 << kA << "add" << SiteFields{"NEWS", "x"} << none << -1 << O::NameBox
            << QStringList{kTaken} << "Cannot Create 'NEWS'. Site Name Already Exists.";
        QTest::newRow("add: blanks count")
            << s2 << kA << s2 + rec({" News", ""}) << kA << "add" << SiteFields{" News", ""} << none
            << -1 << O::Done << QStringList() << unchecked;
        QTest::newRow("add: double quote in the name")
            << s2 << kA << s2 << kA << "add" << SiteFields{"Ne\"ws", "u"} << none << -1
            << O::NameBox << QStringList{kInvalid}
            << "Site Names And Site URL Locations Cannot Contain A Double Quote (\").";

        QTest::newRow("edit: another letter case; Yes moves every account of the site")
            << kS << kA << rec({"NEWS", "u"}) + kMail + rec({"NEWS", "u"})
            << rec({"NEWS", "zed", "pw-z", ""}) + kBob + rec({"NEWS", "alice", "pw-a", "y"})
            << "edit News" << SiteFields{"NEWS", "u"} << yes << -1 << O::Done
            << QStringList{kTransfer}
            << "Would You Like The Accounts That Use The Old Site Name (News)\r\n"
               "To Be Transfered To The New Site Name (NEWS) ?";
        QTest::newRow("edit: No leaves the accounts under the old name")
            << kS << kA << rec({"Paper", "p"}) + kMail + rec({"Paper", "p"}) << kA << "edit News"
            << SiteFields{"Paper", "p"} << no << -1 << O::Done << QStringList{kTransfer}
            << unchecked;
        QTest::newRow("edit: only the address changed; still asked, the name as in the box")
            << kS << kA << rec({"News", "new"}) + kMail + rec({"News", "new"})
            << rec({"News", "zed", "pw-z", ""}) + kBob + rec({"News", "alice", "pw-a", "y"})
            << "edit News" << SiteFields{"News", "new"} << yes << -1 << O::Done
            << QStringList{kTransfer} << unchecked;
        QTest::newRow("edit: another site's name, in any letter case")
            << kS << kA << kS << kA << "edit News" << SiteFields{"mAIL", "u"} << yes << -1
            << O::NameBox << QStringList{"[Stashbook]  :RENAME ERROR:  Site Already Exists"}
            << "Cannot Rename To 'mAIL'. Site Already Exists.";
        QTest::newRow("edit: double quote")
            << kS << kA << kS << kA << "edit News" << SiteFields{"News", "a\"b"} << yes << -1
            << O::UrlBox << QStringList{kInvalid} << unchecked;
        QTest::newRow("edit: the site is gone since the dialog opened")
            << kS << kA << kS << kA << "edit Bank" << SiteFields{"Bank", "u"} << yes << -1
            << O::Stopped << QStringList{kNotFound}
            << "Cannot Edit 'Bank'. Site Is No Longer In The Sites File.";
        QTest::newRow("edit: the sites file is gone")
            << QByteArray() << kA << QByteArray() << kA << "edit News" << SiteFields{"News", "u"}
            << yes << -1 << O::Stopped << QStringList{kNotFound} << unchecked;
        QTest::newRow("edit: damaged sites file: nothing asked or written, kept open")
            << kS + kDamage << kA << kS + kDamage << kA << "edit News" << SiteFields{"Paper", "p"}
            << yes << -1 << O::Failed << QStringList{kSitesError} << unchecked;
        QTest::newRow("edit: damaged accounts file: neither file changed, kept open")
            << kS << kA + kDamage << kS << kA + kDamage << "edit News" << SiteFields{"Paper", "p"}
            << yes << -1 << O::Failed << QStringList{kTransfer, kAccountsError} << unchecked;
        QTest::newRow("edit: exit at the transfer question: nothing written")
            << kS << kA << kS << kA << "edit News" << SiteFields{"Paper", "p"} << yes << 1
            << O::Stopped << QStringList{kTransfer} << unchecked;

        QTest::newRow("remove: No")
            << kS << kA << kS << kA << "remove news" << SiteFields() << no << -1 << O::Stopped
            << QStringList{kRemove} << "Are You Sure You Want To Remove The Site:  news";
        QTest::newRow("remove: Yes, No: every record of the site goes, its accounts stay")
            << kS << kA << kMail << kA << "remove news" << SiteFields() << QList<bool>{true, false}
            << -1 << O::Done << asked
            << "Do You Want All The Accounts That Used This Site (news) Removed?";
        QTest::newRow("remove: Yes, Yes: the others keep their order")
            << kS + rec({"Bank", "b"}) << kA + rec({"Bank", "c", "d", ""})
            << kMail + rec({"Bank", "b"}) << kBob + rec({"Bank", "c", "d", ""}) << "remove news"
            << SiteFields() << yesYes << -1 << O::Done << asked << unchecked;
        QTest::newRow("remove: the sites file is gone: not made again, still asked")
            << QByteArray() << kA << QByteArray() << kBob << "remove news" << SiteFields() << yesYes
            << -1 << O::Done << asked << unchecked;
        QTest::newRow("remove: damaged sites file: both asked, nothing written")
            << kS + kDamage << kA << kS + kDamage << kA << "remove news" << SiteFields() << yesYes
            << -1 << O::Stopped << asked + QStringList{kSitesError} << unchecked;
        QTest::newRow("remove: damaged accounts file: neither file changed")
            << kS << kA + kDamage << kS << kA + kDamage << "remove news" << SiteFields() << yesYes
            << -1 << O::Stopped << asked + QStringList{kAccountsError} << unchecked;
        QTest::newRow("remove: exit at the second question: nothing written")
            << kS << kA << kS << kA << "remove news" << SiteFields() << yesYes << 2 << O::Stopped
            << asked << unchecked;
    }

    void edits()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QByteArray, accounts);
        QFETCH(QByteArray, sitesAfter);
        QFETCH(QByteArray, accountsAfter);
        QFETCH(QString, op);
        QFETCH(SiteFields, typed);
        QFETCH(QList<bool>, answers);
        QFETCH(int, exitAt);
        QFETCH(Outcome, outcome);
        QFETCH(QStringList, titles);
        QFETCH(QString, lastText);

        for (auto [name, bytes] : {std::pair{"SB-Sites.DaT", sites}, {"SB-Acnts.DaT", accounts}}) {
            if (!bytes.isNull())
                write(name, bytes);
        }
        notifier.answers = answers;
        notifier.exitAt = exitAt;
        sb::rules::DataStore files(dir->path().toStdString(), notifier);

        const QString target = op.section(' ', 1);
        if (op == "add")
            QCOMPARE(addSite(files, notifier, typed), outcome);
        else if (op.startsWith("edit"))
            QCOMPARE(editSite(files, notifier, target, typed), outcome);
        else
            QCOMPARE(removeSite(files, notifier, target) == Outcome::Done,
                     outcome == Outcome::Done);

        QCOMPARE(notifier.titles, titles);
        if (!lastText.isNull())
            QCOMPARE(notifier.texts.last(), lastText);
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), sitesAfter);
        QCOMPARE(readFile(dir->path(), "SB-Acnts.DaT"), accountsAfter);
        // No file is made but the sites file by an add; no temporary file is
        // left behind, whatever happened.
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(),
                 int(!sitesAfter.isNull()) + int(!accounts.isNull()));
    }

    void addressFollowsTheName()
    {
        start();
        clickAndDrive("cmd_Add_Site", [](QDialog& d) {
            open(d);
            QStringList seen;
            for (const char* key : {"a", "b", "c"}) {
                QTest::keyClicks(box(d, 0), key);
                seen << box(d, 1)->text();
            }
            QCOMPARE(seen, (QStringList{"www.a.com", "www.ab.com", "www.abc.com"}));
            // The address box selects its whole text on the focus: typing
            // replaces it; the next change of the name replaces it in turn.
            QTest::keyClick(box(d, 0), Qt::Key_Tab);
            QTest::keyClicks(box(d, 1), "my.example");
            QCOMPARE(box(d, 1)->text(), "my.example");
            QTest::keyClick(box(d, 1), Qt::Key_Backtab);
            QTest::keyClick(box(d, 0), Qt::Key_End);
            QTest::keyClicks(box(d, 0), "d");
            QCOMPARE(box(d, 1)->text(), "www.abcd.com");
            box(d, 0)->clear();
            QCOMPARE(box(d, 1)->text(), "www..com");
            // A double quote is refused; the dialog stays on the address box.
            QTest::keyClick(box(d, 0), Qt::Key_Tab);
            QTest::keyClicks(box(d, 1), "a\"b");
            close(d, "OK");
            verifyOn(d, 1);
            close(d, "Esc");
        });
        QCOMPARE(notifier.titles, QStringList{kInvalid});
        QVERIFY(QDir(dir->path()).isEmpty());
        verifyNoSiteShown();
    }

    // Names typed one after the other: all but the last are refused.
    void add_data()
    {
        QTest::addColumn<QByteArray>("sites");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("listed");
        auto row = [](const char* name, const QByteArray& sites, const QStringList& typed,
                      const char* how, const QStringList& listed) {
            QTest::newRow(name) << sites << typed << QString(how) << listed;
        };
        row("Enter makes the missing file", QByteArray(), {"Mail"}, "Enter", {"Mail"});
        row("found by name where it sorts", kSites, {"blueberry"}, "OK",
            {"Apple", "Banana", "blueberry", "Cherry"});
        row("refused in another letter case, then corrected", kSites, {"APPLE", "Apricot"}, "OK",
            {"Apple", "Apricot", "Banana", "Cherry"});
        for (const char* how : {"Cancel", "Esc", "close box", "Enter on Cancel"})
            row(how, kSites, {"Date"}, how, kFruit);
        row("failed write: the dialog stays open with the name", kSites, {"Date"}, "OK, no room",
            kFruit);
    }

    void add()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QStringList, typed);
        QFETCH(QString, how);
        QFETCH(QStringList, listed);
        const int selected = listed.indexOf(typed.last()); // found by name
        if (!sites.isNull())
            write("SB-Sites.DaT", sites);
        start();
        // Every name of a temporary file taken once the program runs (at
        // start-up it clears stale ones): the sites file cannot be changed.
        const bool noRoom = how.endsWith("no room");
        for (int n = 1; noRoom && n <= 10000; ++n)
            write(QString("SB-t%1.txt").arg(n), {});
        clickAndDrive("cmd_Add_Site", [&](QDialog& d) {
            open(d);
            for (const QString& name : typed) {
                QTest::keyClicks(box(d, 0), name);
                close(d, how.section(',', 0, 0));
                if (name != typed.last() || noRoom)
                    verifyOn(d, 0);
            }
            if (noRoom)
                QCOMPARE(box(d, 0)->text(), typed.last());
        });
        QCOMPARE(notifier.titles.size(), typed.size() - 1 + noRoom);
        QCOMPARE(rows("lst_Site"), listed);
        QCOMPARE(selectedRow("lst_Site"), selected);
        if (selected < 0) {
            verifyNoSiteShown();
            QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), sites);
        } else {
            verifyFocusOnAddSite();
        }
    }

    // The row at the remembered position is selected again, whichever site
    // it now holds.
    void edit_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("goneAt"); // when the site leaves the sites file
        QTest::addColumn<QStringList>("listed");
        auto row = [](const char* name, int row, const char* typed, const char* how,
                      const char* goneAt, const QStringList& listed) {
            QTest::newRow(name) << row << QString(typed) << QString(how) << QString(goneAt)
                                << listed;
        };
        row("a rename moves the site", 0, "Zebra", "OK", "", {"Banana", "Cherry", "Zebra"});
        row("Cancel after typing", 1, "Date", "Cancel", "", kFruit);
        row("gone at opening: no dialog", 1, "", "", "opening", {"Apple", "Cherry"});
        row("gone at OK", 1, "Date", "OK", "OK", {"Apple", "Cherry"});
    }

    void edit()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, goneAt);
        QFETCH(QStringList, listed);
        write("SB-Sites.DaT", kSites);
        start();
        list("lst_Site")->setCurrentRow(row);
        const QByteArray without = rec({"Cherry", "c"}) + rec({"Apple", "a"});
        if (goneAt == "opening")
            write("SB-Sites.DaT", without);
        bool opened = false;
        notifier.answers = {true};
        clickAndDrive("cmd_Edit_Site", [&](QDialog& d) {
            opened = true;
            open(d);
            // The stored values: the address proposed for the name is replaced.
            const QString site = kFruit[row];
            QCOMPARE(box(d, 0)->text(), site);
            QCOMPARE(box(d, 1)->text(), site.toLower() + ".example");
            QCOMPARE(box(d, 2)->text(), site);
            QCOMPARE(box(d, 3)->text(), box(d, 1)->text());
            QVERIFY(!box(d, 2)->isEnabled() && !box(d, 3)->isEnabled());
            QTest::keyClicks(box(d, 0), typed);
            QCOMPARE(box(d, 1)->text(), "www." + typed + ".com");
            if (goneAt == "OK")
                write("SB-Sites.DaT", without);
            close(d, how);
        });
        QCOMPARE(opened, goneAt != "opening");
        QCOMPARE(notifier.titles.contains(kNotFound), !goneAt.isEmpty());
        QCOMPARE(rows("lst_Site"), listed);
        QCOMPARE(selectedRow("lst_Site"), row);
        verifyFocusOnAddSite();
        if (how == "Cancel")
            QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), kSites);
    }

    // Ctrl+Z takes a removal back, the site selected again; Ctrl+Shift+Z
    // removes it again. The status bar tells.
    void remove_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("told");
        const QString removed = "emoved site 'Banana' and its 1 account.";
        const QStringList left{"Apple", "Cherry"};
        QTest::newRow("No") << QList<bool>{false} << kFruit << ""
                            << "";
        QTest::newRow("Yes, Yes") << QList<bool>{true, true} << left << ""
                                  << "R" + removed + " Ctrl+Z undoes.";
        QTest::newRow("Yes, Yes, undone") << QList<bool>{true, true} << kFruit << "Ctrl+Z"
                                          << "Undone: r" + removed + " Ctrl+Shift+Z redoes.";
        QTest::newRow("Yes, Yes, undone, redone")
            << QList<bool>{true, true} << left << "Ctrl+Z, Ctrl+Shift+Z"
            << "Redone: r" + removed + " Ctrl+Z undoes.";
    }

    void remove()
    {
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, listed);
        QFETCH(QString, keys);
        QFETCH(QString, told);
        const QByteArray accounts = rec({"banana", "u", "p", ""}) + rec({"Apple", "v", "q", ""});
        write("SB-Sites.DaT", kSites);
        write("SB-Acnts.DaT", accounts);
        start();
        list("lst_Site")->setCurrentRow(1);
        notifier.answers = answers;
        click("cmd_Rem_Site");
        QApplication::setActiveWindow(window.get()); // where the keys go
        for (const QString& k : keys.split(", ", Qt::SkipEmptyParts))
            QTest::keySequence(window.get(), k);
        QCOMPARE(notifier.titles.size(), answers.size());
        QCOMPARE(rows("lst_Site"), listed);
        QCOMPARE(child<QStatusBar>("sts_Bar")->currentMessage(), told);
        if (keys == "Ctrl+Z") { // the files as they were, the site shown
            QCOMPARE(readFile(dir->path(), "SB-Sites.DaT") + readFile(dir->path(), "SB-Acnts.DaT"),
                     kSites + accounts);
            answers = {false};
        }
        if (answers.first()) {
            verifyNoSiteShown();
            verifyFocusOnAddSite();
        } else { // the site stays selected, its accounts shown
            QCOMPARE(selectedRow("lst_Site"), 1);
            QCOMPARE(rows("lst_Username"), QStringList{"u"});
        }
    }
};

QTEST_MAIN(TestSiteEditing)
#include "tst_site_editing.moc"
