#include "ipconfig/inetaddr.h"

namespace farlight {

namespace {
constexpr int PartCount = 4;
constexpr quint32 MaxPartValue = 255;
} // namespace

quint32 InetAddr(QStringView text)
{
    quint32 address = 0;
    int parts = 0;
    qsizetype pos = 0;
    while (parts < PartCount) {
        qsizetype end = pos;
        quint32 value = 0;
        while (end < text.size() && text[end] >= u'0' && text[end] <= u'9') {
            value = value * 10 + quint32(text[end].unicode() - u'0');
            if (value > MaxPartValue)
                return InetAddrNone;
            ++end;
        }
        if (end == pos)
            return InetAddrNone;
        address = (address << 8) | value;
        ++parts;
        if (parts < PartCount) {
            if (end >= text.size() || text[end] != u'.')
                return InetAddrNone;
            pos = end + 1;
        } else if (end != text.size()) {
            return InetAddrNone;
        }
    }
    return address;
}

} // namespace farlight
