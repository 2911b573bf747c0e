// The TFTP upload client fed datagrams from the device and from strangers, with a fake clock
// for its retransmission timer and a socket that may fail. Script: image size, system version,
// then events, each a byte choosing what happens (a raw datagram from the device or a stranger,
// an acknowledgement near the block last sent, time passing, a new start) and whether a send
// that must succeed fails. Checked: DATA never reaches past the image and always carries the
// image's bytes for its block number, no block is sent before the one before it was
// acknowledged, everything goes to the device's transfer port, and nothing happens after an end.
#include "fuzzinput.h"

#include "firmware/tftpclient.h"
#include "protocol/bytereader.h"

#include <set>

using namespace farlight;

namespace {

using Outcome = TftpClient::Outcome;

const QHostAddress Device(QStringLiteral("192.168.77.21"));
const QHostAddress Stranger(QStringLiteral("192.168.77.99"));
constexpr qint32 OsVersions[] = {0, 5000, 5100};
constexpr quint16 FreshPort = 50000;
constexpr qint64 IntervalMs = 1000;
constexpr quint8 FailSends = 0x80;

enum Event { FromDevice, FromStranger, AckNearLast, TimePasses, StartAgain, EventCount };

class Harness
{
public:
    Harness(QByteArray image, qint32 osVersion) : m_client(Device, osVersion), m_image(std::move(image)) {}

    void start()
    {
        const TftpClient::Step step = m_client.start(m_image);
        if (step.sends.isEmpty())
            return; // already running: nothing may change
        m_sentThrough = 0;
        m_imageSent = false;
        m_acked.clear();
        m_port.reset();
        m_ended = false;
        m_percent = 0;
        carryOut(step, false);
    }

    void receive(const QByteArray &datagram, const QHostAddress &from, quint16 port, bool failSends)
    {
        const ByteReader r(datagram);
        const std::optional<quint8> opcode = r.u8(Tftp::OpcodeLowByteOffset);
        const std::optional<quint16> block = r.u16be(Tftp::BlockOffset);
        // The transfer's port is the one of the device's first acknowledgement or error.
        if (from == Device && !m_ended && !m_port && ((opcode == Tftp::Ack && block) || (opcode == Tftp::Error && r.has(3, 1))))
            m_port = port;
        if (from == Device && port == transferPort() && opcode == Tftp::Ack && block)
            m_acked.insert(*block);
        carryOut(m_client.receive(datagram, from, port), failSends);
    }

    void pass(qint64 ms, bool failSends)
    {
        m_now += ms;
        while (m_timerRunning && m_now >= m_deadline) {
            m_deadline += IntervalMs;
            carryOut(m_client.expire(), failSends);
        }
    }

    quint16 lastBlock() const { return quint16(m_sentThrough); }
    quint16 transferPort() const { return m_port.value_or(Tftp::ServerPort); }

private:
    void carryOut(const TftpClient::Step &step, bool failSends)
    {
        if (m_ended) {
            FUZZ_CHECK(step.sends.isEmpty() && !step.outcome && !step.percent);
            return;
        }
        std::optional<Outcome> outcome = step.outcome;
        TftpClient::Timer timer = step.timer;
        for (const TftpClient::Send &send : step.sends) {
            checkSend(send);
            if (failSends && send.mustSucceed) {
                const TftpClient::Step failed = m_client.sendFailed();
                outcome = failed.outcome;
                timer = failed.timer;
                break;
            }
        }
        if (timer == TftpClient::Timer::Start) {
            m_timerRunning = true;
            m_deadline = m_now + IntervalMs;
        } else if (timer == TftpClient::Timer::Stop) {
            m_timerRunning = false;
        }
        if (step.percent) {
            FUZZ_CHECK(*step.percent >= m_percent && *step.percent <= 100);
            m_percent = *step.percent;
        }
        if (outcome == Outcome::Complete)
            FUZZ_CHECK(m_imageSent && m_acked.count(lastBlock()) > 0);
        if (outcome && *outcome != Outcome::Stalled) {
            FUZZ_CHECK(!m_client.isRunning());
            m_ended = true;
            m_timerRunning = false;
        }
    }

