#pragma once

#include <QString>

#include <memory>

class QSettings;

namespace farlight {

/// @brief The user's settings store of the program, or null in a process that has not named its
/// organization (a test, a tool built from the same dialogs), which then keeps nothing.
std::unique_ptr<QSettings> OpenUserSettings();

/// @brief The kinds of file the user picks in file dialogs; each kind remembers its own folder.
enum class FileKind { FirmwareImage, MacFile, DeviceList };

/// @brief The folder a file dialog for @p kind opens in: the last one a file of that kind was
/// chosen in, or an empty string (the dialog's own default).
QString RememberedFolder(FileKind kind);
/// @brief Remembers the folder of @p chosenFile for the next file dialog of @p kind.
void RememberFolder(FileKind kind, const QString &chosenFile);

} // namespace farlight
