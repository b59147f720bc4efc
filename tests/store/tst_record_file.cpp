#include "store/record_file.h"
#include "store_files.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace sb::store;
using namespace sb::store::testing;

namespace {

const QByteArray kBom = "\xEF\xBB\xBF";
const QByteArray kAB = "\"a\",\"b\"";

Record toRecord(const QStringList& fields)
{
    Record record;
    for (const auto& field : fields)
        record.push_back(field.toStdString());
    return record;
}

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void writesTheFormat_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("site") << QStringList{"Acme", "https://acme.example"}
                              << QByteArray("\"Acme\",\"https://acme.example\"\r\n");
        QTest::newRow("empty fields")
            << QStringList{"", "", "", ""} << QByteArray("\"\",\"\",\"\",\"\"\r\n");
        QTest::newRow("commas, blanks, line ends unchanged")
            << QStringList{" a, b ", "x\r\ny"} << QByteArray("\" a, b \",\"x\r\ny\"\r\n");
        QTest::newRow("UTF-8") << QStringList{"Café", "日本"}
                               << QByteArray("\"Caf\xC3\xA9\",\"\xE6\x97\xA5\xE6\x9C\xAC\"\r\n");
    }

    void writesTheFormat()
    {
        QFETCH(QStringList, fields);
        QFETCH(QByteArray, bytes);
        std::string out = "before";
        QVERIFY(!encodeRecord(toRecord(fields), out));
        QCOMPARE(QByteArray::fromStdString(out), "before" + bytes);

        // A new file is created for the owner alone: it holds passwords.
        QTemporaryDir dir;
        const RecordFile file{dir.path().toStdString(), "x.dat", int(fields.size())};
        QVERIFY(appendRecord(file, toRecord(fields)));
        QVERIFY(appendRecord(file, toRecord(fields)));
        QCOMPARE(readFile(dir.path(), "x.dat"), bytes + bytes);
        QCOMPARE(modeOf(dir.filePath("x.dat")), 0600u);
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fields");
        QTest::addColumn<Records>("expected");
        const Records abcd{{"a", "b"}, {"c", "d"}};
        QTest::newRow("CR LF") << QByteArray("\"a\",\"b\"\r\n\"c\",\"d\"\r\n") << 2 << abcd;
        QTest::newRow("two records on one line")
            << QByteArray("\"a\",\"b\",\"c\",\"d\"\r\n") << 2 << abcd;
        QTest::newRow("line end between all fields")
            << QByteArray("\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n") << 2 << abcd;
        QTest::newRow("no final line end") << QByteArray("\"a\",\"b\"\r\n\"c\",\"d\"") << 2 << abcd;
        QTest::newRow("lone LF, lone CR") << QByteArray("\"a\",\"b\"\n\"c\",\"d\"\r\"e\",\"\"\n")
                                          << 2 << Records{{"a", "b"}, {"c", "d"}, {"e", ""}};
        QTest::newRow("commas, blanks, line ends in quotes")
            << QByteArray("\"a, b \",\"  c\r\nd\",\"\",\"x\"\r\n") << 4
            << Records{{"a, b ", "  c\r\nd", "", "x"}};
        QTest::newRow("blanks around fields")
            << QByteArray("  \"a\" ,  b c  \r\n") << 2 << Records{{"a", "b c"}};
        QTest::newRow("text after closing quote skipped")
            << QByteArray("\"ab\"cd\",\"x\"\r\n") << 2 << Records{{"ab", "x"}};
        QTest::newRow("quote after comma shifts fields")
            << QByteArray("\"ab\",cd\",\"x\",\"y\"\r\n") << 2
            << Records{{"ab", "cd\""}, {"x", "y"}};
        QTest::newRow("blank line is an empty field")
            << QByteArray("\"a\"\r\n\r\n\"c\",\"d\"\r\n") << 2 << Records{{"a", ""}, {"c", "d"}};
        QTest::newRow("byte-order mark") << kBom + "\"a\",\"b\"\r\n\"c\",\"d\"\r\n" << 2 << abcd;
        QTest::newRow("blank lines after last record")
            << QByteArray("\"a\",\"b\"\r\n\"c\",\"d\"\r\n\r\n  \r\n\n") << 2 << abcd;
        QTest::newRow("only blank lines") << QByteArray(" \r\n\r\n") << 2 << Records{};
        QTest::newRow("Windows-1252 and UTF-8 mixed")
            << QByteArray("\"Caf\xE9\",\"Caf\xC3\xA9\"\r\n\"\x80\x81\x9F\",\"\xF0\x9F\x94\x91\"\r\n"
                          "\"\xED\xA0\x80\",\"\xC0\xAF\"\r\n") // a surrogate, an overlong form
            << 2 << Records{{"Café", "Café"}, {"€\u0081Ÿ", "🔑"}, {"í\u00A0€", "À¯"}};
    }

    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fields);
        QFETCH(Records, expected);

        Records inMemory;
        QVERIFY(parseBuffer(bytes.toStdString(), fields, "test",
                            [&](const Record& r) { inMemory << toStrings(r); }));
        QCOMPARE(inMemory, expected);

        QTemporaryDir dir;
        writeFile(dir.path(), "f.dat", bytes);
        const RecordFile file{dir.path().toStdString(), "f.dat", fields};
        Records fromFile;
        bool exists = false;
        QVERIFY(readRecords(
            file, [&](const Record& r) { fromFile << toStrings(r); }, &exists));
        QVERIFY(exists);
        QCOMPARE(fromFile, expected);
        long long count = -1;
        QVERIFY(countRecords(file, count));
        QCOMPARE(count, expected.size());
    }

    void readsRecordsLargerThanTheBuffer()
    {
        // Records of many sizes, up to several times the read buffer, so that
        // the buffer's end cuts records and line ends in many places.
        std::vector<Record> written;
        std::string bytes;
        for (int i = 0; i < 400; ++i) {
            const auto size = std::size_t(i % 50 == 0 ? 700'000 + i : i * 37);
            written.push_back({std::to_string(i), std::string(size, i % 2 ? ',' : 'y')});
            QVERIFY(!encodeRecord(written.back(), bytes));
        }
        QTemporaryDir dir;
        writeFile(dir.path(), "SB-Sites.DaT", QByteArray::fromStdString(bytes));
        std::size_t i = 0;
        QVERIFY(readRecords(RecordFile::sites(dir.path().toStdString()), [&](const Record& r) {
            QVERIFY(i < written.size() && r == written[i]);
            ++i;
        }));
        QCOMPARE(i, written.size());
    }

    void reportsDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fields");
        QTest::addColumn<int>("readBefore");
        QTest::addColumn<QString>("message");
        QTest::newRow("cut short")
            << QByteArray("\"a\",\"b\",\"c\",\"d\"\r\n\"e\",\"f\"\r\n") << 4 << 1
            << "record 2 is cut short: the file ends after field 2 of 4";
        QTest::newRow("comma at end of file")
            << kAB + "\r\n\"c\"," << 2 << 1
            << "record 2 is cut short: the file ends after field 1 of 2";
        QTest::newRow("quote never closed")
            << QByteArray("\"a\",\"b\"\r\n\"c\",\"d\"\r\n\"e, f\r\n") << 2 << 2
            << "record 3 is damaged: field 1 of 2 opens a double quote that is never closed";
    }

    void reportsDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fields);
        QFETCH(int, readBefore);
        QFETCH(QString, message);

        QTemporaryDir dir;
        writeFile(dir.path(), "f.dat", bytes);
        const RecordFile file{dir.path().toStdString(), "f.dat", fields};
        int read = 0;
        const Status s = readRecords(file, [&](const Record&) { ++read; });
        QVERIFY(s.failed());
        QCOMPARE(s.error().file, "f.dat");
        QCOMPARE(QString::fromStdString(s.error().message), message);
        QCOMPARE(read, readBefore);

        long long count = 0;
        const Status counted = countRecords(file, count);
        QVERIFY(counted.failed());
        QCOMPARE(counted.error().message, s.error().message);
        // The new record is not joined to the damage.
        const Status appended = appendRecord(file, Record(std::size_t(fields), "n"));
        QVERIFY(appended.failed());
        QVERIFY(appended.error().message.find(s.error().message) != std::string::npos);
        QCOMPARE(readFile(dir.path(), "f.dat"), bytes);
    }

    void findsNameIgnoringCase_data()
    {
        // "dir:" makes a directory, "name->target" a symbolic link.
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QString>("found");
        const QString sites = "SB-Sites.DaT";
        QTest::newRow("none") << sites << QStringList{} << "";
        QTest::newRow("exact") << sites << QStringList{sites} << sites;
        QTest::newRow("lower case") << sites << QStringList{"sb-sites.dat"} << "sb-sites.dat";
        QTest::newRow("exact wins")
            << sites << QStringList{"SB-SITES.DAT", sites, "sb-sites.dat"} << sites;
        QTest::newRow("smallest spelling")
            << sites << QStringList{"sb-sites.dat", "SB-SITES.DAT"} << "SB-SITES.DAT";
        QTest::newRow("directory skipped")
            << sites << QStringList{"dir:" + sites, "sb-sites.dat"} << "sb-sites.dat";
        QTest::newRow("link to a file") << sites << QStringList{"real", sites + "->real"} << sites;
        QTest::newRow("dangling link") << sites << QStringList{"sb-sites.dat->gone"} << "";
        QTest::newRow("hidden") << ".sb" << QStringList{".sb"} << "";
    }

    void findsNameIgnoringCase()
    {
        QFETCH(QString, wanted);
        QFETCH(QStringList, onDisk);
        QFETCH(QString, found);

        QTemporaryDir dir;
        for (const QString& entry : onDisk) {
            if (entry.startsWith("dir:"))
                QVERIFY(QDir(dir.path()).mkdir(entry.mid(4)));
            else if (entry.contains("->"))
                QVERIFY(
                    QFile::link(entry.section("->", 1), dir.filePath(entry.section("->", 0, 0))));
            else
                writeFile(dir.path(), entry, kAB + "\r\n");
        }
        const RecordFile file{dir.path().toStdString(), wanted.toStdString(), 2};
        QCOMPARE(QString::fromStdString(findOnDisk(file).value_or("")), found);

        // Reading goes to the file found; a missing file reads as empty.
        bool exists = found.isEmpty();
        long long count = -1;
        QVERIFY(countRecords(file, count, &exists));
        QCOMPARE(exists, !found.isEmpty());
        QCOMPARE(count, found.isEmpty() ? 0 : 1);
    }

    void appendGoesToTheNameFoundOnDisk()
    {
        QTemporaryDir dir;
        writeFile(dir.path(), "sb-acnts.dat", "\"s\",\"u\",\"p\",\"x\"\r\n");
        const auto accounts = RecordFile::accounts(dir.path().toStdString());
        QVERIFY(appendRecord(accounts, {"t", "v", "q", "y"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"sb-acnts.dat"});
        Records read;
        QVERIFY(readRecords(accounts, [&](const Record& r) { read << toStrings(r); }));
        QCOMPARE(read, (Records{{"s", "u", "p", "x"}, {"t", "v", "q", "y"}}));
    }

    void appendStartsANewRecord_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // then the new record
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("no final line end") << kAB << kAB + "\r\n";
        QTest::newRow("blanks, no final line end") << kAB + "  " << kAB + "  \r\n";
        QTest::newRow("lone LF") << kAB + "\n" << kAB + "\n";
        QTest::newRow("lone CR") << kAB + "\r" << kAB + "\r";
        QTest::newRow("blank lines after last record") << kAB + "\r\n\r\n \r\n" << kAB + "\r\n";
        QTest::newRow("blank line as last field")
            << QByteArray("\"a\"\r\n\r\n") << QByteArray("\"a\"\r\n\r\n");
        QTest::newRow("byte-order mark only") << kBom << kBom;
    }

    void appendStartsANewRecord()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        writeFile(dir.path(), "SB-Sites.DaT", before);
        QVERIFY(appendRecord(RecordFile::sites(dir.path().toStdString()), {"n", "x"}));
        QCOMPARE(readFile(dir.path(), "SB-Sites.DaT"), after + "\"n\",\"x\"\r\n");
    }

    void appendRefuses_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("message");
        QTest::newRow("double quote") << QStringList{"a", "say \"hi\""} << ""
                                      << "field 2 holds a double quote";
        QTest::newRow("field missing") << QStringList{"a"} << ""
                                       << "1 fields instead of 2";
        QTest::newRow("no directory")
            << QStringList{"a", "b"} << "gone" << QString(std::strerror(ENOENT));
    }

    void appendRefuses()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, dir);
        QFETCH(QString, message);
        QTemporaryDir temp;
        const Status s =
            appendRecord(RecordFile::sites(temp.filePath(dir).toStdString()), toRecord(fields));
        QVERIFY(s.failed());
        QCOMPARE(s.error().file, kSitesFileName);
        QVERIFY2(QString::fromStdString(s.error().message).contains(message),
                 s.error().message.c_str());
        QCOMPARE(QDir(temp.path()).entryList(QDir::Files), QStringList());

        if (message.contains("double quote")) {
            std::string out = "before";
            QVERIFY(encodeRecord(toRecord(fields), out));
            QCOMPARE(out, "before");
        }
    }
};

QTEST_APPLESS_MAIN(TestRecordFile)
#include "tst_record_file.moc"
