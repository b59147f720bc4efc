#include "app/data_store.h"

namespace sb::app {

DataStore::DataStore(const std::filesystem::path& dir, common::Prompter& prompter)
    : sites_(store::RecordFile::sites(dir)), accounts_(store::RecordFile::accounts(dir)),
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

bool DataStore::append(common::RecordKind kind, const QStringList& fields)
{
    store::Record record;
    record.reserve(static_cast<size_t>(fields.size()));
    for (const QString& f : fields)
        record.push_back(f.toStdString());
    return check(store::appendRecord(file(kind), record, tempNames_));
}

bool DataStore::rewrite(common::RecordKind kind, const store::Rule& rule)
{
    return check(store::rewriteRecordFile(file(kind), rule, tempNames_));
}

} // namespace sb::app
