#include "macfilter/filterexchange.h"

#include "netenv/udppeer.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"

#include <QHostAddress>

namespace farlight {

namespace {
constexpr quint16 AnyLocalPort = 0;
} // namespace

int FilterExchange::message(Status status)
{
    switch (status) {
    case Pass:
        return StringId::Pass;
    case Fail:
        return StringId::Fail;
    case InvalidPassword:
        return StringId::InvalidPassword;
    }
    return 0;
}

FilterExchange::FilterExchange(const DeviceTarget &device, SequenceCounters &counters, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_counters(counters)
    , m_socket(new UdpPeer(this))
{
    m_socket->setObjectName(QStringLiteral("filterSocket"));
    m_socket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    m_socket->setRemotePort(DevicePort);
    connect(m_socket, &UdpPeer::dataArrival, this, &FilterExchange::receive);
    // Socket errors are expected (a send on a closed network) and never shown.
    connect(m_socket, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
    m_noAnswerTimer.setSingleShot(true);
    // A late answer is still taken: the caller decides whether to wait on or close.
    connect(&m_noAnswerTimer, &QTimer::timeout, this, &FilterExchange::noAnswer);
}

FilterExchange::~FilterExchange() = default;

bool FilterExchange::open()
{
    // Without an address the socket would serve no adapter the device could answer through.
    if (!m_device.hasAdapterAddress())
        return false;
    return m_socket->bind(AnyLocalPort, m_device.adapterAddress, m_device.interfaceIndex);
}

bool FilterExchange::requestList(const QString &password)
{
    m_awaiting = Awaiting::Nothing;
    m_noAnswerTimer.stop();
    m_request.build(m_device.authTarget(), password, Flag::FilterRead, m_counters);
    return broadcast(m_request.readRequest(), Awaiting::List, m_readTimeout);
}

bool FilterExchange::sendList(const std::optional<QString> &password, const QList<MacAddress> &list)
{
    // A cancelled login builds nothing, so an answer still due to the request before stays valid.
    if (!password)
        return true;
    m_awaiting = Awaiting::Nothing;
    m_noAnswerTimer.stop();
    m_request.build(m_device.authTarget(), *password, Flag::FilterWrite, m_counters);
    return broadcast(m_request.writeRequest(list), Awaiting::Verdict, m_writeTimeout);
}

void FilterExchange::close()
{
    m_awaiting = Awaiting::Nothing;
    m_noAnswerTimer.stop();
    m_socket->close();
}

bool FilterExchange::broadcast(const QByteArray &datagram, Awaiting awaiting, std::chrono::milliseconds timeout)
{
    m_socket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    m_socket->setRemotePort(DevicePort);
    if (!m_socket->sendData(datagram))
        return false;
    m_awaiting = awaiting;
    if (timeout.count() > 0)
        m_noAnswerTimer.start(timeout);
    return true;
}

void FilterExchange::receive(int bytesTotal)
{
    if (bytesTotal < FilterLayout::ReplyMinimumSize || m_awaiting == Awaiting::Nothing)
        return;
    const QByteArray datagram = m_socket->getData();
    // parse() also refuses a reply too short to hold the status.
    const std::optional<FilterReply> reply = FilterReply::parse(datagram);
    // Every field a reply is matched on can be read off the broadcast request: only what comes
    // from the address the device answered the search from is taken.
    const bool fromDevice = m_socket->remoteHostIPv4() == QHostAddress(m_device.address).toIPv4Address();
    if (!reply || !fromDevice || !m_request.isReply(datagram))
        return;

    // A refusal answers either kind of request; a success must be of the kind awaited, or a
    // list sent while a write is pending would end the write without its verdict.
    const bool refused = reply->status == Fail || reply->status == InvalidPassword;
    const bool list = reply->status == Pass && reply->flag == Flag::FilterListReply;
    const bool written = reply->status == Pass && reply->flag == Flag::FilterWriteReply;
    if (!refused && !(list && m_awaiting == Awaiting::List) && !(written && m_awaiting == Awaiting::Verdict))
        return;

    m_awaiting = Awaiting::Nothing;
    m_noAnswerTimer.stop();
    if (list) {
        QList<MacAddress> addresses;
        for (const MacAddress &mac : reply->addresses) {
            if (!addresses.contains(mac))
                addresses.append(mac);
        }
        emit listReceived(addresses);
        return;
    }
    emit replied(Status(reply->status));
}

} // namespace farlight
