#pragma once

#include <QObject>
#include <QtGlobal>

namespace farlight {

class AppState;
struct AdapterRecord;
class UdpPeer;

/// @brief The set-IP conversation with one found device, without any window.
///
/// It owns the socket sock1, bound to the local adapter through which the device was found,
/// broadcasts set-IP requests to port 4000 and takes the device's answer to the last request
/// sent. A success is confirmed with one confirmation request. Requests are sent once and never
/// timed out: the caller sends again or gives up. A dialog and a command-line tool drive it alike.
class SetIpExchange : public QObject
{
    Q_OBJECT

public:
    /// The device's verdicts; replies with any other status are ignored.
    enum Status : quint16 { Ok = 0, Failure = 1, InvalidPassword = 255 };
    Q_ENUM(Status)

    /// @brief Talks to entry @p deviceIndex of the state's device table.
    SetIpExchange(AppState &state, qint16 deviceIndex, QObject *parent = nullptr);
    ~SetIpExchange() override;

    /// @brief The local adapter the device was found through, or null when the device index or
    /// its adapter index names no filled table entry.
    const AdapterRecord *adapter() const;

    /// @brief Binds sock1 to the adapter's address and interface. False for a bad index, an
    /// adapter without an address, or a failed bind.
    bool open();

    /// @brief Builds the set-IP request with the state's AdminPassword, using up its number,
    /// and broadcasts it unless the state's LoginOk is false (a cancelled login).
    ///
    /// Addresses are numeric values as InetAddr gives them; a DHCP request passes zeros. Only
    /// the answer to this request is taken from now on. False when it could not be built or sent.
    bool send(quint8 flag, quint32 address, quint32 mask, quint32 gateway);

    /// @brief Takes no answer to the request sent before, such as while a new password is asked for.
    void cancelPending();

    /// @brief Releases sock1. Called from a replied(Ok) handler, it waits for the confirmation
    /// to go out first.
    void close();

signals:
    /// @brief The device answered the last request. On Ok the confirmation is broadcast once
    /// the handlers have returned, so a message shown here comes before it.
    void replied(SetIpExchange::Status status);

private:
    void sock1DataArrival(int bytesTotal);

    AppState &m_state;
    const qint16 m_deviceIndex;
    UdpPeer *m_sock1 = nullptr;
    // True from a successful send until a reply with a known status has been taken; a reply
    // outside that window (a copy, or one arriving while its message is still shown) is ignored.
    bool m_awaitingReply = false;
    bool m_reporting = false;
    bool m_closeRequested = false;
};

} // namespace farlight
