#include "cli/command.h"

#include "history/undo_history.h"
#include "rules/data_store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace sb::cli {

namespace {

const QString kProgram = QStringLiteral("stashbook-cli");

// A message on one line: the boxes' line breaks become blanks, the blank
// line between a file's name and its trouble a colon.
QString oneLine(QString text)
{
    return text.replace(QStringLiteral("\n\n"), QStringLiteral(": "))
        .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
        .replace(u'\n', u' ');
}

void printError(const QString& message)
{
    std::fputs(qUtf8Printable(kProgram + QStringLiteral(": ") + message + u'\n'), stderr);
}

// `text` in lines of at most `width` characters, all but the first indented
// by `indent` blanks.
QString wrapped(const QString& text, int width, int indent)
{
    QString out, line;
    for (const QString& word : text.split(u' ')) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            out += line + u'\n' + QString(indent, u' ');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return out + line;
}

QString helpText(const QCommandLineParser& parser, const Command* command)
{
    QString text = parser.helpText();
    // The program's name, not the path it was started by.
    text.replace(0, text.indexOf(QStringLiteral(" [options]")),
                 QStringLiteral("Usage: ") + kProgram);
    if (command) // the command's name needs no line of its own
        return text.left(text.indexOf(QStringLiteral("\nArguments:")) + 1);
    return text.replace(QStringLiteral("[options]"),
                        QStringLiteral("[options] COMMAND [ARGUMENTS]"));
}

QString globalHelp(const QCommandLineParser& parser,
                   const std::vector<std::unique_ptr<Command>>& commands)
{
    QString text = helpText(parser, nullptr) + QStringLiteral("\nCommands:\n");
    for (const auto& c : commands) {
        const QString synopsis = c->name + u' ' + c->arguments;
        text += QStringLiteral("  ") + synopsis.leftJustified(24) + u' ' +
                wrapped(c->description, 52, 27) + u'\n';
    }
    return text + QStringLiteral("\nRun '") + kProgram +
           QStringLiteral(" COMMAND --help' for the options of a command.\n");
}

} // namespace

// --- Prompter -------------------------------------------------------------------

void Prompter::answer(const QString& title, std::optional<bool> yes, const QString& options)
{
    answers_[title] = {yes, options};
}

void Prompter::error(const QString& title, const QString& text)
{
    // A file error names its file in the title.
    const QString fileError = rules::DataStore::fileErrorTitle({});
    printError(title.startsWith(fileError)
                   ? title.mid(fileError.size()) + QStringLiteral(": ") + oneLine(text)
                   : oneLine(text));
}

bool Prompter::ask(const QString& title, const QString& text)
{
    const auto it = answers_.find(title);
    if (it != answers_.end() && it->second.yes)
        return *it->second.yes;
    stopped_ = true;
    usage(QStringLiteral("\"%1\" needs an answer: give %2.")
              .arg(oneLine(text), it != answers_.end() ? it->second.options : QString()));
    return false;
}

int Prompter::statusOf(rules::Outcome outcome) const
{
    if (stopped_)
        return kUsage;
    if (outcome == rules::Outcome::Done)
        return kDone;
    return outcome == rules::Outcome::Failed ? kFileError : kRefused;
}

int Prompter::usage(const QString& message)
{
    printError(message + QStringLiteral("\nTry '") + kProgram +
               QStringLiteral(" --help' for more information."));
    return kUsage;
}

// --- Output ---------------------------------------------------------------------

