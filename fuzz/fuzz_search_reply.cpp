// Search replies into the device table. Script: the table's start (empty, one place left, full),
// then datagrams, each after a byte choosing the socket it arrives on, its source address, and
// whether the search ends first. Whatever arrives, the table holds at most 101 entries, each
// from its own source address, accepted only as an answer to the request of its socket.
#include "fuzzinput.h"

#include "discovery/devicesearch.h"
#include "protocol/bytereader.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"

#include <QSet>

using namespace farlight;

namespace {

constexpr int SocketsWithRequest = 2;
constexpr MacAddress AdapterMacs[SocketsWithRequest] = {{0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A},
                                                        {0x02, 0x46, 0x4C, 0x00, 0x02, 0x0A}};
// Few sources, so that one device answers twice.
const QString Sources[] = {QStringLiteral("192.168.77.21"), QStringLiteral("192.168.77.22"),
                           QStringLiteral("10.99.0.5"), QStringLiteral("192.168.88.21")};
constexpr quint8 EndSearch = 0xF0;

const QString &filler(int index)
{
    static const auto addresses = [] {
        std::array<QString, DeviceSearch::MaxDevices> a;
        for (int i = 0; i < DeviceSearch::MaxDevices; ++i)
            a[std::size_t(i)] = QStringLiteral("172.16.0.%1").arg(i);
        return a;
    }();
    return addresses[std::size_t(index)];
}

// An accepted datagram must be exactly what the table entry says it is.
void checkAccepted(const DeviceRecord &entry, QByteArrayView datagram, int socket, const QString &source,
                   quint16 sequence)
{
    const ByteReader r(datagram);
    FUZZ_CHECK(datagram.size() >= SearchLayout::ReplyMinimumSize && PacketHeader::hasMagic(datagram));
    FUZZ_CHECK(socket >= 0 && socket < SocketsWithRequest);
    FUZZ_CHECK(r.u8(PacketHeader::OpcodeOffset) == Opcode::Search && r.u8(PacketHeader::FlagOffset) == Flag::SearchReply);
    FUZZ_CHECK(r.u16be(PacketHeader::SequenceOffset) == sequence);
    FUZZ_CHECK(r.mac(SearchLayout::RequesterMacOffset) == AdapterMacs[socket]);
    FUZZ_CHECK(r.mac(SearchLayout::DeviceMacOffset) == entry.Mac);
    FUZZ_CHECK(entry.IpAddress == source && entry.AdapterIndex == socket);
    FUZZ_CHECK(entry.HostName.size() <= SearchLayout::HostNameSize && entry.Ssid.size() <= SearchLayout::SsidSize);
    FUZZ_CHECK(DeviceRowTexts(entry).size() == 6);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    std::array<DeviceRecord, DeviceSearch::MaxDevices> table{};
    qint16 count = 0;
    DeviceSearch search(table, count);
    search.begin();
    const quint16 sequence = search.nextSequence();
    for (int socket = 0; socket < SocketsWithRequest; ++socket)
        search.buildRequest(socket, AdapterMacs[socket]);

    const int start = in.u8() % 3;
    const qint16 prefilled = start == 0 ? 0 : start == 1 ? DeviceSearch::MaxDevices - 1 : DeviceSearch::MaxDevices;
    for (qint16 i = 0; i < prefilled; ++i) {
        table[std::size_t(i)].IpAddress = filler(i);
        table[std::size_t(i)].Mac = {0x0E, 0xF1, 0x11, 0x00, 0x00, quint8(i)};
    }
    count = prefilled;

    while (!in.atEnd()) {
        const quint8 how = in.u8();
        if ((how & EndSearch) == EndSearch)
            search.finish();
        // Sockets 0 and 1 sent a request, 2 did not, -1 does not exist.
        const int socket = (how & 3) == 3 ? -1 : how & 3;
        const QString &source = Sources[(how >> 2) & 3];
        const QByteArray datagram = in.datagram(1500);

        const qint16 before = count;
        const auto verdict = search.handleDatagram(socket, datagram, source);
        FUZZ_CHECK(count >= 0 && count <= DeviceSearch::MaxDevices);
        if (verdict == DeviceSearch::Verdict::Accepted) {
            FUZZ_CHECK(search.isActive() && count == before + 1);
            checkAccepted(table[std::size_t(before)], datagram, socket, source, sequence);
        } else {
            FUZZ_CHECK(count == before);
        }
    }

    // One entry per device: devices may share an address, never a MAC.
    QSet<QString> seen;
    for (int i = 0; i < DeviceSearch::MaxDevices; ++i) {
        const DeviceRecord &entry = table[std::size_t(i)];
        const QString mac = MacKey(entry.Mac);
        FUZZ_CHECK(i < count ? !entry.IpAddress.isEmpty() && !seen.contains(mac) : entry.IpAddress.isEmpty());
        seen.insert(mac);
    }
    return 0;
}
