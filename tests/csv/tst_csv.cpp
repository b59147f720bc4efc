// Importing the exports of browsers and password managers (one hand-written
// sample per layout, in samples/), and exporting in Chrome's layout.
#include "csv/import_plan.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace sb::csv;
using sb::store::Record;

namespace {

// What the samples are imported into.
const std::vector<Record> kSites = {{"github.com", "https://github.com/"},
                                    {"Mail.Example.org", "https://mail.example.org"}};
const std::vector<Record> kAccounts = {{"GITHUB.COM", "octo", "old-pw", ""},
                                       {"mail.example.org", "ann", "pw-ann", "x"}};

QByteArray joined(const Record& r)
{
    QByteArrayList fields;
    for (const std::string& f : r)
        fields << QByteArray::fromStdString(f);
    return fields.join('|');
}

// The plan, a line for each record to add or change and for each listed row,
// as the bytes of the records.
QByteArray describe(const ImportPlan& plan)
{
    const char* const reasons[] = {"damaged", "empty",    "not a login", "no login", "no site",
                                   "quote",   "repeated", "same",        "other"};
    QByteArrayList out;
    for (const auto& [kind, records] : {std::pair("site ", &plan.sites),
                                        {"account ", &plan.accounts},
                                        {"password ", &plan.passwordChanges}}) {
        for (const Record& r : *records)
            out << kind + joined(r);
    }
    for (const ListedRow& l : plan.listed)
        out << reasons[int(l.reason)] + (": " + QByteArray::number(l.number)) + ' ' +
                   joined({l.site, l.username});
    return out.join('\n');
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    // Each sample set against kSites and kAccounts; `octo` is octo's
    // password after the import with "replace their passwords".
    void samples_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QByteArray>("octo");
        const auto row = [](const char* file, const char* layout, QByteArray plan,
                            QByteArray octo = "old-pw") {
            QTest::newRow(file) << QString(layout) << plan << octo;
        };
        row("chrome", "Chrome",
            "site bank.example|https://bank.example/\n"
            "account bank.example|j.smith|s3cr3t|first line second line\n"
            "account bank.example| j.smith |x|\npassword github.com|octo|new-pw\n"
            "other: 2 github.com|octo\nsame: 3 mail.example.org|ANN\n"
            "quote: 4 bank.example|Smith, J\nempty: 6 |\nrepeated: 8 bank.example|J.SMITH",
            "new-pw");
        row("firefox", "Firefox",
            "site example.com|https://www.example.com\n"
            "site file:///home/me/intranet.html|file:///home/me/intranet.html\n"
            "site accounts.example.net|https://accounts.example.net\n"
            "account example.com|alice|pw1|\naccount example.com|bob|pw2|\n"
            "account file:///home/me/intranet.html|carol|pw3|\n"
            "account accounts.example.net||pin-only|");
        row("bitwarden", "Bitwarden",
            "site Forum|https://forum.example\nsite Router|http://192.168.1.1\n"
            "account Forum|dave|Pa55|\naccount Router|admin||admin page\n"
            "account Router|root|toor|\nnot a login: 2 Wi-Fi at home|\nnot a login: 6 Visa|");
        row("keepassxc", "KeePassXC",
            "site shop.example|www.shop.example\naccount shop.example|eve|pw-eve|\n"
            "no site: 3 |nobody\nno login: 4 Door code|\ndamaged: 5 |");
        row("1password", "1Password",
            "site Caf\u00e9|https://caf\u00e9.example\naccount github.com|hubot|pw-h|\n"
            "account Caf\u00e9|zo\u00eb|p\u00e2ss|\u00dcn\u00efcode, kept\nsame: 2 "
            "GITHUB.COM|octo");
        row("lastpass", "LastPass",
            "site News|https://www.news.example/login\naccount News|frank|pw-f|line one line two\n"
            "no login: 3 Home address|");
    }
    void samples()
    {
        QFETCH(QString, layout);
        CsvFile file;
        QCOMPARE(readCsvFile(SAMPLES + QString(QTest::currentDataTag()) + ".csv", file), QString());
        QCOMPARE(layoutName(file.layout), layout);
        const ImportPlan plan = planImport(file, kSites, kAccounts);
        QTEST(describe(plan), "plan");
        auto sites = kSites;
        auto accounts = kAccounts;
        applyPlan(plan, true, sites, accounts);
        QTEST(QByteArray::fromStdString(accounts[0][2]), "octo");
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QString unknown = "export understood: Chrome (or Chromium, Edge, Brave, Opera, "
                                "Vivaldi), Firefox, Bitwarden, KeePassXC, 1Password or LastPass.";
        QTest::newRow("unknown") << QByteArray("id,login,secret\n1,a,b\n") << unknown;
        QTest::newRow("no password") << QByteArray("name,url,username,note\n") << unknown;
        QTest::newRow("stray quote")
            << QByteArray("name,url,username,password\r\nx,u,a\"b,c\r\n") << "line 2 neither";
        QTest::newRow("open quote") << QByteArray("name,url,username,password\nx,u,\"ab\n,\n")
                                    << "after row 1, is never closed";
        QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF") << "The file is empty.";
    }
    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        CsvFile file;
        QVERIFY(parseCsv(bytes.toStdString(), file).contains(error));
    }

    // The export's bytes, read back into an empty folder, and as a file.
    void exportAndBack()
    {
        const std::vector<Record> sites = {
            {"News", "https://news.example"}, {"news", "dup"}, {"Idle", "i.example"}};
        const std::vector<Record> accounts = {{"News", "ann", "p, w", ""},
                                              {"Gone", "gus", "pw-g", "old note"},
                                              {"NEWS", "bob ", " lead", "caf\u00e9"}};
        const std::string bytes = exportCsv(sites, accounts);
        QCOMPARE(bytes, "name,url,username,password,note\n"
                        "News,https://news.example,ann,\"p, w\",\n"
                        "News,https://news.example,\"bob \",\" lead\",caf\u00e9\n"
                        "Gone,,gus,pw-g,old note\n");

        CsvFile file;
        QCOMPARE(parseCsv(bytes, file), QString());
        std::vector<Record> newSites, newAccounts;
        applyPlan(planImport(file, {}, {}), false, newSites, newAccounts);
        QCOMPARE(newSites, (std::vector<Record>{{"News", "https://news.example"}, {"Gone", ""}}));
        QCOMPARE(newAccounts, (std::vector<Record>{{"News", "ann", "p, w", ""},
                                                   {"News", "bob ", " lead", "caf\u00e9"},
                                                   {"Gone", "gus", "pw-g", "old note"}}));

        QTemporaryDir dir;
        sb::test::writeFile(dir.path(), "old.csv", "old");
        for (const QString name : {"old.csv", "new.csv"}) {
            QVERIFY(!writeCsvFile(dir.filePath(name), bytes).failed());
            QCOMPARE(sb::test::readFile(dir.path(), name).toStdString(), bytes);
            QCOMPARE(sb::test::modeOf(dir.filePath(name)), 0600u);
        }
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
