// What the account side shows for a selected site, read from the files
// without a window.
#include "browse/account_view.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QtTest>

using sb::browse::AccountView;
using sb::test::rec;
using sb::test::writeFile;

class TestAccountView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

    sb::store::RecordFile sites() const { return sb::store::RecordFile::sites(path()); }
    sb::store::RecordFile accounts() const { return sb::store::RecordFile::accounts(path()); }
    std::string path() const { return dir_.path().toStdString(); }

    // Names whose upper case is tricky: letter case, blanks, characters that
    // upper-case to ASCII or to more characters, and a non-ASCII upper case.
    static QStringList trickyNames()
    {
        return QStringLiteral("News|NEWS|news|News | News|Ne ws|| |ITEM|item|\u0131tem|\u0130tem|"
                              "STRASSE|strasse|stra\u00dfe|FF|\uFB00|K|\u212A|caf\u00e9|"
                              "CAF\u00c9|CAFE|\u01C5|\u01C4|\u01C6|\u03c3\u03c2|\u03a3\u03a3|"
                              "\u65e5\u672c|a\u0301|\u00e1")
            .split(QLatin1Char('|'));
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QFile::remove(dir_.filePath("SB-Sites.DaT"));
        QFile::remove(dir_.filePath("SB-Acnts.DaT"));
    }

    // The byte-level shortcut must agree with comparing upper-cased strings
    // for every pair, including those where upper-casing changes the length.
    void matcherAgreesWithUpperCase_data()
    {
        QTest::addColumn<QString>("selected");
        for (const QString& name : trickyNames())
            QTest::newRow(qPrintable(QLatin1Char('[') + name + QLatin1Char(']'))) << name;
    }

    void matcherAgreesWithUpperCase()
    {
        QFETCH(QString, selected);
        const sb::browse::SiteNameMatcher matcher(selected);
        for (const QString& field : trickyNames()) {
            const QByteArray utf8 = field.toUtf8();
            const bool expected = field.toUpper() == selected.toUpper();
            QVERIFY2(matcher.matches(std::string_view(utf8.constData(), size_t(utf8.size()))) ==
                         expected,
                     qPrintable(selected + QStringLiteral(" vs ") + field));
        }
    }

    void accountsOfTheSiteInFileOrder()
    {
        writeFile(dir_.path(), "SB-Sites.DaT",
                  rec({"News", "first.example"}) + rec({"Mail", "mail.example"}) +
                      rec({"news", "news.example"}));
        writeFile(dir_.path(), "SB-Acnts.DaT",
                  rec({"NEWS", "zed", "pw-z", "http://z"}) + rec({"Mail", "bob", "pw-b", ""}) +
                      rec({"News ", "blank", "pw-x", ""}) + rec({"news", "alice", "pw-a", ""}) +
                      rec({"NeWs", "mike", "pw-m", "www.m"}) +
                      // Written on Windows: 0xC9 is "\u00c9", which upper-cases "\u00e9".
                      rec({"CAF\xc9", "jo", "pw-j", ""}) + rec({"caf\xe9", "al", "pw-l", ""}));
        AccountView view;
        QVERIFY(sb::browse::readAccountView(sites(), accounts(), "News", view));
        QVERIFY(view.accountsFileFound);
        QVERIFY(view.siteFound);
        // The last matching sites record wins, with its own letter case.
        QCOMPARE(view.siteName, QStringLiteral("news"));
        QCOMPARE(view.siteUrl, QStringLiteral("news.example"));
        QCOMPARE(view.usernames, (QStringList{"zed", "alice", "mike"}));
        QCOMPARE(view.passwords, (QStringList{"pw-z", "pw-a", "pw-m"}));
        QCOMPARE(view.extraInfo, (QStringList{"http://z", "", "www.m"}));

        QVERIFY(sb::browse::readAccountView(sites(), accounts(), "Caf\u00e9", view));
        QVERIFY(!view.siteFound);
        QCOMPARE(view.usernames, (QStringList{"jo", "al"}));
    }

    // Names and addresses show as typed, '&' included, in both captions.
    void captions_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("siteCaption");
        QTest::addColumn<QString>("copyAllCaption");
        QTest::newRow("sites record")
            << true << "[SITE: at&&t ]-[URL: x.example/?a=1&&b=2 ]-[ACCOUNTS: 2/9 ]"
            << "Copy &All AT&&T Accounts";
        QTest::newRow("no sites record") << false << "[SITE: AT&&T ]-[URL:  ]-[ACCOUNTS: 2/9 ]"
                                         << "Copy &All AT&&T Accounts";
    }

    void captions()
    {
        QFETCH(bool, found);
        QFETCH(QString, siteCaption);
        QFETCH(QString, copyAllCaption);
        AccountView view;
        view.siteFound = found;
        view.siteName = found ? QStringLiteral("at&t") : QString();
        view.siteUrl = found ? QStringLiteral("x.example/?a=1&b=2") : QString();
        view.usernames = QStringList{"a", "b"};
        QCOMPARE(sb::browse::siteCaption(QStringLiteral("AT&T"), view, 9), siteCaption);
        QCOMPARE(sb::browse::copyAllCaption(QStringLiteral("AT&T"), true), copyAllCaption);
    }

    void noAccountsRow_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<bool>("placeholder");
        QTest::newRow("placeholder") << "-- NO --" << true;
        QTest::newRow("small letters") << "-- no --" << true;
        QTest::newRow("trailing blank") << "-- NO -- " << false;
        QTest::newRow("no blanks") << "--NO--" << false;
    }

    void noAccountsRow()
    {
        QFETCH(QString, username);
        QFETCH(bool, placeholder);
        QCOMPARE(sb::browse::isNoAccountsRow(username), placeholder);
    }
};

QTEST_GUILESS_MAIN(TestAccountView)
#include "tst_account_view.moc"
