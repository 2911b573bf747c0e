#pragma once

#include "faultconfig.h"

#include <map>
#include <random>

namespace farlight {

/// @brief Decides, reproducibly, which faults hit a request of a given device and kind.
///
/// The decisions depend only on the configuration, its seed and the order of the calls, so a
/// test that replays the same requests sees the same losses.
class FaultInjector
{
public:
    explicit FaultInjector(FaultConfig config = {});

    /// @brief True when the faults are configured for @p device and @p kind at all.
    bool applies(const MacAddress &device, RequestKind kind) const;

    /// @brief Whether this request is lost; each call for an affected request consumes one decision.
    bool drop(const MacAddress &device, RequestKind kind);

    /// @brief How often each reply goes out (1 plus the configured duplicates).
    int copies(const MacAddress &device, RequestKind kind) const;
    /// @brief How long this reply is held back; each call for an affected reply consumes one
    /// decision of lateRate.
    int delayMs(const MacAddress &device, RequestKind kind);
    std::optional<quint16> status(const MacAddress &device, RequestKind kind) const;
    std::optional<MacAddress> replyMac(const MacAddress &device, RequestKind kind) const;
    /// @brief The error that refuses this write request; each call for an affected device
    /// consumes one refusal of a limited count.
    std::optional<quint16> tftpError(const MacAddress &device);

    const FaultConfig &config() const { return m_config; }

private:
    FaultConfig m_config;
    std::mt19937 m_random;
    quint64 m_fixedCount = 0;
    quint64 m_lateCount = 0;
    std::map<MacAddress, int> m_tftpRefusals;
};

} // namespace farlight
