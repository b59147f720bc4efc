// Copying from the main window: the commands of the two menus, the
// double-clicks, the menus' enabled items, read back from the clipboard.
#include "browse/selection_list.h"
#include "support/window_fixture.h"

#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

using sb::test::rec;

namespace {

const QString kSecretHint = QStringLiteral("x-kde-passwordManagerHint");

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

class TestCopyWindow : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    // Bank has no accounts; Mail's first account is spelled like the
    // placeholder row; News has four, stored in several letter cases.
    const QByteArray sites_ = rec({"News", "n"}) + rec({"Mail", "m"}) + rec({"Bank", "b"});
    const QByteArray accounts_ =
        rec({"NEWS", "ann", "pw a", "x.example/a"}) +
        rec({"Mail", "-- no --", "-- Listed --", "-- accounts --"}) +
        rec({"news", "bob", "pw-b", "x.example/b"}) + rec({"Gone", "gus", "pw-g", ""}) +
        rec({"News", "cy", "pw-c", ""}) + rec({"News", "dee", "pw-d", "x.example/d"}) +
        rec({"Mail", "real", "pw-r", "r.example"});

    void start()
    {
        write("SB-Sites.DaT", sites_);
        write("SB-Acnts.DaT", accounts_);
        WindowFixture::start();
    }
    void selectSite(const QString& name)
    {
        list("lst_Site")->selectRow(rows("lst_Site").indexOf(name));
    }
    QList<int> accountSelection()
    {
        return {selectedRow("lst_Username"), selectedRow("lst_Password"),
                selectedRow("lst_Referral_URL")};
    }
    QAction* action(const QString& name) { return child<QAction>(name); }
    bool menuEnabled(const QString& name) { return child<QMenu>(name)->menuAction()->isEnabled(); }
    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

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

