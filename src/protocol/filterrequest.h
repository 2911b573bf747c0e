#pragma once

#include "protocol/authblock.h"
#include "protocol/macaddress.h"
#include "protocol/sequencecounters.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace farlight {

/// @brief Sizes of the MAC filter exchange.
namespace FilterLayout {
inline constexpr qsizetype HeaderSize = 32;
inline constexpr qsizetype WriteRequestSize = 800;
inline constexpr qsizetype RequestListOffset = 32;
inline constexpr qsizetype ReplySize = 792;
inline constexpr qsizetype ReplyMinimumSize = 20;
inline constexpr qsizetype ReplyStatusOffset = 20;
inline constexpr qsizetype ReplyListOffset = 24;
inline constexpr qsizetype SlotCount = 128;
inline constexpr qsizetype SlotSize = 6;
inline constexpr quint16 StatusOk = 0;
inline constexpr quint16 StatusFailure = 1;
inline constexpr quint16 StatusBadPassword = 0xFF;
} // namespace FilterLayout

/// @brief The header of the last MAC filter request built; replies are matched against it alone.
class FilterRequestHeader
{
public:
    /// @brief Builds the 32-byte header with @p flag and uses up the filter number.
    void build(const AuthTarget &target, const QString &password, quint8 flag, SequenceCounters &counters);

    const QByteArray &bytes() const { return m_bytes; }

    /// @brief The 32-byte read request (the header itself).
    QByteArray readRequest() const { return m_bytes; }

    /// @brief The 800-byte write request: the header, then up to 128 MACs in order, the rest zero.
    QByteArray writeRequest(const QList<MacAddress> &list) const;

    /// @brief Opcode, sequence and adapter MAC of @p reply match this request; byte 5 is not examined.
    bool isReply(QByteArrayView reply) const;

private:
    QByteArray m_bytes = QByteArray(FilterLayout::HeaderSize, '\0');
};

/// @brief A MAC filter reply as far as the program reads it.
struct FilterReply
{
    quint8 flag = 0;
    quint16 status = 0;
    /// The list slots in order, without the empty (all 00) and broadcast (all FF) ones;
    /// a short list reply yields only the slots it holds whole.
    QList<MacAddress> addresses;

    /// @brief Parses a reply of at least 22 bytes with the right magic; else nothing.
    static std::optional<FilterReply> parse(QByteArrayView datagram);
};

} // namespace farlight
