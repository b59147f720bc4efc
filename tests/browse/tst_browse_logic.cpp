// The browsing rules without a window: the order of the site list, matching
// site names, and the captions of the account side.
#include "browse/account_view.h"
#include "browse/site_list.h"
#include "common/name_match.h"

#include <QtTest>

using namespace sb::browse;

class TestBrowseLogic : public QObject
{
    Q_OBJECT

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
    void sortSiteNames_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("letter case ignored, equal names keep their order")
            << english << QStringList{"b", "MAIL", "Alpha", "a", "mail", "ALPHABET", "Mail"}
            << QStringList{"a", "Alpha", "ALPHABET", "b", "MAIL", "mail", "Mail"};
        QTest::newRow("accents sort with their base letter, blanks count")
            << english << QStringList{"Zoo", "\u00c9clair", "Eagle", "a b", "ab", "a"}
            << QStringList{"a", "a b", "ab", "Eagle", "\u00c9clair", "Zoo"};
        // The POSIX locale of a bare session must not give code-point order.
        QTest::newRow("POSIX locale") << QLocale::c() << QStringList{"banana", "Bank", "apple"}
                                      << QStringList{"apple", "banana", "Bank"};
    }

    void sortSiteNames()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        QLocale::setDefault(locale);
        sb::browse::sortSiteNames(names);
        QCOMPARE(names, sorted);
    }

    // The byte-level shortcut must agree with comparing upper-cased strings
    // for every pair, including those where upper-casing changes the length.
    void matcherAgreesWithUpperCase_data()
    {
        QTest::addColumn<QString>("selected");
        for (const QString& name : trickyNames())
            QTest::addRow("[%s]", qPrintable(name)) << name;
    }

    void matcherAgreesWithUpperCase()
    {
        QFETCH(QString, selected);
        const sb::common::NameMatcher matcher(selected);
        for (const QString& field : trickyNames())
            QVERIFY2(matcher.matches(field.toStdString()) ==
                         (field.toUpper() == selected.toUpper()),
                     qPrintable(selected + " vs " + field));
    }

    // Names and addresses show as typed, '&' included; without a sites
    // record the selected name stands alone.
    void captions()
    {
        AccountView view;
        view.siteName = "at&t";
        view.siteUrl = "x.example/?a=1&b=2";
        view.usernames = QStringList{"a", "b"};
        QCOMPARE(siteCaption("AT&T", view, 9), "[SITE: AT&&T ]-[URL:  ]-[ACCOUNTS: 2/9 ]");
        view.siteFound = true;
        QCOMPARE(siteCaption("AT&T", view, 9),
                 "[SITE: at&&t ]-[URL: x.example/?a=1&&b=2 ]-[ACCOUNTS: 2/9 ]");
        QCOMPARE(copyAllCaption("AT&T", true), "Copy &All AT&&T Accounts");
        QCOMPARE(copyAllCaption("AT&T", false), "Copy &All ------ Accounts");
    }
};

QTEST_GUILESS_MAIN(TestBrowseLogic)
#include "tst_browse_logic.moc"
