#pragma once

#include "netenv/adapterrecord.h"
#include "netenv/systemtables.h"

#include <QList>

#include <array>
#include <functional>

namespace farlight {

class Platform;

/// @brief Number of entries of the adapter table.
inline constexpr int AdapterTableSize = 11;

/// @brief The adapter table the inventory fills; the same type as AppState::AdapterTable.
using AdapterArray = std::array<AdapterRecord, AdapterTableSize>;

/// @brief Description of dial-up adapters, which are never entered.
inline constexpr QLatin1StringView PppAdapterDescription{"PPP Adapter."};
/// @brief Description of the loopback interface in the interface table, which is never entered.
inline constexpr QLatin1StringView LoopbackDescription{"MS TCP Loopback interface"};
/// @brief The address text of an adapter that has no address.
inline constexpr QLatin1StringView NoAddress{"0.0.0.0"};

/// @brief What an inventory leaves for its caller to do.
struct AdapterInventoryResult
{
    /// String ids of the messages to show, in order. Each goes into a message box titled with
    /// ApplicationTitle, with an OK button only and no icon.
    QList<int> messages;
    /// True when the closing checks ran (count, HasAddress, "no address" message).
    bool finished = false;
    /// Search sockets that must exist: one per entry, element i serving entry i. Element 0
    /// exists always, so the caller creates elements 1 to searchSockets - 1.
    int searchSockets = 0;
};

/// @brief Takes the inventory of the local adapters into @p table and @p count.
///
/// @p osVersionCode 4400 reads the interface and address tables, every other code the adapter
/// information list. @p adaptersOk is only ever cleared: when adapters were entered but none has
/// an address. Returns the messages to show instead of showing them.
AdapterInventoryResult TakeAdapterInventory(qint32 osVersionCode, Platform &platform, AdapterArray &table,
                                            qint16 &count, bool &adaptersOk);

/// @brief The interface-table variant, fed with the interface table and a reader of the address
/// table, which it calls afresh for every interface it enters.
AdapterInventoryResult TakeInterfaceTableInventory(const IfTable &interfaces,
                                                   const std::function<IpAddrTable()> &readAddresses,
                                                   AdapterArray &table, qint16 &count, bool &adaptersOk);

/// @brief The adapter-information variant, fed with the adapter information list.
AdapterInventoryResult TakeAdapterInfoInventory(const AdapterInfoList &adapters, AdapterArray &table,
                                                qint16 &count, bool &adaptersOk);

} // namespace farlight
