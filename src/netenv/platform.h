#pragma once

#include "netenv/systemtables.h"

#include <QString>
#include <QUrl>

namespace farlight {

/// @brief Every call the program makes to the operating system outside of sockets and files.
///
/// The windows and the adapter inventory are written against this interface; the system's
/// implementation comes from CreateSystemPlatform() (netenv/systemplatform.h) and tests use
/// FakePlatform (netenv/fakeplatform.h).
class Platform
{
public:
    virtual ~Platform() = default;

    /// @brief The interface table: size query and read, sorted by interface index.
    virtual IfTable readInterfaceTable() = 0;

    /// @brief The IPv4 address table: size query and read, sorted by address.
    virtual IpAddrTable readIpAddressTable() = 0;

    /// @brief The adapter information list. Loopback interfaces are not adapters and are left out.
    virtual AdapterInfoList readAdaptersInfo() = 0;

    /// @brief Removes the address-resolution cache entry of @p ipAddress on interface @p interfaceIndex.
    ///
    /// Returns false when the entry was not removed (no such entry, no privilege, bad address);
    /// callers do not depend on the outcome.
    virtual bool removeArpEntry(qint32 interfaceIndex, const QString &ipAddress) = 0;

    /// @brief Opens @p url in the default web browser; false when nothing could be started.
    virtual bool openUrl(const QUrl &url) = 0;

    /// @brief True when no other copy of the program is running; this copy then holds the claim
    /// until the platform object is destroyed or the process ends, however it ends.
    virtual bool claimSingleInstance() = 0;

    /// @brief The operating-system version code (see GetOsVersionCode in netenv/platformutils.h).
    virtual qint32 osVersionCode() = 0;

protected:
    Platform() = default;
    Platform(const Platform &) = default;
    Platform &operator=(const Platform &) = default;
};

} // namespace farlight
