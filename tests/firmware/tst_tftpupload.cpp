// The upload engine on a real socket, against a server on loopback that answers from a port of
// its own, as tftpd does.
#include "firmware/tftpupload.h"
#include "protocol/tftppacket.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace farlight;
using namespace std::chrono_literals;

namespace {

// The next datagram that starts with @p prefix; the timer's copies of earlier ones are skipped.
QNetworkDatagram next(QUdpSocket &socket, const QByteArray &prefix)
{
    while (QTest::qWaitFor([&] { return socket.hasPendingDatagrams(); }, 3000)) {
        QNetworkDatagram datagram = socket.receiveDatagram();
        if (datagram.data().startsWith(prefix))
            return datagram;
    }
    return {};
}

} // namespace

class TestTftpUpload : public QObject
{
    Q_OBJECT

private slots:
    void upload()
    {
        QUdpSocket server;
        QUdpSocket transfer;
        QVERIFY(server.bind(QHostAddress::LocalHost, Tftp::ServerPort) && transfer.bind(QHostAddress::LocalHost, 0));
        TftpUpload upload;
        QVERIFY(upload.open(QStringLiteral("127.0.0.1"), 0, QStringLiteral("127.0.0.1")));
        upload.setRetransmitInterval(50ms);
        QSignalSpy progress(&upload, &TftpUpload::progress);
        QSignalSpy finished(&upload, &TftpUpload::finished);
        const QByteArray image(1024, 'x');
        upload.start(image);

        // The write request from port 14321, then again from the timer.
        for (int copy = 0; copy < 2; ++copy)
            QCOMPARE(next(server, Tftp::BuildWriteRequest("/", "octet")).senderPort(), TftpUpload::LocalPort);
        QByteArray received;
        for (quint16 block = 0; block <= 3; ++block) {
            if (block > 0)
                received += next(transfer, Tftp::BuildData(block, {})).data().mid(Tftp::HeaderSize);
            transfer.writeDatagram(Tftp::BuildAck(block), QHostAddress::LocalHost, TftpUpload::LocalPort);
        }
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<TftpUpload::Outcome>(), TftpUpload::Outcome::Complete);
        QCOMPARE(received, image);
        QCOMPARE(QList<QVariantList>(progress), (QList<QVariantList>{{0}, {51}, {100}}));
        QVERIFY(!upload.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestTftpUpload)
#include "tst_tftpupload.moc"
