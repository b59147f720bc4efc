// Adding, renaming and removing sites on real record files, without the
// dialogs: what is written, what is asked and shown, and where it stops.
#include "app/data_store.h"
#include "dialogs/site/site_edits.h"
#include "support/fake_prompter.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace sb::dialogs::site;
using sb::test::rec;

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(SiteFields)

namespace {

const QString kInvalid = QStringLiteral("[Stashbook]  :ERROR:  Invalid Character");
const QString kTaken = QStringLiteral("[Stashbook]  :ERROR:  Site Name Already Exists");
const QString kNotFound = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");
const QString kTransfer = QStringLiteral("[Stashbook]  :Account Transfer:  Transfer?");
const QString kRemove = QStringLiteral("[Stashbook]  :Remove Site:  Are You Sure?");
const QString kRemoveAccounts = QStringLiteral("[Stashbook]  :Remove Site:  Update Accounts ?");
const QString kSitesError = QStringLiteral("[Stashbook]  :File Error:  SB-Sites.DaT");
const QString kAccountsError = QStringLiteral("[Stashbook]  :File Error:  SB-Acnts.DaT");

// "News" stands twice, in two letter cases (a file edited by hand).
const QByteArray kS =
    rec({"News", "news.example"}) + rec({"Mail", "mail.example"}) + rec({"news", "n2.example"});
const QByteArray kA = rec({"NEWS", "zed", "pw-z", ""}) + rec({"Mail", "bob", "pw-b", "x"}) +
                      rec({"news", "alice", "pw-a", "y"});
const QByteArray kMail = rec({"Mail", "mail.example"});
const QByteArray kBob = rec({"Mail", "bob", "pw-b", "x"});
const QByteArray kDamage = "\"Cut\""; // a record that ends after its first field

} // namespace

class TestSiteEdits : public QObject
{
    Q_OBJECT

private slots:
    // A removal is Done when the view is to be reloaded. Null file bytes: no
    // such file.
    void edits_data()
    {
        for (const char* column : {"sites", "accounts", "sitesAfter", "accountsAfter"})
            QTest::addColumn<QByteArray>(column);
        QTest::addColumn<QString>("op"); // and the site edited or removed
        QTest::addColumn<SiteFields>("typed");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("exitAt");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("lastText"); // the text of the last box, when given

        const QByteArray s2 = rec({"News", "n"}) + rec({"\u00c4rzte", "a"});
        const QList<bool> none, yes{true}, no{false}, yesYes{true, true};
        const QStringList asked{kRemove, kRemoveAccounts};
        const QString unchecked;
        using O = Outcome;

        QTest::newRow("add: taken in another letter case, shown as typed")
            << s2 << kA << s2 << kA << "add" << SiteFields{"NEWS", "x"} << none << -1 << O::NameBox
            << QStringList{kTaken} << "Cannot Create 'NEWS'. Site Name Already Exists.";
        QTest::newRow("add: blanks count")
            << s2 << kA << s2 + rec({" News", ""}) << kA << "add" << SiteFields{" News", ""} << none
            << -1 << O::Done << QStringList() << unchecked;
        QTest::newRow("add: double quote in the name")
            << s2 << kA << s2 << kA << "add" << SiteFields{"Ne\"ws", "u"} << none << -1
            << O::NameBox << QStringList{kInvalid}
            << "Site Names And Site URL Locations Cannot Contain A Double Quote (\").";

        QTest::newRow("edit: another letter case; Yes moves every account of the site")
            << kS << kA << rec({"NEWS", "u"}) + kMail + rec({"NEWS", "u"})
            << rec({"NEWS", "zed", "pw-z", ""}) + kBob + rec({"NEWS", "alice", "pw-a", "y"})
            << "edit News" << SiteFields{"NEWS", "u"} << yes << -1 << O::Done
            << QStringList{kTransfer}
            << "Would You Like The Accounts That Use The Old Site Name (News)\r\n"
               "To Be Transfered To The New Site Name (NEWS) ?";
        QTest::newRow("edit: No leaves the accounts under the old name")
            << kS << kA << rec({"Paper", "p"}) + kMail + rec({"Paper", "p"}) << kA << "edit News"
            << SiteFields{"Paper", "p"} << no << -1 << O::Done << QStringList{kTransfer}
            << unchecked;
        QTest::newRow("edit: only the address changed; still asked, the name as in the box")
            << kS << kA << rec({"News", "new"}) + kMail + rec({"News", "new"})
            << rec({"News", "zed", "pw-z", ""}) + kBob + rec({"News", "alice", "pw-a", "y"})
            << "edit News" << SiteFields{"News", "new"} << yes << -1 << O::Done
            << QStringList{kTransfer} << unchecked;
        QTest::newRow("edit: another site's name, in any letter case")
            << kS << kA << kS << kA << "edit News" << SiteFields{"mAIL", "u"} << yes << -1
            << O::NameBox << QStringList{"[Stashbook]  :RENAME ERROR:  Site Already Exists"}
            << "Cannot Rename To 'mAIL'. Site Already Exists.";
        QTest::newRow("edit: double quote")
            << kS << kA << kS << kA << "edit News" << SiteFields{"News", "a\"b"} << yes << -1
            << O::UrlBox << QStringList{kInvalid} << unchecked;
        QTest::newRow("edit: the site is gone since the dialog opened")
            << kS << kA << kS << kA << "edit Bank" << SiteFields{"Bank", "u"} << yes << -1
            << O::Stopped << QStringList{kNotFound}
            << "Cannot Edit 'Bank'. Site Is No Longer In The Sites File.";
        QTest::newRow("edit: the sites file is gone")
            << QByteArray() << kA << QByteArray() << kA << "edit News" << SiteFields{"News", "u"}
            << yes << -1 << O::Stopped << QStringList{kNotFound} << unchecked;
        QTest::newRow("edit: damaged sites file: nothing asked or written")
            << kS + kDamage << kA << kS + kDamage << kA << "edit News" << SiteFields{"Paper", "p"}
            << yes << -1 << O::Stopped << QStringList{kSitesError} << unchecked;
        QTest::newRow("edit: damaged accounts file: the site is renamed all the same")
            << kS << kA + kDamage << rec({"Paper", "p"}) + kMail + rec({"Paper", "p"})
            << kA + kDamage << "edit News" << SiteFields{"Paper", "p"} << yes << -1 << O::Stopped
            << QStringList{kTransfer, kAccountsError} << unchecked;
        QTest::newRow("edit: exit at the transfer question")
            << kS << kA << rec({"Paper", "p"}) + kMail + rec({"Paper", "p"}) << kA << "edit News"
            << SiteFields{"Paper", "p"} << yes << 1 << O::Stopped << QStringList{kTransfer}
            << unchecked;

        QTest::newRow("remove: No")
            << kS << kA << kS << kA << "remove news" << SiteFields() << no << -1 << O::Stopped
            << QStringList{kRemove} << "Are You Sure You Want To Remove The Site:  news";
        QTest::newRow("remove: Yes, No: every record of the site goes, its accounts stay")
            << kS << kA << kMail << kA << "remove news" << SiteFields() << QList<bool>{true, false}
            << -1 << O::Done << asked
            << "Do You Want All The Accounts That Used This Site (news) Removed?";
        QTest::newRow("remove: Yes, Yes: the others keep their order")
            << kS + rec({"Bank", "b"}) << kA + rec({"Bank", "c", "d", ""})
            << kMail + rec({"Bank", "b"}) << kBob + rec({"Bank", "c", "d", ""}) << "remove news"
            << SiteFields() << yesYes << -1 << O::Done << asked << unchecked;
        QTest::newRow("remove: the sites file is gone: not made again, still asked")
            << QByteArray() << kA << QByteArray() << kBob << "remove news" << SiteFields() << yesYes
            << -1 << O::Done << asked << unchecked;
        QTest::newRow("remove: damaged sites file: no second question")
            << kS + kDamage << kA << kS + kDamage << kA << "remove news" << SiteFields() << yesYes
            << -1 << O::Stopped << QStringList{kRemove, kSitesError} << unchecked;
        QTest::newRow("remove: damaged accounts file: the site is gone all the same")
            << kS << kA + kDamage << kMail << kA + kDamage << "remove news" << SiteFields()
            << yesYes << -1 << O::Done << asked + QStringList{kAccountsError} << unchecked;
        QTest::newRow("remove: exit at the second question")
            << kS << kA << kMail << kA << "remove news" << SiteFields() << yesYes << 2 << O::Stopped
            << asked << unchecked;
    }

