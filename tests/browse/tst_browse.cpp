// Browsing: the rules without a window (the order of the site list, matching
// site names, the captions of the account side), and in the main window
// start-up and reload, selecting a site, the three linked account lists and
// the GO buttons, driven through the widgets.
#include "browse/account_view.h"
#include "browse/site_list.h"
#include "browse/site_order.h"
#include "common/name_match.h"
#include "history/change.h"
#include "support/files.h"
#include "support/window_driver.h"

#include <QDesktopServices>
#include <QTextLayout>
#include <QtTest>

#include <numeric>

using namespace sb::browse;

namespace {

// Sites, in file order; "News" and "news" are two records of one site.
// News has three accounts (in this order), Mail two, Bank none.
const QString kFiles =
    "write S News,old.example|Bank,www.bank.example|news,news.example|Mail,https://mail.example; "
    "write A NEWS,zed,pw-z,http://ref.example/z|Mail,bob,pw-b,www.bob.example|"
    "news,alice,pw-a,www.ref.example/a|Mail,-- no --,pw-n,http://n.example|NeWs,mike,pw-m,; ";
const QString kNews = "[SITE: news ]-[URL: news.example ]-[ACCOUNTS: 3/5 ]";
const QString kSiteOn = "on = Go Edit_Site Rem_Site Add_Account";
const QString kAllOn = "on = Go Go_Referral_URL Edit_Site Rem_Site Add_Account Edit_Account "
                       "Remove_Account";
const QStringList kSchemes{"http", "https", "file"};

// The list's order of `names` under `locale`.
std::vector<qsizetype> orderUnder(const QLocale& locale, const QStringList& names)
{
    const QLocale before;
    QLocale::setDefault(locale);
    std::vector<qsizetype> order = sb::browse::siteNameOrder(names);
    QLocale::setDefault(before);
    return order;
}

// The collator's stable order of `names` under `locale` (English rules
// under the POSIX locale), ignoring case.
std::vector<qsizetype> collatorsOrder(const QLocale& locale, const QStringList& names)
{
    QCollator collator(locale.language() == QLocale::C
                           ? QLocale(QLocale::English, QLocale::UnitedStates)
                           : locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<qsizetype> expected(size_t(names.size()));
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](qsizetype a, qsizetype b) {
        return collator.compare(names[a], names[b]) < 0;
    });
    return expected;
}

} // namespace

