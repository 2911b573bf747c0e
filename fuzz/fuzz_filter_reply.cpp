// One datagram, 0 to 1000 bytes, arriving on the MAC filter socket: a reply is parsed only with
// the magic and a status, its list holds only whole slots that are neither empty nor broadcast,
// and the list a matching list reply gives the editor stays sorted, unique and within 128 entries.
#include "filtertablecheck.h"

#include "protocol/bytereader.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"

using namespace farlight;

namespace {

constexpr qsizetype MaxDatagram = 1000;
const AuthTarget Target{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A}, "AP-Lobby"};
constexpr MacAddress Empty{};
constexpr MacAddress Broadcast{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

const FilterRequestHeader &request()
{
    static const FilterRequestHeader built = [] {
        FilterRequestHeader r;
        SequenceCounters counters;
        r.build(Target, QStringLiteral("admin"), Flag::FilterRead, counters);
        return r;
    }();
    return built;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram(reinterpret_cast<const char *>(data), qsizetype(qMin<size_t>(size, MaxDatagram)));
    const ByteReader r(datagram);

    const bool matches = request().isReply(datagram);
    if (matches) {
        FUZZ_CHECK(r.u8(PacketHeader::OpcodeOffset) == Opcode::Filter);
        FUZZ_CHECK(r.equals(PacketHeader::SequenceOffset, QByteArrayView(request().bytes()).sliced(PacketHeader::SequenceOffset, 2)));
        FUZZ_CHECK(r.mac(AuthBlock::Offset) == Target.adapterMac);
    }

    const std::optional<FilterReply> reply = FilterReply::parse(datagram);
    FUZZ_CHECK(reply.has_value() == (PacketHeader::hasMagic(datagram) && r.has(FilterLayout::ReplyStatusOffset, 2)));
    if (!reply)
        return 0;
    FUZZ_CHECK(reply->status == r.u16be(FilterLayout::ReplyStatusOffset));
    const qsizetype wholeSlots = qMax<qsizetype>(0, (datagram.size() - FilterLayout::ReplyListOffset) / FilterLayout::SlotSize);
    FUZZ_CHECK(reply->addresses.size() <= qMin(wholeSlots, FilterLayout::SlotCount));
    for (const MacAddress &mac : reply->addresses)
        FUZZ_CHECK(!MacEqual(mac, Empty) && !MacEqual(mac, Broadcast));

    // The list editor is given the addresses of a matching list reply with a pass only.
    if (!matches || reply->status != FilterLayout::StatusOk || reply->flag != Flag::FilterListReply)
        return 0;
    FilterTable table;
    table.loadAddresses(reply->addresses);
    fuzz::CheckFilterTable(table);
    FUZZ_CHECK(table.count() <= reply->addresses.size());
    return 0;
}
