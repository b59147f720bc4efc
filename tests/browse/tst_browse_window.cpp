// Browsing in the main window: selecting a site, the three linked account
// lists and the GO buttons, driven through the widgets.
#include "app/main_window.h"
#include "support/fake_notifier.h"
#include "support/files.h"

#include <QDesktopServices>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using sb::test::rec;
using sb::test::writeFile;

// Stands in for the browser: records every address handed to the system.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class TestBrowseWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    sb::test::FakeNotifier notifier_;
    UrlCatcher browser_;
    std::unique_ptr<sb::app::frmStashbook> window_;

    const QStringList schemes_{"http", "https", "file", "javascript"};

    // Sites, in file order; "News" and "news" are two records of one site.
    static QByteArray sitesFile()
    {
        return rec({"News", "old.example"}) + rec({"Bank", "www.bank.example"}) +
               rec({"news", "news.example"}) + rec({"Mail", "https://mail.example"});
    }

    // Five accounts: News has three (in this order), Mail two, Bank none.
    static QByteArray accountsFile()
    {
        return rec({"NEWS", "zed", "pw-z", "http://ref.example/z"}) +
               rec({"Mail", "bob", "pw-b", "www.bob.example"}) +
               rec({"news", "alice", "pw-a", "www.ref.example/a"}) +
               rec({"Mail", "-- no --", "pw-n", "http://n.example"}) +
               rec({"NeWs", "mike", "pw-m", ""});
    }

    sb::app::frmStashbook& start(const QByteArray& sites = sitesFile(),
                                 const QByteArray& accounts = accountsFile())
    {
        if (!sites.isNull())
            writeFile(dir_.path(), "SB-Sites.DaT", sites);
        if (!accounts.isNull())
            writeFile(dir_.path(), "SB-Acnts.DaT", accounts);
        sb::app::Environment env;
        env.dataDir = dir_.path().toStdString();
        env.notifier = &notifier_;
        window_ = std::make_unique<sb::app::frmStashbook>(env);
        window_->Start_Up();
        return *window_;
    }

    template <class T> T* child(const char* name)
    {
        T* w = window_->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control named %s", name);
        return w;
    }
    QListWidget* list(const char* name) { return child<QListWidget>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QString siteCaption() { return button("cmd_Site_Name")->text(); }

    static QStringList rows(const QListWidget* l)
    {
        QStringList out;
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }

    static int selectedRow(const QListWidget* l)
    {
        const QList<QListWidgetItem*> items = l->selectedItems();
        return items.isEmpty() ? -1 : l->row(items.first());
    }

    // The selected rows of the user-name, password and extra-info lists.
    QList<int> accountSelection()
    {
        return {selectedRow(list("lst_Username")), selectedRow(list("lst_Password")),
                selectedRow(list("lst_Referral_URL"))};
    }

    // Enabled states of Edit, Remove and the extra-info GO button.
    QList<bool> accountButtonStates()
    {
        return {button("cmd_Edit_Account")->isEnabled(), button("cmd_Remove_Account")->isEnabled(),
                button("cmd_Go_Referral_URL")->isEnabled()};
    }

    static void clickRow(QListWidget* l, int row, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(l->viewport(), Qt::LeftButton, mods,
                          l->visualItemRect(l->item(row)).center());
    }

    int siteRow(const QString& name)
    {
        const QList<QListWidgetItem*> found = list("lst_Site")->findItems(name, Qt::MatchExactly);
        if (found.isEmpty())
            qFatal("no site %s", qPrintable(name));
        return list("lst_Site")->row(found.first());
    }

    void selectSite(const QString& name) { list("lst_Site")->setCurrentRow(siteRow(name)); }

private slots:
    void initTestCase()
    {
        for (const QString& scheme : schemes_)
            QDesktopServices::setUrlHandler(scheme, &browser_, "open");
    }

    void cleanupTestCase()
    {
        for (const QString& scheme : schemes_)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void init()
    {
        QVERIFY(dir_.isValid());
        QFile::remove(dir_.filePath("SB-Sites.DaT"));
        QFile::remove(dir_.filePath("SB-Acnts.DaT"));
        notifier_.errors.clear();
        browser_.opened.clear();
    }

    void cleanup() { window_.reset(); }

    // Mouse, keyboard and code all select a site and fill the view.
    void selectSite_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("mouse") << "mouse";
        QTest::newRow("keyboard") << "keyboard";
        QTest::newRow("code") << "code";
    }

    void selectSite()
    {
        QFETCH(QString, how);
        sb::app::frmStashbook& w = start();
        QListWidget* sites = list("lst_Site");
        const int news = siteRow("News");
        if (how == "mouse") {
            clickRow(sites, news);
        } else if (how == "keyboard") {
            sites->setCurrentRow(news - 1);
            QTest::keyClick(sites, Qt::Key_Down);
        } else {
            sites->setCurrentRow(news);
        }
        QCOMPARE(selectedRow(sites), news);

        // A site listed as News finds NEWS, news and NeWs accounts in file
        // order; the last sites record, "news", names it and gives the address.
        QCOMPARE(siteCaption(),
                 QStringLiteral("[SITE: news ]-[URL: news.example ]-[ACCOUNTS: 3/5 ]"));
        QCOMPARE(w.siteUrl(), QStringLiteral("news.example"));
        QCOMPARE(rows(list("lst_Username")), (QStringList{"zed", "alice", "mike"}));
        QCOMPARE(rows(list("lst_Password")), (QStringList{"pw-z", "pw-a", "pw-m"}));
        QCOMPARE(rows(list("lst_Referral_URL")),
                 (QStringList{"http://ref.example/z", "www.ref.example/a", ""}));
        auto* copyAll = child<QMenu>("mnu_Copy_All");
        QVERIFY(child<QMenu>("mnu_Account_Copy")->actions().contains(copyAll->menuAction()));
        QCOMPARE(copyAll->title(), QStringLiteral("Copy &All News Accounts"));

        for (const char* on : {"cmd_Go", "cmd_Edit_Site", "cmd_Rem_Site", "cmd_Add_Account"})
            QVERIFY2(button(on)->isEnabled(), on);
        QCOMPARE(accountButtonStates(), (QList<bool>{false, false, false}));
        QCOMPARE(accountSelection(), (QList<int>{-1, -1, -1}));
        QCOMPARE(w.focusWidget(), list("lst_Username"));
    }

    void placeholderRowAndCounts()
    {
        start();
        selectSite("Bank");
        QCOMPARE(rows(list("lst_Username")), QStringList{"-- NO --"});
        QCOMPARE(rows(list("lst_Password")), QStringList{"-- LISTED --"});
        QCOMPARE(rows(list("lst_Referral_URL")), QStringList{"-- ACCOUNTS --"});
        QCOMPARE(siteCaption(),
                 QStringLiteral("[SITE: Bank ]-[URL: www.bank.example ]-[ACCOUNTS: 0/5 ]"));
        QVERIFY(button("cmd_Add_Account")->isEnabled());
        QCOMPARE(accountButtonStates(), (QList<bool>{false, false, false}));
    }

    // Selecting again rebuilds the caption rather than adding to it, also for
    // a site that no longer has a sites record.
    void sameSiteTwice_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<bool>("dropSitesRecord");
        QTest::newRow("listed site") << "News" << false;
        QTest::newRow("site without placeholder") << "Bank" << false;
        QTest::newRow("sites record gone") << "Bank" << true;
    }

    void sameSiteTwice()
    {
        QFETCH(QString, site);
        QFETCH(bool, dropSitesRecord);
        sb::app::frmStashbook& w = start();
        if (dropSitesRecord)
            writeFile(dir_.path(), "SB-Sites.DaT", rec({"Mail", "https://mail.example"}));
        selectSite(site);
        const QString caption = siteCaption();
        const QStringList users = rows(list("lst_Username"));
        const QString url = w.siteUrl();
        selectSite("Mail");
        selectSite(site);
        QCOMPARE(siteCaption(), caption);
        QCOMPARE(rows(list("lst_Username")), users);
        QCOMPARE(w.siteUrl(), url);
        if (dropSitesRecord) {
            QCOMPARE(caption, QStringLiteral("[SITE: Bank ]-[URL:  ]-[ACCOUNTS: 0/5 ]"));
            QVERIFY(url.isEmpty());
        }
    }

    // The total is the count of the last reload: an account appended since
    // is listed but counted only after reloading.
    void totalIsTheCountOfTheLastReload()
    {
        start();
        writeFile(dir_.path(), "SB-Acnts.DaT", accountsFile() + rec({"bank", "new", "pw", ""}));
        selectSite("Bank");
        QCOMPARE(rows(list("lst_Username")), QStringList{"new"});
        QVERIFY(siteCaption().endsWith(QStringLiteral("[ACCOUNTS: 1/5 ]")));
        QTest::mouseClick(button("cmd_Reload"), Qt::LeftButton);
        selectSite("Bank");
        QVERIFY(siteCaption().endsWith(QStringLiteral("[ACCOUNTS: 1/6 ]")));
    }

    void missingAccountsFile()
    {
        sb::app::frmStashbook& w = start(sitesFile(), QByteArray());
        selectSite("Mail");
        QCOMPARE(rows(list("lst_Username")), QStringList{"-- NO --"});
        // The site is still named and its address kept for GO.
        QCOMPARE(siteCaption(),
                 QStringLiteral("[SITE: Mail ]-[URL: https://mail.example ]-[ACCOUNTS: 0/0 ]"));
        QCOMPARE(w.siteUrl(), QStringLiteral("https://mail.example"));
        QCOMPARE(child<QMenu>("mnu_Copy_All")->title(),
                 QStringLiteral("Copy &All ------ Accounts"));
        QVERIFY(button("cmd_Add_Account")->isEnabled());
    }

    // A file that cannot be read is reported and nothing of it is shown: the
    // view goes back to its state after a reload, the previous site's
    // accounts included.
    void damagedFileIsReported()
    {
        start();
        selectSite("News");
        writeFile(dir_.path(), "SB-Acnts.DaT", accountsFile() + "\"Bank\",\"x");
        selectSite("Bank");
        QCOMPARE(notifier_.errors.size(), 1);
        QCOMPARE(notifier_.errors.first().title,
                 QStringLiteral("[Stashbook]  :File Error:  SB-Acnts.DaT"));
        QCOMPARE(selectedRow(list("lst_Site")), -1);
        QCOMPARE(siteCaption(), sb::app::frmStashbook::kHotKeyHint);
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QCOMPARE(list(l)->count(), 0);
        for (const char* off : {"cmd_Go", "cmd_Edit_Site", "cmd_Rem_Site", "cmd_Add_Account",
                                "cmd_Edit_Account", "cmd_Remove_Account", "cmd_Go_Referral_URL"})
            QVERIFY2(!button(off)->isEnabled(), off);
    }

    void deselectingTheSiteClearsTheView()
    {
        start();
        clickRow(list("lst_Site"), siteRow("News"));
        clickRow(list("lst_Site"), siteRow("News"), Qt::ControlModifier);
        QCOMPARE(selectedRow(list("lst_Site")), -1);
        QCOMPARE(list("lst_Username")->count(), 0);
        QVERIFY(!button("cmd_Go")->isEnabled());
        QVERIFY(!button("cmd_Add_Account")->isEnabled());
    }

    // Whichever list the user clicks or moves in, the three stay on one row.
    void linkedSelection_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("how");
        for (const char* source : {"lst_Username", "lst_Password", "lst_Referral_URL"}) {
            QTest::newRow(qPrintable(QString::fromLatin1(source) + " click"))
                << QString::fromLatin1(source) << "click";
            QTest::newRow(qPrintable(QString::fromLatin1(source) + " arrow keys"))
                << QString::fromLatin1(source) << "keys";
        }
    }

    void linkedSelection()
    {
        QFETCH(QString, source);
        QFETCH(QString, how);
        start();
        selectSite("News");
        QListWidget* s = list(source.toLatin1().constData());
        if (how == "click") {
            clickRow(s, 2);
            QCOMPARE(accountSelection(), (QList<int>{2, 2, 2}));
            // Row 2 has an empty extra info: still a real account.
            QCOMPARE(accountButtonStates(), (QList<bool>{true, true, true}));
            clickRow(s, 0);
            QCOMPARE(accountSelection(), (QList<int>{0, 0, 0}));
        } else {
            clickRow(s, 0);
            QTest::keyClick(s, Qt::Key_Down);
            QCOMPARE(accountSelection(), (QList<int>{1, 1, 1}));
            QTest::keyClick(s, Qt::Key_Down);
            QCOMPARE(accountSelection(), (QList<int>{2, 2, 2}));
            QTest::keyClick(s, Qt::Key_Up);
            QCOMPARE(accountSelection(), (QList<int>{1, 1, 1}));
        }
        QCOMPARE(accountButtonStates(), (QList<bool>{true, true, true}));
        // Each list's current row follows too, so the keyboard goes on from it.
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QCOMPARE(list(l)->currentRow(), accountSelection().first());
    }

    // Edit, Remove and the extra-info GO after choosing account rows.
    void accountButtons_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("listName");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QList<bool>>("buttons");
        QTest::newRow("real account")
            << "Mail"
            << "lst_Password" << QList<int>{0} << QList<bool>{true, true, true};
        QTest::newRow("placeholder row")
            << "Bank"
            << "lst_Referral_URL" << QList<int>{0} << QList<bool>{false, false, false};
        QTest::newRow("-- no -- account first")
            << "Mail"
            << "lst_Username" << QList<int>{1} << QList<bool>{false, false, false};
        // The extra-info button keeps the state the real account gave it.
        QTest::newRow("-- no -- account after a real one")
            << "Mail"
            << "lst_Referral_URL" << QList<int>{0, 1} << QList<bool>{false, false, true};
        QTest::newRow("real account after -- no --")
            << "Mail"
            << "lst_Password" << QList<int>{1, 0} << QList<bool>{true, true, true};
    }

    void accountButtons()
    {
        QFETCH(QString, site);
        QFETCH(QString, listName);
        QFETCH(QList<int>, clicks);
        QFETCH(QList<bool>, buttons);
        start();
        selectSite(site);
        QListWidget* l = list(listName.toLatin1().constData());
        for (int row : clicks)
            clickRow(l, row);
        const int last = clicks.last();
        QCOMPARE(accountSelection(), (QList<int>{last, last, last}));
        QCOMPARE(accountButtonStates(), buttons);
        // Clicking the selected row again changes nothing.
        clickRow(l, last);
        QCOMPARE(accountButtonStates(), buttons);
        // Selecting a site again puts the account buttons out of reach.
        selectSite("News");
        QCOMPARE(accountButtonStates(), (QList<bool>{false, false, false}));
    }

    // Only web addresses reach the browser (the "file" and "javascript"
    // handlers are never called), each prefixed at most once.
    void goButtons_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("opened");
        QTest::newRow("no scheme") << "www.example.com"
                                   << "http://www.example.com";
        QTest::newRow("http:// inside") << "www.a.example/?r=http://b"
                                        << "http://www.a.example/?r=http://b";
        QTest::newRow("capitals") << "HTTP://EXAMPLE.COM"
                                  << "HTTP://EXAMPLE.COM";
        QTest::newRow("https") << "https://bank.example"
                               << "https://bank.example";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "http://file:///etc/passwd";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "http://javascript:alert(1)";
        QTest::newRow("empty") << ""
                               << "http://";
    }

    void goButtons()
    {
        QFETCH(QString, text);
        QFETCH(QString, opened);
        const QByteArray t = text.toUtf8();
        sb::app::frmStashbook& w =
            start(rec({"Go", t.constData()}), rec({"Go", "user", "pw", t.constData()}));
        const QUrl expected(opened, QUrl::TolerantMode);

        selectSite("Go");
        QTest::mouseClick(button("cmd_Go"), Qt::LeftButton);
        QTest::mouseClick(button("cmd_Go"), Qt::LeftButton);
        QCOMPARE(browser_.opened, (QList<QUrl>{expected, expected}));
        QCOMPARE(w.siteUrl(), opened);
        QCOMPARE(w.focusWidget(), button("cmd_Add_Site"));

        browser_.opened.clear();
        clickRow(list("lst_Referral_URL"), 0);
        QTest::mouseClick(button("cmd_Go_Referral_URL"), Qt::LeftButton);
        QTest::mouseClick(button("cmd_Go_Referral_URL"), Qt::LeftButton);
        QCOMPARE(browser_.opened, (QList<QUrl>{expected, expected}));
        QCOMPARE(rows(list("lst_Referral_URL")), QStringList{text});
        QCOMPARE(w.focusWidget(), button("cmd_Add_Account"));
    }
};

QTEST_MAIN(TestBrowseWindow)
#include "tst_browse_window.moc"
