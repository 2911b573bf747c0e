#include "session/appstate.h"

#include "netenv/platformutils.h"
#include "resources/strings.h"

#include <QHostAddress>

namespace farlight {

AppState::AppState()
    : appTitle(text(StringId::ProductName))
    , subnetMaskTable(BuildSubnetMaskTable())
{
}

const DeviceRecord *AppState::device(int deviceIndex) const
{
    if (deviceIndex < 0 || deviceIndex >= deviceCount || deviceIndex >= DeviceCapacity)
        return nullptr;
    return &deviceTable[std::size_t(deviceIndex)];
}

const AdapterRecord *AppState::adapterOf(int deviceIndex) const
{
    const DeviceRecord *entry = device(deviceIndex);
    if (!entry || entry->AdapterIndex < 0 || entry->AdapterIndex >= adapterCount || entry->AdapterIndex >= AdapterCapacity)
        return nullptr;
    return &adapterTable[std::size_t(entry->AdapterIndex)];
}

std::optional<DeviceTarget> AppState::target(int deviceIndex) const
{
    const DeviceRecord *entry = device(deviceIndex);
    const AdapterRecord *adapter = adapterOf(deviceIndex);
    if (!entry || !adapter)
        return std::nullopt;
    return DeviceTarget{entry->Mac,       entry->IpAddress,       entry->HostName, adapter->IpAddress,
                        adapter->Mac,     adapter->InterfaceIndex, adapter->Name};
}

QList<int> AppState::devicesAt(const QString &address) const
{
    const QHostAddress wanted(address);
    QList<int> found;
    for (int i = 0; i < deviceCount && i < DeviceCapacity; ++i) {
        if (QHostAddress(deviceTable[std::size_t(i)].IpAddress) == wanted)
            found.append(i);
    }
    return found;
}

std::optional<AuthTarget> AppState::authTarget(int deviceIndex) const
{
    if (deviceIndex < 0 || deviceIndex >= DeviceCapacity)
        return std::nullopt;
    const DeviceRecord &device = deviceTable[std::size_t(deviceIndex)];
    if (device.AdapterIndex < 0 || device.AdapterIndex >= AdapterCapacity)
        return std::nullopt;
    const AdapterRecord &adapter = adapterTable[std::size_t(device.AdapterIndex)];
    return AuthTarget{device.Mac, adapter.Mac, device.HostName.toLatin1()};
}

bool AppState::BuildSetIpRequest(int deviceIndex, quint8 flag, quint32 address, quint32 mask, quint32 gateway)
{
    const auto target = authTarget(deviceIndex);
    if (!target)
        return false;
    LastSetIpRequest.build(*target, AdminPassword, flag, address, mask, gateway, counters);
    return true;
}

std::optional<QByteArray> AppState::BuildConfirmRequest(int deviceIndex)
{
    const auto target = authTarget(deviceIndex);
    if (!target)
        return std::nullopt;
    return farlight::BuildConfirmRequest(*target, AdminPassword, counters);
}

bool AppState::BuildFilterRequest(int deviceIndex, quint8 flag)
{
    const auto target = authTarget(deviceIndex);
    if (!target)
        return false;
    LastFilterRequest.build(*target, AdminPassword, flag, counters);
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
