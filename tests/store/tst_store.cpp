// The record files: reading and appending records byte for byte, what a
// record file is, and adding, changing and removing records through a
// temporary file.
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
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace sb::store;
using namespace sb::test;
using Records = QList<QStringList>;

namespace {

const QByteArray kAB = "\"a\",\"b\"";
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
    RecordFile at(const QString& name, int fields) const
    {
        return {dir_->path().toStdString(), name.toStdString(), fields};
    }
    RecordFile sites() const { return RecordFile::sites(dir_->path().toStdString()); }
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
    // and never open a file that exists: it may hold the only copy of a
    // record file.
    void temporaryNames()
    {
        writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
        TempNameGenerator names, expected;
        const auto taken = QString::fromStdString(TempNameGenerator::nameFor(expected.next()));
        writeFile(dir_->path(), taken, "only copy");
        for (int i = 0; i < 4; ++i) {
            RewriteResult result;
            QVERIFY(i % 2 ? appendRecord(sites(), {"c", "3"}, names, &result)
                          : rewriteRecordFile(sites(), dropAReplaceB, names, &result));
            QCOMPARE(result.tempName, TempNameGenerator::nameFor(expected.next()));
        }
        QCOMPARE(readFile(dir_->path(), taken), "only copy");
        QCOMPARE(tempFiles(dir_->path()), QStringList{taken});
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

    // Whatever step fails, the file is as it was, with its permissions, and
    // the message says what failed; a temporary file that stays behind is
    // named. Once the new content is in place, a failed directory sync is no
    // failed change; writes that come back short or interrupted are no
    // failure either.
    void failureLeavesFileUntouched_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // empty: the change succeeds
        auto row = [](const char* op, const char* fault, const QString& message) {
            QTest::addRow("%s: %s", op, fault) << op << fault << message;
        };
        for (const char* op : {"add", "rewrite"}) {
            row(op, "write 0", std::strerror(ENOSPC));
            row(op, "write 300000", std::strerror(ENOSPC)); // half-way
            row(op, "fsync", std::strerror(EIO));
            row(op, "close", "cannot write the temporary file");
            row(op, "rename", std::strerror(EXDEV));
            row(op, "unlink", "could not be deleted"); // after the rename failed
            row(op, "quote", "double quote");
            row(op, "field count", "1 fields instead of 2");
            row(op, "directory sync", "");
            row(op, "short writes", "");
        }
        row("add", "no directory", std::strerror(ENOENT));
        row("rewrite", "damaged", "record 10001 is cut short");
        row("rewrite", "missing", "does not exist");
    }

    void failureLeavesFileUntouched()
    {
        QFETCH(QString, op);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        // Larger than the write buffer, so that the temporary file has been
        // written to when the late faults strike.
        QByteArray original;
        for (int i = 0; i < 10000; ++i)
            original += "\"site " + QByteArray::number(i) + "\",\"https://example.com/login\"\r\n";
        if (fault == "damaged")
            original += "\"cut\",";
        const QString path = dir_->filePath("SB-Sites.DaT");
        if (fault != "missing") {
            writeFile(dir_->path(), "SB-Sites.DaT", original);
            QVERIFY(QFile::setPermissions(path,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        }

        FileOps ops;
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
        if (fault == "fsync" || fault == "directory sync")
            ops.fsync = [&fault](int fd) {
                struct stat st;
                if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) == (fault == "fsync"))
                    return ::fsync(fd);
                return errno = EIO, -1;
            };
        if (fault == "close")
            ops.close = [](int fd) { return ::close(fd), errno = EIO, -1; };
        if (fault == "rename" || fault == "unlink")
            ops.rename = [](const char*, const char*) { return errno = EXDEV, -1; };
        if (fault == "unlink")
            ops.unlink = [](const char*) { return errno = EBUSY, -1; };
        Record changed{"site 5000", "changed"};
        if (fault == "quote" || fault == "field count")
            changed = fault == "quote" ? Record{"say \"hi\"", "x"} : Record{"x"};
        const Rule rule = [&](const Record& r) -> RuleAnswer {
            return r[0] == "site 5000" ? RuleAnswer(Replace{changed}) : Keep{};
        };
        const RecordFile file =
            RecordFile::sites(dir_->filePath(fault == "no directory" ? "gone" : "").toStdString());

        TempNameGenerator names;
        RewriteResult result;
        const Status s = op == "add" ? appendRecord(file, changed, names, &result, ops)
                                     : rewriteRecordFile(file, rule, names, &result, ops);
        const QByteArray after = readFile(dir_->path(), "SB-Sites.DaT");
        QStringList left = tempFiles(dir_->path());
        if (fault != "missing")
            QCOMPARE(modeOf(path), 0640u);
        if (message.isEmpty()) {
            QVERIFY2(s, s ? "" : s.error().message.c_str());
            QVERIFY(after == (op == "add" ? original + rec({"site 5000", "changed"})
                                          : QByteArray(original).replace(
                                                rec({"site 5000", "https://example.com/login"}),
                                                rec({"site 5000", "changed"}))));
            QCOMPARE(left, QStringList());
            return;
        }
        QVERIFY(s.failed());
        QCOMPARE(s.error().file, kSitesFileName);
        QVERIFY2(QString::fromStdString(s.error().message).contains(message),
                 s.error().message.c_str());
        // An add refuses a record before it opens any file.
        const bool opened = fault != "missing" && fault != "no directory" &&
                            (op == "rewrite" || (fault != "quote" && fault != "field count"));
        QVERIFY(!opened || s.error().message.find("the file was not changed") != std::string::npos);
        QVERIFY(after == (fault == "missing" ? "" : original));
        if (fault == "unlink") {
            QVERIFY(s.error().message.find(result.tempName) != std::string::npos);
            QCOMPARE(left, QStringList{QString::fromStdString(result.tempName)});
        } else {
            QCOMPARE(left, QStringList());
        }
    }

