#pragma once

#include "protocol/macaddress.h"

#include <QList>
#include <QString>

namespace farlight {

class AppState;
struct DeviceTarget;

/// @brief Whether other found devices answer from a device's address. What goes to the address
/// (a firmware upload, the web page) reaches whichever of them answers, not necessarily this one.
struct SharedAddress
{
    QString address;
    MacAddress device{};
    QList<MacAddress> others; ///< the other found devices at the address, in table order

    bool shared() const { return !others.isEmpty(); }
    /// @brief How many found devices answer from the address, this one included.
    qsizetype deviceCount() const { return others.size() + 1; }
};

/// @brief Which other devices in @p state's table answer from @p device's address.
SharedAddress FindSharedAddress(const AppState &state, const DeviceTarget &device);

/// @brief Why @p what (e.g. "a firmware upload") may reach another device: "The address ... is
/// shared by 3 found devices (...); a firmware upload goes to the address, so it reaches whichever
/// of them answers."
QString SharedAddressText(const SharedAddress &shared, const QString &what);
/// @brief The short result of a device refused for its shared address, for a result column.
QString SharedAddressRefusal(const SharedAddress &shared);

} // namespace farlight
