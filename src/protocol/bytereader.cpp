#include "protocol/bytereader.h"

#include <algorithm>
#include <stdexcept>

namespace farlight {

bool ByteReader::has(qsizetype offset, qsizetype length) const
{
    return offset >= 0 && length >= 0 && offset <= m_data.size() && length <= m_data.size() - offset;
}

std::optional<quint8> ByteReader::u8(qsizetype offset) const
{
    if (!has(offset, 1))
        return std::nullopt;
    return static_cast<quint8>(m_data[offset]);
}

std::optional<quint16> ByteReader::u16be(qsizetype offset) const
{
    if (!has(offset, 2))
        return std::nullopt;
    return static_cast<quint16>((quint8(m_data[offset]) << 8) | quint8(m_data[offset + 1]));
}

std::optional<quint32> ByteReader::u32be(qsizetype offset) const
{
    if (!has(offset, 4))
        return std::nullopt;
    quint32 value = 0;
    for (qsizetype i = 0; i < 4; ++i)
        value = (value << 8) | quint8(m_data[offset + i]);
    return value;
}

std::optional<MacAddress> ByteReader::mac(qsizetype offset) const
{
    if (!has(offset, 6))
        return std::nullopt;
    return MacFromBytes(m_data.sliced(offset, 6));
}

std::optional<QByteArrayView> ByteReader::bytes(qsizetype offset, qsizetype length) const
{
    if (!has(offset, length))
        return std::nullopt;
    return m_data.sliced(offset, length);
}

bool ByteReader::equals(qsizetype offset, QByteArrayView expected) const
{
    const auto actual = bytes(offset, expected.size());
    return actual && *actual == expected;
}

void ByteWriter::check(qsizetype offset, qsizetype length) const
{
    // Builders size their buffers from the layout constants, so this only fires on a programming error.
    if (offset < 0 || length < 0 || offset > m_buffer.size() || length > m_buffer.size() - offset)
        throw std::out_of_range("ByteWriter: field outside the buffer");
}

void ByteWriter::u8(qsizetype offset, quint8 value)
{
    check(offset, 1);
    m_buffer[offset] = char(value);
}

void ByteWriter::u16be(qsizetype offset, quint16 value)
{
    check(offset, 2);
    m_buffer[offset] = char(value >> 8);
    m_buffer[offset + 1] = char(value & 0xFF);
}

void ByteWriter::u32be(qsizetype offset, quint32 value)
{
    check(offset, 4);
    for (qsizetype i = 0; i < 4; ++i)
        m_buffer[offset + i] = char((value >> (8 * (3 - i))) & 0xFF);
}

void ByteWriter::bytes(qsizetype offset, QByteArrayView value)
{
    check(offset, value.size());
    std::copy(value.begin(), value.end(), m_buffer.begin() + offset);
}

void ByteWriter::mac(qsizetype offset, const MacAddress &value)
{
    check(offset, qsizetype(value.size()));
    for (std::size_t i = 0; i < value.size(); ++i)
        m_buffer[offset + qsizetype(i)] = char(value[i]);
}

} // namespace farlight
