#pragma once

#include <QtGlobal>

#include <array>

namespace farlight {

/// @brief A request number of 0..32767 that only moves forward.
///
/// The two wire bytes are big-endian. After 32767 the number starts again at 0 instead of
/// overflowing: a late reply can only be confused with a request 32768 numbers earlier.
class RequestCounter
{
public:
    static constexpr quint16 Max = 32767;

    quint16 value() const { return m_value; }
    /// @brief Returns the current number and advances to the next one.
    quint16 take();

private:
    quint16 m_value = 0;
};

/// @brief The three request counters of the changing requests: set IP, MAC filter, confirmation.
class SequenceCounters
{
public:
    enum Kind { SetIp = 0, Filter = 1, Confirm = 2 };

    quint16 value(Kind kind) const { return m_counters[kind].value(); }
    quint16 take(Kind kind) { return m_counters[kind].take(); }

private:
    std::array<RequestCounter, 3> m_counters{};
};

} // namespace farlight
