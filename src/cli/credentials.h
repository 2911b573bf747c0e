#pragma once

#include "discovery/devicename.h"

#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace farlight {
struct DeviceTarget;
}

namespace farlight::cli {

/// @brief A file of device passwords, one "DEVICE,PASSWORD" a line: DEVICE is a MAC address,
/// an IP address, a host name or "*" for every device no other line names. Lines whose first
/// character that is not a blank is "#" are comments, blank lines are skipped, and blanks
/// around either field are dropped; the password is everything after the first comma, so it may
/// itself hold commas and "#".
///
/// A device takes the password of the most specific line that names it: its MAC, else its IP
/// address, else its host name, else "*". An address comes before a host name because devices
/// fresh from the box share a host name, while a LAN gives an address to one device at a time.
/// A name may appear only once (in any notation), so no two lines can compete for a device.
class CredentialsFile
{
public:
    /// A file of a few thousand devices is a few hundred kilobytes; a larger one is refused.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    /// @brief Reads @p path. It must not be readable by group or others (as ssh refuses keys).
    /// On failure: the message, naming the file and, for a bad line, its number.
    static std::variant<CredentialsFile, QString> load(const QString &path);
    /// @brief Reads the file's text; @p path only names it in messages.
    static std::variant<CredentialsFile, QString> parse(QByteArrayView text, const QString &path);

    /// @brief The password for @p device, or nothing when no line names it.
    std::optional<QString> passwordFor(const DeviceTarget &device) const;
    /// @brief True when a "*" line gives every device a password.
    bool coversEveryDevice() const { return m_fallback.has_value(); }

private:
    struct Line
    {
        DeviceName device;
        QString password;
    };
    QList<Line> m_lines;
    std::optional<QString> m_fallback; ///< the "*" line
};

} // namespace farlight::cli
