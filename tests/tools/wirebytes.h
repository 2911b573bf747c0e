#pragma once

// Test-side wire helpers for the simulator tests. They are written from the datagram layouts
// directly and deliberately share no code with the protocol codecs or the simulator.

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <array>

namespace wire {

/// "87 65 43 21" -> bytes; spaces are ignored.
inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QByteArray zeros(qsizetype n)
{
    return QByteArray(n, '\0');
}

/// A fixed text field: the characters, then zero bytes up to @p size.
inline QByteArray text(const char *value, qsizetype size)
{
    QByteArray bytes(value);
    return bytes + zeros(size - bytes.size());
}

inline QByteArray be16(quint16 value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(value >> 8);
    bytes[1] = char(value & 0xFF);
    return bytes;
}

inline QByteArray address(const char *dotted)
{
    const quint32 value = QHostAddress(QString::fromLatin1(dotted)).toIPv4Address();
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * (3 - i))) & 0xFF);
    return bytes;
}

inline const QByteArray Magic = hex("87654321");

/// The password field: characters, zero-padded to 12, each byte XORed with host-name character
/// (key byte mod length), the key being the device MAC and then the adapter MAC.
inline QByteArray scrambledPassword(const QByteArray &password, const QByteArray &deviceMac,
                                    const QByteArray &adapterMac, const QByteArray &hostName)
{
    QByteArray field = password.left(12) + zeros(12 - qMin<qsizetype>(12, password.size()));
    const QByteArray key = deviceMac + adapterMac;
    for (int i = 0; i < 12; ++i)
        field[i] = char(quint8(field[i]) ^ quint8(hostName[quint8(key[i]) % hostName.size()]));
    return field;
}

/// A changing request: 8-byte header, then password, device MAC and adapter MAC, then @p body.
inline QByteArray authRequest(quint8 opcode, quint8 flag, quint16 sequence, const QByteArray &password,
                              const QByteArray &deviceMac, const QByteArray &adapterMac, const QByteArray &hostName,
                              const QByteArray &body = {})
{
    QByteArray bytes = Magic;
    bytes.append(char(opcode));
    bytes.append(char(flag));
    bytes += be16(sequence);
    bytes += scrambledPassword(password, deviceMac, adapterMac, hostName);
    bytes += deviceMac + adapterMac + body;
    return bytes;
}

inline QByteArray searchRequest(quint16 sequence, const QByteArray &requesterMac)
{
    return Magic + hex("12 00") + be16(sequence) + requesterMac + zeros(2);
}

} // namespace wire
