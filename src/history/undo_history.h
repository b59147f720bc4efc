// The changes made through the program, to take back and make again.
//
// UndoHistory stands in front of the program's record files: every change
// committed through it is remembered, as the hunks of its commit, so that
// the dialogs and any later front end need not know about undo at all. Up to
// kLimit changes are kept, in memory only (they hold passwords), for as long
// as the program runs. Taking a change back is itself a commit, made through
// the files behind, and what it did is kept to make the change again.
#pragma once

#include "history/change.h"

#include <deque>
#include <functional>

namespace sb::history {

class UndoHistory final : public common::Records
{
public:
    static constexpr std::size_t kLimit = 100;

    explicit UndoHistory(common::Records& records) : records_(records) {}

    // Told, after each change committed through here, what it did.
    std::function<void(const QString& description)> onRecorded;

    const store::RecordFile& file(common::RecordKind kind) const override;
    bool exists(common::RecordKind kind) override;
    bool read(common::RecordKind kind, const std::function<void(const store::Record&)>& onRecord,
              bool* exists = nullptr) override;
    bool readWhere(common::RecordKind kind, const store::FirstFieldTest& keep,
                   const std::function<void(const store::Record&)>& onRecord) override
    {
        return records_.readWhere(kind, keep, onRecord);
    }
    bool commit(const std::vector<Edit>& edits, store::CommitResult* result = nullptr) override;
    bool check(const store::Status& status, bool later = false) override;

    struct Outcome
    {
        enum class Result {
            Nothing, // no change to take back (or to make again)
            Done,    // `focus` shows it
            Refused, // `refusal` says why; nothing written, and the change is forgotten
            Failed,  // a file error, reported; nothing written, the change is kept
        };
        Result result = Result::Nothing;
        QString description; // of the change, as describe() says it
        QString refusal;
        Focus focus;
    };
    // Takes back the last change made (or made again).
    Outcome undo() { return move(done_, undone_); }
    // Makes again the last change taken back, unless a change was made since.
    Outcome redo() { return move(undone_, done_); }

private:
    struct Step
    {
        Change change;
        QString description;
    };
    Outcome move(std::deque<Step>& from, std::deque<Step>& to);

    common::Records& records_;
    std::deque<Step> done_;   // oldest first
    std::deque<Step> undone_; // the last taken back last
};

} // namespace sb::history
