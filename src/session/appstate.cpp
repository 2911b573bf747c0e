#include "session/appstate.h"

#include "netenv/platformutils.h"
#include "resources/strings.h"

namespace farlight {

AppState::AppState()
    : AppTitle(text(StringId::ProductName))
    , SubnetMaskTable(BuildSubnetMaskTable())
{
}

const DeviceRecord *AppState::device(int deviceIndex) const
{
    if (deviceIndex < 0 || deviceIndex >= DeviceCount || deviceIndex >= DeviceCapacity)
        return nullptr;
    return &DeviceTable[std::size_t(deviceIndex)];
}

const AdapterRecord *AppState::adapterOf(int deviceIndex) const
{
    const DeviceRecord *entry = device(deviceIndex);
    if (!entry || entry->AdapterIndex < 0 || entry->AdapterIndex >= AdapterCount || entry->AdapterIndex >= AdapterCapacity)
        return nullptr;
    return &AdapterTable[std::size_t(entry->AdapterIndex)];
}

std::optional<AuthTarget> AppState::authTarget(int deviceIndex) const
{
    if (deviceIndex < 0 || deviceIndex >= DeviceCapacity)
        return std::nullopt;
    const DeviceRecord &device = DeviceTable[std::size_t(deviceIndex)];
    if (device.AdapterIndex < 0 || device.AdapterIndex >= AdapterCapacity)
        return std::nullopt;
    const AdapterRecord &adapter = AdapterTable[std::size_t(device.AdapterIndex)];
    // The host name came off the wire as Latin-1; converting back gives the device's own bytes.
    return AuthTarget{device.Mac, adapter.Mac, device.HostName.toLatin1()};
}

bool AppState::BuildSetIpRequest(int deviceIndex, quint8 flag, quint32 address, quint32 mask, quint32 gateway)
{
    const auto target = authTarget(deviceIndex);
    if (!target)
        return false;
    LastSetIpRequest.build(*target, AdminPassword, flag, address, mask, gateway, Counters);
    return true;
}

std::optional<QByteArray> AppState::BuildConfirmRequest(int deviceIndex)
{
    const auto target = authTarget(deviceIndex);
    if (!target)
        return std::nullopt;
    return farlight::BuildConfirmRequest(*target, AdminPassword, Counters);
}

bool AppState::BuildFilterRequest(int deviceIndex, quint8 flag)
{
    const auto target = authTarget(deviceIndex);
    if (!target)
        return false;
    LastFilterRequest.build(*target, AdminPassword, flag, Counters);
    return true;
}

QStringList AppState::BuildSubnetMaskTable()
{
    QStringList masks;
    for (int bits = 1; bits <= SubnetMaskCount; ++bits)
        masks.append(AddressToText(quint32(0xFFFFFFFFu << (32 - bits))));
    return masks;
}

} // namespace farlight
