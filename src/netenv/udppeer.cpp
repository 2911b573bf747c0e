#include "netenv/udppeer.h"

#include <QPointer>
#include <QUdpSocket>
#include <QtGlobal>

#include <utility>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#endif

namespace farlight {

namespace {

const QString AnyAddressText = QStringLiteral("0.0.0.0");

// The address text of an adapter: empty and "0.0.0.0" both mean no particular one.
bool ParseLocalAddress(const QString &text, QHostAddress &address)
{
    if (text.isEmpty()) {
        address = QHostAddress(QHostAddress::AnyIPv4);
        return true;
    }
    const QHostAddress parsed(text);
    if (parsed.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    address = parsed;
    return true;
}

#if defined(Q_OS_LINUX)
QAbstractSocket::SocketError SocketErrorFromErrno(int code)
{
    switch (code) {
    case EACCES:
    case EPERM:
        return QAbstractSocket::SocketAccessError;
    case EMSGSIZE:
        return QAbstractSocket::DatagramTooLargeError;
    case EADDRNOTAVAIL:
        return QAbstractSocket::SocketAddressNotAvailableError;
    case ENOBUFS:
    case ENOMEM:
        return QAbstractSocket::SocketResourceError;
    case EAGAIN:
        return QAbstractSocket::TemporaryError;
    default:
        return QAbstractSocket::NetworkError;
    }
}
#endif

} // namespace

UdpPeer::UdpPeer(QObject *parent)
    : QObject(parent)
{
}

UdpPeer::~UdpPeer()
{
    close();
}

void UdpPeer::setRemoteHost(const QString &host)
{
    m_remoteHost = host;
}

bool UdpPeer::bind(quint16 localPort, const QString &localAddress, qint32 interfaceIndex)
{
    close();
    m_errorString.clear();

    QHostAddress address;
    if (!ParseLocalAddress(localAddress, address)) {
        raiseError(QAbstractSocket::SocketAddressNotAvailableError,
                   tr("%1 is not an IPv4 address").arg(localAddress));
        return false;
    }

    // The socket listens on every address, so whether the adapter's address belongs to this
    // machine is asked separately: a socket briefly bound to it fails exactly when it does not.
    if (address != QHostAddress(QHostAddress::AnyIPv4)) {
        QUdpSocket probe;
        if (!probe.bind(address, 0, QUdpSocket::DontShareAddress)) {
            raiseError(probe.error(), probe.errorString());
            return false;
        }
    }

    auto *socket = new QUdpSocket(this);
    connect(socket, &QUdpSocket::readyRead, this, &UdpPeer::readPendingDatagrams);
    connect(socket, &QUdpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError code) {
                if (socket == m_socket)
                    raiseError(code, socket->errorString());
            });
    m_socket = socket;
    // Not shared: a second socket on a fixed port must fail rather than split the replies.
    if (!socket->bind(QHostAddress(QHostAddress::AnyIPv4), localPort, QUdpSocket::DontShareAddress)) {
        // The socket reported the failure through errorOccurred already.
        close();
        return false;
    }
#if defined(Q_OS_LINUX)
    // Sends bypass Qt's engine (see sendNative), so broadcasting is switched on here explicitly.
    const int enable = 1;
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable);
#endif
    m_boundAddress = address;
    m_interfaceIndex = interfaceIndex;
    return true;
}

bool UdpPeer::setSendingAdapter(const QString &localAddress, qint32 interfaceIndex)
{
    QHostAddress address;
    if (!isBound() || !ParseLocalAddress(localAddress, address))
        return false;
    m_boundAddress = address;
    m_interfaceIndex = interfaceIndex;
    return true;
}

QString UdpPeer::localAddress() const
{
    if (!isBound())
        return AnyAddressText;
    return m_boundAddress.toString();
}

quint16 UdpPeer::localPort() const
{
    return isBound() ? m_socket->localPort() : 0;
}

bool UdpPeer::isBound() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

