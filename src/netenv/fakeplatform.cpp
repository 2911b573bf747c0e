#include "netenv/fakeplatform.h"

#include <QHostAddress>

namespace farlight {

namespace {

// Sizes the size queries report for non-empty tables; only their sign matters to the callers.
constexpr qint64 RowBytes = 64;

QByteArray HardwareAddress(const MacAddress &mac)
{
    return QByteArray(reinterpret_cast<const char *>(mac.data()), qsizetype(mac.size()));
}

quint32 NumericAddress(const QString &text)
{
    return QHostAddress(text).toIPv4Address();
}

} // namespace

IfTable FakePlatform::readInterfaceTable()
{
    ++interfaceTableReads;
    return interfaceTable;
}

IpAddrTable FakePlatform::readIpAddressTable()
{
    ++ipAddressTableReads;
    if (!ipAddressTableQueue.isEmpty())
        return ipAddressTableQueue.takeFirst();
    return ipAddressTable;
}

AdapterInfoList FakePlatform::readAdaptersInfo()
{
    ++adaptersInfoReads;
    return adaptersInfo;
}

bool FakePlatform::removeArpEntry(qint32 interfaceIndex, const QString &ipAddress)
{
    arpRemovals.append({interfaceIndex, ipAddress});
    return arpRemovalResult;
}

bool FakePlatform::openUrl(const QUrl &url)
{
    openedUrls.append(url);
    return openUrlResult;
}

bool FakePlatform::claimSingleInstance()
{
    ++singleInstanceClaims;
    return !otherInstanceRunning;
}

AdapterInfo &FakePlatform::addAdapter(const QString &description, const MacAddress &mac, quint32 index,
                                      const QString &ipAddress, const QString &mask, const QString &gateway)
{
    AdapterInfo adapter;
    adapter.name = description;
    adapter.description = description;
    adapter.address = HardwareAddress(mac);
    adapter.index = index;
    adapter.ipAddressList.append({ipAddress, mask});
    adapter.gatewayList.append(gateway);
    adapter.flags.up = true;
    adaptersInfo.adapters.append(adapter);
    return adaptersInfo.adapters.last();
}

IfRow &FakePlatform::addInterface(const QString &description, const MacAddress &mac, quint32 index)
{
    IfRow row;
    row.index = index;
    row.physicalAddress = HardwareAddress(mac);
    row.description = description;
    row.flags.up = true;
    interfaceTable.rows.append(row);
    interfaceTable.sizeBytes = RowBytes * interfaceTable.rows.size();
    return interfaceTable.rows.last();
}

void FakePlatform::addAddress(quint32 index, const QString &ipAddress, const QString &mask)
{
    ipAddressTable.rows.append({NumericAddress(ipAddress), index, NumericAddress(mask)});
    ipAddressTable.sizeBytes = RowBytes * ipAddressTable.rows.size();
}

} // namespace farlight
