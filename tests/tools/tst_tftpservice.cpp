// The simulated devices' TFTP write server: transfers, ports and failures, without sockets.

#include "tftpservice.h"
#include "wirebytes.h"

#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(farlight::TftpMode)

namespace {

const QHostAddress Client(u"192.168.77.10"_s);
constexpr quint16 ClientPort = 14321;
constexpr quint16 TransferPort = 50001;
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
    QList<TftpService::Reply> send(const QByteArray &bytes, quint16 localPort, quint16 peerPort = ClientPort)
    {
        return service.handle(bytes, Client, peerPort, localPort, 0);
    }
    /// The one reply's bytes; anything but exactly one reply gives a text that matches no datagram.
    QByteArray answer(const QByteArray &bytes, quint16 localPort)
    {
        const auto replies = send(bytes, localPort);
        return replies.size() == 1 ? replies[0].data : QByteArray::number(replies.size()) + " replies";
    }
    TftpService service;
    quint16 nextPort = TransferPort;
};

} // namespace

class TestTftpService : public QObject
{
    Q_OBJECT

private slots:
    void upload_data();
    void upload();
    void repeatedAndOutOfOrderBlocks();
    void wrongPortsAreTurnedAway();
    void badRequests_data();
    void badRequests();
    void overlongBlockAborts();
    void idleTransfersExpire();
};

void TestTftpService::upload_data()
{
    QTest::addColumn<TftpMode>("mode");
    QTest::addColumn<int>("size");

    for (const auto &[name, mode] : {std::pair{"fixed", TftpMode::Fixed}, std::pair{"ephemeral", TftpMode::Ephemeral}}) {
        for (const int size : {0, 511, 1000, 1024})
            QTest::addRow("%s, %d bytes", name, size) << mode << size;
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
    const quint16 port = mode == TftpMode::Fixed ? 69 : TransferPort;
    QCOMPARE(replies[0].localPort, port);
    QCOMPARE(replies[0].peerPort, ClientPort);

    // Full blocks of 512 bytes; a file that is a multiple of 512 ends with an empty block.
    for (int block = 1; block <= size / 512 + 1; ++block) {
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
}

void TestTftpService::repeatedAndOutOfOrderBlocks()
{
    Server server(TftpMode::Fixed);
    server.send(WriteRequest, 69);
    QVERIFY(server.send(data(2, pattern(512)), 69).isEmpty());
    const QByteArray block1 = data(1, pattern(512));
    QCOMPARE(server.answer(block1, 69), ack(1));
    QCOMPARE(server.answer(block1, 69), ack(1));
    QCOMPARE(server.answer(data(2, "end"), 69), ack(2));
    // The last acknowledgement may be lost too: the repeated last block gets it again.
    QCOMPARE(server.answer(data(2, "end"), 69), ack(2));
    const auto uploads = server.service.takeUploads();
    QCOMPARE(uploads.size(), 1);
    QCOMPARE(uploads[0].image, pattern(512) + "end");
}

void TestTftpService::wrongPortsAreTurnedAway()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69);
    const QByteArray unknownTransfer = wire::hex("00 05 00 05") + "Unknown transfer ID" + wire::zeros(1);
    auto replies = server.send(data(1, "x"), 69);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].data, unknownTransfer);
    QCOMPARE(replies[0].localPort, quint16(69));
    replies = server.send(data(1, "x"), TransferPort, ClientPort + 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].data, unknownTransfer);
    QCOMPARE(replies[0].peerPort, quint16(ClientPort + 1));
    // The transfer itself is undisturbed.
    QCOMPARE(server.answer(data(1, "x"), TransferPort), ack(1));
    QCOMPARE(server.service.takeUploads().value(0).image, QByteArray("x"));
}

void TestTftpService::badRequests_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QByteArray>("errorHeader");

    QTest::newRow("read request") << wire::hex("00 01 2F 00 6F 63 74 65 74 00") << wire::hex("00 05 00 02");
    QTest::newRow("netascii mode") << wire::hex("00 02 2F 00") + "netascii" + wire::zeros(1)
                                   << wire::hex("00 05 00 00");
    QTest::newRow("mode without NUL") << wire::hex("00 02 2F 00 6F 63 74 65 74") << wire::hex("00 05 00 04");
    QTest::newRow("opcode only") << wire::hex("00 02") << wire::hex("00 05 00 04");
    QTest::newRow("one byte") << wire::hex("00") << wire::hex("00 05 00 05");
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
        QCOMPARE(server.nextPort, TransferPort);
    }
}

void TestTftpService::overlongBlockAborts()
{
    Server server(TftpMode::Fixed);
    server.send(WriteRequest, 69);
    QCOMPARE(server.answer(data(1, pattern(513)), 69).left(4), wire::hex("00 05 00 04"));
    QCOMPARE(server.service.sessionCount(), 0);
    QVERIFY(server.service.takeUploads().isEmpty());
}

void TestTftpService::idleTransfersExpire()
{
    Server server(TftpMode::Ephemeral);
    server.send(WriteRequest, 69);                                     // port 50001, left incomplete
    server.send(WriteRequest, 69, ClientPort + 1);                     // port 50002
    server.send(data(1, "done"), TransferPort + 1, ClientPort + 1);    // complete
    QVERIFY(server.service.expire(TftpService::DallyMs - 1).isEmpty());
    QCOMPARE(server.service.expire(TftpService::DallyMs), QList<quint16>{TransferPort + 1});
    QVERIFY(server.service.expire(TftpService::IdleTimeoutMs - 1).isEmpty());
    QCOMPARE(server.service.expire(TftpService::IdleTimeoutMs), QList<quint16>{TransferPort});
    QCOMPARE(server.service.sessionCount(), 0);
}

QTEST_GUILESS_MAIN(TestTftpService)
#include "tst_tftpservice.moc"
