#include "firmware/tftpupload.h"

#include "firmware/tftpclient.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"

#include <QPointer>

namespace farlight {

namespace {
constexpr int FirstErrorTextId = 201;
constexpr int ErrorTextCount = 8;
} // namespace

TftpUpload::TftpUpload(QObject *parent)
    : QObject(parent)
    , m_winsock2(new UdpPeer(this))
{
    m_winsock2->setObjectName(QStringLiteral("Winsock2"));
    connect(m_winsock2, &UdpPeer::dataArrival, this, &TftpUpload::winsock2DataArrival);
    // Socket errors are never shown: a lost datagram is the retransmission timer's business.
    connect(m_winsock2, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
    m_timer1.setInterval(RetransmitInterval);
    connect(&m_timer1, &QTimer::timeout, this, &TftpUpload::timer1Timer);
}

TftpUpload::~TftpUpload() = default;

bool TftpUpload::open(const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress)
{
    cancel();
    m_deviceAddress = deviceAddress;
    m_winsock2->setRemoteHost(deviceAddress);
    m_winsock2->setRemotePort(ServerPort);
    return m_winsock2->bind(LocalPort, localAddress, interfaceIndex);
}

void TftpUpload::start(const QByteArray &image)
{
    if (isRunning())
        return;
    m_client = std::make_unique<TftpClient>(QHostAddress(m_deviceAddress), m_osVersionCode);
    m_errorCode = -1;
    m_shownPercent = -1;
    carryOut(m_client->start(image));
}

void TftpUpload::cancel()
{
    m_timer1.stop();
    m_winsock2->close();
    if (m_client)
        m_client->cancel();
}

void TftpUpload::setRetransmitInterval(std::chrono::milliseconds interval)
{
    m_timer1.setInterval(interval);
}

bool TftpUpload::isRunning() const
{
    return m_client && m_client->isRunning();
}

QString TftpUpload::errorMessage(int code)
{
    if (code < 0 || code >= ErrorTextCount)
        return {};
    return text(FirstErrorTextId + code);
}

void TftpUpload::winsock2DataArrival()
{
    if (m_client)
        carryOut(m_client->receive(m_winsock2->getData(), QHostAddress(m_winsock2->remoteHostIp()),
                                   m_winsock2->remoteHostPort()));
}

void TftpUpload::timer1Timer()
{
    if (m_client)
        carryOut(m_client->expire());
}

void TftpUpload::carryOut(const TftpClientStep &step)
{
    std::optional<Outcome> outcome = step.outcome;
    TftpClientStep::Timer timer = step.timer;
    for (const TftpClientStep::Send &send : step.sends) {
        m_winsock2->setRemotePort(send.port);
        // Other failures are covered by the retransmission timer.
        if (!m_winsock2->sendData(send.datagram) && send.mustSucceed) {
            const TftpClientStep failed = m_client->sendFailed();
            outcome = failed.outcome;
            timer = failed.timer;
            break;
        }
    }
    if (timer == TftpClientStep::Timer::Start)
        m_timer1.start();
    else if (timer == TftpClientStep::Timer::Stop)
        m_timer1.stop();

    const QPointer<TftpUpload> alive(this);
    // The share is reported per block; a window needs to hear of it only when it changes.
    if (step.percent && *step.percent != m_shownPercent) {
        m_shownPercent = *step.percent;
        emit progress(m_shownPercent);
        if (!alive)
            return;
    }
    if (outcome) {
        if (*outcome == Outcome::DeviceError)
            m_errorCode = m_client->errorCode();
        emit finished(*outcome);
    }
}

} // namespace farlight
