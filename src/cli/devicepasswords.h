#pragma once

#include "cli/credentials.h"
#include "cli/password.h"

#include <QList>
#include <QString>

#include <optional>

namespace farlight {
struct DeviceTarget;
}

namespace farlight::cli {

/// @brief Each device's password: from the credentials file when it names the device, else from
/// the usual source (--password-file, FARLIGHT_PASSWORD, a prompt), taken once and only when
/// some device needs it.
class DevicePasswords
{
public:
    /// @brief Before the search: reads @p credentialsFile (none when empty) and, when a device may
    /// fall back to it and it needs no prompt, the usual password. The message when one is refused.
    std::optional<QString> prepare(const QString &credentialsFile, const PasswordSources &sources);

    /// @brief After the search: takes the usual password, prompting if need be, when one of
    /// @p devices has none in the file. The message when there is none.
    std::optional<QString> ready(const QList<DeviceTarget> &devices);

    /// @brief The password for @p device's requests.
    QString of(const DeviceTarget &device) const;

private:
    std::optional<QString> takeUsual();

    PasswordSources m_sources;
    std::optional<QString> m_password; ///< for devices the credentials file does not name
    std::optional<CredentialsFile> m_credentials;
};

} // namespace farlight::cli
