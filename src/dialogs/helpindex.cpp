#include "dialogs/helpindex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace farlight {

namespace {

// Relative to a data folder such as /usr/share.
const QString DataSubdir = QStringLiteral("farlight/help");

} // namespace

QStringList HelpSearchDirs()
{
    QStringList dirs;
    // Without an application object there is no executable folder to start from.
    if (QCoreApplication::instance() != nullptr) {
        const QDir appDir(QCoreApplication::applicationDirPath());
        dirs << QDir::cleanPath(appDir.filePath(QStringLiteral("help")));
        dirs << QDir::cleanPath(appDir.filePath(QStringLiteral(FARLIGHT_HELP_DIR_FROM_BIN)));
    }
#ifdef FARLIGHT_HELP_BUILD_DIR
    dirs << QStringLiteral(FARLIGHT_HELP_BUILD_DIR);
#endif
    for (const QString &dataDir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << QDir::cleanPath(QDir(dataDir).filePath(DataSubdir));
    dirs.removeDuplicates();
    return dirs;
}

QUrl HelpIndexUrlIn(const QStringList &dirs)
{
    for (const QString &dir : dirs) {
        if (dir.isEmpty())
            continue;
        const QFileInfo index(QDir(dir).filePath(HelpIndexFileName));
        if (index.isFile() && index.isReadable())
            return QUrl::fromLocalFile(index.absoluteFilePath());
    }
    return {};
}

QUrl HelpIndexUrl()
{
    return HelpIndexUrlIn(HelpSearchDirs());
}

} // namespace farlight
