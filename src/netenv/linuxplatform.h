#pragma once

#include "netenv/platform.h"

#include <QString>

namespace farlight {

/// @brief The Platform of Linux: network interfaces, the kernel's neighbour table, the desktop's
/// URL handler and a lock file.
class LinuxPlatform : public Platform
{
public:
    /// @brief @p lockFilePath is the file whose lock marks the running copy; empty means
    /// DefaultLockFilePath(), looked up when the claim is made.
    explicit LinuxPlatform(const QString &lockFilePath = QString());
    ~LinuxPlatform() override;

    LinuxPlatform(const LinuxPlatform &) = delete;
    LinuxPlatform &operator=(const LinuxPlatform &) = delete;

    /// @brief One adapter per interface except loopback, in interface index order, with the
    /// interface's first IPv4 address and the gateway of its default route in /proc/net/route.
    /// Never nullopt: an unreadable route table only costs the gateways.
    std::optional<QList<PlatformAdapter>> adapters() override;
    /// @brief Deletes the neighbour entry through rtnetlink; needs CAP_NET_ADMIN, else false.
    bool removeArpEntry(qint32 interfaceIndex, const QString &ipAddress) override;
    /// @brief Hands the URL to the desktop (QDesktopServices); needs a QGuiApplication.
    bool openUrl(const QUrl &url) override;
    /// @brief Takes an exclusive lock on the lock file. The kernel drops the lock when the
    /// process ends, however it ends, so a crashed copy never blocks the next one. The file's
    /// folder is made private (0700) when it is created here; a folder of another user or one
    /// others may write to, and a lock file that is a symbolic link, are not used: the copy
    /// starts unlocked rather than let another user keep it from starting.
    bool claimSingleInstance() override;
    qint32 osVersionCode() override;
    /// @brief Asks the session's accessibility bus, with a short time-out, whether it answers.
    /// Qt's bridge asks it with blocking calls of 25 s each before the first window shows; a bus
    /// that does not answer in time is left to connect later, without the blocking calls, so a
    /// hung bus launcher no longer keeps the program from appearing for most of a minute.
    void prepareDesktop() override;

    /// How long the accessibility bus may take to answer before it counts as hung.
    static constexpr int AccessibilityProbeMs = 1000;

    /// @brief "farlight.lock" in the user's runtime folder ($XDG_RUNTIME_DIR), or else in a
    /// folder of the temporary folder named with the user id.
    static QString DefaultLockFilePath();

private:
    QString m_lockFilePath;
    int m_lockFd = -1;
};

} // namespace farlight
