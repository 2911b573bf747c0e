// apsim's configuration file, as anyone running the simulator may write it: a file is either
// refused with a message, leaving nothing configured, or gives 1 to 250 devices whose every
// field lies within what the simulator and the lab scripts rely on.
#include "fuzzinput.h"

#include "simconfig.h"

#include <QSet>

using namespace farlight;

namespace {

constexpr qsizetype MaxDevices = 250;
constexpr qsizetype MaxText = 32;
constexpr qsizetype MaxPassword = 12;
constexpr qsizetype MaxFilter = 128;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SimConfig config;
    const bool loaded = config.load(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    FUZZ_CHECK(loaded == config.errorString().isEmpty());
    if (!loaded) {
        FUZZ_CHECK(config.devices().isEmpty());
        return 0;
    }
    const QList<DeviceConfig> &devices = config.devices();
    FUZZ_CHECK(!devices.isEmpty() && devices.size() <= MaxDevices);
    QSet<QString> macs;
    QSet<quint32> addresses;
    for (const DeviceConfig &d : devices) {
        FUZZ_CHECK(!d.hostName.isEmpty() && d.hostName.size() <= MaxText && !d.hostName.contains('\0'));
        FUZZ_CHECK(d.ssid.size() <= MaxText && d.password.size() <= MaxPassword);
        FUZZ_CHECK(d.ip.protocol() == QAbstractSocket::IPv4Protocol && d.ip.toIPv4Address() != 0);
        FUZZ_CHECK(d.segment == 1 || d.segment == 2);
        FUZZ_CHECK(d.filter.size() <= MaxFilter);
        for (const QHostAddress &spare : d.spareIps)
            FUZZ_CHECK(spare.protocol() == QAbstractSocket::IPv4Protocol && spare != d.ip);
        macs.insert(MacKey(d.mac));
        addresses.insert(d.ip.toIPv4Address());
    }
    // Devices fresh from the box may share an address, never a MAC.
    FUZZ_CHECK(macs.size() == devices.size() && addresses.size() <= devices.size());
    for (const MacAddress &m : config.faults().devices)
        FUZZ_CHECK(macs.contains(MacKey(m)));
    FUZZ_CHECK(config.faults().dropRate >= 0.0 && config.faults().dropRate <= 1.0);
    return 0;
}
