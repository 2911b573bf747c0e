#pragma once

#include "netenv/platformadapter.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

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

    /// @brief The local adapters, loopback interfaces left out; nullopt when the system could not
    /// list them. An empty list means the system has no adapter.
    virtual std::optional<QList<PlatformAdapter>> adapters() = 0;

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

    /// @brief Called once before the first window: keeps a desktop service that does not answer
    /// (an accessibility bus that hangs) from holding the windows back. Nothing to do by default.
    virtual void prepareDesktop() {}

protected:
    Platform() = default;
    Platform(const Platform &) = default;
    Platform &operator=(const Platform &) = default;
};

} // namespace farlight
