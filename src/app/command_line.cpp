#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace sb::app {

namespace fs = std::filesystem;

namespace {

// A file whose name the program may look up inside the data folder: its
// status tells whether the folder can be entered.
constexpr const char* kProbeName = "SB-Sites.DaT";

// Why the folder `given` cannot hold the record files, or an empty string.
QString folderProblem(const QString& given)
{
    const fs::path dir = QFileInfo(given).filesystemAbsoluteFilePath();
    std::error_code ec;
    const fs::file_status status = fs::status(dir, ec);
    if (ec)
        return QString::fromStdString(ec.message());
    if (!fs::is_directory(status))
        return QString::fromStdString(std::make_error_code(std::errc::not_a_directory).message());
    // Listing finds a record file saved in other letter case; looking a
    // name up needs the right to enter the folder.
    fs::directory_iterator listing(dir, ec);
    if (ec)
        return QString::fromStdString(ec.message());
    (void)fs::status(dir / kProbeName, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        return QString::fromStdString(ec.message());
    return {};
}

// The options Qt's application object takes out of the command line itself
// (with one dash or two): they are let through here, and the application
// object made afterwards acts on them.
void addQtOptions(QCommandLineParser& parser)
{
    const auto add = [&parser](const char* names, const QString& valueName) {
        for (const QString& name : QString::fromLatin1(names).split(QLatin1Char(' '))) {
            QCommandLineOption o(name, {}, valueName);
            o.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(o);
        }
    };
    add("platform platformpluginpath platformtheme plugin qwindowgeometry geometry qwindowicon "
        "icon qwindowtitle title session qmljsdebugger style stylesheet display name visual",
        QStringLiteral("value"));
    add("reverse testability widgetcount qdevel qdebug nograb dograb", {});
}

CommandLine refuse(const QString& program, const QString& message)
{
    return {CommandLine::Action::Refuse,
            program + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + program +
                QStringLiteral(" --help' for more information."),
            {}};
}

const QString kClipboardKey = QStringLiteral("clipboard-seconds");

// A number of seconds from 0 to kMaxClipboardSeconds, or -1.
int clipboardSeconds(const QString& text)
{
    bool ok = false;
    const int seconds = text.trimmed().toInt(&ok);
    return ok && seconds >= 0 && seconds <= kMaxClipboardSeconds ? seconds : -1;
}

} // namespace

QSettings programSettings()
{
    return QSettings(QStringLiteral("Stashbook"), QStringLiteral("Stashbook"));
}

void nameProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Stashbook"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STASHBOOK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(STASHBOOK_APP_ID));
}

CommandLine readCommandLine(const QStringList& arguments)
{
    const QString program =
        arguments.isEmpty() ? QStringLiteral("stashbook") : QFileInfo(arguments[0]).fileName();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps web sites and the accounts you hold there in two plain text files,\n"
                       "SB-Sites.DaT and SB-Acnts.DaT, in its data folder."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and ends."));
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("The folder that holds the record files (default: the working directory)."),
        QStringLiteral("DIR"));
    const QCommandLineOption toggle(
        QStringLiteral("toggle"),
        QStringLiteral("Shows the window of the Stashbook running on the data folder if it is "
                       "hidden, and hides it if it is shown; starts Stashbook when none runs. "
                       "Bind a key to this where the desktop gives programs no global key."));
    const QCommandLineOption clipboard(
        kClipboardKey,
        QStringLiteral("How many seconds a copied password stays on the clipboard (0: until "
                       "Stashbook ends; default: %1, or \"%2\" in the settings file).")
            .arg(kClipboardSeconds)
            .arg(kClipboardKey),
        QStringLiteral("N"));
    parser.addOptions({help, version, dataDir, toggle, clipboard});
    // Qt's options are words after a single dash ("-platform xcb").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addQtOptions(parser);

    if (!parser.parse(arguments))
        return refuse(program, parser.errorText());
    if (parser.isSet(help))
        // Before the application object exists, Qt knows no program name.
        return {CommandLine::Action::Print,
                parser.helpText().replace(QStringLiteral("<executable_name>"), arguments.value(0)),
                {}};
    if (parser.isSet(version))
        return {CommandLine::Action::Print,
                QCoreApplication::applicationName() + QLatin1Char(' ') +
                    QCoreApplication::applicationVersion() + QLatin1Char('\n'),
                {}};
    if (!parser.positionalArguments().isEmpty())
        return refuse(program, QStringLiteral("unexpected argument '%1'.")
                                   .arg(parser.positionalArguments().constFirst()));

    const QString given = parser.isSet(dataDir) ? parser.value(dataDir) : QStringLiteral(".");
    if (given.isEmpty())
        return refuse(program, QStringLiteral("the data folder given is empty."));
    const QString problem = folderProblem(given);
    if (!problem.isEmpty())
        return refuse(program,
                      QStringLiteral("cannot use the data folder \"%1\": %2.").arg(given, problem));
    int seconds = kClipboardSeconds;
    if (parser.isSet(clipboard)) {
        seconds = clipboardSeconds(parser.value(clipboard));
        if (seconds < 0)
            return refuse(program, QStringLiteral("--clipboard-seconds takes a whole number of "
                                                  "seconds from 0 to %1, not \"%2\".")
                                       .arg(kMaxClipboardSeconds)
                                       .arg(parser.value(clipboard)));
    } else if (const QVariant saved = programSettings().value(kClipboardKey); saved.isValid()) {
        seconds = clipboardSeconds(saved.toString());
        if (seconds < 0) {
            qWarning("Stashbook: ignoring \"%s\" in the settings file: not a number of seconds "
                     "from 0 to %d",
                     qUtf8Printable(kClipboardKey), kMaxClipboardSeconds);
            seconds = kClipboardSeconds;
        }
    }
    return {CommandLine::Action::Run,
            {},
            QFileInfo(given).canonicalFilePath(),
            parser.isSet(toggle),
            seconds};
}

int printCommandLineOutcome(const CommandLine& line)
{
    switch (line.action) {
    case CommandLine::Action::Run:
        break;
    case CommandLine::Action::Print:
        std::fputs(qPrintable(line.text), stdout);
        return 0;
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "%s\n", qPrintable(line.text));
        return kUsageError;
    }
    return 0;
}

} // namespace sb::app
