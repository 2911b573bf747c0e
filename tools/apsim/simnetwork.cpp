#include "simnetwork.h"

#include "protocol/macaddress.h"
#include "protocol/packetheader.h"
#include "protocol/tftppacket.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QSaveFile>
#include <QUdpSocket>

#include <cstdio>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

/// Device datagrams hold at most 800 bytes; reading more shows oversized ones as what they are.
constexpr qint64 MaxDatagram = 65535;
constexpr qsizetype NoDevice = -1;

void warn(const QString &text)
{
    std::fprintf(stderr, "apsim: %s\n", qPrintable(text));
    std::fflush(stderr);
}

int interfaceOf(const QHostAddress &address)
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().isEqual(address, QHostAddress::TolerantConversion))
                return interface.index();
        }
    }
    return 0;
}

InboundDatagram inbound(const QNetworkDatagram &datagram)
{
    InboundDatagram in;
    in.data = datagram.data();
    in.sender = datagram.senderAddress();
    in.senderPort = quint16(datagram.senderPort());
    in.destination = datagram.destinationAddress();
    in.destinationPort = quint16(datagram.destinationPort());
    in.interfaceIndex = int(datagram.interfaceIndex());
    return in;
}

} // namespace

SimNetwork::SimNetwork(SimulatorCore &core, QString statePath, QString logPath, QString firmwareDir,
                       QObject *parent)
    : QObject(parent),
      m_core(core),
      m_statePath(std::move(statePath)),
      m_logPath(std::move(logPath)),
      m_firmwareDir(std::move(firmwareDir))
{
    m_clock.start();
}

bool SimNetwork::start(QString *error)
{
    if (!m_logPath.isEmpty()) {
        m_log.setFileName(m_logPath);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            *error = u"cannot write the log %1: %2"_s.arg(m_logPath, m_log.errorString());
            return false;
        }
    }
    if (!m_firmwareDir.isEmpty() && !QDir().mkpath(m_firmwareDir)) {
        *error = u"cannot create the firmware folder %1"_s.arg(m_firmwareDir);
        return false;
    }

    // Shared binding: the per-device sockets take the same port on the devices' own addresses.
    constexpr auto Sharing = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
    m_management = new QUdpSocket(this);
    if (!m_management->bind(QHostAddress(QHostAddress::AnyIPv4), DevicePort, Sharing)) {
        *error = u"cannot bind 0.0.0.0:%1: %2"_s.arg(DevicePort).arg(m_management->errorString());
        return false;
    }
    connect(m_management, &QUdpSocket::readyRead, this, [this] { readManagement(m_management); });

    m_core.setTftpPortOpener([this](qsizetype device) { return openTransferPort(device); });
    m_devices.resize(m_core.deviceCount());
    for (qsizetype i = 0; i < m_core.deviceCount(); ++i) {
        SimDevice &device = m_core.device(i);
        const QHostAddress ip = device.config().ip;
        const int interface = interfaceOf(ip);
        device.setInterfaceIndex(interface);
        if (interface == 0) {
            // Without its address the device could not answer from it; it stays silent instead.
            device.setPresent(false);
            warn(u"device %1: %2 is not an address of this namespace; the device stays silent"_s
                     .arg(FormatMac(device.mac()), ip.toString()));
            continue;
        }
        // Devices that share an address share its sockets: the management one hands every request
        // to the core, which picks the device by MAC; TFTP names no device, so the first one
        // configured with the address takes the uploads, as one of them wins the address on a
        // real network.
        qsizetype first = 0;
        while (first < i && !(m_devices[first].management && m_core.device(first).config().ip == ip))
            ++first;
        if (first < i) {
            m_devices[i].management = m_devices[first].management;
            continue;
        }
        auto *management = new QUdpSocket(this);
        if (!management->bind(ip, DevicePort, Sharing)) {
            *error = u"device %1: cannot bind %2:%3: %4"_s.arg(FormatMac(device.mac()), ip.toString())
                         .arg(DevicePort)
                         .arg(management->errorString());
            return false;
        }
        connect(management, &QUdpSocket::readyRead, this, [this, management] { readManagement(management); });
        m_devices[i].management = management;

        auto *server = new QUdpSocket(this);
        if (!server->bind(ip, Tftp::ServerPort)) {
            *error = u"device %1: cannot bind %2:%3: %4"_s.arg(FormatMac(device.mac()), ip.toString())
                         .arg(Tftp::ServerPort)
                         .arg(server->errorString());
            return false;
        }
        connect(server, &QUdpSocket::readyRead, this, [this, i, server] { readTftp(i, server); });
        m_devices[i].server = server;
    }

    // A device moved to a spare address answers from it: each gets a socket to send from, and
    // requests arriving there are handled like any others.
    for (qsizetype i = 0; i < m_core.deviceCount(); ++i) {
        for (const QHostAddress &spare : m_core.device(i).config().spareIps) {
            if (m_spareSockets.contains(spare.toIPv4Address()) || interfaceOf(spare) == 0)
                continue;
            auto *socket = new QUdpSocket(this);
            if (!socket->bind(spare, DevicePort, Sharing)) {
                *error = u"cannot bind %1:%2: %3"_s.arg(spare.toString()).arg(DevicePort).arg(socket->errorString());
                return false;
            }
            connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readManagement(socket); });
            m_spareSockets.insert(spare.toIPv4Address(), socket);
            // Moved there, the device takes uploads there too.
            auto *server = new QUdpSocket(this);
            if (!server->bind(spare, Tftp::ServerPort)) {
                *error = u"cannot bind %1:%2: %3"_s.arg(spare.toString()).arg(Tftp::ServerPort).arg(server->errorString());
                return false;
            }
            connect(server, &QUdpSocket::readyRead, this, [this, i, server] { readTftp(i, server); });
            m_devices[i].spareServers.insert(spare.toIPv4Address(), server);
        }
    }

    connect(&m_expiry, &QTimer::timeout, this, &SimNetwork::expireTransfers);
    m_expiry.start(ExpiryIntervalMs);
    writeState();
    return true;
}

