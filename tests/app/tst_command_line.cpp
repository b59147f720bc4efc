// The command line: which folder the program runs on, and which starts it
// refuses before any window exists.
#include "app/command_line.h"

#include <QtTest>

using sb::app::CommandLine;
using Action = CommandLine::Action;

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString root; // canonical path of tmp

    QString canonical(const QString& relative) const
    {
        return QFileInfo(tmp.filePath(relative)).canonicalFilePath();
    }

private slots:
    void initTestCase()
    {
        sb::app::nameProgram();
        QVERIFY(tmp.isValid());
        root = QFileInfo(tmp.path()).canonicalFilePath();
        QVERIFY(QDir(root).mkpath(QStringLiteral("real")));
        QVERIFY(QDir(root).mkpath(QStringLiteral("locked")));
        QVERIFY(QFile::link(tmp.filePath(QStringLiteral("real")),
                            tmp.filePath(QStringLiteral("link"))));
        QFile file(tmp.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(tmp.filePath(QStringLiteral("locked")), {}));
        // Relative folders are taken from the working directory.
        QVERIFY(QDir::setCurrent(root));
    }

    void cleanupTestCase()
    {
        QFile::setPermissions(tmp.filePath(QStringLiteral("locked")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void read_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("dataDir"); // relative to the temporary folder
        QTest::addColumn<QString>("says");    // a part of the text printed

        const auto dir = QStringLiteral("--data-dir");
        QTest::newRow("default: the working directory") << QStringList{} << Action::Run << "."
                                                        << "";
        QTest::newRow("relative folder") << QStringList{dir, "real"} << Action::Run << "real"
                                         << "";
        QTest::newRow("one folder, two spellings")
            << QStringList{"--data-dir=./link/../real/"} << Action::Run << "real"
            << "";
        QTest::newRow("symbolic link: the folder it names")
            << QStringList{dir, "link"} << Action::Run << "real"
            << "";
        QTest::newRow("missing folder") << QStringList{dir, "nowhere"} << Action::Refuse << ""
                                        << "\"nowhere\": No such file or directory";
        QTest::newRow("a file, not a folder") << QStringList{dir, "file"} << Action::Refuse << ""
                                              << "\"file\": Not a directory";
        QTest::newRow("a folder that cannot be entered")
            << QStringList{dir, "locked"} << Action::Refuse << ""
            << "\"locked\": Permission denied";
        QTest::newRow("empty folder name") << QStringList{"--data-dir="} << Action::Refuse << ""
                                           << "empty";
        QTest::newRow("no folder after the option") << QStringList{dir} << Action::Refuse << ""
                                                    << "Missing value after '--data-dir'";
        QTest::newRow("unknown option")
            << QStringList{"--bogus", dir, "real"} << Action::Refuse << ""
            << "Unknown option 'bogus'";
        QTest::newRow("stray argument") << QStringList{"real"} << Action::Refuse << ""
                                        << "unexpected argument 'real'";
        QTest::newRow("help") << QStringList{"--help"} << Action::Print << ""
                              << "--data-dir <DIR>";
        QTest::newRow("help before a bad folder")
            << QStringList{"-h", dir, "nowhere"} << Action::Print << ""
            << "--version";
        QTest::newRow("version") << QStringList{"--version"} << Action::Print << ""
                                 << "Stashbook " STASHBOOK_TEST_VERSION "\n";
        QTest::newRow("version, short") << QStringList{"-v"} << Action::Print << ""
                                        << "Stashbook " STASHBOOK_TEST_VERSION "\n";
    }

    void read()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, dataDir);
        QFETCH(QString, says);
        // Permissions do not stop root.
        if (arguments.contains(QStringLiteral("locked")) &&
            QDir(tmp.filePath(QStringLiteral("locked"))).isReadable())
            QSKIP("this user enters any folder");

        arguments.prepend(QStringLiteral("stashbook"));
        const CommandLine line = sb::app::readCommandLine(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.dataDir, dataDir.isEmpty() ? QString() : canonical(dataDir));
        QVERIFY2(line.text.contains(says), qPrintable(line.text));
        if (action == Action::Refuse)
            QVERIFY2(line.text.startsWith(QStringLiteral("stashbook: ")), qPrintable(line.text));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
