// The set-IP and MAC filter exchanges as state machines: requests, cancels and closes in any
// order, and datagrams from the device, from the address a static request asked for, and from a
// stranger, either raw or built on the request that went out last (so that they pass its
// matching) with a status, flag and list from the input. Sends go to a hook, no socket is opened.
// Checked: an answer is taken only from the device (or the requested address; after DHCP from
// any), only while a request awaits one and only once for it; a filter write ends only in a
// verdict and a read only in a list or a refusal; a set-IP success is followed by exactly one
// confirmation, after the handlers; a list holds no repeat, no empty and no broadcast slot.
#include "fuzzinput.h"

#include "ipconfig/setipexchange.h"
#include "macfilter/filterexchange.h"
#include "netenv/udppeer.h"
#include "protocol/authblock.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "protocol/setiprequest.h"

#include <QCoreApplication>
#include <QHostAddress>

using namespace farlight;

namespace {

const QHostAddress Device(QStringLiteral("192.168.77.2"));
const QHostAddress Stranger(QStringLiteral("192.168.77.66"));
constexpr quint32 RequestedAddress = 0xC0A84D33; // 192.168.77.51
constexpr MacAddress Empty{0, 0, 0, 0, 0, 0};
constexpr MacAddress Broadcast{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

DeviceTarget target()
{
    DeviceTarget t;
    t.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    t.address = Device.toString();
    t.hostName = QStringLiteral("AP-Lobby");
    t.adapterAddress = QStringLiteral("192.168.77.10");
    t.adapterMac = {0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A};
    return t;
}

enum Op { Request, CraftedReply, RawDatagram, Replay, Cancel, OpCount };

/// A reply that passes the last request's matching: its header and adapter MAC, then what the
/// input says.
QByteArray craftReply(const QByteArray &request, fuzz::Input &in)
{
    QByteArray reply = in.datagram(FilterLayout::ReplySize);
    if (request.size() < AuthBlock::AdapterMacOffset + 6)
        return reply;
    const qsizetype size = qMax<qsizetype>(reply.size(), SetIpReply::MinimumSize);
    reply.resize(size, '\0');
    reply.replace(0, PacketHeader::Size, request.first(PacketHeader::Size));
    reply.replace(AuthBlock::Offset, 6, request.sliced(AuthBlock::AdapterMacOffset, 6));
    const quint8 shape = in.u8();
    reply[PacketHeader::FlagOffset] = char((shape & 1) ? Flag::FilterListReply : Flag::FilterWriteReply);
    const quint16 statuses[] = {0, 1, 0xFF, in.u16()};
    const quint16 status = statuses[(shape >> 1) & 3];
    reply[FilterLayout::ReplyStatusOffset] = char(status >> 8);
    reply[FilterLayout::ReplyStatusOffset + 1] = char(status);
    return reply;
}

QHostAddress source(quint8 choice)
{
    switch (choice % 3) {
    case 0:
        return Device;
    case 1:
        return QHostAddress(RequestedAddress);
    }
    return Stranger;
}

// What both runs share: the socket's send hook, the request that went out last and the
// datagram that came in last.
struct Wire
{
    explicit Wire(QObject &exchange)
        : socket(exchange.findChild<UdpPeer *>())
    {
        FUZZ_CHECK(socket);
        socket->setSendHook([this](const QByteArray &data) {
            sent.append(data);
            return true;
        });
    }

    // Delivers what @p op chooses: a reply built on the last request, a raw datagram, or the
    // last one again.
    void deliver(int op, const QHostAddress &from, fuzz::Input &in)
    {
        lastReply = op == CraftedReply ? craftReply(lastRequest, in) : op == RawDatagram ? in.datagram(1000) : lastReply;
        replySource = from;
        socket->deliver(lastReply, from, DevicePort);
    }

    UdpPeer *socket;
    QList<QByteArray> sent;
    QByteArray lastRequest;
    QByteArray lastReply;
    QHostAddress replySource;
};

void setIpRun(fuzz::Input &in)
{
    SequenceCounters counters;
    SetIpExchange exchange(target(), counters);
    Wire wire(exchange);
    QList<QByteArray> &sent = wire.sent;
    bool awaiting = false;
    qsizetype sentAtHandler = 0;
    quint32 asked = 0;
    int replies = 0;
    QObject::connect(&exchange, &SetIpExchange::replied, [&](SetIpExchange::Status status) {
        FUZZ_CHECK(awaiting);
        // After DHCP the device may answer from its lease, which no one here knows.
        FUZZ_CHECK(wire.replySource == Device || asked == 0 || wire.replySource == QHostAddress(asked));
        FUZZ_CHECK(status == SetIpExchange::Ok || status == SetIpExchange::Failure
                   || status == SetIpExchange::InvalidPassword);
        FUZZ_CHECK(SetIpReply::status(wire.lastReply) == quint16(status));
        awaiting = false;
        ++replies;
        sentAtHandler = sent.size();
    });

    while (!in.atEnd()) {
        const quint8 op = in.u8();
        const QHostAddress from = source(in.u8());
        switch (op % OpCount) {
        case Request: {
            const bool password = in.u8() & 1;
            const bool isStatic = in.u8() & 1;
            const qsizetype before = sent.size();
            const bool ok = exchange.send(password ? std::optional(QStringLiteral("admin")) : std::nullopt,
                                          isStatic ? Flag::SetIpStatic : Flag::SetIpDhcp,
                                          isStatic ? RequestedAddress : 0, 0xFFFFFF00, 0);
            FUZZ_CHECK(ok);
            FUZZ_CHECK(sent.size() == before + (password ? 1 : 0));
            awaiting = password;
            asked = isStatic ? RequestedAddress : 0;
            if (password)
                wire.lastRequest = sent.last();
            break;
        }
        case CraftedReply:
        case RawDatagram:
        case Replay: {
            const int repliesBefore = replies;
            const qsizetype sentBefore = sent.size();
            wire.deliver(op % OpCount, from, in);
            FUZZ_CHECK(replies - repliesBefore <= 1);
            const bool success = replies > repliesBefore && SetIpReply::status(wire.lastReply) == SetIpReply::StatusOk;
            // A success is confirmed once, with the confirmation opcode, after the handlers (a message
            // shown there comes first); nothing else is ever sent unasked.
            FUZZ_CHECK(sent.size() == sentBefore + (success ? 1 : 0));
            if (success) {
                FUZZ_CHECK(sentAtHandler == sentBefore);
                FUZZ_CHECK(quint8(sent.last()[PacketHeader::OpcodeOffset]) == Opcode::Confirm);
            }
            break;
        }
        case Cancel:
            if (in.u8() & 1)
                exchange.cancelPending();
            else
                exchange.close();
            awaiting = false;
            break;
        }
    }
}

void filterRun(fuzz::Input &in)
{
    SequenceCounters counters;
    FilterExchange exchange(target(), counters);
    Wire wire(exchange);
    QList<QByteArray> &sent = wire.sent;
    enum class Awaiting { Nothing, List, Verdict } awaiting = Awaiting::Nothing;
    int answers = 0;
    QObject::connect(&exchange, &FilterExchange::listReceived, [&](const QList<MacAddress> &list) {
        FUZZ_CHECK(awaiting == Awaiting::List);
        FUZZ_CHECK(wire.replySource == Device);
        FUZZ_CHECK(list.size() <= FilterLayout::SlotCount);
        for (qsizetype i = 0; i < list.size(); ++i) {
            FUZZ_CHECK(!MacEqual(list[i], Empty) && !MacEqual(list[i], Broadcast));
            for (qsizetype j = 0; j < i; ++j)
                FUZZ_CHECK(!MacEqual(list[i], list[j]));
        }
        awaiting = Awaiting::Nothing;
        ++answers;
    });
    QObject::connect(&exchange, &FilterExchange::replied, [&](FilterExchange::Status status) {
        FUZZ_CHECK(awaiting != Awaiting::Nothing);
        FUZZ_CHECK(wire.replySource == Device);
        // A read ends in a list or a refusal, never in a success verdict.
        if (awaiting == Awaiting::List)
            FUZZ_CHECK(status == FilterExchange::Fail || status == FilterExchange::InvalidPassword);
        awaiting = Awaiting::Nothing;
        ++answers;
    });

    while (!in.atEnd()) {
        const quint8 op = in.u8();
        const QHostAddress from = source(in.u8());
        switch (op % OpCount) {
        case Request: {
            const quint8 how = in.u8();
            const qsizetype before = sent.size();
            if (how & 1) {
                QList<MacAddress> list;
                for (int i = in.u8() % 4; i > 0; --i)
                    list.append({0x00, 0x11, 0x22, 0x33, 0x44, in.u8()});
                const bool password = how & 2;
                FUZZ_CHECK(exchange.sendList(password ? std::optional(QStringLiteral("admin")) : std::nullopt, list));
                FUZZ_CHECK(sent.size() == before + (password ? 1 : 0));
                if (password)
                    awaiting = Awaiting::Verdict;
            } else {
                FUZZ_CHECK(exchange.requestList(QStringLiteral("admin")));
                FUZZ_CHECK(sent.size() == before + 1);
                awaiting = Awaiting::List;
            }
            if (sent.size() > before)
                wire.lastRequest = sent.last();
            break;
        }
        case CraftedReply:
        case RawDatagram:
        case Replay: {
            const int before = answers;
            const qsizetype sentBefore = sent.size();
            wire.deliver(op % OpCount, from, in);
            FUZZ_CHECK(answers - before <= 1);
            FUZZ_CHECK(sent.size() == sentBefore);
            break;
        }
        case Cancel:
            exchange.close();
            awaiting = Awaiting::Nothing;
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_exchanges";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv); // the exchanges' timers need an event dispatcher

    fuzz::Input in(data, size);
    if (in.u8() & 1)
        filterRun(in);
    else
        setIpRun(in);
    return 0;
}
