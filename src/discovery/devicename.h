#pragma once

#include "protocol/macaddress.h"

#include <QString>
#include <QStringView>

namespace farlight {

struct DeviceRecord;
struct DeviceTarget;

/// @brief A device as an administrator names it: by its MAC address (any common notation), by
/// the IP address it answers from, or by its host name (any letter case).
///
/// Only a MAC is unique: devices fresh from the box share an address and a host name, so a
/// search that waits for an address or a host name must go on listening for a second device of
/// that name before the name can be said to choose one.
class DeviceName
{
public:
    enum class Kind { Mac, Address, HostName };

    /// @brief Reads @p text as a MAC if it is one, else as an IPv4 address, else as a host name.
    explicit DeviceName(const QString &text);

    Kind kind() const { return m_kind; }
    const QString &text() const { return m_text; }
    /// @brief True when at most one device can carry the name.
    bool isUnique() const { return m_kind == Kind::Mac; }

    bool matches(const MacAddress &mac, QStringView address, QStringView hostName) const;
    bool matches(const DeviceRecord &device) const;
    bool matches(const DeviceTarget &device) const;

    /// @brief True when both name the same thing (01:02:.. and 01-02-.. do; so do "ap" and "AP").
    bool operator==(const DeviceName &other) const;

private:
    QString m_text;
    Kind m_kind = Kind::HostName;
    MacAddress m_mac{};
    quint32 m_address = 0;
};

} // namespace farlight
