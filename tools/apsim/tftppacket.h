#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace farlight {

/// @brief The TFTP datagrams a write-only server reads and sends (octet mode, 512-byte blocks).
namespace Tftp {

inline constexpr quint16 ServerPort = 69;
inline constexpr qsizetype BlockSize = 512;
inline constexpr qsizetype HeaderSize = 4;
inline constexpr qsizetype OpcodeOffset = 0;
inline constexpr qsizetype BlockOffset = 2;
inline constexpr qsizetype ErrorCodeOffset = 2;
inline constexpr qsizetype RequestTextOffset = 2;

enum Opcode : quint16 { ReadRequest = 1, WriteRequest = 2, Data = 3, Ack = 4, Error = 5 };

enum ErrorCode : quint16 {
    NotDefined = 0,
    FileNotFound = 1,
    AccessViolation = 2,
    DiskFull = 3,
    IllegalOperation = 4,
    UnknownTransferId = 5,
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

QByteArray BuildAck(quint16 block);
QByteArray BuildError(quint16 code, QByteArrayView message);

} // namespace Tftp

} // namespace farlight