    // A child adds records, one large or many small, and is killed at random
    // moments: every time the file holds exactly the records added before,
    // never part of one, and the next change works. The moments fall within
    // the time one large add takes, so they strike every step of it.
    void killedAddLeavesOldOrNew()
    {
        // Only the process dies, not the machine: a folder in memory keeps
        // the syncs from setting the pace.
        const QString shm = "/dev/shm";
        QTemporaryDir dir(QFileInfo(shm).isWritable() ? shm + "/stashbook-XXXXXX" : QString());
        const RecordFile file = RecordFile::sites(dir.path().toStdString());
        writeFile(dir.path(), "SB-Sites.DaT", kTwoRecords);
        const Record large{"large", std::string(2 << 20, 'x')};
        const QByteArray largeBytes = rec({"large", large[1].c_str()});
        auto small = [](int i) { return Record{"small", std::to_string(i)}; };
        TempNameGenerator names;

        // A child is started once it says so on `ready`, so that the time it
        // takes to fork does not count; it exits 0 when its adds succeeded.
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        auto child = [&](bool addLarge) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                TempNameGenerator names;
                bool ok = ::write(ready[1], "!", 1) == 1;
                ok = ok && (!addLarge || appendRecord(file, large, names));
                for (int i = 0; ok && !addLarge && i < 1000; ++i)
                    ok = bool(appendRecord(file, small(i), names));
                ::_exit(ok ? 0 : 1);
            }
            char started;
            return pid > 0 && ::read(ready[0], &started, 1) == 1 ? pid : -1;
        };

        // How long a child takes to add the large record when left alone.
        std::vector<qint64> spans;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            const pid_t pid = child(true);
            timer.start();
            int status = 0;
            QVERIFY(::waitpid(pid, &status, 0) == pid && status == 0);
            spans.push_back(timer.nsecsElapsed());
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
        for (int round = 0; round < 300 && (round < 40 || clock.elapsed() < 2500); ++round) {
            const bool addLarge = round % 2 == 0;
            const QByteArray before = readFile(dir.path(), "SB-Sites.DaT");
            const pid_t pid = child(addLarge);
            QVERIFY(pid > 0);
            // Small adds are quicker: half the time brings several of them.
            const double upTo = addLarge ? 1.1 : 0.5;
            std::this_thread::sleep_for(span * std::uniform_real_distribution(0.0, upTo)(random));
            ::kill(pid, SIGKILL);
            int status = 0;
            QCOMPARE(::waitpid(pid, &status, 0), pid);
            QVERIFY2(WIFSIGNALED(status) || WEXITSTATUS(status) == 0, "an add failed");

            const QByteArray after = readFile(dir.path(), "SB-Sites.DaT");
            QByteArray expected = before;
            for (int i = 0; !addLarge && expected.size() < after.size(); ++i)
                expected += rec({"small", std::to_string(i).c_str()});
            if (addLarge && after.size() > before.size())
                expected += largeBytes;
            QVERIFY2(after == expected, qPrintable(QString("round %1").arg(round)));

            // Temporary files of killed adds stay behind; they are never
            // used again, and deleting them is the user's business.
            const QStringList left = tempFiles(dir.path());
            struckMidway += left.isEmpty() ? 0 : 1;
            for (const QString& name : left)
                QVERIFY(QFile::remove(dir.filePath(name)));
            if (addLarge)
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
