#pragma once

#include "protocol/macaddress.h"

#include <QList>

#include <optional>

namespace farlight {

/// @brief The kinds of request a fault can be limited to.
enum class RequestKind { Search, SetIp, Confirm, Filter, Tftp };

/// @brief Faults the simulator injects, as the "faults" object of the configuration describes them.
struct FaultConfig
{
    enum class DropMode {
        Random, ///< each request is lost with probability dropRate, drawn from a generator seeded with seed
        Fixed,  ///< exactly the requests that push the running count of dropRate over a whole number
    };

    quint32 seed = 1;
    double dropRate = 0.0;
    DropMode dropMode = DropMode::Random;
    /// Extra copies sent of every reply.
    int duplicate = 0;
    int delayMs = 0;
    /// Share of replies held back lateMs longer: those that carry the running total over a whole number.
    double lateRate = 0.0;
    int lateMs = 0;
    /// Status written into set-IP and filter replies instead of the true one.
    std::optional<quint16> status;
    /// MAC written at reply bytes 8..13 instead of the requesting adapter's.
    std::optional<MacAddress> replyMac;
    /// TFTP error code with which a write request is refused.
    std::optional<quint16> tftpError;
    /// How many write requests per device tftpError refuses; none means every one.
    std::optional<int> tftpErrorCount;
    /// Devices the faults apply to; empty means every device.
    QList<MacAddress> devices;
    /// Request kinds the faults apply to; empty means every kind.
    QList<RequestKind> kinds;
};

} // namespace farlight
