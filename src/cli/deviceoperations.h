#pragma once

#include "protocol/macaddress.h"
#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace farlight::cli {

/// @brief How one operation on one device ended: the text to show and whether it succeeded.
using OperationDone = std::function<void(const QString &result, bool ok)>;

/// @brief What every operation needs besides its device: the program's request counters, how
/// long the device may stay silent, and the object the exchange lives under.
struct OperationContext
{
    SequenceCounters &counters;
    std::chrono::milliseconds answerTimeout;
    QObject *parent = nullptr;
};

/// @brief The address settings of one set-IP request.
struct AddressSettings
{
    bool dhcp = false;
    quint32 address = 0; ///< as InetAddr gives it; zeros for DHCP
    quint32 mask = 0;
    quint32 gateway = 0;
};

// Each operation below opens its own exchange with @p device, reports exactly once through its
// callback, never from inside the call, and lets the exchange go when it has reported. A request
// that cannot be sent is reported as message 308, a silent device as "no answer".

/// @brief Sends one set-IP request; succeeds on the device's OK (the confirmation follows).
void SetDeviceAddress(const DeviceTarget &device, const QString &password, const AddressSettings &settings,
                      const OperationContext &context, const OperationDone &done);

/// @brief Writes @p list (list order) to the device; with @p verify reads it back, and succeeds
/// only when the device keeps exactly that list ("Pass; verified").
void WriteDeviceFilter(const DeviceTarget &device, const QString &password, const QList<MacAddress> &list, bool verify,
                       const OperationContext &context, const OperationDone &done);

/// @brief Reads the device's list: the addresses in list order, or nothing and why.
void ReadDeviceFilter(const DeviceTarget &device, const QString &password, const OperationContext &context,
                      const std::function<void(const std::optional<QList<MacAddress>> &list, const QString &failure)> &done);

} // namespace farlight::cli