    void edits()
    {
        QFETCH(QByteArray, sites);
        QFETCH(QByteArray, accounts);
        QFETCH(QByteArray, sitesAfter);
        QFETCH(QByteArray, accountsAfter);
        QFETCH(QString, op);
        QFETCH(SiteFields, typed);
        QFETCH(QList<bool>, answers);
        QFETCH(int, exitAt);
        QFETCH(Outcome, outcome);
        QFETCH(QStringList, titles);
        QFETCH(QString, lastText);

        QTemporaryDir dir;
        for (auto [name, bytes] : {std::pair{"SB-Sites.DaT", sites}, {"SB-Acnts.DaT", accounts}}) {
            if (!bytes.isNull())
                sb::test::writeFile(dir.path(), name, bytes);
        }
        sb::test::FakePrompter boxes;
        boxes.answers = answers;
        boxes.exitAt = exitAt;
        sb::app::DataStore files(dir.path().toStdString(), boxes);

        const QString target = op.section(' ', 1);
        if (op == "add")
            QCOMPARE(addSite(files, boxes, typed), outcome);
        else if (op.startsWith("edit"))
            QCOMPARE(editSite(files, boxes, target, typed), outcome);
        else
            QCOMPARE(removeSite(files, boxes, target), outcome == Outcome::Done);

        QCOMPARE(boxes.titles, titles);
        if (!lastText.isNull())
            QCOMPARE(boxes.texts.last(), lastText);
        QCOMPARE(sb::test::readFile(dir.path(), "SB-Sites.DaT"), sitesAfter);
        QCOMPARE(sb::test::readFile(dir.path(), "SB-Acnts.DaT"), accountsAfter);
        // No file is made but the sites file by an add; no temporary file is
        // left behind, whatever happened.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(),
                 int(!sitesAfter.isNull()) + int(!accounts.isNull()));
    }
};

QTEST_GUILESS_MAIN(TestSiteEdits)
#include "tst_site_edits.moc"
