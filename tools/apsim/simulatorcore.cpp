#include "simulatorcore.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"
#include "protocol/tftppacket.h"
#include "simreplies.h"

#include <QJsonArray>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

QString kindName(RequestKind kind, quint8 flag)
{
    switch (kind) {
    case RequestKind::Search:
        return u"search"_s;
    case RequestKind::SetIp:
        return flag == Flag::SetIpDhcp ? u"setip-dhcp"_s : u"setip-static"_s;
    case RequestKind::Confirm:
        return u"confirm"_s;
    case RequestKind::Filter:
        return flag == Flag::FilterRead ? u"filter-read"_s : u"filter-write"_s;
    case RequestKind::Tftp:
        return u"tftp"_s;
    }
    return {};
}

QString endpoint(const QHostAddress &address, quint16 port)
{
    return u"%1:%2"_s.arg(address.toString()).arg(port);
}

} // namespace

SimulatorCore::SimulatorCore(const QList<DeviceConfig> &devices, const FaultConfig &faults) : m_faults(faults)
{
    for (const DeviceConfig &config : devices)
        m_devices.push_back(std::make_unique<SimDevice>(config));
}

void SimulatorCore::setTftpPortOpener(std::function<quint16(qsizetype)> opener)
{
    for (qsizetype i = 0; i < deviceCount(); ++i)
        device(i).tftp().setPortOpener([opener, i] { return opener ? opener(i) : quint16(0); });
}

bool SimulatorCore::isOwnAddress(const QHostAddress &address) const
{
    return std::any_of(m_devices.begin(), m_devices.end(),
                       [&](const auto &d) {
                           return d->config().ip.isEqual(address, QHostAddress::TolerantConversion)
                               || d->config().spareIps.contains(address);
                       });
}

bool SimulatorCore::hears(const SimDevice &device, const InboundDatagram &in) const
{
    // A device sits on one segment: it hears only what arrives on the interface carrying its address.
    return device.present()
        && (device.interfaceIndex() == 0 || in.interfaceIndex == 0 || device.interfaceIndex() == in.interfaceIndex);
}

std::optional<SimulatorCore::Request> SimulatorCore::classify(QByteArrayView data, QString *reason) const
{
    if (data.size() < PacketHeader::Size) {
        *reason = u"too short"_s;
        return std::nullopt;
    }
    const auto header = PacketHeader::parse(data);
    if (!header) {
        *reason = u"wrong magic"_s;
        return std::nullopt;
    }
    const qsizetype size = data.size();
    struct Shape
    {
        quint8 opcode;
        quint8 flag;
        qsizetype size;
        Request request;
    };
    static constexpr Shape Shapes[] = {
        {Opcode::Search, Flag::SearchRequest, SearchRequestSize, Request::Search},
        {Opcode::SetIp, Flag::SetIpStatic, SetIpStaticSize, Request::SetIp},
        {Opcode::SetIp, Flag::SetIpDhcp, SetIpDhcpSize, Request::SetIp},
        {Opcode::Confirm, Flag::Confirm, ConfirmSize, Request::Confirm},
        {Opcode::Filter, Flag::FilterRead, FilterReadSize, Request::FilterRead},
        {Opcode::Filter, Flag::FilterWrite, FilterWriteSize, Request::FilterWrite},
    };
    for (const Shape &shape : Shapes) {
        if (shape.opcode != header->opcode || shape.flag != header->flag)
            continue;
        if (size != shape.size) {
            *reason = u"wrong length %1 for opcode 0x%2 flag 0x%3 (expected %4)"_s.arg(size)
                          .arg(header->opcode, 2, 16, QLatin1Char('0'))
                          .arg(header->flag, 2, 16, QLatin1Char('0'))
                          .arg(shape.size);
            return std::nullopt;
        }
        return shape.request;
    }
    *reason = u"not a request: opcode 0x%1 flag 0x%2"_s.arg(header->opcode, 2, 16, QLatin1Char('0'))
                  .arg(header->flag, 2, 16, QLatin1Char('0'));
    return std::nullopt;
}

