#pragma once

#include "session/devicerecord.h"
#include "netenv/adapterrecord.h"
#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"

#include <QList>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace farlight {

/// @brief What the program keeps for its whole run, owned by main and handed to the windows: the
/// tables the search fills and the request counters. What one exchange with one device needs
/// (its request, its password) belongs to that exchange.
class AppState
{
public:
    static constexpr int DeviceCapacity = 101;
    static constexpr int AdapterCapacity = 11;
    static constexpr int SubnetMaskCount = 30;

    AppState();

    std::array<DeviceRecord, DeviceCapacity> deviceTable{};
    qint16 deviceCount = 0;

    std::array<AdapterRecord, AdapterCapacity> adapterTable{};
    qint16 adapterCount = 0;

    SequenceCounters counters;
    QString appTitle;
    QStringList subnetMaskTable;

    /// @brief Entry @p deviceIndex of the device table, or null outside its filled part.
    const DeviceRecord *device(int deviceIndex) const;
    /// @brief The adapter through which device @p deviceIndex was found, or null when either
    /// index lies outside the filled tables.
    const AdapterRecord *adapterOf(int deviceIndex) const;

    /// @brief Device @p deviceIndex with its adapter, as an exchange takes it, or nothing when
    /// either index lies outside the filled tables.
    std::optional<DeviceTarget> target(int deviceIndex) const;

    /// @brief The found devices that answered from @p address (compared by value), in table order.
    QList<int> devicesAt(const QString &address) const;
    /// @brief The addresses the found devices answered from and those of the adapters: what no
    /// device should be given.
    QStringList addressesInUse() const;

    /// @brief The 30 masks with 1 to 30 leading one-bits, "128.0.0.0" to "255.255.255.252".
    static QStringList BuildSubnetMaskTable();
};

} // namespace farlight
