#pragma once

#include "session/devicerecord.h"
#include "netenv/adapterrecord.h"
#include "protocol/authblock.h"
#include "protocol/filterrequest.h"
#include "protocol/sequencecounters.h"
#include "protocol/setiprequest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace farlight {

/// @brief Everything the program keeps for its whole run, owned by main and handed to the windows.
///
/// The names of the tables and values are those the windows and dialogs are written against.
class AppState
{
public:
    static constexpr int DeviceCapacity = 101;
    static constexpr int AdapterCapacity = 11;
    static constexpr int SubnetMaskCount = 30;

    AppState();

    std::array<DeviceRecord, DeviceCapacity> DeviceTable{};
    qint16 DeviceCount = 0;

    std::array<AdapterRecord, AdapterCapacity> AdapterTable{};
    qint16 AdapterCount = 0;

    SequenceCounters Counters;
    QString AdminPassword;
    bool LoginOk = false;
    qint32 OsVersionCode = 0;
    QString AppTitle;
    QStringList SubnetMaskTable;

    /// The last set-IP request and MAC filter request header built; replies match only these.
    SetIpRequest LastSetIpRequest;
    FilterRequestHeader LastFilterRequest;

    /// @brief Entry @p deviceIndex of the device table, or null outside its filled part.
    const DeviceRecord *device(int deviceIndex) const;
    /// @brief The adapter through which device @p deviceIndex was found, or null when either
    /// index lies outside the filled tables.
    const AdapterRecord *adapterOf(int deviceIndex) const;

    /// @brief Key material of a changing request for device @p deviceIndex, or nothing when the
    /// index or its adapter index lies outside the filled tables.
    std::optional<AuthTarget> authTarget(int deviceIndex) const;

    /// @brief Builds the set-IP request for a device with the current AdminPassword; false for a bad index.
    bool BuildSetIpRequest(int deviceIndex, quint8 flag, quint32 address, quint32 mask, quint32 gateway);
    bool IsSetIpReply(QByteArrayView reply) const { return LastSetIpRequest.isReply(reply); }
    /// @brief The confirmation for a device, or nothing for a bad index.
    std::optional<QByteArray> BuildConfirmRequest(int deviceIndex);
    /// @brief Builds the MAC filter request header for a device; false for a bad index.
    bool BuildFilterRequest(int deviceIndex, quint8 flag);

    /// @brief The 30 masks with 1 to 30 leading one-bits, "128.0.0.0" to "255.255.255.252".
    static QStringList BuildSubnetMaskTable();
};

} // namespace farlight
