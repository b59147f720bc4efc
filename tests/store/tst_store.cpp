// The record files: reading and appending records byte for byte, what a
// record file is, and adding, changing and removing records through a
// temporary file, whatever fails, stops or writes beside.
#include "store/commit.h"
#include "store/record_file.h"
#include "store/rewrite.h"
#include "support/files.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

using namespace sb::store;
using namespace sb::test;
using Records = QList<QStringList>;

namespace {

// The steps of a commit, by name, in their order.
const QStringList kSteps = {"TempWrite", "TempSync", "TempClose",  "JournalWrite",  "JournalSync",
                            "Exchange",  "Rename",   "RemoveTemp", "RemoveJournal", "DirSync"};
const QByteArray kTwoRecords = "\"a\",\"1\"\r\n\"b\",\"2\"\r\n";

// Drops "a", replaces "b" and keeps every other record.
RuleAnswer dropAReplaceB(const Record& r)
{
    if (r[0] == "a")
        return Drop{};
    return r[0] == "b" ? RuleAnswer(Replace{{"B", "new"}}) : Keep{};
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::string path() const { return dir_->path().toStdString(); }
    RecordFile at(const QString& name, int fields = 2) const
    {
        return {path(), name.toStdString(), fields};
    }
    static QStringList tempFiles(const QString& d) { return QDir(d).entryList({"SB-t*.txt"}); }
    void fill(const QByteArray& sites, const QByteArray& accounts)
    {
        writeFile(dir_->path(), "SB-Sites.DaT", sites);
        writeFile(dir_->path(), "SB-Acnts.DaT", accounts);
    }

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    // The records read and the damage found after them, counting agreeing;
    // then a record added: nothing escaped or trimmed, it reads back as one
    // of its own whatever the file ends with (after `kept`, the file up to
    // the end of its last record), and a damaged file is left as it is. A
    // new file is for the owner alone, as it holds passwords; an old one
    // keeps its permissions.
    void readsAndAppends_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<int>("fields");
        QTest::addColumn<Records>("expected");
        QTest::addColumn<QString>("damage");  // the message; null: none
        QTest::addColumn<QByteArray>("kept"); // null: the whole file
        auto row = [](const char* name, const QByteArray& bytes, int fields,
                      const Records& expected, const QString& damage = {},
                      const QByteArray& kept = {}) {
            QTest::newRow(name) << bytes << fields << expected << damage << kept;
        };
        const QByteArray ab = "\"a\",\"b\"", bom = "\xEF\xBB\xBF";
        row("no file", QByteArray(), 2, {}, {}, "");
        row("line ends between fields, commas between records, no final line end",
            "\"a\"\r\n\"b\",\"c\"\r\n\"d\"", 2, {{"a", "b"}, {"c", "d"}}, {},
            "\"a\"\r\n\"b\",\"c\"\r\n\"d\"\r\n");
        row("lone LF, lone CR", "\"a\",\"b\"\n\"c\",\"d\"\r\"e\",\"\"\n", 2,
            {{"a", "b"}, {"c", "d"}, {"e", ""}});
        row("a lone CR at the end", ab + "\r", 2, {{"a", "b"}});
        row("commas, blanks, line ends, empty fields in quotes",
            "\"a, b \",\"  c\r\nd\",\"\",\"x\"\r\n", 4, {{"a, b ", "  c\r\nd", "", "x"}});
        row("blanks around fields", "  \"a\" ,  b c  \r\n", 2, {{"a", "b c"}});
        row("text after closing quote skipped", "\"ab\"cd\",\"x\"\r\n", 2, {{"ab", "x"}});
        row("blank line is an empty field", "\"a\"\r\n\r\n\"c\",\"d\"\r\n", 2,
            {{"a", ""}, {"c", "d"}});
        row("blank line as the last field", "\"a\"\r\n\r\n", 2, {{"a", ""}});
        row("byte-order mark, blank lines at the end", bom + ab + "\r\n\r\n  \r\n\n", 2,
            {{"a", "b"}}, {}, bom + ab + "\r\n");
        row("byte-order mark only", bom, 2, {});
        row("Windows-1252 and UTF-8 mixed",
            "\"Caf\xE9\",\"Caf\xC3\xA9\"\r\n\"\x80\x81\x9F\",\"\xF0\x9F\x94\x91\"\r\n"
            "\"\xED\xA0\x80\",\"\xC0\xAF\"\r\n", // a surrogate, an overlong form
            2, {{"Café", "Café"}, {"€\u0081Ÿ", "🔑"}, {"í\u00A0€", "À¯"}});
        // Records longer than the reader's look-ahead, as written and not;
        // "@" stands for 40 letters.
        const QString l(40, u'x');
        row("long records, as written and otherwise",
            QByteArray("\"site one\",\"@\",\"pw, with comma\",\"line1\r\nline2\"\r\n"
                       "\"Caf\xE9 @\",\"user\",\"p\",\"e\"\n"
                       "\"s3\",\"u3\" ,\"p3\",\"@\"\r\n"
                       "\"s4\",\"@\",\"p4\",\"e4\",\"extra\"\r\n\"b\",\"c\",\"@\"\r\n")
                .replace('@', l.toLatin1()),
            4,
            {{"site one", l, "pw, with comma", "line1\r\nline2"},
             {"Café " + l, "user", "p", "e"},
             {"s3", "u3", "p3", l},
             {"s4", l, "p4", "e4"},
             {"extra", "b", "c", l}});
        row("cut short", "\"a\",\"b\",\"c\",\"d\"\r\n\"e\",\"f\"\r\n", 4, {{"a", "b", "c", "d"}},
            "record 2 is cut short: the file ends after field 2 of 4");
        row("quote never closed", "\"a\",\"b\"\r\n\"c\", \"d\r\n", 2, {{"a", "b"}},
            "record 2 is damaged: field 2 of 2 opens a double quote that is never closed");
    }

