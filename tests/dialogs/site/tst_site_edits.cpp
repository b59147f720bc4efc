// Adding, renaming and removing sites on real record files, without the
// dialogs: what is written, what is asked and shown, and where it stops.
#include "app/data_store.h"
#include "dialogs/site/site_edits.h"
#include "support/fake_prompter.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QTest>

#include <optional>

using sb::common::RecordKind;
using sb::dialogs::site::addSite;
using sb::dialogs::site::editSite;
using sb::dialogs::site::Outcome;
using sb::dialogs::site::removeSite;
using sb::dialogs::site::SiteFields;
using sb::test::rec;

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(SiteFields)
Q_DECLARE_METATYPE(std::optional<RecordKind>)

namespace {

const QString kSites = QStringLiteral("SB-Sites.DaT");
const QString kAccounts = QStringLiteral("SB-Acnts.DaT");
const QString kInvalid = QStringLiteral("[Stashbook]  :ERROR:  Invalid Character");
const QString kNotFound = QStringLiteral("[Stashbook]  :ERROR:  Site Not Found");
const QString kTransfer = QStringLiteral("[Stashbook]  :Account Transfer:  Transfer?");
const QString kRemove = QStringLiteral("[Stashbook]  :Remove Site:  Are You Sure?");
const QString kRemoveAccounts = QStringLiteral("[Stashbook]  :Remove Site:  Update Accounts ?");
const QString kSitesError = QStringLiteral("[Stashbook]  :File Error:  SB-Sites.DaT");

// "News" stands twice, in two letter cases (a file edited by hand).
const QByteArray kSiteRecords =
    rec({"News", "news.example"}) + rec({"Mail", "mail.example"}) + rec({"news", "n2.example"});
const QByteArray kAccountRecords = rec({"NEWS", "zed", "pw-z", ""}) +
                                   rec({"Mail", "bob", "pw-b", "x"}) +
                                   rec({"news", "alice", "pw-a", "y"});

// The message boxes as the program shows them, recorded; once `exitAt` boxes
// have been shown the program is exiting (its exit was chosen from the tray
// while that box was open), and questions answer No.
struct Boxes final : sb::common::Prompter
{
    sb::test::FakePrompter shown;
    int exitAt = -1;

    void error(const QString& title, const QString& text) override { shown.error(title, text); }
    void errorLater(const QString& title, const QString& text) override { error(title, text); }
    bool ask(const QString& title, const QString& text) override
    {
        const bool yes = shown.ask(title, text);
        return yes && !exiting();
    }
    int run(QDialog& dialog) override { return shown.run(dialog); }
    bool exiting() const override { return exitAt >= 0 && shown.titles.size() >= exitAt; }
};

// The program's record files, except that rewriting `failing` fails as a full
// disk would, reported as every file error is.
struct Files final : sb::common::Records
{
    sb::app::DataStore store;
    std::optional<RecordKind> failing;

    Files(const QString& dir, Boxes& boxes) : store(dir.toStdString(), boxes) {}

    const sb::store::RecordFile& file(RecordKind kind) const override { return store.file(kind); }
    bool exists(RecordKind kind) override { return store.exists(kind); }
    bool read(RecordKind kind, const std::function<void(const sb::store::Record&)>& onRecord,
              bool* exists) override
    {
        return store.read(kind, onRecord, exists);
    }
    bool append(RecordKind kind, const QStringList& fields) override
    {
        return store.append(kind, fields);
    }
    bool rewrite(RecordKind kind, const sb::store::Rule& rule) override
    {
        if (failing == kind)
            return store.check(sb::store::Error{file(kind).name, "No space left on device"});
        return store.rewrite(kind, rule);
    }
    bool check(const sb::store::Status& status, bool later) override
    {
        return store.check(status, later);
    }
};

} // namespace

