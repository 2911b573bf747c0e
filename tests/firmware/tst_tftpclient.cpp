// The upload's state machine, played against a scripted server and a fake clock.
#include "firmware/tftpclient.h"

#include "../support/hexbytes.h"

#include <QCryptographicHash>
#include <QMetaEnum>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const QHostAddress Server(u"192.168.77.21"_s);

QByteArray image(qsizetype size)
{
    QByteArray bytes(size, '\0');
    char *data = bytes.data();
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char(i * 7 + i / 512);
    return bytes;
}

// A step as text: each datagram sent ("W" write request, "D<block>/<length>", "E<code>") with
// its port, the percentage, "T+"/"T-" when the timer starts or stops, "=<outcome>"; "-" for nothing.
QString describe(const TftpClient::Step &step, const TftpClient &client)
{
    QStringList parts;
    for (const auto &[d, port, mustSucceed] : step.sends) {
        const quint16 field = Tftp::AckBlockOf(d).value_or(0); // a DATA's block, an ERROR's code
        parts << (Tftp::OpcodeOf(d) == Tftp::WriteRequest ? u"W"_s
                  : Tftp::OpcodeOf(d) == Tftp::Data       ? u"D%1/%2"_s.arg(field).arg(d.size() - Tftp::HeaderSize)
                                                          : u"E%1"_s.arg(field))
                     + u'@' + QString::number(port);
    }
    if (step.percent)
        parts << QString::number(*step.percent) + u'%';
    if (step.timer != TftpClient::Timer::Keep)
        parts << (step.timer == TftpClient::Timer::Start ? u"T+"_s : u"T-"_s);
    if (step.outcome)
        parts << u"="_s + QMetaEnum::fromType<TftpUpload::Outcome>().valueToKey(int(*step.outcome))
                     + (client.errorCode() >= 0 ? QString::number(client.errorCode()) : QString());
    return parts.isEmpty() ? u"-"_s : parts.join(u' ');
}

// An event: "expire", "ack <n>" or datagram hex, optionally from "@<port>" or "@<address>:<port>".
TftpClient::Step play(TftpClient &client, const QString &event)
{
    if (event == u"expire")
        return client.expire();
    const QStringList parts = event.split(u'@');
    const QStringList source = parts.value(1, u"69"_s).split(u':');
    const QByteArray datagram = parts[0].startsWith(u"ack ") ? Tftp::BuildAck(parts[0].mid(4).toUShort())
                                                            : hexBytes(parts[0].toLatin1());
    return client.receive(datagram, source.size() > 1 ? QHostAddress(source[0]) : Server, source.last().toUShort());
}

} // namespace

class TestTftpClient : public QObject
{
    Q_OBJECT

private slots:
    void exchange_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("osVersion");
        // After start(), which gives "W@69 T+". None: the server acknowledges each block to the end.
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("steps");
        const auto row = [](const char *name, const QStringList &events, const QString &steps, int size = 1200,
                            int osVersion = 0) { QTest::newRow(name) << size << osVersion << events << steps; };

        const QString done = u" | 100% T- =Complete"_s;
        row("empty: one empty block", {}, "D1/0@69 T+" + done, 0);
        row("50 bytes: the step rounds to 0, no percentage", {}, "D1/50@69 T+" + done, 50);
        row("149 bytes start at 1%", {}, "D1/149@69 1% T+" + done, 149);
        row("150 bytes start at 0%", {}, "D1/150@69 0% T+" + done, 150);
        row("512: empty last block", {}, "D1/512@69 0% T+ | D2/0@69 100% T+" + done, 512);
        row("513", {}, "D1/512@69 0% T+ | D2/1@69 100% T+" + done, 513);
        row("1850: step 18.5 and 28.5% round to even", {},
            "D1/512@69 0% T+ | D2/512@69 28% T+ | D3/512@69 57% T+ | D4/314@69 85% T+" + done, 1850);

