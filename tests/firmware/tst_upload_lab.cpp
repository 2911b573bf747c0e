// Lab test: the firmware upload engine from the workstation namespace of a lab (run through lab/with-lab.sh, see
// farlight_add_lab_test) against the simulator's TFTP servers, answering from port 69 and from fresh ports, clean and
// with injected faults, and against tftpd-hpa, which the test runs in the device namespace. Every image that arrives is
// compared by SHA-256 with the server's copy; under faults the DATA datagrams the engine sent are counted on the wire.
// Each row belongs to one lab configuration and is skipped under the others.
#include "lab/labupload.h"
#include "protocol/bytereader.h"
#include "protocol/tftppacket.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

#include <linux/if_packet.h>
#include <linux/sockios.h>
#include <net/ethernet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>

using namespace farlight;
using namespace labupload;

namespace {

constexpr QLatin1StringView CleanLab("upload_lab.json");

struct Sent
{
    qsizetype data = 0;     ///< DATA datagrams
    qsizetype expiries = 0; ///< of those, the timer's
    unsigned lost = 0;      ///< datagrams the socket had no room for: both counts fall short
};

// What the engine sent on @p wire (below) since the last call. A block sent again a good part of @p interval after its
// last copy is the timer's doing; repeats any sooner would answer duplicate acknowledgements.
Sent takeSent(int wire, std::chrono::nanoseconds interval)
{
    // IPv4 without options, which is all this host sends, carrying UDP and then TFTP.
    constexpr quint8 Ipv4NoOptions = 0x45;
    constexpr qsizetype IpProtocolOffset = 9, UdpOffset = 20, OpcodeOffset = 28, BlockOffset = 30;
    Sent sent;
    quint16 lastBlock = 0;
    qint64 lastNs = 0;
    uchar packet[2048];
    sockaddr_ll from{};
    socklen_t length = sizeof from;
    for (ssize_t size; (size = ::recvfrom(wire, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&from), &length)) >= 0;
         length = sizeof from) {
        const ByteReader read(QByteArrayView(packet, size));
        const std::optional<quint16> block = read.u16be(BlockOffset);
        if (from.sll_pkttype != PACKET_OUTGOING || read.u8(0) != Ipv4NoOptions || read.u8(IpProtocolOffset) != IPPROTO_UDP
            || read.u16be(UdpOffset) != TftpUpload::LocalPort || read.u16be(OpcodeOffset) != Tftp::Data || !block)
            continue;
        timespec at{};
        ::ioctl(wire, SIOCGSTAMPNS, &at);
        const qint64 ns = at.tv_sec * 1'000'000'000LL + at.tv_nsec;
        sent.expiries += sent.data++ > 0 && *block == lastBlock && ns - lastNs >= interval.count() * 4 / 5;
        lastBlock = *block;
        lastNs = ns;
    }
    tpacket_stats stats{}; // reading them resets them
    socklen_t size = sizeof stats;
    sent.lost = getsockopt(wire, SOL_PACKET, PACKET_STATISTICS, &stats, &size) == 0 ? stats.tp_drops : ~0u;
    return sent;
}

// The hex SHA-256 of the file at @p path, empty when it cannot be read.
QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result().toHex() : QByteArray();
}

} // namespace

class TestUploadLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QFile config(qEnvironmentVariable("FARLIGHT_LAB_CONFIG"));
        if (!config.open(QIODevice::ReadOnly))
            QFAIL("FARLIGHT_LAB_CONFIG is not readable: run this test through lab/with-lab.sh (ctest -L lab)");
        m_config = config.fileName().section(u'/', -1);
        const QJsonValue faults = QJsonDocument::fromJson(config.readAll())[u"faults"];
        // The longest an answer can be held back.
        m_delayMs = faults[u"delay_ms"].toInt() + faults[u"late_ms"].toInt();
        if (m_config != CleanLab) {
            // A packet socket for every protocol on the adapter, the only kind that sees what this
            // host sends, whatever the server makes of it. It is read after each upload, so its
            // buffer must hold a whole one: fine for the short uploads under faults.
            m_wire = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
            const sockaddr_ll link{.sll_family = AF_PACKET, .sll_protocol = htons(ETH_P_ALL), .sll_ifindex = Adapter().index,
                                   .sll_hatype = 0, .sll_pkttype = 0, .sll_halen = 0, .sll_addr = {}};
            const int buffer = 32 << 20;
            timespec none{}; // the first request for a time (there is none yet) starts the kernel's time stamps
            ::ioctl(m_wire, SIOCGSTAMPNS, &none);
            QVERIFY(::bind(m_wire, reinterpret_cast<const sockaddr *>(&link), sizeof link) == 0
                    && setsockopt(m_wire, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) == 0);
            return;
        }
        m_tftpd = std::make_unique<Tftpd>();
        const QString error = m_tftpd->start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void cleanupTestCase()
    {
        m_tftpd.reset();
        ::close(m_wire);
    }

    // Only the rows of this lab's configuration, which initTestCase() has read.
    void upload_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("mac"); // whose copy the simulator stores; empty: tftpd-hpa's
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("intervalMs");
        struct Server
        {
            const char *name;
            QString ip;
            QString mac;
        };
        QList<Server> servers{{"port 69", u"192.168.77.21"_s, u"000A1B2C3D4E"_s},
                              {"fresh port", u"192.168.77.22"_s, u"000A1B2C3D4F"_s}};
        const auto rows = [&servers](const QString &what, int size, int intervalMs = 1000) {
            for (const Server &server : servers)
                QTest::addRow("%s, %s", server.name, qPrintable(what)) << server.ip << server.mac << size << intervalMs;
        };
        if (m_config == u"upload_lab_drop.json") {
            rows(u"5% lost"_s, 200'000, 100);
        } else if (m_config == u"upload_lab_duplicate.json") {
            rows(u"answers thrice"_s, 200'000);
        } else if (m_config == u"upload_lab_delay.json") {
            rows(u"answers 40 ms late"_s, 16'384);
            rows(u"answers 40 ms late, timer at 25 ms"_s, 16'385, 25);
        } else if (m_config == u"upload_lab_late.json") {
            rows(u"every 50th answer 330 ms late, timer at 250 ms"_s, 65'536, 250);
        } else {
            servers << Server{"tftpd-hpa", Tftpd::Address, {}};
            for (int size : {0, 511, 512, 513, 1 << 20})
                rows(u"%1 bytes"_s.arg(size), size);
            QTest::newRow("tftpd-hpa, 33 MiB: block numbers wrap") << Tftpd::Address << QString() << (33 << 20) << 1000;
            // Sent through the adapter's interface, the kernel takes an address it has no route to as on-link.
            QTest::newRow("foreign subnet, no route") << u"10.99.0.5"_s << u"000A1B2C3D60"_s << 4000 << 1000;
        }
    }

    void upload()
    {
        QFETCH(QString, device);
        QFETCH(QString, mac);
        QFETCH(int, size);
        QFETCH(int, intervalMs);
        QByteArray image(size, '\0');
        QRandomGenerator(size).fillRange(reinterpret_cast<quint32 *>(image.data()), size / 4);
        const QString stored = mac.isEmpty() ? m_tftpd->imagePath()
                                             : qEnvironmentVariable("FARLIGHT_LAB_FIRMWARE_DIR") + u"/%1.bin"_s.arg(mac);
        QFile::remove(stored);
        const std::chrono::milliseconds interval(intervalMs);
        if (m_wire >= 0)
            takeSent(m_wire, interval); // what came before

        const auto result = labupload::upload(device, image, interval, std::chrono::milliseconds(2 * m_delayMs + 50));
        QVERIFY2(result, "the upload could not start or did not end");
        if (m_wire >= 0) {
            const Sent sent = takeSent(m_wire, interval);
            const qsizetype blocks = size / Tftp::BlockSize + 1;
            qInfo("%s after %.3f s: %lld DATA sent for %lld blocks, %lld expiries",
                  QMetaEnum::fromType<TftpUpload::Outcome>().valueToKey(int(result->outcome)), result->ns / 1e9,
                  qlonglong(sent.data), qlonglong(blocks), qlonglong(sent.expiries));
            QVERIFY(sent.data <= blocks + sent.expiries);
            QCOMPARE(sent.lost, 0u);
            QVERIFY(sent.data >= blocks);
        }
        QCOMPARE(result->outcome, TftpUpload::Outcome::Complete);
        QTRY_COMPARE(sha256Of(stored), QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    }

private:
    QString m_config;
    int m_delayMs = 0;
    int m_wire = -1; // only under faults
    std::unique_ptr<Tftpd> m_tftpd;
};

QTEST_GUILESS_MAIN(TestUploadLab)
#include "tst_upload_lab.moc"