void SimulatorCore::addReplies(QList<OutboundDatagram> &out, const SimDevice &device, RequestKind kind,
                               QByteArray reply, const InboundDatagram &in)
{
    if (const auto mac = m_faults.replyMac(device.mac(), kind))
        ByteWriter(reply).mac(DeviceReply::RequesterMacOffset, *mac);
    OutboundDatagram datagram;
    datagram.data = reply;
    datagram.source = device.answeringIp();
    datagram.sourcePort = DevicePort;
    datagram.destination = device.config().reply == ReplyMode::Broadcast ? QHostAddress(QHostAddress::Broadcast)
                                                                         : in.sender;
    datagram.destinationPort = in.senderPort;
    datagram.interfaceIndex = device.interfaceIndex();
    datagram.delayMs = m_faults.delayMs(device.mac(), kind);
    for (int copy = 0; copy < m_faults.copies(device.mac(), kind); ++copy)
        out.append(datagram);
}

QList<OutboundDatagram> SimulatorCore::handleManagement(const InboundDatagram &in, qint64 nowMs)
{
    // Broadcast replies loop back to this namespace; a device never answers its own kind.
    if (isOwnAddress(in.sender))
        return {};
    for (const auto &device : m_devices)
        device->settle(nowMs);

    QJsonObject entry{{u"from"_s, endpoint(in.sender, in.senderPort)},
                      {u"to"_s, in.destination.toString()},
                      {u"size"_s, in.data.size()}};
    QString reason;
    const auto request = classify(in.data, &reason);
    if (!request) {
        entry.insert(u"kind"_s, u"ignored"_s);
        entry.insert(u"reason"_s, reason);
        m_log.append(entry);
        return {};
    }

    const ByteReader r(in.data);
    const quint8 flag = *r.u8(PacketHeader::FlagOffset);
    const quint16 sequence = *r.u16be(PacketHeader::SequenceOffset);
    const RequestKind kind = *request == Request::Search ? RequestKind::Search
        : *request == Request::SetIp                     ? RequestKind::SetIp
        : *request == Request::Confirm                   ? RequestKind::Confirm
                                                         : RequestKind::Filter;
    entry.insert(u"kind"_s, kindName(kind, flag));
    entry.insert(u"seq"_s, sequence);

    QList<OutboundDatagram> out;
    QJsonArray outcomes;
    if (kind == RequestKind::Search) {
        const MacAddress requester = *r.mac(RequesterMacOffset);
        for (const auto &device : m_devices) {
            if (!hears(*device, in))
                continue;
            if (device->restarting(nowMs)) {
                outcomes.append(QJsonObject{{u"mac"_s, FormatMac(device->mac())}, {u"action"_s, u"restarting"_s}});
                continue;
            }
            const bool dropped = m_faults.drop(device->mac(), kind);
            outcomes.append(QJsonObject{{u"mac"_s, FormatMac(device->mac())},
                                        {u"action"_s, dropped ? u"dropped"_s : u"replied"_s}});
            if (!dropped)
                addReplies(out, *device, kind, device->searchReply(sequence, requester), in);
        }
        entry.insert(u"devices"_s, outcomes);
        m_log.append(entry);
        return out;
    }

    // Every other request names its device at bytes 20..25 and carries the requesting adapter's MAC.
    const MacAddress target = *r.mac(DeviceMacOffset);
    const MacAddress adapter = *r.mac(AdapterMacOffset);
    entry.insert(u"target"_s, FormatMac(target));
    SimDevice *device = nullptr;
    for (const auto &candidate : m_devices) {
        if (MacEqual(candidate->mac(), target) && hears(*candidate, in))
            device = candidate.get();
    }
    if (!device) {
        entry.insert(u"reason"_s, u"no simulated device with that MAC on this segment"_s);
        entry.insert(u"devices"_s, outcomes);
        m_log.append(entry);
        return out;
    }

    QJsonObject outcome{{u"mac"_s, FormatMac(device->mac())}};
    if (device->restarting(nowMs)) {
        outcome.insert(u"action"_s, u"restarting"_s);
    } else if (m_faults.drop(device->mac(), kind)) {
        outcome.insert(u"action"_s, u"dropped"_s);
    } else {
        quint16 status = DeviceReply::StatusOk;
        QByteArray reply;
        const auto forced = m_faults.status(device->mac(), kind);
        switch (*request) {
        case Request::SetIp:
            status = device->setIp(in.data, nowMs);
            reply = DeviceReply::BuildSetIpReply(sequence, flag, adapter, device->mac(), forced.value_or(status));
            m_stateChanged = m_stateChanged || status == DeviceReply::StatusOk;
            break;
        case Request::Confirm:
            device->confirm();
            m_stateChanged = true;
            break;
        case Request::FilterRead: {
            status = device->readFilter(in.data);
            const QList<MacAddress> list = status == DeviceReply::StatusOk ? device->filter() : QList<MacAddress>();
            reply = DeviceReply::BuildFilterReply(sequence, Flag::FilterListReply, adapter, device->mac(),
                                                  forced.value_or(status), list);
            break;
        }
        case Request::FilterWrite:
            status = device->writeFilter(in.data);
            reply = DeviceReply::BuildFilterReply(sequence, Flag::FilterWriteReply, adapter, device->mac(),
                                                  forced.value_or(status), device->filter());
            m_stateChanged = m_stateChanged || status == DeviceReply::StatusOk;
            break;
        case Request::Search:
            break;
        }
        if (reply.isEmpty()) {
            outcome.insert(u"action"_s, u"recorded"_s);
        } else {
            outcome.insert(u"action"_s, u"replied"_s);
            outcome.insert(u"status"_s, forced.value_or(status));
            addReplies(out, *device, kind, reply, in);
        }
    }
    outcomes.append(outcome);
    entry.insert(u"devices"_s, outcomes);
    m_log.append(entry);
    return out;
}

