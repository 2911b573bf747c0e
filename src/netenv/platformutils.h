#pragma once

#include <QString>

#include <array>


namespace farlight {

/// @brief Codes of the operating-system release; the inventory and the firmware upload pick variants by them.
namespace OsVersion {
inline constexpr qint32 Windows95 = 4000;
inline constexpr qint32 Windows98 = 4500;
inline constexpr qint32 WindowsMe = 4800;
inline constexpr qint32 WindowsNt4 = 4400;
inline constexpr qint32 Windows2000 = 5000;
inline constexpr qint32 WindowsXp = 5100;
inline constexpr qint32 Later = 0;
inline constexpr qint32 Unknown = 9999;
} // namespace OsVersion

/// @brief Maps a version record to its code; @p queryOk false gives Unknown.
qint32 OsVersionCodeFor(int platformId, int major, int minor, bool queryOk);

/// @brief The code of the running system. Linux and current Windows are "later releases".
qint32 GetOsVersionCode();

/// @brief Dotted decimal text of four address bytes in wire order: C0 A8 01 0A gives "192.168.1.10".
QString AddressToText(const std::array<quint8, 4> &bytes);

/// @brief Dotted decimal text of a numeric address: 0xC0A8010A gives "192.168.1.10".
QString AddressToText(quint32 address);

} // namespace farlight
