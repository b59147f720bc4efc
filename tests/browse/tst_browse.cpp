// Browsing: the rules without a window (the order of the site list, matching
// site names, the captions of the account side), and in the main window
// start-up and reload, selecting a site, the three linked account lists and
// the GO buttons, driven through the widgets.
#include "browse/account_view.h"
#include "browse/selection_list.h"
#include "browse/site_list.h"
#include "common/name_match.h"
#include "history/change.h"
#include "support/window_fixture.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QTextLayout>
#include <QtTest>

using namespace sb::browse;
using sb::test::rec;

class TestBrowse : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    QList<QUrl> opened_; // what reached the browser
    const QStringList schemes_{"http", "https", "file"};

    // Sites, in file order; "News" and "news" are two records of one site.
    // News has three accounts (in this order), Mail two, Bank none.
    const QByteArray sites_ = rec({"News", "old.example"}) + rec({"Bank", "www.bank.example"}) +
                              rec({"news", "news.example"}) + rec({"Mail", "https://mail.example"});
    const QByteArray accounts_ = rec({"NEWS", "zed", "pw-z", "http://ref.example/z"}) +
                                 rec({"Mail", "bob", "pw-b", "www.bob.example"}) +
                                 rec({"news", "alice", "pw-a", "www.ref.example/a"}) +
                                 rec({"Mail", "-- no --", "pw-n", "http://n.example"}) +
                                 rec({"NeWs", "mike", "pw-m", ""});

    sb::app::frmStashbook& start(const QByteArray& sites = {}, const QByteArray& accounts = {})
    {
        write("SB-Sites.DaT", sites.isNull() ? sites_ : sites);
        write("SB-Acnts.DaT", accounts.isNull() ? accounts_ : accounts);
        return WindowFixture::start();
    }

    QString siteCaption() { return child("cmd_Site_Name")->text(); }
    QString sitesCaption() { return child("cmd_Sites")->text(); }

    // Enabled states of Edit, Remove and the extra-info GO button.
    QList<bool> buttonStates()
    {
        return {child("cmd_Edit_Account")->isEnabled(), child("cmd_Remove_Account")->isEnabled(),
                child("cmd_Go_Referral_URL")->isEnabled()};
    }
    const QList<bool> kAllOff{false, false, false};

    // Names whose upper case is tricky: letter case, blanks, characters that
    // upper-case to ASCII or to more characters, and a non-ASCII upper case.
    static QStringList trickyNames()
    {
        return QStringLiteral("News|NEWS|news|News | News|Ne ws|| |ITEM|item|\u0131tem|\u0130tem|"
                              "STRASSE|strasse|stra\u00dfe|FF|\uFB00|K|\u212A|caf\u00e9|"
                              "CAF\u00c9|CAFE|\u01C5|\u01C4|\u01C6|\u03c3\u03c2|\u03a3\u03a3|"
                              "\u65e5\u672c|a\u0301|\u00e1|zone|ZONE|{x}|[X]")
            .split(QLatin1Char('|'));
    }

public slots:
    void open(const QUrl& url) { opened_.append(url); } // stands in for the browser