    // With the third account of News selected. Passwords, rows and account
    // listings are marked secret for clipboard managers; nothing else is.
    void commands_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("secret");
        QTest::newRow("user name") << "mnu_Copy_Username"
                                   << "cy" << false;
        QTest::newRow("password") << "mnu_Copy_Password"
                                  << "pw-c" << true;
        QTest::newRow("empty extra info") << "mnu_Copy_Referral_URL"
                                          << "" << false;
        QTest::newRow("row") << "mnu_Copy_Row"
                             << "cy pw-c " << true;
        QTest::newRow("user names") << "mnu_Copy_Column_Username"
                                    << "ann\r\nbob\r\ncy\r\ndee\r\n"
                                    << false;
        QTest::newRow("passwords") << "mnu_Copy_Column_Password"
                                   << "pw a\r\npw-b\r\npw-c\r\npw-d\r\n"
                                   << true;
        QTest::newRow("extra info") << "mnu_Copy_Column_Referral_URL"
                                    << "x.example/a\r\nx.example/b\r\n\r\nx.example/d\r\n"
                                    << false;
        const QString newsWithout = "ann pw a\r\nbob pw-b\r\ncy pw-c\r\ndee pw-d\r\n";
        const QString newsWith =
            "ann pw a x.example/a\r\nbob pw-b x.example/b\r\ncy pw-c \r\ndee pw-d x.example/d\r\n";
        QTest::newRow("site's accounts") << "mnu_Copy_All_Without" << newsWithout << true;
        QTest::newRow("site's accounts, extra info") << "mnu_Copy_All_With" << newsWith << true;
        QTest::newRow("selected site") << "mnu_Site_Copy_Selected"
                                       << "News" << false;
        QTest::newRow("site names") << "mnu_Site_Copy_All_Sites"
                                    << "Bank\r\nMail\r\nNews\r\n"
                                    << false;
        const QString mailWithout = "-- no -- -- Listed --\r\nreal pw-r\r\n";
        const QString mailWith = "-- no -- -- Listed -- -- accounts --\r\nreal pw-r r.example\r\n";
        QTest::newRow("all accounts")
            << "mnu_Site_Copy_All_NoShow_Without" << mailWithout + newsWithout << true;
        QTest::newRow("all accounts, extra info")
            << "mnu_Site_Copy_All_NoShow_With" << mailWith + newsWith << true;
        QTest::newRow("all accounts by site")
            << "mnu_Site_Copy_All_Show_Without"
            << "Bank\r\n\r\nMail\r\n" + mailWithout + "\r\nNews\r\n" + newsWithout + "\r\n"
            << true;
        QTest::newRow("all accounts by site, extra info")
            << "mnu_Site_Copy_All_Show_With"
            << "Bank\r\n\r\nMail\r\n" + mailWith + "\r\nNews\r\n" + newsWith + "\r\n"
            << true;
    }

    void commands()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QFETCH(bool, secret);
        start();
        selectSite("News");
        clickRow("lst_Password", 2);
        action(item)->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasText());
        QCOMPARE(data->text(), text);
        QCOMPARE(data->hasFormat(kSecretHint), secret);
        if (secret)
            QCOMPARE(data->data(kSecretHint), "secret");
        QVERIFY(notifier.titles.isEmpty());
    }

    // A double-click selects its row in all three lists and copies the
    // field; on the placeholder row too.
    void doubleClick_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("listName");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("fourth password") << "News"
                                         << "lst_Password" << 3 << "pw-d";
        QTest::newRow("third user name") << "News"
                                         << "lst_Username" << 2 << "cy";
        QTest::newRow("first extra info") << "News"
                                          << "lst_Referral_URL" << 0 << "x.example/a";
        QTest::newRow("placeholder") << "Bank"
                                     << "lst_Password" << 0 << "-- LISTED --";
    }

    void doubleClick()
    {
        QFETCH(QString, site);
        QFETCH(QString, listName);
        QFETCH(int, row);
        QFETCH(QString, text);
        start();
        selectSite(site);
        // Through the window, so that the press before the double-click
        // selects the row as a person's would.
        QListWidget* l = list(listName);
        const QPoint at =
            l->viewport()->mapTo(window.get(), l->visualItemRect(l->item(row)).center());
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(clipboardText(), text);
        QCOMPARE(accountSelection(), QList<int>(3, row));
    }

    // The account menu: none while the lists are empty; the single-row
    // items need a selected real account, the column and listing submenus
    // any real account. Whatever row the pointer is over, the commands act
    // on the selected row, and the list is left ready for the next click.
    void accountMenu_data()
    {
        QTest::addColumn<QString>("site"); // empty: none selected
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("listName");
        QTest::addColumn<bool>("menuKey"); // the keyboard's menu key, not the mouse
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("singleRow");
        QTest::addColumn<bool>("wholeLists");
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QTest::addRow("no site, %s", l) << "" << -1 << l << false << false << false << false;
        QTest::newRow("placeholder")
            << "Bank" << -1 << "lst_Password" << false << true << false << false;
        QTest::newRow("placeholder selected")
            << "Bank" << 0 << "lst_Referral_URL" << false << true << false << false;
        QTest::newRow("spelled like the placeholder")
            << "Mail" << 1 << "lst_Username" << false << true << false << false;
        QTest::newRow("no row selected")
            << "News" << -1 << "lst_Password" << false << true << false << true;
        QTest::newRow("row selected")
            << "News" << 1 << "lst_Password" << false << true << true << true;
        QTest::newRow("menu key") << "News" << 2 << "lst_Referral_URL" << true << true << true
                                  << true;
    }

    void accountMenu()
    {
        QFETCH(QString, site);
        QFETCH(int, selected);
        QFETCH(QString, listName);
        QFETCH(bool, menuKey);
        QFETCH(bool, shown);
        QFETCH(bool, singleRow);
        QFETCH(bool, wholeLists);
        start();
        if (!site.isEmpty())
            selectSite(site);
        if (selected >= 0)
            clickRow(listName, selected);
        sb::browse::SelectionList* l = list(listName);
        const int other = selected == 0 ? 1 : 0; // a row not selected
        const QPoint pointer =
            l->count() > 1 ? l->visualItemRect(l->item(other)).center() : QPoint(5, 5);
        if (menuKey) {
            // What the desktop makes of the menu key (the offscreen
            // platform makes nothing of it).
            QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            QApplication::sendEvent(l, &key);
        } else {
            QTest::mousePress(l->viewport(), Qt::RightButton, {}, pointer);
        }

        auto* menu = child<QMenu>("mnu_Account_Copy");
        QCOMPARE(QApplication::activePopupWidget() == menu, shown);
        if (!shown)
            return;
        if (!menuKey)
            QCOMPARE(menu->pos(), l->viewport()->mapToGlobal(pointer));
        for (const char* a :
             {"mnu_Copy_Username", "mnu_Copy_Password", "mnu_Copy_Referral_URL", "mnu_Copy_Row"})
            QCOMPARE(action(a)->isEnabled(), singleRow);
        QCOMPARE(menuEnabled("mnu_Copy_Column"), wholeLists);
        QCOMPARE(menuEnabled("mnu_Copy_All"), wholeLists);
        QVERIFY(action("mnu_Hyphen1")->isSeparator());

        if (singleRow) {
            action("mnu_Copy_Username")->trigger();
            QCOMPARE(clipboardText(), rows("lst_Username")[selected]);
        }
        menu->close();
        if (!menuKey)
            QTest::mouseRelease(l->viewport(), Qt::RightButton, {}, pointer);
        QVERIFY(ListState::idle(l));
        QTest::mouseMove(l->viewport(), pointer);
        QCOMPARE(accountSelection(), QList<int>(3, selected));
        // The next left click selects its row as usual.
        if (l->count() > 1) {
            clickRow(listName, other);
            QCOMPARE(accountSelection(), QList<int>(3, other));
        }
    }

    // The site menu opens whatever the list holds; only its first item
    // needs a selected site.
    void siteMenu_data()
    {
        QTest::addColumn<bool>("files");
        QTest::addColumn<QString>("site");
        QTest::newRow("empty site list") << false << "";
        QTest::newRow("no site selected") << true << "";
        QTest::newRow("site selected") << true << "Mail";
    }

    void siteMenu()
    {
        QFETCH(bool, files);
        QFETCH(QString, site);
        if (files)
            start();
        else
            WindowFixture::start();
        if (!site.isEmpty())
            selectSite(site);
        sb::browse::SelectionList* l = list("lst_Site");
        const QPoint pointer(5, 5);
        QTest::mousePress(l->viewport(), Qt::RightButton, {}, pointer);
        auto* menu = child<QMenu>("mnu_Copy_Site");
        QCOMPARE(QApplication::activePopupWidget(), menu);
        QCOMPARE(menu->pos(), l->viewport()->mapToGlobal(pointer));
        QCOMPARE(action("mnu_Site_Copy_Selected")->isEnabled(), !site.isEmpty());
        QVERIFY(action("mnu_Site_Copy_All_Sites")->isEnabled());
        QVERIFY(menuEnabled("mnu_Site_Copy_All_Accounts"));
        menu->close();
        QTest::mouseRelease(l->viewport(), Qt::RightButton, {}, pointer);
        QCOMPARE(selectedRow("lst_Site"), rows("lst_Site").indexOf(site));
        // An empty list gives empty texts, placed all the same.
        if (!files) {
            for (const char* a : {"mnu_Site_Copy_All_Sites", "mnu_Site_Copy_All_Show_With"}) {
                QGuiApplication::clipboard()->setText("before");
                action(a)->trigger();
                QVERIFY(QGuiApplication::clipboard()->mimeData()->hasText());
                QCOMPARE(clipboardText(), QString());
            }
        }
    }

    // A listing cut short by a damaged file is reported and never placed.
    void damagedFileKeepsTheClipboard()
    {
        start();
        write("SB-Acnts.DaT", accounts_ + "\"News\",\"eve");
        action("mnu_Site_Copy_All_Show_With")->trigger();
        QCOMPARE(notifier.titles, QStringList{"[Stashbook]  :File Error:  SB-Acnts.DaT"});
        QCOMPARE(clipboardText(), "before");
    }
};

QTEST_MAIN(TestCopyWindow)
#include "tst_copy_window.moc"
