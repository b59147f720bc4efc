#include "store/rewrite.h"
#include "store_files.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace sb::store;
using namespace sb::store::testing;

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

    QString path(const QString& name = "SB-Sites.DaT") const { return dir_->filePath(name); }
    RecordFile sites() const { return RecordFile::sites(dir_->path().toStdString()); }

    std::unique_ptr<QTemporaryDir> dir_;

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void appliesTheRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QByteArray>("after");
        const QString sites = "SB-Sites.DaT";
        QTest::newRow("keep") << sites << kTwoRecords << "keep" << kTwoRecords;
        QTest::newRow("drop") << sites << kTwoRecords << "drop b" << QByteArray("\"a\",\"1\"\r\n");
        QTest::newRow("replace") << sites << kTwoRecords << "replace b"
                                 << QByteArray("\"a\",\"1\"\r\n\"B\",\"new\"\r\n");
        QTest::newRow("lower-case name on disk")
            << "sb-sites.dat" << kTwoRecords << "drop b" << QByteArray("\"a\",\"1\"\r\n");
        QTest::newRow("keep puts every record in the writer's form")
            << sites << QByteArray("\xEF\xBB\xBF a , 1\n\"b\"\r\n\"2\"\r\n\r\n") << "keep"
            << kTwoRecords;
        QTest::newRow("keep writes Windows-1252 as UTF-8")
            << sites << QByteArray("\"Caf\xE9\",\"1\"\r\n") << "keep"
            << QByteArray("\"Caf\xC3\xA9\",\"1\"\r\n");
        QTest::newRow("empty file stays empty") << sites << QByteArray() << "keep" << QByteArray();
        QTest::newRow("dropping every record")
            << sites << QByteArray("\"b\",\"2\"") << "drop b" << QByteArray();
    }

    void appliesTheRule()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, before);
        QFETCH(QString, rule);
        QFETCH(QByteArray, after);
        writeFile(dir_->path(), name, before);
        QVERIFY(::chmod(QFile::encodeName(path(name)).constData(), 0640) == 0);

        // Writes come back short and interrupted: all must still be written.
        FileOps ops = FileOps::system();
        bool interrupted = false;
        ops.write = [&](int fd, const void* data, std::size_t size) -> long {
            if (!std::exchange(interrupted, true))
                return errno = EINTR, -1;
            return ::write(fd, data, std::min<std::size_t>(size, 3));
        };
        TempNameGenerator names;
        RewriteResult result;
        const Status s = rewriteRecordFile(sites(), ruleNamed(rule), names, &result, ops);
        QVERIFY2(s, s ? "" : s.error().message.c_str());
        QCOMPARE(readFile(dir_->path(), name), after);
        QCOMPARE(modeOf(path(name)), 0640u);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{name});
        QCOMPARE(result.tempName, TempNameGenerator::nameFor(TempNameGenerator().next()));
    }

    void neverOpensAnExistingTempFile()
    {
        writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
        TempNameGenerator expected;
        const auto taken = QString::fromStdString(TempNameGenerator::nameFor(expected.next()));
        writeFile(dir_->path(), taken, "only copy");

        TempNameGenerator names;
        RewriteResult result;
        QVERIFY(rewriteRecordFile(sites(), ruleNamed("keep"), names, &result));
        QCOMPARE(result.tempName, TempNameGenerator::nameFor(expected.next()));
        QCOMPARE(readFile(dir_->path(), taken), "only copy");
        QCOMPARE(tempFiles(dir_->path()), QStringList{taken});
    }

    void successiveRewritesDrawSuccessiveNumbers()
    {
        writeFile(dir_->path(), "SB-Sites.DaT", kTwoRecords);
        TempNameGenerator names, expected;
        for (int i = 0; i < 2; ++i) {
            RewriteResult result;
            QVERIFY(rewriteRecordFile(sites(), ruleNamed("keep"), names, &result));
            QCOMPARE(result.tempName, TempNameGenerator::nameFor(expected.next()));
        }
        for (int i = 0; i < 100000; ++i) {
            const int n = expected.next();
            QVERIFY(n >= 1 && n <= 10000);
        }
    }

    void keepsSymbolicLink()
    {
        QVERIFY(QDir(dir_->path()).mkdir("data"));
        writeFile(dir_->path(), "data/real.dat", kTwoRecords);
        QVERIFY(QFile::link("data/real.dat", path()));
        TempNameGenerator names;
        QVERIFY(rewriteRecordFile(sites(), ruleNamed("drop b"), names));
        QVERIFY(QFileInfo(path()).isSymLink());
        QCOMPARE(readFile(dir_->path(), "data/real.dat"), "\"a\",\"1\"\r\n");
        QCOMPARE(tempFiles(dir_->path()) + tempFiles(path("data")), QStringList());
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

        FileOps ops = FileOps::system();
        long budget = fault.section(' ', 1).toLong();
        if (fault.startsWith("write")) {
            ops.write = [&budget](int fd, const void* data, std::size_t size) -> long {
                if (budget <= 0)
                    return errno = ENOSPC, -1;
                const long n = ::write(fd, data, std::min<std::size_t>(size, std::size_t(budget)));
                budget -= n;
                return n;
            };
        }
        if (fault == "fsync")
            ops.fsync = [](int) { return errno = EIO, -1; };
        if (fault == "rename")
            ops.rename = [](const char*, const char*) { return errno = EXDEV, -1; };
        const Rule rule = [&fault](const Record& r) -> RuleAnswer {
            if (r[0] == "site 5000" && fault == "quote")
                return Replace{{"say \"hi\"", "x"}};
            if (r[0] == "site 5000" && fault == "field count")
                return Replace{{"x"}};
            return Keep{};
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
