#pragma once

#include "protocol/macaddress.h"

#include <QByteArray>
#include <QString>

#include <span>

namespace farlight {

/// @brief What the scrambling key and the clear-text MACs of a changing request are made of.
struct AuthTarget
{
    MacAddress deviceMac{};
    MacAddress adapterMac{};
    /// The device's host name as the single bytes it sent in its search reply.
    QByteArray hostName;
};

/// @brief The 24 bytes at offsets 8..31 of every changing request.
struct AuthBlock
{
    static constexpr qsizetype Offset = 8;
    static constexpr qsizetype Size = 24;
    static constexpr qsizetype PasswordOffset = 8;
    static constexpr qsizetype PasswordSize = 12;
    static constexpr qsizetype DeviceMacOffset = 20;
    static constexpr qsizetype AdapterMacOffset = 26;

    /// @brief Writes the scrambled password and both MACs into @p buffer (at least 32 bytes).
    static void writeTo(QByteArray &buffer, const AuthTarget &target, const QString &password);
};

/// @brief XORs each password byte with the host-name character the key byte selects; its own inverse.
///
/// Key byte i is the device MAC (i < 6) or the adapter MAC (i >= 6); it picks host-name
/// character K[i] mod L. A device with an empty host name has no character to pick, so the
/// field is left as it is rather than dividing by zero: such a device can only undo nothing.
void ScramblePassword(const AuthTarget &target, std::span<quint8, AuthBlock::PasswordSize> field);

/// @brief The password as the 12-byte field before scrambling: one Latin-1 byte per character,
/// zero-padded, cut after 12 characters. A character with no single-byte code becomes '?';
/// IsSingleBytePassword lets the login dialog refuse such text before it gets here.
QByteArray PasswordField(const QString &password);

/// @brief True when every character of @p password has a single-byte (Latin-1) code.
bool IsSingleBytePassword(const QString &password);

} // namespace farlight
