#pragma once

#include "netenv/platform.h"
#include "netenv/platformutils.h"
#include "protocol/macaddress.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace farlight {

/// @brief A Platform for tests: answers from scripted lists and records what was asked of it.
///
/// No call reaches the system. Adapters are set directly or with addAdapter(); requests
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

    std::optional<QList<PlatformAdapter>> adapters() override;
    bool removeArpEntry(qint32 interfaceIndex, const QString &ipAddress) override;
    bool openUrl(const QUrl &url) override;
    bool claimSingleInstance() override;
    qint32 osVersionCode() override { return versionCode; }

    /// @brief Appends an adapter to adapterList.
    PlatformAdapter &addAdapter(const QString &name, const MacAddress &mac, qint32 index, const QString &ipAddress,
                                const QString &mask, const QString &gateway);

    /// Answer of adapters().
    QList<PlatformAdapter> adapterList;
    /// When true, adapters() returns nullopt.
    bool adapterListFails = false;
    /// Answer of osVersionCode().
    qint32 versionCode = OsVersion::Later;

    /// Answer of removeArpEntry().
    bool arpRemovalResult = true;
    /// Answer of openUrl().
    bool openUrlResult = true;
    /// When true, claimSingleInstance() finds another copy running.
    bool otherInstanceRunning = false;

    int adapterReads = 0;
    int singleInstanceClaims = 0;
    QList<ArpRemoval> arpRemovals;
    QList<QUrl> openedUrls;
};

} // namespace farlight
