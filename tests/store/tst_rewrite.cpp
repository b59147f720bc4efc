// Adding, changing and removing records through a temporary file.
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

namespace {

const QByteArray kTwoRecords = "\"a\",\"1\"\r\n\"b\",\"2\"\r\n";

// Keeps every record but "b", which it drops or replaces.
Rule ruleNamed(const QString& name)
{
    return [name](const Record& r) -> RuleAnswer {
        if (name == "keep" || r[0] != "b")
            return Keep{};
        if (name == "drop b")
            return Drop{};
        return Replace{{"B", "new"}};
    };
}

} // namespace

class TestRewrite : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    RecordFile sites() const { return RecordFile::sites(dir_->path().toStdString()); }
    static QStringList tempFiles(const QString& d) { return QDir(d).entryList({"SB-t*.txt"}); }

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void appliesTheRule_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("keep") << "keep" << kTwoRecords;
        QTest::newRow("drop") << "drop b" << QByteArray("\"a\",\"1\"\r\n");
        QTest::newRow("replace") << "replace b" << QByteArray("\"a\",\"1\"\r\n\"B\",\"new\"\r\n");
    }

    void appliesTheRule()
    {
        QFETCH(QString, rule);
        QFETCH(QByteArray, after);
        const QString name = "SB-Sites.DaT";
        writeFile(dir_->path(), name, kTwoRecords);
        std::filesystem::permissions(dir_->filePath(name).toStdString(),
                                     std::filesystem::perms(0640));

        // Writes come back short and interrupted: all must still be written.
        FileOps ops;
        bool interrupted = false;
        ops.write = [&](int fd, const void* data, std::size_t size) -> long {
            if (!std::exchange(interrupted, true))
                return errno = EINTR, -1;
            return ::write(fd, data, std::min<std::size_t>(size, 3));
        };
        TempNameGenerator names;
        const Status s = rewriteRecordFile(sites(), ruleNamed(rule), names, nullptr, ops);
        QVERIFY2(s, s ? "" : s.error().message.c_str());
        QCOMPARE(readFile(dir_->path(), name), after);
        QCOMPARE(modeOf(dir_->filePath(name)), 0640u);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{name});
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
                          : rewriteRecordFile(sites(), ruleNamed("keep"), names, &result));
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
        QVERIFY(rewriteRecordFile(sites(), ruleNamed("replace b"), names));
        QVERIFY(QFileInfo(dir_->filePath("SB-Sites.DaT")).isSymLink());
        QCOMPARE(readFile(dir_->path(), "data/real.dat"), "\"a\",\"1\"\r\n\"B\",\"new\"\r\n");
        QCOMPARE(tempFiles(dir_->path()) + tempFiles(dir_->filePath("data")), QStringList());
    }

    // Whatever step fails, the file is as it was and the message says what
    // failed; a temporary file that stays behind is named. Once the new
    // content is in place, a failed directory sync is no failed change.
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
            row(op, "directory sync", "");
        }
        row("rewrite", "damaged", "record 10001 is cut short");
        row("rewrite", "quote", "double quote");
        row("rewrite", "field count", "1 fields instead of 2");
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
        if (fault != "missing")
            writeFile(dir_->path(), "SB-Sites.DaT", original);

        FileOps ops;
        long budget = fault.section(' ', 1).toLong();
        if (fault.startsWith("write")) // fails once the budget of bytes is spent
            ops.write = [&budget](int fd, const void* data, std::size_t size) -> long {
                budget -= long(size);
                return budget < 0 ? (errno = ENOSPC, -1) : ::write(fd, data, size);
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
        const Record changed{"site 5000", "changed"};
        const Rule rule = [&](const Record& r) -> RuleAnswer {
            if (r[0] != "site 5000")
                return Keep{};
            if (fault == "quote" || fault == "field count")
                return Replace{fault == "quote" ? Record{"say \"hi\"", "x"} : Record{"x"}};
            return Replace{changed};
        };

        TempNameGenerator names;
        RewriteResult result;
        const Status s = op == "add" ? appendRecord(sites(), changed, names, &result, ops)
                                     : rewriteRecordFile(sites(), rule, names, &result, ops);
        const QByteArray after = readFile(dir_->path(), "SB-Sites.DaT");
        QStringList left = tempFiles(dir_->path());
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
        QVERIFY(fault == "missing" ||
                s.error().message.find("the file was not changed") != std::string::npos);
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

QTEST_APPLESS_MAIN(TestRewrite)
#include "tst_rewrite.moc"
