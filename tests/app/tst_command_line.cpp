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
        QVERIFY(QDir(root).mkpath("real"));
        QVERIFY(QDir(root).mkpath("locked"));
        QVERIFY(QFile::link(tmp.filePath("real"), tmp.filePath("link")));
        QFile file(tmp.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(tmp.filePath("locked"), {}));
        // Relative folders are taken from the working directory.
        QVERIFY(QDir::setCurrent(root));
    }

    void cleanupTestCase()
    {
        QFile::setPermissions(tmp.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void read_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("dataDir"); // relative to the temporary folder
        QTest::addColumn<QString>("says");    // a part of the text printed

        auto row = [](const char* name, const QStringList& arguments, Action action,
                      const char* dataDir, const char* says) {
            QTest::newRow(name) << arguments << action << QString(dataDir) << QString(says);
        };
        const QString dir = "--data-dir";
        row("default: the working directory", {}, Action::Run, ".", "");
        row("relative folder", {dir, "real"}, Action::Run, "real", "");
        row("one folder, two spellings", {"--data-dir=./link/../real/"}, Action::Run, "real", "");
        row("symbolic link: the folder it names", {dir, "link"}, Action::Run, "real", "");
        row("missing folder", {dir, "nowhere"}, Action::Refuse, "",
            "\"nowhere\": No such file or directory");
        row("a file, not a folder", {dir, "file"}, Action::Refuse, "", "\"file\": Not a directory");
        row("a folder that cannot be entered", {dir, "locked"}, Action::Refuse, "",
            "\"locked\": Permission denied");
        row("empty folder name", {"--data-dir="}, Action::Refuse, "", "empty");
        row("no folder after the option", {dir}, Action::Refuse, "",
            "Missing value after '--data-dir'");
        row("unknown option", {"--bogus", dir, "real"}, Action::Refuse, "",
            "Unknown option 'bogus'");
        row("stray argument", {"real"}, Action::Refuse, "", "unexpected argument 'real'");
        row("help", {"--help"}, Action::Print, "", "--data-dir <DIR>");
        row("help before a bad folder", {"-h", dir, "nowhere"}, Action::Print, "", "--version");
        row("version", {"--version"}, Action::Print, "", "Stashbook " STASHBOOK_TEST_VERSION "\n");
        row("version, short", {"-v"}, Action::Print, "", "Stashbook " STASHBOOK_TEST_VERSION "\n");
    }

    void read()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, dataDir);
        QFETCH(QString, says);
        // Permissions do not stop root.
        if (arguments.contains("locked") && QDir(tmp.filePath("locked")).isReadable())
            QSKIP("this user enters any folder");

        arguments.prepend("stashbook");
        const CommandLine line = sb::app::readCommandLine(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.dataDir, dataDir.isEmpty() ? QString() : canonical(dataDir));
        QVERIFY2(line.text.contains(says), qPrintable(line.text));
        if (action == Action::Refuse)
            QVERIFY2(line.text.startsWith("stashbook: "), qPrintable(line.text));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
