// stashbook-cli on temporary folders, the same refusals through a dialog and
// through the command line, and the window following what the command line
// changes.
#include "app/outside_changes.h"
#include "dialogs/account/frm_account_add.h"
#include "dialogs/account/frm_account_edit.h"
#include "dialogs/dialog_kit.h"
#include "dialogs/site/site_dialogs.h"
#include "rules/data_store.h"
#include "support/window_driver.h"

#include <QJsonDocument>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

using sb::test::rec;

namespace {

const QByteArray kS = rec({"News", "n.example"}) + rec({"Mail", "m"});
const QByteArray kAlice = rec({"NEWS", "alice", "pw-a", "x"}),
                 kBob = rec({"Mail", "bob", "pw-b", ""});
const QByteArray kCarol = rec({"News", "carol", "pw-c", ""});
const QByteArray kA = kAlice + kBob + kCarol;
const QByteArray kCsv =
    "name,url,username,password\nNews,n.example,alice,other\nShop,s.example,sam,pw\n";
const QByteArray kPreview =
    "File: in.csv\nRows read: 2, in the layout of Chrome\nSites to add: 1\nAccounts to add: 1\n"
    "Accounts there already, same password (skipped): 0\nAccounts there already, another "
    "password (listed): 1\nRows that cannot be imported (listed): 0\n\nThere already with "
    "another password (kept unless replaced):\n    Row 2: site \"News\", user name \"alice\"\n";

struct Run
{
    int status;
    QByteArray out, err;
};

// The command line on `dir` (its working directory), without a display.
Run cli(const QString& dir, const QString& args, const QByteArray& in = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(CLI, args.split('|'));
    p.write(in);
    p.closeWriteChannel();
    p.waitForFinished();
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString path() const { return dir_->path(); }
    QByteArray file(const char* name) { return sb::test::readFile(path(), name); }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        sb::test::writeFile(path(), "SB-Sites.DaT", kS);
        sb::test::writeFile(path(), "SB-Acnts.DaT", kA);
        sb::test::writeFile(path(), "in.csv", kCsv);
    }

