#include "faultinjector.h"

#include <cmath>

namespace farlight {

namespace {

// True when the running total of @p rate passes a whole number with this call: a rate of 0.25
// picks exactly every fourth. The small bias keeps 0.1 * 10 from falling just short of 1.
bool CrossesWhole(quint64 &count, double rate)
{
    constexpr double Epsilon = 1e-9;
    const double before = std::floor(double(count) * rate + Epsilon);
    ++count;
    return std::floor(double(count) * rate + Epsilon) > before;
}

} // namespace

FaultInjector::FaultInjector(FaultConfig config) : m_config(std::move(config)), m_random(m_config.seed) {}

bool FaultInjector::applies(const MacAddress &device, RequestKind kind) const
{
    const bool deviceMatches = m_config.devices.isEmpty()
        || std::any_of(m_config.devices.begin(), m_config.devices.end(),
                       [&](const MacAddress &m) { return MacEqual(m, device); });
    return deviceMatches && (m_config.kinds.isEmpty() || m_config.kinds.contains(kind));
}

bool FaultInjector::drop(const MacAddress &device, RequestKind kind)
{
    if (m_config.dropRate <= 0.0 || !applies(device, kind))
        return false;
    if (m_config.dropMode == FaultConfig::DropMode::Fixed)
        return CrossesWhole(m_fixedCount, m_config.dropRate);
    // The raw 32-bit output is mapped by hand: std::uniform_real_distribution may differ between
    // standard libraries, which would make a seed mean different losses on different machines.
    const double draw = double(m_random()) / 4294967296.0;
    return draw < m_config.dropRate;
}

int FaultInjector::copies(const MacAddress &device, RequestKind kind) const
{
    return 1 + (applies(device, kind) ? m_config.duplicate : 0);
}

int FaultInjector::delayMs(const MacAddress &device, RequestKind kind)
{
    if (!applies(device, kind))
        return 0;
    const bool late = m_config.lateRate > 0.0 && CrossesWhole(m_lateCount, m_config.lateRate);
    return m_config.delayMs + (late ? m_config.lateMs : 0);
}

std::optional<quint16> FaultInjector::status(const MacAddress &device, RequestKind kind) const
{
    return applies(device, kind) ? m_config.status : std::nullopt;
}

std::optional<MacAddress> FaultInjector::replyMac(const MacAddress &device, RequestKind kind) const
{
    return applies(device, kind) ? m_config.replyMac : std::nullopt;
}

std::optional<quint16> FaultInjector::tftpError(const MacAddress &device)
{
    if (!applies(device, RequestKind::Tftp) || !m_config.tftpError)
        return std::nullopt;
    if (m_config.tftpErrorCount && m_tftpRefusals[device]++ >= *m_config.tftpErrorCount)
        return std::nullopt;
    return m_config.tftpError;
}

} // namespace farlight
