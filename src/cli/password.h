#pragma once

#include <QByteArray>
#include <QString>

class QFile;

#include <functional>
#include <optional>

namespace farlight::cli {

/// @brief Where the device password may come from, in this order: a file named on the command
/// line, the FARLIGHT_PASSWORD environment variable, a prompt on the terminal.
struct PasswordSources
{
    QString file;                          ///< --password-file, or empty
    std::optional<QString> environment;    ///< FARLIGHT_PASSWORD, when set
    std::function<std::optional<QString>()> prompt; ///< asks without echo; null when there is no terminal
};

/// @brief The password, or the message that says why there is none.
struct PasswordResult
{
    std::optional<QString> password;
    QString error;
};

/// @brief Takes the password from the first source present. A file gives its first line (a
/// trailing CR LF or LF is not part of it). The password must fit the device's 12 single-byte
/// characters: a longer one would be cut and fail for a reason nobody could see.
PasswordResult ResolvePassword(const PasswordSources &sources);

/// @brief Overwrites and empties @p bytes, which held a password, where the compiler cannot
/// drop the writes as unused.
void Wipe(QByteArray &bytes);

/// @brief Why the open @p file, which holds secrets (@p what: "password file"), must not be
/// used: it can be read by group or others. Empty when it is private enough.
QString RefuseOpenSecretFile(const QFile &file, const QString &what);

/// @brief Why @p password cannot be sent (not single-byte, longer than the device's 12
/// characters), or empty.
QString CheckPassword(const QString &password);

/// @brief Asks for the password on the controlling terminal with echo off; nothing when there
/// is no terminal or it cannot be read.
std::optional<QString> PromptWithoutEcho(const QString &prompt);

} // namespace farlight::cli
