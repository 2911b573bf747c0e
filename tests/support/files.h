#pragma once

#include <QFile>

// Tests write the files they hand to the program, and read back the ones it wrote.
namespace testsupport {

/// Writes @p bytes to @p path, then sets @p permissions unless none are given; false on any failure.
inline bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions = {})
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && (!permissions || file.setPermissions(permissions));
}

/// What the file at @p path holds; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testsupport
