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
    // Pairs joined by "-" or ":" (17 characters), groups of four joined by "." as switches
    // print them (14), or bare (12).
    constexpr qsizetype Separated = 17, Dotted = 14, Bare = 12;
    QChar separator;
    qsizetype digitsPerGroup = 12;
    if (text.size() == Separated) {
        separator = text[2];
        digitsPerGroup = 2;
        if (separator != u'-' && separator != u':')
            return std::nullopt;
    } else if (text.size() == Dotted) {
        separator = u'.';
        digitsPerGroup = 4;
    } else if (text.size() != Bare) {
        return std::nullopt;
    }

    MacAddress mac{};
    qsizetype pos = 0;
    for (qsizetype digit = 0; digit < 12; digit += 2) {
        if (digit > 0 && digit % digitsPerGroup == 0) {
            if (text[pos] != separator)
                return std::nullopt;
            ++pos;
        }
        const int hi = HexDigitValue(text[pos]);
        const int lo = HexDigitValue(text[pos + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        mac[std::size_t(digit / 2)] = static_cast<quint8>(hi * 16 + lo);
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