    void readsAndAppends()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fields);
        QFETCH(Records, expected);
        QFETCH(QString, damage);
        QFETCH(QByteArray, kept);
        // The fuzz target's checks hold on every file, and on two joined by
        // a NUL (where it cuts the fields it writes).
        for (const QByteArray& input : {bytes, bytes + '\0' + bytes})
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()),
                                   input.size());
        const QString path = dir_->filePath("f.dat");
        if (!bytes.isNull()) {
            writeFile(dir_->path(), "f.dat", bytes);
            QVERIFY(QFile::setPermissions(path,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        }
        Records read;
        bool exists = false;
        const Status s = readRecords(
            at("f.dat", fields),
            [&](const Record& r) {
                read << QStringList();
                for (const auto& field : r)
                    read.last() << QString::fromStdString(field);
            },
            &exists);
        QCOMPARE(read, expected);
        QCOMPARE(exists, !bytes.isNull());
        const auto said = [](const Status& s) {
            return s ? QString()
                     : QString::fromStdString(s.error().file + ": " + s.error().message);
        };
        QCOMPARE(said(s), damage.isNull() ? QString() : "f.dat: " + damage);
        long long count = -1;
        QCOMPARE(said(countRecords(at("f.dat", fields), count)), said(s));
        QCOMPARE(count, damage.isNull() ? expected.size() : count);
        Records picked;
        long long all = -1;
        QCOMPARE(said(readRecordsWhere(
                     at("f.dat", fields), [](std::string_view f) { return f == "c"; },
                     [&](const Record& r) { picked << QStringList{QString::fromStdString(r[1])}; },
                     all)),
                 said(s));
        QCOMPARE(all, count);
        QCOMPARE(picked.size(), std::count_if(expected.begin(), expected.end(),
                                              [](const QStringList& r) { return r[0] == "c"; }));
        // Appending to a damaged file would join the new record to the damage.
        TempNameGenerator names;
        Record added(std::size_t(fields), "");
        added[1] = " a, b\r\nCaf\xC3\xA9 ";
        QCOMPARE(appendRecord(at("f.dat", fields), added, names).failed(), !damage.isNull());
        QCOMPARE(readFile(dir_->path(), "f.dat"),
                 damage.isNull()
                     ? (kept.isNull() ? bytes : kept) + "\"\",\" a, b\r\nCaf\xC3\xA9 \"" +
                           QByteArray(",\"\"").repeated(fields - 2) + "\r\n"
                     : bytes);
        QCOMPARE(modeOf(path), bytes.isNull() ? 0600u : 0640u);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"f.dat"});
    }

    // What the record file `wanted` is among the entries of the folder
    // (files holding "a","b"; "dir:", "pipe:" and "locked:" make other
    // kinds; "link:<target>:" a symbolic link): the file found, its name
    // ignoring letter case, the smallest spelling of the regular ones
    // winning unless the exact name is taken. Every operation goes to it, a
    // link staying a link and a file made through a link being the owner's
    // alone. Anything but a regular file is reported at once by every
    // operation, never waited on, read without end or replaced.
    void recordFileOnDisk_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("found"); // or the file the error names
        QTest::addColumn<QString>("error"); // null: none
        const auto row = [](const char* name, const char* entries, const char* wanted,
                            const char* found, const QString& error = {}) {
            QTest::newRow(name) << entries << wanted << found << error;
        };
        const QString s = "SB-Sites.DaT", notRegular = "not a regular file but ";
        row("lower case", "sb-sites.dat", "SB-Sites.DaT", "sb-sites.dat");
        row("exact wins", "SB-SITES.DAT SB-Sites.DaT sb-sites.dat", "SB-Sites.DaT", "SB-Sites.DaT");
        row("smallest spelling", "sb-sites.dat SB-SITES.DAT", "SB-Sites.DaT", "SB-SITES.DAT");
        row("a regular file before a smaller spelling", "dir:SB-SITES.DAT sb-sites.dat",
            "SB-Sites.DaT", "sb-sites.dat");
        row("a link to a file yet to be made", "dir:data link:data/real.dat:SB-Sites.DaT",
            "SB-Sites.DaT", "");
        row("a directory of the exact name hides the others", "dir:SB-Sites.DaT sb-sites.dat",
            "SB-Sites.DaT", "SB-Sites.DaT", notRegular + "a directory");
        row("a directory in lower case", "dir:sb-acnts.dat", "SB-Acnts.DaT", "sb-acnts.dat",
            notRegular + "a directory");
        row("a named pipe in lower case", "pipe:sb-sites.dat", "SB-Sites.DaT", "sb-sites.dat",
            notRegular + "a named pipe");
        row("a link to /dev/zero", "link:/dev/zero:sb-sites.dat", "SB-Sites.DaT", "sb-sites.dat",
            notRegular + "a device");
        row("a loop of links", "link:SB-Acnts.DaT:SB-Acnts.DaT", "SB-Acnts.DaT", "SB-Acnts.DaT",
            notRegular + "a loop of symbolic links");
        row("unreadable", "locked:sb-sites.dat", "SB-Sites.DaT", "sb-sites.dat",
            std::strerror(EACCES));
        row("hidden", ".sb", ".sb", ".sb", "a hidden file is never a record file");
    }

    void recordFileOnDisk()
    {
        QFETCH(QString, entries);
        QFETCH(QString, wanted);
        QFETCH(QString, found);
        QFETCH(QString, error);
        const QByteArray ab = "\"a\",\"b\"\r\n";
        QStringList names;
        for (const QString& entry : entries.split(' ')) {
            const QString kind = entry.section(':', 0, -2), name = entry.section(':', -1);
            const std::string at = dir_->filePath(name).toStdString();
            if (!name.startsWith('.'))
                names << name;
            if (kind == "dir")
                QVERIFY(QDir(dir_->path()).mkdir(name));
            else if (kind == "pipe")
                QCOMPARE(::mkfifo(at.c_str(), 0600), 0);
            else if (kind.startsWith("link"))
                QCOMPARE(::symlink(qPrintable(kind.mid(5)), at.c_str()), 0);
            else
                writeFile(dir_->path(), name, ab);
            if (kind == "locked" && ::geteuid() == 0)
                QSKIP("root reads every file");
            if (kind == "locked")
                QCOMPARE(::chmod(at.c_str(), 0), 0);
        }
        const RecordFile file = at(wanted);
        QCOMPARE(QString::fromStdString(findOnDisk(file).value_or("")),
                 error.isNull() ? found : "");
        ::alarm(10); // a hang ends the test instead of blocking it for ever
        QElapsedTimer timer;
        timer.start();
        bool readFound = false, countFound = false;
        long long count = 0;
        TempNameGenerator temps;
        const Status results[] = {
            readRecords(
                file, [](const Record&) {}, &readFound),
            countRecords(file, count, &countFound),
            appendRecord(file, {"b", "x"}, temps),
            rewriteRecordFile(file, dropAReplaceB, temps),
        };
        ::alarm(0);
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(readFound && countFound, !error.isNull() || !found.isEmpty());
        for (const Status& s : results) {
            QCOMPARE(s.failed(), !error.isNull());
            if (s.failed()) {
                QCOMPARE(QString::fromStdString(s.error().file), found);
                QVERIFY2(QString::fromStdString(s.error().message).contains(error),
                         s.error().message.c_str());
            }
        }
        // Nothing made, changed or left beside; the other spellings as they were.
        names.sort();
        QCOMPARE(QDir(dir_->path())
                     .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
                 names);
        for (const QString& name : names) {
            const QFileInfo info(dir_->filePath(name));
            if (info.isFile() && !info.isSymLink() && error.isNull())
                QCOMPARE(readFile(dir_->path(), name), name == found ? rec({"B", "new"}) : ab);
        }
        if (entries.contains("link:data")) {
            QCOMPARE(readFile(dir_->path(), "data/real.dat"), rec({"B", "new"}));
            QCOMPARE(modeOf(dir_->filePath("data/real.dat")), 0600u);
            QVERIFY(QFileInfo(dir_->filePath(wanted)).isSymLink());
            QCOMPARE(tempFiles(dir_->filePath("data")), QStringList());
        }
    }

    // Successive changes, adds and rewrites alike, draw successive numbers,
    // and never open a file that exists. Opening the folder and every change
    // delete leftover temporary files, stale copies as every change renames,
    // except where the record file is missing and a leftover holds records of
    // its kind: it may be the only copy, and opening the folder says so.
    void temporaryFiles_data()
    {
        QTest::addColumn<QString>("onDisk"); // names and fields; "drawn": the next name
        QTest::addColumn<QString>("kept");
        const auto row = [](const char* name, const char* onDisk, const char* kept) {
            QTest::newRow(name) << onDisk << kept;
        };
        row("stale copies", "SB-Acnts.DaT:4 drawn:4 sb-T77.TXT:2 SB-t10000.txt:4", "");
        row("not ours", "SB-Acnts.DaT:4 SB-t05.txt:4 SB-t10001.txt:4 SB-tx.txt:4",
            "SB-t05.txt SB-t10001.txt SB-tx.txt");
        row("only copy of the accounts", "drawn:4 SB-t9.txt:2 SB-t7.txt:3", "drawn");
        row("accounts in lower case", "sb-acnts.dat:4 drawn:4", "");
    }

    void temporaryFiles()
    {
        QFETCH(QString, onDisk);
        QFETCH(QString, kept);
        const QString drawn =
            QString::fromStdString(TempNameGenerator::nameFor(TempNameGenerator().next()));
        onDisk.replace("drawn", drawn);
        kept.replace("drawn", drawn);
        for (const bool opening : {true, false}) {
            init();
            writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
            for (const QString& entry : onDisk.split(' '))
                writeFile(dir_->path(), entry.section(':', 0, 0),
                          rec({"a", "b", "c", "d"}).left(entry.section(':', 1).toInt() * 4 - 1) +
                              "\r\n");
            TempNameGenerator names, expected;
            if (onDisk.contains(drawn + ":4"))
                expected.next();
            FolderReport report;
            QVERIFY(!opening || openFolder(path(), &report));
            for (int i = 0; !opening && i < 4; ++i) {
                RewriteResult result;
                QVERIFY(i % 2
                            ? appendRecord(at("SB-Sites.DaT"), {"c", "3"}, names, &result)
                            : rewriteRecordFile(at("SB-Sites.DaT"), dropAReplaceB, names, &result));
                QCOMPARE(result.tempName, TempNameGenerator::nameFor(expected.next()));
            }
            QCOMPARE(tempFiles(dir_->path()).join(' '), kept);
            QStringList reported;
            for (const OnlyCopy& copy : report.onlyCopies)
                reported << QString::fromStdString(copy.recordFile + " " + copy.tempName);
            QCOMPARE(reported.join(' '), opening && kept == drawn ? "SB-Acnts.DaT " + drawn : "");
        }
    }

    // A rule keeps (K), drops (D), replaces (R), expands (E) or expands to
    // nothing (N) each of the records a, b and c, and a record is added: the
    // file holds what the rule wrote, and the commit tells the records
    // dropped, replaced or expanded by their place in the file as read, and
    // where the added one starts.
    void commitTellsWhatChanged_data()
    {
        QTest::addColumn<QString>("answers"); // empty: no rule
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("told"); // "<place> <old name>: <new names> | ... | <added at>"
        const auto row = [](const char* name, const char* answers, const QByteArray& after,
                            const char* told) { QTest::newRow(name) << answers << after << told; };
        const QByteArray a = rec({"a", "1"}), b = rec({"b", "2"}), c = rec({"c", "3"});
        const QByteArray z = rec({"z", "9"}), x = rec({"x", ""}), y = rec({"y", ""});
        row("add only", "", a + b + c + z, "3");
        row("keep all", "KKK", a + b + c + z, "3");
        row("each answer", "DRE", rec({"b'", "2"}) + x + c + y + z,
            "0 a: | 1 b: b' | 2 c: x c y | 4");
        row("expand to nothing", "NKN", b + z, "0 a: | 2 c: | 1");
        // A: the rule, or (a fourth answer) the end of the file, aborts.
        row("abort", "DAK", a + b + c, "aborted: no");
        row("abort at the end", "DKKA", a + b + c, "aborted: no");
    }

    void commitTellsWhatChanged()
    {
        QFETCH(QString, answers);
        writeFile(dir_->path(), "SB-Sites.DaT",
                  rec({"a", "1"}) + rec({"b", "2"}) + rec({"c", "3"}));
        const Rule rule = [&](const Record& r) -> RuleAnswer {
            const char answer = answers[r[0][0] - 'a'].toLatin1();
            const std::vector<Record> around{{"x", ""}, r, {"y", ""}};
            return answer == 'D'   ? RuleAnswer(Drop{})
                   : answer == 'R' ? RuleAnswer(Replace{{r[0] + "'", r[1]}})
                   : answer == 'E' ? Expand{around}
                   : answer == 'N' ? Expand{}
                   : answer == 'A' ? Abort{"no"}
                                   : RuleAnswer(Keep{});
        };
        const auto atEnd = [&](long long) {
            return answers.size() > 3 ? std::optional(Abort{"no"}) : std::nullopt;
        };
        TempNameGenerator names;
        CommitResult result;
        const bool done = bool(commit(
            path(), {{at("SB-Sites.DaT"), answers.isEmpty() ? Rule() : rule, {{"z", "9"}}, atEnd}},
            names, &result));
        QTEST(readFile(dir_->path(), "SB-Sites.DaT"), "after");
        QCOMPARE(tempFiles(dir_->path()), QStringList());
        if (!done) {
            QTEST("aborted: " + QString::fromStdString(result.aborted), "told");
            return;
        }
        QStringList said;
        for (const RecordChange& change : result.files.at(0).changes) {
            QString line = QString::number(change.index) + " " + change.before[0].c_str() + ":";
            for (const Record& r : change.after)
                line += " " + QString::fromStdString(r[0]);
            said << line;
        }
        QTEST((said << QString::number(result.files[0].appendedAt)).join(" | "), "told");
    }

    // Whatever step fails, both files are as they were, with their
    // permissions, and the message says so and what failed; a temporary file
    // that stays behind is named. Once the new content is in place, a failed
    // directory sync or journal removal is no failed change; writes that come
    // back short or interrupted are no failure either. Where files cannot be
    // exchanged ("plain"), renames failing after the sites file was replaced
    // say so, and opening the folder completes the change. A child that
    // stops at a step of a change ("stop", "torn": half the journal written)
    // leaves the files all old or all new, byte for byte, once the folder is
    // opened again, and no temporary file or journal.
    void faults_data()
    {
        QTest::addColumn<QString>("op");      // "both": sites and accounts in one commit
        QTest::addColumn<QString>("fault");   // steps that fail, each with its occurrence
        QTest::addColumn<QString>("message"); // empty: the change succeeds; "old", "new"
        auto row = [](const QString& op, const QString& fault, const QString& message) {
            QTest::addRow("%s: %s", qPrintable(op), qPrintable(fault)) << op << fault << message;
        };
        for (const char* op : {"add", "rewrite", "both"}) {
            row(op, "write 0", std::strerror(ENOSPC));
            row(op, "write 300000", std::strerror(ENOSPC)); // half-way
            row(op, "TempSync", std::strerror(EIO));
            row(op, "TempClose", "cannot write the temporary file");
            row(op, "Exchange", std::strerror(EIO));
            row(op, "Exchange RemoveTemp", "could not be deleted"); // after the rename failed
            row(op, "locked", "another program is changing");
            row(op, "short writes", "");
        }
        for (const char* op : {"add", "rewrite"}) {
            row(op, "quote", "double quote");
            row(op, "field count", "1 fields instead of 2");
            row(op, "DirSync", "");
        }
        row("add", "no directory", std::strerror(ENOENT));
        row("rewrite", "damaged", "record 10001 is cut short");
        row("rewrite", "missing", "does not exist");
        row("both", "TempSync 2", std::strerror(EIO));
        row("both", "JournalWrite", "cannot save the journal");
        row("both", "DirSync", "cannot save the journal"); // the journal's
        row("both", "Exchange 2", std::strerror(EIO));     // the sites file is put back
        row("both", "DirSync 2", "");
        row("both", "RemoveJournal", "");
        row("both", "Rename 2", ""); // tried again
        row("both", "Rename 2 Rename 3", "completed the next time the data folder is opened");
        for (const QString plain : {"", " plain"}) {
            const QString rename = plain.isEmpty() ? "Exchange" : "Rename";
            for (const QString step : {"TempClose 1", "TempClose 2", "torn 1"}) // not saved yet
                row("both", "stop " + step + plain, "old");
            for (const QString& step : QStringList{"JournalSync 1", rename + " 1", rename + " 2",
                                                   "DirSync 2", "RemoveJournal 1"}) // saved
                row("both", "stop " + step + plain, "new");
            for (const char* op : {"add", "rewrite"}) { // one file: no journal
                for (const QString& step : QStringList{"TempWrite 1", "TempWrite 2", "TempSync 1",
                                                       "TempClose 1", rename + " 1"})
                    row(op, "stop " + step + plain, "old");
                row(op, "stop DirSync 1" + plain, "new");
            }
        }
        row("both", "stop RemoveTemp 1", "new"); // an old file
        row("add", "stop RemoveTemp 1", "new");
    }

    void faults()
    {
        QFETCH(QString, op);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        // Larger than the write buffer, so that the temporary file has been
        // written to when the late faults strike.
        QByteArray original, accounts;
        for (int i = 0; i < 10000; ++i) {
            original += rec({"site " + QByteArray::number(i), "https://example.com/login"});
            accounts += rec({"site " + QByteArray::number(i), "user", "pw", "x"});
        }
        original += fault == "damaged" ? "\"cut\"," : "";
        QByteArray newSites = original + rec({"site 5000", "changed"}), newAccounts = accounts;
        if (op != "add")
            newSites = QByteArray(original).replace(rec({"site 5000", "https://example.com/login"}),
                                                    rec({"site 5000", "changed"}));
        if (op == "both")
            newAccounts.replace(rec({"site 5000", "user", "pw", "x"}),
                                rec({"site 5000", "u", "changed", ""}));
        const QString sites = dir_->filePath("SB-Sites.DaT");
        fill(original, accounts);
        QVERIFY(fault == "missing"
                    ? QFile::remove(sites)
                    : QFile::setPermissions(sites, QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ReadGroup));
        FileOps ops;
        ops.lockWait = std::chrono::milliseconds(50);
        // Writes fail once the budget of bytes is spent, or come back short
        // and interrupted; a torn journal is half written.
        long budget = fault.section(' ', 1).toLong();
        bool journal = false;
        ops.write = [&](int fd, const void* data, std::size_t size) -> long {
            if (journal && fault.contains("torn"))
                ::_exit(::write(fd, data, size / 2) > 0 ? 0 : 1);
            if (fault == "short writes")
                return budget++ % 2 ? ::write(fd, data, std::min<std::size_t>(size, 999))
                                    : (errno = EINTR, -1);
            budget -= long(size);
            return fault.startsWith("write") && budget < 0 ? (errno = ENOSPC, -1)
                                                           : ::write(fd, data, size);
        };
        QSet<QPair<int, int>> failing; // step, occurrence (0: every one)
        const QStringList words = fault.split(' ');
        for (int i = 0; i < words.size(); ++i) {
            if (const int step = kSteps.indexOf(words[i]); step >= 0)
                failing.insert({step, words.value(i + 1).toInt()});
        }
        QMap<int, int> seen;
        ops.before = [&](Step step, const std::filesystem::path&) {
            journal = step == Step::JournalWrite;
            if (step == Step::Exchange && (fault.contains("Rename") || fault.contains("plain")))
                return EINVAL; // as on a file system that cannot exchange
            const bool fails = failing.contains({int(step), ++seen[int(step)]});
            if (fails && fault.startsWith("stop"))
                ::_exit(0);
            return fails || failing.contains({int(step), 0}) ? EIO : 0;
        };
        const Record changed = fault == "quote"         ? Record{"say \"hi\"", "x"}
                               : fault == "field count" ? Record{"x"}
                                                        : Record{"site 5000", "changed"};
        const auto change = [](const Record& to) -> Rule {
            return [to](const Record& r) -> RuleAnswer {
                return r[0] == "site 5000" ? RuleAnswer(Replace{to}) : Keep{};
            };
        };
        const RecordFile file =
            RecordFile::sites(fault == "no directory" ? path() + "/gone" : path());
        const std::vector<Edit> both{
            {file, change(changed), {}},
            {RecordFile::accounts(path()), change({"site 5000", "u", "changed", ""}), {}}};
        TempNameGenerator names;
        const auto apply = [&] {
            return op == "add"       ? appendRecord(file, changed, names, nullptr, ops)
                   : op == "rewrite" ? rewriteRecordFile(file, both[0].rule, names, nullptr, ops)
                                     : commit(file.dir, both, names, nullptr, ops);
        };
        if (fault.startsWith("stop")) {
            const pid_t pid = ::fork();
            if (pid == 0)
                ::_exit(apply() ? 1 : 2);
            int status = -1;
            QVERIFY(::waitpid(pid, &status, 0) == pid && status == 0); // stopped at the step
            QVERIFY(openFolder(path()));
            QCOMPARE(readFile(dir_->path(), "SB-Sites.DaT"),
                     message == "new" ? newSites : original);
            QVERIFY(readFile(dir_->path(), "SB-Acnts.DaT") ==
                    (message == "new" ? newAccounts : accounts));
            QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList({".SB-Lock", "SB-Acnts.DaT", "SB-Sites.DaT"}));
            return;
        }
        const int lockFd = ::open(qPrintable(dir_->filePath(".SB-Lock")), O_RDWR | O_CREAT, 0600);
        QVERIFY(fault != "locked" || ::flock(lockFd, LOCK_EX) == 0);
        const Status s = apply();
        ::close(lockFd);
        const std::string said = s ? "" : s.error().message;
        QVERIFY2(s.failed() != message.isEmpty() && said.find(message.toStdString()) != said.npos,
                 said.c_str());
        const bool half = message.contains("completed");
        QVERIFY(fault == "missing" || modeOf(sites) == 0640u);
        QCOMPARE(readFile(dir_->path(), "SB-Sites.DaT"), s || half            ? newSites
                                                         : fault == "missing" ? ""
                                                                              : original);
        QVERIFY(readFile(dir_->path(), "SB-Acnts.DaT") == (s ? newAccounts : accounts));
        const QStringList left = tempFiles(dir_->path());
        if (s.failed()) {
            QCOMPARE(s.error().file, fault.contains(" 2") ? kAccountsFileName : kSitesFileName);
            // An add refuses a record before it opens any file.
            const bool opened = fault != "missing" && fault != "no directory" && fault != "quote" &&
                                fault != "field count";
            const char* unchanged = half ? "the file was not changed yet, but SB-Sites.DaT was"
                                    : op == "both" ? "neither file was changed"
                                                   : "the file was not changed";
            QVERIFY(!opened || said.find(unchanged) != std::string::npos);
            const bool kept = fault.contains("RemoveTemp");
            QCOMPARE(left.size(), half ? 1 : kept && op == "both" ? 2 : kept ? 1 : 0);
            for (const QString& name : left) // named
                QVERIFY(half || said.find(name.toStdString()) != std::string::npos);
        }
        // Opening the folder completes a half change and leaves no stale copy.
        QVERIFY(openFolder(path()));
        QVERIFY(!half || readFile(dir_->path(), "SB-Acnts.DaT") == newAccounts);
        QCOMPARE(tempFiles(dir_->path()), QStringList());
    }

    // Another program appends a record, or replaces the file with its content
    // and one more record after checking that it is still the file it read,
    // at a step of each of 10 adds; an appender may also open the file before
    // the new content takes its place and write after. Nothing of either side
    // is lost or doubled.
    void otherWriterLosesNothing_data()
    {
        // The writer, the step before which it opens the file, the step
        // before which it writes or renames.
        QTest::addColumn<QString>("plan");
        QTest::newRow("append while the new content is saved") << "append TempSync TempSync";
        QTest::newRow("append just before the exchange") << "append Exchange Exchange";
        QTest::newRow("append across the exchange") << "append Exchange DirSync";
        QTest::newRow("append across a plain rename") << "append Rename DirSync";
        QTest::newRow("replace while the new content is saved") << "replace TempSync TempSync";
        QTest::newRow("replace just before the exchange") << "replace Exchange Exchange";
        // Our changes are rewrites whose rule counts records: it starts
        // afresh with the commit.
        QTest::newRow("replace before the exchange of a rewrite")
            << "replace Exchange Exchange rewrite";
        // A record appended during a rename with transfer is moved too:
        // the rule sees it, it is not carried over as it came.
        QTest::newRow("append while a transfer is saved") << "append TempSync TempSync transfer";
    }

    void otherWriterLosesNothing()
    {
        QFETCH(QString, plan);
        const QString writer = plan.section(' ', 0, 0), opens = plan.section(' ', 1, 1),
                      writes = plan.section(' ', 2, 2);
        writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
        const QString path = dir_->filePath("SB-Sites.DaT");
        QMap<QString, int> expected{{"a 1", 1}, {"b 2", 1}}, found;
        int theirs = 0, fd = -1;
        bool wrote = true;
        struct stat read, now;
        FileOps ops;
        ops.before = [&](Step step, const std::filesystem::path&) {
            if (opens == kSteps[int(step)] && fd == -1)
                fd = ::open(qPrintable(path), writer == "append" ? O_WRONLY | O_APPEND : O_RDONLY);
            if (writes == kSteps[int(step)] && fd >= 0) {
                const QByteArray record = rec({"other", std::to_string(theirs).c_str()});
                expected["other " + QString::number(theirs++)] = 1;
                if (writer == "append") {
                    wrote &= ::write(fd, record.data(), record.size()) == record.size();
                } else {
                    QFile copy(dir_->filePath("copy"));
                    wrote &= ::fstat(fd, &read) == 0 && copy.open(QIODevice::WriteOnly) &&
                             copy.write(readFile(dir_->path(), "SB-Sites.DaT") + record) > 0 &&
                             copy.flush() && ::stat(qPrintable(path), &now) == 0 &&
                             now.st_ino == read.st_ino &&
                             ::rename(qPrintable(copy.fileName()), qPrintable(path)) == 0;
                }
                ::close(fd);
                fd = -2; // once in each add
            }
            return step == Step::Exchange && opens == "Rename" ? EINVAL : 0;
        };
        TempNameGenerator names;
        for (int i = 0; i < 10; ++i, fd = -1) {
            const Rule afterFirst = [i, first = true, transfer = plan.endsWith("transfer")](
                                        const Record& r) mutable -> RuleAnswer {
                if (transfer && r[0] == "other")
                    return Expand{{Record{"moved", r[1]}}};
                if (!std::exchange(first, false))
                    return Keep{};
                return Expand{{r, {"ours", std::to_string(i)}}};
            };
            QVERIFY(plan.endsWith("rewrite") || plan.endsWith("transfer")
                        ? commit(dir_->path().toStdString(), {{at("SB-Sites.DaT"), afterFirst, {}}},
                                 names, nullptr, ops)
                        : appendRecord(at("SB-Sites.DaT"), {"ours", std::to_string(i)}, names,
                                       nullptr, ops));
            expected["ours " + QString::number(i)] = 1;
        }
        QVERIFY(wrote && readRecords(at("SB-Sites.DaT"), [&](const Record& r) {
                    ++found[QString::fromStdString(r[0] + ' ' + r[1])];
                }));
        if (plan.endsWith("transfer"))
            for (int i = 0; i < theirs; ++i)
                expected["moved " + QString::number(i)] =
                    expected.take("other " + QString::number(i));
        QCOMPARE(found, expected);
    }
};

QTEST_APPLESS_MAIN(TestStore)
#include "tst_store.moc"
