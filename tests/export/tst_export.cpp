// Copying to the clipboard: the listing of every site's accounts read from
// the file without a window, and from the main window the commands of the
// two menus, the double-clicks and the menus' enabled items, read back from
// the clipboard.
#include "browse/account_view.h"
#include "export/all_accounts.h"
#include "export/clipboard_text.h"
#include "support/window_driver.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace sb::exporting;
using sb::test::rec;

namespace {

// The listing as the program's design describes it: the accounts file read
// anew for every site of the list, as a selection in the window reads it.
QString perSiteListing(const sb::store::RecordFile& accounts, const QStringList& sites,
                       bool withExtraInfo, bool showSites)
{
    QString out;
    for (const QString& site : sites) {
        sb::browse::AccountView v;
        if (readAccountView(sb::store::RecordFile::sites(accounts.dir), accounts, site, v).failed())
            qFatal("cannot read the accounts");
        const QString lines = accountsText(v.usernames, v.passwords, v.extraInfo, withExtraInfo);
        out += showSites ? site + kLineEnd + lines + kLineEnd : lines;
    }
    return out;
}

// Bank has no accounts; Mail's first account is spelled like the placeholder
// row; News has four, stored in several letter cases.
const QString kFiles = "write S News,n|Mail,m|Bank,b; write A NEWS,ann,pw a,x.example/a|"
                       "Mail,-- no --,-- Listed --,-- accounts --|news,bob,pw-b,x.example/b|"
                       "Gone,gus,pw-g,|News,cy,\uFEFFpw-c,|News,dee,pw-d,x.example/d|"
                       "Mail,real,pw-r,r.example; ";

// Whether a list is idle, not halfway through a press, a drag or a
// selection by the mouse.
struct ListState : QAbstractItemView
{
    static bool idle(const QAbstractItemView* l)
    {
        return (l->*&ListState::state)() == QAbstractItemView::NoState;
    }
};

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
    void cleanup()
    {
        if (QWidget* menu = QApplication::activePopupWidget())
            menu->close();
        window.reset();
    }

    // The one-pass listing gives what reading the file once per site gives,
    // on names whose upper case is tricky, sites listed twice or not at all,
    // and no accounts file (round 0). The texts themselves are pinned
    // through the window's commands below.
    void sameAsPerSiteReading()
    {
        const QStringList names = QStringLiteral("News|NEWS|news|News | Ne ws|stra\u00dfe|STRASSE|"
                                                 "\u0131tem|ITEM|caf\u00e9|CAF\u00c9|\u03c3\u03c2|"
                                                 "\u03a3\u03a3||Gone|a,b")
                                      .split('|');
        const QStringList fields = QStringLiteral("\uFEFFa|a| |b c||x,y|\u00fc").split('|');
        QRandomGenerator random(12);
        auto pick = [&random](const QStringList& from) {
            return from[random.bounded(static_cast<int>(from.size()))].toUtf8();
        };
        const auto accounts = sb::store::RecordFile::accounts(dir->path().toStdString());
        for (int round = 0; round < 20; ++round) {
            QStringList sites;
            for (int i = random.bounded(8); i > 0; --i)
                sites << pick(names);
            QByteArray file;
            for (int i = random.bounded(30); i > 0; --i) {
                const QByteArray f[] = {pick(names), pick(fields), pick(fields), pick(fields)};
                file +=
                    rec({f[0].constData(), f[1].constData(), f[2].constData(), f[3].constData()});
            }
            if (round > 0)
                sb::test::writeFile(dir->path(), "SB-Acnts.DaT", file);
            for (const int with : {0, 1, 2, 3}) {
                QString out;
                QVERIFY(!allAccountsText(accounts, sites, with & 1, with & 2, out).failed());
                QCOMPARE(out, perSiteListing(accounts, sites, with & 1, with & 2));
            }
        }
    }

