#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace farlight {

/// @brief TFTP datagrams (RFC 1350) as the firmware upload and the simulated device's write
/// server build and read them: octet mode, 512-byte blocks, big-endian fields.
namespace Tftp {

inline constexpr quint16 ServerPort = 69;
inline constexpr qsizetype BlockSize = 512;
inline constexpr qsizetype HeaderSize = 4;
inline constexpr qsizetype OpcodeOffset = 0;
/// The low byte of the opcode, all that the upload client looks at.
inline constexpr qsizetype OpcodeLowByteOffset = 1;
inline constexpr qsizetype BlockOffset = 2;
inline constexpr qsizetype ErrorCodeOffset = 2;
/// The low byte of an ERROR's code, all that the upload client looks at.
inline constexpr qsizetype ErrorCodeLowByteOffset = 3;
inline constexpr qsizetype RequestTextOffset = 2;

enum Opcode : quint16 { ReadRequest = 1, WriteRequest = 2, Data = 3, Ack = 4, Error = 5 };

enum ErrorCode : quint16 {
    NotDefined = 0,
    FileNotFound = 1,
    AccessViolation = 2,
    DiskFull = 3,
    IllegalOperation = 4,
    UnknownTransferId = 5,
    FileExists = 6,
    NoSuchUser = 7,
};

/// @brief A read or write request: opcode, file name and mode, each text NUL-terminated on the wire.
struct Request
{
    quint16 opcode = 0;
    QByteArray fileName;
    QByteArray mode;

    /// @brief Parses a request; nothing when the opcode is not 1 or 2 or a text lacks its NUL.
    static std::optional<Request> parse(QByteArrayView datagram);
};

/// @brief The opcode of @p datagram, or nothing when it is shorter than two bytes.
std::optional<quint16> OpcodeOf(QByteArrayView datagram);

/// @brief Bytes 2 and 3 of an acknowledgement, its block number; nothing when they are missing.
/// The opcode is not looked at: the caller has dispatched on it already.
std::optional<quint16> AckBlockOf(QByteArrayView datagram);

/// @brief Write request: opcode 2, @p fileName, 0, @p mode, 0.
QByteArray BuildWriteRequest(QByteArrayView fileName, QByteArrayView mode);
/// @brief DATA: opcode 3, @p block, then @p payload (at most BlockSize bytes).
QByteArray BuildData(quint16 block, QByteArrayView payload);
/// @brief As BuildData(), into @p bytes, whose storage is reused when nothing else shares it.
void WriteData(QByteArray &bytes, quint16 block, QByteArrayView payload);
QByteArray BuildAck(quint16 block);
/// @brief ERROR: opcode 5, @p code, @p message, 0.
QByteArray BuildError(quint16 code, QByteArrayView message);

} // namespace Tftp

} // namespace farlight
