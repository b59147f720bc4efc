// Copying to the clipboard from the main window: the commands of the two
// menus, the double-clicks and the menus' enabled items, read back from the
// clipboard.
#include "support/window_driver.h"

#include <QtTest>

namespace {

// Bank has no accounts; Mail's first account is spelled like the placeholder
// row; News has four, stored in several letter cases.
const QString kFiles = "write S News,n|Mail,m|Bank,b; write A NEWS,ann,pw a,x.example/a|"
                       "Mail,-- no --,-- Listed --,-- accounts --|news,bob,pw-b,x.example/b|"
                       "Gone,gus,pw-g,|News,cy,\uFEFFpw-c,|News,dee,pw-d,x.example/d|"
                       "Mail,real,pw-r,r.example; ";

} // namespace

class TestExport : public QObject, sb::test::WindowDriver
{
    Q_OBJECT

private slots:
    void init()
    {
        fresh();
        QGuiApplication::clipboard()->setText("before");
    }
    // Scripts on the window over the files above (see window_driver.h).
    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        const auto row = [](const char* name, const QString& script) {
            QTest::newRow(name) << kFiles + script;
        };
        // With the third account of News selected; its password starts with
        // a U+FEFF, which every copy keeps. Passwords, rows and account
        // listings are marked secret for clipboard managers; nothing else is.
        // A double-click selects its row in all three lists and copies the
        // field. A listing cut short by a damaged file is reported and never
        // placed.
        const auto copy = [](const char* name, const QString& how, const QString& text,
                             bool secret) {
            QTest::newRow(name) << kFiles + "site News; row lst_Password 2; " +
                                       (how.contains(' ') ? how : "menu " + how) +
                                       "; clip = " + text +
                                       "; secret = " + (secret ? "secret" : "") + "; boxes = ";
        };
        copy("user name", "mnu_Copy_Username", "cy", false);
        copy("password", "mnu_Copy_Password", QStringLiteral("\uFEFFpw-c"), true);
        copy("empty extra info", "mnu_Copy_Referral_URL", "", false);
        copy("row", "mnu_Copy_Row", "cy \uFEFFpw-c ", true);
        copy("user names", "mnu_Copy_Column_Username", "ann\r\nbob\r\ncy\r\ndee\r\n", false);
        copy("passwords", "mnu_Copy_Column_Password", "pw a\r\npw-b\r\n\uFEFFpw-c\r\npw-d\r\n",
             true);
        copy("extra info", "mnu_Copy_Column_Referral_URL",
             "x.example/a\r\nx.example/b\r\n\r\nx.example/d\r\n", false);
        const QString newsWithout = "ann pw a\r\nbob pw-b\r\ncy \uFEFFpw-c\r\ndee pw-d\r\n";
        const QString newsWith = "ann pw a x.example/a\r\nbob pw-b x.example/b\r\ncy \uFEFFpw-c "
                                 "\r\ndee pw-d x.example/d\r\n";
        copy("site's accounts", "mnu_Copy_All_Without", newsWithout, true);
        copy("site's accounts, extra info", "mnu_Copy_All_With", newsWith, true);
        copy("selected site", "mnu_Site_Copy_Selected", "News", false);
        copy("site names", "mnu_Site_Copy_All_Sites", "Bank\r\nMail\r\nNews\r\n", false);
        const QString mailWithout = "-- no -- -- Listed --\r\nreal pw-r\r\n";
        const QString mailWith = "-- no -- -- Listed -- -- accounts --\r\nreal pw-r r.example\r\n";
        copy("all accounts", "mnu_Site_Copy_All_NoShow_Without", mailWithout + newsWithout, true);
        copy("all accounts, extra info", "mnu_Site_Copy_All_NoShow_With", mailWith + newsWith,
             true);
        copy("all accounts by site", "mnu_Site_Copy_All_Show_Without",
             "Bank\r\n\r\nMail\r\n" + mailWithout + "\r\nNews\r\n" + newsWithout + "\r\n", true);
        copy("all accounts by site, extra info", "mnu_Site_Copy_All_Show_With",
             "Bank\r\n\r\nMail\r\n" + mailWith + "\r\nNews\r\n" + newsWith + "\r\n", true);
        copy("double-click, fourth password", "dclick lst_Password 3; sel = 3", "pw-d", true);
        copy("double-click, second user name", "dclick lst_Username 1; sel = 1", "bob", false);
        copy("double-click, first extra info", "dclick lst_Referral_URL 0; sel = 0", "x.example/a",
             false);
        // The accounts file is read once for every site listed: rows that name
        // the same site ignoring letter case (in ASCII or not) share its
        // accounts; no accounts file lists none.
        QTest::newRow("names in other letter case, ASCII or not, listed twice")
            << "write S Stra\u00dfe,s|STRASSE,x|Caf\u00e9,c; write A "
               "STRASSE,u1,p1,|caf\u00e9,u2,p2,|"
               "CAF\u00c9,u3,p3,|stra\u00dfe,u4,p4,|Gone,g,p,; menu "
               "mnu_Site_Copy_All_Show_Without; "
               "clip = Caf\u00e9\r\nu2 p2\r\nu3 p3\r\n\r\nSTRASSE\r\nu1 p1\r\nu4 p4\r\n\r\n"
               "Stra\u00dfe\r\nu1 p1\r\nu4 p4\r\n\r\n";
        row("no accounts file",
            "remove A; menu mnu_Site_Copy_All_Show_With; clip = Bank\r\n\r\nMail"
            "\r\n\r\nNews\r\n\r\n; secret = secret");
        row("a damaged file keeps the clipboard",
            "site News; append A \"News\",\"eve; menu mnu_Site_Copy_All_Show_With; boxes = "
            "[Stashbook]  :File Error:  SB-Acnts.DaT; clip = before");
        // No menu on an account list without rows. The single-row items need
        // a selected real account, the column and listing submenus any real
        // account; the site menu opens on any list, its first item needs a
        // selected site. Whatever row the pointer is over, the menu opens
        // there, the selection stays and the commands act on the selected
        // row; the list is left ready for the next click.
        const QString whole = "mnu_Copy_Column mnu_Copy_All",
                      lists = "mnu_Site_Copy_All_Sites mnu_Site_Copy_All_Accounts "
                              "mnu_Site_Import_CSV mnu_Site_Export_CSV",
                      all = "mnu_Copy_Username mnu_Copy_Password mnu_Copy_Referral_URL "
                            "mnu_Copy_Row " +
                            whole;
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QTest::addRow("no site, %s", l) << kFiles + "nosite; rclick " + l + " 0; menu = -";
        row("placeholder",
            "site Bank; rclick lst_Password 0; menu = ; release lst_Password; sel = -1");
        row("placeholder selected", "site Bank; row lst_Referral_URL 0; rclick lst_Referral_URL 0; "
                                    "menu = ; release lst_Referral_URL; sel = 0");
        row("spelled like the placeholder",
            "site Mail; row lst_Username 1; rclick lst_Username 0; menu = ; release lst_Username; "
            "sel = 1; row lst_Username 0; sel = 0");
        row("no row selected", "site News; rclick lst_Password 0; menu = " + whole +
                                   "; release lst_Password; sel = -1; row lst_Password 0; sel = 0");
        row("row selected",
            "site News; row lst_Referral_URL 1; rclick lst_Referral_URL 0; menu = " + all +
                "; menu mnu_Copy_Username; clip = bob; release "
                "lst_Referral_URL; sel = 1; row lst_Referral_URL 0; sel = 0");
        row("menu key", "site News; row lst_Password 2; menukey lst_Password; menu = " + all +
                            "; menu mnu_Copy_Username; clip = cy; release lst_Password; sel = 2");
        // An empty list gives empty texts, placed all the same.
        QTest::newRow("empty site list")
            << "rclick lst_Site 0; menu = " + lists +
                   "; release lst_Site; menu mnu_Site_Copy_All_Sites; clip = ; secret = ; menu "
                   "mnu_Site_Copy_All_Show_With; clip = ; secret = secret";
        row("no site selected", "rclick lst_Site 0; menu = " + lists +
                                    "; release lst_Site; sel lst_Site = -1; row lst_Site 0; sel "
                                    "lst_Site = 0");
        row("site selected", "site Mail; rclick lst_Site 0; menu = mnu_Site_Copy_Selected " +
                                 lists +
                                 "; release lst_Site; sel lst_Site = 1; sel = -1; row lst_Site 0; "
                                 "sel lst_Site = 0");
    }

    void scripts()
    {
        QFETCH(QString, script);
        run(script);
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
