// The simulated devices' TFTP write server: transfers, ports and failures, without sockets.

#include "tftpservice.h"
#include "wirebytes.h"

#include <QCryptographicHash>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(farlight::TftpMode)

namespace {

const QHostAddress Client(u"192.168.77.10"_s);
constexpr quint16 ClientPort = 14321;
constexpr quint16 FirstTransferPort = 50001;
const QByteArray WriteRequest = wire::hex("00 02 2F 00 6F 63 74 65 74 00"); // "/" in octet mode

QByteArray ack(quint16 block)
{
    return wire::hex("00 04") + wire::be16(block);
}

QByteArray data(quint16 block, const QByteArray &bytes)
{
    return wire::hex("00 03") + wire::be16(block) + bytes;
}

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

/// A service whose transfer ports count up from 50001, as a socket layer would hand them out.
struct Server
{
    explicit Server(TftpMode mode) : service(mode)
    {
        service.setPortOpener([this] { return nextPort++; });
    }
    QList<TftpService::Reply> send(const QByteArray &bytes, quint16 localPort, quint16 peerPort = ClientPort,
                                   qint64 now = 0)
    {
        return service.handle(bytes, Client, peerPort, localPort, now);
    }
    TftpService service;
    quint16 nextPort = FirstTransferPort;
};

} // namespace

class TestTftpService : public QObject
{
    Q_OBJECT

private slots:
    void upload_data();
    void upload();
    void repeatedBlockIsAcknowledgedAgain();
    void outOfOrderBlockIsIgnored();
    void repeatedWriteRequestKeepsTheTransfer();
    void newUploadFromSamePortStartsOver();
    void ephemeralPortRefusesDataOnPort69();
    void strangerOnTransferPortIsTurnedAway();
    void badRequests_data();
    void badRequests();
    void refusalFault();
    void overlongBlockAborts();
    void clientErrorAbortsTransfer();
    void idleTransfersExpire();
    void noTransferPortAvailable();
};

void TestTftpService::upload_data()
{
    QTest::addColumn<TftpMode>("mode");
    QTest::addColumn<int>("size");

    for (const auto &[name, mode] : {std::pair{"fixed", TftpMode::Fixed}, std::pair{"ephemeral", TftpMode::Ephemeral}}) {
        for (const int size : {1000, 1024, 0, 1, 511, 512, 513, 5000}) {
            const QByteArray row = QByteArray(name) + ", " + QByteArray::number(size) + " bytes";
            QTest::newRow(row.constData()) << mode << size;
        }
    }
}

void TestTftpService::upload()
{
    QFETCH(TftpMode, mode);
    QFETCH(int, size);
    const QByteArray image = pattern(size);
    Server server(mode);

    auto replies = server.send(WriteRequest, 69);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].data, ack(0));
    const quint16 port = mode == TftpMode::Fixed ? 69 : FirstTransferPort;
    QCOMPARE(replies[0].localPort, port);
    QCOMPARE(replies[0].peer, Client);
    QCOMPARE(replies[0].peerPort, ClientPort);

    // Full blocks of 512 bytes; a file that is a multiple of 512 ends with an empty block.
    const int blocks = size / 512 + 1;
    for (int block = 1; block <= blocks; ++block) {
        QVERIFY(server.service.takeUploads().isEmpty());
        replies = server.send(data(quint16(block), image.mid((block - 1) * 512, 512)), port);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies[0].data, ack(quint16(block)));
        QCOMPARE(replies[0].localPort, port);
    }
    const auto uploads = server.service.takeUploads();
    QCOMPARE(uploads.size(), 1);
    QCOMPARE(uploads[0].image, image);
    QCOMPARE(uploads[0].fileName, QByteArray("/"));

    const auto events = server.service.takeEvents();
    QCOMPARE(events.size(), 2);
    QCOMPARE(events[0][u"kind"].toString(), u"tftp-write"_s);
    QCOMPARE(events[1][u"kind"].toString(), u"tftp-complete"_s);
    QCOMPARE(events[1][u"size"].toInt(), size);
    QCOMPARE(events[1][u"sha256"].toString().toLatin1(),
             QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
}

