// The Add Site and Edit Site dialogs and the Rem button, driven through the
// main window and the widgets as a person would: what the boxes show while
// typing, how a dialog closes, and which site is selected afterwards.
#include "support/dialog_driver.h"
#include "support/window_fixture.h"

#include <QtTest>

using sb::test::readFile;
using sb::test::rec;

namespace {

using namespace sb::test;

const QString kNotFound = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");
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

class TestSiteDialogs : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    void verifyFocusOnAddSite() { QCOMPARE(window->focusWidget(), child("cmd_Add_Site")); }

private slots:
    void init() { fresh(); }

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
        QCOMPARE(notifier.titles, QStringList{"[Stashbook]  :ERROR:  Invalid Character"});
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
        for (const char* how : {"Cancel", "Esc", "close box"})
            row(how, kSites, {"Date"}, how, kFruit);
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
        clickAndDrive("cmd_Add_Site", [&](QDialog& d) {
            open(d);
            for (const QString& name : typed) {
                QTest::keyClicks(box(d, 0), name);
                close(d, how);
                if (name != typed.last())
                    verifyOn(d, 0);
            }
        });
        QCOMPARE(notifier.titles.size(), typed.size() - 1);
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

    void remove_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("No") << QList<bool>{false} << kFruit;
        QTest::newRow("Yes, Yes") << QList<bool>{true, true} << QStringList{"Apple", "Cherry"};
    }

    void remove()
    {
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, listed);
        write("SB-Sites.DaT", kSites);
        write("SB-Acnts.DaT", rec({"banana", "u", "p", ""}) + rec({"Apple", "v", "q", ""}));
        start();
        list("lst_Site")->setCurrentRow(1);
        notifier.answers = answers;
        click("cmd_Rem_Site");
        QCOMPARE(notifier.titles.size(), answers.size());
        QCOMPARE(rows("lst_Site"), listed);
        if (answers.first()) {
            verifyNoSiteShown();
            verifyFocusOnAddSite();
        } else { // the site stays selected, its accounts shown
            QCOMPARE(selectedRow("lst_Site"), 1);
            QCOMPARE(rows("lst_Username"), QStringList{"u"});
        }
    }
};

QTEST_MAIN(TestSiteDialogs)
#include "tst_site_dialogs.moc"