void SimNetwork::readManagement(QUdpSocket *socket)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(MaxDatagram);
        if (!datagram.isValid())
            continue;
        const auto replies = m_core.handleManagement(inbound(datagram), m_clock.elapsed());
        // State and log are on disk before the answer leaves: whoever got the answer can read them.
        writeOutcome();
        dispatch(replies, NoDevice);
    }
}

void SimNetwork::readTftp(qsizetype device, QUdpSocket *socket)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(MaxDatagram);
        if (!datagram.isValid())
            continue;
        InboundDatagram in = inbound(datagram);
        in.destinationPort = socket->localPort();
        const auto replies = m_core.handleTftp(device, in, m_clock.elapsed());
        writeOutcome();
        dispatch(replies, device);
    }
}

void SimNetwork::dispatch(const QList<OutboundDatagram> &datagrams, qsizetype device)
{
    for (const OutboundDatagram &datagram : datagrams) {
        if (datagram.delayMs > 0)
            QTimer::singleShot(datagram.delayMs, this, [this, datagram, device] { sendNow(datagram, device); });
        else
            sendNow(datagram, device);
    }
}

QUdpSocket *SimNetwork::managementSocketFor(const QHostAddress &source) const
{
    for (qsizetype i = 0; i < m_core.deviceCount(); ++i) {
        if (m_core.device(i).config().ip.isEqual(source, QHostAddress::TolerantConversion))
            return m_devices[i].management;
    }
    return m_spareSockets.value(source.toIPv4Address());
}

void SimNetwork::sendNow(const OutboundDatagram &out, qsizetype device)
{
    QUdpSocket *socket = nullptr;
    if (device == NoDevice) {
        socket = managementSocketFor(out.source);
    } else {
        const DeviceSockets &sockets = m_devices[device];
        if (out.sourcePort != Tftp::ServerPort)
            socket = sockets.transfers.value(out.sourcePort);
        else
            socket = sockets.spareServers.value(out.source.toIPv4Address(), sockets.server);
    }
    if (!socket)
        return; // a device without its address, or a transfer that ended while this answer was delayed
    if (socket->writeDatagram(out.data, out.destination, out.destinationPort) < 0)
        warn(u"cannot send %1 bytes from %2 to %3:%4: %5"_s.arg(out.data.size())
                 .arg(out.source.toString(), out.destination.toString())
                 .arg(out.destinationPort)
                 .arg(socket->errorString()));
}

void SimNetwork::writeOutcome()
{
    if (m_log.isOpen()) {
        for (QJsonObject entry : m_core.takeLogEntries()) {
            entry.insert(u"time"_s, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
            m_log.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
        }
        m_log.flush();
    } else {
        m_core.takeLogEntries();
    }
    for (const auto &upload : m_core.takeFinishedUploads()) {
        if (m_firmwareDir.isEmpty())
            continue;
        QSaveFile file(QDir(m_firmwareDir).filePath(MacKey(m_core.device(upload.device).mac()) + u".bin"_s));
        if (!file.open(QIODevice::WriteOnly) || file.write(upload.image) != upload.image.size() || !file.commit())
            warn(u"cannot write %1: %2"_s.arg(file.fileName(), file.errorString()));
    }
    if (m_core.takeStateChanged())
        writeState();
}

void SimNetwork::writeState()
{
    if (m_statePath.isEmpty())
        return;
    // Tests read the file while the simulator runs; the rename makes each version appear whole.
    QSaveFile file(m_statePath);
    const QByteArray json = m_core.stateDocument().toJson(QJsonDocument::Indented);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        warn(u"cannot write the state %1: %2"_s.arg(m_statePath, file.errorString()));
}

quint16 SimNetwork::openTransferPort(qsizetype device)
{
    auto *socket = new QUdpSocket(this);
    if (!socket->bind(m_core.device(device).answeringIp(), 0)) {
        warn(u"cannot open a TFTP transfer port: %1"_s.arg(socket->errorString()));
        delete socket;
        return 0;
    }
    const quint16 port = socket->localPort();
    connect(socket, &QUdpSocket::readyRead, this, [this, device, socket] { readTftp(device, socket); });
    m_devices[device].transfers.insert(port, socket);
    return port;
}

void SimNetwork::expireTransfers()
{
    for (qsizetype i = 0; i < m_core.deviceCount(); ++i) {
        for (const quint16 port : m_core.expireTftp(i, m_clock.elapsed())) {
            if (QUdpSocket *socket = m_devices[i].transfers.take(port))
                socket->deleteLater();
        }
    }
    writeOutcome();
}

} // namespace farlight
