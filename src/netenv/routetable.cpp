#include "netenv/routetable.h"

#include "netenv/platformutils.h"

#include <QList>
#include <QtEndian>

namespace farlight {

namespace {

// Columns of /proc/net/route and the flag bits that matter here.
constexpr int ColumnInterface = 0;
constexpr int ColumnDestination = 1;
constexpr int ColumnGateway = 2;
constexpr int ColumnFlags = 3;
constexpr int ColumnMetric = 6;
constexpr int ColumnMask = 7;
constexpr int MinimumColumns = 8;
constexpr uint RouteUp = 0x0001;
constexpr uint RouteGateway = 0x0002;

// The kernel prints each address as the hexadecimal value of its 32 bits in memory, which on
// this machine's byte order means the wire bytes read as a native number.
bool ParseRouteAddress(QByteArrayView text, std::array<quint8, 4> &bytes)
{
    bool ok = false;
    const quint32 value = text.toByteArray().toUInt(&ok, 16);
    if (!ok || text.size() != 8)
        return false;
    qToUnaligned(value, bytes.data());
    return true;
}

} // namespace

QHash<QString, QString> DefaultGatewaysFromRouteTable(QByteArrayView routeTable)
{
    QHash<QString, QString> gateways;
    QHash<QString, uint> metrics;
    const QList<QByteArray> lines = QByteArray(routeTable.data(), routeTable.size()).split('\n');
    // The first line holds the column names.
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QList<QByteArray> fields = lines[n].simplified().split(' ');
        if (fields.size() < MinimumColumns)
            continue;
        bool flagsOk = false;
        bool metricOk = false;
        const uint flags = fields[ColumnFlags].toUInt(&flagsOk, 16);
        const uint metric = fields[ColumnMetric].toUInt(&metricOk, 10);
        std::array<quint8, 4> destination{};
        std::array<quint8, 4> gateway{};
        std::array<quint8, 4> mask{};
        if (!flagsOk || !metricOk || !ParseRouteAddress(fields[ColumnDestination], destination)
            || !ParseRouteAddress(fields[ColumnGateway], gateway) || !ParseRouteAddress(fields[ColumnMask], mask))
            continue;
        const std::array<quint8, 4> any{};
        if ((flags & (RouteUp | RouteGateway)) != (RouteUp | RouteGateway) || destination != any || mask != any)
            continue;
        const QString name = QString::fromLocal8Bit(fields[ColumnInterface]);
        if (gateways.contains(name) && metrics.value(name) <= metric)
            continue;
        metrics.insert(name, metric);
        gateways.insert(name, AddressToText(gateway));
    }
    return gateways;
}

} // namespace farlight
