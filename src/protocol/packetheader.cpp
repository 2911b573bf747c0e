#include "protocol/packetheader.h"

#include "protocol/bytereader.h"

namespace farlight {

void PacketHeader::writeTo(QByteArray &buffer) const
{
    ByteWriter w(buffer);
    w.u32be(MagicOffset, Magic);
    w.u8(OpcodeOffset, opcode);
    w.u8(FlagOffset, flag);
    w.u16be(SequenceOffset, sequence);
}

bool PacketHeader::hasMagic(QByteArrayView datagram)
{
    return ByteReader(datagram).u32be(MagicOffset) == Magic;
}

std::optional<PacketHeader> PacketHeader::parse(QByteArrayView datagram)
{
    const ByteReader r(datagram);
    if (!r.has(0, Size) || r.u32be(MagicOffset) != Magic)
        return std::nullopt;
    return PacketHeader{*r.u8(OpcodeOffset), *r.u8(FlagOffset), *r.u16be(SequenceOffset)};
}

} // namespace farlight
