// The main window's start-up, its controls and the reload button.
#include "app/main_window.h"
#include "app/twips.h"
#include "support/fake_notifier.h"
#include "support/files.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using sb::test::rec;
using sb::test::writeFile;

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    sb::test::FakeNotifier notifier_;
    std::unique_ptr<sb::app::frmStashbook> window_;

    sb::app::frmStashbook& start()
    {
        sb::app::Environment env;
        env.dataDir = dir_.path().toStdString();
        env.notifier = &notifier_;
        window_ = std::make_unique<sb::app::frmStashbook>(env);
        window_->Start_Up();
        return *window_;
    }

    template <class T> T* child(const char* name)
    {
        T* w = window_->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control named %s", name);
        return w;
    }

    QStringList siteRows()
    {
        QStringList rows;
        auto* list = child<QListWidget>("lst_Site");
        for (int i = 0; i < list->count(); ++i)
            rows << list->item(i)->text();
        return rows;
    }

    QString sitesCaption() { return child<QPushButton>("cmd_Sites")->text(); }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        notifier_.errors.clear();
    }
    void cleanup() { window_.reset(); }

    void controlsAtStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<bool>("enabled");
        const QString reload = QStringLiteral("Reload List!");
        QTest::newRow("cmd_Sites") << "cmd_Sites" << "[SITES]:  0" << reload << true;
        QTest::newRow("cmd_Reload") << "cmd_Reload" << "Re&load!" << "" << true;
        QTest::newRow("cmd_Add_Site") << "cmd_Add_Site" << "&Add" << "" << true;
        QTest::newRow("cmd_Edit_Site") << "cmd_Edit_Site" << "&Edit" << "" << false;
        QTest::newRow("cmd_Rem_Site") << "cmd_Rem_Site" << "&Rem" << "" << false;
        QTest::newRow("cmd_Site_Name")
            << "cmd_Site_Name"
            << "Use:   Control-T   :To Minimize/Restore 'Stashbook' From The System Tray" << reload
            << true;
        QTest::newRow("cmd_Go") << "cmd_Go" << "GO!" << "GO! To The URL of Selected Site" << false;
        QTest::newRow("Command1") << "Command1" << "Username" << reload << true;
        QTest::newRow("Command2") << "Command2" << "Password" << reload << true;
        QTest::newRow("Command3") << "Command3" << "Extra Info (Optional)" << reload << true;
        QTest::newRow("cmd_Go_Referral_URL") << "cmd_Go_Referral_URL" << "GO!"
                                             << "GO! If Extra Info Is An URL --> Load Page" << false;
        QTest::newRow("cmd_Add_Account") << "cmd_Add_Account" << "Add &New Account" << "" << false;
        QTest::newRow("cmd_Edit_Account")
            << "cmd_Edit_Account" << "Edit &Selected Account" << "" << false;
        QTest::newRow("cmd_Remove_Account")
            << "cmd_Remove_Account" << "Remove E&xisting Account" << "" << false;
    }

    void controlsAtStart()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        QFETCH(bool, enabled);
        start();
        auto* b = child<QPushButton>(name.toLatin1().constData());
        QCOMPARE(b->text(), caption);
        QCOMPARE(b->toolTip(), tip);
        QCOMPARE(b->isEnabled(), enabled);
    }

    void listsAndMenusExist()
    {
        start();
        QCOMPARE(child<QListWidget>("lst_Username")->toolTip(),
                 QStringLiteral("Double-Click To Copy Username To Clipboard"));
        QCOMPARE(child<QListWidget>("lst_Password")->toolTip(),
                 QStringLiteral("Double-Click To Copy Password To Clipboard"));
        QCOMPARE(child<QListWidget>("lst_Referral_URL")->toolTip(),
                 QStringLiteral("Double-Click To Copy Extra Info To Clipboard"));
        for (const char* menu : {"mnu_File", "mnu_Account_Copy", "mnu_Copy_Site"}) {
            QMenu* m = child<QMenu>(menu);
            QCOMPARE(m->title(), QStringLiteral(" "));
            QVERIFY(!m->isVisible());
        }
    }

    void windowTitleStatusAndSize()
    {
        sb::app::frmStashbook& w = start();
        QCOMPARE(w.programVersion(), QStringLiteral("1.50"));
        QVERIFY(w.isVisible());
        QVERIFY(w.windowTitle().startsWith(QStringLiteral("Stashbook (v1.50)   <\u00a6>   ")));
        const QString status = child<QStatusBar>("sts_Bar")->findChild<QLabel*>()->text();
        QVERIFY(status.startsWith(QStringLiteral("Stashbook (v1.50)     <\u00a6>     ")));

        const int width = sb::app::twipsToPixels(9615, w.logicalDpiX());
        const int height = sb::app::twipsToPixels(5880, w.logicalDpiY());
        QCOMPARE(w.size(), QSize(width, height));
        QCOMPARE(w.minimumSize(), w.maximumSize()); // the user cannot resize it
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));

        // Every control lies inside the client area.
        for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QMenu*>(c))
                QVERIFY2(w.rect().contains(c->geometry()), qPrintable(c->objectName()));
    }

    void startWithoutFiles()
    {
        sb::app::frmStashbook& w = start();
        QCOMPARE(siteRows(), QStringList());
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  0"));
        QCOMPARE(w.accountCount(), 0);
        QCOMPARE(w.focusWidget(), child<QPushButton>("cmd_Add_Site"));
        QVERIFY(notifier_.errors.isEmpty());
        // Starting does not create files.
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList());
    }

    void startListsSitesSorted_data()
    {
        QTest::addColumn<QByteArray>("sites");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("file order is not list order")
            << rec({"C", "c.example"}) + rec({"A", "a.example"}) + rec({"B", "b.example"})
            << QStringList{"A", "B", "C"};
        QTest::newRow("letter case ignored")
            << rec({"banana", ""}) + rec({"Apple", ""}) + rec({"cherry", ""}) + rec({"Bank", ""})
            << QStringList{"Apple", "banana", "Bank", "cherry"};
        QTest::newRow("same name twice, equal names keep file order")
            << rec({"news", "1"}) + rec({"Mail", "2"}) + rec({"News", "3"}) + rec({"news", "4"})
            << QStringList{"Mail", "news", "News", "news"};
        QTest::newRow("empty name gives an empty row")
            << rec({"b", ""}) + rec({"", "x"}) << QStringList{"", "b"};
    }

    void startListsSitesSorted()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QStringList, rows);
        writeFile(dir_.path(), "SB-Sites.DaT", sites);
        writeFile(dir_.path(), "SB-Acnts.DaT",
                  rec({"A", "u", "p", ""}) + rec({"zz", "u2", "p2", "e"}));
        sb::app::frmStashbook& w = start();
        QCOMPARE(siteRows(), rows);
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  ") + QString::number(rows.size()));
        QCOMPARE(w.accountCount(), 2);
        QCOMPARE(child<QListWidget>("lst_Site")->currentRow(), -1);
        QVERIFY(child<QListWidget>("lst_Site")->selectedItems().isEmpty());
        QVERIFY(w.focusWidget() != child<QPushButton>("cmd_Add_Site"));
        QVERIFY(notifier_.errors.isEmpty());
    }

    void fileNameInOtherLetterCase()
    {
        writeFile(dir_.path(), "sb-sites.dat", rec({"Lower", "l.example"}));
        writeFile(dir_.path(), "SB-ACNTS.DAT", rec({"Lower", "u", "p", ""}));
        sb::app::frmStashbook& w = start();
        QCOMPARE(siteRows(), QStringList{"Lower"});
        QCOMPARE(w.accountCount(), 1);
    }

    void headerButtonsDoNothing()
    {
        writeFile(dir_.path(), "SB-Sites.DaT", rec({"A", "a"}) + rec({"B", "b"}));
        sb::app::frmStashbook& w = start();
        const QStringList before = siteRows();
        writeFile(dir_.path(), "SB-Sites.DaT", rec({"X", "x"})); // a reload would show X
        for (const char* name : {"cmd_Sites", "cmd_Site_Name", "Command1", "Command2", "Command3"}) {
            auto* b = child<QPushButton>(name);
            const QString caption = b->text();
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(b->text(), caption);
            QCOMPARE(siteRows(), before);
            QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  2"));
            QVERIFY(w.isVisible());
        }
    }

    void reloadShowsChangesMadeByOthers()
    {
        writeFile(dir_.path(), "SB-Sites.DaT", rec({"B", "b"}));
        writeFile(dir_.path(), "SB-Acnts.DaT", rec({"B", "u", "p", ""}));
        sb::app::frmStashbook& w = start();

        writeFile(dir_.path(), "SB-Sites.DaT", rec({"B", "b"}) + rec({"A", "a"}));
        writeFile(dir_.path(), "SB-Acnts.DaT", rec({"B", "u", "p", ""}) + rec({"A", "v", "q", ""}));
        QTest::mouseClick(child<QPushButton>("cmd_Reload"), Qt::LeftButton);
        QCOMPARE(siteRows(), (QStringList{"A", "B"}));
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  2"));
        QCOMPARE(w.accountCount(), 2);
        QCOMPARE(w.focusWidget(), child<QListWidget>("lst_Site"));

        // Reloading again changes nothing.
        w.cmd_Reload_Click();
        QCOMPARE(siteRows(), (QStringList{"A", "B"}));
        QCOMPARE(w.accountCount(), 2);
    }

    void reloadAfterFilesVanished()
    {
        writeFile(dir_.path(), "SB-Sites.DaT", rec({"B", "b"}) + rec({"A", "a"}));
        writeFile(dir_.path(), "SB-Acnts.DaT", rec({"B", "u", "p", ""}));
        sb::app::frmStashbook& w = start();
        auto* sites = child<QListWidget>("lst_Site");
        sites->setCurrentRow(1);
        QCOMPARE(child<QListWidget>("lst_Username")->count(), 1);
        QVERIFY(QFile::remove(QDir(dir_.path()).filePath("SB-Sites.DaT")));
        QVERIFY(QFile::remove(QDir(dir_.path()).filePath("SB-Acnts.DaT")));
        w.cmd_Reload_Click();
        // The old rows stay while the count says the file holds nothing;
        // none is selected and the account side is empty.
        QCOMPARE(siteRows(), (QStringList{"A", "B"}));
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  0"));
        QCOMPARE(w.accountCount(), 1);
        QVERIFY(sites->selectedItems().isEmpty());
        QCOMPARE(child<QListWidget>("lst_Username")->count(), 0);
        QVERIFY(!child<QPushButton>("cmd_Go")->isEnabled());
        QVERIFY(!child<QPushButton>("cmd_Edit_Site")->isEnabled());
        QVERIFY(notifier_.errors.isEmpty());
    }

    void damagedFileIsReportedAndViewKept_data()
    {
        QTest::addColumn<QString>("damagedFile");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("sites cut short") << "SB-Sites.DaT" << QByteArray("\"A\",\"a\"\r\n\"B\"");
        QTest::newRow("accounts cut short")
            << "SB-Acnts.DaT" << QByteArray("\"A\",\"u\",\"p\",\"\"\r\n\"A\",\"v\"\r\n");
    }

    void damagedFileIsReportedAndViewKept()
    {
        QFETCH(QString, damagedFile);
        QFETCH(QByteArray, bytes);
        writeFile(dir_.path(), "SB-Sites.DaT", rec({"B", "b"}) + rec({"A", "a"}));
        writeFile(dir_.path(), "SB-Acnts.DaT", rec({"A", "u", "p", ""}));
        sb::app::frmStashbook& w = start();
        QVERIFY(notifier_.errors.isEmpty());

        writeFile(dir_.path(), damagedFile, bytes);
        w.cmd_Reload_Click();
        QCOMPARE(notifier_.errors.size(), 1);
        QCOMPARE(notifier_.errors[0].title, QStringLiteral("[Stashbook]  :File Error:  ") + damagedFile);
        QVERIFY2(notifier_.errors[0].text.contains(QLatin1String("record 2")),
                 qPrintable(notifier_.errors[0].text));
        QCOMPARE(siteRows(), (QStringList{"A", "B"}));
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  2"));
        QCOMPARE(w.accountCount(), 1);
        QVERIFY(w.isVisible());
        // Nothing was written over the damaged file.
        QCOMPARE(sb::test::readFile(dir_.path(), damagedFile), bytes);
    }

    void tabOrder()
    {
        writeFile(dir_.path(), "SB-Sites.DaT", rec({"A", "a"}));
        sb::app::frmStashbook& w = start();
        for (QPushButton* b : w.findChildren<QPushButton*>())
            b->setEnabled(true);
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        child<QListWidget>("lst_Site")->setFocus();

        const QStringList expected = {"lst_Site",         "cmd_Add_Site",     "cmd_Edit_Site",
                                      "cmd_Rem_Site",     "lst_Username",     "lst_Password",
                                      "lst_Referral_URL", "cmd_Add_Account",  "cmd_Edit_Account",
                                      "cmd_Remove_Account"};
        QStringList seen;
        for (int i = 0; i < expected.size(); ++i) {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(seen, expected);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