        row("ACK 0 repeated: no resend, the timer resends", {"ack 0", "ack 0", "expire"}, "D1/512@69 0% T+ | - | D1/512@69");
        // Stalled, the client sends nothing by itself but still follows the server.
        row("ACK 5 while block 2 is out, then ACK 2", {"ack 0", "ack 1", "ack 5", "ack 2"},
            "D1/512@69 0% T+ | D2/512@69 43% T+ | E0@69 T- =Stalled | D3/176@69 85% T+");
        // An acknowledgement of a block acknowledged before is late; only one of a block never sent stalls.
        row("late ACK 1 while block 3 is out", {"ack 0", "ack 1", "ack 2", "ack 1", "ack 3"},
            "D1/512@69 0% T+ | D2/512@69 43% T+ | D3/176@69 85% T+ | -" + done);
        row("a repeat resumes a stall with the timer running", {"ack 0", "ack 1", "ack 5", "ack 1", "expire"},
            "D1/512@69 0% T+ | D2/512@69 43% T+ | E0@69 T- =Stalled | T+ | D2/512@69");
        row("write request answered with ACK 65535", {"ack 65535"}, "E0@69 T- =Stalled");
        row("device ERROR 9", {"0005 0009 00"}, "T- =DeviceError9");
        row("device ERROR 1: only the low bytes count", {"FF05 FF01 4E6F00", "ack 0"}, "T- =DeviceError1 | -");
        row("ERROR without its code byte", {"0005 00"}, "-");
        row("read request", {"0001 2F00 6F6374657400"}, "E2@69 T- =Refused");
        row("opcode 6", {"0006 0001"}, "E4@69 T- =Illegal");
        row("1-byte datagram", {"04"}, "E4@69 T- =Illegal");
        row("opcode 6 on 5000", {"0006", "ack 0"}, "- | D1/512@69 0% T+", 1200, 5000);
        row("ACK of 3 bytes, DATA", {"0004 00", "0003 0001"}, "- | -");
        row("five expiries in a row: Time Out", QStringList(5, "expire"), "W@69 | W@69 | W@69 | W@69 | W@69 T- =TimedOut");
        row("four expiries, progress, four more", QStringList{"ack 0"} + QStringList(4, "expire") + QStringList{"ack 1"}
            + QStringList(4, "expire"), "D1/512@69 0% T+" + u" | D1/512@69"_s.repeated(4) + " | D2/512@69 43% T+"
            + u" | D2/512@69"_s.repeated(4), 1200);
        row("a repeated ACK is no progress", {"ack 0", "expire", "expire", "ack 0", "expire", "expire", "expire"},
            "D1/512@69 0% T+ | D1/512@69 | D1/512@69 | - | D1/512@69 | D1/512@69 | D1/512@69 T- =TimedOut");
        row("fresh server port is latched", {"ack 0@1234", "ack 1@1234", "expire"},
            "D1/512@1234 0% T+ | D2/512@1234 43% T+ | D2/512@1234");
        row("another port is told, the transfer goes on", {"ack 0@1234", "ack 1@69", "0005 0001@69", "ack 1@1234"},
            "D1/512@1234 0% T+ | E5@69 | - | D2/512@1234 43% T+");
        row("a stray datagram from another port takes nothing", {"0003 0001@1234", "expire", "ack 0@1235"},
            "- | W@69 | D1/512@1235 0% T+");
        row("another host is ignored", {"ack 0@192.168.77.99:69", "0005 0001@10.0.0.1:1234", "ack 0@1234"},
            "- | - | D1/512@1234 0% T+");
    }

    void exchange()
    {
        QFETCH(int, size);
        QFETCH(int, osVersion);
        QFETCH(QStringList, events);
        QFETCH(QString, steps);

        TftpClient client(Server, osVersion);
        QCOMPARE(describe(client.start(image(size)), client), u"W@69 T+"_s);
        QStringList seen;
        for (const QString &event : events)
            seen << describe(play(client, event), client);
        for (int block = 0; events.isEmpty() && client.isRunning() && block < 10; ++block)
            seen << describe(play(client, u"ack %1"_s.arg(block)), client);
        QCOMPARE(seen.join(u" | "_s), steps);
    }

    // A whole transfer past block 65535, with one extra acknowledgement after @p after blocks.
    void blockNumbersWrap_data()
    {
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("ack"); // -1: none
        QTest::addColumn<QString>("step");
        const QString stalled = u"E0@69 T- =Stalled"_s;
        QTest::newRow("in order") << 0 << -1 << QString();
        QTest::newRow("late ACK 65535 while block 1 is out") << 65537 << 65535 << u"-"_s;
        QTest::newRow("ACK 2, never sent, while block 1 is out") << 65537 << 2 << stalled;
        QTest::newRow("ACK 32767 blocks behind is late") << 40000 << 7233 << u"-"_s;
        QTest::newRow("ACK 32768 blocks behind counts as ahead") << 40000 << 7232 << stalled;
    }

    void blockNumbersWrap()
    {
        QFETCH(int, after);
        QFETCH(int, ack);
        QFETCH(QString, step);
        static const QByteArray sent = image(65536 * 512 + 100);
        TftpClient client(Server);
        client.start(sent);
        TftpClient::Step next = client.receive(Tftp::BuildAck(0), Server, 69);
        QCryptographicHash received(QCryptographicHash::Sha256);
        QList<quint16> numbers;
        for (; !next.outcome && next.sends.size() == 1; next = client.receive(Tftp::BuildAck(numbers.last()), Server, 69)) {
            numbers << *Tftp::AckBlockOf(next.sends[0].datagram); // DATA numbers its block alike
            received.addData(QByteArrayView(next.sends[0].datagram).sliced(4));
            if (numbers.size() == after) {
                QCOMPARE(describe(client.receive(Tftp::BuildAck(quint16(ack)), Server, 69), client), step);
                if (!client.isRunning())
                    return;
            }
        }
        QCOMPARE(numbers.mid(65533), (QList<quint16>{65534, 65535, 0, 1}));
        QCOMPARE(next.outcome, TftpUpload::Outcome::Complete);
        QCOMPARE(received.result(), QCryptographicHash::hash(sent, QCryptographicHash::Sha256));
    }
};

QTEST_GUILESS_MAIN(TestTftpClient)
#include "tst_tftpclient.moc"
