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

// Drops "a", replaces "b" and keeps every other record.
RuleAnswer dropAReplaceB(const Record& r)
{
    if (r[0] == "a")
        return Drop{};
    return r[0] == "b" ? RuleAnswer(Replace{{"B", "new"}}) : Keep{};
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

QTEST_APPLESS_MAIN(TestRewrite)
#include "tst_rewrite.moc"
