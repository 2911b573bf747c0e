#include "ipconfig/staticsettings.h"

#include "ipconfig/inetaddr.h"
#include "resources/strings.h"

namespace farlight {

namespace {

// 127.0.0.1 in the first-octet-high convention of InetAddr.
constexpr quint32 LoopbackAddress = 0x7F000001u;
constexpr quint32 NoGateway = 0;
constexpr int MaxFieldValue = 255;

bool isBadAddress(const QString &address)
{
    const quint32 value = InetAddr(address);
    return value == InetAddrNone || value == LoopbackAddress || address.endsWith(QLatin1String(".0"))
        || address.endsWith(QLatin1String("255")) || address.startsWith(QLatin1Char('0'))
        || address.startsWith(QLatin1String("255"));
}

bool isBadGateway(const QString &gateway, const GatewayFields &fields)
{
    const quint32 value = InetAddr(gateway);
    if (value == NoGateway)
        return false;
    // A field above 255 (pasted or dropped text) makes the text no address at all, which would
    // otherwise go out as 255.255.255.255.
    if (value == InetAddrNone)
        return true;
    for (const int field : fields) {
        if (field <= 0 || field >= MaxFieldValue)
            return true;
    }
    return false;
}

} // namespace

GatewayFields GatewayFieldsOf(const QString &gateway)
{
    GatewayFields fields{};
    const QStringList parts = gateway.split(u'.');
    for (qsizetype i = 0; i < parts.size() && i < qsizetype(fields.size()); ++i)
        fields[std::size_t(i)] = parts[i].toInt();
    return fields;
}

std::optional<QString> ValidateStaticSettings(const QString &address, const QString &mask, const QString &gateway,
                                              const GatewayFields &gatewayFields,
                                              const QStringList &subnetMaskTable)
{
    if (isBadAddress(address))
        return address + QLatin1Char(' ') + text(StringId::NotValidIpAddress);
    if (!subnetMaskTable.contains(mask, Qt::CaseSensitive))
        return text(StringId::MaskCantSet) + QLatin1Char(' ') + mask;
    if (isBadGateway(gateway, gatewayFields))
        return gateway + QLatin1Char(' ') + text(StringId::NotValidGateway);
    return std::nullopt;
}

} // namespace farlight
