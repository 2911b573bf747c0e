// apsim's request handling, without sockets: management datagrams (raw, or requests built as
// the program builds them, with the right password or a wrong one) and TFTP datagrams (raw, or
// a write request and DATA blocks in order) from the workstation and from strangers, with
// transfers expiring on a fake clock. Script: a fault set, then events. Checked: replies have
// the sizes and ports of the protocol, a device's filter list stays within 128 distinct real
// addresses, transfer ports are handed back once and only after they were opened.
#include "fuzzinput.h"

#include "protocol/bytereader.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"
#include "protocol/setiprequest.h"
#include "protocol/tftppacket.h"
#include "simreplies.h"
#include "simulatorcore.h"
#include "tftptransfer.h"

#include <set>

using namespace farlight;

namespace {

const QHostAddress Workstation(QStringLiteral("192.168.77.10"));
const QHostAddress Stranger(QStringLiteral("192.168.77.99"));
constexpr MacAddress AdapterMac{0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A};
constexpr MacAddress UnknownMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x99};
constexpr quint16 WorkstationTftpPort = 14321;
constexpr quint16 FirstOpenedPort = 40000;
constexpr qsizetype MaxDatagram = 1000;

DeviceConfig device(const char *name, quint8 last, const char *ip, const char *password)
{
    DeviceConfig d;
    d.hostName = name;
    d.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, last};
    d.ip = QHostAddress(QString::fromLatin1(ip));
    d.password = password;
    return d;
}

const QList<DeviceConfig> &devices()
{
    static const QList<DeviceConfig> list = [] {
        DeviceConfig lobby = device("AP-Lobby", 0x4E, "192.168.77.21", "admin");
        lobby.tftp = TftpMode::Fixed;
        lobby.filter = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {0x00, 0x11, 0x22, 0x33, 0x44, 0x66}};
        DeviceConfig office = device("AP-Office", 0x4F, "10.99.0.5", "secret");
        office.reply = ReplyMode::Broadcast;
        office.readNeedsPassword = true;
        return QList<DeviceConfig>{lobby, office, device("X", 0x51, "192.168.77.24", "")};
    }();
    return list;
}

FaultConfig faults(quint8 choice)
{
    FaultConfig f;
    switch (choice % 3) {
    case 1:
        f.duplicate = 1;
        f.status = 1;
        f.replyMac = UnknownMac;
        f.kinds = {RequestKind::SetIp, RequestKind::Filter};
        break;
    case 2:
        f.dropRate = 0.5;
        f.dropMode = FaultConfig::DropMode::Fixed;
        f.tftpError = 3;
        f.devices = {devices()[0].mac};
        break;
    }
    return f;
}

enum Event { Raw, Request, TftpRaw, TftpWrite, TftpData, Expire, EventCount };
enum Kind { Search, SetIpStatic, SetIpDhcp, Confirm, FilterRead, FilterWrite, KindCount };

class Harness
{
public:
    Harness(quint8 faultChoice, bool refusePorts) : m_core(devices(), faults(faultChoice)), m_refusePorts(refusePorts)
    {
        m_core.device(2).setInterfaceIndex(2);
        m_core.setTftpPortOpener([this](qsizetype) {
            if (m_refusePorts)
                return quint16(0);
            m_opened.insert(m_nextPort);
            return m_nextPort++;
        });
    }

    void management(const QByteArray &data, const QHostAddress &sender, int interfaceIndex)
    {
        const quint16 port = 50000;
        const auto out = m_core.handleManagement({data, sender, port, QHostAddress::Broadcast, DevicePort, interfaceIndex}, m_now);
        for (const OutboundDatagram &d : out) {
            FUZZ_CHECK(d.sourcePort == DevicePort && d.destinationPort == port);
            FUZZ_CHECK(d.data.size() == SearchLayout::ReplySize || d.data.size() == DeviceReply::SetIpReplySize
                       || d.data.size() == DeviceReply::FilterReplySize);
            FUZZ_CHECK(PacketHeader::hasMagic(d.data));
        }
        checkDevices();
    }

    void tftp(qsizetype index, const QByteArray &data, const QHostAddress &sender, quint16 senderPort, quint16 localPort)
    {
        const auto out = m_core.handleTftp(index, {data, sender, senderPort, devices()[index].ip, localPort}, m_now);
        for (const OutboundDatagram &d : out) {
            const std::optional<quint16> opcode = Tftp::OpcodeOf(d.data);
            FUZZ_CHECK(opcode == Tftp::Ack ? d.data.size() == Tftp::HeaderSize : opcode == Tftp::Error);
            FUZZ_CHECK(d.destination == sender && d.destinationPort == senderPort);
            FUZZ_CHECK(d.sourcePort == Tftp::ServerPort || m_opened.count(d.sourcePort) > 0);
            if (opcode == Tftp::Ack && Tftp::AckBlockOf(d.data) == 0)
                m_transferPort[std::size_t(index)] = d.sourcePort;
        }
        for (const auto &upload : m_core.takeFinishedUploads())
            FUZZ_CHECK(upload.image.size() <= TftpTransfer::MaxImageSize);
        m_core.takeLogEntries();
    }

