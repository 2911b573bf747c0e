#pragma once

#include "protocol/macaddress.h"

#include <QByteArray>
#include <QList>

namespace farlight {

/// @brief The device side of the set-IP and MAC filter exchanges: the replies a device sends.
namespace DeviceReply {

/// Both replies put the requesting adapter's MAC at 8..13, the device's own MAC at 14..19 and the
/// status at 20..21; bytes 22..23 stay zero.
inline constexpr qsizetype RequesterMacOffset = 8;
inline constexpr qsizetype DeviceMacOffset = 14;
inline constexpr qsizetype StatusOffset = 20;
inline constexpr qsizetype SetIpReplySize = 24;
inline constexpr qsizetype FilterReplySize = 792;
inline constexpr qsizetype FilterListOffset = 24;
inline constexpr qsizetype FilterSlotCount = 128;
inline constexpr qsizetype FilterSlotSize = 6;

inline constexpr quint16 StatusOk = 0;
inline constexpr quint16 StatusFailure = 1;
inline constexpr quint16 StatusBadPassword = 255;

/// @brief The 24-byte set-IP reply; @p flag echoes the request's flag byte.
QByteArray BuildSetIpReply(quint16 sequence, quint8 flag, const MacAddress &requester, const MacAddress &device,
                           quint16 status);

/// @brief The 792-byte filter reply; @p list fills the slots in order (at most 128), the rest stay zero.
QByteArray BuildFilterReply(quint16 sequence, quint8 flag, const MacAddress &requester, const MacAddress &device,
                            quint16 status, const QList<MacAddress> &list);

} // namespace DeviceReply

} // namespace farlight
