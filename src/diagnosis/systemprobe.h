#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace farlight {

/// @brief The few things the diagnosis asks of the system besides the adapter list: files of
/// /proc and /sys, a command's output, and whether a UDP port is free.
///
/// Everything goes through here so that tests can answer from scripts; nothing here changes
/// the system.
class SystemProbe
{
public:
    struct CommandResult
    {
        bool started = false; ///< false: the program was not found or could not be started
        int exitCode = -1;
        QByteArray output;
        QByteArray errorOutput;
    };

    virtual ~SystemProbe() = default;

    /// @brief The whole file, or nullopt when it cannot be read.
    virtual std::optional<QByteArray> readFile(const QString &path) = 0;
    /// @brief Names in a folder, without "." and ".."; empty when it cannot be listed.
    virtual QStringList listFolder(const QString &path) = 0;
    /// @brief The target of a symbolic link as stored (such as "socket:[1234]"); empty when unreadable.
    virtual QString linkTarget(const QString &path) = 0;
    /// @brief Runs @p program (looked up in the search path and the administrator's folders) and
    /// waits for it.
    virtual CommandResult run(const QString &program, const QStringList &arguments) = 0;
    /// @brief Binds a UDP socket on every address at @p port, as the TFTP upload does, and
    /// releases it at once: nullopt when that worked, else the system's reason.
    virtual std::optional<QString> udpBindError(quint16 port) = 0;

protected:
    SystemProbe() = default;
    SystemProbe(const SystemProbe &) = default;
    SystemProbe &operator=(const SystemProbe &) = default;
};

/// @brief The probe of the running system.
std::unique_ptr<SystemProbe> CreateSystemProbe();

} // namespace farlight
