// Lab test: the firmware upload engine from the workstation namespace of a lab (run through
// lab/with-lab.sh, see farlight_add_lab_test) against the simulator's TFTP servers, answering from
// port 69 and from fresh ports, clean and with injected faults, and against tftpd-hpa, which the
// test runs in the device namespace. Every image is compared by SHA-256 with the server's copy,
// and the DATA datagrams the engine sent are counted on the wire. Each row belongs to one lab
// configuration and is skipped under the others.
#include "lab/labupload.h"
#include "protocol/tftppacket.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTest>

#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

using namespace farlight;
using namespace labupload;

namespace {

constexpr char CleanLab[] = "upload_lab.json";

// The DATA datagrams the engine puts on the adapter's wire, with the kernel's time of each, seen
// through a packet socket: what the engine sent, whatever the server made of it.
class Wire
{
public:
    struct Data
    {
        quint16 block;
        qint64 ns;
    };

    explicit Wire(int interfaceIndex)
        : m_fd(::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL)))
    {
        // Only a socket for every protocol sees what this host sends.
        sockaddr_ll link{};
        link.sll_family = AF_PACKET;
        link.sll_protocol = htons(ETH_P_ALL);
        link.sll_ifindex = interfaceIndex;
        const int on = 1;
        const int buffer = 32 << 20;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&link), sizeof link) != 0
            || setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0
            || setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { drain(); });
    }
    ~Wire()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_notifier != nullptr; }
    /// @brief What was sent since the last call.
    QList<Data> take()
    {
        drain();
        return std::exchange(m_sent, {});
    }
    /// @brief Datagrams this socket had no room for since the last call.
    unsigned lost() const
    {
        tpacket_stats stats{};
        socklen_t size = sizeof stats;
        return getsockopt(m_fd, SOL_PACKET, PACKET_STATISTICS, &stats, &size) == 0 ? stats.tp_drops : ~0u;
    }

private:
    static constexpr int IpHeaderMinimum = 20;
    static constexpr int IpProtocolOffset = 9;
    static constexpr int IpHeaderWordsMask = 0x0f;
    static constexpr int UdpHeaderSize = 8;

    void drain()
    {
        uchar packet[2048];
        alignas(cmsghdr) char control[128];
        for (;;) {
            sockaddr_ll from{};
            iovec io{packet, sizeof packet};
            msghdr message{.msg_name = &from, .msg_namelen = sizeof from, .msg_iov = &io, .msg_iovlen = 1,
                           .msg_control = control, .msg_controllen = sizeof control, .msg_flags = 0};
            const ssize_t size = ::recvmsg(m_fd, &message, 0);
            if (size < 0)
                return;
            if (from.sll_pkttype != PACKET_OUTGOING || from.sll_protocol != htons(ETH_P_IP) || size < IpHeaderMinimum || packet[IpProtocolOffset] != IPPROTO_UDP)
                continue;
            const qsizetype udp = (packet[0] & IpHeaderWordsMask) * 4;
            if (udp < IpHeaderMinimum || size < udp + UdpHeaderSize
                || qFromBigEndian<quint16>(packet + udp) != TftpUpload::LocalPort)
                continue;
            const QByteArrayView payload(packet + udp + UdpHeaderSize, size - udp - UdpHeaderSize);
            const std::optional<quint16> block = Tftp::AckBlockOf(payload); // DATA numbers its block alike
            if (Tftp::OpcodeOf(payload) != Tftp::Data || !block)
                continue;
            timespec at{};
            for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS)
                    memcpy(&at, CMSG_DATA(c), sizeof at);
            }
            m_sent.append({*block, at.tv_sec * 1'000'000'000LL + at.tv_nsec});
        }
    }

    int m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QList<Data> m_sent;
};

QByteArray sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestUploadLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_tftpd.reset(); }
    void upload_data();
    void upload();

private:
    QString m_config;
    int m_delayMs = 0;
    std::unique_ptr<Wire> m_wire;
    std::unique_ptr<Tftpd> m_tftpd;
};

