#include "ipconfig/setipexchange.h"

#include "netenv/udppeer.h"
#include "protocol/packetheader.h"
#include "protocol/setiprequest.h"
#include "session/appstate.h"

#include <QPointer>

#include <optional>
#include <utility>

namespace farlight {

namespace {
constexpr quint16 AnyLocalPort = 0;
const QString NoAdapterAddress = QStringLiteral("0.0.0.0");
} // namespace

SetIpExchange::SetIpExchange(AppState &state, qint16 deviceIndex, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_deviceIndex(deviceIndex)
    , m_sock1(new UdpPeer(this))
{
    m_sock1->setObjectName(QStringLiteral("sock1"));
    m_sock1->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    m_sock1->setRemotePort(DevicePort);
    connect(m_sock1, &UdpPeer::dataArrival, this, &SetIpExchange::sock1DataArrival);
    // Socket errors are expected (a send on a closed network) and never shown.
    connect(m_sock1, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
}

SetIpExchange::~SetIpExchange() = default;

const AdapterRecord *SetIpExchange::adapter() const
{
    return m_state.adapterOf(m_deviceIndex);
}

bool SetIpExchange::open()
{
    const AdapterRecord *local = adapter();
    // An adapter without an address cannot send the request from anywhere the device could
    // answer; the socket would otherwise be bound to no adapter at all.
    if (!local || local->IpAddress.isEmpty() || local->IpAddress == NoAdapterAddress)
        return false;
    m_closeRequested = false;
    return m_sock1->bind(AnyLocalPort, local->IpAddress, local->InterfaceIndex);
}

bool SetIpExchange::send(quint8 flag, quint32 address, quint32 mask, quint32 gateway)
{
    m_awaitingReply = false;
    // The number is used whether or not the request goes out.
    const bool built = m_state.BuildSetIpRequest(m_deviceIndex, flag, address, mask, gateway);
    if (!m_state.LoginOk)
        return true;
    m_sock1->setRemoteHost(QString::fromLatin1(BroadcastAddress));
    if (!built || !m_sock1->sendData(m_state.LastSetIpRequest.datagram()))
        return false;
    m_awaitingReply = true;
    return true;
}

void SetIpExchange::cancelPending()
{
    m_awaitingReply = false;
}

void SetIpExchange::close()
{
    m_awaitingReply = false;
    if (m_reporting)
        m_closeRequested = true;
    else
        m_sock1->close();
}

void SetIpExchange::sock1DataArrival(int bytesTotal)
{
    if (bytesTotal < SetIpReply::MinimumSize)
        return;
    const QByteArray reply = m_sock1->getData();
    const std::optional<quint16> status = SetIpReply::status(reply);
    if (!status || !m_state.IsSetIpReply(reply) || !m_awaitingReply)
        return;
    if (*status != Ok && *status != Failure && *status != InvalidPassword)
        return;

    m_awaitingReply = false;
    // The confirmation takes its number as the success arrives, before anyone is told.
    const std::optional<QByteArray> confirmation =
        *status == Ok ? m_state.BuildConfirmRequest(m_deviceIndex) : std::nullopt;
    const QPointer<SetIpExchange> alive(this);
    const bool outerReport = std::exchange(m_reporting, true);
    emit replied(Status(*status));
    if (!alive)
        return;
    m_reporting = outerReport;
    if (confirmation) {
        m_sock1->setRemoteHost(QString::fromLatin1(BroadcastAddress));
        m_sock1->setRemotePort(DevicePort);
        m_sock1->sendData(*confirmation);
    }
    if (m_closeRequested && !m_reporting) {
        m_closeRequested = false;
        m_sock1->close();
    }
}

} // namespace farlight
