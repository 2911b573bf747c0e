#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace farlight {
class AppState;
}

namespace farlight::cli {

/// @brief The devices a command acts on, or why some could not be chosen.
struct DeviceSelection
{
    QList<int> indexes;  ///< device table entries, each once, in the order they were named
    QStringList errors;  ///< one message per name that chose no single device
    QList<int> messages; ///< the string table id of each message
    QStringList rejected; ///< those names, in the same order
};

/// @brief Chooses devices of the last search by the names typed: a MAC in any of its three
/// forms, an IP address or a host name (any letter case). A name that fits several devices is
/// refused, listing them, rather than guessed at. With @p all, every device found. Only devices
/// found through the adapter named @p adapter count, when one is named.
DeviceSelection SelectDevices(const AppState &state, const QStringList &names, bool all, const QString &adapter = {});

/// @brief Whether the device at @p index was found through the adapter named @p adapter (any
/// device, when none is named).
bool OnAdapter(const AppState &state, int index, const QString &adapter);

/// @brief "AP-Lobby (192.168.77.2, 00-0A-1B-2C-3D-4E)": how messages name a device.
QString DeviceLabel(const AppState &state, int index);

} // namespace farlight::cli
