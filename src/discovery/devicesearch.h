#pragma once

#include "session/devicerecord.h"
#include "protocol/macaddress.h"
#include "protocol/searchcodec.h"
#include "protocol/sequencecounters.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <span>

namespace farlight {

/// @brief The search exchange without sockets: the requests each adapter sends and the rules
/// by which replies become device table entries.
///
/// Every reply is compared with the request that went out through the socket it arrived on,
/// so devices answering any adapter are listed with that adapter's index.
class DeviceSearch
{
public:
    static constexpr int MaxAdapters = 11;
    static constexpr int MaxDevices = 101;

    enum class Verdict {
        Accepted,
        NotSearching,  ///< no search is collecting replies
        TooShort,      ///< fewer than 184 bytes
        BadMagic,
        NoRequest,     ///< nothing was sent through that socket in this search
        NotAReply,     ///< opcode, flag or requester MAC differ from the request
        OtherSearch,   ///< the sequence is not the current search's
        Duplicate,     ///< this device (by its MAC) is listed already
        TableFull,     ///< 101 devices are listed already
    };

    DeviceSearch(std::span<DeviceRecord, MaxDevices> table, qint16 &count);

    /// @brief Starts collecting: the table is emptied and earlier requests forgotten.
    void begin();
    /// @brief Stops collecting; later replies are dropped.
    void finish();
    bool isActive() const { return m_active; }

    /// @brief Advances the search number; every adapter's request of one search carries it.
    quint16 nextSequence();
    quint16 sequence() const { return m_sequence.value(); }

    /// @brief The 16-byte request of adapter @p adapterIndex for the current search number,
    /// remembered for matching its replies. An index outside 0..10 yields an empty array.
    QByteArray buildRequest(int adapterIndex, const MacAddress &adapterMac);

    /// @brief Applies the reply rules to a datagram that arrived on adapter @p adapterIndex's socket.
    Verdict handleDatagram(int adapterIndex, QByteArrayView datagram, const QString &sourceAddress);
    /// @brief As above, with the source address as a number (host order): it is written out only
    /// for a device that is listed, not for each of a flood's datagrams.
    Verdict handleDatagram(int adapterIndex, QByteArrayView datagram, quint32 sourceAddress);

    /// @brief How many devices (by MAC) answered this search after the table was full, counted
    /// up to TurnedAwayLimit: a flood of forged replies must not hide the real devices unsaid.
    int turnedAway() const { return int(m_turnedAway.size()); }
    static constexpr int TurnedAwayLimit = 10000;

private:
    // The reply rules; the reply of a device to list is left in @p reply.
    Verdict judge(int adapterIndex, QByteArrayView datagram, std::optional<SearchReply> &reply);
    void list(int adapterIndex, const SearchReply &reply, const QString &sourceAddress);

    std::span<DeviceRecord, MaxDevices> m_table;
    qint16 &m_count;
    std::array<QByteArray, MaxAdapters> m_requests{};
    // Starts at 0 so the first search after start-up sends 1; after 32767 it starts again at 0.
    RequestCounter m_sequence;
    quint16 m_current = 0;
    bool m_active = false;
    QSet<quint64> m_turnedAway; ///< MACs as numbers
};

/// @brief The six cells of a device's list row: host name, address, SSID, channel, WEP, MAC.
QStringList DeviceRowTexts(const DeviceRecord &device);

} // namespace farlight
