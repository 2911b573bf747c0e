#include "protocol/tftppacket.h"

#include "protocol/bytereader.h"

#include <QtEndian>

#include <cstring>

namespace farlight::Tftp {

std::optional<quint16> OpcodeOf(QByteArrayView datagram)
{
    return ByteReader(datagram).u16be(OpcodeOffset);
}

std::optional<Request> Request::parse(QByteArrayView datagram)
{
    const ByteReader r(datagram);
    const auto opcode = r.u16be(OpcodeOffset);
    if (!opcode || (*opcode != ReadRequest && *opcode != WriteRequest))
        return std::nullopt;
    const auto text = r.bytes(RequestTextOffset, r.size() - RequestTextOffset);
    if (!text)
        return std::nullopt;
    const qsizetype nameEnd = text->indexOf('\0');
    if (nameEnd < 0)
        return std::nullopt;
    const QByteArrayView rest = text->sliced(nameEnd + 1);
    const qsizetype modeEnd = rest.indexOf('\0');
    if (modeEnd < 0)
        return std::nullopt;
    // Options after the mode (RFC 2347) are ignored: the server answers as plain RFC 1350.
    return Request{*opcode, text->first(nameEnd).toByteArray(), rest.first(modeEnd).toByteArray()};
}

std::optional<quint16> AckBlockOf(QByteArrayView datagram)
{
    return ByteReader(datagram).u16be(BlockOffset);
}

QByteArray BuildWriteRequest(QByteArrayView fileName, QByteArrayView mode)
{
    const qsizetype modeOffset = RequestTextOffset + fileName.size() + 1;
    QByteArray bytes(modeOffset + mode.size() + 1, '\0');
    ByteWriter w(bytes);
    w.u16be(OpcodeOffset, WriteRequest);
    w.bytes(RequestTextOffset, fileName);
    w.bytes(modeOffset, mode);
    return bytes;
}

QByteArray BuildData(quint16 block, QByteArrayView payload)
{
    QByteArray bytes;
    WriteData(bytes, block, payload);
    return bytes;
}

void WriteData(QByteArray &bytes, quint16 block, QByteArrayView payload)
{
    // Written in place rather than field by checked field: this runs for every block of an
    // upload, and the buffer is sized for exactly these fields.
    static_assert(OpcodeOffset == 0 && BlockOffset == 2 && HeaderSize == 4);
    bytes.resize(HeaderSize + payload.size());
    char *out = bytes.data();
    qToBigEndian(quint16(Data), out);
    qToBigEndian(block, out + BlockOffset);
    if (!payload.isEmpty())
        std::memcpy(out + HeaderSize, payload.data(), std::size_t(payload.size()));
}

QByteArray BuildAck(quint16 block)
{
    QByteArray bytes(HeaderSize, '\0');
    ByteWriter w(bytes);
    w.u16be(OpcodeOffset, Ack);
    w.u16be(BlockOffset, block);
    return bytes;
}

QByteArray BuildError(quint16 code, QByteArrayView message)
{
    QByteArray bytes(HeaderSize + message.size() + 1, '\0');
    ByteWriter w(bytes);
    w.u16be(OpcodeOffset, Error);
    w.u16be(ErrorCodeOffset, code);
    w.bytes(HeaderSize, message);
    return bytes;
}

} // namespace farlight::Tftp
