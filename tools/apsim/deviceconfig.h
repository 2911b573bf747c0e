#pragma once

#include "protocol/macaddress.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>

namespace farlight {

/// @brief How a simulated device addresses its management replies.
enum class ReplyMode {
    Unicast,   ///< to the requester's address and port
    Broadcast, ///< to 255.255.255.255 at the requester's port, as devices on a foreign subnet must
};

/// @brief From which port a simulated device's TFTP server answers a write request.
enum class TftpMode {
    Fixed,     ///< every answer comes from port 69
    Ephemeral, ///< each transfer gets a fresh port, as the TFTP standard has it
};

/// @brief One simulated access point as the configuration file describes it.
struct DeviceConfig
{
    QByteArray hostName;
    MacAddress mac{};
    QHostAddress ip;
    QHostAddress mask{QStringLiteral("255.255.255.0")};
    QHostAddress gateway{QStringLiteral("0.0.0.0")};
    QByteArray ssid = QByteArrayLiteral("wireless");
    quint8 channel = 6;
    quint8 wep = 0;
    QByteArray password;
    ReplyMode reply = ReplyMode::Unicast;
    TftpMode tftp = TftpMode::Ephemeral;
    QList<MacAddress> filter;
    /// The lab segment whose namespace carries the device's address (1 or 2); the simulator
    /// only validates it, the lab scripts place the address.
    int segment = 1;
    /// Whether reading the filter list needs the right password; writing always does.
    bool readNeedsPassword = false;
    /// Addresses the lab also places on the device's segment: a static address set to one of
    /// them moves the device there, and it answers from it from then on.
    QList<QHostAddress> spareIps;
    /// The spare address a DHCP request moves the device to, as a lease would; none: it stays.
    QHostAddress dhcpIp;
    /// How long the device goes on answering from its old address after a request that moves it,
    /// as one that restarts its interface does; 0: it answers the request from the new one.
    qint64 moveAfterMs = 0;
    /// How long the device is silent after it has stored a complete image, as a real one is
    /// while it restarts: none, a while, or for good (it never comes back).
    enum class Restart { None, For, Never };
    Restart restart = Restart::None;
    qint64 restartMs = 0;
};

} // namespace farlight