private slots:
    void init()
    {
        fresh();
        opened_.clear();
        for (const QString& scheme : schemes_)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    void cleanup()
    {
        window.reset();
        for (const QString& scheme : schemes_)
            QDesktopServices::unsetUrlHandler(scheme);
    }

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
        const QLocale before;
        QLocale::setDefault(locale);
        sb::browse::sortSiteNames(names);
        QLocale::setDefault(before);
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
        // The undo history's names too, eight bytes at a time.
        const auto hash = [](const QString& name) {
            return sb::history::nameHash(sb::common::RecordKind::Sites, {name.toStdString()});
        };
        for (const QString& field : trickyNames())
            QVERIFY2(matcher.matches(field.toStdString()) ==
                             (field.toUpper() == selected.toUpper()) &&
                         (hash(field) == hash(selected)) == (field.toUpper() == selected.toUpper()),
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
        QCOMPARE(sb::browse::siteCaption("AT&T", view, 9),
                 "[SITE: AT&&T ]-[URL:  ]-[ACCOUNTS: 2/9 ]");
        view.siteFound = true;
        QCOMPARE(sb::browse::siteCaption("AT&T", view, 9),
                 "[SITE: at&&t ]-[URL: x.example/?a=1&&b=2 ]-[ACCOUNTS: 2/9 ]");
        QCOMPARE(copyAllCaption("AT&T", true), "Copy &All AT&&T Accounts");
        QCOMPARE(copyAllCaption("AT&T", false), "Copy &All ------ Accounts");
        // A name that overrides the direction of what follows it (and one
        // that also ends an isolate it never began) turns no word around.
        for (const QString name : {"\u202Eevil", "\u2069\u202Eevil"}) {
            view.siteName = name;
            QTextLayout shown(sb::browse::siteCaption("x", view, 9));
            shown.beginLayout();
            const QTextLine line = shown.createLine();
            shown.endLayout();
            auto x = [&](const char* word) { return line.cursorToX(shown.text().indexOf(word)); };
            QVERIFY2(x("[SITE") < x("URL") && x("URL") < x("ACCOUNTS"), qPrintable(name));
        }
    }

    // Start-up on an empty folder makes no record file and leaves only Add
    // Site to press. Stale temporary files of interrupted changes go, but not
    // one that may be the only copy of a missing record file.
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("sites"); // null: no file
        QTest::addColumn<QByteArray>("accounts");
        QTest::addColumn<QByteArray>("temp");  // SB-t9.txt
        QTest::addColumn<QStringList>("left"); // the files after start-up
        QTest::addColumn<QStringList>("titles");
        const QByteArray site = rec({"Cafe", "c"}), account = rec({"Cafe", "u", "p", ""});
        const QByteArray none;
        QTest::newRow("empty folder") << none << none << none << QStringList() << QStringList();
        QTest::newRow("stale temporary file")
            << site << account << account << QStringList{"SB-Acnts.DaT", "SB-Sites.DaT"}
            << QStringList();
        QTest::newRow("only copy of the accounts")
            << site << none << account << QStringList{"SB-Sites.DaT", "SB-t9.txt"}
            << QStringList{"[Stashbook]  :Data Folder:  Only Copy Kept"};
    }

    void startUp()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QByteArray, accounts);
        QFETCH(QByteArray, temp);
        QFETCH(QStringList, left);
        for (auto [name, bytes] :
             {std::pair{"SB-Sites.DaT", sites}, {"SB-Acnts.DaT", accounts}, {"SB-t9.txt", temp}}) {
            if (!bytes.isNull())
                write(name, bytes);
        }
        sb::app::frmStashbook& w = WindowFixture::start();
        QTEST(notifier.titles, "titles");
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), left);
        verifyNoSiteShown();
        if (left.isEmpty())
            QCOMPARE(w.focusWidget(), child("cmd_Add_Site"));
    }

    // Reload reads both files afresh and selects nothing. Vanished files
    // leave the old rows on show while the caption counts none; a damaged
    // file is reported, naming it and the record, and the view is kept.
    void reload_data()
    {
        QTest::addColumn<QByteArray>("sites"); // null: the file is gone
        QTest::addColumn<QByteArray>("accounts");
        QTest::addColumn<QStringList>("listed"); // empty: the rows before
        QTest::addColumn<QList<int>>("counts");  // of sites and of accounts
        QTest::addColumn<QString>("damaged");
        QTest::newRow("files changed")
            << sites_ + rec({"cafe", "c"}) << accounts_ + rec({"Cafe", "u", "p", ""})
            << QStringList{"Bank", "cafe", "Mail", "News", "news"} << QList<int>{5, 6} << "";
        QTest::newRow("files vanished")
            << QByteArray() << QByteArray() << QStringList() << QList<int>{0, 5} << "";
        QTest::newRow("damaged sites file") << rec({"A", "a"}) + "\"B\"" << accounts_
                                            << QStringList() << QList<int>{4, 5} << "SB-Sites.DaT";
        QTest::newRow("damaged accounts file")
            << sites_ << rec({"A", "u", "p", ""}) + "\"B\"" << QStringList() << QList<int>{4, 5}
            << "SB-Acnts.DaT";
    }

    void reload()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QByteArray, accounts);
        QFETCH(QStringList, listed);
        QFETCH(QList<int>, counts);
        QFETCH(QString, damaged);
        sb::app::frmStashbook& w = start();
        verifyNoSiteShown();
        const QStringList before = rows("lst_Site");
        selectSite("News");
        for (auto [name, bytes] : {std::pair{"SB-Sites.DaT", sites}, {"SB-Acnts.DaT", accounts}}) {
            if (bytes.isNull())
                QVERIFY(QDir(dir->path()).remove(name));
            else
                write(name, bytes);
        }
        // The caption buttons are labels: clicking one does not reload.
        for (const char* name : {"cmd_Sites", "cmd_Site_Name", "Command1", "Command2", "Command3"})
            click(name);
        QCOMPARE(sitesCaption(), "[SITES]:  4");
        click("cmd_Reload");
        QCOMPARE(rows("lst_Site"), listed.isEmpty() ? before : listed);
        QCOMPARE(sitesCaption(), QStringLiteral("[SITES]:  %1").arg(counts[0]));
        QCOMPARE(w.accountCount(), counts[1]);
        if (damaged.isEmpty()) {
            QVERIFY(notifier.titles.isEmpty());
            verifyNoSiteShown();
            QCOMPARE(w.focusWidget(), list("lst_Site"));
        } else {
            QCOMPARE(notifier.titles, QStringList{"[Stashbook]  :File Error:  " + damaged});
            QVERIFY2(notifier.texts[0].contains("record 2"), qPrintable(notifier.texts[0]));
            QCOMPARE(rows("lst_Username"), (QStringList{"zed", "alice", "mike"}));
        }
    }

    void siteSelected()
    {
        sb::app::frmStashbook& w = start();
        clickRow("lst_Site", rows("lst_Site").indexOf("News"));
        // A site listed as News finds NEWS, news and NeWs accounts in file
        // order; the last sites record, "news", names it and gives the address.
        const QString caption = "[SITE: news ]-[URL: news.example ]-[ACCOUNTS: 3/5 ]";
        QCOMPARE(siteCaption(), caption);
        QCOMPARE(w.siteUrl(), "news.example");
        QCOMPARE(rows("lst_Username"), (QStringList{"zed", "alice", "mike"}));
        QCOMPARE(rows("lst_Password"), (QStringList{"pw-z", "pw-a", "pw-m"}));
        QCOMPARE(rows("lst_Referral_URL"),
                 (QStringList{"http://ref.example/z", "www.ref.example/a", ""}));
        QCOMPARE(child<QMenu>("mnu_Copy_All")->title(), "Copy &All News Accounts");
        for (const char* on : {"cmd_Go", "cmd_Edit_Site", "cmd_Rem_Site", "cmd_Add_Account"})
            QVERIFY2(child(on)->isEnabled(), on);
        QCOMPARE(buttonStates(), kAllOff);
        QCOMPARE(accountSelection(), (QList<int>{-1, -1, -1}));
        QCOMPARE(w.focusWidget(), list("lst_Username"));
        // Selecting again rebuilds the caption rather than adding to it.
        selectSite("Mail");
        selectSite("News");
        QCOMPARE(siteCaption(), caption);
    }

    // A site without accounts shows a placeholder row. Each selection reads
    // both files afresh: an account appended since is listed, but the total
    // is the count of the last reload; a site whose sites record is gone
    // keeps no address of the previous one. A file that cannot be read is
    // reported and nothing of it is shown: the view goes back to its state
    // after a reload, the previous site's accounts included.
    void placeholderRowAndCounts()
    {
        sb::app::frmStashbook& w = start();
        selectSite("Bank");
        QCOMPARE(rows("lst_Username"), QStringList{"-- NO --"});
        QCOMPARE(rows("lst_Password"), QStringList{"-- LISTED --"});
        QCOMPARE(rows("lst_Referral_URL"), QStringList{"-- ACCOUNTS --"});
        QCOMPARE(siteCaption(), "[SITE: Bank ]-[URL: www.bank.example ]-[ACCOUNTS: 0/5 ]");
        QVERIFY(child("cmd_Add_Account")->isEnabled());

        const QByteArray appended = accounts_ + rec({"bank", "new", "pw", ""});
        write("SB-Acnts.DaT", appended);
        write("SB-Sites.DaT", rec({"Mail", "https://mail.example"}));
        selectSite("Mail");
        selectSite("Bank");
        QCOMPARE(rows("lst_Username"), QStringList{"new"});
        QCOMPARE(siteCaption(), "[SITE: Bank ]-[URL:  ]-[ACCOUNTS: 1/5 ]");
        QVERIFY(w.siteUrl().isEmpty());
        write("SB-Acnts.DaT", appended + "\"Bank\",\"x");
        selectSite("Mail");
        QCOMPARE(notifier.titles, QStringList{"[Stashbook]  :File Error:  SB-Acnts.DaT"});
        verifyNoSiteShown();
        write("SB-Acnts.DaT", appended);
        click("cmd_Reload");
        selectSite("Mail");
        QVERIFY(siteCaption().endsWith("[ACCOUNTS: 2/6 ]"));
    }

    // A list that gets the focus has a current row but no selection: the
    // first key that moves selects the first row (End the last), so a list
    // of a single row can be chosen by keyboard too.
    void keyboardEntersTheList_data()
    {
        QTest::addColumn<QString>("listName");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("last");
        for (const char* l : {"lst_Site", "lst_Username", "lst_Password", "lst_Referral_URL"}) {
            QTest::addRow("%s Down", l) << l << int(Qt::Key_Down) << false;
            QTest::addRow("%s End", l) << l << int(Qt::Key_End) << true;
        }
        QTest::newRow("lst_Password PageDown") << "lst_Password" << int(Qt::Key_PageDown) << false;
        QTest::newRow("lst_Site Home") << "lst_Site" << int(Qt::Key_Home) << false;
    }

    void keyboardEntersTheList()
    {
        QFETCH(QString, listName);
        QFETCH(int, key);
        QFETCH(bool, last);
        // Solo has a single account.
        sb::app::frmStashbook& w =
            start(sites_ + rec({"Solo", "s"}), accounts_ + rec({"Solo", "only", "pw", ""}));
        // Focus makes a list's first row current, which is what misled Down.
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const bool sites = listName == "lst_Site";
        for (const QString site : {"Solo", "News"}) {
            if (sites)
                click("cmd_Reload");
            else
                selectSite(site);
            list(listName)->setFocus();
            QTest::keyClick(list(listName), Qt::Key(key));
            const int count = list(listName)->count();
            const int expected = last ? count - 1 : 0;
            QCOMPARE(selectedRow(listName), expected);
            if (sites) {
                QVERIFY(siteCaption().startsWith("[SITE: " + rows("lst_Site").value(expected)));
                break;
            }
            QCOMPARE(accountSelection(), QList<int>(3, expected));
            QCOMPARE(buttonStates(), (QList<bool>{true, true, true}));
        }
    }

    // Once made, a selection stays: a click on the blank space below the
    // rows, a Ctrl+click or Ctrl+Space on the selected row keep it, and the
    // account side with it. (The right button is the copy menus' business.)
    void selectionIsKept_data()
    {
        QTest::addColumn<QString>("listName");
        QTest::addColumn<QString>("action");
        for (const char* l : {"lst_Site", "lst_Username", "lst_Password", "lst_Referral_URL"})
            for (const char* a : {"blank click", "ctrl+click", "ctrl+space"})
                QTest::addRow("%s %s", l, a) << l << a;
    }

    void selectionIsKept()
    {
        QFETCH(QString, listName);
        QFETCH(QString, action);
        start();
        selectSite("News");
        if (listName != "lst_Site")
            clickRow(listName, 1);
        const int selected = selectedRow(listName);
        const QList<int> accounts = accountSelection();
        const QString caption = siteCaption();
        sb::browse::SelectionList* l = list(listName);
        if (action == "blank click")
            QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, {5, l->viewport()->height() - 3});
        else if (action == "ctrl+click")
            clickRow(listName, selected, Qt::ControlModifier);
        else
            QTest::keyClick(l, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(selectedRow(listName), selected);
        QCOMPARE(accountSelection(), accounts);
        QCOMPARE(siteCaption(), caption);
    }

    // Edit, Remove and the extra-info GO after choosing account rows.
    void accountButtons_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("listName");
        QTest::addColumn<QList<bool>>("buttons");
        QTest::newRow("real account, empty extra info")
            << "News" << QList<int>{2} << "lst_Password" << QList<bool>{true, true, true};
        QTest::newRow("placeholder row")
            << "Bank" << QList<int>{0} << "lst_Referral_URL" << kAllOff;
        QTest::newRow("-- no -- account") << "Mail" << QList<int>{1} << "lst_Username" << kAllOff;
        // The extra-info button keeps the state the real account gave it.
        QTest::newRow("-- no -- account after a real one")
            << "Mail" << QList<int>{0, 1} << "lst_Referral_URL" << QList<bool>{false, false, true};
    }

    void accountButtons()
    {
        QFETCH(QString, site);
        QFETCH(QList<int>, clicks);
        QFETCH(QString, listName);
        QFETCH(QList<bool>, buttons);
        start();
        selectSite(site);
        for (int row : clicks)
            clickRow(listName, row);
        // Whichever list is clicked, the three stay on one row, and each
        // list's current row follows, so the keyboard goes on from it.
        QCOMPARE(accountSelection(), QList<int>(3, clicks.last()));
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QCOMPARE(list(l)->currentRow(), clicks.last());
        QCOMPARE(buttonStates(), buttons);
        // Selecting a site again puts the account buttons out of reach.
        selectSite(site == "News" ? "Mail" : "News");
        QCOMPARE(buttonStates(), kAllOff);
    }

    // Only web addresses reach the browser, each prefixed at most once.
    void goButtons_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QUrl>("opened");
        QTest::newRow("no scheme") << "www.example.com" << QUrl("http://www.example.com");
        QTest::newRow("http:// inside")
            << "www.a.example/?r=http://b" << QUrl("http://www.a.example/?r=http://b");
        QTest::newRow("capitals") << "HTTP://EXAMPLE.COM" << QUrl("HTTP://EXAMPLE.COM");
        QTest::newRow("https") << "https://bank.example" << QUrl("https://bank.example");
        QTest::newRow("file") << "file:///etc/passwd" << QUrl("http://file:///etc/passwd");
        QTest::newRow("empty") << "" << QUrl("http://");
        const QString huge = "www.example.com/" + QString(100'000, 'x');
        QTest::newRow("100,000 characters") << huge << QUrl("http://" + huge);
    }

    void goButtons()
    {
        QFETCH(QString, text);
        QFETCH(QUrl, opened);
        const QByteArray t = text.toUtf8();
        start(rec({"Go", t.constData()}), rec({"Go", "user", "pw", t.constData()}));
        selectSite("Go");
        clickRow("lst_Referral_URL", 0);
        for (const char* go : {"cmd_Go", "cmd_Go_Referral_URL", "cmd_Go", "cmd_Go_Referral_URL"})
            click(go);
        QCOMPARE(opened_, QList<QUrl>(4, opened));
        // Copied whole, shown as stored; what a long text shows is bounded,
        // to keep repaints quick, and marked as cut.
        window->mnu_Copy_Referral_URL_Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        const QString shown = list("lst_Referral_URL")->item(0)->text();
        QVERIFY(shown == text || (shown.endsWith(u'\u2026') && text.startsWith(shown.chopped(1))));
        QVERIFY(shown.size() < 5000 && siteCaption().size() < 5000);
    }
};

QTEST_MAIN(TestBrowse)
#include "tst_browse.moc"
