#include "protocol/filterrequest.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"

namespace farlight {

void FilterRequestHeader::build(const AuthTarget &target, const QString &password, quint8 flag,
                                SequenceCounters &counters)
{
    m_bytes = QByteArray(FilterLayout::HeaderSize, '\0');
    PacketHeader{Opcode::Filter, flag, counters.take(SequenceCounters::Filter)}.writeTo(m_bytes);
    AuthBlock::writeTo(m_bytes, target, password);
}

QByteArray FilterRequestHeader::writeRequest(const QList<MacAddress> &list) const
{
    QByteArray bytes(FilterLayout::WriteRequestSize, '\0');
    ByteWriter w(bytes);
    w.bytes(0, m_bytes);
    const qsizetype n = qMin(list.size(), FilterLayout::SlotCount);
    for (qsizetype i = 0; i < n; ++i)
        w.mac(FilterLayout::RequestListOffset + FilterLayout::SlotSize * i, list[i]);
    return bytes;
}

bool FilterRequestHeader::isReply(QByteArrayView reply) const
{
    const ByteReader r(reply);
    const QByteArrayView request(m_bytes);
    return r.u8(PacketHeader::OpcodeOffset) == quint8(request[PacketHeader::OpcodeOffset])
        && r.equals(PacketHeader::SequenceOffset, request.sliced(PacketHeader::SequenceOffset, 2))
        && r.mac(8) == MacFromBytes(request.sliced(AuthBlock::AdapterMacOffset));
}

std::optional<FilterReply> FilterReply::parse(QByteArrayView datagram)
{
    const ByteReader r(datagram);
    const auto header = PacketHeader::parse(datagram);
    const auto status = r.u16be(FilterLayout::ReplyStatusOffset);
    if (!header || !status)
        return std::nullopt;

    FilterReply reply;
    reply.flag = header->flag;
    reply.status = *status;
    static constexpr MacAddress Empty{0, 0, 0, 0, 0, 0};
    static constexpr MacAddress Broadcast{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Bytes past the 792-byte record carry nothing; slots cut short by a short datagram are not read.
    for (qsizetype s = 0; s < FilterLayout::SlotCount; ++s) {
        const auto mac = r.mac(FilterLayout::ReplyListOffset + FilterLayout::SlotSize * s);
        if (!mac)
            break;
        if (MacEqual(*mac, Empty) || MacEqual(*mac, Broadcast))
            continue;
        reply.addresses.append(*mac);
    }
    return reply;
}

} // namespace farlight