class TestSiteEdits : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    Boxes boxes_;
    std::unique_ptr<Files> files_;

    // Null bytes: no such file.
    void put(const QString& name, const QByteArray& bytes)
    {
        if (!bytes.isNull())
            sb::test::writeFile(dir_->path(), name, bytes);
    }
    QByteArray contents(const QString& name) { return sb::test::readFile(dir_->path(), name); }
    bool present(const QString& name) { return QFile::exists(dir_->filePath(name)); }

    // The columns the tables share: the files before, the answers to the
    // questions, and the boxes expected (their titles; the text of the last).
    static void addCommonColumns()
    {
        QTest::addColumn<QByteArray>("sites");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("lastText");
        QTest::addColumn<QByteArray>("sitesAfter");
        QTest::addColumn<QByteArray>("accountsAfter");
    }
    // Writes the sites file of the row and scripts the answers; with
    // `failures`, also the failing rewrite and the box at which exit is chosen.
    QByteArray arrange(bool failures)
    {
        QFETCH(QByteArray, sites);
        QFETCH(QList<bool>, answers);
        put(kSites, sites);
        boxes_.shown.answers = answers;
        if (failures) {
            QFETCH(std::optional<RecordKind>, failing);
            QFETCH(int, exitAt);
            files_->failing = failing;
            boxes_.exitAt = exitAt;
        }
        return sites;
    }
    static void addFailureColumns()
    {
        QTest::addColumn<std::optional<RecordKind>>("failing");
        QTest::addColumn<int>("exitAt");
    }
    void verifyBoxesAndFiles(const QByteArray& sitesBefore)
    {
        QFETCH(QStringList, titles);
        QFETCH(QString, lastText);
        QFETCH(QByteArray, sitesAfter);
        QFETCH(QByteArray, accountsAfter);
        QCOMPARE(boxes_.shown.titles, titles);
        if (!lastText.isNull())
            QCOMPARE(boxes_.shown.texts.last(), lastText);
        QCOMPARE(contents(kSites), sitesAfter);
        QCOMPARE(present(kSites), !sitesBefore.isNull() || !sitesAfter.isEmpty());
        QCOMPARE(contents(kAccounts), accountsAfter);
        // No temporary file is left behind, whatever happened.
        QCOMPARE(QDir(dir_->path()).entryList({"SB-t*"}), QStringList());
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        boxes_ = Boxes();
        files_ = std::make_unique<Files>(dir_->path(), boxes_);
        put(kAccounts, kAccountRecords);
    }

    void add_data()
    {
        addCommonColumns();
        QTest::addColumn<SiteFields>("site");
        QTest::addColumn<Outcome>("outcome");
        const QString taken = QStringLiteral("[Stashbook]  :ERROR:  Site Name Already Exists");
        const QByteArray two = rec({"News", "n"}) + rec({"\u00c4rzte", "a"});
        const QList<bool> none;

        QTest::newRow("missing file is created")
            << QByteArray() << none << QStringList() << QString() << rec({"Mail", "www.m.com"})
            << kAccountRecords << SiteFields{"Mail", "www.m.com"} << Outcome::Done;
        QTest::newRow("another letter case is taken; the name as typed is shown")
            << two << none << QStringList{taken}
            << "Cannot Create 'NEWS'. Site Name Already Exists." << two << kAccountRecords
            << SiteFields{"NEWS", "x"} << Outcome::NameBox;
        QTest::newRow("letter case beyond ASCII")
            << two << none << QStringList{taken} << QString() << two << kAccountRecords
            << SiteFields{"\u00e4RZTE", "x"} << Outcome::NameBox;
        QTest::newRow("a leading blank makes another name")
            << two << none << QStringList() << QString() << two + rec({" News", ""})
            << kAccountRecords << SiteFields{" News", ""} << Outcome::Done;
        QTest::newRow("a trailing blank too")
            << two << none << QStringList() << QString() << two + rec({"news ", "u"})
            << kAccountRecords << SiteFields{"news ", "u"} << Outcome::Done;
        QTest::newRow("double quote in the name")
            << two << none << QStringList{kInvalid} << QString() << two << kAccountRecords
            << SiteFields{"Ne\"ws", "u"} << Outcome::NameBox;
        QTest::newRow("double quote in the address")
            << QByteArray() << none << QStringList{kInvalid} << QString() << QByteArray()
            << kAccountRecords << SiteFields{"Web", "www.\"x\".com"} << Outcome::UrlBox;
    }

    void add()
    {
        QFETCH(SiteFields, site);
        QFETCH(Outcome, outcome);
        const QByteArray sites = arrange(false);
        QCOMPARE(addSite(*files_, boxes_, site), outcome);
        verifyBoxesAndFiles(sites);
    }

    void edit_data()
    {
        addCommonColumns();
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<SiteFields>("site");
        addFailureColumns();
        QTest::addColumn<Outcome>("outcome");
        const std::optional<RecordKind> works;
        const QList<bool> yes{true}, no{false};
        const QByteArray mail = rec({"Mail", "mail.example"});

        QTest::newRow("another letter case; Yes moves every matching account")
            << kSiteRecords << yes << QStringList{kTransfer}
            << "Would You Like The Accounts That Use The Old Site Name (News)\r\n"
               "To Be Transfered To The New Site Name (NEWS) ?"
            << rec({"NEWS", "u"}) + mail + rec({"NEWS", "u"})
            << rec({"NEWS", "zed", "pw-z", ""}) + rec({"Mail", "bob", "pw-b", "x"}) +
                   rec({"NEWS", "alice", "pw-a", "y"})
            << "News" << SiteFields{"NEWS", "u"} << works << -1 << Outcome::Done;
        QTest::newRow("No leaves the accounts under the old name")
            << kSiteRecords << no << QStringList{kTransfer} << QString()
            << rec({"Paper", "p"}) + mail + rec({"Paper", "p"}) << kAccountRecords << "News"
            << SiteFields{"Paper", "p"} << works << -1 << Outcome::Done;
        QTest::newRow("only the address changed: still asked; the name as in the box")
            << kSiteRecords << yes << QStringList{kTransfer} << QString()
            << rec({"News", "new"}) + mail + rec({"News", "new"})
            << rec({"News", "zed", "pw-z", ""}) + rec({"Mail", "bob", "pw-b", "x"}) +
                   rec({"News", "alice", "pw-a", "y"})
            << "News" << SiteFields{"News", "new"} << works << -1 << Outcome::Done;
        QTest::newRow("another site's name, in any letter case, is refused")
            << kSiteRecords << yes
            << QStringList{"[Stashbook]  :RENAME ERROR:  Site Already Exists"}
            << "Cannot Rename To 'mAIL'. Site Already Exists." << kSiteRecords << kAccountRecords
            << "News" << SiteFields{"mAIL", "u"} << works << -1 << Outcome::NameBox;
        QTest::newRow("double quote")
            << kSiteRecords << yes << QStringList{kInvalid} << QString() << kSiteRecords
            << kAccountRecords << "News" << SiteFields{"News", "a\"b"} << works << -1
            << Outcome::UrlBox;
        QTest::newRow("site gone since the dialog opened")
            << kSiteRecords << yes << QStringList{kNotFound}
            << "Cannot Edit 'Bank'. Site Is No Longer In The Sites File." << kSiteRecords
            << kAccountRecords << "Bank" << SiteFields{"Bank", "u"} << works << -1
            << Outcome::Stopped;
        QTest::newRow("sites file gone since the dialog opened")
            << QByteArray() << yes << QStringList{kNotFound} << QString() << QByteArray()
            << kAccountRecords << "News" << SiteFields{"News", "u"} << works << -1
            << Outcome::Stopped;
        QTest::newRow("the sites rewrite fails: nothing asked, nothing changed")
            << kSiteRecords << yes << QStringList{kSitesError} << QString() << kSiteRecords
            << kAccountRecords << "News" << SiteFields{"Paper", "p"}
            << std::optional(RecordKind::Sites) << -1 << Outcome::Stopped;
        QTest::newRow("exit at the transfer question: the accounts are left")
            << kSiteRecords << yes << QStringList{kTransfer} << QString()
            << rec({"Paper", "p"}) + mail + rec({"Paper", "p"}) << kAccountRecords << "News"
            << SiteFields{"Paper", "p"} << works << 1 << Outcome::Stopped;
    }

    void edit()
    {
        QFETCH(QString, oldName);
        QFETCH(SiteFields, site);
        QFETCH(Outcome, outcome);
        const QByteArray sites = arrange(true);
        QCOMPARE(editSite(*files_, boxes_, oldName, site), outcome);
        verifyBoxesAndFiles(sites);
    }

    void remove_data()
    {
        addCommonColumns();
        addFailureColumns();
        QTest::addColumn<bool>("reload");
        const std::optional<RecordKind> works;
        const QByteArray mail = rec({"Mail", "mail.example"});
        const QByteArray bob = rec({"Mail", "bob", "pw-b", "x"});
        const QStringList both{kRemove, kRemoveAccounts};

        QTest::newRow("No: nothing more")
            << kSiteRecords << QList<bool>{false} << QStringList{kRemove}
            << "Are You Sure You Want To Remove The Site:  news" << kSiteRecords << kAccountRecords
            << works << -1 << false;
        QTest::newRow("Yes, No: every record of the site goes, its accounts stay")
            << kSiteRecords << QList<bool>{true, false} << both
            << "Do You Want All The Accounts That Used This Site (news) Removed?" << mail
            << kAccountRecords << works << -1 << true;
        QTest::newRow("Yes, Yes: the accounts go too, the others keep their order")
            << kSiteRecords + rec({"Bank", "b"}) << QList<bool>{true, true} << both << QString()
            << mail + rec({"Bank", "b"}) << bob << works << -1 << true;
        QTest::newRow("sites file gone: not made again, still asked")
            << QByteArray() << QList<bool>{true, true} << both << QString() << QByteArray() << bob
            << works << -1 << true;
        QTest::newRow("the sites rewrite fails: no second question")
            << kSiteRecords << QList<bool>{true, true} << QStringList{kRemove, kSitesError}
            << QString() << kSiteRecords << kAccountRecords << std::optional(RecordKind::Sites)
            << -1 << false;
        QTest::newRow("the accounts rewrite fails: the site is gone all the same")
            << kSiteRecords << QList<bool>{true, true}
            << both + QStringList{"[Stashbook]  :File Error:  SB-Acnts.DaT"} << QString() << mail
            << kAccountRecords << std::optional(RecordKind::Accounts) << -1 << true;
        QTest::newRow("exit at the first question")
            << kSiteRecords << QList<bool>{true} << QStringList{kRemove} << QString()
            << kSiteRecords << kAccountRecords << works << 1 << false;
        QTest::newRow("exit at the second question")
            << kSiteRecords << QList<bool>{true, true} << both << QString() << mail
            << kAccountRecords << works << 2 << false;
    }

    void remove()
    {
        QFETCH(bool, reload);
        const QByteArray sites = arrange(true);
        QCOMPARE(removeSite(*files_, boxes_, "news"), reload);
        verifyBoxesAndFiles(sites);
    }
};

QTEST_GUILESS_MAIN(TestSiteEdits)
#include "tst_site_edits.moc"
