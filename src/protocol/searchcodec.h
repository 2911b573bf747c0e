#pragma once

#include "protocol/macaddress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace farlight {

/// @brief Layout of the search request (16 bytes) and reply (185 bytes).
namespace SearchLayout {
inline constexpr qsizetype RequestSize = 16;
inline constexpr qsizetype RequesterMacOffset = 8;
inline constexpr qsizetype ReplySize = 185;
inline constexpr qsizetype ReplyMinimumSize = 184;
inline constexpr qsizetype DeviceMacOffset = 14;
inline constexpr qsizetype HostNameOffset = 28;
inline constexpr qsizetype HostNameSize = 32;
inline constexpr qsizetype SsidOffset = 61;
inline constexpr qsizetype SsidSize = 32;
inline constexpr qsizetype ChannelOffset = 94;
inline constexpr qsizetype WepOffset = 113;
} // namespace SearchLayout

/// @brief The 16-byte search request of one adapter.
QByteArray BuildSearchRequest(const MacAddress &adapterMac, quint16 sequence);

/// @brief Opcode 0x12, flag 0x10 and the requester MAC of @p request echoed; short replies do not match.
bool IsSearchReply(QByteArrayView reply, QByteArrayView request);

/// @brief The fields of a search reply that the device list shows.
struct SearchReply
{
    quint16 sequence = 0;
    MacAddress requesterMac{};
    MacAddress deviceMac{};
    QString hostName;
    QString ssid;
    quint8 channel = 0;
    quint8 wep = 0;

    /// @brief Parses a datagram of at least 184 bytes with the right magic; else nothing.
    static std::optional<SearchReply> parse(QByteArrayView datagram);
};

/// @brief A fixed text field of the reply: cut before the first NUL; a field with no NUL is
/// taken whole with leading and trailing spaces removed. Bytes are single-byte (Latin-1) characters.
QString FixedFieldText(QByteArrayView field);

/// @brief The device side: a 185-byte search reply (used by the simulator and tests).
struct SearchReplyFields
{
    quint16 sequence = 0;
    MacAddress requesterMac{};
    MacAddress deviceMac{};
    QByteArray hostName; ///< up to 32 bytes; a 32-byte name is sent without NUL
    QByteArray ssid;     ///< up to 32 bytes
    quint8 channel = 0;
    quint8 wep = 0;
};
QByteArray BuildSearchReply(const SearchReplyFields &fields);

} // namespace farlight
