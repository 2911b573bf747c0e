#include "netenv/udppeer.h"

#include <QEvent>
#include <QMetaMethod>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QUdpSocket>
#include <QtGlobal>

#include <utility>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace farlight {

namespace {

const QString AnyAddressText = QStringLiteral("0.0.0.0");
// Larger than any UDP datagram over IPv4, so that every datagram is read whole.
constexpr qsizetype ReceiveBufferSize = 65536;

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

#if defined(Q_OS_LINUX)
/// Watches the socket for datagrams and has the peer read them straight from its event: the
/// plain notifier's two activation signals would cost, per datagram of an upload, about as much
/// as the peer's whole handling of it.
class ReadNotifier : public QSocketNotifier
{
public:
    ReadNotifier(int descriptor, UdpPeer *peer)
        : QSocketNotifier(qintptr(descriptor), QSocketNotifier::Read, peer)
        , m_peer(peer)
    {
    }

    /// The peer hears of nothing more; it deletes the notifier later.
    void release()
    {
        m_peer = nullptr;
        setEnabled(false);
    }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::SockAct && event->type() != QEvent::SockClose)
            return QSocketNotifier::event(event);
        // The peer may close or destroy itself (and this notifier) while it reads: nothing here
        // is touched after.
        if (m_peer)
            m_peer->readPendingDatagrams();
        return true;
    }

private:
    UdpPeer *m_peer;
};
#endif

UdpPeer::UdpPeer(QObject *parent)
    : QObject(parent)
{
}

