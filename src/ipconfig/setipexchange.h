#pragma once

#include "protocol/sequencecounters.h"
#include "protocol/setiprequest.h"
#include "session/devicetarget.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <chrono>
#include <optional>

namespace farlight {

class UdpPeer;

/// @brief The set-IP conversation with one found device, without any window.
///
/// It owns its socket, bound to the local adapter through which the device was found,
/// broadcasts set-IP requests to port 4000 and takes the device's answer to the last request
/// it sent, from the device's address (or the static address just asked for; after DHCP, from any) alone. A success is confirmed with one confirmation request. Requests are sent once; the
/// caller sends again or gives up. Each exchange keeps its own request and password, so many
/// devices can be worked on at once; only the request numbers are shared, program-wide.
class SetIpExchange : public QObject
{
    Q_OBJECT

public:
    /// The device's verdicts; replies with any other status are ignored.
    enum Status : quint16 { Ok = 0, Failure = 1, InvalidPassword = 255 };
    Q_ENUM(Status)

    SetIpExchange(const DeviceTarget &device, SequenceCounters &counters, QObject *parent = nullptr);
    ~SetIpExchange() override;

    const DeviceTarget &device() const { return m_device; }

    /// @brief How long a request may go unanswered before noAnswer(); zero (the default) waits
    /// for as long as the exchange lives.
    void setNoAnswerTimeout(std::chrono::milliseconds timeout) { m_noAnswerTimer.setInterval(timeout); }

    /// @brief Binds the socket to the adapter's address and interface. False for an adapter
    /// without an address or a failed bind.
    bool open();

    /// @brief Builds the set-IP request with @p password, using up its number, and broadcasts
    /// it. Without a password (a cancelled login) the number is used all the same and nothing
    /// is sent; a late answer to the request before is no longer taken either.
    ///
    /// Addresses are numeric values as InetAddr gives them; a DHCP request passes zeros. Only
    /// the answer to this request is taken from now on. False when it could not be sent.
    bool send(const std::optional<QString> &password, quint8 flag, quint32 address, quint32 mask, quint32 gateway);

    /// @brief Takes no answer to the request sent before, such as while a new password is asked for.
    void cancelPending();

    /// @brief Releases the socket. Called from a replied(Ok) handler, it waits for the
    /// confirmation to go out first.
    void close();

signals:
    /// @brief The device answered the last request. On Ok the confirmation is broadcast once
    /// the handlers have returned, so a message shown here comes before it.
    void replied(farlight::SetIpExchange::Status status);
    /// @brief The last request has had no answer within the no-answer timeout; a late answer is
    /// still taken until close().
    void noAnswer();

private:
    void receive(int bytesTotal);
    bool fromDevice() const;

    const DeviceTarget m_device;
    SequenceCounters &m_counters;
    UdpPeer *m_socket = nullptr;
    SetIpRequest m_request;
    QString m_password; ///< the password of the last request, which its confirmation repeats
    quint32 m_requestedAddress = 0; ///< the static address the last request asked for, or 0
    bool m_dhcpRequested = false;   ///< the last request asked for DHCP
    QTimer m_noAnswerTimer;
    // True from a successful send until a reply with a known status has been taken; a reply
    // outside that window (a copy, or one arriving while its message is still shown) is ignored.
    bool m_awaitingReply = false;
    bool m_reporting = false;
    bool m_closeRequested = false;
};

} // namespace farlight
