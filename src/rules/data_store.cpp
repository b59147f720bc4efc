#include "rules/data_store.h"

#include <QFileInfo>

#include <system_error>

namespace sb::rules {

namespace fs = std::filesystem;

QString DataStore::folderProblem(const QString& given)
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
    (void)fs::status(dir / store::kSitesFileName, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        return QString::fromStdString(ec.message());
    return {};
}

DataStore::DataStore(const std::filesystem::path& dir, common::Prompter& prompter)
    : dir_(dir), sites_(store::RecordFile::sites(dir)), accounts_(store::RecordFile::accounts(dir)),
      prompter_(prompter)
{}

const store::RecordFile& DataStore::file(common::RecordKind kind) const
{
    return kind == common::RecordKind::Sites ? sites_ : accounts_;
}

QString DataStore::fileErrorTitle(const QString& name)
{
    return QStringLiteral("[Stashbook]  :File Error:  ") + name;
}

bool DataStore::check(const store::Status& status, bool later)
{
    if (!status.failed())
        return true;
    const QString title = fileErrorTitle(QString::fromStdString(status.error().file));
    const QString text = QString::fromStdString(status.error().message);
    if (later)
        prompter_.errorLater(title, text);
    else
        prompter_.error(title, text);
    return false;
}

bool DataStore::exists(common::RecordKind kind)
{
    // Quietly: whatever else lies under the name is reported by the read or
    // the change that follows.
    return store::findOnDisk(file(kind)).has_value();
}

bool DataStore::read(common::RecordKind kind,
                     const std::function<void(const store::Record&)>& onRecord, bool* exists)
{
    return check(store::readRecords(file(kind), onRecord, exists));
}

bool DataStore::readWhere(common::RecordKind kind, const store::FirstFieldTest& keep,
                          const std::function<void(const store::Record&)>& onRecord)
{
    long long all = 0;
    return check(store::readRecordsWhere(file(kind), keep, onRecord, all));
}

bool DataStore::commit(const std::vector<Edit>& edits, store::CommitResult* result)
{
    std::vector<store::Edit> files;
    files.reserve(edits.size());
    for (const Edit& e : edits)
        files.push_back({file(e.kind), e.rule, e.append, e.atEnd});
    store::CommitResult own;
    store::CommitResult& done = result ? *result : own;
    const store::Status status = store::commit(dir_, files, tempNames_, &done);
    return done.aborted.empty() ? check(status) : false;
}

void DataStore::open()
{
    store::FolderReport report;
    if (!check(store::openFolder(dir_, &report)))
        return;
    if (const std::string notice = report.notice(); !notice.empty())
        prompter_.error(QStringLiteral("[Stashbook]  :Data Folder:  Only Copy Kept"),
                        QString::fromStdString(notice));
}

} // namespace sb::rules
