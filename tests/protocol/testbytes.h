#pragma once

#include <QByteArray>
#include <QString>

// Expected datagrams are written in the tests as hex text ("87 65 43 21 ..."), byte for byte.
inline QByteArray hexBytes(const char *spacedHex)
{
    return QByteArray::fromHex(QByteArray(spacedHex).replace(' ', ""));
}

inline QByteArray zeros(int n)
{
    return QByteArray(n, '\0');
}
