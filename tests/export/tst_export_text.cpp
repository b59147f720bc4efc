// The clipboard texts without a window: the layouts built from the account
// lists, and the listing of the accounts of every site read from the file.
#include "common/name_match.h"
#include "export/all_accounts.h"
#include "export/clipboard_text.h"
#include "support/files.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace sb::exporting;
using sb::test::rec;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The listing as the program's design describes it: the accounts file read
// anew for every site of the list.
QString perSiteListing(const sb::store::RecordFile& file, const QStringList& sites,
                       bool withExtraInfo, bool showSites)
{
    QString out;
    for (const QString& site : sites) {
        if (showSites)
            out += site + kCrLf;
        const auto st = sb::store::readRecords(file, [&](const sb::store::Record& r) {
            using sb::common::fromUtf8;
            if (!sb::common::sameName(fromUtf8(r[0]), site))
                return;
            out += fromUtf8(r[1]) + ' ' + fromUtf8(r[2]);
            if (withExtraInfo)
                out += ' ' + fromUtf8(r[3]);
            out += kCrLf;
        });
        if (st.failed())
            qFatal("%s", st.error().message.c_str());
        if (showSites)
            out += kCrLf;
    }
    return out;
}

} // namespace

class TestExportText : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    sb::store::RecordFile accounts_ = sb::store::RecordFile::accounts(dir_.path().toStdString());

    void writeAccounts(const QByteArray& bytes)
    {
        sb::test::writeFile(dir_.path(), "SB-Acnts.DaT", bytes);
    }

private slots:
    // Three account lists; what each layout makes of them. The row copied is
    // the last one.
    void accountLayouts_data()
    {
        QTest::addColumn<QList<QStringList>>("lists"); // user names, passwords, extra info
        // The extra info column, the accounts without and with extra info,
        // the last row.
        QTest::addColumn<QStringList>("texts");
        auto row = [](const char* name, const QStringList& users, const QStringList& passwords,
                      const QStringList& extra, const char* extraColumn, const char* without,
                      const char* with, const QString& lastRow) {
            QTest::newRow(name) << QList<QStringList>{users, passwords, extra}
                                << QStringList{extraColumn, without, with, lastRow};
        };
        row("second account without extra info", {"ann", "bob"}, {"pa", "pb"}, {"x.org", ""},
            "x.org\r\n\r\n", "ann pa\r\nbob pb\r\n", "ann pa x.org\r\nbob pb \r\n", "bob pb ");
        row("one account", {"u"}, {"p"}, {"x"}, "x\r\n", "u p\r\n", "u p x\r\n", "u p x");
        row("blanks inside fields, as they stand", {"john doe"}, {" pass word"}, {"a  b "},
            "a  b \r\n", "john doe  pass word\r\n", "john doe  pass word a  b \r\n",
            "john doe  pass word a  b ");
        row("empty fields", {""}, {""}, {""}, "\r\n", " \r\n", "  \r\n", "  ");
        row("no rows", {}, {}, {}, "", "", "", QString());
    }

    void accountLayouts()
    {
        QFETCH(QList<QStringList>, lists);
        QFETCH(QStringList, texts);
        const auto& [users, passwords, extra] = std::tie(lists[0], lists[1], lists[2]);
        QCOMPARE(linesText(extra), texts[0]);
        QCOMPARE(accountsText(users, passwords, extra, false), texts[1]);
        QCOMPARE(accountsText(users, passwords, extra, true), texts[2]);
        if (!users.isEmpty())
            QCOMPARE(rowText(users.last(), passwords.last(), extra.last()), texts[3]);
    }

    // Sites in list order; accounts in file order under every site whose
    // name matches ignoring letter case (non-ASCII too); unknown sites left
    // out. The other layouts are pinned through the window's commands.
    void allAccounts_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no accounts file
        QTest::addColumn<QStringList>("sites");
        QTest::addColumn<bool>("withExtraInfo");
        QTest::addColumn<bool>("showSites");
        QTest::addColumn<QString>("text");
        const char* eclair = "\xc3\xa9" // \u00e9, in UTF-8
                             "clair";
        const QByteArray file = rec({"ALPHA", "u1", "p1", "x1"}) + rec({"Gone", "g", "pg", "xg"}) +
                                rec({"alpha", "u2", "p 2", ""}) + rec({eclair, "e", "pe", "xe"});
        const QStringList sites{"Alpha", "Beta", "\u00c9CLAIR"};
        QTest::newRow("sites shown, with extra info")
            << file << sites << true << true
            << "Alpha\r\nu1 p1 x1\r\nu2 p 2 \r\n\r\nBeta\r\n\r\n\u00c9CLAIR\r\ne pe xe\r\n\r\n";
        QTest::newRow("a site listed twice")
            << file << QStringList{"alpha", "Alpha"} << true << false
            << "u1 p1 x1\r\nu2 p 2 \r\nu1 p1 x1\r\nu2 p 2 \r\n";
        QTest::newRow("empty site list") << file << QStringList() << true << true << "";
        QTest::newRow("no accounts file") << QByteArray() << sites << true << true
                                          << "Alpha\r\n\r\nBeta\r\n\r\n\u00c9CLAIR\r\n\r\n";
    }

    void allAccounts()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, sites);
        QFETCH(bool, withExtraInfo);
        QFETCH(bool, showSites);
        QFETCH(QString, text);
        QFile::remove(dir_.filePath("SB-Acnts.DaT"));
        if (!file.isNull())
            writeAccounts(file);
        QString out = "before";
        QVERIFY(!allAccountsText(accounts_, sites, withExtraInfo, showSites, out).failed());
        QCOMPARE(out, text);
    }

    // The one-pass listing gives what reading the file once per site gives,
    // on names whose upper case is tricky.
    void sameAsPerSiteReading()
    {
        const QStringList names = QStringLiteral("News|NEWS|news|News | Ne ws|stra\u00dfe|STRASSE|"
                                                 "\u0131tem|ITEM|caf\u00e9|CAF\u00c9|\u03c3\u03c2|"
                                                 "\u03a3\u03a3||Gone|a,b")
                                      .split('|');
        const QStringList fields = QStringLiteral("a| |b c||x,y|\u00fc").split('|');
        QRandomGenerator random(12);
        auto pick = [&random](const QStringList& from) {
            return from[random.bounded(static_cast<int>(from.size()))];
        };
        for (int round = 0; round < 20; ++round) {
            QStringList sites;
            for (int i = random.bounded(8); i > 0; --i)
                sites << pick(names);
            QByteArray file;
            for (int i = random.bounded(30); i > 0; --i) {
                const QByteArray f[] = {pick(names).toUtf8(), pick(fields).toUtf8(),
                                        pick(fields).toUtf8(), pick(fields).toUtf8()};
                file +=
                    rec({f[0].constData(), f[1].constData(), f[2].constData(), f[3].constData()});
            }
            writeAccounts(file);
            for (const bool with : {false, true}) {
                for (const bool show : {false, true}) {
                    QString out;
                    QVERIFY(!allAccountsText(accounts_, sites, with, show, out).failed());
                    QCOMPARE(out, perSiteListing(accounts_, sites, with, show));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestExportText)
#include "tst_export_text.moc"
