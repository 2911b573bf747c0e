#pragma once

#include <QStringView>
#include <QtGlobal>

namespace farlight {

/// @brief The value InetAddr gives for text that is no address (the classic INADDR_NONE).
inline constexpr quint32 InetAddrNone = 0xFFFFFFFFu;

/// @brief Converts dotted IPv4 text to its numeric value, as the classic inet_addr does for a
/// full four-part address: "192.168.1.20" gives 0xC0A80114 (the first octet in the top byte;
/// the set-IP request writes it out first octet first).
///
/// Accepted: exactly four parts of ASCII decimal digits joined by ".", each part 0..255.
/// Leading zeros are read as decimal ("010" is ten), because every text converted here comes
/// from decimal entry fields, whose leading zeros disappear on screen; reading them as octal
/// would send a different address from the one the administrator sees.
///
/// Refused with InetAddrNone: empty text or an empty part (the entry control's "192.168..1"),
/// fewer or more than four parts (inet_addr's "a", "a.b" and "a.b.c" shorthand), hexadecimal
/// "0x" parts, signs, spaces anywhere, parts above 255, and any other character.
///
/// As with inet_addr, "255.255.255.255" gives 0xFFFFFFFF and cannot be told from a refusal;
/// the address rules treat both alike.
quint32 InetAddr(QStringView text);

} // namespace farlight