UdpPeer::~UdpPeer()
{
    // A handler is destroying the peer: the dispatch that called it must touch nothing more.
    if (m_destroyedFlag)
        *m_destroyedFlag = true;
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

#if defined(Q_OS_LINUX)
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        raiseSystemError(errno);
        return false;
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(localPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof any;
    const int enable = 1;
    // Not shared (no SO_REUSEADDR): a second socket on a fixed port must fail rather than split
    // the replies.
    if (::setsockopt(descriptor, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0
        || ::bind(descriptor, reinterpret_cast<const sockaddr *>(&any), sizeof any) != 0
        || ::getsockname(descriptor, reinterpret_cast<sockaddr *>(&any), &length) != 0) {
        const int code = errno;
        ::close(descriptor);
        raiseSystemError(code);
        return false;
    }
    m_descriptor = descriptor;
    m_localPort = ntohs(any.sin_port);
    m_notifier = new ReadNotifier(descriptor, this);
#else
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
#endif
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

#if defined(Q_OS_LINUX)
quint16 UdpPeer::localPort() const
{
    return m_localPort;
}

bool UdpPeer::isBound() const
{
    return m_descriptor >= 0;
}
#else
quint16 UdpPeer::localPort() const
{
    return isBound() ? m_socket->localPort() : 0;
}

bool UdpPeer::isBound() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}
#endif

bool UdpPeer::sendData(const QByteArray &data)
{
    const QHostAddress to(m_remoteHost);
    if (!m_sendHook && isBound() && to.protocol() != QAbstractSocket::IPv4Protocol) {
        raiseError(QAbstractSocket::HostNotFoundError, tr("%1 is not an IPv4 address").arg(m_remoteHost));
        return false;
    }
    return sendDataTo(data, to.toIPv4Address(), m_remotePort, m_boundAddress.toIPv4Address(), m_interfaceIndex);
}

bool UdpPeer::sendDataTo(QByteArrayView data, quint32 to, quint16 port, quint32 adapter, qint32 interfaceIndex)
{
    if (m_sendHook)
        return m_sendHook(data.toByteArray());
    if (!isBound()) {
        raiseError(QAbstractSocket::OperationError, tr("The socket is not open"));
        return false;
    }
    return send(data, to, port, adapter, interfaceIndex);
}

#if defined(Q_OS_LINUX)
// The source address goes into ipi_spec_dst of the packet information: Linux ignores the field
// that Qt fills (ipi_addr) when sending.
bool UdpPeer::send(QByteArrayView data, quint32 to, quint16 port, quint32 adapter, qint32 interfaceIndex)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(to);

    iovec part{};
    part.iov_base = const_cast<char *>(data.data());
    part.iov_len = std::size_t(data.size());

    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;

    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (adapter != INADDR_ANY || interfaceIndex != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = interfaceIndex;
        info.ipi_spec_dst.s_addr = htonl(adapter);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }

    m_answered = true;
    ssize_t sent = -1;
    do {
        sent = ::sendmsg(m_descriptor, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        raiseSystemError(errno);
        return false;
    }
    return sent == data.size();
}

bool UdpPeer::receive(Arrival &arrival)
{
    // Reused as long as no handler keeps the previous datagram; resizing keeps its capacity.
    m_buffer.resize(ReceiveBufferSize);
    sockaddr_in sender{};
    iovec part{m_buffer.data(), std::size_t(m_buffer.size())};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t received = -1;
    do {
        received = ::recvmsg(m_descriptor, &message, MSG_DONTWAIT);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            raiseSystemError(errno);
        return false;
    }
    m_buffer.resize(qsizetype(received));
    arrival.data = m_buffer;
    arrival.sender = sender.sin_family == AF_INET ? ntohl(sender.sin_addr.s_addr) : 0;
    arrival.senderPort = sender.sin_family == AF_INET ? ntohs(sender.sin_port) : 0;
    return true;
}

void UdpPeer::raiseSystemError(int code)
{
    raiseError(SocketErrorFromErrno(code), QString::fromLocal8Bit(std::strerror(code)));
}
#else
bool UdpPeer::send(QByteArrayView data, quint32 to, quint16 port, quint32 adapter, qint32 interfaceIndex)
{
    // Elsewhere the system takes the source address from the packet information that Qt fills.
    QNetworkDatagram datagram(data.toByteArray(), QHostAddress(to), port);
    if (adapter != 0)
        datagram.setSender(QHostAddress(adapter));
    datagram.setInterfaceIndex(uint(interfaceIndex));
    return m_socket->writeDatagram(datagram) == data.size();
}

bool UdpPeer::receive(Arrival &arrival)
{
    if (!m_socket->hasPendingDatagrams())
        return false;
    const QNetworkDatagram datagram = m_socket->receiveDatagram();
    if (!datagram.isValid())
        return false;
    arrival.data = datagram.data();
    arrival.sender = datagram.senderAddress().toIPv4Address();
    arrival.senderPort = datagram.senderPort() < 0 ? 0 : quint16(datagram.senderPort());
    return true;
}

void UdpPeer::raiseSystemError(int code)
{
    raiseError(QAbstractSocket::NetworkError, QString::number(code));
}
#endif

void UdpPeer::close()
{
#if defined(Q_OS_LINUX)
    if (m_descriptor < 0)
        return;
    // Closing may happen inside the notifier's own signal; it is deleted once that has returned.
    m_notifier->release();
    std::exchange(m_notifier, nullptr)->deleteLater();
    ::close(std::exchange(m_descriptor, -1));
    m_localPort = 0;
#else
    if (!m_socket)
        return;
    QUdpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->close();
    // Closing may happen inside the socket's own signal; it is deleted once that has returned.
    socket->deleteLater();
#endif
    m_boundAddress = QHostAddress(QHostAddress::AnyIPv4);
    m_interfaceIndex = 0;
}

void UdpPeer::readPendingDatagrams()
{
#if defined(Q_OS_LINUX)
    const ReadNotifier *socket = m_notifier;
    const auto open = [&] { return m_notifier && m_notifier == socket; };
#else
    const QUdpSocket *socket = m_socket;
    const auto open = [&] { return m_socket && m_socket == socket; };
#endif
    Arrival datagram;
    while (open() && receive(datagram)) {
        m_answered = false;
        if (!dispatch(std::exchange(datagram, {})))
            return;
        // A datagram that was answered has its successor a round trip away: the event loop
        // watches for it, rather than a system call that would find nothing yet. Unanswered
        // ones (a flood's) are read on without a return to the loop.
        if (m_answered)
            return;
    }
}

void UdpPeer::deliver(const QByteArray &data, const QHostAddress &sender, quint16 senderPort)
{
    dispatch({data, sender.toIPv4Address(), senderPort});
}

bool UdpPeer::dispatch(Arrival datagram)
{
    // Whether a handler destroyed the peer is noted in this flag, on the stack (a guarded pointer
    // would cost two atomic operations a datagram). A dispatch nested in a handler that waits
    // passes the news on to the one outside.
    bool destroyed = false;
    bool *const outerFlag = std::exchange(m_destroyedFlag, &destroyed);
    const auto survived = [&] {
        if (!destroyed)
            return true;
        if (outerFlag)
            *outerFlag = true;
        return false;
    };
    // A handler that waits lets further events run; whatever runs meanwhile, getData()
    // answers this handler's datagram again once control is back.
    Arrival outer = std::exchange(m_current, std::move(datagram));
    if (m_arrivalHandler) {
        m_arrivalHandler();
        if (!survived())
            return false;
    }
    if (m_arrivalListeners > 0) {
        emit dataArrival(int(m_current.data.size()));
        if (!survived())
            return false;
    }
    m_current = std::move(outer);
    m_destroyedFlag = outerFlag;
    return true;
}

void UdpPeer::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&UdpPeer::dataArrival))
        ++m_arrivalListeners;
}

void UdpPeer::disconnectNotify(const QMetaMethod &signal)
{
    // Counted, not asked of Qt, which calls this while it holds its connection lock (a receiver
    // being destroyed). Disconnecting everything at once (an invalid method) leaves the count
    // above the truth, which costs only signals that nobody hears.
    if (signal == QMetaMethod::fromSignal(&UdpPeer::dataArrival) && m_arrivalListeners > 0)
        --m_arrivalListeners;
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
