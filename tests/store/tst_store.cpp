// The record files: reading and appending records byte for byte, what a
// record file is, and adding, changing and removing records through a
// temporary file.
#include "store/commit.h"
#include "store/record_file.h"
#include "store/rewrite.h"
#include "support/files.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace sb::store;
using namespace sb::test;
using Records = QList<QStringList>;

namespace {

const QByteArray kAB = "\"a\",\"b\"";
// The steps of a commit, by name, in their order.
const QStringList kSteps = {"TempWrite", "TempSync", "TempClose",  "JournalWrite",  "JournalSync",
                            "Exchange",  "Rename",   "RemoveTemp", "RemoveJournal", "DirSync"};
const QByteArray kTwoRecords = "\"a\",\"1\"\r\n\"b\",\"2\"\r\n";

// Renames the site "a" to "A", and "A" to "a", in either file.
RuleAnswer renameA(const Record& r)
{
    Record renamed = r;
    renamed.front().assign(1, r[0] == "a" ? 'A' : 'a');
    return r[0] == "a" || r[0] == "A" ? RuleAnswer(Replace{renamed}) : Keep{};
}

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
    RecordFile at(const QString& name, int fields) const
    {
        return {dir_->path().toStdString(), name.toStdString(), fields};
    }
    RecordFile sites() const { return RecordFile::sites(dir_->path().toStdString()); }
    RecordFile accountsFile() const { return RecordFile::accounts(dir_->path().toStdString()); }
    static QStringList tempFiles(const QString& d) { return QDir(d).entryList({"SB-t*.txt"}); }

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    // The records read, and the damage found after them; counting agrees.
    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fields");
        QTest::addColumn<Records>("expected");
        QTest::addColumn<QString>("damage"); // the message; null: none
        auto row = [](const char* name, const QByteArray& bytes, int fields,
                      const Records& expected, const QString& damage = {}) {
            QTest::newRow(name) << bytes << fields << expected << damage;
        };
        row("line ends between fields, commas between records, no final line end",
            "\"a\"\r\n\"b\",\"c\"\r\n\"d\"", 2, {{"a", "b"}, {"c", "d"}});
        row("lone LF, lone CR", "\"a\",\"b\"\n\"c\",\"d\"\r\"e\",\"\"\n", 2,
            {{"a", "b"}, {"c", "d"}, {"e", ""}});
        row("commas, blanks, line ends, empty fields in quotes",
            "\"a, b \",\"  c\r\nd\",\"\",\"x\"\r\n", 4, {{"a, b ", "  c\r\nd", "", "x"}});
        row("blanks around fields", "  \"a\" ,  b c  \r\n", 2, {{"a", "b c"}});
        row("text after closing quote skipped", "\"ab\"cd\",\"x\"\r\n", 2, {{"ab", "x"}});
        row("blank line is an empty field", "\"a\"\r\n\r\n\"c\",\"d\"\r\n", 2,
            {{"a", ""}, {"c", "d"}});
        row("byte-order mark, blank lines at the end", "\xEF\xBB\xBF\"a\",\"b\"\r\n\r\n  \r\n\n", 2,
            {{"a", "b"}});
        row("Windows-1252 and UTF-8 mixed",
            "\"Caf\xE9\",\"Caf\xC3\xA9\"\r\n\"\x80\x81\x9F\",\"\xF0\x9F\x94\x91\"\r\n"
            "\"\xED\xA0\x80\",\"\xC0\xAF\"\r\n", // a surrogate, an overlong form
            2, {{"Café", "Café"}, {"€\u0081Ÿ", "🔑"}, {"í\u00A0€", "À¯"}});
        row("cut short", "\"a\",\"b\",\"c\",\"d\"\r\n\"e\",\"f\"\r\n", 4, {{"a", "b", "c", "d"}},
            "record 2 is cut short: the file ends after field 2 of 4");
        row("quote never closed", "\"a\",\"b\"\r\n\"c\", \"d\r\n", 2, {{"a", "b"}},
            "record 2 is damaged: field 2 of 2 opens a double quote that is never closed");
    }

    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fields);
        QFETCH(Records, expected);
        QFETCH(QString, damage);
        writeFile(dir_->path(), "f.dat", bytes);
        Records read;
        const Status s = readRecords(at("f.dat", fields), [&](const Record& r) {
            read << QStringList();
            for (const auto& field : r)
                read.last() << QString::fromStdString(field);
        });
        QCOMPARE(read, expected);
        QCOMPARE(s.failed(), !damage.isNull());
        long long count = -1;
        QCOMPARE(countRecords(at("f.dat", fields), count).failed(), s.failed());
        if (!s.failed()) {
            QCOMPARE(count, expected.size());
            return;
        }
        QCOMPARE(s.error().file, "f.dat");
        QCOMPARE(QString::fromStdString(s.error().message), damage);
        // Appending would join the new record to the damage.
        TempNameGenerator names;
        QVERIFY(
            appendRecord(at("f.dat", fields), Record(std::size_t(fields), "n"), names).failed());
        QCOMPARE(readFile(dir_->path(), "f.dat"), bytes);
    }

    // Every operation goes to the file found; "dir:" makes a directory.
    void findsNameIgnoringCase_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QString>("found");
        const QString sites = "SB-Sites.DaT";
        QTest::newRow("lower case") << sites << QStringList{"sb-sites.dat"} << "sb-sites.dat";
        QTest::newRow("exact wins")
            << sites << QStringList{"SB-SITES.DAT", sites, "sb-sites.dat"} << sites;
        QTest::newRow("smallest spelling")
            << sites << QStringList{"sb-sites.dat", "SB-SITES.DAT"} << "SB-SITES.DAT";
        QTest::newRow("regular file before a smaller spelling")
            << sites << QStringList{"dir:SB-SITES.DAT", "sb-sites.dat"} << "sb-sites.dat";
        QTest::newRow("directory of the exact name hides the others")
            << sites << QStringList{"dir:" + sites, "sb-sites.dat"} << "";
        QTest::newRow("hidden") << ".sb" << QStringList{".sb"} << "";
    }

    void findsNameIgnoringCase()
    {
        QFETCH(QString, wanted);
        QFETCH(QStringList, onDisk);
        QFETCH(QString, found);
        for (const QString& entry : onDisk) {
            if (entry.startsWith("dir:"))
                QVERIFY(QDir(dir_->path()).mkdir(entry.mid(4)));
            else
                writeFile(dir_->path(), entry, kAB + "\r\n");
        }
        const RecordFile file = at(wanted, 2);
        QCOMPARE(QString::fromStdString(findOnDisk(file).value_or("")), found);
        if (found.isEmpty())
            return;
        TempNameGenerator names;
        QVERIFY(appendRecord(file, {"n", "x"}, names));
        QCOMPARE(readFile(dir_->path(), found), kAB + "\r\n\"n\",\"x\"\r\n");
    }

    // Nothing is escaped or trimmed, and the new record reads back as one of
    // its own whatever the file ends with. A new file is for the owner alone,
    // as it holds passwords; an old one keeps its permissions.
    void appends_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QByteArray>("after");  // then the new record
        QTest::newRow("no file") << QByteArray() << QByteArray();
        QTest::newRow("no final line end") << kAB << kAB + "\r\n";
        QTest::newRow("lone CR") << kAB + "\r" << kAB + "\r";
        QTest::newRow("blank lines after last record") << kAB + "\r\n\r\n \r\n" << kAB + "\r\n";
        QTest::newRow("blank line as last field")
            << QByteArray("\"a\"\r\n\r\n") << QByteArray("\"a\"\r\n\r\n");
        QTest::newRow("byte-order mark only")
            << QByteArray("\xEF\xBB\xBF") << QByteArray("\xEF\xBB\xBF");
    }

    void appends()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString path = dir_->filePath("SB-Sites.DaT");
        if (!before.isNull()) {
            writeFile(dir_->path(), "SB-Sites.DaT", before);
            QVERIFY(QFile::setPermissions(path,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        }
        TempNameGenerator names;
        QVERIFY(appendRecord(sites(), {"", " a, b\r\nCaf\xC3\xA9 "}, names));
        QCOMPARE(readFile(dir_->path(), "SB-Sites.DaT"),
                 after + "\"\",\" a, b\r\nCaf\xC3\xA9 \"\r\n");
        QCOMPARE(modeOf(path), before.isNull() ? 0600u : 0640u);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"SB-Sites.DaT"});
    }

    // Only a regular file is a record file. Anything else under its name, in
    // any letter case, is reported at once by every operation, never waited
    // on, read without end or replaced.
    void refusesOtherThanRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("ofSites");
        QTest::addColumn<bool>("lowerCase");
        for (const char* kind :
             {"named pipe", "directory", "link to /dev/zero", "loop of links", "unreadable"}) {
            for (const bool ofSites : {true, false}) {
                for (const bool lowerCase : {false, true})
                    QTest::addRow("%s, %s%s", kind, ofSites ? "sites" : "accounts",
                                  lowerCase ? " in lower case" : "")
                        << kind << ofSites << lowerCase;
            }
        }
    }

    void refusesOtherThanRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, ofSites);
        QFETCH(bool, lowerCase);
        const RecordFile file =
            ofSites ? sites() : RecordFile::accounts(dir_->path().toStdString());
        QString onDisk = QString::fromStdString(file.name);
        if (lowerCase)
            onDisk = onDisk.toLower();
        const std::string path = dir_->filePath(onDisk).toStdString();
        QString message = "not a regular file";
        if (kind == "named pipe")
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        if (kind == "directory")
            QVERIFY(QDir(dir_->path()).mkdir(onDisk));
        if (kind == "link to /dev/zero")
            QCOMPARE(::symlink("/dev/zero", path.c_str()), 0);
        if (kind == "loop of links")
            QCOMPARE(::symlink(qPrintable(onDisk), path.c_str()), 0);
        if (kind == "unreadable") {
            if (::geteuid() == 0)
                QSKIP("root reads every file");
            writeFile(dir_->path(), onDisk, kAB + "\r\n");
            QCOMPARE(::chmod(path.c_str(), 0), 0);
            message = std::strerror(EACCES);
        }

        ::alarm(10); // a hang ends the test instead of blocking it for ever
        QElapsedTimer timer;
        timer.start();
        bool readFound = false, countFound = false;
        long long count = 0;
        TempNameGenerator names;
        const Status results[] = {
            readRecords(
                file, [](const Record&) {}, &readFound),
            countRecords(file, count, &countFound),
            appendRecord(file, Record(std::size_t(file.fields), "x"), names),
            rewriteRecordFile(
                file, [](const Record&) -> RuleAnswer { return Keep{}; }, names),
        };
        ::alarm(0);
        QVERIFY(timer.elapsed() < 1000);
        for (const Status& s : results) {
            QVERIFY(s.failed());
            QCOMPARE(QString::fromStdString(s.error().file), onDisk);
            QVERIFY2(QString::fromStdString(s.error().message).contains(message),
                     s.error().message.c_str());
        }
        QVERIFY(readFound && countFound);
        QCOMPARE(
            QDir(dir_->path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
            QStringList{onDisk});
    }

    // Successive changes, adds and rewrites alike, draw successive numbers,
    // and never open a file that exists. Opening the folder and every change
    // delete leftover temporary files, stale copies as every change renames,
    // except where the record file is missing and a leftover holds records of
    // its kind: it may be the only copy, and opening the folder says so.
    void temporaryFiles_data()
    {
        QTest::addColumn<QStringList>("onDisk"); // name and fields; "drawn": the next name
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("stale copies")
            << QStringList{"SB-Acnts.DaT 4", "drawn 4", "sb-T77.TXT 2", "SB-t10000.txt 4"}
            << QStringList();
        QTest::newRow("not ours") << QStringList{"SB-Acnts.DaT 4", "SB-t05.txt 4",
                                                 "SB-t10001.txt 4", "SB-tx.txt 4"}
                                  << QStringList{"SB-t05.txt", "SB-t10001.txt", "SB-tx.txt"};
        QTest::newRow("only copy of the accounts")
            << QStringList{"drawn 4", "SB-t9.txt 2", "SB-t7.txt 3"} << QStringList{"drawn"};
        QTest::newRow("accounts in lower case")
            << QStringList{"sb-acnts.dat 4", "drawn 4"} << QStringList();
    }

    void temporaryFiles()
    {
        QFETCH(QStringList, onDisk);
        QFETCH(QStringList, kept);
        const QString drawn =
            QString::fromStdString(TempNameGenerator::nameFor(TempNameGenerator().next()));
        kept.replaceInStrings("drawn", drawn);
        for (const bool opening : {true, false}) {
            init();
            writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
            for (const QString& entry : onDisk)
                writeFile(dir_->path(), entry.section(' ', 0, 0).replace("drawn", drawn),
                          rec({"a", "b", "c", "d"}).left(entry.section(' ', 1).toInt() * 4 - 1) +
                              "\r\n");
            TempNameGenerator names, expected;
            if (onDisk.contains("drawn 4"))
                expected.next();
            FolderReport report;
            QVERIFY(!opening || openFolder(dir_->path().toStdString(), &report));
            for (int i = 0; !opening && i < 4; ++i) {
                RewriteResult result;
                QVERIFY(i % 2 ? appendRecord(sites(), {"c", "3"}, names, &result)
                              : rewriteRecordFile(sites(), dropAReplaceB, names, &result));
                QCOMPARE(result.tempName, TempNameGenerator::nameFor(expected.next()));
            }
            QCOMPARE(tempFiles(dir_->path()), kept);
            QStringList reported;
            for (const OnlyCopy& copy : report.onlyCopies)
                reported << QString::fromStdString(copy.recordFile + " " + copy.tempName);
            QCOMPARE(reported, opening && kept.contains(drawn)
                                   ? QStringList{"SB-Acnts.DaT " + drawn}
                                   : QStringList());
        }
    }

    // A rule keeps (K), drops (D), replaces (R), expands (E) or expands to
    // nothing (N) each of the records a, b and c, and a record is added: the file holds what the
    // rule wrote, and the commit tells the records dropped, replaced or expanded by their place in
    // the file as read, and where the added one starts.
    void commitTellsWhatChanged_data()
    {
        QTest::addColumn<QString>("answers"); // empty: no rule
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("told"); // "<place> <old name>: <new names> | ... | <added at>"
        const QByteArray a = rec({"a", "1"}), b = rec({"b", "2"}), c = rec({"c", "3"});
        const QByteArray z = rec({"z", "9"}), x = rec({"x", ""}), y = rec({"y", ""});
        QTest::newRow("add only") << "" << a + b + c + z << "3";
        QTest::newRow("keep all") << "KKK" << a + b + c + z << "3";
        QTest::newRow("each answer")
            << "DRE" << rec({"b'", "2"}) + x + c + y + z << "0 a: | 1 b: b' | 2 c: x c y | 4";
        QTest::newRow("expand to nothing") << "NKN" << b + z << "0 a: | 2 c: | 1";
        // A: the rule, or (a fourth answer) the end of the file, aborts.
        QTest::newRow("abort") << "DAK" << a + b + c << "aborted: no";
        QTest::newRow("abort at the end") << "DKKA" << a + b + c << "aborted: no";
    }

    void commitTellsWhatChanged()
    {
        QFETCH(QString, answers);
        QFETCH(QByteArray, after);
        QFETCH(QString, told);
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
        const auto atEnd = [&](long long) -> std::optional<Abort> {
            return answers.endsWith("KKA") ? std::optional(Abort{"no"}) : std::nullopt;
        };
        TempNameGenerator names;
        CommitResult result;
        const bool done = bool(commit(
            dir_->path().toStdString(),
            {{sites(), answers.isEmpty() ? Rule() : rule, {{"z", "9"}}, atEnd}}, names, &result));
        QCOMPARE(readFile(dir_->path(), "SB-Sites.DaT"), after);
        QCOMPARE(tempFiles(dir_->path()), QStringList());
        if (!done) {
            QCOMPARE("aborted: " + QString::fromStdString(result.aborted), told);
            return;
        }
        QStringList said;
        for (const RecordChange& change : result.files.at(0).changes) {
            QString line = QString::number(change.index) + " " + change.before[0].c_str() + ":";
            for (const Record& r : change.after)
                line += " " + QString::fromStdString(r[0]);
            said << line;
        }
        QCOMPARE((said << QString::number(result.files[0].appendedAt)).join(" | "), told);
    }

    // A link to a file yet to be made: the first add makes it, for the owner
    // alone, and the link stays one through every change.
    void keepsSymbolicLink()
    {
        QVERIFY(QDir(dir_->path()).mkdir("data"));
        QVERIFY(QFile::link("data/real.dat", dir_->filePath("SB-Sites.DaT")));
        TempNameGenerator names;
        QVERIFY(appendRecord(sites(), {"a", "1"}, names));
        QVERIFY(appendRecord(sites(), {"b", "2"}, names));
        QCOMPARE(modeOf(dir_->filePath("data/real.dat")), 0600u);
        QVERIFY(rewriteRecordFile(sites(), dropAReplaceB, names));
        QVERIFY(QFileInfo(dir_->filePath("SB-Sites.DaT")).isSymLink());
        QCOMPARE(readFile(dir_->path(), "data/real.dat"), rec({"B", "new"}));
        QCOMPARE(tempFiles(dir_->path()) + tempFiles(dir_->filePath("data")), QStringList());
    }

    // Whatever step fails, both files are as they were, with their
    // permissions, and the message says so and what failed; a temporary file
    // that stays behind is named. Once the new content is in place, a failed
    // directory sync or journal removal is no failed change; writes that come
    // back short or interrupted are no failure either. Where files cannot be
    // exchanged, renames failing after the sites file was replaced say so,
    // and opening the folder completes the change.
    void failureLeavesFilesUntouched_data()
    {
        QTest::addColumn<QString>("op");      // "both": sites and accounts in one commit
        QTest::addColumn<QString>("fault");   // steps that fail, each with its occurrence
        QTest::addColumn<QString>("message"); // empty: the change succeeds
        auto row = [](const char* op, const char* fault, const QString& message) {
            QTest::addRow("%s: %s", op, fault) << op << fault << message;
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
    }

    void failureLeavesFilesUntouched()
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
        if (fault == "damaged")
            original += "\"cut\",";
        const QString path = dir_->filePath("SB-Sites.DaT");
        if (fault != "missing") {
            writeFile(dir_->path(), "SB-Sites.DaT", original);
            QVERIFY(QFile::setPermissions(path,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        }
        writeFile(dir_->path(), "SB-Acnts.DaT", accounts);

        FileOps ops;
        ops.lockWait = std::chrono::milliseconds(50);
        long budget = fault.section(' ', 1).toLong();
        if (fault.startsWith("write")) // fails once the budget of bytes is spent
            ops.write = [&budget](int fd, const void* data, std::size_t size) -> long {
                budget -= long(size);
                return budget < 0 ? (errno = ENOSPC, -1) : ::write(fd, data, size);
            };
        if (fault == "short writes")
            ops.write = [&budget](int fd, const void* data, std::size_t size) -> long {
                if (budget++ % 2 == 0)
                    return errno = EINTR, -1;
                return ::write(fd, data, std::min<std::size_t>(size, 999));
            };
        QSet<QPair<int, int>> failing; // step, occurrence (0: every one)
        const QStringList words = fault.split(' ');
        for (int i = 0; i < words.size(); ++i) {
            if (const int step = kSteps.indexOf(words[i]); step >= 0)
                failing.insert({step, words.value(i + 1).toInt()});
        }
        QMap<int, int> seen;
        ops.before = [&](Step step, const std::filesystem::path&) {
            if (step == Step::Exchange && fault.contains("Rename"))
                return EINVAL; // as on a file system that cannot exchange
            const bool fails = failing.contains({int(step), ++seen[int(step)]});
            return fails || failing.contains({int(step), 0}) ? EIO : 0;
        };
        const int lockFd = ::open(qPrintable(dir_->filePath(".SB-Lock")), O_RDWR | O_CREAT, 0600);
        QVERIFY(fault != "locked" || ::flock(lockFd, LOCK_EX) == 0);
        Record changed{"site 5000", "changed"};
        if (fault == "quote" || fault == "field count")
            changed = fault == "quote" ? Record{"say \"hi\"", "x"} : Record{"x"};
        const Rule rule = [&](const Record& r) -> RuleAnswer {
            return r[0] == "site 5000" ? RuleAnswer(Replace{changed}) : Keep{};
        };
        const Rule accountRule = [&](const Record& r) -> RuleAnswer {
            return r[0] == "site 5000" ? RuleAnswer(Replace{{"site 5000", "u", "changed", ""}})
                                       : Keep{};
        };
        const RecordFile file =
            RecordFile::sites(dir_->filePath(fault == "no directory" ? "gone" : "").toStdString());

        TempNameGenerator names;
        const std::vector<Edit> both{{file, rule, {}}, {accountsFile(), accountRule, {}}};
        const Status s = op == "add"       ? appendRecord(file, changed, names, nullptr, ops)
                         : op == "rewrite" ? rewriteRecordFile(file, rule, names, nullptr, ops)
                                           : commit(file.dir, both, names, nullptr, ops);
        ::close(lockFd);
        QCOMPARE(s.failed(), !message.isEmpty());
        const std::string said = s ? "" : s.error().message;
        QVERIFY2(said.find(message.toStdString()) != std::string::npos, said.c_str());
        const bool half = message.contains("completed");
        QByteArray newSites = original + rec({"site 5000", "changed"}), newAccounts = accounts;
        if (op != "add")
            newSites = QByteArray(original).replace(rec({"site 5000", "https://example.com/login"}),
                                                    rec({"site 5000", "changed"}));
        if (op == "both")
            newAccounts.replace(rec({"site 5000", "user", "pw", "x"}),
                                rec({"site 5000", "u", "changed", ""}));
        if (fault != "missing")
            QCOMPARE(modeOf(path), 0640u);
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
        QVERIFY(openFolder(dir_->path().toStdString()));
        QVERIFY(!half || readFile(dir_->path(), "SB-Acnts.DaT") == newAccounts);
        QCOMPARE(tempFiles(dir_->path()), QStringList());
    }

    // A child commits a change of both files and stops at a step: opening the
    // folder afterwards leaves both files old or both new, byte for byte, and
    // no temporary file or journal behind. The same with plain renames, where
    // files cannot be exchanged.
    void stoppedCommitLeavesBothOldOrBothNew_data()
    {
        QTest::addColumn<QString>("step"); // "torn": half the journal written
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<bool>("exchange");
        QTest::addColumn<bool>("changed");
        for (const bool exchange : {true, false}) {
            auto row = [&](const char* step, int occurrence, bool changed) {
                QTest::addRow("%s %d%s", step, occurrence, exchange ? "" : ", renaming")
                    << step << occurrence << exchange << changed;
            };
            const char* rename = exchange ? "Exchange" : "Rename";
            row("TempClose", 1, false); // the sites' temporary file written
            row("TempClose", 2, false); // both written
            row("torn", 1, false);
            row("JournalSync", 1, true); // the journal written
            row(rename, 1, true);        // the journal saved
            row(rename, 2, true);        // between the renames
            row("DirSync", 2, true);     // after the renames
            row("RemoveJournal", 1, true);
        }
        QTest::newRow("RemoveTemp 1") << "RemoveTemp" << 1 << true << true; // an old file
    }

    void stoppedCommitLeavesBothOldOrBothNew()
    {
        QFETCH(QString, step);
        QFETCH(int, occurrence);
        QFETCH(bool, exchange);
        QFETCH(bool, changed);
        const QByteArray sitesBytes = rec({"a", "1"}) + rec({"b", "2"});
        const QByteArray accountsBytes = rec({"a", "u", "p", ""}) + rec({"b", "v", "q", ""});
        writeFile(dir_->path(), "SB-Sites.DaT", sitesBytes);
        writeFile(dir_->path(), "SB-Acnts.DaT", accountsBytes);
        const pid_t pid = ::fork();
        if (pid == 0) {
            int seen = 0;
            bool journal = false;
            FileOps ops;
            ops.before = [&](Step s, const std::filesystem::path&) {
                journal = s == Step::JournalWrite;
                if (kSteps.indexOf(step) == int(s) && ++seen == occurrence)
                    ::_exit(0);
                return s == Step::Exchange && !exchange ? EINVAL : 0;
            };
            ops.write = [&](int fd, const void* data, std::size_t size) -> long {
                if (journal && step == "torn")
                    ::_exit(::write(fd, data, size / 2) > 0 ? 0 : 1);
                return ::write(fd, data, size);
            };
            TempNameGenerator names;
            commit(dir_->path().toStdString(),
                   {{sites(), renameA, {}}, {accountsFile(), renameA, {}}}, names, nullptr, ops);
            ::_exit(1);
        }
        int status = -1;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QCOMPARE(status, 0); // stopped at the step
        QVERIFY(openFolder(dir_->path().toStdString()));
        const auto changedIf = [&](QByteArray bytes) {
            return changed ? bytes.replace("\"a\"", "\"A\"") : bytes;
        };
        QCOMPARE(readFile(dir_->path(), "SB-Sites.DaT"), changedIf(sitesBytes));
        QCOMPARE(readFile(dir_->path(), "SB-Acnts.DaT"), changedIf(accountsBytes));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({".SB-Lock", "SB-Acnts.DaT", "SB-Sites.DaT"}));
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
            const Rule afterFirst = [i, first = true](const Record& r) mutable -> RuleAnswer {
                if (!std::exchange(first, false))
                    return Keep{};
                return Expand{{r, {"ours", std::to_string(i)}}};
            };
            QVERIFY(plan.endsWith("rewrite")
                        ? commit(dir_->path().toStdString(), {{sites(), afterFirst, {}}}, names,
                                 nullptr, ops)
                        : appendRecord(sites(), {"ours", std::to_string(i)}, names, nullptr, ops));
            expected["ours " + QString::number(i)] = 1;
        }
        QVERIFY(wrote && readRecords(sites(), [&](const Record& r) {
                    ++found[QString::fromStdString(r[0] + ' ' + r[1])];
                }));
        QCOMPARE(found, expected);
    }

    void killedChangeLeavesOldOrNew_data()
    {
        QTest::addColumn<bool>("both");
        QTest::newRow("adds") << false;
        QTest::newRow("changes of both files") << true;
    }

    // A child adds records, one large or many small, or changes both files
    // once or many times, and is killed at random moments. Every time, once
    // the folder is opened again, the file holds exactly the records added
    // before, never part of one, both files are old or both new, no temporary
    // file is left, and the next change works. The moments fall within the
    // time one large add or a few changes take, so they strike every step.
    void killedChangeLeavesOldOrNew()
    {
        QFETCH(bool, both);
        // Only the process dies, not the machine: a folder in memory keeps
        // the syncs from setting the pace.
        const QString shm = "/dev/shm";
        QTemporaryDir dir(QFileInfo(shm).isWritable() ? shm + "/stashbook-XXXXXX" : QString());
        const std::filesystem::path dirPath = dir.path().toStdString();
        const RecordFile file = RecordFile::sites(dirPath);
        const QByteArray accounts = rec({"a", "u", "p", ""}) + rec({"b", "v", "q", ""});
        writeFile(dir.path(), "SB-Sites.DaT", kTwoRecords);
        writeFile(dir.path(), "SB-Acnts.DaT", accounts);
        const Record large{"large", std::string(2 << 20, 'x')};
        const QByteArray largeBytes = rec({"large", large[1].c_str()});
        auto small = [](int i) { return Record{"small", std::to_string(i)}; };
        const std::vector<Edit> renameBoth{{file, renameA, {}},
                                           {RecordFile::accounts(dirPath), renameA, {}}};
        const QByteArray oldPair = kTwoRecords + accounts;
        const QByteArray newPair = QByteArray(oldPair).replace("\"a\"", "\"A\"");
        TempNameGenerator names;

        // A child is started once it says so on `ready`, so that the time it
        // takes to fork does not count; it exits 0 when its changes succeeded.
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        auto child = [&](bool once) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                TempNameGenerator names;
                bool ok = ::write(ready[1], "!", 1) == 1;
                for (int i = 0; ok && i < (once ? 1 : both ? 1 << 30 : 1000); ++i)
                    ok = bool(both ? commit(dirPath, renameBoth, names)
                                   : appendRecord(file, once ? large : small(i), names));
                ::_exit(ok ? 0 : 1);
            }
            char started;
            return pid > 0 && ::read(ready[0], &started, 1) == 1 ? pid : -1;
        };

        // How long a child takes to make one change when left alone. Changes
        // of both files are struck in a loop of them, where they take turns.
        std::vector<qint64> spans;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            const pid_t pid = child(true);
            timer.start();
            int status = 0;
            QVERIFY(::waitpid(pid, &status, 0) == pid && status == 0);
            spans.push_back(timer.nsecsElapsed());
            if (!both)
                writeFile(dir.path(), "SB-Sites.DaT", kTwoRecords);
        }
        std::sort(spans.begin(), spans.end());
        const std::chrono::nanoseconds span(spans[1]);

        // A few hundred rounds; fewer where forking is slow (sanitizers), but
        // never so few that they mean nothing.
        std::mt19937 random(7);
        QElapsedTimer clock;
        clock.start();
        int struckMidway = 0;
        for (int round = 0; round < 300 && (round < 40 || clock.elapsed() < (both ? 1500 : 2500));
             ++round) {
            const bool once = round % 2 == 0 && !both;
            const QByteArray before = readFile(dir.path(), "SB-Sites.DaT");
            const pid_t pid = child(once);
            QVERIFY(pid > 0);
            // Small adds are quicker: half the time brings several of them.
            const double upTo = once ? 1.1 : both ? 4 : 0.5;
            std::this_thread::sleep_for(span * std::uniform_real_distribution(0.0, upTo)(random));
            ::kill(pid, SIGKILL);
            int status = 0;
            QCOMPARE(::waitpid(pid, &status, 0), pid);
            QVERIFY2(WIFSIGNALED(status) || WEXITSTATUS(status) == 0, "a change failed");

            FolderReport report;
            QVERIFY(openFolder(dirPath, &report));
            const QByteArray after = readFile(dir.path(), "SB-Sites.DaT");
            QByteArray expected = before;
            for (int i = 0; !once && !both && expected.size() < after.size(); ++i)
                expected += rec({"small", std::to_string(i).c_str()});
            if (once && !both && after.size() > before.size())
                expected += largeBytes;
            const QByteArray pair = after + readFile(dir.path(), "SB-Acnts.DaT");
            QVERIFY2(both ? pair == oldPair || pair == newPair : after == expected,
                     qPrintable(QString("round %1").arg(round)));
            QCOMPARE(tempFiles(dir.path()), QStringList());
            struckMidway += report.removed.empty() && !report.completed ? 0 : 1;
            if (once && !both)
                writeFile(dir.path(), "SB-Sites.DaT", before);
        }
        ::close(ready[0]);
        ::close(ready[1]);
        QVERIFY(struckMidway > 0);
        QVERIFY(appendRecord(file, small(-1), names));
        long long count = 0;
        QVERIFY(countRecords(file, count));
        QCOMPARE(count, long(readFile(dir.path(), "SB-Sites.DaT").count("\r\n")));
    }
};

QTEST_APPLESS_MAIN(TestStore)
#include "tst_store.moc"
