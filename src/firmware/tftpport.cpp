#include "firmware/tftpport.h"

#include "firmware/tftpupload.h"
#include "netenv/udppeer.h"

#include <QHostAddress>

namespace farlight {

TftpPort::TftpPort(QObject *parent)
    : QObject(parent)
    , m_socket(new UdpPeer(this))
{
    m_socket->setObjectName(QStringLiteral("tftpSocket"));
    connect(m_socket, &UdpPeer::dataArrival, this, &TftpPort::dataArrival);
    // Socket errors are never shown: a lost datagram is the retransmission timer's business.
    connect(m_socket, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
}

TftpPort::~TftpPort()
{
    for (TftpUpload *upload : std::as_const(m_uploads))
        upload->m_port = nullptr;
}

bool TftpPort::bind(const QString &localAddress, qint32 interfaceIndex)
{
    return m_socket->bind(TftpUpload::LocalPort, localAddress, interfaceIndex);
}

bool TftpPort::isBound() const
{
    return m_socket->isBound();
}

void TftpPort::close()
{
    m_socket->close();
}

QString TftpPort::errorString() const
{
    return m_socket->errorString();
}

bool TftpPort::attach(TftpUpload *upload, const QString &deviceAddress)
{
    const auto existing = m_uploads.constFind(deviceAddress);
    if (existing != m_uploads.cend() && *existing != upload)
        return false;
    m_uploads.insert(deviceAddress, upload);
    return true;
}

void TftpPort::detach(TftpUpload *upload)
{
    m_uploads.removeIf([upload](const auto &entry) { return entry.value() == upload; });
}

bool TftpPort::send(const QByteArray &datagram, const QString &localAddress, qint32 interfaceIndex,
                    const QString &deviceAddress, quint16 port)
{
    if (!m_socket->setSendingAdapter(localAddress, interfaceIndex))
        return false;
    m_socket->setRemoteHost(deviceAddress);
    m_socket->setRemotePort(port);
    return m_socket->sendData(datagram);
}

void TftpPort::dataArrival()
{
    const QString from = m_socket->remoteHostIp();
    if (TftpUpload *upload = m_uploads.value(from))
        upload->receive(m_socket->getData(), QHostAddress(from), m_socket->remoteHostPort());
}

} // namespace farlight
