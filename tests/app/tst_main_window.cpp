// The main window's start-up and the reload button.
#include "support/window_fixture.h"

#include <QtTest>

using sb::test::rec;

class TestMainWindow : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    QString sitesCaption() { return child("cmd_Sites")->text(); }

private slots:
    void init() { fresh(); }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("sites");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("no files") << QByteArray() << QStringList();
        QTest::newRow("sorted, letter case ignored")
            << rec({"b", "1"}) + rec({"C", "2"}) + rec({"a", "3"}) << QStringList{"a", "b", "C"};
    }

    void startUp()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QStringList, listed);
        if (!sites.isNull()) {
            write("SB-Sites.DaT", sites);
            write("SB-Acnts.DaT", rec({"a", "u", "p", ""}) + rec({"zz", "v", "q", ""}));
        }
        sb::app::frmStashbook& w = start();
        QCOMPARE(rows("lst_Site"), listed);
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  %1").arg(listed.size()));
        QCOMPARE(w.accountCount(), listed.isEmpty() ? 0 : 2);
        verifyNoSiteShown();
        QCOMPARE(w.focusWidget() == child("cmd_Add_Site"), listed.isEmpty());
        QVERIFY(notifier.titles.isEmpty());
        // Starting creates no file.
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), listed.isEmpty() ? 0 : 2);
    }

    // Vanished files leave the old rows on show, unselected, while the
    // caption counts what the file holds now.
    void reload_data()
    {
        QTest::addColumn<bool>("vanished");
        QTest::newRow("files changed") << false;
        QTest::newRow("files vanished") << true;
    }

    void reload()
    {
        QFETCH(bool, vanished);
        write("SB-Sites.DaT", rec({"B", "b"}) + rec({"A", "a"}));
        write("SB-Acnts.DaT", rec({"B", "u", "p", ""}));
        sb::app::frmStashbook& w = start();
        list("lst_Site")->setCurrentRow(1);
        QCOMPARE(list("lst_Username")->count(), 1);
        if (vanished) {
            QVERIFY(QDir(dir->path()).remove("SB-Sites.DaT"));
            QVERIFY(QDir(dir->path()).remove("SB-Acnts.DaT"));
        } else {
            write("SB-Sites.DaT", rec({"C", "c"}) + rec({"B", "b"}) + rec({"A", "a"}));
            write("SB-Acnts.DaT", rec({"B", "u", "p", ""}) + rec({"C", "v", "q", ""}));
        }
        // The caption buttons are labels: clicking one does not reload.
        for (const char* name : {"cmd_Sites", "cmd_Site_Name", "Command1", "Command2", "Command3"})
            QTest::mouseClick(child(name), Qt::LeftButton);
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  2"));
        QTest::mouseClick(child("cmd_Reload"), Qt::LeftButton);
        QCOMPARE(rows("lst_Site"), (vanished ? QStringList{"A", "B"} : QStringList{"A", "B", "C"}));
        QCOMPARE(sitesCaption(), vanished ? QStringLiteral("[SITES]:  0") : "[SITES]:  3");
        QCOMPARE(w.accountCount(), vanished ? 1 : 2);
        verifyNoSiteShown();
        QCOMPARE(w.focusWidget(), list("lst_Site"));
        QVERIFY(notifier.titles.isEmpty());
    }

    // A damaged file is reported, naming it and the record, and the view is
    // kept as it was.
    void damagedFileIsReportedAndViewKept_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("sites") << "SB-Sites.DaT" << rec({"A", "a"}) + "\"B\"";
        QTest::newRow("accounts") << "SB-Acnts.DaT" << rec({"A", "u", "p", ""}) + "\"B\"";
    }

    void damagedFileIsReportedAndViewKept()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        write("SB-Sites.DaT", rec({"B", "b"}) + rec({"A", "a"}));
        write("SB-Acnts.DaT", rec({"A", "u", "p", ""}));
        sb::app::frmStashbook& w = start();
        list("lst_Site")->setCurrentRow(0);
        write(file, bytes);
        w.cmd_Reload_Click();
        QCOMPARE(notifier.titles, QStringList{"[Stashbook]  :File Error:  " + file});
        QVERIFY2(notifier.texts[0].contains("record 2"), qPrintable(notifier.texts[0]));
        QCOMPARE(rows("lst_Site"), (QStringList{"A", "B"}));
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  2"));
        QCOMPARE(w.accountCount(), 1);
        QCOMPARE(rows("lst_Username"), QStringList{"u"});
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
