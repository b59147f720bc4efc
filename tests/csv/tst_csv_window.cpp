// Importing and exporting through the site list's menu and a dropped file:
// the preview, what each way of closing it writes, and the round trip.
#include "support/dialog_driver.h"
#include "support/window_fixture.h"

#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QtTest>

using namespace sb::test;

namespace {

const QByteArray kS = rec({"github.com", "https://github.com/"}) +
                      rec({"Mail.Example.org", "https://mail.example.org"});
const QByteArray kMail = rec({"mail.example.org", "ann", "pw-ann", "x"});
const QByteArray kA = rec({"GITHUB.COM", "octo", "old-pw", ""}) + kMail;

} // namespace

class TestCsvWindow : public QObject, WindowFixture
{
    Q_OBJECT

    // The file dialogs choose `path`; the preview is closed by `how`.
    void drive(const QString& path, const std::function<void(QDialog&)>& preview)
    {
        notifier.onDialog = [=](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(path);
                d.accept(); // QFileDialog::accept(), as its button does
            } else {
                preview(d);
            }
            return d.result();
        };
    }
    void trigger(const char* item) { window->findChild<QAction*>(item)->trigger(); }

private slots:
    void init() { fresh(); }

    void import_data()
    {
        QTest::addColumn<QString>("file"); // from the samples, dropped when its name is in capitals
        QTest::addColumn<QString>("how");  // the preview's keys
        QTest::addColumn<QByteArray>("sites");
        QTest::addColumn<QByteArray>("accounts");
        QTest::addColumn<QString>("after"); // the site selected, or the box shown
        const QByteArray bank =
            rec({"bank.example", "j.smith", "s3cr3t", "first line second line"}) +
            rec({"bank.example", " j.smith ", "x", ""});
        const QByteArray sites = kS + rec({"bank.example", "https://bank.example/"});
        QTest::newRow("replaced") << "chrome.csv"
                                  << "Space, Enter" << sites
                                  << rec({"GITHUB.COM", "octo", "new-pw", ""}) + kMail + bank
                                  << "bank.example";
        QTest::newRow("dropped") << "CHROME.CSV"
                                 << "Enter" << sites << kA + bank << "bank.example";
        QTest::newRow("Cancel") << "chrome.csv"
                                << "Space, Esc" << kS << kA << "";
        QTest::newRow("commit fails")
            << "chrome.csv"
            << "no room, Enter" << kS << kA << "[Stashbook]  :File Error:  SB-Sites.DaT";
        QTest::newRow("unknown header")
            << "bad.csv"
            << "" << kS << kA << "[Stashbook]  :Import From CSV File:  Cannot Read The File";
    }
    void import()
    {
        QFETCH(QString, file);
        QFETCH(QString, how);
        QFETCH(QString, after);
        QFETCH(QByteArray, sites);
        QFETCH(QByteArray, accounts);
        write("SB-Sites.DaT", kS);
        write("SB-Acnts.DaT", kA);
        const QString path = dir->filePath(file);
        if (file == "bad.csv")
            write(file, "id,login,secret\n");
        QVERIFY(file == "bad.csv" || QFile::copy(SAMPLES "chrome.csv", path));
        start();
        QString figures, listing;
        drive(path, [&](QDialog& d) {
            showActive(d);
            figures = d.findChild<QLabel*>("lbl_Import_CSV_Figures")->text();
            listing = d.findChild<QPlainTextEdit*>()->toPlainText();
            for (int n = 1; how.startsWith("no room") && n <= 10000; ++n)
                write(QString("SB-t%1.txt").arg(n), {});
            if (how.startsWith("Space"))
                QTest::keyClick(d.focusWidget(), Qt::Key_Space);
            closeDialog(d, how.section(", ", -1), "cmd_Import_CSV_OK_or_Cancel");
        });
        if (file == "CHROME.CSV") {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
            static_cast<QObject*>(window.get())->event(&drop); // as the desktop's drop
            QVERIFY(drop.isAccepted());
            QCoreApplication::processEvents();
        } else {
            trigger("mnu_Site_Import_CSV");
        }
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), sites);
        QCOMPARE(readFile(dir->path(), "SB-Acnts.DaT"), accounts);
        QCOMPARE(list("lst_Site")->selectedText(), after.startsWith('[') ? "" : after);
        QCOMPARE(notifier.titles.value(0), after.startsWith('[') ? after : "");
        if (how.isEmpty())
            return;
        QCOMPARE(figures, "File: " + file +
                              "\nRows read: 7, in the layout of Chrome\n"
                              "Sites to add: 1\nAccounts to add: 2\n"
                              "Accounts there already, same password (skipped): 1\n"
                              "Accounts there already, another password (listed): 1\n"
                              "Rows that cannot be imported (listed): 3");
        QCOMPARE(listing, "There already with another password (kept unless replaced):\n"
                          "    Row 2: site \"github.com\", user name \"octo\"\n\n"
                          "A value holds a double quote, which cannot be stored:\n"
                          "    Row 4: site \"bank.example\", user name \"Smith, J\"\n\n"
                          "Empty rows:\n    Row 6\n\n"
                          "Site and user name of an earlier row, which is imported:\n"
                          "    Row 8: site \"bank.example\", user name \"J.SMITH\"");
    }

    // Every account through the menu once the warning is answered Yes, then
    // read back into an empty folder; and a file that cannot be written.
    void exportAndBack()
    {
        write("SB-Sites.DaT", kS);
        write("SB-Acnts.DaT", kA + rec({"Gone", "gus", "pw, g", "note"}));
        start();
        QTemporaryDir out;
        notifier.answers = {true, true};
        drive(out.filePath("out.csv"), {});
        trigger("mnu_Site_Export_CSV");
        drive(out.filePath("missing/out.csv"), {});
        trigger("mnu_Site_Export_CSV");
        QCOMPARE(readFile(out.path(), "out.csv"),
                 "name,url,username,password,note\n"
                 "github.com,https://github.com/,octo,old-pw,\n"
                 "Mail.Example.org,https://mail.example.org,ann,pw-ann,x\n"
                 "Gone,,gus,\"pw, g\",note\n");
        QCOMPARE(modeOf(out.filePath("out.csv")), 0600u);
        const QString warning = "[Stashbook]  :Export To CSV File:  Passwords In Clear Text!";
        QCOMPARE(notifier.titles,
                 QStringList({warning, warning,
                              "[Stashbook]  :Export To CSV File:  Cannot Write The File"}));

        fresh();
        start();
        drive(out.filePath("out.csv"), [](QDialog& d) { d.accept(); });
        trigger("mnu_Site_Import_CSV");
        // The accounts under their site's own name, and a site for those
        // whose site was gone.
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"), kS + rec({"Gone", ""}));
        QCOMPARE(readFile(dir->path(), "SB-Acnts.DaT"),
                 rec({"github.com", "octo", "old-pw", ""}) +
                     rec({"Mail.Example.org", "ann", "pw-ann", "x"}) +
                     rec({"Gone", "gus", "pw, g", "note"}));
    }
};

QTEST_MAIN(TestCsvWindow)
#include "tst_csv_window.moc"
