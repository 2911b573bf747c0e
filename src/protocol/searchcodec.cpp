#include "protocol/searchcodec.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"

namespace farlight {

QByteArray BuildSearchRequest(const MacAddress &adapterMac, quint16 sequence)
{
    QByteArray bytes(SearchLayout::RequestSize, '\0');
    PacketHeader{Opcode::Search, Flag::SearchRequest, sequence}.writeTo(bytes);
    ByteWriter(bytes).mac(SearchLayout::RequesterMacOffset, adapterMac);
    return bytes;
}

bool IsSearchReply(QByteArrayView reply, QByteArrayView request)
{
    const ByteReader r(reply);
    const ByteReader q(request);
    const auto requestMac = q.mac(SearchLayout::RequesterMacOffset);
    const auto requestOpcode = q.u8(PacketHeader::OpcodeOffset);
    return requestMac && requestOpcode && r.mac(SearchLayout::RequesterMacOffset) == requestMac
        && r.u8(PacketHeader::FlagOffset) == Flag::SearchReply && r.u8(PacketHeader::OpcodeOffset) == requestOpcode;
}

QString FixedFieldText(QByteArrayView field)
{
    const qsizetype nul = field.indexOf('\0');
    if (nul >= 0)
        return QString::fromLatin1(field.first(nul));
    // Only spaces are removed, not other white space: a device name is shown as the device sent it.
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && field[begin] == ' ')
        ++begin;
    while (end > begin && field[end - 1] == ' ')
        --end;
    return QString::fromLatin1(field.sliced(begin, end - begin));
}

std::optional<SearchReply> SearchReply::parse(QByteArrayView datagram)
{
    if (datagram.size() < SearchLayout::ReplyMinimumSize || !PacketHeader::hasMagic(datagram))
        return std::nullopt;
    const ByteReader r(datagram);
    SearchReply reply;
    reply.sequence = *r.u16be(PacketHeader::SequenceOffset);
    reply.requesterMac = *r.mac(SearchLayout::RequesterMacOffset);
    reply.deviceMac = *r.mac(SearchLayout::DeviceMacOffset);
    reply.hostName = FixedFieldText(*r.bytes(SearchLayout::HostNameOffset, SearchLayout::HostNameSize));
    reply.ssid = FixedFieldText(*r.bytes(SearchLayout::SsidOffset, SearchLayout::SsidSize));
    reply.channel = *r.u8(SearchLayout::ChannelOffset);
    reply.wep = *r.u8(SearchLayout::WepOffset);
    return reply;
}

QByteArray BuildSearchReply(const SearchReplyFields &fields)
{
    QByteArray bytes(SearchLayout::ReplySize, '\0');
    PacketHeader{Opcode::Search, Flag::SearchReply, fields.sequence}.writeTo(bytes);
    ByteWriter w(bytes);
    w.mac(SearchLayout::RequesterMacOffset, fields.requesterMac);
    w.mac(SearchLayout::DeviceMacOffset, fields.deviceMac);
    w.bytes(SearchLayout::HostNameOffset, fields.hostName.left(SearchLayout::HostNameSize));
    w.bytes(SearchLayout::SsidOffset, fields.ssid.left(SearchLayout::SsidSize));
    w.u8(SearchLayout::ChannelOffset, fields.channel);
    w.u8(SearchLayout::WepOffset, fields.wep);
    return bytes;
}

} // namespace farlight
