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

class TestCsvWindow : public QObject, WindowFixture
{
    Q_OBJECT

    const QByteArray kS = rec({"github.com", "https://github.com/"}) +
                          rec({"Mail.Example.org", "https://mail.example.org"});
    const QByteArray kMail = rec({"mail.example.org", "ann", "pw-ann", "x"});

    // The file dialogs choose `path`; `preview` closes the preview.
    void run(const char* item, const QString& path, std::function<void(QDialog&)> preview = {})
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
        if (item)
            window->findChild<QAction*>(item)->trigger();
    }

private slots:
    void init() { fresh(); }

    void import_data()
    {
        QTest::addColumn<QString>("file"); // dropped when its name is in capitals
        QTest::addColumn<QString>("keys"); // in the preview
        QTest::addColumn<QByteArray>("accounts");
        QTest::addColumn<QString>("after"); // the site selected, or the box shown
        const QByteArray kA = rec({"GITHUB.COM", "octo", "old-pw", ""}) + kMail;
        const QByteArray bank =
            rec({"bank.example", "j.smith", "s3cr3t", "first line second line"}) +
            rec({"bank.example", " j.smith ", "x", ""});
        QTest::newRow("replaced") << "chrome.csv"
                                  << "Space, Enter"
                                  << rec({"GITHUB.COM", "octo", "new-pw", ""}) + kMail + bank
                                  << "bank.example";
        QTest::newRow("dropped") << "CHROME.CSV"
                                 << "Enter" << kA + bank << "bank.example";
        QTest::newRow("Cancel") << "chrome.csv"
                                << "Space, Esc" << kA << "";
        QTest::newRow("commit fails")
            << "chrome.csv"
            << "no room, Enter" << kA << "[Stashbook]  :File Error:  SB-Sites.DaT";
        QTest::newRow("unknown header")
            << "bad.csv"
            << "" << kA << "[Stashbook]  :Import From CSV File:  Cannot Read The File";
    }
    void import()
    {
        QFETCH(QString, file);
        QFETCH(QString, keys);
        QFETCH(QByteArray, accounts);
        QFETCH(QString, after);
        write("SB-Sites.DaT", kS);
        write("SB-Acnts.DaT", rec({"GITHUB.COM", "octo", "old-pw", ""}) + kMail);
        write(file, "id,login,secret\n");
        const QString path = dir->filePath(file);
        QVERIFY(file == "bad.csv" ||
                (QFile::remove(path) && QFile::copy(SAMPLES "chrome.csv", path)));
        start();
        QString figures, listing;
        run(file == "CHROME.CSV" ? nullptr : "mnu_Site_Import_CSV", path, [&](QDialog& d) {
            showActive(d);
            figures = d.findChild<QLabel*>()->text();
            listing = d.findChild<QPlainTextEdit*>()->toPlainText();
            for (int n = 1; keys.startsWith("no room") && n <= 10000; ++n)
                write(QString("SB-t%1.txt").arg(n), {});
            if (keys.startsWith("Space"))
                QTest::keyClick(d.focusWidget(), Qt::Key_Space);
            closeDialog(d, keys.section(", ", -1), "cmd_Import_CSV_OK_or_Cancel");
        });
        for (const QString& name : {dir->filePath("a.txt"), path}) { // only the second is imported
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(name)});
            QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
            if (file == "CHROME.CSV") // as the desktop's drop
                QCOMPARE(static_cast<QObject*>(window.get())->event(&drop) && drop.isAccepted(),
                         name == path);
        }
        QCoreApplication::processEvents();
        const bool added = after.endsWith(".example");
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"),
                 kS + (added ? rec({"bank.example", "https://bank.example/"}) : ""));
        QCOMPARE(readFile(dir->path(), "SB-Acnts.DaT"), accounts);
        QCOMPARE(list("lst_Site")->selectedText(), added ? after : "");
        QCOMPARE(notifier.titles.value(0), after.startsWith("[") ? after : "");
        if (keys.isEmpty())
            return;
        QCOMPARE(figures, "File: " + file +
                              "\nRows read: 7, in the layout of Chrome\nSites to add: 1\nAccounts "
                              "to add: 2\nAccounts there already, same password (skipped): 1\n"
                              "Accounts there already, another password (listed): 1\nRows that "
                              "cannot be imported (listed): 3");
        QCOMPARE(listing.count("    Row "), 4); // by site and user name:
        QVERIFY(listing.contains("Row 4: site \"bank.example\", user name \"Smith, J\"\n"));
        window->Undo_Last_Change(); // an import is one change to undo
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT") + readFile(dir->path(), "SB-Acnts.DaT"),
                 kS + rec({"GITHUB.COM", "octo", "old-pw", ""}) + kMail);
    }

    // Every account through the menu once the warning is answered Yes, then
    // read back into an empty folder; and a file that cannot be written.
    void exportAndBack()
    {
        write("SB-Sites.DaT", kS);
        write("SB-Acnts.DaT",
              rec({"GITHUB.COM", "octo", "pw", ""}) + rec({"Gone", "gus", "p, g", "n"}));
        start();
        QTemporaryDir out;
        notifier.answers = {true, true};
        run("mnu_Site_Export_CSV", out.filePath("out.csv"));
        run("mnu_Site_Export_CSV", out.filePath("missing/out.csv"));
        QCOMPARE(readFile(out.path(), "out.csv"), "name,url,username,password,note\n"
                                                  "github.com,https://github.com/,octo,pw,\n"
                                                  "Gone,,gus,\"p, g\",n\n");
        QCOMPARE(modeOf(out.filePath("out.csv")), 0600u);
        QCOMPARE(notifier.titles.join('|').remove("[Stashbook]  :Export To CSV File:  "),
                 "Passwords In Clear Text!|Passwords In Clear Text!|Cannot Write The File");

        fresh();
        start();
        run("mnu_Site_Import_CSV", out.filePath("out.csv"), [](QDialog& d) { d.accept(); });
        // The accounts under their site's name; a site for those whose site was gone.
        QCOMPARE(readFile(dir->path(), "SB-Sites.DaT"),
                 rec({"github.com", "https://github.com/"}) + rec({"Gone", ""}));
        QCOMPARE(readFile(dir->path(), "SB-Acnts.DaT"),
                 rec({"github.com", "octo", "pw", ""}) + rec({"Gone", "gus", "p, g", "n"}));
    }
};

QTEST_MAIN(TestCsvWindow)
#include "tst_csv_window.moc"