    // What a command prints (on standard error when refused: the first
    // line) and leaves in the files; null files: as they were.
    void commands_data()
    {
        for (const char* c : {"args", "in", "said", "sites", "accounts"})
            QTest::addColumn<QByteArray>(c);
        QTest::addColumn<int>("status");
        const QByteArray same;
        const auto row = [](const char* args, const QByteArray& in, int status,
                            const QByteArray& said, const QByteArray& sites = {},
                            const QByteArray& accounts = {}) {
            QTest::newRow(args) << QByteArray(args) << in << said << sites << accounts << status;
        };
        row("sites", {}, 0, "Mail\nNews\n");
        row("sites|E", {}, 0, "News\n");
        row("sites|m*", {}, 0, "Mail\n");
        row("sites|--json", {}, 0,
            R"([{"name":"Mail","url":"m"},{"name":"News","url":"n.example"}])");
        row("accounts|news", {}, 0, "alice\ncarol\n");
        row("accounts|News|--json", {}, 0,
            R"({"site":"News","url":"n.example","accounts":[{"user":"alice","extra":"x"},{"user":"carol","extra":""}]})");
        row("accounts|Bank", {}, 1,
            "stashbook-cli: Cannot Find The Site 'Bank'. It Is Not In The Sites File.");
        row("show|news|ALICE", {}, 0, "alice pw-a x\n");
        row("show|News|carol|--field|password", {}, 0, "pw-c\n");
        row("show|News|alice|--json", {}, 0,
            R"({"site":"News","user":"alice","password":"pw-a","extra":"x"})");
        row("show|News|zed", {}, 1,
            "stashbook-cli: Cannot Find The Account 'zed'. It Is No Longer In The Accounts File.");
        row("search|AL", {}, 0, "News\talice\n");
        row("search|mail|--json", {}, 0, R"([{"site":"Mail","user":"bob"}])");
        // "|odd": accounts whose names JSON must escape are added first.
        row("search|t|--json|odd", {}, 0,
            R"([{"site":"Mail","user":"a\\b\tt"},{"site":"Mail","user":"0123456789\\t\u0001"}])");
        row("copy|News|alice", {}, 3,
            "stashbook-cli: copy needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set.");
        row("add-site|Bank|b", {}, 0, "Added site 'Bank'.\n", kS + rec({"Bank", "b"}));
        row("add-site|MAIL", {}, 1,
            "stashbook-cli: Cannot Create 'MAIL'. Site Name Already Exists.");
        row("edit-site|news|--name|Paper", {}, 2,
            "stashbook-cli: \"Would You Like The Accounts That Use The Old Site Name (News) To Be "
            "Transfered To The New Site Name (Paper) ?\" needs an answer: give --transfer or "
            "--no-transfer.");
        row("edit-site|news|--name|Paper|--transfer", {}, 0,
            "Renamed site 'News' to 'Paper' and moved its 2 accounts.\n",
            rec({"Paper", "n.example"}) + rec({"Mail", "m"}),
            rec({"Paper", "alice", "pw-a", "x"}) + kBob + rec({"Paper", "carol", "pw-c", ""}));
        row("edit-site|News|--url|u", {}, 0, "Changed the address of site 'News'.\n",
            rec({"News", "u"}) + rec({"Mail", "m"}));
        row("remove-site|mail", {}, 2,
            "stashbook-cli: \"Do You Want All The Accounts That Used This Site (Mail) "
            "Removed?\" needs an answer: give --with-accounts or --keep-accounts.");
        row("remove-site|mail|--with-accounts", {}, 0, "Removed site 'Mail' and its 1 account.\n",
            rec({"News", "n.example"}), kAlice + kCarol);
        row("add-account|news|zed|--extra|e", "pw\n", 0, "Added account 'zed' to 'News'.\n", same,
            kA + rec({"News", "zed", "pw", "e"}));
        row("add-account|news|ALICE", "p\n", 1,
            "stashbook-cli: Cannot Create 'ALICE'. Account Already Exists.");
        row("add-account|news|zed", {}, 2, "stashbook-cli: no password on standard input.");
        row("edit-account|News|alice|--user|Al|--password", "new\n", 0,
            "Changed account 'Al' of 'News'.\n", same,
            rec({"News", "Al", "new", "x"}) + kBob + kCarol);
        row("remove-account|news|CAROL", {}, 0, "Removed account 'carol' from 'News'.\n", same,
            kAlice + kBob);
        row("import|in.csv|--dry-run", {}, 0, kPreview);
        row("import|in.csv|--replace", {}, 0, kPreview + "Changed 1 site and 2 accounts.\n",
            kS + rec({"Shop", "s.example"}),
            rec({"NEWS", "alice", "other", "x"}) + kBob + kCarol + rec({"Shop", "sam", "pw", ""}));
        row("export|out.csv", {}, 0,
            "Exported 3 accounts; the file holds their passwords in clear text.\n");
        row("--data-dir|/nonexistent|sites", {}, 2,
            "stashbook-cli: cannot use the data folder \"/nonexistent\": No such file or "
            "directory.");
        for (const char* args : {"accounts|News|damaged", "search|al|damaged"})
            row(args, {}, 3,
                "stashbook-cli: SB-Acnts.DaT: record 4 is cut short: the file ends after field 1 "
                "of 4");
    }

