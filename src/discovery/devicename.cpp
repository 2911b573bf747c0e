#include "discovery/devicename.h"

#include "ipconfig/inetaddr.h"
#include "session/devicerecord.h"
#include "session/devicetarget.h"

namespace farlight {

DeviceName::DeviceName(const QString &text)
    : m_text(text)
{
    if (const std::optional<MacAddress> mac = ParseMac(text)) {
        m_kind = Kind::Mac;
        m_mac = *mac;
    } else if (const quint32 address = InetAddr(text); address != InetAddrNone) {
        m_kind = Kind::Address;
        m_address = address;
    }
}

bool DeviceName::matches(const MacAddress &mac, QStringView address, QStringView hostName) const
{
    switch (m_kind) {
    case Kind::Mac:
        return MacEqual(mac, m_mac);
    case Kind::Address:
        return InetAddr(address) == m_address;
    case Kind::HostName:
        return hostName.compare(m_text, Qt::CaseInsensitive) == 0;
    }
    return false;
}

bool DeviceName::matches(const DeviceRecord &device) const
{
    return matches(device.Mac, device.IpAddress, device.HostName);
}

bool DeviceName::matches(const DeviceTarget &device) const
{
    return matches(device.mac, device.address, device.hostName);
}

bool DeviceName::operator==(const DeviceName &other) const
{
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::Mac:
        return MacEqual(m_mac, other.m_mac);
    case Kind::Address:
        return m_address == other.m_address;
    case Kind::HostName:
        return m_text.compare(other.m_text, Qt::CaseInsensitive) == 0;
    }
    return false;
}

} // namespace farlight
