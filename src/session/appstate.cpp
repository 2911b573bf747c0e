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
    DeviceTarget target;
    target.mac = entry->Mac;
    target.address = entry->IpAddress;
    target.hostName = entry->HostName;
    target.adapterAddress = adapter->IpAddress;
    target.adapterMac = adapter->Mac;
    target.interfaceIndex = adapter->InterfaceIndex;
    target.adapterName = adapter->Name;
    target.adapterMask = adapter->SubnetMask;
    target.adapterGateway = adapter->Gateway;
    return target;
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

QStringList AppState::addressesInUse() const
{
    QStringList addresses;
    for (int i = 0; i < deviceCount && i < DeviceCapacity; ++i)
        addresses.append(deviceTable[std::size_t(i)].IpAddress);
    for (int i = 0; i < adapterCount && i < AdapterCapacity; ++i)
        addresses.append(adapterTable[std::size_t(i)].IpAddress);
    return addresses;
}

QStringList AppState::BuildSubnetMaskTable()
{
    QStringList masks;
    for (int bits = 1; bits <= SubnetMaskCount; ++bits)
        masks.append(AddressToText(quint32(0xFFFFFFFFu << (32 - bits))));
    return masks;
}

} // namespace farlight
