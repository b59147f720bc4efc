// Undo and redo of every kind of change, on real record files: the bytes
// come back exactly, what other programs wrote meanwhile stays, and an undo
// that is no longer possible writes nothing.
#include "history/undo_history.h"
#include "rules/data_store.h"
#include "rules/site_accounts.h"
#include "rules/site_edits.h"
#include "support/window_driver.h"

using namespace sb::test;
using Result = sb::history::UndoHistory::Outcome::Result;
using K = sb::common::RecordKind;

namespace {

const QByteArray kSites = rec({"Mail", "m"}) + rec({"Bank", "b"}) + rec({"News", "n"});
// The account added below stands at the start already: the nearer one is
// taken back.
const QByteArray kAccounts = rec({"Bank", "zed", "9", ""}) + rec({"Bank", "alice", "1", ""}) +
                             rec({"Mail", "bob", "2", "x"}) + rec({"Bank", "carol", "3", "y"}) +
                             rec({"BANK", "erin", "4", ""});

// Another program changes a field of bob's, `times` times.
QByteArray bobChanged(QByteArray bytes, int times)
{
    while (times-- > 0)
        bytes.replace("\",\"x", "\",\"x!");
    return bytes;
}

// The program's files, with another program changing bob's record just
// before each of the first `meddle` commits.
struct Meddled final : sb::common::Records
{
    sb::rules::DataStore& files;
    QString dir;
    int meddle = 0;
    Meddled(sb::rules::DataStore& f, const QString& d) : files(f), dir(d) {}
    const sb::store::RecordFile& file(K k) const override { return files.file(k); }
    bool exists(K k) override { return files.exists(k); }
    bool read(K k, const std::function<void(const sb::store::Record&)>& f, bool* e) override
    {
        return files.read(k, f, e);
    }
    bool commit(const std::vector<Edit>& edits, sb::store::CommitResult* result) override
    {
        if (meddle-- > 0)
            writeFile(dir, "SB-Acnts.DaT", bobChanged(readFile(dir, "SB-Acnts.DaT"), 1));
        return files.commit(edits, result);
    }
    bool check(const sb::store::Status& s, bool later) override { return files.check(s, later); }
};

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // Each row: the change | what it did, in a few words | where the undo
    // leaves the eye (site/user) | what another program does after the
    // change (bytes "from>to" replaced: the count of records stays) | how
    // many commits of the undo it changes a record just before | why the
    // undo is refused (empty: it is done).
    void undoRedo_data()
    {
        QTest::addColumn<QString>("row");
        QStringList rows;
        for (const char* k :
             {"add site|Added site 'Paper'|/",
              "rename with accounts|Renamed site 'Bank' to 'Vault' and moved its 4 accounts|Bank/",
              "rename alone|Renamed site 'News' to 'Paper'|News/",
              "change address|Changed the address of site 'News'|News/",
              "remove with accounts|Removed site 'Bank' and its 4 accounts|Bank/",
              "remove alone|Removed site 'Bank'|Bank/",
              "add account|Added account 'zed' to 'Bank'|Bank/",
              "change account|Changed account 'carol' of 'Bank'|Bank/carol",
              "remove account|Removed account 'carol' from 'Bank'|Bank/carol"})
            rows << k << QString(k) + "|other writer";
        rows << "remove with accounts||Bank/||1"
             << "remove with accounts||||3|Another program kept changing the files meanwhile."
             << "change account|||\"new\">\"newer\"||The account 'carol' of 'Bank' has been "
                "changed or removed since."
             << "remove alone|||\"Mail\",\"m\">\"bANK\",\"m\"||Another site is named 'Bank' now."
             << "remove account|||\"Mail\",\"bob\">\"bank\",\"CAROL\"||'Bank' has another "
                "account named 'carol' now.";
        for (const QString& r : rows)
            QTest::newRow(qPrintable(r.section('|', 0, 0) + " " + r.section('|', 3, 4))) << r;
    }

    void undoRedo()
    {
        QFETCH(QString, row);
        const QStringList c = row.split('|');
        const QString change = c[0], between = c.value(3), refusal = c.value(5);
        const int meddle = c.value(4).toInt();
        QTemporaryDir dir;
        writeFile(dir.path(), "SB-Sites.DaT", kSites);
        writeFile(dir.path(), "SB-Acnts.DaT", kAccounts);
        const auto files = [&] {
            return readFile(dir.path(), "SB-Sites.DaT") + "|" +
                   readFile(dir.path(), "SB-Acnts.DaT");
        };
        FakePrompter notifier;
        sb::rules::DataStore store(dir.path().toStdString(), notifier);
        Meddled meddled(store, dir.path());
        sb::history::UndoHistory history(meddled);
        QStringList said;
        history.onRecorded = [&](const QString& d) { said << d; };

        namespace site = sb::rules;
        const bool alone = change.endsWith("alone");
        notifier.answers = {change.startsWith("remove"), !alone};
        notifier.answers.removeAll(false); // No where none is left
        sb::rules::SiteAccounts bank(history, "Bank");
        const bool made =
            change == "add site"
                ? site::addSite(history, notifier, {"Paper", "p"}) == site::Outcome::Done
            : change == "change address"
                ? site::editSite(history, notifier, "News", {"News", "new"}) == site::Outcome::Done
            : change.startsWith("rename")
                ? site::editSite(history, notifier, alone ? "News" : "Bank",
                                 {alone ? "Paper" : "Vault", "v"}) == site::Outcome::Done
            : change.startsWith("remove with") || alone
                ? site::removeSite(history, notifier, "Bank") == site::Outcome::Done
            : change == "add account"    ? bank.add({"zed", "9", ""})
            : change == "change account" ? bank.replace({"carol", 0}, {"carol", "new", "y"})
                                         : bank.remove({"carol", 0});
        QVERIFY(made);
        QCOMPARE(said.join(""), c[1].isEmpty() ? said.join("") : c[1]);
        // Another program's record, before all others: every record moves;
        // or bytes "from>to" replaced.
        const QByteArray zoo = rec({"Zoo", "u", "p", ""});
        for (const char* name : {"SB-Sites.DaT", "SB-Acnts.DaT"}) {
            QByteArray bytes = readFile(dir.path(), name);
            if (between == "other writer" && name[3] == 'A')
                writeFile(dir.path(), name, zoo + bytes);
            if (between.contains('>'))
                writeFile(dir.path(), name,
                          bytes.replace(between.section('>', 0, 0).toUtf8(),
                                        between.section('>', 1).toUtf8()));
        }
        const QByteArray changed = files();
        const QByteArray original =
            kSites + "|" + (between.isEmpty() ? "" : zoo) + bobChanged(kAccounts, meddle);
        meddled.meddle = meddle;
        const auto out = history.undo();
        QCOMPARE(out.refusal, refusal);
        QCOMPARE(out.result, refusal.isEmpty() ? Result::Done : Result::Refused);
        if (!refusal.isEmpty()) {
            QCOMPARE(files(), bobChanged(changed, meddle));
            QCOMPARE(history.undo().result, Result::Nothing); // forgotten
            return;
        }
        QCOMPARE(out.focus.site + "/" + out.focus.username, c[2]);
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
