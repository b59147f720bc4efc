// Helpers for tests that prepare record files in a temporary folder.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

#include <filesystem>

namespace sb::test {

inline void writeFile(const QString& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(QDir(dir).filePath(name));
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(f.errorString()));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& dir, const QString& name)
{
    QFile f(QDir(dir).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One record in the writer's form: "a","b"\r\n
inline QByteArray rec(std::initializer_list<const char*> fields)
{
    QByteArray out;
    for (const char* f : fields)
        out += (out.isEmpty() ? "\"" : ",\"") + QByteArray(f) + '"';
    return out + "\r\n";
}

inline unsigned modeOf(const QString& path)
{
    return unsigned(std::filesystem::status(path.toStdString()).permissions());
}

} // namespace sb::test
