#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

namespace farlight {

/// @brief A hardware address: six bytes in wire order.
using MacAddress = std::array<quint8, 6>;

/// @brief True when the six bytes of @p a equal those of @p b.
bool MacEqual(const MacAddress &a, const MacAddress &b);

/// @brief "00-0A-1B-2C-3D-4E": upper-case hex pairs joined by "-".
QString FormatMac(const MacAddress &mac);

/// @brief "000A1B2C3D4E": the form of the filter list keys and .MAC files.
QString MacKey(const MacAddress &mac);

/// @brief The value of one hexadecimal digit, either case, or -1 for any other character.
int HexDigitValue(QChar c);

/// @brief Accepts "00-0A-1B-2C-3D-4E", "00:0a:1b:2c:3d:4e", "000a.1b2c.3d4e" and "000A1B2C3D4E",
/// either case; nothing else.
std::optional<MacAddress> ParseMac(QStringView text);

/// @brief The first six bytes of @p bytes as an address, or nothing when there are fewer.
std::optional<MacAddress> MacFromBytes(QByteArrayView bytes);

} // namespace farlight
