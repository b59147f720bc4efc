// Tells the window when another program (stashbook-cli, a sync tool, an
// editor, a second machine through a shared folder) has changed the record
// files, so that it can show them without a click on Reload!.
//
// A QFileSystemWatcher watches the data folder (files renamed into place,
// made or deleted) and both files (written in place), re-armed after each
// change, since a watch follows the file it was put on, which a rename
// replaces. A change is told once things settle (a burst of changes is told
// once), and only when the files are no longer those the window last read:
// the window's own changes, which it reads back at once, are never told.
// While the window cannot reload (a box or a dialog is open) the change
// waits.
#pragma once

#include "store/record_file.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

namespace sb::app {

class OutsideChanges final : public QObject
{
    Q_OBJECT

public:
    // `busy` is true while the window must not reload.
    OutsideChanges(const store::RecordFile& sites, const store::RecordFile& accounts,
                   std::function<bool()> busy, QObject* parent);

    // Starts watching; until then nothing is told.
    void arm();

    // The window is about to read the files: what it reads is what it
    // shows, or a file error it has reported (which the same files would
    // only report again).
    void reading();

    // How long the files must be left alone before a change is told.
    static constexpr int kSettleMs = 150;

signals:
    // The files differ from what the window shows.
    void changed();

private:
    using Stamps = std::array<store::FileStamp, 2>;
    Stamps stamps() const;
    void watch();
    void settle();

    store::RecordFile sites_;
    store::RecordFile accounts_;
    std::function<bool()> busy_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    Stamps shown_;
};

} // namespace sb::app
