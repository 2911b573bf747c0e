#pragma once

#include "protocol/macaddress.h"

#include <QList>
#include <QObject>
#include <QtGlobal>

class QTimer;

namespace farlight {

class AppState;
struct AdapterRecord;
class UdpPeer;

/// @brief The MAC filter conversation with one found device, without any window.
///
/// It owns the socket MacSocket, bound to the local adapter through which the device was found,
/// and broadcasts read and write requests to port 4000. Only an answer to the last filter request
/// built (AppState::LastFilterRequest) and carrying this adapter's MAC is taken, and only the
/// first such answer. Requests are sent once and never repeated; the login before a write is the
/// caller's, which leaves AdminPassword and LoginOk in the state.
class FilterExchange : public QObject
{
    Q_OBJECT

public:
    /// The device's verdicts on a write, or on a read it refused; other statuses are ignored.
    enum Status : quint16 { Pass = 0, Fail = 1, InvalidPassword = 0xFF };
    Q_ENUM(Status)

    /// How long a write may stay unanswered before noAnswer() is raised.
    static constexpr int NoAnswerTimeout = 5000;

    /// @brief The string id shown for @p status: 209 "Pass", 210 "Fail", 302 "Invalid Password".
    static int message(Status status);

    /// @brief Talks to entry @p deviceIndex of the state's device table.
    FilterExchange(AppState &state, qint16 deviceIndex, QObject *parent = nullptr);
    ~FilterExchange() override;

    /// @brief The local adapter the device was found through, or null when the device index or
    /// its adapter index names no filled table entry.
    const AdapterRecord *adapter() const;

    /// @brief Binds MacSocket to the adapter's address and interface. False for a bad index, an
    /// adapter without an address, or a failed bind (the caller shows message 308).
    bool open();

    /// @brief Builds and broadcasts the 32-byte read request with the current AdminPassword,
    /// using up a filter number. False when it could not be built or sent (message 308; the
    /// dialog closes).
    bool requestList();

    /// @brief Broadcasts the 800-byte write request carrying @p list (at most 128 addresses, in
    /// list order) with the current AdminPassword, when LoginOk is true. After a cancelled login
    /// nothing is built or sent, no number is used, and the result is true. False when it could
    /// not be built or sent (message 308; the dialog stays).
    bool sendList(const QList<MacAddress> &list);

    /// @brief Releases MacSocket; later replies are lost and noAnswer() is not raised.
    void close();

signals:
    /// @brief The device sent its list: the addresses in the reply's order, without empty and
    /// broadcast slots and without repeats. A reply too short for all 128 slots gives the
    /// complete slots it holds.
    void listReceived(const QList<MacAddress> &addresses);

    /// @brief The device answered a write with a verdict, or refused a read (Fail, InvalidPassword).
    void replied(FilterExchange::Status status);

    /// @brief The last write has had no answer for NoAnswerTimeout. Nothing is sent again.
    void noAnswer();

private:
    void macSocketDataArrival(int bytesTotal);
    bool broadcast(const QByteArray &datagram);

    AppState &m_state;
    const qint16 m_deviceIndex;
    UdpPeer *m_macSocket = nullptr;
    QTimer *m_noAnswerTimer = nullptr;
    // True from a successful send until an answer to it has been taken; a copy of the answer,
    // or one arriving while its message is still shown, is then ignored.
    bool m_awaitingReply = false;
};

} // namespace farlight