class TestBrowse : public QObject, sb::test::WindowDriver
{
    Q_OBJECT

public slots:
    void open(const QUrl& url) { opened.append(url); } // stands in for the browser

private slots:
    void init()
    {
        fresh();
        for (const QString& scheme : kSchemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    void cleanup()
    {
        window.reset();
        for (const QString& scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void sortSiteNames_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("sorted");
        const auto row = [](const char* name, const QLocale& locale, const char* names,
                            const char* sorted) {
            QTest::newRow(name) << locale << names << sorted;
        };
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        row("letter case ignored, equal names keep their order", english,
            "b|MAIL|Alpha|a|mail|ALPHABET|Mail", "a|Alpha|ALPHABET|b|MAIL|mail|Mail");
        row("accents sort with their base letter, blanks count", english,
            "Zoo|\u00c9clair|Eagle|a b|ab|a", "a|a b|ab|Eagle|\u00c9clair|Zoo");
        // The POSIX locale of a bare session must not give code-point order.
        row("POSIX locale", QLocale::c(), "banana|Bank|apple", "apple|banana|Bank");
    }

    void sortSiteNames()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, names);
        const QLocale before;
        QLocale::setDefault(locale);
        QStringList sorted = names.split('|');
        sb::browse::sortSiteNames(sorted);
        QLocale::setDefault(before);
        QTEST(sorted.join('|'), "sorted");
    }

    // On thousands of names of every kind (letter case, accents, blanks and
    // punctuation, digits, other scripts, equal names) the list's order is
    // exactly the collator's, equal names in file order, in locales whose
    // rules pair letters ("ch", "aa") or move them ("y", "\u0131").
    void siteNameOrderIsTheCollators_data()
    {
        QTest::addColumn<QLocale>("locale");
        for (const char* name : {"en_US", "C", "cs_CZ", "da_DK", "lt_LT", "tr_TR", "sv_SE"})
            QTest::newRow(name) << QLocale(QString::fromLatin1(name));
    }

    void siteNameOrderIsTheCollators()
    {
        QFETCH(QLocale, locale);
        const QStringList pieces =
            QStringLiteral(
                "acme|Acme|ACME|caf\u00e9|Cafe|CAF\u00c9|chata|Hotel|aa|\u00e5s|Aarhus|yacht|"
                "ijs|\u0131rmak|Istanbul|stra\u00dfe|Strasse|\u00f6l|Ol|\u65e5\u672c|"
                "\u03b1\u03b2|a-b|a b|a_b|a.b|(x)|&co|'s|9lives|10x|2go| |Z\u00fcrich|zulu")
                .split(u'|');
        QStringList names;
        quint32 seed = 12345;
        const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        for (int i = 0; i < 3000; ++i) {
            QString name;
            for (quint32 k = 0, parts = 2 + next() % 3; k < parts; ++k)
                name += (k ? QStringLiteral(" ") : QString()) + pieces[next() % pieces.size()];
            // Now and then a name equal to an earlier one but for case.
            names << (i % 20 == 19 ? names[i / 2].toUpper() : name);
        }
        QCOMPARE(orderUnder(locale, names), collatorsOrder(locale, names));
    }

    // Names in ASCII and in Latin letters with accents: the order is still
    // exactly the collator's, where the list orders them without it
    // (languages that keep the common rules for these) and where pairs of
    // letters count as one ("ch", "aa", "cs", "dd", "lj"), a letter moves
    // ("z" in Estonian, "\u00f1" in Spanish) or accents count from the end
    // (French in Canada). Every pair of letters, alone and before "a" and
    // "Z", shows such a rule; every letter with an accent stands alone,
    // before and after others, and next to its letter without it.
    void commonOrderIsTheCollators_data()
    {
        QTest::addColumn<QLocale>("locale");
        for (const char* name :
             {"C", "en_US", "ar_EG", "bg_BG", "ca_ES", "zh_CN", "nl_NL", "fi_FI", "fr_FR", "fr_CA",
              "de_DE", "el_GR", "he_IL", "is_IS", "it_IT", "ja_JP", "ko_KR", "pl_PL", "pt_BR",
              "ro_RO", "ru_RU", "sl_SI", "es_ES", "sv_SE", "uk_UA",
              // Languages whose rules order ASCII otherwise:
              "cs_CZ", "da_DK", "et_EE", "hr_HR", "hu_HU", "lv_LV", "lt_LT", "nb_NO", "sk_SK",
              "tr_TR", "cy_GB"})
            QTest::newRow(name) << QLocale(QString::fromLatin1(name));
    }

    void commonOrderIsTheCollators()
    {
        QFETCH(QLocale, locale);
        QStringList names =
            QStringLiteral("a-b|a b|a_b|a.b|(x)|&co|'s|9lives|10x|2go| |a\tb|"
                           "a\u0001b|ab|AB|Ab|a~b|a$b|a@b|a/b|a\\b|a\"b|a`b|Iz|ia|Ib|"
                           "e\u0301|o\u0302te|cot\u00e9|c\u00f4te|cote|c\u00f4t\u00e9|i\u0307a")
                .split(u'|');
        for (char a = 'a'; a <= 'z'; ++a) {
            for (char b = 'a'; b <= 'z'; ++b) {
                for (const char* after : {"", "a", "Z"})
                    names << QString(QLatin1Char(a)) + QLatin1Char(b) + QLatin1StringView(after);
            }
        }
        for (char16_t c = 0x80; c < 0x2000; ++c) {
            const QChar letter(c);
            const QString parts = letter.decomposition();
            if (letter.decompositionTag() != QChar::Canonical || parts.size() != 2 ||
                parts[0].unicode() >= 0x80)
                continue;
            names << letter << QString(letter) + u'a' << u'a' + QString(letter) + u'b'
                  << u'a' + parts + u'b' << QString(letter) + letter;
        }
        std::reverse(names.begin(), names.end());
        QCOMPARE(orderUnder(locale, names), collatorsOrder(locale, names));
        // With two accents on a letter, an accent on nothing, or one of
        // another kind, the collator orders the whole list.
        for (const char16_t* odd : {u"e\u0301\u0300", u"\u0301e", u"ae\u0310"}) {
            const QStringList more = names + QStringList{QString::fromUtf16(odd)};
            QCOMPARE(orderUnder(locale, more), collatorsOrder(locale, more));
        }
    }

    // The byte-level shortcut agrees with comparing upper-cased strings for
    // every pair of names whose upper case is tricky: letter case, blanks,
    // characters that upper-case to ASCII or to more characters. The undo
    // history's names too, eight bytes at a time.
    void matcherAgreesWithUpperCase()
    {
        const auto hash = [](const QString& name) {
            return sb::history::nameHash(sb::common::RecordKind::Sites, {name.toStdString()});
        };
        const QStringList names =
            QStringLiteral("News|NEWS|news|News | News|Ne ws|| |ITEM|item|\u0131tem|\u0130tem|"
                           "STRASSE|strasse|stra\u00dfe|FF|\uFB00|K|\u212A|caf\u00e9|CAF\u00c9|"
                           "CAFE|\u01C5|\u01C4|\u01C6|\u03c3\u03c2|\u03a3\u03a3|\u65e5\u672c|"
                           "a\u0301|\u00e1|zone|ZONE|{x}|[X]|Caf\u00e9 acme|CAF\u00c9 ACME|"
                           "caf\u00e9 blue|x\u00dfy|XSSY|xssy|\u0131x|Ix|IX|\u00e9|\u00c9|"
                           "\u00e9a|a\u00e9|A\u00c9")
                .split(QLatin1Char('|'));
        for (const QString& selected : names) {
            const sb::common::NameMatcher matcher(selected);
            for (const QString& field : names)
                QVERIFY2(matcher.matches(field.toStdString()) ==
                                 (field.toUpper() == selected.toUpper()) &&
                             matcher.matches(QStringView(field)) ==
                                 (field.toUpper() == selected.toUpper()) &&
                             (hash(field) == hash(selected)) ==
                                 (field.toUpper() == selected.toUpper()),
                         qPrintable(selected + " vs " + field));
        }
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
        // A name that overrides the direction of what follows it (and one
        // that also ends an isolate it never began) turns no word around.
        for (const QString name : {"\u202Eevil", "\u2069\u202Eevil"}) {
            view.siteName = name;
            QTextLayout shown(siteCaption("x", view, 9));
            shown.beginLayout();
            const QTextLine line = shown.createLine();
            shown.endLayout();
            auto x = [&](const char* word) { return line.cursorToX(shown.text().indexOf(word)); };
            QVERIFY2(x("[SITE") < x("URL") && x("URL") < x("ACCOUNTS"), qPrintable(name));
        }
    }

    // A reload reads the view of the site selected next in the same pass:
    // the site chosen by name (the first row of it) or else by row, its
    // view what a read of its own gives, and good once for that site
    // while neither file changes.
    void readAhead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("chosen"); // -1: none
        QTest::addColumn<QString>("then");
        QTest::newRow("none chosen") << "" << -1 << -1 << "";
        QTest::newRow("by name, first of it") << "NEWS" << 0 << 2 << "take";
        QTest::newRow("by row") << "" << 1 << 1 << "take";
        QTest::newRow("name gone, row past the end") << "gone" << 9 << -1 << "";
        QTest::newRow("name gone, nearest row") << "gone" << -9 << 3 << "take";
        QTest::newRow("name gone, no row") << "gone" << -1 << -1 << "";
        QTest::newRow("taken twice") << "Mail" << -1 << 1 << "take twice";
        QTest::newRow("another site") << "Mail" << -1 << 1 << "take Bank";
        QTest::newRow("accounts appended") << "Mail" << -1 << 1 << "append";
        QTest::newRow("sites replaced") << "Mail" << -1 << 1 << "replace";
    }

