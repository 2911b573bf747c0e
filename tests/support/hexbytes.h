#pragma once

#include <QByteArray>

// Expected datagrams are written as spaced hex text ("87 65 43 21 ..."), byte for byte.
inline QByteArray hexBytes(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

inline QByteArray zeros(qsizetype n)
{
    return QByteArray(n, '\0');
}
