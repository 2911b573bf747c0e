#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace farlight {

/// @brief UDP port of the device-management protocol; requests go to the limited broadcast address.
inline constexpr quint16 DevicePort = 4000;
inline constexpr char BroadcastAddress[] = "255.255.255.255";

namespace Opcode {
inline constexpr quint8 Search = 0x12;
inline constexpr quint8 SetIp = 0x21;
inline constexpr quint8 Filter = 0x60;
inline constexpr quint8 Confirm = 0xA0;
} // namespace Opcode

namespace Flag {
inline constexpr quint8 SearchRequest = 0x00;
inline constexpr quint8 SearchReply = 0x10;
inline constexpr quint8 SetIpStatic = 0x10;
inline constexpr quint8 SetIpDhcp = 0x11;
inline constexpr quint8 FilterRead = 0x20;
inline constexpr quint8 FilterWrite = 0x10;
inline constexpr quint8 FilterListReply = 0x30;
inline constexpr quint8 FilterWriteReply = 0x00;
inline constexpr quint8 Confirm = 0x99;
} // namespace Flag

/// @brief The 8 bytes that open every request and reply of the device protocol.
struct PacketHeader
{
    static constexpr quint32 Magic = 0x87654321;
    static constexpr qsizetype Size = 8;
    static constexpr qsizetype MagicOffset = 0;
    static constexpr qsizetype OpcodeOffset = 4;
    static constexpr qsizetype FlagOffset = 5;
    static constexpr qsizetype SequenceOffset = 6;

    quint8 opcode = 0;
    quint8 flag = 0;
    quint16 sequence = 0;

    /// @brief Writes the header at the start of @p buffer, which must hold at least Size bytes.
    void writeTo(QByteArray &buffer) const;

    /// @brief The header of @p datagram, or nothing when it is shorter than a header or its magic is wrong.
    static std::optional<PacketHeader> parse(QByteArrayView datagram);

    /// @brief True when @p datagram starts with the protocol's magic number.
    static bool hasMagic(QByteArrayView datagram);
};

} // namespace farlight
