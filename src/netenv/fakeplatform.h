#pragma once

#include "netenv/platform.h"
#include "netenv/platformutils.h"
#include "protocol/macaddress.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace farlight {

/// @brief A Platform for tests: answers from scripted tables and records what was asked of it.
///
/// No call reaches the system. Tables are set directly or with the add...() helpers; requests
/// (ARP removals, opened URLs, instance claims) are recorded in the public lists.
class FakePlatform : public Platform
{
public:
    /// @brief One recorded removeArpEntry() call.
    struct ArpRemoval
    {
        qint32 interfaceIndex = 0;
        QString ipAddress;
        friend bool operator==(const ArpRemoval &, const ArpRemoval &) = default;
    };

    FakePlatform() = default;

    IfTable readInterfaceTable() override;
    IpAddrTable readIpAddressTable() override;
    AdapterInfoList readAdaptersInfo() override;
    bool removeArpEntry(qint32 interfaceIndex, const QString &ipAddress) override;
    bool openUrl(const QUrl &url) override;
    bool claimSingleInstance() override;
    qint32 osVersionCode() override { return versionCode; }

    /// @brief Appends an adapter to the adapter information list with one address and gateway.
    AdapterInfo &addAdapter(const QString &description, const MacAddress &mac, quint32 index,
                            const QString &ipAddress, const QString &mask, const QString &gateway);
    /// @brief Appends an interface row to the interface table.
    IfRow &addInterface(const QString &description, const MacAddress &mac, quint32 index);
    /// @brief Appends an address row to the address table; addresses and masks as dotted text.
    void addAddress(quint32 index, const QString &ipAddress, const QString &mask);

    /// Answer of readInterfaceTable(). Its size is set by addInterface().
    IfTable interfaceTable;
    /// Answer of readIpAddressTable() once ipAddressTableQueue is empty.
    IpAddrTable ipAddressTable;
    /// Answers of the next readIpAddressTable() calls, taken from the front.
    QList<IpAddrTable> ipAddressTableQueue;
    /// Answer of readAdaptersInfo().
    AdapterInfoList adaptersInfo;
    /// Answer of osVersionCode().
    qint32 versionCode = OsVersion::Later;

    /// Answer of removeArpEntry().
    bool arpRemovalResult = true;
    /// Answer of openUrl().
    bool openUrlResult = true;
    /// When true, claimSingleInstance() finds another copy running.
    bool otherInstanceRunning = false;

    int interfaceTableReads = 0;
    int ipAddressTableReads = 0;
    int adaptersInfoReads = 0;
    int singleInstanceClaims = 0;
    QList<ArpRemoval> arpRemovals;
    QList<QUrl> openedUrls;
};

} // namespace farlight
