#include "netenv/adapterinventory.h"

#include "netenv/platform.h"
#include "netenv/platformutils.h"
#include "resources/strings.h"

namespace farlight {

namespace {

// An entry starts from this state rather than from what the previous inventory left in it: the
// indices shift whenever an adapter comes or goes, so leftover address texts could belong to
// another adapter, and the search would send from an address the adapter does not have. The
// "no address" text makes an adapter without an address count as such and be skipped.
AdapterRecord ClearedEntry()
{
    AdapterRecord entry;
    entry.IpAddress = NoAddress;
    entry.SubnetMask = NoAddress;
    entry.Gateway = NoAddress;
    return entry;
}

MacAddress MacFromHardwareAddress(const QByteArray &bytes)
{
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size() && qsizetype(i) < bytes.size(); ++i)
        mac[i] = quint8(bytes[qsizetype(i)]);
    return mac;
}

// The closing checks of both variants: no adapter at all, then whether any adapter has an address.
void Finish(AdapterArray &table, qint16 count, bool &adaptersOk, AdapterInventoryResult &result)
{
    result.finished = true;
    if (count == 0) {
        result.messages.append(StringId::NoAdapter);
        return;
    }
    bool anyAddress = false;
    for (qint16 i = 0; i < count; ++i) {
        AdapterRecord &entry = table[std::size_t(i)];
        entry.HasAddress = entry.IpAddress.startsWith(NoAddress) ? 0 : 1;
        anyAddress = anyAddress || entry.HasAddress != 0;
    }
    if (!anyAddress) {
        adaptersOk = false;
        result.messages.append(StringId::IpAddressNotSet);
    }
}

} // namespace

AdapterInventoryResult TakeInterfaceTableInventory(const IfTable &interfaces,
                                                   const std::function<IpAddrTable()> &readAddresses,
                                                   AdapterArray &table, qint16 &count, bool &adaptersOk)
{
    AdapterInventoryResult result;
    count = 0;
    // A failed size query or read leaves no adapters, which the closing checks report.
    if (interfaces.sizeBytes > 0 && interfaces.readResult == TableResult::Success) {
        for (const IfRow &row : interfaces.rows) {
            const QString description = TrimAtNul(row.description);
            if (description == PppAdapterDescription || description == LoopbackDescription)
                continue;
            // The table has room for eleven adapters; the rest are left out and the eleven are
            // still checked for addresses, so the search can run on them.
            if (count == AdapterTableSize)
                break;

            AdapterRecord entry = ClearedEntry();
            // Read afresh for every interface; with several addresses on one interface the
            // last one in the sorted table wins.
            const IpAddrTable addresses = readAddresses();
            if (addresses.sizeBytes > 0 && addresses.readResult == TableResult::Success) {
                for (const IpAddrRow &address : addresses.rows) {
                    if (address.index != row.index)
                        continue;
                    entry.IpAddress = AddressToText(address.address);
                    entry.SubnetMask = AddressToText(address.mask);
                    entry.Gateway = NoAddress;
                }
            }
            entry.Mac = MacFromHardwareAddress(row.physicalAddress);
            entry.InterfaceIndex = qint32(row.index);
            table[std::size_t(count)] = entry;
            ++count;
        }
    }
    result.searchSockets = count;
    Finish(table, count, adaptersOk, result);
    return result;
}

AdapterInventoryResult TakeAdapterInfoInventory(const AdapterInfoList &adapters, AdapterArray &table,
                                                qint16 &count, bool &adaptersOk)
{
    AdapterInventoryResult result;
    count = 0;
    // A failed call ends the inventory with the error shown and nothing entered: the list it
    // would have filled is not valid, and a second box saying there is no adapter would only
    // contradict the first. The search does not run because the count is 0.
    if (adapters.sizeResult != TableResult::Success && adapters.sizeResult != TableResult::BufferOverflow) {
        result.messages.append(StringId::AdapterStatusError);
        return result;
    }
    if (adapters.readResult != TableResult::Success) {
        result.messages.append(StringId::AdapterStatusError);
        return result;
    }

    for (const AdapterInfo &adapter : adapters.adapters) {
        // A prefix test: anything that begins like a dial-up adapter's description is one.
        if (TrimAtNul(adapter.description).startsWith(PppAdapterDescription))
            continue;
        // Room for eleven adapters; the rest are left out, as in the other variant.
        if (count == AdapterTableSize)
            break;

        AdapterRecord entry = ClearedEntry();
        entry.Mac = MacFromHardwareAddress(adapter.address);
        entry.InterfaceIndex = qint32(adapter.index);
        // Only the first address and the first gateway are used.
        if (!adapter.ipAddressList.isEmpty()) {
            entry.IpAddress = TrimAtNul(adapter.ipAddressList.first().address);
            entry.SubnetMask = TrimAtNul(adapter.ipAddressList.first().mask);
        }
        if (!adapter.gatewayList.isEmpty())
            entry.Gateway = TrimAtNul(adapter.gatewayList.first());
        table[std::size_t(count)] = entry;
        ++count;
    }
    result.searchSockets = count;
    Finish(table, count, adaptersOk, result);
    return result;
}

AdapterInventoryResult TakeAdapterInventory(qint32 osVersionCode, Platform &platform, AdapterArray &table,
                                            qint16 &count, bool &adaptersOk)
{
    if (osVersionCode == OsVersion::WindowsNt4) {
        return TakeInterfaceTableInventory(
            platform.readInterfaceTable(), [&platform] { return platform.readIpAddressTable(); }, table, count,
            adaptersOk);
    }
    return TakeAdapterInfoInventory(platform.readAdaptersInfo(), table, count, adaptersOk);
}

} // namespace farlight
