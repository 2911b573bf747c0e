#pragma once

#include "deviceconfig.h"
#include "tftptransfer.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QList>

#include <functional>
#include <optional>

namespace farlight {

/// @brief The TFTP write server of one simulated device, without sockets.
///
/// It sorts datagrams into transfers by the client's address and port and, in ephemeral mode,
/// by the local port opened for the transfer. The socket layer opens such ports through the
/// port opener and closes the ones expire() hands back.
class TftpService
{
public:
    /// Opens a fresh local port for a transfer and returns it; 0 when none could be opened.
    using PortOpener = std::function<quint16()>;

    /// An incomplete transfer silent for this long is abandoned.
    static constexpr qint64 IdleTimeoutMs = 60 * 1000;
    /// A complete transfer stays this long to acknowledge a repeated last block again.
    static constexpr qint64 DallyMs = 10 * 1000;

    struct Reply
    {
        QByteArray data;
        quint16 localPort = 0;
        QHostAddress peer;
        quint16 peerPort = 0;
    };

    struct Upload
    {
        QByteArray fileName;
        QByteArray image;
    };

    explicit TftpService(TftpMode mode = TftpMode::Ephemeral) : m_mode(mode) {}

    void setPortOpener(PortOpener opener) { m_openPort = std::move(opener); }
    TftpMode mode() const { return m_mode; }

    /// @brief Takes a datagram that reached @p localPort from @p peer; returns what to send.
    /// @p refuseWith makes a write request fail with that TFTP error code (fault injection).
    QList<Reply> handle(QByteArrayView data, const QHostAddress &peer, quint16 peerPort, quint16 localPort,
                        qint64 nowMs, std::optional<quint16> refuseWith = std::nullopt);

    /// @brief Drops transfers that have idled out; returns the transfer ports no longer needed.
    QList<quint16> expire(qint64 nowMs);

    /// @brief Uploads completed since the last call, in order.
    QList<Upload> takeUploads();
    /// @brief Log entries (write requests, completions, aborts) since the last call.
    QList<QJsonObject> takeEvents();

    /// @brief Transfers in progress or dallying.
    qsizetype sessionCount() const { return m_sessions.size(); }

private:
    struct Session
    {
        QHostAddress peer;
        quint16 peerPort = 0;
        quint16 localPort = 0;
        TftpTransfer transfer;
        qint64 lastActivityMs = 0;
    };

    QList<Reply> handleRequest(QByteArrayView data, const QHostAddress &peer, quint16 peerPort, qint64 nowMs,
                               std::optional<quint16> refuseWith);
    QList<Reply> feed(qsizetype index, QByteArrayView data, qint64 nowMs);
    qsizetype findByPeer(const QHostAddress &peer, quint16 peerPort) const;
    qsizetype findByLocalPort(quint16 localPort) const;
    void removeSession(qsizetype index);
    void log(QJsonObject entry, const QHostAddress &peer, quint16 peerPort);

    TftpMode m_mode;
    PortOpener m_openPort;
    QList<Session> m_sessions;
    QList<Upload> m_uploads;
    QList<QJsonObject> m_events;
    QList<quint16> m_releasedPorts;
};

} // namespace farlight
