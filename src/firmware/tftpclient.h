#pragma once

#include "firmware/tftpupload.h"
#include "protocol/tftppacket.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QVarLengthArray>

#include <optional>

namespace farlight {

/// @brief What the transfer asks of its socket, timer and display after one event.
struct TftpClientStep
{
    enum class Timer {
        Keep,  ///< leave the retransmission timer as it is
        Start, ///< (re)start it for a full interval
        Stop,
    };

    struct Send
    {
        QByteArray datagram;
        quint16 port = 0;         ///< on the server's address
        bool mustSucceed = false; ///< when it cannot be sent, call TftpClient::sendFailed()
    };

    // Held in place: a step is made for every block, and never sends more than one datagram.
    QVarLengthArray<Send, 1> sends; ///< in this order
    std::optional<int> percent; ///< to show, 0 to 100
    Timer timer = Timer::Keep;
    std::optional<TftpUpload::Outcome> outcome; ///< the transfer has ended
};

/// @brief The TFTP write transfer of one image as a plain state machine: no socket, no timer.
///
/// Each event (start, a datagram, an expiry of the retransmission timer) returns a Step that
/// says what to send, what percentage to show, what to do with the timer and whether the
/// transfer has ended. TftpUpload carries the steps out on its socket and timer; a test plays
/// the socket and the clock itself.
///
/// It answers the server from whichever port the server's first answer came from (RFC 1350's
/// transfer identifier), ignores every other host, never resends on an acknowledgement of a block
/// acknowledged before (a repeat, or one that arrived late), gives up after five expiries in a row
/// without progress, and numbers blocks modulo 65536.
class TftpClient
{
public:
    using Outcome = TftpUpload::Outcome;

    static constexpr int RetryLimit = 4; ///< the transfer times out when the expiries exceed this
    /// Block numbers further behind than this are taken as ahead, as after a wrap-around.
    static constexpr quint16 HalfBlockSpace = 0x8000;
    static constexpr char FileName[] = "/";
    static constexpr char Mode[] = "octet";

    using Step = TftpClientStep;
    using Send = TftpClientStep::Send;
    using Timer = TftpClientStep::Timer;

    explicit TftpClient(const QHostAddress &server = {}, qint32 osVersionCode = 0);

    /// @brief Starts a transfer of @p image: the write request to port 69 and the timer.
    /// Nothing while a transfer is running.
    Step start(const QByteArray &image);
    /// @brief A datagram that arrived from @p from, port @p fromPort.
    Step receive(QByteArrayView datagram, const QHostAddress &from, quint16 fromPort);
    /// @brief The retransmission timer expired.
    Step expire();
    /// @brief A send marked mustSucceed could not go out: the transfer ends with SendFailed.
    Step sendFailed();
    /// @brief Ends the transfer without a word to the server.
    void cancel() { m_state = State::Idle; }

    bool isRunning() const { return m_state == State::AwaitingWriteAck || m_state == State::Sending; }
    /// @brief The code of the server's ERROR datagram (DeviceError), otherwise -1.
    int errorCode() const { return m_errorCode; }

private:
    enum class State { Idle, AwaitingWriteAck, Sending, Stalled, Ended };

    Step acknowledged(quint16 block);
    Step advance(quint16 block);
    Step nextBlock();
    Step fail(Outcome outcome, Tftp::ErrorCode answer);
    Step end(Outcome outcome);
    std::optional<int> percentBefore(qint64 position) const;

    QHostAddress m_server;
    qint32 m_osVersionCode = 0;
    State m_state = State::Idle;
    QByteArray m_image;
    quint16 m_serverPort = Tftp::ServerPort;
    bool m_portLatched = false;
    qint64 m_position = 0;   // next image byte to send, from 0
    qint64 m_percentStep = 0;
    quint16 m_block = 0;     // number of the DATA block last sent
    qint64 m_blocksNumbered = 0; // DATA blocks sent so far, without the wrap-around
    bool m_lastBlockSent = false;
    QByteArray m_lastSent;   // write request or DATA; an expiry sends it again
    int m_retries = 0;       // expiries in a row without progress
    int m_errorCode = -1;
};

} // namespace farlight
