#pragma once

#include "protocol/macaddress.h"

#include <QString>

namespace farlight {

/// @brief One device found by the last search.
struct DeviceRecord
{
    QString HostName;
    QString IpAddress; ///< the reply's source address, not a payload field
    QString Ssid;
    quint8 Channel = 0;
    quint8 Wep = 0; ///< 1 means enabled, any other value disabled
    MacAddress Mac{};
    qint16 AdapterIndex = 0;
};

} // namespace farlight