    void checkSend(const TftpClient::Send &send)
    {
        const ByteReader r(send.datagram);
        const std::optional<quint16> opcode = r.u16be(Tftp::OpcodeOffset);
        FUZZ_CHECK(opcode == Tftp::WriteRequest || opcode == Tftp::Data || opcode == Tftp::Error);
        FUZZ_CHECK(send.datagram.size() <= Tftp::HeaderSize + Tftp::BlockSize);
        if (opcode == Tftp::WriteRequest)
            FUZZ_CHECK(send.port == Tftp::ServerPort && m_sentThrough == 0);
        if (opcode != Tftp::Data)
            return;
        FUZZ_CHECK(send.port == transferPort());
        // Blocks are numbered from 1; the images here are too small for the numbers to wrap.
        const qint64 block = *r.u16be(Tftp::BlockOffset);
        FUZZ_CHECK(block >= 1 && block <= m_sentThrough + 1);
        if (block == m_sentThrough + 1)
            FUZZ_CHECK(m_acked.count(quint16(block - 1)) > 0);
        const qint64 offset = (block - 1) * Tftp::BlockSize;
        const QByteArrayView payload = QByteArrayView(send.datagram).sliced(Tftp::HeaderSize);
        FUZZ_CHECK(offset <= m_image.size() && payload.size() == qMin<qint64>(Tftp::BlockSize, m_image.size() - offset));
        FUZZ_CHECK(payload == QByteArrayView(m_image).sliced(offset, payload.size()));
        m_sentThrough = qMax(m_sentThrough, block);
        if (payload.size() < Tftp::BlockSize)
            m_imageSent = true;
    }

    TftpClient m_client;
    QByteArray m_image;
    qint64 m_now = 0;
    bool m_timerRunning = false;
    qint64 m_deadline = 0;
    std::optional<quint16> m_port; // the port of the device's first answer
    std::set<quint16> m_acked;     // blocks the device acknowledged from that port
    qint64 m_sentThrough = 0;      // highest block number sent
    bool m_imageSent = false;
    bool m_ended = false;
    int m_percent = 0;
};

// Up to 16 blocks, enough for every rule; block numbers wrap only past 32 MB.
constexpr qsizetype MaxImage = 16 * Tftp::BlockSize;

QByteArray Image(qsizetype size)
{
    static const QByteArray whole = [] {
        QByteArray image(MaxImage, '\0');
        for (qsizetype i = 0; i < MaxImage; ++i)
            image[i] = char(i * 7 + i / 251);
        return image;
    }();
    return whole.first(size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const qsizetype imageSize = in.u16() % (MaxImage + 1);
    Harness harness(Image(imageSize), OsVersions[in.u8() % 3]);
    harness.start();

    while (!in.atEnd()) {
        const quint8 how = in.u8();
        const bool failSends = how & FailSends;
        switch ((how & ~FailSends) % EventCount) {
        case FromDevice: {
            const quint8 port = in.u8();
            harness.receive(in.datagram(1500), Device,
                            port < 128 ? harness.transferPort() : port < 192 ? Tftp::ServerPort : FreshPort + port,
                            failSends);
            break;
        }
        case FromStranger:
            harness.receive(in.datagram(1500), Stranger, harness.transferPort(), failSends);
            break;
        case AckNearLast: {
            const qint8 delta = qint8(in.u8()) % 3;
            harness.receive(Tftp::BuildAck(quint16(harness.lastBlock() + delta)), Device, harness.transferPort(),
                            failSends);
            break;
        }
        case TimePasses:
            harness.pass(in.u16(), failSends);
            break;
        case StartAgain:
            harness.start();
            break;
        }
    }
    return 0;
}