    void readAhead()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(int, chosen);
        QFETCH(QString, then);
        run(kFiles);
        const auto sites = sb::store::RecordFile::sites(dir->path().toStdString());
        const auto accounts = sb::store::RecordFile::accounts(dir->path().toStdString());
        SiteListing listing;
        // A negative row stands for that row or the nearest.
        QVERIFY(!readSiteListing(sites, accounts, listing, {name, row < -1 ? -row : row, row < -1})
                     .failed());
        QCOMPARE(listing.names.join('|'), "Bank|Mail|News|news");
        QCOMPARE(listing.accountCount, 5);
        QCOMPARE(listing.chosenRow, chosen);
        QCOMPARE(listing.chosen.has_value(), chosen >= 0);
        if (chosen < 0)
            return;
        QString site = listing.names[chosen];
        if (then == "append")
            sb::test::writeFile(dir->path(), "SB-Acnts.DaT",
                                sb::test::readFile(dir->path(), "SB-Acnts.DaT") +
                                    sb::test::rec({site.toUtf8(), "new", "pw", ""}));
        if (then == "replace") {
            const QByteArray bytes = sb::test::readFile(dir->path(), "SB-Sites.DaT");
            QVERIFY(QFile::remove(dir->filePath("SB-Sites.DaT")));
            sb::test::writeFile(dir->path(), "SB-Sites.DaT", bytes);
        }
        if (then == "take Bank")
            site = "Bank";
        AccountView ahead, own;
        bool taken = listing.chosen->take(site.toLower(), sites, accounts, ahead);
        if (then == "take twice")
            taken = listing.chosen->take(site, sites, accounts, ahead);
        QCOMPARE(taken, then == "take");
        if (!taken)
            return;
        QVERIFY(!readAccountView(sites, accounts, site, own).failed());
        QCOMPARE(siteCaption(site, ahead, 5), siteCaption(site, own, 5));
        QCOMPARE(QStringList(ahead.usernames + ahead.passwords + ahead.extraInfo),
                 QStringList(own.usernames + own.passwords + own.extraInfo));
        QCOMPARE(ahead.accountsFileFound, own.accountsFileFound);
    }

    // Scripts on the window over the files above (see window_driver.h).
    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        const auto row = [](const char* name, const QString& script) {
            QTest::newRow(name) << script;
        };
        // Start-up makes no record file and leaves only Add Site to press. It
        // opens the data folder (tst_store: temporaryFiles), keeping a
        // temporary file that may be the only copy of a missing record file.
        row("start-up on an empty folder",
            "remove S; remove A; nosite; files = ; boxes = ; focus = cmd_Add_Site");
        row("start-up: only copy of the accounts",
            "remove A; write SB-t9.txt Cafe,u,p,; nosite; files = SB-Sites.DaT|SB-t9.txt; "
            "boxes = [Stashbook]  :Data Folder:  Only Copy Kept; said ~ rename it to SB-Acnts.DaT");
        // Reload reads both files afresh and selects nothing; the caption
        // buttons are labels that do not reload. Vanished files leave the old
        // rows on show while the caption counts none; a damaged file is
        // reported, naming it and the record, and the view is kept.
        row("reload: files changed",
            "site News; append S cafe,c; append A Cafe,u,p,; click cmd_Sites; click "
            "cmd_Site_Name; click Command1; click Command2; click Command3; text cmd_Sites = "
            "[SITES]:  4; click cmd_Reload; rows lst_Site = Bank|cafe|Mail|News|news; text "
            "cmd_Sites = [SITES]:  5; count = 6; boxes = ; nosite; focus = lst_Site");
        row("reload: files vanished",
            "site News; remove S; remove A; click cmd_Reload; rows lst_Site = Bank|Mail|News|news; "
            "text cmd_Sites = [SITES]:  0; count = 5; boxes = ; nosite; focus = lst_Site");
        for (const char* f : {"S A,a", "A A,u,p,"})
            QTest::addRow("reload: damaged %s", f)
                << QString(
                       "site News; write %1|\"B\"; click cmd_Reload; boxes = [Stashbook]  "
                       ":File Error:  %2; said ~ record 2; rows lst_Site = Bank|Mail|News|news;"
                       " text cmd_Sites = [SITES]:  4; count = 5; rows lst_Username = zed|alice|"
                       "mike")
                       .arg(f, f[0] == 'S' ? "SB-Sites.DaT" : "SB-Acnts.DaT");
        // A site listed as News finds NEWS, news and NeWs accounts in file
        // order; the last sites record, "news", names it and gives the address.
        // Selecting again rebuilds the caption rather than adding to it.
        row("site selected",
            "site News; text cmd_Site_Name = " + kNews +
                "; url = news.example; rows lst_Username = zed|alice|mike; rows lst_Password = "
                "pw-z|pw-a|pw-m; rows lst_Referral_URL = http://ref.example/z|www.ref.example/a|; "
                "title mnu_Copy_All = Copy &All News Accounts; sel = -1; focus = lst_Username; " +
                kSiteOn + "; site Mail; site News; text cmd_Site_Name = " + kNews);
        // A site without accounts shows a placeholder row. Each selection
        // reads both files afresh: an account appended since is listed, but
        // the total is the count of the last reload; a site whose sites record
        // is gone keeps no address of the previous one. A file that cannot be
        // read is reported and nothing of it is shown.
        row("placeholder row, files read afresh",
            "site Bank; rows lst_Username = -- NO --; rows lst_Password = -- LISTED --; rows "
            "lst_Referral_URL = -- ACCOUNTS --; text cmd_Site_Name = [SITE: Bank ]-[URL: "
            "www.bank.example ]-[ACCOUNTS: 0/5 ]; " +
                kSiteOn +
                "; append A bank,new,pw,; write S Mail,https://mail.example; site Mail; site "
                "Bank; rows lst_Username = new; text cmd_Site_Name = [SITE: Bank ]-[URL:  ]-"
                "[ACCOUNTS: 1/5 ]; url = ; on = Go Edit_Site Rem_Site Add_Account; append A "
                "\"Bank\",\"x; site Mail; boxes = [Stashbook]"
                "  :File Error:  SB-Acnts.DaT; nosite");
        row("the total of the last reload",
            "site Bank; append A Mail,new,pw,; site Mail; text cmd_Site_Name ~ [ACCOUNTS: 3/5 ]; "
            "click "
            "cmd_Reload; site Mail; text cmd_Site_Name ~ [ACCOUNTS: 3/6 ]");
        // A list that gets the focus has a current row but no selection: the
        // first key that moves selects the first row (End the last), so a list
        // of a single row (Solo's) can be chosen by keyboard too.
        const QString solo = "append S Solo,s; append A Solo,only,pw,; ";
        for (const char* k : {"Down", "End", "Home"})
            QTest::addRow("lst_Site %s", k)
                << solo + QString("click cmd_Reload; key lst_Site %1; sel lst_Site = %2; "
                                  "text cmd_Site_Name ~ [SITE: %3")
                              .arg(k, k[0] == 'E' ? "4" : "0", k[0] == 'E' ? "Solo" : "Bank");
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"}) {
            for (const char* k : {"Down", "End", "PgDown"})
                QTest::addRow("%s %s", l, k)
                    << solo + QString("site Solo; key %1 %2; sel = 0; %3; site News; key %1 %2; "
                                      "sel = %4; %3")
                                  .arg(l, k, kAllOn, k[0] == 'E' ? "2" : "0");
        }
        // Once made, a selection stays: a click on the blank space below the
        // rows, a Ctrl+click or Ctrl+Space on the selected row keep it, and
        // the account side with it.
        for (const char* l : {"lst_Site", "lst_Username", "lst_Password", "lst_Referral_URL"}) {
            const bool site = l == QString("lst_Site");
            for (const char* a : {"blank L", "ctrl L R", "key L Ctrl+Space"})
                QTest::addRow("%s keeps its selection: %s", l, a)
                    << QString(site ? "site News; A; sel lst_Site = 2; sel = -1; "
                                    : "site News; row L 1; A; sel = 1; ")
                               .replace("A", QString(a).replace("R", site ? "2" : "1"))
                               .replace("L", l) +
                           "text cmd_Site_Name = " + kNews;
        }
        // Whichever list is clicked, the three stay on one row, and each
        // list's current row follows, so the keyboard goes on from it.
        // Selecting a site again puts the account buttons out of reach.
        row("a real account, empty extra info",
            "site News; row lst_Password 2; sel = 2; " + kAllOn + "; site Mail; " + kSiteOn);
        row("the placeholder row", "site Bank; row lst_Referral_URL 0; sel = 0; " + kSiteOn);
        row("an account named -- no --", "site Mail; row lst_Username 1; sel = 1; " + kSiteOn);
        // The extra-info button keeps the state the real account gave it.
        row("-- no -- after a real account",
            "site Mail; row lst_Referral_URL 0; row lst_Referral_URL 1; sel = 1; on = Go "
            "Go_Referral_URL Edit_Site Rem_Site Add_Account; site News; " +
                kSiteOn);
        // Only web addresses reach the browser, each prefixed at most once.
        // Copied whole, shown as stored; what a long text shows is bounded,
        // to keep repaints quick, and marked as cut.
        const QString huge = "www.example.com/" + QString(100'000, 'x');
        for (const auto& [text, opened] : std::initializer_list<std::pair<QString, QString>>{
                 {"www.example.com", "http://www.example.com"},
                 {"www.a.example/?r=http://b", "http://www.a.example/?r=http://b"},
                 {"HTTP://EXAMPLE.COM", "HTTP://EXAMPLE.COM"},
                 {"https://bank.example", "https://bank.example"},
                 {"file:///etc/passwd", "http://file:///etc/passwd"},
                 {"", "http://"},
                 {huge, "http://" + huge}})
            QTest::addRow("GO with %s", qPrintable(text.left(30)))
                << QString("write S Go,%1; write A Go,user,pw,%1; site Go; row lst_Referral_URL 0; "
                           "click cmd_Go; click cmd_Go_Referral_URL; click cmd_Go; click "
                           "cmd_Go_Referral_URL; opened = %2|%2|%2|%2; menu mnu_Copy_Referral_URL; "
                           "clip = %1; shown lst_Referral_URL 0 = %3; text cmd_Site_Name ~ %3 ]")
                       .arg(text, QUrl(opened).toString(),
                            text.size() > 4000 ? text.left(4000) + u'\u2026' : text);
    }

    void scripts()
    {
        QFETCH(QString, script);
        run(kFiles + script);
    }
};

QTEST_MAIN(TestBrowse)
#include "tst_browse.moc"
