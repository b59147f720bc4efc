#include "store/rewrite.h"

namespace sb::store {

namespace {

Status changeOne(const RecordFile& file, Edit edit, TempNameGenerator& names, RewriteResult* result,
                 const FileOps& ops)
{
    CommitResult done;
    const Status s = commit(file.dir, {std::move(edit)}, names, &done, ops);
    if (result != nullptr)
        result->tempName = done.files.empty() ? std::string() : done.files.front().tempName;
    return s;
}

} // namespace

int TempNameGenerator::next()
{
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    // The integer part of r * 10000 + 1 with r = state / 2^24, in exact arithmetic.
    return static_cast<int>((static_cast<std::uint64_t>(state_) * 10000u) >> 24) + 1;
}

std::string TempNameGenerator::nameFor(int number)
{
    return "SB-t" + std::to_string(number) + ".txt";
}

Status appendRecord(const RecordFile& file, const Record& record, TempNameGenerator& names,
                    RewriteResult* result, const FileOps& ops)
{
    return changeOne(file, {file, {}, {record}}, names, result, ops);
}

Status rewriteRecordFile(const RecordFile& file, const Rule& rule, TempNameGenerator& names,
                         RewriteResult* result, const FileOps& ops)
{
    return changeOne(file, {file, rule, {}}, names, result, ops);
}

} // namespace sb::store