QList<OutboundDatagram> SimulatorCore::handleTftp(qsizetype index, const InboundDatagram &in, qint64 nowMs)
{
    SimDevice &dev = device(index);
    dev.settle(nowMs);
    QList<OutboundDatagram> out;
    const bool restarting = dev.restarting(nowMs);
    if (restarting || m_faults.drop(dev.mac(), RequestKind::Tftp)) {
        m_log.append({{u"kind"_s, restarting ? u"tftp-restarting"_s : u"tftp-dropped"_s},
                      {u"device"_s, FormatMac(dev.mac())},
                      {u"from"_s, endpoint(in.sender, in.senderPort)},
                      {u"size"_s, in.data.size()}});
        return out;
    }
    const auto refusal = Tftp::OpcodeOf(in.data) == Tftp::WriteRequest ? m_faults.tftpError(dev.mac())
                                                                        : std::nullopt;
    const auto replies = dev.tftp().handle(in.data, in.sender, in.senderPort, in.destinationPort, nowMs, refusal);
    for (QJsonObject event : dev.tftp().takeEvents()) {
        event.insert(u"device"_s, FormatMac(dev.mac()));
        m_log.append(event);
    }
    for (const auto &upload : dev.tftp().takeUploads()) {
        dev.recordFirmware(upload.fileName, upload.image);
        // The last acknowledgement below still goes out; the device then restarts.
        dev.restartAfterUpload(nowMs);
        m_uploads.append({index, upload.image});
        m_stateChanged = true;
    }
    const int copies = m_faults.copies(dev.mac(), RequestKind::Tftp);
    for (const auto &reply : replies) {
        OutboundDatagram datagram;
        datagram.data = reply.data;
        datagram.source = dev.answeringIp();
        datagram.sourcePort = reply.localPort;
        datagram.destination = reply.peer;
        datagram.destinationPort = reply.peerPort;
        datagram.delayMs = m_faults.delayMs(dev.mac(), RequestKind::Tftp);
        for (int copy = 0; copy < copies; ++copy)
            out.append(datagram);
    }
    return out;
}

QList<quint16> SimulatorCore::expireTftp(qsizetype index, qint64 nowMs)
{
    SimDevice &dev = device(index);
    const QList<quint16> ports = dev.tftp().expire(nowMs);
    for (QJsonObject event : dev.tftp().takeEvents()) {
        event.insert(u"device"_s, FormatMac(dev.mac()));
        m_log.append(event);
    }
    return ports;
}

QJsonDocument SimulatorCore::stateDocument() const
{
    QJsonArray devices;
    for (const auto &device : m_devices)
        devices.append(device->stateJson());
    return QJsonDocument(QJsonObject{{u"devices"_s, devices}});
}

} // namespace farlight
