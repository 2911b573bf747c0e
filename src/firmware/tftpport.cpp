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
    // Called directly: an upload takes a datagram per block.
    m_socket->setArrivalHandler([this] { dataArrival(); });
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

bool TftpPort::attach(TftpUpload *upload, const QHostAddress &deviceAddress)
{
    const quint32 key = deviceAddress.toIPv4Address();
    const auto existing = m_uploads.constFind(key);
    if (existing != m_uploads.cend() && *existing != upload)
        return false;
    m_uploads.insert(key, upload);
    return true;
}

void TftpPort::detach(TftpUpload *upload)
{
    m_uploads.removeIf([upload](const auto &entry) { return entry.value() == upload; });
}

bool TftpPort::send(QByteArrayView datagram, quint32 localAddress, qint32 interfaceIndex, quint32 deviceAddress,
                    quint16 port)
{
    return m_socket->sendDataTo(datagram, deviceAddress, port, localAddress, interfaceIndex);
}

void TftpPort::dataArrival()
{
    if (TftpUpload *upload = m_uploads.value(m_socket->remoteHostIPv4()))
        upload->receive(m_socket->dataView(), m_socket->remoteHostPort());
}

} // namespace farlight
