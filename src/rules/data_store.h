// The program's two record files: the Qt side of the record store, made once
// by each front end (the window at start-up, the command line per command).
// It owns the files' names and folder, the one generator of temporary-file
// numbers (so the rewrites of one operation take successive numbers), the
// conversion between record fields and text, and the File Error box.
#pragma once

#include "common/ports.h"

#include <filesystem>

namespace sb::rules {

class DataStore final : public common::Records
{
public:
    DataStore(const std::filesystem::path& dir, common::Prompter& prompter);

    const store::RecordFile& file(common::RecordKind kind) const override;
    bool exists(common::RecordKind kind) override;
    bool readWhere(common::RecordKind kind, const store::FirstFieldTest& keep,
                   const std::function<void(const store::Record&)>& onRecord) override;
    bool read(common::RecordKind kind, const std::function<void(const store::Record&)>& onRecord,
              bool* exists = nullptr) override;
    bool commit(const std::vector<Edit>& edits, store::CommitResult* result = nullptr) override;
    bool check(const store::Status& status, bool later = false) override;

    // Makes the data folder ready when the window starts: completes a change
    // that a crash interrupted and deletes stale temporary files. A problem,
    // or a temporary file kept as the only copy of a missing record file, is
    // shown in a box.
    void open();

    // Title of the box that reports a failed operation on the file `name`.
    static QString fileErrorTitle(const QString& name);

    // Why the folder `given` (relative to the working directory) cannot hold
    // the record files, or an empty text.
    static QString folderProblem(const QString& given);

private:
    std::filesystem::path dir_;
    store::RecordFile sites_;
    store::RecordFile accounts_;
    store::TempNameGenerator tempNames_;
    common::Prompter& prompter_;
};

} // namespace sb::rules
