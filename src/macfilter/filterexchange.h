#pragma once

#include "protocol/filterrequest.h"
#include "protocol/macaddress.h"
#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <chrono>
#include <optional>

namespace farlight {

class UdpPeer;

/// @brief The MAC filter conversation with one found device, without any window.
///
/// It owns its socket, bound to the local adapter through which the device was found, and
/// broadcasts read and write requests to port 4000. Only an answer to its own last request,
/// carrying this adapter's MAC and of the kind that request awaits, is taken, and only the first
/// one. Requests are sent once and never repeated; the exchange keeps its own request, so
/// several devices can be worked on at once.
class FilterExchange : public QObject
{
    Q_OBJECT

public:
    /// The device's verdicts on a write, or on a read it refused; other statuses are ignored.
    enum Status : quint16 { Pass = 0, Fail = 1, InvalidPassword = 0xFF };
    Q_ENUM(Status)

    /// How long a write waits for its verdict unless the caller says otherwise.
    static constexpr std::chrono::milliseconds WriteTimeout{5000};

    /// @brief The string id shown for @p status: 209 "Pass", 210 "Fail", 302 "Invalid Password".
    static int message(Status status);

    FilterExchange(const DeviceTarget &device, SequenceCounters &counters, QObject *parent = nullptr);
    ~FilterExchange() override;

    const DeviceTarget &device() const { return m_device; }

    /// @brief How long a read waits for the list before noAnswer(); zero (the default) waits
    /// for as long as the exchange lives.
    void setReadTimeout(std::chrono::milliseconds timeout) { m_readTimeout = timeout; }
    /// @brief How long a write waits for its verdict before noAnswer(); WriteTimeout by default.
    void setWriteTimeout(std::chrono::milliseconds timeout) { m_writeTimeout = timeout; }

    /// @brief Binds the socket to the adapter's address and interface. False for an adapter
    /// without an address or a failed bind (the caller shows message 308).
    bool open();

    /// @brief Builds and broadcasts the 32-byte read request with @p password, using up a
    /// filter number. False when it could not be sent (message 308; the dialog closes).
    bool requestList(const QString &password);

    /// @brief Broadcasts the 800-byte write request carrying @p list (at most 128 addresses, in
    /// list order) with @p password. Without a password (a cancelled login) nothing is built or
    /// sent, no number is used, an answer still due stays welcome, and the result is true.
    /// False when it could not be sent (message 308; the dialog stays).
    bool sendList(const std::optional<QString> &password, const QList<MacAddress> &list);

    /// @brief Releases the socket; later replies are lost and noAnswer() is not raised.
    void close();

signals:
    /// @brief The device sent its list: the addresses in the reply's order, without empty and
    /// broadcast slots and without repeats. A reply too short for all 128 slots gives the
    /// complete slots it holds.
    void listReceived(const QList<MacAddress> &addresses);

    /// @brief The device answered a write with a verdict, or refused a read (Fail, InvalidPassword).
    void replied(farlight::FilterExchange::Status status);

    /// @brief The last request has had no answer within its timeout. Nothing is sent again, and
    /// a late answer is still taken until close().
    void noAnswer();

private:
    enum class Awaiting { Nothing, List, Verdict };

    void receive(int bytesTotal);
    bool broadcast(const QByteArray &datagram, Awaiting awaiting, std::chrono::milliseconds timeout);

    const DeviceTarget m_device;
    SequenceCounters &m_counters;
    UdpPeer *m_socket = nullptr;
    FilterRequestHeader m_request;
    QTimer m_noAnswerTimer;
    std::chrono::milliseconds m_readTimeout{0};
    std::chrono::milliseconds m_writeTimeout = WriteTimeout;
    // What the request sent last waits for; a copy of its answer, an answer of the other kind,
    // or one arriving while its message is still shown, is ignored.
    Awaiting m_awaiting = Awaiting::Nothing;
};

} // namespace farlight
