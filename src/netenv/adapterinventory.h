#pragma once

#include "netenv/adapterrecord.h"
#include "netenv/platformadapter.h"

#include <QList>

#include <array>

namespace farlight {

class Platform;

/// @brief Number of entries of the adapter table.
inline constexpr int AdapterTableSize = 11;

/// @brief The adapter table the inventory fills; the same type as AppState::AdapterTable.
using AdapterArray = std::array<AdapterRecord, AdapterTableSize>;

/// @brief What an inventory leaves for its caller to do.
struct AdapterInventoryResult
{
    /// String ids of the messages to show, in order. Each goes into a message box titled with
    /// ApplicationTitle, with an OK button only and no icon.
    QList<int> messages;
    /// Search sockets that must exist: one per entry, element i serving entry i. Element 0
    /// exists always, so the caller creates elements 1 to searchSockets - 1.
    int searchSockets = 0;
};

/// @brief Takes the inventory of the adapters @p platform lists into @p table and @p count.
///
/// At most AdapterTableSize adapters are entered, in the platform's order; entries from @p count
/// on keep what they held. @p adaptersOk is only ever cleared: when adapters were entered but
/// none has an address. Returns the messages to show instead of showing them.
AdapterInventoryResult TakeAdapterInventory(Platform &platform, AdapterArray &table, qint16 &count,
                                            bool &adaptersOk);

} // namespace farlight
