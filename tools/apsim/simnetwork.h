#pragma once

#include "simulatorcore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QTimer>

class QUdpSocket;

namespace farlight {

/// @brief The simulator's sockets: feeds received datagrams to the SimulatorCore and sends its answers.
///
/// One socket on 0.0.0.0:4000 hears the broadcasts (a socket bound to a unicast address does not
/// see datagrams sent to 255.255.255.255). Each device also has a socket on its own address,
/// port 4000: it hears datagrams sent to that address and sends the device's answers, so they
/// leave from the device's address. (Naming the source per datagram through IP_PKTINFO is not
/// used: Qt 6.4 fills ipi_addr, which Linux ignores when sending, instead of ipi_spec_dst.)
/// Each device gets a TFTP socket on its address, port 69, and one more per transfer in
/// ephemeral mode.
class SimNetwork : public QObject
{
    Q_OBJECT

public:
    /// How often idle TFTP transfers are looked for.
    static constexpr int ExpiryIntervalMs = 1000;

    SimNetwork(SimulatorCore &core, QString statePath, QString logPath, QString firmwareDir,
               QObject *parent = nullptr);

    /// @brief Opens the sockets, the log and the first state file; false with @p error when it cannot.
    bool start(QString *error);

private:
    struct DeviceSockets
    {
        QUdpSocket *management = nullptr;
        QUdpSocket *server = nullptr;
        QHash<quint32, QUdpSocket *> spareServers; ///< port 69 at each spare address
        QHash<quint16, QUdpSocket *> transfers;
    };

    void readManagement(QUdpSocket *socket);
    void readTftp(qsizetype device, QUdpSocket *socket);
    void dispatch(const QList<OutboundDatagram> &datagrams, qsizetype device);
    void sendNow(const OutboundDatagram &datagram, qsizetype device);
    QUdpSocket *managementSocketFor(const QHostAddress &source) const;
    void writeOutcome();
    void writeState();
    quint16 openTransferPort(qsizetype device);
    void expireTransfers();

    SimulatorCore &m_core;
    QString m_statePath;
    QString m_logPath;
    QString m_firmwareDir;
    QFile m_log;
    QUdpSocket *m_management = nullptr;
    QList<DeviceSockets> m_devices;
    QHash<quint32, QUdpSocket *> m_spareSockets; ///< by spare address: where moved devices answer from
    QElapsedTimer m_clock;
    QTimer m_expiry;
};

} // namespace farlight