void TestUploadLab::initTestCase()
{
    QFile config(qEnvironmentVariable("FARLIGHT_LAB_CONFIG"));
    if (!config.open(QIODevice::ReadOnly))
        QFAIL("FARLIGHT_LAB_CONFIG is not readable: run this test through lab/with-lab.sh (ctest -L lab)");
    m_config = QFileInfo(config).fileName();
    m_delayMs = QJsonDocument::fromJson(config.readAll())[u"faults"][u"delay_ms"].toInt();
    QVERIFY(Adapter().index > 0);
    m_wire = std::make_unique<Wire>(Adapter().index);
    QVERIFY(m_wire->isOpen());
    if (m_config == QLatin1StringView(CleanLab)) {
        m_tftpd = std::make_unique<Tftpd>();
        const QString error = m_tftpd->start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
}

void TestUploadLab::upload_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("mac"); // whose copy the simulator stores; empty: tftpd-hpa's
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<bool>("mayTimeOut"); // under faults a clean Time Out is an end too

    const QString clean = QString::fromLatin1(CleanLab);
    struct Server
    {
        const char *name;
        QString ip;
        QString mac;
    };
    const Server fixedPort{"port 69", u"192.168.77.21"_s, u"000A1B2C3D4E"_s};
    const Server freshPort{"fresh port", u"192.168.77.22"_s, u"000A1B2C3D4F"_s};
    for (const Server &server : {fixedPort, freshPort, Server{"tftpd-hpa", Tftpd::address(), {}}}) {
        for (int size : {0, 511, 512, 513, 1 << 20})
            QTest::addRow("%s, %d bytes", server.name, size) << clean << server.ip << server.mac << size << 1000 << false;
    }
    QTest::newRow("tftpd-hpa, 33 MiB: block numbers wrap")
        << clean << Tftpd::address() << QString() << (33 << 20) << 1000 << false;
    // Sent through the adapter's interface, the kernel takes an address it has no route to as on-link.
    QTest::newRow("foreign subnet, no route") << clean << u"10.99.0.5"_s << u"000A1B2C3D60"_s << 4000 << 1000 << false;

    for (const Server &server : {fixedPort, freshPort}) {
        QTest::addRow("%s, 5%% lost", server.name)
            << u"upload_lab_drop.json"_s << server.ip << server.mac << 200'000 << 200 << true;
        QTest::addRow("%s, answers thrice", server.name)
            << u"upload_lab_duplicate.json"_s << server.ip << server.mac << 200'000 << 1000 << true;
        QTest::addRow("%s, answers 40 ms late", server.name)
            << u"upload_lab_delay.json"_s << server.ip << server.mac << 16'384 << 1000 << true;
        QTest::addRow("%s, answers 40 ms late, timer at 25 ms", server.name)
            << u"upload_lab_delay.json"_s << server.ip << server.mac << 16'385 << 25 << true;
    }
}

void TestUploadLab::upload()
{
    QFETCH(QString, config);
    QFETCH(QString, device);
    QFETCH(QString, mac);
    QFETCH(int, size);
    QFETCH(int, intervalMs);
    QFETCH(bool, mayTimeOut);
    if (config != m_config)
        QSKIP("another lab configuration");

    QList<quint32> noise((size + 3) / 4);
    QRandomGenerator(size).fillRange(noise.data(), noise.size());
    const QByteArray image(reinterpret_cast<const char *>(noise.constData()), size);
    const QString stored = mac.isEmpty() ? m_tftpd->imagePath()
                                         : qEnvironmentVariable("FARLIGHT_LAB_FIRMWARE_DIR") + u"/%1.bin"_s.arg(mac);
    QFile::remove(stored);
    m_wire->take();
    QCOMPARE(m_wire->lost(), 0u);

    const std::chrono::milliseconds interval(intervalMs);
    const auto result = labupload::upload(device, image, interval, std::chrono::milliseconds(2 * m_delayMs + 50));
    QVERIFY2(result, "the upload could not start or did not end");
    const QList<Wire::Data> sent = m_wire->take();
    QCOMPARE(m_wire->lost(), 0u);

    // A block sent again a good part of an interval after its last copy is the timer's doing;
    // repeats any sooner would answer duplicate acknowledgements.
    const qint64 expiryNs = std::chrono::nanoseconds(interval).count() * 4 / 5;
    qsizetype expiries = 0;
    for (qsizetype i = 1; i < sent.size(); ++i)
        expiries += sent[i].block == sent[i - 1].block && sent[i].ns - sent[i - 1].ns >= expiryNs;
    const qsizetype blocks = size / Tftp::BlockSize + 1;
    qInfo("%s after %.3f s: %lld DATA sent for %lld blocks, %lld expiries",
          QMetaEnum::fromType<TftpUpload::Outcome>().valueToKey(int(result->outcome)), result->ns / 1e9,
          qlonglong(sent.size()), qlonglong(blocks), qlonglong(expiries));
    QVERIFY(sent.size() <= blocks + expiries);
    if (mayTimeOut && result->outcome == TftpUpload::Outcome::TimedOut)
        return;
    QCOMPARE(result->outcome, TftpUpload::Outcome::Complete);
    QVERIFY(sent.size() >= blocks);
    const auto storedSha256 = [&stored] {
        QFile copy(stored);
        return copy.open(QIODevice::ReadOnly) ? sha256(copy.readAll()) : QByteArray("(nothing stored)");
    };
    QTRY_COMPARE(storedSha256(), sha256(image));
}

QTEST_GUILESS_MAIN(TestUploadLab)
#include "tst_upload_lab.moc"
