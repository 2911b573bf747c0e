#include "ipconfig/setipexchange.h"

#include "netenv/udppeer.h"
#include "protocol/packetheader.h"

#include <QHostAddress>
#include <QPointer>

#include <utility>

namespace farlight {

namespace {
constexpr quint16 AnyLocalPort = 0;
} // namespace

SetIpExchange::SetIpExchange(const DeviceTarget &device, SequenceCounters &counters, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_counters(counters)
    , m_socket(new UdpPeer(this))
{
    m_socket->setObjectName(QStringLiteral("setIpSocket"));
    m_socket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    m_socket->setRemotePort(DevicePort);
    connect(m_socket, &UdpPeer::dataArrival, this, &SetIpExchange::receive);
    // Socket errors are expected (a send on a closed network) and never shown.
    connect(m_socket, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
    m_noAnswerTimer.setSingleShot(true);
    m_noAnswerTimer.setInterval(0);
    // A late answer is still taken: the caller decides whether to wait on or close.
    connect(&m_noAnswerTimer, &QTimer::timeout, this, &SetIpExchange::noAnswer);
}

SetIpExchange::~SetIpExchange() = default;

bool SetIpExchange::open()
{
    // An adapter without an address cannot send the request from anywhere the device could
    // answer; the socket would otherwise be bound to no adapter at all.
    if (!m_device.hasAdapterAddress())
        return false;
    m_closeRequested = false;
    return m_socket->bind(AnyLocalPort, m_device.adapterAddress, m_device.interfaceIndex);
}

bool SetIpExchange::send(const std::optional<QString> &password, quint8 flag, quint32 address, quint32 mask,
                         quint32 gateway)
{
    m_awaitingReply = false;
    m_noAnswerTimer.stop();
    // The number is used whether or not the request goes out.
    m_request.build(m_device.authTarget(), password.value_or(m_password), flag, address, mask, gateway, m_counters);
    m_requestedAddress = flag == Flag::SetIpStatic ? address : 0;
    m_dhcpRequested = flag == Flag::SetIpDhcp;
    if (!password)
        return true;
    m_password = *password;
    m_socket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    if (!m_socket->sendData(m_request.datagram()))
        return false;
    m_awaitingReply = true;
    if (m_noAnswerTimer.interval() > 0)
        m_noAnswerTimer.start();
    return true;
}

void SetIpExchange::cancelPending()
{
    m_awaitingReply = false;
    m_noAnswerTimer.stop();
}

void SetIpExchange::close()
{
    cancelPending();
    if (m_reporting)
        m_closeRequested = true;
    else
        m_socket->close();
}

bool SetIpExchange::fromDevice() const
{
    // Every field a reply is matched on can be read off the broadcast request, so anyone on the
    // segment could answer first; the device answers from its own address, or from the one it
    // was just given. After DHCP that one is the lease's, which no one here knows: a device that
    // took its lease before answering is still the device, told apart by the request it echoes.
    if (m_dhcpRequested)
        return true;
    const quint32 source = m_socket->remoteHostIPv4();
    return source == QHostAddress(m_device.address).toIPv4Address()
           || (m_requestedAddress != 0 && source == m_requestedAddress);
}

void SetIpExchange::receive(int bytesTotal)
{
    if (bytesTotal < SetIpReply::MinimumSize)
        return;
    const QByteArray reply = m_socket->getData();
    const std::optional<quint16> status = SetIpReply::status(reply);
    if (!status || !m_awaitingReply || !m_request.isReply(reply) || !fromDevice())
        return;
    if (*status != Ok && *status != Failure && *status != InvalidPassword)
        return;

    m_awaitingReply = false;
    m_noAnswerTimer.stop();
    // The confirmation takes its number as the success arrives, before anyone is told.
    const std::optional<QByteArray> confirmation =
        *status == Ok ? std::optional(BuildConfirmRequest(m_device.authTarget(), m_password, m_counters)) : std::nullopt;
    const QPointer<SetIpExchange> alive(this);
    const bool outerReport = std::exchange(m_reporting, true);
    emit replied(Status(*status));
    if (!alive)
        return;
    m_reporting = outerReport;
    if (confirmation) {
        m_socket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
        m_socket->setRemotePort(DevicePort);
        m_socket->sendData(*confirmation);
    }
    if (m_closeRequested && !m_reporting) {
        m_closeRequested = false;
        m_socket->close();
    }
}

} // namespace farlight
