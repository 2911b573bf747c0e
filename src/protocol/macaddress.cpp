#include "protocol/macaddress.h"

namespace farlight {

bool MacEqual(const MacAddress &a, const MacAddress &b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

static QString joinHex(const MacAddress &mac, QStringView separator)
{
    QString out;
    out.reserve(17);
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0)
            out += separator;
        out += QStringLiteral("%1").arg(mac[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString FormatMac(const MacAddress &mac)
{
    return joinHex(mac, u"-");
}

QString MacKey(const MacAddress &mac)
{
    return joinHex(mac, u"");
}

int HexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

std::optional<MacAddress> ParseMac(QStringView text)
{
    const bool separated = text.size() == 17;
    if (!separated && text.size() != 12)
        return std::nullopt;
    const QChar separator = separated ? text[2] : QChar();
    if (separated && separator != u'-' && separator != u':')
        return std::nullopt;

    MacAddress mac{};
    qsizetype pos = 0;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (separated && i > 0) {
            if (text[pos] != separator)
                return std::nullopt;
            ++pos;
        }
        const int hi = HexDigitValue(text[pos]);
        const int lo = HexDigitValue(text[pos + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        mac[i] = static_cast<quint8>(hi * 16 + lo);
        pos += 2;
    }
    return mac;
}

std::optional<MacAddress> MacFromBytes(QByteArrayView bytes)
{
    MacAddress mac{};
    if (bytes.size() < qsizetype(mac.size()))
        return std::nullopt;
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<quint8>(bytes[qsizetype(i)]);
    return mac;
}

} // namespace farlight
