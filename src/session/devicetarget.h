#pragma once

#include "protocol/authblock.h"
#include "protocol/macaddress.h"

#include <QString>

namespace farlight {

/// @brief One found device as an exchange needs it, taken by value: which device, where it
/// answered from, and the local adapter it was found through.
///
/// Devices fresh from the box share an address and a host name; the MAC alone tells them apart.
struct DeviceTarget
{
    MacAddress mac{};
    QString address;  ///< the address its search reply came from
    QString hostName; ///< as the device sent it (Latin-1)
    QString adapterAddress;
    MacAddress adapterMac{};
    qint32 interfaceIndex = 0;
    QString adapterName; ///< the system's name of the adapter, for messages
    QString adapterMask;    ///< proposed for a device numbered into the adapter's network
    QString adapterGateway;

    /// @brief Key material of a changing request to this device.
    AuthTarget authTarget() const
    {
        // The host name came off the wire as Latin-1; converting back gives the device's own bytes.
        return AuthTarget{mac, adapterMac, hostName.toLatin1()};
    }

    /// @brief True when the adapter has an address a socket can be bound to.
    bool hasAdapterAddress() const
    {
        return !adapterAddress.isEmpty() && adapterAddress != QStringLiteral("0.0.0.0");
    }
};

} // namespace farlight