bool UdpPeer::sendData(const QByteArray &data)
{
    if (m_sendHook)
        return m_sendHook(data);
    if (!isBound()) {
        raiseError(QAbstractSocket::OperationError, tr("The socket is not open"));
        return false;
    }
    const QHostAddress to(m_remoteHost);
    if (to.protocol() != QAbstractSocket::IPv4Protocol) {
        raiseError(QAbstractSocket::HostNotFoundError, tr("%1 is not an IPv4 address").arg(m_remoteHost));
        return false;
    }
#if defined(Q_OS_LINUX)
    return sendNative(data, to);
#else
    // Elsewhere the system takes the source address from the packet information that Qt fills.
    QNetworkDatagram datagram(data, to, m_remotePort);
    if (m_boundAddress != QHostAddress(QHostAddress::AnyIPv4))
        datagram.setSender(m_boundAddress);
    datagram.setInterfaceIndex(uint(m_interfaceIndex));
    return m_socket->writeDatagram(datagram) == data.size();
#endif
}

#if defined(Q_OS_LINUX)
// Qt puts the wanted source address into the field of the packet information that Linux
// ignores on sending, so the datagram is sent here with the source in ipi_spec_dst.
bool UdpPeer::sendNative(const QByteArray &data, const QHostAddress &to)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(m_remotePort);
    destination.sin_addr.s_addr = htonl(to.toIPv4Address());

    iovec part{};
    part.iov_base = const_cast<char *>(data.constData());
    part.iov_len = std::size_t(data.size());

    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;

    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    const bool bySource = m_boundAddress != QHostAddress(QHostAddress::AnyIPv4);
    if (bySource || m_interfaceIndex != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = m_interfaceIndex;
        info.ipi_spec_dst.s_addr = bySource ? htonl(m_boundAddress.toIPv4Address()) : INADDR_ANY;
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }

    ssize_t sent = -1;
    do {
        sent = ::sendmsg(int(m_socket->socketDescriptor()), &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        const int code = errno;
        raiseError(SocketErrorFromErrno(code), QString::fromLocal8Bit(std::strerror(code)));
        return false;
    }
    return sent == data.size();
}
#else
bool UdpPeer::sendNative(const QByteArray &, const QHostAddress &)
{
    return false;
}
#endif

QString UdpPeer::remoteHostIp() const
{
    const QHostAddress sender = m_current.senderAddress();
    return sender.isNull() ? QString() : QHostAddress(sender.toIPv4Address()).toString();
}

quint16 UdpPeer::remoteHostPort() const
{
    const int port = m_current.senderPort();
    return port < 0 ? 0 : quint16(port);
}

QString UdpPeer::datagramDestination() const
{
    const QHostAddress destination = m_current.destinationAddress();
    return destination.isNull() ? QString() : destination.toString();
}

void UdpPeer::close()
{
    if (!m_socket)
        return;
    QUdpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->close();
    // Closing may happen inside the socket's own signal; it is deleted once that has returned.
    socket->deleteLater();
    m_boundAddress = QHostAddress(QHostAddress::AnyIPv4);
    m_interfaceIndex = 0;
}

void UdpPeer::readPendingDatagrams()
{
    const QUdpSocket *socket = m_socket;
    while (m_socket && m_socket == socket && m_socket->hasPendingDatagrams()) {
        QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid() || !dispatch(std::move(datagram)))
            return;
    }
}

void UdpPeer::deliver(const QByteArray &data, const QHostAddress &sender, quint16 senderPort)
{
    QNetworkDatagram datagram(data);
    datagram.setSender(sender, senderPort);
    dispatch(std::move(datagram));
}

bool UdpPeer::dispatch(QNetworkDatagram datagram)
{
    const QPointer<UdpPeer> alive(this);
    // A handler that waits lets further events run; whatever runs meanwhile, getData()
    // answers this handler's datagram again once control is back.
    const QNetworkDatagram outer = std::exchange(m_current, std::move(datagram));
    emit dataArrival(int(m_current.data().size()));
    if (!alive)
        return false;
    m_current = outer;
    return true;
}

void UdpPeer::raiseError(int number, const QString &description)
{
    m_errorString = description;
    bool cancelDisplay = false;
    emit error(number, description, cancelDisplay);
    if (!cancelDisplay)
        qWarning("UDP socket error %d: %s", number, qUtf8Printable(description));
}

} // namespace farlight
