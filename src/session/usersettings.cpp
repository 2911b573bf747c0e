#include "session/usersettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace farlight {

namespace {

QString folderKey(FileKind kind)
{
    switch (kind) {
    case FileKind::FirmwareImage:
        return QStringLiteral("folders/firmwareImages");
    case FileKind::MacFile:
        return QStringLiteral("folders/macFiles");
    case FileKind::DeviceList:
        return QStringLiteral("folders/deviceLists");
    }
    return {};
}

} // namespace

std::unique_ptr<QSettings> OpenUserSettings()
{
    if (QCoreApplication::organizationName().isEmpty())
        return nullptr;
    return std::make_unique<QSettings>();
}

QString RememberedFolder(FileKind kind)
{
    const auto settings = OpenUserSettings();
    return settings ? settings->value(folderKey(kind)).toString() : QString();
}

void RememberFolder(FileKind kind, const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    if (const auto settings = OpenUserSettings())
        settings->setValue(folderKey(kind), QFileInfo(chosenFile).absolutePath());
}

} // namespace farlight
