#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

class QUdpSocket;

namespace farlight {

class ReadNotifier;

/// @brief The UDP socket every exchange with a device goes through, serving one local adapter.
///
/// A device on another subnet than the adapter answers by broadcast to 255.255.255.255, which a
/// socket bound to the adapter's unicast address never sees. So the socket itself listens on
/// every address at its port, and each datagram it sends leaves from the adapter's address and
/// interface, named per datagram. This needs no privilege. Unicast replies to the adapter's
/// address and port arrive at the same socket.
///
/// Arrivals and errors are signals of the thread that owns the object, delivered between other
/// events. The error signal carries a flag by reference, so connect to it directly (the default
/// within one thread). A handler may close() the socket; to destroy it from inside one of its
/// own handlers, use deleteLater().
///
/// Each datagram costs one system call to receive and one to send, with no allocation while no
/// handler keeps the datagram, so that a flood of junk or a firmware upload of thousands of
/// blocks spends its time in the exchange, not here (Linux; elsewhere Qt's socket does the work).
class UdpPeer : public QObject
{
    Q_OBJECT

public:
    explicit UdpPeer(QObject *parent = nullptr);
    ~UdpPeer() override;

    /// @brief Destination of later sends, dotted IPv4 text; "255.255.255.255" is allowed.
    void setRemoteHost(const QString &host);

    /// @brief Destination port of later sends.
    void setRemotePort(quint16 port) { m_remotePort = port; }

    /// @brief Opens the socket on @p localPort (0: any free port) for the adapter whose address
    /// is @p localAddress and whose interface index is @p interfaceIndex (0: let the routing
    /// decide by the address).
    ///
    /// An empty text or "0.0.0.0" means no particular adapter. A socket that is open is closed
    /// first. Returns false, and raises error(), when the text is not an IPv4 address, the
    /// address is not one of this machine's, or the port is taken.
    bool bind(quint16 localPort, const QString &localAddress, qint32 interfaceIndex = 0);

    /// @brief Dotted text of the adapter address the socket was bound for; "0.0.0.0" when it was
    /// bound for none or is closed.
    QString localAddress() const;
    /// @brief The port the socket receives on, or 0 when it is closed.
    quint16 localPort() const;
    /// @brief Interface index given to bind(), or 0.
    qint32 interfaceIndex() const { return m_interfaceIndex; }
    bool isBound() const;

    /// @brief Sends @p data as one datagram to the remote host and port, from the adapter's
    /// address and interface. False (and error() raised) when it could not be sent.
    bool sendData(const QByteArray &data);
    /// @brief Sends @p data as one datagram to @p to, port @p port, leaving from the adapter
    /// whose address is @p adapter (interface @p interfaceIndex), whatever the remote host and
    /// adapter given before: one socket on a fixed port so serves devices behind several adapters.
    /// IPv4 addresses as numbers (host order; adapter 0: none in particular).
    bool sendDataTo(QByteArrayView data, quint32 to, quint16 port, quint32 adapter, qint32 interfaceIndex);

    /// @brief Inside a dataArrival() handler: the whole datagram; empty elsewhere.
    QByteArray getData() const { return m_current.data; }
    /// @brief As getData(), without a copy; valid until the handler returns.
    QByteArrayView dataView() const { return m_current.data; }
    /// @brief Inside a dataArrival() handler: the source address as a number (host order), or 0.
    quint32 remoteHostIPv4() const { return m_current.sender; }
    /// @brief Inside a dataArrival() handler: source port of the datagram.
    quint16 remoteHostPort() const { return m_current.senderPort; }

    /// @brief Text of the last error, empty when none happened since the socket was bound.
    QString errorString() const { return m_errorString; }

    /// @brief Releases the socket; harmless on a closed socket.
    void close();

    /// @brief Hands every later send to @p hook instead of the network, bound or not (null: the
    /// network again). With deliver(), an engine can be driven without any socket (fuzzing).
    void setSendHook(std::function<bool(const QByteArray &data)> hook) { m_sendHook = std::move(hook); }
    /// @brief Raises dataArrival() for @p data as if it had arrived from @p sender, port @p senderPort.
    void deliver(const QByteArray &data, const QHostAddress &sender, quint16 senderPort);

    /// @brief Calls @p handler for each datagram, before dataArrival() and like a handler of it
    /// (null: none). For the owner of a socket that takes thousands of datagrams in a row, for
    /// which a signal per datagram would cost more than the rest of the work. dataArrival() is
    /// raised only while something is connected to it.
    void setArrivalHandler(std::function<void()> handler) { m_arrivalHandler = std::move(handler); }

signals:
    /// @brief One datagram of @p bytesTotal bytes has arrived; read it with getData().
    void dataArrival(int bytesTotal);

    /// @brief A socket operation failed. Setting @p cancelDisplay keeps the socket from
    /// reporting the error itself (as a warning on the diagnostic output).
    void error(int number, const QString &description, bool &cancelDisplay);

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
#if defined(Q_OS_LINUX)
    friend class ReadNotifier;
#endif

    struct Arrival
    {
        QByteArray data;
        quint32 sender = 0; ///< IPv4, host order
        quint16 senderPort = 0;
    };

    void readPendingDatagrams();
    // Takes the next waiting datagram into @p arrival; false when none is waiting.
    bool receive(Arrival &arrival);
    /// Raises dataArrival() for @p datagram; false when a handler destroyed this object.
    bool dispatch(Arrival datagram);
    void raiseError(int number, const QString &description);
    void raiseSystemError(int code);
    bool send(QByteArrayView data, quint32 to, quint16 port, quint32 adapter, qint32 interfaceIndex);

#if defined(Q_OS_LINUX)
    int m_descriptor = -1;
    quint16 m_localPort = 0;
    ReadNotifier *m_notifier = nullptr;
    // Receives every datagram; it is allocated again only while a handler still holds the last.
    QByteArray m_buffer;
#else
    QUdpSocket *m_socket = nullptr;
#endif
    QHostAddress m_boundAddress{QHostAddress::AnyIPv4};
    qint32 m_interfaceIndex = 0;
    QString m_remoteHost;
    quint16 m_remotePort = 0;
    Arrival m_current;
    QString m_errorString;
    bool m_answered = false; ///< something was sent while a datagram was handled
    std::function<bool(const QByteArray &)> m_sendHook;
    std::function<void()> m_arrivalHandler;
    // Connections to dataArrival(): a signal with no receiver still costs a call into Qt per
    // datagram.
    int m_arrivalListeners = 0;
    bool *m_destroyedFlag = nullptr; ///< of the innermost dispatch() running
};

} // namespace farlight