void TestTftpService::repeatedBlockIsAcknowledgedAgain()
{
    Server server(TftpMode::Fixed);
    server.send(WriteRequest, 69);
    const QByteArray block1 = data(1, pattern(512));
    QCOMPARE(server.send(block1, 69)[0].data, ack(1));
    QCOMPARE(server.send(block1, 69)[0].data, ack(1));
    QCOMPARE(server.send(data(2, "end"), 69)[0].data, ack(2));
    // The last acknowledgement may be lost too: the repeated last block gets it again.
    QCOMPARE(server.send(data(2, "end"), 69)[0].data, ack(2));
    const auto uploads = server.service.takeUploads();
    QCOMPARE(uploads.size(), 1);
    QCOMPARE(uploads[0].image, pattern(512) + "end");
}

void TestTftpService::outOfOrderBlockIsIgnored()
{
    Server server(TftpMode::Fixed);
    server.send(WriteRequest, 69);
    QVERIFY(server.send(data(2, pattern(512)), 69).isEmpty());
    QVERIFY(server.send(data(0, pattern(512)), 69).isEmpty());
    QCOMPARE(server.send(data(1, "x"), 69)[0].data, ack(1));
    QCOMPARE(server.service.takeUploads()[0].image, QByteArray("x"));
}

void TestTftpService::repeatedWriteRequestKeepsTheTransfer()
{
    Server server(TftpMode::Ephemeral);
    QCOMPARE(server.send(WriteRequest, 69)[0].localPort, FirstTransferPort);
    const auto again = server.send(WriteRequest, 69);
    QCOMPARE(again.size(), 1);
    QCOMPARE(again[0].data, ack(0));
    QCOMPARE(again[0].localPort, FirstTransferPort); // no second port for the same client
    QCOMPARE(server.service.sessionCount(), 1);
}

void TestTftpService::newUploadFromSamePortStartsOver()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69);
    server.send(data(1, "first"), FirstTransferPort);
    QCOMPARE(server.service.takeUploads()[0].image, QByteArray("first"));
    // The program always uploads from port 14321: a second upload comes from the same endpoint.
    QCOMPARE(server.send(WriteRequest, 69)[0].localPort, quint16(FirstTransferPort + 1));
    QCOMPARE(server.send(data(1, "second"), FirstTransferPort + 1)[0].data, ack(1));
    QCOMPARE(server.service.takeUploads()[0].image, QByteArray("second"));
    QCOMPARE(server.service.expire(0), QList<quint16>{FirstTransferPort});
}

void TestTftpService::ephemeralPortRefusesDataOnPort69()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69);
    const auto replies = server.send(data(1, "x"), 69);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].data, wire::hex("00 05 00 05") + "Unknown transfer ID" + wire::zeros(1));
    QCOMPARE(replies[0].localPort, quint16(69));
    // The transfer itself is undisturbed.
    QCOMPARE(server.send(data(1, "x"), FirstTransferPort)[0].data, ack(1));
}

void TestTftpService::strangerOnTransferPortIsTurnedAway()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69);
    const auto replies = server.send(data(1, "x"), FirstTransferPort, ClientPort + 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].data.left(4), wire::hex("00 05 00 05"));
    QCOMPARE(replies[0].peerPort, quint16(ClientPort + 1));
    QCOMPARE(server.send(data(1, "x"), FirstTransferPort)[0].data, ack(1));
}

