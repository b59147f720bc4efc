#include "history/undo_history.h"

namespace sb::history {

const store::RecordFile& UndoHistory::file(common::RecordKind kind) const
{
    return records_.file(kind);
}

bool UndoHistory::exists(common::RecordKind kind)
{
    return records_.exists(kind);
}

bool UndoHistory::read(common::RecordKind kind,
                       const std::function<void(const store::Record&)>& onRecord, bool* exists)
{
    return records_.read(kind, onRecord, exists);
}

bool UndoHistory::check(const store::Status& status, bool later)
{
    return records_.check(status, later);
}

bool UndoHistory::commit(const std::vector<Edit>& edits, store::CommitResult* result)
{
    Change change;
    if (!commitChange(records_, edits, change, result))
        return false;
    if (change.empty()) // nothing changed: an edit that kept every value
        return true;
    QString description = describe(change);
    done_.push_back({std::move(change), description});
    if (done_.size() > kLimit)
        done_.pop_front();
    undone_.clear();
    if (onRecorded)
        onRecorded(description);
    return true;
}

UndoHistory::Outcome UndoHistory::move(std::deque<Step>& from, std::deque<Step>& to)
{
    Outcome out;
    if (from.empty())
        return out;
    out.description = from.back().description;
    Revert r = revert(records_, from.back().change);
    switch (r.result) {
    case Revert::Result::Done:
        out.result = Outcome::Result::Done;
        out.focus = focusOf(r.change);
        from.pop_back();
        to.push_back({std::move(r.change), out.description});
        break;
    case Revert::Result::Refused:
        out.result = Outcome::Result::Refused;
        out.refusal = r.refusal;
        from.pop_back();
        break;
    case Revert::Result::Failed:
        out.result = Outcome::Result::Failed;
        break;
    }
    return out;
}

} // namespace sb::history
