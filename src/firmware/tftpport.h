#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>

namespace farlight {

class TftpUpload;
class UdpPeer;

/// @brief The local TFTP port 14321, shared by the uploads that run at the same time.
///
/// Devices expect their firmware from port 14321, so parallel uploads cannot each take a port of
/// their own. One socket listens on every address at that port; each datagram goes to the upload
/// whose device sent it, and each upload's datagrams leave from its own adapter. A datagram from
/// any other host is dropped here. An upload that is given no port opens a private one.
class TftpPort : public QObject
{
    Q_OBJECT

public:
    explicit TftpPort(QObject *parent = nullptr);
    ~TftpPort() override;

    /// @brief Opens port 14321, checking that @p localAddress (when given) is one of this
    /// machine's. False when it is not, or the port is taken or cannot be opened.
    bool bind(const QString &localAddress = QString(), qint32 interfaceIndex = 0);
    bool isBound() const;
    /// @brief Releases the port; the uploads attached to it hear nothing more.
    void close();
    /// @brief Why the last bind failed.
    QString errorString() const;

private:
    friend class TftpUpload;

    /// One upload per device address: the replies could not be told apart otherwise.
    bool attach(TftpUpload *upload, const QHostAddress &deviceAddress);
    void detach(TftpUpload *upload);
    /// Addresses are IPv4 numbers, host order; a local address of 0 means no particular adapter.
    bool send(QByteArrayView datagram, quint32 localAddress, qint32 interfaceIndex, quint32 deviceAddress,
              quint16 port);
    void dataArrival();

    UdpPeer *m_socket = nullptr;
    QHash<quint32, TftpUpload *> m_uploads; ///< by the device's IPv4 address
};

} // namespace farlight
