#pragma once

#include "protocol/macaddress.h"

#include <QString>

namespace farlight {

/// @brief The address, mask and gateway text of an adapter that has none.
inline constexpr QLatin1StringView NoAddress{"0.0.0.0"};

/// @brief One local adapter as the system reports it.
struct PlatformAdapter
{
    /// The system's name of the adapter (on Linux the interface name).
    QString name;
    /// The system's interface index.
    qint32 index = 0;
    MacAddress mac{};
    /// Dotted texts; NoAddress where the adapter has no IPv4 address or no default gateway.
    QString ipAddress;
    QString subnetMask;
    QString gateway;
};

} // namespace farlight
