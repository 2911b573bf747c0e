// One datagram, 0 to 1000 bytes, arriving on the Set IP socket: its status is read only from a
// reply long enough to hold it with the protocol's magic, and only an answer to the request
// that went out (opcode, number, adapter MAC echoed) is taken for one.
#include "fuzzinput.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"
#include "protocol/setiprequest.h"

using namespace farlight;

namespace {

constexpr qsizetype MaxDatagram = 1000;
const AuthTarget Target{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A}, "AP-Lobby"};

const SetIpRequest &request()
{
    static const SetIpRequest built = [] {
        SetIpRequest r;
        SequenceCounters counters;
        counters.take(SequenceCounters::SetIp); // the second request of a run, numbered 1
        r.build(Target, QStringLiteral("admin"), Flag::SetIpStatic, 0xC0A84D1F, 0xFFFFFF00, 0xC0A84D01, counters);
        return r;
    }();
    return built;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView reply(reinterpret_cast<const char *>(data), qsizetype(qMin<size_t>(size, MaxDatagram)));
    const ByteReader r(reply);

    const std::optional<quint16> status = SetIpReply::status(reply);
    FUZZ_CHECK(status.has_value() == (reply.size() >= SetIpReply::MinimumSize && PacketHeader::hasMagic(reply)));
    if (status)
        FUZZ_CHECK(*status == r.u16be(SetIpReply::StatusOffset));

    if (request().isReply(reply)) {
        const QByteArrayView sent(request().bytes());
        FUZZ_CHECK(r.u8(PacketHeader::OpcodeOffset) == Opcode::SetIp);
        FUZZ_CHECK(r.equals(PacketHeader::SequenceOffset, sent.sliced(PacketHeader::SequenceOffset, 2)));
        FUZZ_CHECK(r.mac(AuthBlock::Offset) == Target.adapterMac);
    }
    return 0;
}