void print(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void printJson(const QJsonValue& value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    const QByteArray bytes = document.toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void print(std::string_view utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

namespace {

// Whether `text` holds a byte JSON must escape: a control character, a
// double quote or a backslash. Eight bytes at a time: nearly no name does.
bool needsEscapes(std::string_view text)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    std::uint64_t found = 0;
    for (size_t i = 0; i < text.size(); i += 8) {
        std::uint64_t word = ones * ' '; // the bytes past the end are blanks
        std::memcpy(&word, text.data() + i, std::min<size_t>(8, text.size() - i));
        // A byte below 0x20 borrows, and so does a zero byte of the
        // differences; the bytes sought are ASCII, so a byte's high bit is
        // that of its differences.
        const std::uint64_t quote = word ^ (ones * '"'), backslash = word ^ (ones * '\\');
        found |= ((word - ones * 0x20) | (quote - ones) | (backslash - ones)) & ~word & highs;
    }
    return found != 0;
}

} // namespace

void Listing::add(std::initializer_list<std::pair<const char*, std::string_view>> fields)
{
    constexpr size_t kPiece = 64 * 1024;
    if (buffer_.size() >= kPiece) {
        print(buffer_);
        buffer_.clear();
    }
    if (!json_) {
        const char* tab = "";
        for (const auto& field : fields) {
            buffer_.append(tab).append(field.second);
            tab = "\t";
        }
        buffer_ += '\n';
        return;
    }
    buffer_ += empty_ ? "[\n    {" : ",\n    {";
    empty_ = false;
    const char* comma = "";
    for (const auto& [key, value] : fields) {
        buffer_.append(comma).append(1, '"').append(key).append("\": \"");
        appendJson(value);
        buffer_ += '"';
        comma = ", ";
    }
    buffer_ += '}';
}

void Listing::appendJson(std::string_view value)
{
    if (!needsEscapes(value)) {
        buffer_.append(value);
        return;
    }
    // The runs between characters to escape go in whole. Bytes of
    // characters beyond ASCII are never among them.
    size_t from = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        buffer_.append(value.substr(from, i - from));
        if (c < 0x20) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            buffer_ += escaped;
        } else {
            buffer_.append(1, '\\').append(1, char(c));
        }
        from = i + 1;
    }
    buffer_.append(value.substr(from));
}

void Listing::finish()
{
    if (json_)
        buffer_ += empty_ ? "[]\n" : "\n]\n";
    print(buffer_);
    buffer_ = {};
    json_ = false;
}

// --- The command line -------------------------------------------------------------

int runCommandLine(const QStringList& arguments)
{
    std::vector<std::unique_ptr<Command>> commands;
    for (auto* group : {listingCommands, editingCommands, movingCommands}) {
        for (auto& c : group())
            commands.push_back(std::move(c));
    }

    // The command is the first argument that is neither an option nor the
    // folder of --data-dir.
    Command* command = nullptr;
    for (qsizetype i = 1; i < arguments.size() && !command; ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("--data-dir")) {
            ++i;
            continue;
        }
        if (a.startsWith(u'-'))
            continue;
        for (const auto& c : commands) {
            if (c->name == a)
                command = c.get();
        }
        if (!command)
            return Prompter::usage(QStringLiteral("'%1' is no command.").arg(a));
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        command ? wrapped(command->description, 78, 0)
                : QStringLiteral("The sites and accounts of Stashbook without its window, in "
                                 "the record files\nSB-Sites.DaT and SB-Acnts.DaT of its data "
                                 "folder."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and ends."));
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("The folder that holds the record files (default: the working directory, "
                       "as for stashbook)."),
        QStringLiteral("DIR"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Prints the listing as JSON."));
    parser.addOptions({help, version, dataDir});
    if (command) {
        parser.addOptions(command->options);
        if (command->listing)
            parser.addOption(json);
        parser.addPositionalArgument(command->name, {}, command->name + u' ' + command->arguments);
    }
    if (!parser.parse(arguments))
        return Prompter::usage(parser.errorText());
    if (parser.isSet(help)) {
        print(command ? helpText(parser, command) : globalHelp(parser, commands));
        return kDone;
    }
    if (parser.isSet(version)) {
        print(kProgram + u' ' + QCoreApplication::applicationVersion() + u'\n');
        return kDone;
    }
    if (!command)
        return Prompter::usage(QStringLiteral("no command given."));

    QStringList args = parser.positionalArguments();
    args.removeFirst(); // the command's name
    if (args.size() < command->minArgs || args.size() > command->maxArgs)
        return Prompter::usage(
            QStringLiteral("usage: %1 %2 %3").arg(kProgram, command->name, command->arguments));

    const QString given = parser.isSet(dataDir) ? parser.value(dataDir) : QStringLiteral(".");
    const QString problem =
        given.isEmpty() ? QStringLiteral("it is empty") : rules::DataStore::folderProblem(given);
    if (!problem.isEmpty())
        return Prompter::usage(
            QStringLiteral("cannot use the data folder \"%1\": %2.").arg(given, problem));

    Prompter prompter;
    rules::DataStore store(QFileInfo(given).filesystemCanonicalFilePath(), prompter);
    // Only to tell what a change did, in the window's words.
    history::UndoHistory told(store);
    told.onRecorded = [](const QString& description) {
        print(description + QStringLiteral(".\n"));
    };
    Context context{args, parser, told, prompter, command->listing && parser.isSet(json)};
    return command->run(context);
}

} // namespace sb::cli
