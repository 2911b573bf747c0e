#pragma once

#include "netenv/platform.h"

namespace farlight {

/// @brief The Platform of Windows: the IP Helper tables, the ARP cache, the shell's URL handler
/// and a named mutex.
class WindowsPlatform : public Platform
{
public:
    WindowsPlatform() = default;
    ~WindowsPlatform() override;

    WindowsPlatform(const WindowsPlatform &) = delete;
    WindowsPlatform &operator=(const WindowsPlatform &) = delete;

    /// @brief On Windows NT 4.0 the interface and address tables (GetIfTable, GetIpAddrTable),
    /// which never fail as a whole; on every other release GetAdaptersInfo, nullopt when it fails.
    /// Dial-up adapters and the loopback interface are left out.
    std::optional<QList<PlatformAdapter>> adapters() override;
    /// @brief DeleteIpNetEntry.
    bool removeArpEntry(qint32 interfaceIndex, const QString &ipAddress) override;
    /// @brief Hands the URL to the shell (QDesktopServices); needs a QGuiApplication.
    bool openUrl(const QUrl &url) override;
    /// @brief Creates the session's named mutex; another copy holds it when it exists already.
    bool claimSingleInstance() override;
    qint32 osVersionCode() override;

private:
    /// The mutex handle, held until destruction; the system releases it when the process ends.
    void *m_mutex = nullptr;
};

} // namespace farlight
