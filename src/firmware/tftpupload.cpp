#include "firmware/tftpupload.h"

#include "firmware/tftpclient.h"
#include "firmware/tftpport.h"
#include "resources/strings.h"

#include <QElapsedTimer>
#include <QPointer>

#include <utility>

#if defined(Q_OS_LINUX)
#include <time.h>
#endif

namespace farlight {

namespace {
constexpr int FirstErrorTextId = 201;
constexpr int ErrorTextCount = 8;

// Milliseconds of a monotonic clock. It is read for every block sent, so Linux's coarse clock
// (a few milliseconds of resolution, against a retransmission interval of a second) is used,
// which costs far less than a precise reading.
qint64 CoarseClockMs()
{
#if defined(Q_OS_LINUX)
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
#else
    return QElapsedTimer::msecsSinceReference();
#endif
}
} // namespace

TftpUpload::TftpUpload(QObject *parent)
    : QObject(parent)
{
    m_retransmitTimer.setSingleShot(true);
    connect(&m_retransmitTimer, &QTimer::timeout, this, &TftpUpload::retransmitTimerExpired);
}

TftpUpload::~TftpUpload()
{
    cancel();
}

bool TftpUpload::open(const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress)
{
    cancel();
    if (!m_ownPort)
        m_ownPort = new TftpPort(this);
    return m_ownPort->bind(localAddress, interfaceIndex) && attach(*m_ownPort, localAddress, interfaceIndex, deviceAddress);
}

bool TftpUpload::open(TftpPort &port, const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress)
{
    cancel();
    return attach(port, localAddress, interfaceIndex, deviceAddress);
}

bool TftpUpload::attach(TftpPort &port, const QString &localAddress, qint32 interfaceIndex, const QString &deviceAddress)
{
    const QHostAddress device(deviceAddress);
    if (!port.isBound() || !port.attach(this, device))
        return false;
    m_port = &port;
    const QHostAddress local =
        localAddress.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4) : QHostAddress(localAddress);
    m_interfaceIndex = interfaceIndex;
    m_deviceAddress = device;
    m_localIPv4 = local.toIPv4Address();
    m_deviceIPv4 = device.toIPv4Address();
    // Without an IPv4 address on either side nothing can be sent (the write request's failure ends
    // the transfer).
    m_addressable =
        local.protocol() == QAbstractSocket::IPv4Protocol && device.protocol() == QAbstractSocket::IPv4Protocol;
    return true;
}

void TftpUpload::start(const QByteArray &image)
{
    if (isRunning())
        return;
    m_client = std::make_unique<TftpClient>(m_deviceAddress, m_osVersionCode);
    m_errorCode = -1;
    m_shownPercent = -1;
    carryOut(m_client->start(image));
}

void TftpUpload::cancel()
{
    m_retransmitTimer.stop();
    if (m_port)
        std::exchange(m_port, nullptr)->detach(this);
    if (m_ownPort)
        m_ownPort->close();
    if (m_client)
        m_client->cancel();
}

void TftpUpload::setRetransmitInterval(std::chrono::milliseconds interval)
{
    m_retransmitInterval = interval;
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

void TftpUpload::receive(QByteArrayView datagram, quint16 fromPort)
{
    if (m_client)
        carryOut(m_client->receive(datagram, m_deviceAddress, fromPort));
}

void TftpUpload::retransmitTimerExpired()
{
    const std::chrono::milliseconds waited(CoarseClockMs() - m_lastSendMs);
    if (waited < m_retransmitInterval) {
        m_retransmitTimer.start(m_retransmitInterval - waited);
        return;
    }
    if (!m_client)
        return;
    // As a timer that kept running: the next expiry a full interval after this one.
    m_lastSendMs = CoarseClockMs();
    m_retransmitTimer.start(m_retransmitInterval);
    carryOut(m_client->expire());
}

void TftpUpload::carryOut(const TftpClientStep &step)
{
    std::optional<Outcome> outcome = step.outcome;
    TftpClientStep::Timer timer = step.timer;
    for (const TftpClientStep::Send &send : step.sends) {
        // Other failures are covered by the retransmission timer.
        const bool sent = m_port && m_addressable
                          && m_port->send(send.datagram, m_localIPv4, m_interfaceIndex, m_deviceIPv4, send.port);
        if (!sent && send.mustSucceed) {
            const TftpClientStep failed = m_client->sendFailed();
            outcome = failed.outcome;
            timer = failed.timer;
            break;
        }
    }
    if (timer == TftpClientStep::Timer::Start) {
        m_lastSendMs = CoarseClockMs();
        if (!m_retransmitTimer.isActive())
            m_retransmitTimer.start(m_retransmitInterval);
    } else if (timer == TftpClientStep::Timer::Stop) {
        m_retransmitTimer.stop();
    }

    // The share is reported per block; a window needs to hear of it only when it changes.
    if (step.percent && *step.percent != m_shownPercent) {
        const QPointer<TftpUpload> alive(this);
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
