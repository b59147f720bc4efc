#include "app/outside_changes.h"

namespace sb::app {

OutsideChanges::OutsideChanges(const store::RecordFile& sites, const store::RecordFile& accounts,
                               std::function<bool()> busy, QObject* parent)
    : QObject(parent), sites_(sites), accounts_(accounts), busy_(std::move(busy))
{
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &OutsideChanges::settle);
    const auto changing = [this] {
        watch();
        settle_.start(); // again: a burst is told once it is over
    };
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, changing);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, changing);
}

void OutsideChanges::arm()
{
    if (!watcher_.directories().isEmpty())
        return;
    watcher_.addPath(QString::fromStdString(sites_.dir.string()));
    watch();
    // Changed between the last read and now.
    settle();
}

void OutsideChanges::reading()
{
    shown_ = stamps();
}

OutsideChanges::Stamps OutsideChanges::stamps() const
{
    return {store::stampOf(sites_), store::stampOf(accounts_)};
}

void OutsideChanges::watch()
{
    // A file replaced by a rename is another file: its watch went with the
    // old one. Each file is watched under its name on disk.
    if (const QStringList files = watcher_.files(); !files.isEmpty())
        watcher_.removePaths(files);
    for (const store::RecordFile* file : {&sites_, &accounts_}) {
        if (const auto name = store::findOnDisk(*file))
            watcher_.addPath(QString::fromStdString((file->dir / *name).string()));
    }
}

void OutsideChanges::settle()
{
    if (busy_())
        settle_.start(); // told once the box or the dialog has closed
    else if (stamps() != shown_)
        emit changed();
}

} // namespace sb::app
