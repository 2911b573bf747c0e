#include "netenv/adapterinventory.h"

#include "netenv/platform.h"
#include "resources/strings.h"

#include <algorithm>

namespace farlight {

AdapterInventoryResult TakeAdapterInventory(Platform &platform, AdapterArray &table, qint16 &count,
                                            bool &adaptersOk)
{
    AdapterInventoryResult result;
    count = 0;
    // Nothing is entered when the system cannot list its adapters: a second box saying there is
    // no adapter would only contradict the error. The search does not run because the count is 0.
    const std::optional<QList<PlatformAdapter>> adapters = platform.adapters();
    if (!adapters) {
        result.messages.append(StringId::AdapterStatusError);
        return result;
    }

    for (const PlatformAdapter &adapter : *adapters) {
        // The table has room for eleven adapters; the rest are left out and the eleven are still
        // checked for addresses, so the search can run on them.
        if (count == AdapterTableSize)
            break;
        // Every field is set afresh rather than kept from the previous inventory: the indices shift
        // whenever an adapter comes or goes, so leftover texts could belong to another adapter.
        AdapterRecord entry;
        entry.IpAddress = adapter.ipAddress;
        entry.SubnetMask = adapter.subnetMask;
        entry.Gateway = adapter.gateway;
        entry.Mac = adapter.mac;
        entry.InterfaceIndex = adapter.index;
        entry.Name = adapter.name;
        entry.HasAddress = adapter.ipAddress.startsWith(NoAddress) ? 0 : 1;
        table[std::size_t(count)] = entry;
        ++count;
    }
    result.searchSockets = count;

    if (count == 0) {
        result.messages.append(StringId::NoAdapter);
        return result;
    }
    const bool anyAddress = std::any_of(table.begin(), table.begin() + count,
                                        [](const AdapterRecord &entry) { return entry.HasAddress != 0; });
    if (!anyAddress) {
        adaptersOk = false;
        result.messages.append(StringId::IpAddressNotSet);
    }
    return result;
}

} // namespace farlight