void TestTftpService::badRequests_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QByteArray>("errorHeader");

    QTest::newRow("read request") << wire::hex("00 01 2F 00 6F 63 74 65 74 00") << wire::hex("00 05 00 02");
    QTest::newRow("netascii mode") << wire::hex("00 02 2F 00") + "netascii" + wire::zeros(1)
                                   << wire::hex("00 05 00 00");
    QTest::newRow("file name without NUL") << wire::hex("00 02 2F") << wire::hex("00 05 00 04");
    QTest::newRow("mode without NUL") << wire::hex("00 02 2F 00 6F 63 74 65 74") << wire::hex("00 05 00 04");
    QTest::newRow("opcode only") << wire::hex("00 02") << wire::hex("00 05 00 04");
    QTest::newRow("one byte") << wire::hex("00") << wire::hex("00 05 00 05");
    QTest::newRow("empty") << QByteArray() << wire::hex("00 05 00 05");
    QTest::newRow("acknowledgement to port 69") << ack(1) << wire::hex("00 05 00 05");
}

void TestTftpService::badRequests()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QByteArray, errorHeader);
    for (const TftpMode mode : {TftpMode::Fixed, TftpMode::Ephemeral}) {
        Server server(mode);
        const auto replies = server.send(datagram, 69);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies[0].data.left(4), errorHeader);
        QCOMPARE(replies[0].data.back(), '\0');
        QCOMPARE(server.service.sessionCount(), 0);
        QCOMPARE(server.nextPort, FirstTransferPort);
    }
}

void TestTftpService::refusalFault()
{
    Server server(TftpMode::Ephemeral);
    const auto replies = server.service.handle(WriteRequest, Client, ClientPort, 69, 0, quint16(1));
    QCOMPARE(replies[0].data.left(4), wire::hex("00 05 00 01"));
    QCOMPARE(server.service.sessionCount(), 0);
}

void TestTftpService::overlongBlockAborts()
{
    Server server(TftpMode::Fixed);
    server.send(WriteRequest, 69);
    const auto replies = server.send(data(1, pattern(513)), 69);
    QCOMPARE(replies[0].data.left(4), wire::hex("00 05 00 04"));
    QCOMPARE(server.service.sessionCount(), 0);
    QVERIFY(server.service.takeUploads().isEmpty());
}

void TestTftpService::clientErrorAbortsTransfer()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69);
    server.send(data(1, pattern(512)), FirstTransferPort);
    QVERIFY(server.send(wire::hex("00 05 00 00") + "cancelled" + wire::zeros(1), FirstTransferPort).isEmpty());
    QCOMPARE(server.service.sessionCount(), 0);
    QVERIFY(server.service.takeUploads().isEmpty());
    QCOMPARE(server.service.expire(0), QList<quint16>{FirstTransferPort});
}

void TestTftpService::idleTransfersExpire()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69, ClientPort, 0);                           // port 50001, left incomplete
    server.send(WriteRequest, 69, ClientPort + 1, 0);                       // port 50002
    server.send(data(1, "done"), FirstTransferPort + 1, ClientPort + 1, 0); // complete
    QVERIFY(server.service.expire(TftpService::DallyMs - 1).isEmpty());
    QCOMPARE(server.service.expire(TftpService::DallyMs), QList<quint16>{FirstTransferPort + 1});
    QVERIFY(server.service.expire(TftpService::IdleTimeoutMs - 1).isEmpty());
    QCOMPARE(server.service.expire(TftpService::IdleTimeoutMs), QList<quint16>{FirstTransferPort});
    QCOMPARE(server.service.sessionCount(), 0);
}

void TestTftpService::noTransferPortAvailable()
{
    TftpService service(TftpMode::Ephemeral);
    service.setPortOpener([] { return quint16(0); });
    const auto replies = service.handle(WriteRequest, Client, ClientPort, 69, 0);
    QCOMPARE(replies[0].data.left(4), wire::hex("00 05 00 00"));
    QCOMPARE(service.sessionCount(), 0);
}

QTEST_GUILESS_MAIN(TestTftpService)
#include "tst_tftpservice.moc"
