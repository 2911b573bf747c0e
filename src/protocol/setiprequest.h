#pragma once

#include "protocol/authblock.h"
#include "protocol/sequencecounters.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace farlight {

/// @brief The last set-IP request built; replies are matched against it alone.
class SetIpRequest
{
public:
    static constexpr qsizetype Size = 44;
    static constexpr qsizetype DhcpSize = 32;
    static constexpr qsizetype AddressOffset = 32;
    static constexpr qsizetype MaskOffset = 36;
    static constexpr qsizetype GatewayOffset = 40;

    /// @brief Builds the request and uses up the set-IP number, sent or not.
    /// Addresses are numeric values (192.168.1.20 is 0xC0A80114); they go out first octet first.
    void build(const AuthTarget &target, const QString &password, quint8 flag, quint32 address, quint32 mask,
               quint32 gateway, SequenceCounters &counters);

    /// @brief All 44 bytes as last built.
    const QByteArray &bytes() const { return m_bytes; }

    /// @brief What goes on the wire: 44 bytes for a static request, the first 32 for DHCP.
    QByteArray datagram() const;

    /// @brief True when @p reply answers this request: opcode, sequence and adapter MAC echoed.
    bool isReply(QByteArrayView reply) const;

private:
    QByteArray m_bytes = QByteArray(Size, '\0');
};

/// @brief A set-IP reply's verdict.
struct SetIpReply
{
    static constexpr qsizetype MinimumSize = 23;
    static constexpr qsizetype StatusOffset = 20;
    static constexpr quint16 StatusOk = 0;
    static constexpr quint16 StatusFailure = 1;
    static constexpr quint16 StatusBadPassword = 255;

    /// @brief The status of a reply of at least MinimumSize bytes with the right magic, else nothing.
    static std::optional<quint16> status(QByteArrayView reply);
};

/// @brief The 32-byte confirmation sent after a successful set-IP reply; uses the confirmation number.
QByteArray BuildConfirmRequest(const AuthTarget &target, const QString &password, SequenceCounters &counters);

} // namespace farlight
