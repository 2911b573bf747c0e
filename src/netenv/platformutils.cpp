#include "netenv/platformutils.h"

namespace farlight {

qint32 OsVersionCodeFor(int platformId, int major, int minor, bool queryOk)
{
    static constexpr int PlatformWin9x = 1;
    static constexpr int PlatformNt = 2;
    if (!queryOk)
        return OsVersion::Unknown;
    if (platformId == PlatformWin9x) {
        if (minor == 0)
            return OsVersion::Windows95;
        return minor == 10 ? OsVersion::Windows98 : OsVersion::WindowsMe;
    }
    if (platformId == PlatformNt) {
        if (major == 5)
            return minor > 0 ? OsVersion::WindowsXp : OsVersion::Windows2000;
        return major == 4 ? OsVersion::WindowsNt4 : OsVersion::Later;
    }
    return OsVersion::Unknown;
}

qint32 GetOsVersionCode()
{
    // Every system this program builds for (Linux, Windows Vista and later) is past the
    // releases the code distinguishes, and asking Windows for its real version needs a
    // manifest; the answer would be "later releases" either way.
    static constexpr int PlatformNt = 2;
    static constexpr int CurrentMajor = 10;
    return OsVersionCodeFor(PlatformNt, CurrentMajor, 0, true);
}

QString AddressToText(const std::array<quint8, 4> &bytes)
{
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

QString AddressToText(quint32 address)
{
    return AddressToText({quint8(address >> 24), quint8(address >> 16), quint8(address >> 8), quint8(address)});
}

} // namespace farlight
