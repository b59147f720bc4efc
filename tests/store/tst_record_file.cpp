// Reading and appending records, byte for byte, and what a record file is.
#include "store/record_file.h"
#include "store/rewrite.h"
#include "support/files.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace sb::store;
using namespace sb::test;
using Records = QList<QStringList>;

const QByteArray kAB = "\"a\",\"b\"";

class TestRecordFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    RecordFile at(const QString& name, int fields) const
    {
        return {dir_->path().toStdString(), name.toStdString(), fields};
    }

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
        QVERIFY(appendRecord(RecordFile::sites(dir_->path().toStdString()),
                             {"", " a, b\r\nCaf\xC3\xA9 "}, names));
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
        QTest::addColumn<bool>("sites");
        QTest::addColumn<bool>("lowerCase");
        for (const char* kind :
             {"named pipe", "directory", "link to /dev/zero", "loop of links", "unreadable"}) {
            for (const bool sites : {true, false}) {
                for (const bool lowerCase : {false, true})
                    QTest::addRow("%s, %s%s", kind, sites ? "sites" : "accounts",
                                  lowerCase ? " in lower case" : "")
                        << kind << sites << lowerCase;
            }
        }
    }

    void refusesOtherThanRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, sites);
        QFETCH(bool, lowerCase);
        const RecordFile file = sites ? RecordFile::sites(dir_->path().toStdString())
                                      : RecordFile::accounts(dir_->path().toStdString());
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
};

QTEST_APPLESS_MAIN(TestRecordFile)
#include "tst_record_file.moc"
