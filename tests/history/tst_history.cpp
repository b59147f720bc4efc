// Undo and redo of every kind of change, on real record files: the bytes
// come back exactly, what other programs wrote meanwhile stays, and an undo
// that is no longer possible writes nothing.
#include "app/data_store.h"
#include "dialogs/account/site_accounts.h"
#include "dialogs/site/site_edits.h"
#include "history/undo_history.h"
#include "support/fake_prompter.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace sb::test;
using sb::dialogs::account::SiteAccounts;
using Result = sb::history::UndoHistory::Outcome::Result;

namespace {

const QByteArray kSites = rec({"Mail", "m"}) + rec({"Bank", "b"}) + rec({"News", "n"});
// The account added below stands at the start already: the nearer one is
// taken back.
const QByteArray kAccounts = rec({"Bank", "zed", "9", ""}) + rec({"Bank", "alice", "1", ""}) +
                             rec({"Mail", "bob", "2", "x"}) + rec({"Bank", "carol", "3", "y"}) +
                             rec({"BANK", "erin", "4", ""});

// The program's files, with another program writing to them just before
// each of the first `meddle` commits.
struct Meddled final : sb::common::Records
{
    sb::app::DataStore& files;
    int meddle = 0;
    std::function<void()> onCommit;
    explicit Meddled(sb::app::DataStore& f) : files(f) {}
    const sb::store::RecordFile& file(sb::common::RecordKind k) const override
    {
        return files.file(k);
    }
    bool exists(sb::common::RecordKind k) override { return files.exists(k); }
    bool read(sb::common::RecordKind k, const std::function<void(const sb::store::Record&)>& f,
              bool* e) override
    {
        return files.read(k, f, e);
    }
    bool commit(const std::vector<Edit>& edits, sb::store::CommitResult* result) override
    {
        if (meddle-- > 0)
            onCommit();
        return files.commit(edits, result);
    }
    bool check(const sb::store::Status& s, bool later) override { return files.check(s, later); }
};

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void undoRedo_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("told");    // what the change did, in a few words
        QTest::addColumn<QString>("focus");   // where an undo leaves the eye: site/user
        QTest::addColumn<QString>("between"); // what another program does after the change
        QTest::addColumn<int>("meddle");      // commits it writes just before
        QTest::addColumn<QString>("refusal"); // empty: the undo is done
        const QStringList kinds = {
            "add site|Added site 'Paper'|/",
            "rename with accounts|Renamed site 'Bank' to 'Vault' and moved its 4 accounts|Bank/",
            "rename alone|Renamed site 'News' to 'Paper'|News/",
            "change address|Changed the address of site 'News'|News/",
            "remove with accounts|Removed site 'Bank' and its 4 accounts|Bank/",
            "remove alone|Removed site 'Bank'|Bank/",
            "add account|Added account 'zed' to 'Bank'|Bank/",
            "change account|Changed account 'carol' of 'Bank'|Bank/carol",
            "remove account|Removed account 'carol' from 'Bank'|Bank/carol",
        };
        for (const QString& k : kinds) {
            const QStringList c = k.split('|');
            for (const char* between : {"", "other writer"})
                QTest::addRow("%s%s", qPrintable(c[0]), *between ? ", other writer" : "")
                    << c[0] << c[1] << c[2] << QString(between) << 0 << QString();
        }
        QTest::newRow("other writer during the undo: looked up again") << "remove with accounts"
                                                                       << ""
                                                                       << "Bank/"
                                                                       << "" << 1 << "";
        QTest::newRow("other writer during every try")
            << "remove with accounts"
            << ""
            << ""
            << "" << 2 << "Another program kept changing the files meanwhile.";
        QTest::newRow("changed since") << "change account"
                                       << ""
                                       << ""
                                       << "carol changed" << 0
                                       << "The account 'carol' of 'Bank' has been changed or "
                                          "removed since.";
        QTest::newRow("site gone since")
            << "add site"
            << ""
            << ""
            << "Paper gone" << 0 << "The site 'Paper' has been changed or removed since.";
        QTest::newRow("site name taken since")
            << "remove alone"
            << ""
            << ""
            << "bANK added" << 0 << "Another site is named 'Bank' now.";
        QTest::newRow("account name taken since")
            << "remove account"
            << ""
            << ""
            << "CAROL added" << 0 << "'Bank' has another account named 'carol' now.";
    }

    void undoRedo()
    {
        QFETCH(QString, change);
        QFETCH(QString, told);
        QFETCH(QString, focus);
        QFETCH(QString, between);
        QFETCH(int, meddle);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        writeFile(dir.path(), "SB-Sites.DaT", kSites);
        writeFile(dir.path(), "SB-Acnts.DaT", kAccounts);
        const auto files = [&] {
            return readFile(dir.path(), "SB-Sites.DaT") + "|" +
                   readFile(dir.path(), "SB-Acnts.DaT");
        };
        FakePrompter notifier;
        sb::app::DataStore store(dir.path().toStdString(), notifier);
        Meddled meddled(store);
        sb::history::UndoHistory history(meddled);
        QStringList said;
        history.onRecorded = [&](const QString& d) { said << d; };

        namespace site = sb::dialogs::site;
        const bool alone = change.endsWith("alone");
        notifier.answers = {!alone};
        if (change.startsWith("remove"))
            notifier.answers.prepend(true);
        SiteAccounts bank(history, "Bank");
        const auto make = [&] {
            if (change == "add site")
                return site::addSite(history, notifier, {"Paper", "p"}) == site::Outcome::Done;
            if (change == "change address")
                return site::editSite(history, notifier, "News", {"News", "new"}) ==
                       site::Outcome::Done;
            if (change.startsWith("rename"))
                return site::editSite(history, notifier, alone ? "News" : "Bank",
                                      {alone ? "Paper" : "Vault", "v"}) == site::Outcome::Done;
            if (change.startsWith("remove with") || change == "remove alone")
                return site::removeSite(history, notifier, "Bank");
            if (change == "add account")
                return bank.add({"zed", "9", ""});
            if (change == "change account")
                return bank.replace({"carol", 0}, {"carol", "new", "y"});
            return bank.remove({"carol", 0});
        };
        QVERIFY(make());
        QCOMPARE(said, told.isEmpty() ? said : QStringList{told});
        // Another program's record, before all others: every record moves.
        const QByteArray zoo = rec({"Zoo", "u", "p", ""});
        if (between == "other writer")
            writeFile(dir.path(), "SB-Acnts.DaT", zoo + readFile(dir.path(), "SB-Acnts.DaT"));
        else if (between == "CAROL added")
            writeFile(dir.path(), "SB-Acnts.DaT",
                      readFile(dir.path(), "SB-Acnts.DaT") + rec({"bank", "CAROL", "", ""}));
        else if (between == "carol changed")
            writeFile(dir.path(), "SB-Acnts.DaT",
                      readFile(dir.path(), "SB-Acnts.DaT").replace("new", "newer"));
        else if (between == "Paper gone")
            writeFile(dir.path(), "SB-Sites.DaT", kSites);
        else if (between == "bANK added")
            writeFile(dir.path(), "SB-Sites.DaT",
                      readFile(dir.path(), "SB-Sites.DaT") + rec({"bANK", "x"}));
        const QByteArray changed = files();
        // During the undo, another program changes a field of bob's, once or each time.
        const auto bobChanged = [](QByteArray bytes, int times) {
            while (times-- > 0)
                bytes.replace("\",\"x", "\",\"x!");
            return bytes;
        };
        const QByteArray original =
            kSites + "|" + (between.isEmpty() ? "" : zoo) + bobChanged(kAccounts, meddle);
        meddled.onCommit = [&] {
            writeFile(dir.path(), "SB-Acnts.DaT",
                      bobChanged(readFile(dir.path(), "SB-Acnts.DaT"), 1));
        };
        meddled.meddle = meddle;
        const auto out = history.undo();
        QCOMPARE(out.refusal, refusal);
        if (!refusal.isEmpty()) {
            QCOMPARE(out.result, Result::Refused);
            QCOMPARE(files(), bobChanged(changed, meddle));
            QCOMPARE(history.undo().result, Result::Nothing); // forgotten
            return;
        }
        QCOMPARE(out.result, Result::Done);
        QCOMPARE(out.focus.site + "/" + out.focus.username, focus);
        QCOMPARE(files(), original);
        // Made again and undone again, byte for byte.
        QCOMPARE(history.redo().result, Result::Done);
        QCOMPARE(files(), bobChanged(changed, meddle));
        QCOMPARE(history.undo().description, out.description);
        QCOMPARE(files(), original);
        QCOMPARE(history.undo().result, Result::Nothing);
        QVERIFY(notifier.titles.size() <= 2); // the questions only: no error box
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
