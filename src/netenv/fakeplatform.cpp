#include "netenv/fakeplatform.h"

namespace farlight {

std::optional<QList<PlatformAdapter>> FakePlatform::adapters()
{
    ++adapterReads;
    if (adapterListFails)
        return std::nullopt;
    return adapterList;
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

PlatformAdapter &FakePlatform::addAdapter(const QString &name, const MacAddress &mac, qint32 index,
                                          const QString &ipAddress, const QString &mask, const QString &gateway)
{
    adapterList.append({name, index, mac, ipAddress, mask, gateway});
    return adapterList.last();
}

} // namespace farlight
