#include "macfilter/filterexchange.h"

#include "netenv/udppeer.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include <QTimer>

#include <optional>

namespace farlight {

namespace {
constexpr quint16 AnyLocalPort = 0;
const QString NoAdapterAddress = QStringLiteral("0.0.0.0");
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

FilterExchange::FilterExchange(AppState &state, qint16 deviceIndex, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_deviceIndex(deviceIndex)
    , m_macSocket(new UdpPeer(this))
    , m_noAnswerTimer(new QTimer(this))
{
    m_macSocket->setObjectName(QStringLiteral("MacSocket"));
    m_macSocket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    m_macSocket->setRemotePort(DevicePort);
    connect(m_macSocket, &UdpPeer::dataArrival, this, &FilterExchange::macSocketDataArrival);
    // Socket errors are expected (a send on a closed network) and never shown.
    connect(m_macSocket, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
    m_noAnswerTimer->setSingleShot(true);
    m_noAnswerTimer->setInterval(NoAnswerTimeout);
    connect(m_noAnswerTimer, &QTimer::timeout, this, &FilterExchange::noAnswer);
}

FilterExchange::~FilterExchange() = default;

const AdapterRecord *FilterExchange::adapter() const
{
    return m_state.adapterOf(m_deviceIndex);
}

bool FilterExchange::open()
{
    const AdapterRecord *local = adapter();
    // Without an address the socket would serve no adapter the device could answer through.
    if (!local || local->IpAddress.isEmpty() || local->IpAddress == NoAdapterAddress)
        return false;
    return m_macSocket->bind(AnyLocalPort, local->IpAddress, local->InterfaceIndex);
}

bool FilterExchange::requestList()
{
    m_awaitingReply = false;
    m_noAnswerTimer->stop();
    // A device entry past the found ones would still build a request and use up a number.
    if (!adapter() || !m_state.BuildFilterRequest(m_deviceIndex, Flag::FilterRead))
        return false;
    return broadcast(m_state.LastFilterRequest.readRequest());
}

bool FilterExchange::sendList(const QList<MacAddress> &list)
{
    // A cancelled login builds nothing, so an answer still due to the request before stays valid.
    if (!m_state.LoginOk)
        return true;
    m_awaitingReply = false;
    m_noAnswerTimer->stop();
    if (!adapter() || !m_state.BuildFilterRequest(m_deviceIndex, Flag::FilterWrite))
        return false;
    if (!broadcast(m_state.LastFilterRequest.writeRequest(list)))
        return false;
    m_noAnswerTimer->start();
    return true;
}

void FilterExchange::close()
{
    m_awaitingReply = false;
    m_noAnswerTimer->stop();
    m_macSocket->close();
}

bool FilterExchange::broadcast(const QByteArray &datagram)
{
    m_macSocket->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    m_macSocket->setRemotePort(DevicePort);
    if (!m_macSocket->sendData(datagram))
        return false;
    m_awaitingReply = true;
    return true;
}

void FilterExchange::macSocketDataArrival(int bytesTotal)
{
    if (bytesTotal < FilterLayout::ReplyMinimumSize || !m_awaitingReply)
        return;
    const QByteArray datagram = m_macSocket->getData();
    // parse() also refuses a reply too short to hold the status.
    const std::optional<FilterReply> reply = FilterReply::parse(datagram);
    if (!reply || !m_state.LastFilterRequest.isReply(datagram))
        return;

    if (reply->status == Pass && reply->flag == Flag::FilterListReply) {
        m_awaitingReply = false;
        m_noAnswerTimer->stop();
        QList<MacAddress> addresses;
        for (const MacAddress &mac : reply->addresses) {
            if (!addresses.contains(mac))
                addresses.append(mac);
        }
        emit listReceived(addresses);
        return;
    }
    const bool verdict = (reply->status == Pass && reply->flag == Flag::FilterWriteReply) || reply->status == Fail
        || reply->status == InvalidPassword;
    if (!verdict)
        return;
    m_awaitingReply = false;
    m_noAnswerTimer->stop();
    emit replied(Status(reply->status));
}

} // namespace farlight
