#include "discovery/devicesearch.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"

#include <QHostAddress>

#include <numeric>

namespace farlight {

DeviceSearch::DeviceSearch(std::span<DeviceRecord, MaxDevices> table, qint16 &count)
    : m_table(table)
    , m_count(count)
{
}

void DeviceSearch::begin()
{
    m_active = true;
    m_count = 0;
    m_turnedAway.clear();
    std::fill(m_table.begin(), m_table.end(), DeviceRecord{});
    m_requests.fill(QByteArray());
}

void DeviceSearch::finish()
{
    m_active = false;
}

quint16 DeviceSearch::nextSequence()
{
    m_sequence.take();
    m_current = m_sequence.value();
    return m_current;
}

QByteArray DeviceSearch::buildRequest(int adapterIndex, const MacAddress &adapterMac)
{
    if (adapterIndex < 0 || adapterIndex >= MaxAdapters)
        return {};
    m_requests[std::size_t(adapterIndex)] = BuildSearchRequest(adapterMac, m_current);
    return m_requests[std::size_t(adapterIndex)];
}

DeviceSearch::Verdict DeviceSearch::handleDatagram(int adapterIndex, QByteArrayView datagram,
                                                   const QString &sourceAddress)
{
    std::optional<SearchReply> reply;
    const Verdict verdict = judge(adapterIndex, datagram, reply);
    if (verdict == Verdict::Accepted)
        list(adapterIndex, *reply, sourceAddress);
    return verdict;
}

DeviceSearch::Verdict DeviceSearch::handleDatagram(int adapterIndex, QByteArrayView datagram, quint32 sourceAddress)
{
    std::optional<SearchReply> reply;
    const Verdict verdict = judge(adapterIndex, datagram, reply);
    if (verdict == Verdict::Accepted)
        list(adapterIndex, *reply, QHostAddress(sourceAddress).toString());
    return verdict;
}

DeviceSearch::Verdict DeviceSearch::judge(int adapterIndex, QByteArrayView datagram, std::optional<SearchReply> &reply)
{
    if (!m_active)
        return Verdict::NotSearching;
    if (datagram.size() < SearchLayout::ReplyMinimumSize)
        return Verdict::TooShort;
    // The byte comparisons come before the host name and SSID are decoded: under a flood of
    // foreign datagrams most fail there, cheaply.
    if (!PacketHeader::hasMagic(datagram))
        return Verdict::BadMagic;
    if (adapterIndex < 0 || adapterIndex >= MaxAdapters || m_requests[std::size_t(adapterIndex)].isEmpty())
        return Verdict::NoRequest;
    if (!IsSearchReply(datagram, m_requests[std::size_t(adapterIndex)]))
        return Verdict::NotAReply;
    if (ByteReader(datagram).u16be(PacketHeader::SequenceOffset) != m_current)
        return Verdict::OtherSearch;
    reply = SearchReply::parse(datagram);
    if (!reply)
        return Verdict::BadMagic;
    // A device answers each request it hears, through every adapter that reaches it; devices
    // fresh from the box share one address, so only the MAC tells a second answer from a device.
    for (qint16 i = 0; i < m_count; ++i) {
        if (m_table[std::size_t(i)].Mac == reply->deviceMac)
            return Verdict::Duplicate;
    }
    if (m_count >= MaxDevices) {
        if (m_turnedAway.size() < TurnedAwayLimit)
            m_turnedAway.insert(std::accumulate(reply->deviceMac.cbegin(), reply->deviceMac.cend(), quint64(0),
                                                [](quint64 sum, quint8 byte) { return sum << 8 | byte; }));
        return Verdict::TableFull;
    }
    return Verdict::Accepted;
}

void DeviceSearch::list(int adapterIndex, const SearchReply &reply, const QString &sourceAddress)
{
    DeviceRecord &entry = m_table[std::size_t(m_count)];
    entry.HostName = reply.hostName;
    entry.IpAddress = sourceAddress;
    entry.Ssid = reply.ssid;
    entry.Channel = reply.channel;
    entry.Wep = reply.wep;
    entry.Mac = reply.deviceMac;
    entry.AdapterIndex = qint16(adapterIndex);
    ++m_count;
}

QStringList DeviceRowTexts(const DeviceRecord &device)
{
    static constexpr quint8 WepEnabled = 1;
    return {device.HostName,
            device.IpAddress,
            device.Ssid,
            QString::number(device.Channel),
            device.Wep == WepEnabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"),
            FormatMac(device.Mac)};
}

} // namespace farlight
