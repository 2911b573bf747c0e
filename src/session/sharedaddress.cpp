#include "session/sharedaddress.h"

#include "session/appstate.h"
#include "session/devicetarget.h"

namespace farlight {

using namespace Qt::StringLiterals;

SharedAddress FindSharedAddress(const AppState &state, const DeviceTarget &device)
{
    SharedAddress shared{device.address, device.mac, {}};
    for (int index : state.devicesAt(device.address)) {
        const MacAddress &mac = state.deviceTable[std::size_t(index)].Mac;
        if (mac != device.mac)
            shared.others.append(mac);
    }
    return shared;
}

QString SharedAddressText(const SharedAddress &shared, const QString &what)
{
    QStringList macs{FormatMac(shared.device)};
    for (const MacAddress &mac : shared.others)
        macs.append(FormatMac(mac));
    return u"The address %1 is shared by %2 found devices (%3); %4 goes to the address, so it reaches whichever of "
           "them answers."_s.arg(shared.address)
        .arg(shared.deviceCount())
        .arg(macs.join(u", "_s), what);
}

QString SharedAddressRefusal(const SharedAddress &shared)
{
    return u"refused: %1 devices share the address"_s.arg(shared.deviceCount());
}

} // namespace farlight
