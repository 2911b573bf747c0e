#include "protocol/setiprequest.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"

namespace farlight {

void SetIpRequest::build(const AuthTarget &target, const QString &password, quint8 flag, quint32 address,
                         quint32 mask, quint32 gateway, SequenceCounters &counters)
{
    m_bytes = QByteArray(Size, '\0');
    PacketHeader{Opcode::SetIp, flag, counters.take(SequenceCounters::SetIp)}.writeTo(m_bytes);
    AuthBlock::writeTo(m_bytes, target, password);
    ByteWriter w(m_bytes);
    w.u32be(AddressOffset, address);
    w.u32be(MaskOffset, mask);
    w.u32be(GatewayOffset, gateway);
}

QByteArray SetIpRequest::datagram() const
{
    const bool dhcp = quint8(m_bytes[PacketHeader::FlagOffset]) == Flag::SetIpDhcp;
    return dhcp ? m_bytes.first(DhcpSize) : m_bytes;
}

bool SetIpRequest::isReply(QByteArrayView reply) const
{
    const ByteReader r(reply);
    return r.u8(PacketHeader::OpcodeOffset) == Opcode::SetIp
        && r.equals(PacketHeader::SequenceOffset, QByteArrayView(m_bytes).sliced(PacketHeader::SequenceOffset, 2))
        && r.mac(8) == MacFromBytes(QByteArrayView(m_bytes).sliced(AuthBlock::AdapterMacOffset));
}

std::optional<quint16> SetIpReply::status(QByteArrayView reply)
{
    if (reply.size() < MinimumSize || !PacketHeader::hasMagic(reply))
        return std::nullopt;
    return ByteReader(reply).u16be(StatusOffset);
}

QByteArray BuildConfirmRequest(const AuthTarget &target, const QString &password, SequenceCounters &counters)
{
    QByteArray bytes(PacketHeader::Size + AuthBlock::Size, '\0');
    PacketHeader{Opcode::Confirm, Flag::Confirm, counters.take(SequenceCounters::Confirm)}.writeTo(bytes);
    AuthBlock::writeTo(bytes, target, password);
    return bytes;
}

} // namespace farlight
