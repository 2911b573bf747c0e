#pragma once

// Test-side wire helpers, written from the datagram layouts directly; they share no code with the
// protocol codecs or the simulator.

#include <QByteArray>
#include <QHostAddress>

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

inline QByteArray be16(quint16 value)
{
    return QByteArray(1, char(value >> 8)) + QByteArray(1, char(value & 0xFF));
}

inline QByteArray address(const char *dotted)
{
    const quint32 value = QHostAddress(QString::fromLatin1(dotted)).toIPv4Address();
    return be16(quint16(value >> 16)) + be16(quint16(value & 0xFFFF));
}

inline const QByteArray Magic = hex("87654321");

/// A changing request: header, password zero-padded to 12 and each byte XORed with host-name
/// character (key byte mod length) where the key is device MAC then adapter MAC, both MACs, @p body.
inline QByteArray authRequest(quint8 opcode, quint8 flag, quint16 sequence, const QByteArray &password,
                              const QByteArray &deviceMac, const QByteArray &adapterMac, const QByteArray &hostName,
                              const QByteArray &body = {})
{
    QByteArray field = password.left(12) + zeros(12 - qMin<qsizetype>(12, password.size()));
    const QByteArray key = deviceMac + adapterMac;
    for (int i = 0; i < 12; ++i)
        field[i] = char(quint8(field[i]) ^ quint8(hostName[quint8(key[i]) % hostName.size()]));
    return Magic + QByteArray(1, char(opcode)) + QByteArray(1, char(flag)) + be16(sequence) + field + deviceMac
        + adapterMac + body;
}

inline QByteArray searchRequest(quint16 sequence, const QByteArray &requesterMac)
{
    return Magic + hex("12 00") + be16(sequence) + requesterMac + zeros(2);
}

} // namespace wire
