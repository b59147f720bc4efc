// Helpers shared by the record store tests.
#pragma once

#include "store/record_file.h"
#include "support/files.h"

#include <QStringList>

#include <sys/stat.h>

namespace sb::store::testing {

using namespace sb::test;
using Records = QList<QStringList>;

inline QStringList toStrings(const Record& record)
{
    QStringList fields;
    for (const auto& field : record)
        fields << QString::fromStdString(field);
    return fields;
}

inline unsigned modeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// The temporary files of rewrites left in `dir`.
inline QStringList tempFiles(const QString& dir)
{
    return QDir(dir).entryList({"SB-t*.txt"}, QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace sb::store::testing