    void commands()
    {
        QFETCH(QByteArray, args);
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, said);
        QFETCH(QByteArray, sites);
        QFETCH(QByteArray, accounts);
        QFETCH(int, status);
        QByteArray before = kA;
        if (args.endsWith("|damaged")) {
            args.chop(8);
            sb::test::writeFile(path(), "SB-Acnts.DaT", before += "\"Cut\"");
        }
        if (args.endsWith("|odd")) {
            args.chop(4);
            sb::test::writeFile(path(), "SB-Acnts.DaT",
                                before += rec({"Mail", "a\\b\tt", "p", ""}) +
                                          rec({"Mail", "0123456789\\t\x01", "p", ""}));
        }
        const Run r = cli(path(), args, in);
        QCOMPARE(r.status, status);
        const QByteArray out = status ? r.err.left(r.err.indexOf('\n')) : r.out;
        if (said.startsWith('[') || said.startsWith('{'))
            QCOMPARE(QJsonDocument::fromJson(out), QJsonDocument::fromJson(said));
        else
            QCOMPARE(out, said);
        QCOMPARE(file("SB-Sites.DaT"), sites.isNull() ? kS : sites);
        QCOMPARE(file("SB-Acnts.DaT"), accounts.isNull() ? before : accounts);
        if (args.startsWith("export"))
            QCOMPARE(file("out.csv"),
                     "name,url,username,password,note\nNews,n.example,alice,pw-a,x\n"
                     "News,n.example,carol,pw-c,\nMail,m,bob,pw-b,\n");
    }

    // What search finds, ignoring case: in names beyond ASCII, in names
    // spelled otherwise in the two files, across the bytes a name is
    // scanned by; a site found by its name lists all its accounts, and an
    // account of a site not in the sites file is not listed.
    void search_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("user names") << "needle"
                                    << QByteArray("Mail\txxxxxxxneedle\nMail\tz\xC3\xBC-needle\n"
                                                  "Stra\xC3\x9F"
                                                  "e\tbob.NEEDLE\n");
        QTest::newRow("site name beyond ASCII")
            << "Z\u00dcR" << QByteArray("Caf\xC3\xA9 Z\xC3\xBCrich\tanna\n");
        QTest::newRow("sharp s as SS") << "ss"
                                       << QByteArray("Stra\xC3\x9F"
                                                     "e\tbob.NEEDLE\n");
        QTest::newRow("nothing") << "needles" << QByteArray();
    }

    void search()
    {
        QFETCH(QString, args);
        QFETCH(QByteArray, said);
        sb::test::writeFile(path(), "SB-Sites.DaT",
                            rec({"Caf\u00e9 Z\u00fcrich", "c"}) +
                                rec({"CAF\u00c9 Z\u00dcRICH", "d"}) + rec({"Stra\u00dfe", "s"}) +
                                rec({"Mail", "m"}));
        sb::test::writeFile(path(), "SB-Acnts.DaT",
                            rec({"caf\u00e9 z\u00fcrich", "anna", "p", ""}) +
                                rec({"Strasse", "bob.NEEDLE", "p", ""}) +
                                rec({"Mail", "xxxxxxxneedle", "p", ""}) +
                                rec({"Mail", "z\u00fc-needle", "p", ""}) +
                                rec({"Gone", "needle", "p", ""}) + rec({"Mail", "nee", "p", ""}));
        const Run r = cli(path(), "search|" + args);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, said);
    }

    // The same input refused with the same words by a dialog and by the
    // command line; neither writes.
    void sameRefusal_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("typed"); // into the dialog's boxes, in order
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("in");
        QTest::newRow("taken site")
            << "add site" << QStringList{"NEWS", "u"} << "add-site|NEWS|u" << QByteArray();
        QTest::newRow("quote") << "add site" << QStringList{"a\"b", "u"} << "add-site|a\"b|u"
                               << QByteArray();
        QTest::newRow("rename taken")
            << "edit site" << QStringList{"mail"} << "edit-site|News|--name|mail" << QByteArray();
        QTest::newRow("taken account") << "add account" << QStringList{"ALICE", "p"}
                                       << "add-account|News|ALICE" << QByteArray("p\n");
        QTest::newRow("quote in password") << "add account" << QStringList{"zed", "p\"w"}
                                           << "add-account|News|zed" << QByteArray("p\"w\n");
        QTest::newRow("user name taken") << "edit account alice" << QStringList{"Carol"}
                                         << "edit-account|News|alice|--user|Carol" << QByteArray();
        QTest::newRow("account gone")
            << "edit account zed" << QStringList{} << "edit-account|News|zed" << QByteArray();
    }

    void sameRefusal()
    {
        QFETCH(QString, dialog);
        QFETCH(QStringList, typed);
        QFETCH(QString, args);
        QFETCH(QByteArray, in);
        sb::test::FakePrompter boxes;
        sb::rules::DataStore files(path().toStdString(), boxes);
        std::unique_ptr<QDialog> d;
        bool opened = true;
        const char* ok = "cmd_Add_Account_OK_or_Cancel";
        if (dialog == "add site") {
            d = std::make_unique<sb::dialogs::site::frmSite_Add>(files, boxes);
            ok = "cmd_Add_Site_OK_or_Cancel";
        } else if (dialog == "edit site") {
            auto edit = std::make_unique<sb::dialogs::site::frmSite_Edit>(files, boxes, "News");
            opened = edit->Form_Load();
            d = std::move(edit), ok = "cmd_Edit_Site_OK_or_Cancel";
        } else if (dialog == "add account") {
            d = std::make_unique<sb::dialogs::account::frmAccount_Add>(files, boxes, "News");
        } else {
            auto edit = std::make_unique<sb::dialogs::account::frmAccount_Edit>(
                files, boxes, "News", sb::rules::AccountRow{dialog.section(' ', 2)});
            opened = edit->Form_Load();
            d = std::move(edit);
        }
        const QList<QLineEdit*> fields = d->findChildren<QLineEdit*>();
        for (int i = 0; i < typed.size(); ++i)
            fields[i]->setText(typed[i]);
        if (opened)
            sb::dialogs::okCancelButton(d.get(), ok, 0)->click();
        QCOMPARE(boxes.texts.size(), 1);
        QCOMPARE(cli(path(), args, in).err, "stashbook-cli: " + boxes.texts[0].toUtf8() + '\n');
        QCOMPARE(file("SB-Sites.DaT") + file("SB-Acnts.DaT"), kS + kA);
    }

    // The window reloads what the command line wrote, once for a burst, not
    // while a dialog is open, and never for its own writes; the site and
    // the account selected stay, or the nearest rows when they are gone.
    void followsOutsideChanges_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("reloads");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("account");
        QTest::newRow("account moved")
            << QStringList{"remove-account News alice"} << "" << 1 << "News"
            << "carol";
        QTest::newRow("account gone")
            << QStringList{"remove-account News carol"} << "" << 1 << "News"
            << "alice";
        QTest::newRow("site gone")
            << QStringList{"remove-site News --with-accounts"} << "" << 1 << "Mail"
            << "";
        QTest::newRow("burst") << QStringList{"add-site A a", "add-site B b", "add-site C c"} << ""
                               << 1 << "News"
                               << "carol";
        QTest::newRow("dialog open") << QStringList{"add-site A a"} << "dialog" << 1 << "News"
                                     << "carol";
        QTest::newRow("own write") << QStringList{"sites"} << "own" << 0 << "News"
                                   << "alice";
    }

    void followsOutsideChanges()
    {
        QFETCH(QStringList, commands);
        QFETCH(QString, meanwhile);
        QFETCH(int, reloads);
        QFETCH(QString, site);
        QFETCH(QString, account);
        sb::test::WindowDriver w;
        w.dir = std::move(dir_);
        auto& window = w.start();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy told(window.findChild<sb::app::OutsideChanges*>(),
                        &sb::app::OutsideChanges::changed);
        w.run("site News; row lst_Username 1");
        QDialog dialog(&window);
        if (meanwhile == "dialog")
            dialog.show();
        if (meanwhile == "own") {
            w.notifier.answers = {true};
            w.run("click cmd_Remove_Account; site News; row lst_Username 0");
        }
        QProcess shell; // the window sees each change of a burst as it comes
        shell.setWorkingDirectory(w.dir->path());
        shell.start("sh", {"-c", "\"$0\" " + commands.join(" && \"$0\" "), CLI});
        QTRY_COMPARE(shell.state(), QProcess::NotRunning);
        QCOMPARE(shell.exitCode(), 0);
        QTest::qWait(500);
        if (meanwhile == "dialog") {
            QCOMPARE(told.count(), 0);
            dialog.close();
            QTest::qWait(500);
        }
        QCOMPARE(told.count(), reloads);
        QCOMPARE(w.rows("lst_Site").value(w.selectedRow("lst_Site")), site);
        QCOMPARE(w.rows("lst_Username").value(w.selectedRow("lst_Username")), account);
        if (reloads)
            QCOMPARE(window.findChild<QStatusBar*>()->currentMessage(),
                     "Reloaded: the files were changed outside Stashbook");
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
