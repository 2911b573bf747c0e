#pragma once

#include "diagnosis/systemprobe.h"

#include <QHash>

namespace testsupport {

/// Answers from scripted files, links and results; reaches nothing of the system. Unscripted, it
/// finds no file and no program.
class ScriptedProbe : public farlight::SystemProbe
{
public:
    std::optional<QByteArray> readFile(const QString &path) override
    {
        return files.contains(path) ? std::optional(files.value(path)) : std::nullopt;
    }
    QStringList listFolder(const QString &path) override
    {
        QStringList names;
        for (const QString &key : files.keys() + links.keys()) {
            if (key.startsWith(path + u'/'))
                names.append(key.mid(path.size() + 1).section(u'/', 0, 0));
        }
        names.removeDuplicates();
        return names;
    }
    QString linkTarget(const QString &path) override { return links.value(path); }
    CommandResult run(const QString &, const QStringList &) override { return command; }
    std::optional<QString> udpBindError(quint16) override { return bindError; }

    QHash<QString, QByteArray> files;
    QHash<QString, QString> links;
    CommandResult command;
    std::optional<QString> bindError;
};

} // namespace testsupport
