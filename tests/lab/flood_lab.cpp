// Lab test: a search and an upload while udpflood, from a stranger's address on the devices'
// segment, sends the waiting port junk datagrams shaped like its answers: half as many a second as
// a search took here from an unthrottled flood, at most 330,000. The search must keep its 15
// steps at most 1 s apart and list exactly the lab's devices; the upload must store the very image. Prints how many datagrams a second the flood sent, the socket took
// and the kernel dropped for a full buffer. Run through lab/with-lab.sh (farlight_add_lab_test).
#include "discovery/searchsession.h"
#include "firmware/tftpupload.h"
#include "netenv/systemplatform.h"
#include "netenv/udppeer.h"
#include "session/appstate.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <net/if.h>
#include <sys/prctl.h>

#include <csignal>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const QString Stranger = u"192.168.77.98"_s;
// What two processes sent when the search was measured without a flood test: it held then. An
// AddressSanitizer build handles each datagram about three times slower, and is flooded accordingly.
#if defined(__SANITIZE_ADDRESS__)
constexpr int MaxFloodRate = 110000;
#else
constexpr int MaxFloodRate = 330000;
#endif
// A busy machine takes fewer datagrams a second than a quiet one, and a flood beyond what the
// socket can take loses the devices' answers with the junk in any program. So the flood is at most
// this share of what a search took here, in this run, from a flood as fast as it could go.
constexpr double CapacityShare = 0.5;
constexpr int MinFloodRate = 5000;
constexpr int CalibrationSeconds = 1;

// The workstation namespace's count of datagrams the kernel dropped for a full receive buffer:
// the second of the two "Udp:" lines of /proc/net/snmp, under the name the first gives.
qint64 ReceiveBufferDrops()
{
    QFile snmp(u"/proc/net/snmp"_s);
    QList<QList<QByteArray>> udp;
    for (const QByteArray &line : snmp.open(QIODevice::ReadOnly) ? snmp.readAll().split('\n') : QList<QByteArray>())
        if (line.startsWith("Udp: "))
            udp << line.simplified().split(' ');
    const qsizetype at = udp.size() == 2 ? udp[0].indexOf("RcvbufErrors") : -1;
    return at > 0 && at < udp[1].size() ? udp[1][at].toLongLong() : 0;
}

} // namespace

class TestFloodLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString ns = qEnvironmentVariable("FARLIGHT_LAB_DEV_NETNS");
        QVERIFY2(!ns.isEmpty(), "not in a lab: run this test through lab/with-lab.sh (ctest -L lab)");
        QCOMPARE(QProcess::execute(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"add"_s, Stranger + u"/24"_s, u"dev"_s,
                                             u"fld1-"_s + qEnvironmentVariable("FARLIGHT_LAB_ID")}),
                 0);
        m_flood.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_flood.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        calibrate();
    }

    void search()
    {
        AppState state;
        const std::unique_ptr<Platform> platform = CreateSystemPlatform();
        SearchSession session(state, *platform);
        QList<qint64> steps;
        QElapsedTimer clock;
        qint64 received = 0;
        connect(&session, &SearchSession::progress, this, [&] { steps << clock.elapsed(); });
        connect(&session, &SearchSession::datagramJudged, this, [&] { ++received; });
        QSignalSpy finished(&session, &SearchSession::finished);
        clock.start();
        QVERIFY(session.start());
        startFlood(session.sockets().front()->localPort(), "search", 10);
        QVERIFY(finished.wait(20000));
        reportFlood("search", received);

        QCOMPARE(steps.size(), SearchSession::StepCount);
        for (qsizetype i = 1; i < steps.size(); ++i)
            QVERIFY2(steps[i] - steps[i - 1] <= 1000,
                     qPrintable(u"step %1 came %2 ms after the one before"_s.arg(i).arg(steps[i] - steps[i - 1])));
        QStringList listed;
        for (int i = 0; i < state.deviceCount; ++i)
            listed << DeviceRowTexts(state.deviceTable[std::size_t(i)]).join(u' ');
        listed.sort();
        QCOMPARE(listed, (QStringList{u"AP-Branch 10.99.0.5 branch 3 Disabled 00-0A-1B-2C-3D-60"_s,
                                      u"AP-Lobby 192.168.77.21 lobby 6 Disabled 00-0A-1B-2C-3D-4E"_s}));
    }

    void upload()
    {
        QByteArray image(4 * 1024 * 1024 + 100, Qt::Uninitialized);
        QRandomGenerator(20261206).fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
        TftpUpload engine;
        QVERIFY(engine.open(qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"),
                            qint32(if_nametoindex(qPrintable(qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IFACE")))),
                            u"192.168.77.21"_s));
        qint64 received = 0;
        connect(engine.findChild<UdpPeer *>(), &UdpPeer::dataArrival, this, [&] { ++received; });
        QSignalSpy finished(&engine, &TftpUpload::finished);
        startFlood(TftpUpload::LocalPort, "tftp", 60);
        // The transfer starts into a flood already running.
        QVERIFY(QTest::qWaitFor([&] { return received >= 1000; }, 5000));
        engine.start(image);
        QVERIFY(finished.wait(60000));
        reportFlood("upload", received);
        QCOMPARE(finished.at(0).at(0).value<TftpUpload::Outcome>(), TftpUpload::Outcome::Complete);
        QFile stored(qEnvironmentVariable("FARLIGHT_LAB_FIRMWARE_DIR") + u"/000A1B2C3D4E.bin"_s);
        QTRY_VERIFY(stored.size() == image.size());
        QVERIFY(stored.open(QIODevice::ReadOnly) && stored.readAll() == image);
    }

private:
    // Sets the flood's rate from what a search takes here now from a flood as fast as it can go.
    void calibrate()
    {
        AppState state;
        const std::unique_ptr<Platform> platform = CreateSystemPlatform();
        SearchSession session(state, *platform);
        qint64 judged = 0;
        connect(&session, &SearchSession::datagramJudged, this, [&] { ++judged; });
        QVERIFY(session.start());
        m_rate = 0; // as fast as it can
        QSignalSpy floodEnded(&m_flood, &QProcess::finished);
        startFlood(session.sockets().front()->localPort(), "search", CalibrationSeconds);
        // The spy's wait runs the event loop, which reads the socket meanwhile.
        QVERIFY(floodEnded.wait(10000));
        session.stop();
        m_rate = int(qBound(double(MinFloodRate), CapacityShare * double(judged) / CalibrationSeconds,
                            double(MaxFloodRate)));
        qInfo("a search took %lld datagrams in %d s of an unthrottled flood: flooding at %d/s", judged,
              CalibrationSeconds, m_rate);
        m_flood.readAllStandardOutput();
    }

    // Floods @p port of the workstation with junk of @p kind for at most @p seconds.
    void startFlood(quint16 port, const char *kind, int seconds)
    {
        m_dropsBefore = ReceiveBufferDrops();
        QStringList arguments{u"netns"_s, u"exec"_s, qEnvironmentVariable("FARLIGHT_LAB_DEV_NETNS"), QStringLiteral(UDPFLOOD),
                              u"--from"_s, Stranger, u"--to"_s, qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"), u"--port"_s,
                              QString::number(port), u"--kind"_s, QString::fromLatin1(kind), u"--seconds"_s,
                              QString::number(seconds)};
        if (m_rate > 0)
            arguments << u"--rate"_s << QString::number(m_rate);
        m_flood.start(u"ip"_s, arguments);
        QVERIFY(m_flood.waitForStarted());
    }

    // Ends the flood and prints the rates; @p received datagrams reached the socket meanwhile.
    void reportFlood(const char *what, qint64 received)
    {
        m_flood.terminate();
        QVERIFY(m_flood.waitForFinished(5000));
        const QList<QByteArray> said = m_flood.readAllStandardOutput().simplified().split(' '); // sent N in S s
        QVERIFY2(said.size() == 5 && said[0] == "sent", said.join(' ').constData());
        const double seconds = said[3].toDouble();
        qInfo("%s: the flood sent %.0f datagrams/s for %.1f s; the socket took %.0f/s; the kernel dropped %.0f/s "
              "for a full buffer",
              what, said[1].toDouble() / seconds, seconds, double(received) / seconds,
              double(ReceiveBufferDrops() - m_dropsBefore) / seconds);
        // Without this the test would also pass on a quiet network.
        QVERIFY2(received >= 10000, qPrintable(u"only %1 datagrams of the flood arrived"_s.arg(received)));
    }

    QProcess m_flood;
    qint64 m_dropsBefore = 0;
    int m_rate = MaxFloodRate;
};

QTEST_GUILESS_MAIN(TestFloodLab)
#include "flood_lab.moc"
