#include "simdevice.h"

#include "protocol/authblock.h"
#include "protocol/bytereader.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"
#include "protocol/setiprequest.h"
#include "simreplies.h"

#include <QCryptographicHash>
#include <QJsonArray>

#include <utility>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype FilterRequestListOffset = 32;
constexpr qsizetype FilterSlots = 128;
constexpr qsizetype SlotSize = 6;
constexpr MacAddress EmptySlot{0, 0, 0, 0, 0, 0};
constexpr MacAddress BroadcastSlot{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

bool isContiguousMask(quint32 mask)
{
    return (~mask & (~mask + 1)) == 0;
}

/// What a device would refuse to take as its own address, mask and gateway.
bool acceptableSettings(quint32 address, quint32 mask, quint32 gateway)
{
    const quint32 firstOctet = address >> 24;
    if (address == 0 || firstOctet == 0 || firstOctet == 127 || firstOctet >= 224)
        return false;
    // Prefixes /1 to /30 leave room for a network, a broadcast and at least two hosts.
    if (!isContiguousMask(mask) || mask == 0 || (~mask) < 3)
        return false;
    const quint32 host = address & ~mask;
    if (host == 0 || host == ~mask)
        return false;
    if (gateway != 0) {
        const quint32 gatewayOctet = gateway >> 24;
        if (gateway == 0xFFFFFFFF || gatewayOctet == 127 || gatewayOctet >= 224 || gateway == address)
            return false;
    }
    return true;
}

} // namespace

SimDevice::SimDevice(DeviceConfig config)
    : m_config(std::move(config)),
      m_ip(m_config.ip),
      m_mask(m_config.mask),
      m_gateway(m_config.gateway),
      m_filter(m_config.filter),
      m_tftp(m_config.tftp)
{
}

QByteArray SimDevice::searchReply(quint16 sequence, const MacAddress &requester) const
{
    SearchReplyFields fields;
    fields.sequence = sequence;
    fields.requesterMac = requester;
    fields.deviceMac = m_config.mac;
    fields.hostName = m_config.hostName;
    fields.ssid = m_config.ssid;
    fields.channel = m_config.channel;
    fields.wep = m_config.wep;
    return BuildSearchReply(fields);
}

bool SimDevice::passwordMatches(QByteArrayView request) const
{
    const ByteReader r(request);
    const auto scrambled = r.bytes(AuthBlock::PasswordOffset, AuthBlock::PasswordSize);
    const auto adapterMac = r.mac(AuthBlock::AdapterMacOffset);
    if (!scrambled || !adapterMac)
        return false;
    QByteArray field = scrambled->toByteArray();
    // The scrambling is its own inverse: applying it with the same key restores the clear text.
    ScramblePassword(AuthTarget{m_config.mac, *adapterMac, m_config.hostName},
                     std::span<quint8, AuthBlock::PasswordSize>(reinterpret_cast<quint8 *>(field.data()),
                                                                AuthBlock::PasswordSize));
    return field == PasswordField(QString::fromLatin1(m_config.password));
}

void SimDevice::settle(qint64 nowMs)
{
    if (!m_movingTo.isNull() && nowMs >= m_moveAtMs)
        m_answeringIp = std::exchange(m_movingTo, QHostAddress());
}

quint16 SimDevice::setIp(QByteArrayView request, qint64 nowMs)
{
    if (!passwordMatches(request))
        return DeviceReply::StatusBadPassword;
    const auto moveTo = [&](const QHostAddress &address) {
        m_movingTo = address;
        m_moveAtMs = nowMs + m_config.moveAfterMs;
        settle(nowMs);
    };
    const ByteReader r(request);
    if (r.u8(PacketHeader::FlagOffset) == Flag::SetIpDhcp) {
        m_dhcp = true;
        if (!m_config.dhcpIp.isNull()) {
            m_ip = m_config.dhcpIp;
            moveTo(m_ip);
        }
        return DeviceReply::StatusOk;
    }
    const auto address = r.u32be(SetIpRequest::AddressOffset);
    const auto mask = r.u32be(SetIpRequest::MaskOffset);
    const auto gateway = r.u32be(SetIpRequest::GatewayOffset);
    if (!address || !mask || !gateway || !acceptableSettings(*address, *mask, *gateway))
        return DeviceReply::StatusFailure;
    m_ip = QHostAddress(*address);
    if (m_config.spareIps.contains(m_ip))
        moveTo(m_ip);
    m_mask = QHostAddress(*mask);
    m_gateway = QHostAddress(*gateway);
    m_dhcp = false;
    return DeviceReply::StatusOk;
}

quint16 SimDevice::readFilter(QByteArrayView request) const
{
    if (m_config.readNeedsPassword && !passwordMatches(request))
        return DeviceReply::StatusBadPassword;
    return DeviceReply::StatusOk;
}

quint16 SimDevice::writeFilter(QByteArrayView request)
{
    if (!passwordMatches(request))
        return DeviceReply::StatusBadPassword;
    const ByteReader r(request);
    QList<MacAddress> list;
    for (qsizetype slot = 0; slot < FilterSlots; ++slot) {
        const auto mac = r.mac(FilterRequestListOffset + SlotSize * slot);
        if (!mac)
            return DeviceReply::StatusFailure;
        // Empty and broadcast slots mark unused places; an address listed twice is kept once.
        if (MacEqual(*mac, EmptySlot) || MacEqual(*mac, BroadcastSlot) || list.contains(*mac))
            continue;
        list.append(*mac);
    }
    m_filter = list;
    return DeviceReply::StatusOk;
}

void SimDevice::recordFirmware(const QByteArray &fileName, const QByteArray &image)
{
    m_firmware = image;
    m_firmwareName = fileName;
    ++m_uploads;
}

void SimDevice::restartAfterUpload(qint64 nowMs)
{
    switch (m_config.restart) {
    case DeviceConfig::Restart::None:
        break;
    case DeviceConfig::Restart::For:
        m_silentUntilMs = nowMs + m_config.restartMs;
        break;
    case DeviceConfig::Restart::Never:
        m_silentUntilMs = std::numeric_limits<qint64>::max();
        break;
    }
}

QJsonObject SimDevice::stateJson() const
{
    QJsonArray filter;
    for (const MacAddress &mac : m_filter)
        filter.append(MacKey(mac));
    const QString sha256 = m_uploads == 0
        ? QString()
        : QString::fromLatin1(QCryptographicHash::hash(m_firmware, QCryptographicHash::Sha256).toHex());
    return {
        {u"mac"_s, FormatMac(m_config.mac)},
        {u"host_name"_s, QString::fromLatin1(m_config.hostName)},
        {u"ip"_s, m_ip.toString()},
        {u"mask"_s, m_mask.toString()},
        {u"gateway"_s, m_gateway.toString()},
        {u"dhcp"_s, m_dhcp},
        {u"confirmations"_s, m_confirmations},
        {u"filter"_s, filter},
        {u"firmware"_s,
         QJsonObject{{u"size"_s, m_firmware.size()},
                     {u"sha256"_s, sha256},
                     {u"uploads"_s, m_uploads},
                     {u"file_name"_s, QString::fromLatin1(m_firmwareName)}}},
    };
}

} // namespace farlight