    // With the third account of News selected; its password starts with a
    // U+FEFF, which every copy keeps. Passwords, rows and account listings
    // are marked secret for clipboard managers; nothing else is. A
    // double-click ("<list> <row>") selects its row in all three lists and
    // copies the field.
    void commands_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("secret");
        auto row = [](const char* name, const char* item, const QString& text, bool secret) {
            QTest::newRow(name) << item << text << secret;
        };
        row("user name", "mnu_Copy_Username", "cy", false);
        row("password", "mnu_Copy_Password", QStringLiteral("\uFEFFpw-c"), true);
        row("empty extra info", "mnu_Copy_Referral_URL", "", false);
        row("row", "mnu_Copy_Row", "cy \uFEFFpw-c ", true);
        row("user names", "mnu_Copy_Column_Username", "ann\r\nbob\r\ncy\r\ndee\r\n", false);
        row("passwords", "mnu_Copy_Column_Password", "pw a\r\npw-b\r\n\uFEFFpw-c\r\npw-d\r\n",
            true);
        row("extra info", "mnu_Copy_Column_Referral_URL",
            "x.example/a\r\nx.example/b\r\n\r\nx.example/d\r\n", false);
        const QString newsWithout = "ann pw a\r\nbob pw-b\r\ncy \uFEFFpw-c\r\ndee pw-d\r\n";
        const QString newsWith = "ann pw a x.example/a\r\nbob pw-b x.example/b\r\ncy \uFEFFpw-c "
                                 "\r\ndee pw-d x.example/d\r\n";
        row("site's accounts", "mnu_Copy_All_Without", newsWithout, true);
        row("site's accounts, extra info", "mnu_Copy_All_With", newsWith, true);
        row("selected site", "mnu_Site_Copy_Selected", "News", false);
        row("site names", "mnu_Site_Copy_All_Sites", "Bank\r\nMail\r\nNews\r\n", false);
        const QString mailWithout = "-- no -- -- Listed --\r\nreal pw-r\r\n";
        const QString mailWith = "-- no -- -- Listed -- -- accounts --\r\nreal pw-r r.example\r\n";
        row("all accounts", "mnu_Site_Copy_All_NoShow_Without", mailWithout + newsWithout, true);
        row("all accounts, extra info", "mnu_Site_Copy_All_NoShow_With", mailWith + newsWith, true);
        row("all accounts by site", "mnu_Site_Copy_All_Show_Without",
            "Bank\r\n\r\nMail\r\n" + mailWithout + "\r\nNews\r\n" + newsWithout + "\r\n", true);
        row("all accounts by site, extra info", "mnu_Site_Copy_All_Show_With",
            "Bank\r\n\r\nMail\r\n" + mailWith + "\r\nNews\r\n" + newsWith + "\r\n", true);
        row("double-click, fourth password", "dclick lst_Password 3; sel = 3", "pw-d", true);
        row("double-click, second user name", "dclick lst_Username 1; sel = 1", "bob", false);
        row("double-click, first extra info", "dclick lst_Referral_URL 0; sel = 0", "x.example/a",
            false);
    }

    void commands()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QFETCH(bool, secret);
        run(kFiles + "site News; row lst_Password 2; " + (item.contains(' ') ? "" : "menu ") +
            item + "; clip = " + text + "; secret = " + (secret ? "secret" : "") + "; boxes = ");
    }

    // A listing cut short by a damaged file is reported and never placed.
    void damagedFileKeepsTheClipboard()
    {
        run(kFiles + "site News; append A \"News\",\"eve; menu mnu_Site_Copy_All_Show_With; "
                     "boxes = [Stashbook]  :File Error:  SB-Acnts.DaT; clip = before");
    }

    // No menu on an account list without rows. The single-row items need a
    // selected real account, the column and listing submenus any real
    // account; the site menu opens on any list, its first item needs a
    // selected site. Whatever row the pointer is over, the menu opens there,
    // the selection stays and the commands act on the selected row; the list
    // is left ready for the next click. Every list is right-clicked over a
    // row not selected.
    void menus_data()
    {
        QTest::addColumn<QString>("listName");
        QTest::addColumn<QString>("site"); // empty: none selected; null: no files at all
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("menuKey"); // the keyboard's menu key, not the mouse
        // The items enabled; empty: no menu; {""}: a menu with none enabled.
        QTest::addColumn<QStringList>("enabled");
        auto row = [](const char* name, const char* list, const QString& site, int selected,
                      const QStringList& enabled, bool menuKey = false) {
            QTest::newRow(name) << list << site << selected << menuKey << enabled;
        };
        const QStringList none{""}, whole{"mnu_Copy_Column", "mnu_Copy_All"},
            all = QStringList{"mnu_Copy_Username", "mnu_Copy_Password", "mnu_Copy_Referral_URL",
                              "mnu_Copy_Row"} +
                  whole,
            lists{"mnu_Site_Copy_All_Sites", "mnu_Site_Copy_All_Accounts"};
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QTest::addRow("no site, %s", l) << l << "" << -1 << false << QStringList();
        row("placeholder", "lst_Password", "Bank", -1, none);
        row("placeholder selected", "lst_Referral_URL", "Bank", 0, none);
        row("spelled like the placeholder", "lst_Username", "Mail", 1, none);
        row("no row selected", "lst_Password", "News", -1, whole);
        row("row selected", "lst_Referral_URL", "News", 1, all);
        row("menu key", "lst_Password", "News", 2, all, true);
        row("empty site list", "lst_Site", QString(), -1, lists);
        row("no site selected", "lst_Site", "", -1, lists);
        row("site selected", "lst_Site", "Mail", -1, QStringList{"mnu_Site_Copy_Selected"} + lists);
    }

    void menus()
    {
        QFETCH(QString, listName);
        QFETCH(QString, site);
        QFETCH(int, selected);
        QFETCH(bool, menuKey);
        QFETCH(QStringList, enabled);
        run((site.isNull() ? "" : kFiles) + (site.isEmpty() ? "nosite" : "site " + site) +
            (selected < 0 ? "" : QString("; row %1 %2").arg(listName).arg(selected)));
        const int before = selectedRow(listName);
        sb::browse::SelectionList* l = list(listName);
        const int other = before == 0 ? 1 : 0; // a row not selected
        // Near the left edge, so that the menu fits on the screen there.
        const QPoint pointer =
            QPoint(5, 5) +
            (l->count() > 1 ? l->visualItemRect(l->item(other)).topLeft() : QPoint());
        // What the desktop makes of the menu key (the offscreen platform
        // makes nothing of it).
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        if (menuKey)
            QApplication::sendEvent(l, &key);
        else
            QTest::mousePress(l->viewport(), Qt::RightButton, {}, pointer);
        auto* menu = child<QMenu>(listName == "lst_Site" ? "mnu_Copy_Site" : "mnu_Account_Copy");
        QCOMPARE(QApplication::activePopupWidget() == menu, !enabled.isEmpty());
        if (enabled.isEmpty())
            return;
        QVERIFY(menuKey || menu->pos() == l->viewport()->mapToGlobal(pointer));
        QStringList on;
        for (const QAction* a : menu->actions()) {
            if (a->isEnabled() && !a->isSeparator())
                on << (a->menu() ? a->menu()->objectName() : a->objectName());
        }
        QCOMPARE(on, enabled.filter("mnu"));
        if (enabled.contains("mnu_Copy_Username"))
            run("menu mnu_Copy_Username; clip = " + rows("lst_Username")[selected]);
        menu->close();
        if (!menuKey)
            QTest::mouseRelease(l->viewport(), Qt::RightButton, {}, pointer);
        QVERIFY(ListState::idle(l));
        QTest::mouseMove(l->viewport(), pointer);
        QCOMPARE(selectedRow(listName), before);
        if (listName != "lst_Site")
            run("sel = " + QString::number(before));
        // The next left click selects its row as usual.
        if (l->count() > 1) {
            clickRow(listName, other);
            QCOMPARE(selectedRow(listName), other);
        }
        // An empty list gives empty texts, placed all the same.
        if (l->count() == 0)
            run("menu mnu_Site_Copy_All_Sites; clip = ; secret = ; menu "
                "mnu_Site_Copy_All_Show_With; clip = ; secret = secret");
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
