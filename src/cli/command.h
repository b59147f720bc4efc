// The command line's commands: each a small class that names its arguments
// and options and runs on the data folder through the rules the window uses
// (src/rules), so that both refuse the same input with the same words and
// change the files the same way.
//
// Exit status: 0 done, 1 refused or not found (the message on standard
// error, nothing written), 2 a usage error, 3 a file error (or no display
// for copy).
#pragma once

#include "common/ports.h"
#include "rules/outcome.h"

#include <QCommandLineOption>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QCommandLineParser;
class QJsonValue;

namespace sb::cli {

enum Status { kDone = 0, kRefused = 1, kUsage = 2, kFileError = 3 };

// Prints every message on standard error, as "stashbook-cli: " and the
// message, and answers the rules' questions from the command's options.
class Prompter final : public common::Prompter
{
public:
    // The answer to the question titled `title`: Yes, No, or none yet: the
    // command then stops there, before anything is written, with a usage
    // error naming `options`, the options that answer it.
    void answer(const QString& title, std::optional<bool> yes, const QString& options = {});

    void error(const QString& title, const QString& text) override;
    void errorLater(const QString& title, const QString& text) override { error(title, text); }
    bool ask(const QString& title, const QString& text) override;
    int run(QDialog&) override { return 0; } // no dialog on a terminal
    bool exiting() const override { return stopped_; }

    // The status that ends a command with `outcome` (a stop for a question
    // left unanswered is a usage error).
    int statusOf(rules::Outcome outcome) const;
    // Prints a usage error and returns its status.
    static int usage(const QString& message);

private:
    struct Answer
    {
        std::optional<bool> yes;
        QString options;
    };
    std::map<QString, Answer> answers_;
    bool stopped_ = false;
};

// What a command runs with.
struct Context
{
    QStringList args; // its positional arguments, in order
    const QCommandLineParser& options;
    common::Records& files; // changes made here are told on standard output
    Prompter& prompter;
    bool json = false; // --json
};

class Command
{
public:
    virtual ~Command() = default;

    QString name;
    QString arguments;   // as the synopsis shows them: "SITE USER"
    QString description; // one line
    QList<QCommandLineOption> options;
    int minArgs = 0;
    int maxArgs = 0;
    bool listing = false; // takes --json

    virtual int run(Context& c) = 0;
};

// Every command, in the order the help lists them.
std::vector<std::unique_ptr<Command>> listingCommands();
std::vector<std::unique_ptr<Command>> editingCommands();
std::vector<std::unique_ptr<Command>> movingCommands();

// Output on standard output, as UTF-8.
void print(const QString& text);
void print(std::string_view utf8);
void printJson(const QJsonValue& value);

// A long listing on standard output: as lines of values joined by tabs, or
// with --json as an array of objects with string values (on a large
// listing several times faster than a QJsonArray). Written as it grows, 64
// KiB at a time: a buffer that size stays in the cache, one the size of the
// listing is new memory, page by page.
class Listing
{
public:
    explicit Listing(bool json) : json_(json) {}
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // One line, or one object of `fields` (keys in ASCII, values in UTF-8):
    // the values only without --json.
    void add(std::initializer_list<std::pair<const char*, std::string_view>> fields);
    // Writes what is left; then the listing takes no more.
    void finish();

private:
    void appendJson(std::string_view value);

    bool json_;
    bool empty_ = true;
    std::string buffer_;
};

// Runs the command line `arguments` (the program's name first).
int runCommandLine(const QStringList& arguments);

} // namespace sb::cli
