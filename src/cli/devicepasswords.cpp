#include "cli/devicepasswords.h"

#include "session/devicetarget.h"

namespace farlight::cli {

std::optional<QString> DevicePasswords::prepare(const QString &credentialsFile, const PasswordSources &sources)
{
    m_sources = sources;
    if (credentialsFile.isEmpty())
        return takeUsual();
    auto loaded = CredentialsFile::load(credentialsFile);
    if (const QString *error = std::get_if<QString>(&loaded))
        return *error;
    m_credentials = std::get<CredentialsFile>(std::move(loaded));
    // A file or the variable is checked now; a prompt waits until a device turns out to need it.
    if (!m_credentials->coversEveryDevice() && (!sources.file.isEmpty() || sources.environment))
        return takeUsual();
    return std::nullopt;
}

std::optional<QString> DevicePasswords::ready(const QList<DeviceTarget> &devices)
{
    if (m_password)
        return std::nullopt;
    for (const DeviceTarget &device : devices) {
        if (!(m_credentials && m_credentials->passwordFor(device)))
            return takeUsual();
    }
    return std::nullopt;
}

QString DevicePasswords::of(const DeviceTarget &device) const
{
    if (m_credentials) {
        if (std::optional<QString> password = m_credentials->passwordFor(device))
            return *password;
    }
    return m_password.value_or(QString());
}

std::optional<QString> DevicePasswords::takeUsual()
{
    const PasswordResult result = ResolvePassword(m_sources);
    if (!result.password)
        return result.error;
    m_password = *result.password;
    return std::nullopt;
}

} // namespace farlight::cli
