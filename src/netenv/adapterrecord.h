#pragma once

#include "protocol/macaddress.h"

#include <QString>

namespace farlight {

/// @brief One local network adapter as the last inventory saw it.
struct AdapterRecord
{
    QString IpAddress;
    QString SubnetMask;
    QString Gateway;
    MacAddress Mac{};
    qint32 InterfaceIndex = 0;
    qint16 HasAddress = 0;
    QString Name; ///< the system's name of the adapter, as reports show it
};

} // namespace farlight
