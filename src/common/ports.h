// What the parts of the window and the edit dialogs need from the program
// around them: its message boxes and its two record files. The program
// provides both once, at start-up (app/); tests stand in their own.
#pragma once

#include "store/commit.h"
#include "store/record_file.h"

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;

namespace sb::common {

// Every message box and modal dialog of the program runs through here, so
// that one place knows what is open when the program is told to end.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // An error: no icon, a single OK button.
    virtual void error(const QString& title, const QString& text) = 0;
    // The same, shown once the event being handled is over: for errors found
    // inside a selection or mouse handler, which a modal loop must not
    // re-enter.
    virtual void errorLater(const QString& title, const QString& text) = 0;
    // A question: no icon, Yes and No. True for Yes.
    virtual bool ask(const QString& title, const QString& text) = 0;
    // Runs `dialog` modally and returns its result (QDialog::Accepted or
    // QDialog::Rejected).
    virtual int run(QDialog& dialog) = 0;
    // The program is ending: its exit was chosen while a box or a dialog was
    // open. Boxes are not shown any more (questions answer No), and callers
    // stop where they are instead of going on with their work.
    virtual bool exiting() const = 0;
};

enum class RecordKind { Sites, Accounts };

// The program's two record files. Every failure has been reported to the
// user (a File Error box naming the file) by the time a call returns false.
class Records
{
public:
    virtual ~Records() = default;

    virtual const store::RecordFile& file(RecordKind kind) const = 0;

    // Whether a regular file of the name exists (whether or not it can be
    // read). Reports nothing: a read or a change that follows reports what
    // is wrong with the file, including anything but a regular file under
    // its name.
    virtual bool exists(RecordKind kind) = 0;
    // Reads every record in file order. A missing file reads as no records
    // (`exists`, when given, tells which).
    virtual bool read(RecordKind kind, const std::function<void(const store::Record&)>& onRecord,
                      bool* exists = nullptr) = 0;
    // Reads the records whose first field (the site's name) passes `keep`,
    // in file order; a store steps over the others without decoding them.
    virtual bool readWhere(RecordKind kind, const store::FirstFieldTest& keep,
                           const std::function<void(const store::Record&)>& onRecord)
    {
        return read(kind, [&](const store::Record& r) {
            if (keep(r[0]))
                onRecord(r);
        });
    }
    // One change of one or both files, made as one: every file takes its new
    // content, or none does, whenever the program or the machine stops.
    // Records are read under the folder's lock, and content another program
    // wrote meanwhile is never overwritten unread. `result`, when given,
    // tells which records changed. A rule's Abort is no file error: it is
    // not reported, and `result->aborted` tells its reason.
    struct Edit
    {
        RecordKind kind;
        store::Rule rule;                  // streams every record; the file must exist
        std::vector<store::Record> append; // added at the end (the file is made when missing)
        std::function<std::optional<store::Abort>(long long records)> atEnd = {}; // see store::Edit
    };
    virtual bool commit(const std::vector<Edit>& edits, store::CommitResult* result = nullptr) = 0;

    // Adds one record at the end of the file, creating the file if needed.
    bool append(RecordKind kind, const QStringList& fields)
    {
        store::Record record;
        record.reserve(static_cast<size_t>(fields.size()));
        for (const QString& f : fields)
            record.push_back(f.toStdString());
        return commit({{kind, {}, {std::move(record)}}});
    }
    // Rewrites the file through `rule`; the file must exist.
    bool rewrite(RecordKind kind, const store::Rule& rule) { return commit({{kind, rule, {}}}); }

    // Reports what a reader working on file() directly ran into; false when
    // `status` is a failure. `later` defers the box as Prompter::errorLater.
    virtual bool check(const store::Status& status, bool later = false) = 0;
};

} // namespace sb::common
