// The Add Site and Edit Site dialogs and the Rem button, driven through the
// main window and the widgets as a person would: what the boxes show while
// typing, how a dialog closes, and which site is selected afterwards.
#include "dialogs/dialog_kit.h"
#include "support/window_fixture.h"

#include <QLineEdit>
#include <QtTest>

using sb::test::readFile;
using sb::test::rec;

namespace {

const QString kNotFound = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");
const QString kTransfer = QStringLiteral("[Stashbook]  :Account Transfer:  Transfer?");
const QStringList kFruit{"Apple", "Banana", "Cherry"};

} // namespace

class TestSiteDialogs : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    const QByteArray sites_ = rec({"Cherry", "cherry.example"}) + rec({"Apple", "apple.example"}) +
                              rec({"Banana", "banana.example"});

    static QLineEdit* box(QDialog& d, const char* name) { return d.findChild<QLineEdit*>(name); }
    static QPushButton* button(QDialog& d, int index)
    {
        return sb::dialogs::okCancelButton(&d,
                                           d.objectName() == "frmSite_Add"
                                               ? "cmd_Add_Site_OK_or_Cancel"
                                               : "cmd_Edit_Site_OK_or_Cancel",
                                           index);
    }
    static QLineEdit* nameBox(QDialog& d)
    {
        return box(d, d.objectName() == "frmSite_Add" ? "txt_Add_Site_Name" : "txt_Edit_Site_Name");
    }
    static QLineEdit* urlBox(QDialog& d)
    {
        return box(d, d.objectName() == "frmSite_Add" ? "txt_Add_Site_URL" : "txt_Edit_Site_URL");
    }

    // Shows the dialog as running it does, so that focus and keys act as
    // they do for a person; the first box has the focus, its text selected.
    static void show(QDialog& d)
    {
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(d.focusWidget(), nameBox(d));
        QCOMPARE(nameBox(d)->selectedText(), nameBox(d)->text());
    }

    // "OK", "Enter", "Cancel", "Esc" or "close box".
    static void close(QDialog& d, const QString& how)
    {
        if (how == "Enter" || how == "Esc")
            QTest::keyClick(d.focusWidget(), how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
        else if (how == "close box")
            d.close();
        else
            QTest::mouseClick(button(d, how == "OK" ? 0 : 1), Qt::LeftButton);
    }

    // After a refused OK: still open, back on `atFault` with its text selected.
    static void verifyRefused(QDialog& d, QLineEdit* atFault)
    {
        QVERIFY(d.isVisible());
        QCOMPARE(d.focusWidget(), atFault);
        QCOMPARE(atFault->selectedText(), atFault->text());
    }

    // Runs `drive` on the next dialog shown and closes it as it leaves it.
    void onDialog(const std::function<void(QDialog&)>& drive)
    {
        notifier.onDialog = [drive](QDialog& d) {
            drive(d);
            return d.result();
        };
    }

    void verifyFocusOnAddSite() { QCOMPARE(window->focusWidget(), child("cmd_Add_Site")); }

    void driveAddressPattern(QDialog& d)
    {
        show(d);
        QLineEdit* name = nameBox(d);
        QLineEdit* url = urlBox(d);
        QStringList seen;
        for (const char* key : {"a", "b", "c"}) {
            QTest::keyClicks(name, key);
            seen << url->text();
        }
        QCOMPARE(seen, (QStringList{"www.a.com", "www.ab.com", "www.abc.com"}));
        // The address box selects its whole text on the focus: typing replaces it.
        QTest::keyClick(name, Qt::Key_Tab);
        QTest::keyClicks(url, "my.example");
        QCOMPARE(url->text(), "my.example");
        // The next change of the name replaces the user's address.
        QTest::keyClick(url, Qt::Key_Backtab);
        QTest::keyClick(name, Qt::Key_End);
        QTest::keyClicks(name, "d");
        QCOMPARE(url->text(), "www.abcd.com");
        name->clear();
        QCOMPARE(url->text(), "www..com");
        close(d, "Esc");
    }

private slots:
    void init() { fresh(); }

    void addressFollowsTheName()
    {
        start();
        onDialog([this](QDialog& d) { driveAddressPattern(d); });
        QTest::mouseClick(child("cmd_Add_Site"), Qt::LeftButton);
        QVERIFY(!QTest::currentTestFailed());
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
        QTest::newRow("Enter creates the missing file")
            << QByteArray() << QStringList{"Mail"} << "Enter" << QStringList{"Mail"} << 0;
        QTest::newRow("found by name where it sorts")
            << sites_ << QStringList{"blueberry"} << "OK"
            << QStringList{"Apple", "Banana", "blueberry", "Cherry"} << 2;
        QTest::newRow("refused in another letter case, then corrected")
            << sites_ << QStringList{"APPLE", "Apricot"} << "OK"
            << QStringList{"Apple", "Apricot", "Banana", "Cherry"} << 1;
        for (const char* how : {"Cancel", "Esc", "close box"})
            QTest::newRow(how) << sites_ << QStringList{"Date"} << how << kFruit << -1;
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
        onDialog([&](QDialog& d) {
            show(d);
            for (const QString& name : typed) {
                QTest::keyClicks(nameBox(d), name);
                if (name == typed.last())
                    break;
                close(d, how);
                verifyRefused(d, nameBox(d));
                QCOMPARE(notifier.texts.last(),
                         "Cannot Create '" + name + "'. Site Name Already Exists.");
            }
            close(d, how);
        });
        QTest::mouseClick(child("cmd_Add_Site"), Qt::LeftButton);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(notifier.titles.size(), typed.size() - 1);
        QCOMPARE(rows("lst_Site"), listed);
        QCOMPARE(selectedRow("lst_Site"), selected);
        if (selected < 0) {
            verifyNoSiteShown();
            QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), sites);
        } else {
            QVERIFY(child("cmd_Rem_Site")->isEnabled());
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
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("a rename moves the site") << 0 << "Zebra"
                                                 << "OK" << QString() << QStringList{kTransfer}
                                                 << QStringList{"Banana", "Cherry", "Zebra"};
        QTest::newRow("Cancel after typing") << 1 << "Date"
                                             << "Cancel" << QString() << QStringList() << kFruit;
        QTest::newRow("gone at opening: no dialog")
            << 1 << QString() << QString() << "opening" << QStringList{kNotFound}
            << QStringList{"Apple", "Cherry"};
        QTest::newRow("gone at OK")
            << 1 << "Date"
            << "OK"
            << "OK" << QStringList{kNotFound} << QStringList{"Apple", "Cherry"};
    }

    void edit()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, goneAt);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, listed);
        write("SB-Sites.DaT", sites_);
        start();
        list("lst_Site")->setCurrentRow(row);
        const QString site = kFruit[row];
        const QByteArray without = rec({"Cherry", "c"}) + rec({"Apple", "a"});
        if (goneAt == "opening")
            write("SB-Sites.DaT", without);
        bool opened = false;
        onDialog([&](QDialog& d) {
            opened = true;
            show(d);
            // The stored values: the name's proposed address has been replaced.
            QCOMPARE(nameBox(d)->text(), site);
            QCOMPARE(urlBox(d)->text(), site.toLower() + ".example");
            for (const char* old : {"txt_Edit_Site_Old_Name", "txt_Edit_Site_Old_URL"})
                QVERIFY(!box(d, old)->isEnabled());
            QCOMPARE(box(d, "txt_Edit_Site_Old_URL")->text(), urlBox(d)->text());
            QTest::keyClicks(nameBox(d), typed);
            QCOMPARE(urlBox(d)->text(), "www." + typed + ".com");
            if (goneAt == "OK")
                write("SB-Sites.DaT", without);
            close(d, how);
        });
        notifier.answers = {true};
        QTest::mouseClick(child("cmd_Edit_Site"), Qt::LeftButton);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(opened, goneAt != "opening");
        QCOMPARE(notifier.titles, titles);
        QCOMPARE(rows("lst_Site"), listed);
        QCOMPARE(selectedRow("lst_Site"), row);
        verifyFocusOnAddSite();
        if (how == "Cancel")
            QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), sites_);
    }

    // A refused OK keeps the dialog open, on the box at fault.
    void refused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("nameAtFault");
        QTest::newRow("Add: double quote in the address") << "cmd_Add_Site"
                                                          << "Date"
                                                          << "www.\"date\".com" << false;
        QTest::newRow("Edit: double quote in the name") << "cmd_Edit_Site"
                                                        << "Da\"te"
                                                        << "" << true;
        QTest::newRow("Edit: another site's name") << "cmd_Edit_Site"
                                                   << "cHERRY"
                                                   << "" << true;
    }

    void refused()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QString, url);
        QFETCH(bool, nameAtFault);
        write("SB-Sites.DaT", sites_);
        start();
        list("lst_Site")->setCurrentRow(0);
        onDialog([&](QDialog& d) {
            show(d);
            QTest::keyClicks(nameBox(d), name);
            if (!url.isEmpty()) {
                QTest::keyClick(nameBox(d), Qt::Key_Tab);
                QTest::keyClicks(urlBox(d), url);
            }
            close(d, "OK");
            verifyRefused(d, nameAtFault ? nameBox(d) : urlBox(d));
            close(d, "Cancel");
        });
        QTest::mouseClick(child(button), Qt::LeftButton);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(notifier.titles.size(), 1);
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), sites_);
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
        write("SB-Sites.DaT", sites_);
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
        } else {
            QCOMPARE(selectedRow("lst_Site"), 1);
            QCOMPARE(rows("lst_Username"), QStringList{"u"});
        }
    }
};

QTEST_MAIN(TestSiteDialogs)
#include "tst_site_dialogs.moc"
