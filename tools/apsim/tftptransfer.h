#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace farlight {

/// @brief One TFTP write transfer as the receiving server sees it, after its write request.
///
/// Blocks must arrive in order; a repeated block is acknowledged again, any other block is
/// ignored so that the client's retransmission recovers. A block shorter than 512 bytes ends it.
class TftpTransfer
{
public:
    /// Largest image the simulated device accepts; a longer upload ends with "disk full".
    static constexpr qsizetype MaxImageSize = 64 * 1024 * 1024;

    enum class State { Receiving, Complete, Aborted };

    explicit TftpTransfer(QByteArray fileName = {}) : m_fileName(std::move(fileName)) {}

    /// @brief Takes one datagram of the transfer; returns the answer to send, or nothing.
    QByteArray handle(QByteArrayView datagram);

    State state() const { return m_state; }
    /// @brief True once a DATA block has been accepted.
    bool started() const { return m_blocks > 0 || m_state != State::Receiving; }
    quint16 lastAck() const { return m_lastAck; }
    const QByteArray &image() const { return m_image; }
    const QByteArray &fileName() const { return m_fileName; }
    /// @brief Why the transfer was aborted, for the log.
    const QString &abortReason() const { return m_abortReason; }

private:
    QByteArray abort(quint16 code, const char *message, QString reason);

    QByteArray m_fileName;
    QByteArray m_image;
    quint16 m_lastAck = 0;
    quint64 m_blocks = 0;
    State m_state = State::Receiving;
    QString m_abortReason;
};

} // namespace farlight
