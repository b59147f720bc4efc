// Order of the site list.
#include "browse/site_list.h"

#include <QtTest>

class TestSiteList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void sortSiteNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("empty") << QStringList{} << QStringList{};
        QTest::newRow("letter case is ignored")
            << QStringList{"zeta", "Alpha", "beta", "ALPHABET"}
            << QStringList{"Alpha", "ALPHABET", "beta", "zeta"};
        QTest::newRow("accented letters sort with their base letter")
            << QStringList{"Zoo", "\u00c9clair", "Eagle", "Fig"}
            << QStringList{"Eagle", "\u00c9clair", "Fig", "Zoo"};
        QTest::newRow("equal names keep their order")
            << QStringList{"b", "MAIL", "a", "mail", "Mail"}
            << QStringList{"a", "b", "MAIL", "mail", "Mail"};
        QTest::newRow("blanks count") << QStringList{"a b", "ab", "a"}
                                      << QStringList{"a", "a b", "ab"};
    }

    void sortSiteNames()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        sb::browse::sortSiteNames(names);
        QCOMPARE(names, sorted);
    }

    // The POSIX locale of a bare session must not turn the list into a
    // case-sensitive code-point order.
    void sortUnderPosixLocale()
    {
        QLocale::setDefault(QLocale::c());
        QStringList names{"banana", "Bank", "apple", "Cherry"};
        sb::browse::sortSiteNames(names);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(names, (QStringList{"apple", "banana", "Bank", "Cherry"}));
    }
};

QTEST_GUILESS_MAIN(TestSiteList)
#include "tst_site_list.moc"
