// How much the search's reply handling costs per datagram, against the unavoidable cost of
// receiving one: copying its bytes out of the socket buffer (the named reference, "copy").
// A junk flood during a search must not freeze the progress dialog, so the handler has to stay
// within a small multiple of the copy. Prints ratios; it never fails.
#include "discovery/devicesearch.h"
#include "protocol/searchcodec.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>

using namespace farlight;

namespace {

constexpr int Rounds = 200000;
const MacAddress AdapterMac{0x02, 0, 0, 0, 0, 0x10};

template <typename Body>
double nanosPerDatagram(const QList<QByteArray> &datagrams, Body body)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Rounds; ++i)
        body(datagrams[i % datagrams.size()], i);
    return double(timer.nsecsElapsed()) / Rounds;
}

} // namespace

int main()
{
    QRandomGenerator random(20261206);
    QList<QByteArray> junk;
    for (int i = 0; i < 1024; ++i) {
        QByteArray bytes(int(random.bounded(400)), '\0');
        for (char &b : bytes)
            b = char(random.bounded(256));
        if (i % 2 == 0 && bytes.size() >= 8)
            bytes.replace(0, 4, QByteArray::fromHex("87654321"));
        junk.append(bytes);
    }
    QList<QByteArray> replies;
    for (int i = 0; i < 1024; ++i) {
        SearchReplyFields f;
        f.sequence = 1;
        f.requesterMac = AdapterMac;
        f.hostName = QByteArray("AP-") + QByteArray::number(i);
        f.ssid = "bench";
        replies.append(BuildSearchReply(f));
    }

    std::array<DeviceRecord, DeviceSearch::MaxDevices> table{};
    qint16 count = 0;
    DeviceSearch search(table, count);
    const QString source = QStringLiteral("192.168.77.21");
    volatile qsizetype sink = 0;

    const double copy = nanosPerDatagram(replies, [&](const QByteArray &d, int) {
        QByteArray received(d.constData(), d.size());
        sink = sink + received.size();
    });
    auto restart = [&] {
        search.begin();
        search.nextSequence();
        search.buildRequest(0, AdapterMac);
    };
    restart();
    const double junkCost = nanosPerDatagram(junk, [&](const QByteArray &d, int) {
        QByteArray received(d.constData(), d.size());
        search.handleDatagram(0, received, source);
    });
    // Valid replies from one address: the first is listed, the rest are duplicates, the
    // common case of a device answering every retransmission or both adapters.
    restart();
    const double duplicateCost = nanosPerDatagram(replies, [&](const QByteArray &d, int) {
        QByteArray received(d.constData(), d.size());
        search.handleDatagram(0, received, source);
    });
    // Valid replies into a full table: the duplicate scan runs over all 101 entries.
    restart();
    for (int i = 0; i < DeviceSearch::MaxDevices; ++i)
        search.handleDatagram(0, replies[i], QStringLiteral("10.0.0.%1").arg(i + 1));
    const double fullCost = nanosPerDatagram(replies, [&](const QByteArray &d, int) {
        QByteArray received(d.constData(), d.size());
        search.handleDatagram(0, received, QStringLiteral("10.1.0.1"));
    });

    std::printf("reference copy of one datagram: %.0f ns\n", copy);
    std::printf("junk datagram:                  %.0f ns  (%.1fx copy)\n", junkCost, junkCost / copy);
    std::printf("duplicate reply:                %.0f ns  (%.1fx copy)\n", duplicateCost, duplicateCost / copy);
    std::printf("reply into a full table:        %.0f ns  (%.1fx copy)\n", fullCost, fullCost / copy);
    std::printf("10,000 junk datagrams take about %.1f ms of handler time\n", junkCost * 10000 / 1e6);
    return sink < 0;
}
