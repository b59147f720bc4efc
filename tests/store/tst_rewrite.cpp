// Changing and removing records through a temporary file.
#include "store/rewrite.h"
#include "support/files.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
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
        QTest::addColumn<QString>("name");
        QTest::newRow("keep") << "keep" << kTwoRecords << "SB-Sites.DaT";
        QTest::newRow("drop") << "drop b" << QByteArray("\"a\",\"1\"\r\n") << "SB-Sites.DaT";
        QTest::newRow("replace") << "replace b" << QByteArray("\"a\",\"1\"\r\n\"B\",\"new\"\r\n")
                                 << "SB-Sites.DaT";
        QTest::newRow("lower-case name on disk")
            << "drop b" << QByteArray("\"a\",\"1\"\r\n") << "sb-sites.dat";
    }

    void appliesTheRule()
    {
        QFETCH(QString, rule);
        QFETCH(QByteArray, after);
        QFETCH(QString, name);
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

    // Successive rewrites draw successive numbers, and never
    // open a file that exists: it may hold the only copy of a record file.
    void temporaryNames()
    {
        writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
        TempNameGenerator names, expected;
        const auto taken = QString::fromStdString(TempNameGenerator::nameFor(expected.next()));
        writeFile(dir_->path(), taken, "only copy");
        for (int i = 0; i < 2; ++i) {
            RewriteResult result;
            QVERIFY(rewriteRecordFile(sites(), ruleNamed("keep"), names, &result));
            QCOMPARE(result.tempName, TempNameGenerator::nameFor(expected.next()));
        }
        QCOMPARE(readFile(dir_->path(), taken), "only copy");
        QCOMPARE(tempFiles(dir_->path()), QStringList{taken});
    }

    void keepsSymbolicLink()
    {
        QVERIFY(QDir(dir_->path()).mkdir("data"));
        writeFile(dir_->path(), "data/real.dat", kTwoRecords);
        QVERIFY(QFile::link("data/real.dat", dir_->filePath("SB-Sites.DaT")));
        TempNameGenerator names;
        QVERIFY(rewriteRecordFile(sites(), ruleNamed("drop b"), names));
        QVERIFY(QFileInfo(dir_->filePath("SB-Sites.DaT")).isSymLink());
        QCOMPARE(readFile(dir_->path(), "data/real.dat"), "\"a\",\"1\"\r\n");
        QCOMPARE(tempFiles(dir_->path()) + tempFiles(dir_->filePath("data")), QStringList());
    }

    void failureLeavesFileUntouched_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("write fails at once") << "write 0" << QString(std::strerror(ENOSPC));
        QTest::newRow("write fails half-way") << "write 300000" << QString(std::strerror(ENOSPC));
        QTest::newRow("fsync fails") << "fsync" << QString(std::strerror(EIO));
        QTest::newRow("rename fails") << "rename" << QString(std::strerror(EXDEV));
        QTest::newRow("source cut short") << "damaged"
                                          << "record 10001 is cut short";
        QTest::newRow("replacement holds a quote") << "quote"
                                                   << "double quote";
        QTest::newRow("replacement lacks a field") << "field count"
                                                   << "1 fields instead of 2";
        QTest::newRow("file missing") << "missing"
                                      << "does not exist";
    }

    void failureLeavesFileUntouched()
    {
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
        if (fault == "fsync")
            ops.fsync = [](int) { return errno = EIO, -1; };
        if (fault == "rename")
            ops.rename = [](const char*, const char*) { return errno = EXDEV, -1; };
        const Rule rule = [&fault](const Record& r) -> RuleAnswer {
            if (r[0] != "site 5000" || (fault != "quote" && fault != "field count"))
                return Keep{};
            return Replace{fault == "quote" ? Record{"say \"hi\"", "x"} : Record{"x"}};
        };

        TempNameGenerator names;
        RewriteResult result;
        const Status s = rewriteRecordFile(sites(), rule, names, &result, ops);
        QVERIFY(s.failed());
        QCOMPARE(s.error().file, kSitesFileName);
        QVERIFY2(QString::fromStdString(s.error().message).contains(message),
                 s.error().message.c_str());
        QVERIFY(readFile(dir_->path(), "SB-Sites.DaT") == (fault == "missing" ? "" : original));
        QCOMPARE(result.tempName.empty(), fault == "missing");
        QCOMPARE(tempFiles(dir_->path()), QStringList());
    }
};

QTEST_APPLESS_MAIN(TestRewrite)
#include "tst_rewrite.moc"
