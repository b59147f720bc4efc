// The Add Site and Edit Site dialogs and the Rem button, driven through the
// main window and the widgets as a person would: what the boxes show while
// typing, how a dialog closes, and which site is selected afterwards.
#include "support/window_fixture.h"

#include <QLineEdit>
#include <QtTest>

using sb::test::readFile;
using sb::test::rec;

namespace {

const QString kNotFound = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");
const QStringList kFruit{"Apple", "Banana", "Cherry"};
// In file order, unsorted.
const QByteArray kSites = rec({"Cherry", "cherry.example"}) + rec({"Apple", "apple.example"}) +
                          rec({"Banana", "banana.example"});

// The boxes of a site dialog: new name, new address (and the old values).
QLineEdit* box(QDialog& d, int i)
{
    return d.findChildren<QLineEdit*>().value(i);
}

// Shows the dialog as running it does, so that focus and keys act as for a
// person: the name box has the focus, its whole text selected.
void show(QDialog& d)
{
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QCOMPARE(d.focusWidget(), box(d, 0));
    QCOMPARE(box(d, 0)->selectedText(), box(d, 0)->text());
}

// "OK", "Enter", "Cancel", "Esc" or "close box".
void close(QDialog& d, const QString& how)
{
    if (how == "Enter" || how == "Esc")
        QTest::keyClick(d.focusWidget(), how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
    else if (how == "close box")
        d.close();
    else // the buttons in creation order: OK, Cancel
        QTest::mouseClick(d.findChildren<QPushButton*>().value(how == "OK" ? 0 : 1),
                          Qt::LeftButton);
}

// After a refused OK: still open, back on the box at fault, its text selected.
void verifyRefused(QDialog& d, int atFault)
{
    QVERIFY(d.isVisible());
    QCOMPARE(d.focusWidget(), box(d, atFault));
    QCOMPARE(box(d, atFault)->selectedText(), box(d, atFault)->text());
}

} // namespace

class TestSiteDialogs : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    // Drives the next dialog shown with `drive` and clicks `button`.
    void click(const QString& button, const std::function<void(QDialog&)>& drive = {})
    {
        notifier.onDialog = [drive](QDialog& d) {
            drive(d);
            return d.result();
        };
        QTest::mouseClick(child(button), Qt::LeftButton);
        QVERIFY(!QTest::currentTestFailed());
    }
    void verifyFocusOnAddSite() { QCOMPARE(window->focusWidget(), child("cmd_Add_Site")); }

private slots:
    void init() { fresh(); }

    void addressFollowsTheName()
    {
        start();
        click("cmd_Add_Site", [](QDialog& d) {
            show(d);
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
            verifyRefused(d, 1);
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
        QTest::addColumn<int>("selected");
        QTest::newRow("Enter makes the missing file")
            << QByteArray() << QStringList{"Mail"} << "Enter" << QStringList{"Mail"} << 0;
        QTest::newRow("found by name where it sorts")
            << kSites << QStringList{"blueberry"} << "OK"
            << QStringList{"Apple", "Banana", "blueberry", "Cherry"} << 2;
        QTest::newRow("refused in another letter case, then corrected")
            << kSites << QStringList{"APPLE", "Apricot"} << "OK"
            << QStringList{"Apple", "Apricot", "Banana", "Cherry"} << 1;
        for (const char* how : {"Cancel", "Esc", "close box"})
            QTest::newRow(how) << kSites << QStringList{"Date"} << how << kFruit << -1;
    }

    void add()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QStringList, typed);
        QFETCH(QString, how);
        QFETCH(QStringList, listed);
        QFETCH(int, selected);
        if (!sites.isNull())
            write("SB-Sites.DaT", sites);
        start();
        click("cmd_Add_Site", [&](QDialog& d) {
            show(d);
            for (const QString& name : typed) {
                QTest::keyClicks(box(d, 0), name);
                close(d, how);
                if (name != typed.last())
                    verifyRefused(d, 0);
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
        QTest::newRow("a rename moves the site") << 0 << "Zebra"
                                                 << "OK"
                                                 << "" << QStringList{"Banana", "Cherry", "Zebra"};
        QTest::newRow("Cancel after typing") << 1 << "Date"
                                             << "Cancel"
                                             << "" << kFruit;
        QTest::newRow("gone at opening: no dialog") << 1 << ""
                                                    << ""
                                                    << "opening" << QStringList{"Apple", "Cherry"};
        QTest::newRow("gone at OK") << 1 << "Date"
                                    << "OK"
                                    << "OK" << QStringList{"Apple", "Cherry"};
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
        click("cmd_Edit_Site", [&](QDialog& d) {
            opened = true;
            show(d);
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
        QTest::mouseClick(child("cmd_Rem_Site"), Qt::LeftButton);
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
