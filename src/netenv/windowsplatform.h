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

    /// @brief GetIfTable, sorted.
    IfTable readInterfaceTable() override;
    /// @brief GetIpAddrTable, sorted.
    IpAddrTable readIpAddressTable() override;
    /// @brief GetAdaptersInfo, loopback adapters left out.
    AdapterInfoList readAdaptersInfo() override;
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