    void expire(qsizetype index, qint64 ms)
    {
        m_now += ms;
        for (quint16 port : m_core.expireTftp(index, m_now)) {
            FUZZ_CHECK(m_opened.count(port) > 0 && m_released.count(port) == 0);
            m_released.insert(port);
        }
    }

    void checkDevices()
    {
        for (qsizetype i = 0; i < m_core.deviceCount(); ++i) {
            const QList<MacAddress> &filter = m_core.device(i).filter();
            FUZZ_CHECK(filter.size() <= DeviceReply::FilterSlotCount);
            for (qsizetype k = 0; k < filter.size(); ++k) {
                FUZZ_CHECK(!MacEqual(filter[k], MacAddress{}) && !MacEqual(filter[k], {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
                FUZZ_CHECK(filter.indexOf(filter[k]) == k);
            }
        }
        m_core.takeLogEntries();
    }

    SimulatorCore &core() { return m_core; }
    quint16 transferPort(qsizetype index) const { return m_transferPort[std::size_t(index)]; }

private:
    SimulatorCore m_core;
    const bool m_refusePorts;
    qint64 m_now = 0;
    quint16 m_nextPort = FirstOpenedPort;
    std::set<quint16> m_opened;
    std::set<quint16> m_released;
    std::array<quint16, 3> m_transferPort{Tftp::ServerPort, Tftp::ServerPort, Tftp::ServerPort};
};

// A request for device @p index (or for no device) as the program builds it.
QByteArray BuildRequest(fuzz::Input &in, SequenceCounters &counters)
{
    const Kind kind = Kind(in.u8() % KindCount);
    const quint8 who = in.u8();
    const DeviceConfig &d = devices()[who % 3];
    const AuthTarget target{who & 0x80 ? UnknownMac : d.mac, AdapterMac, d.hostName};
    const QString password = who & 0x40 ? QStringLiteral("wrong") : QString::fromLatin1(d.password);
    switch (kind) {
    case Search:
        return BuildSearchRequest(AdapterMac, in.u16());
    case SetIpStatic:
    case SetIpDhcp: {
        SetIpRequest request;
        const quint32 address = (quint32(in.u16()) << 16) | in.u16();
        const int prefix = in.u8() % 33;
        const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
        request.build(target, password, kind == SetIpDhcp ? Flag::SetIpDhcp : Flag::SetIpStatic, address, mask,
                      (quint32(in.u16()) << 16) | in.u16(), counters);
        return request.datagram();
    }
    case Confirm:
        return BuildConfirmRequest(target, password, counters);
    case FilterRead:
    case FilterWrite: {
        FilterRequestHeader header;
        header.build(target, password, kind == FilterRead ? Flag::FilterRead : Flag::FilterWrite, counters);
        if (kind == FilterRead)
            return header.readRequest();
        QList<MacAddress> list(in.u8() % (DeviceReply::FilterSlotCount + 8));
        for (MacAddress &mac : list)
            mac = {0x00, 0x0A, in.u8(), in.u8(), in.u8(), in.u8()};
        return header.writeRequest(list);
    }
    case KindCount:
        break;
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const quint8 setup = in.u8();
    Harness harness(setup, setup & 0x80);
    SequenceCounters counters;
    std::array<quint16, 3> nextBlock{};

    while (!in.atEnd()) {
        const quint8 how = in.u8();
        const qsizetype index = (how >> 4) % 3;
        const QHostAddress &sender = how & 0x80 ? Stranger : Workstation;
        switch ((how & 0x0F) % EventCount) {
        case Raw:
            harness.management(in.datagram(MaxDatagram), (how & 0x40) ? devices()[index].ip : sender, in.u8() % 3);
            break;
        case Request:
            harness.management(BuildRequest(in, counters), Workstation, 0);
            break;
        case TftpRaw: {
            const quint8 port = in.u8();
            const quint16 local = port < 64 ? Tftp::ServerPort : port < 192 ? harness.transferPort(index) : FirstOpenedPort + port;
            harness.tftp(index, in.datagram(MaxDatagram), sender, WorkstationTftpPort, local);
            break;
        }
        case TftpWrite:
            nextBlock[index] = 1;
            harness.tftp(index, Tftp::BuildWriteRequest("/", how & 0x40 ? "netascii" : "octet"), sender,
                         WorkstationTftpPort, Tftp::ServerPort);
            break;
        case TftpData: {
            const QByteArray payload(in.u16() % (Tftp::BlockSize + 2), char(how));
            harness.tftp(index, Tftp::BuildData(nextBlock[index]++, payload), sender, WorkstationTftpPort,
                         harness.transferPort(index));
            break;
        }
        case Expire:
            harness.expire(index, qint64(in.u16()) * 16);
            break;
        }
    }
    FUZZ_CHECK(harness.core().stateDocument().isObject());
    return 0;
}
