#include "discovery/searchsession.h"
#include "netenv/fakeplatform.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include "../support/loopback.h"

#include <QTest>

using namespace farlight;
using Outcome = SearchSession::Outcome;
using namespace Qt::StringLiterals;

// The search engine alone, in a private network namespace with loopback only: the adapters come
// from a scripted platform and sit on loopback addresses; the "devices" are sockets of the test.
namespace {

const MacAddress AdapterMac{0x02, 0, 0, 0, 0, 0x10};
constexpr auto FastStep = std::chrono::milliseconds(20);

struct Fixture
{
    Fixture()
    {
        platform.addAdapter(QStringLiteral("lo"), AdapterMac, 1, QStringLiteral("127.0.0.1"), QStringLiteral("255.0.0.0"),
                            QStringLiteral("0.0.0.0"));
        session.setStepInterval(FastStep);
        QObject::connect(&session, &SearchSession::progress, [this](int step) {
            steps.append(step);
            if (onStep)
                onStep(step);
        });
        QObject::connect(&session, &SearchSession::inventoryMessage, [this](int id) { messages.append(id); });
        QObject::connect(&session, &SearchSession::deviceFound, [this](int index) { found.append(index); });
        QObject::connect(&session, &SearchSession::datagramJudged,
                         [this](int, DeviceSearch::Verdict verdict) { verdicts.append(int(verdict)); });
    }

    Outcome run()
    {
        QSignalSpy finished(&session, &SearchSession::finished);
        steps.clear();
        if (!session.start())
            return Outcome::Stopped;
        if (finished.isEmpty() && !finished.wait(5000))
            return Outcome::Stopped;
        return finished.at(0).at(0).value<Outcome>();
    }

    // A device at @p address, its MAC ending in the address's last number, answers search @p sequence.
    bool reply(const QString &address, quint16 sequence, const QByteArray &name = "AP")
    {
        const MacAddress device{0x00, 0x0A, 0x1B, 0x2C, 0x3D, quint8(address.section(u'.', 3).toInt())};
        return testsupport::sendSearchReply(address, session.sockets().at(0)->localPort(),
                                            {sequence, AdapterMac, device, name, {}, 0, 0});
    }

    FakePlatform platform;
    AppState state;
    SearchSession session{state, platform};
    QList<int> steps;
    QList<int> messages;
    QList<int> found;
    QList<int> verdicts; // of every datagram the sockets took, in order
    std::function<void(int)> onStep;
};

} // namespace

class TestSearchSession : public QObject
{
    Q_OBJECT

private slots:
    void collectsForFifteenSteps()
    {
        Fixture f;
        bool sent = false;
        f.onStep = [&](int step) {
            if (step == 3)
                sent = f.reply("127.0.0.21", 1, "one") && f.reply("127.0.0.22", 1, "two");
        };
        QCOMPARE(f.run(), Outcome::Completed);
        QVERIFY(sent);
        QCOMPARE(f.steps, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
        QCOMPARE(f.found, (QList<int>{0, 1}));
        QCOMPARE(f.state.deviceTable[0].HostName, QStringLiteral("one"));
        QCOMPARE(f.state.deviceTable[1].IpAddress, QStringLiteral("127.0.0.22"));
        QVERIFY(!f.session.isActive());

        // The next search starts from an empty table. (A reply after the end is dropped as one
        // after a stop is: cancelEndsAfterTheStep.)
        f.onStep = {};
        QCOMPARE(f.run(), Outcome::Completed);
        QCOMPARE(f.state.deviceCount, qint16(0));
        QCOMPARE(f.state.deviceTable[0].HostName, QString());
    }

    void cancelEndsAfterTheStep_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("cancel in step 0") << false << Outcome::Cancelled;
        QTest::newRow("stop in step 0") << true << Outcome::Stopped;
    }

    // Cancel lets the step in progress run out, so a reply arriving in it is still taken; stop ends at once.
    void cancelEndsAfterTheStep()
    {
        QFETCH(bool, stop);
        QFETCH(Outcome, outcome);
        Fixture f;
        f.session.setStepInterval(std::chrono::milliseconds(200));
        f.onStep = [&](int step) {
            if (step != 0)
                return;
            stop ? f.session.stop() : f.session.cancel();
            f.reply("127.0.0.21", 1);
        };
        QCOMPARE(f.run(), outcome);
        QCOMPARE(f.steps, QList<int>{0});
        using V = DeviceSearch::Verdict;
        QTRY_COMPARE(f.verdicts, QList<int>{int(stop ? V::NotSearching : V::Accepted)});
        QCOMPARE(f.state.deviceCount, qint16(stop ? 0 : 1));
    }

    void endsWhenTheNamesHaveAnswered_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("found");  // devices listed when the search ended
        QTest::addColumn<bool>("early"); // before the full window
        QTest::addColumn<bool>("graceForAll");
        // Three devices answer at once, a fourth 150 ms later; the MACs end in the address's last number.
        QTest::newRow("a MAC") << QStringList{u"00:0a:1b:2c:3d:15"_s} << 3 << true << false;
        QTest::newRow("a MAC, with the grace") << QStringList{u"00:0a:1b:2c:3d:15"_s} << 4 << true << true;
        QTest::newRow("a host name two devices share: the later one is still seen")
            << QStringList{u"twin"_s} << 4 << true << false;
        QTest::newRow("two MACs, one of the later device")
            << QStringList{u"000A1B2C3D15"_s, u"000a.1b2c.3d18"_s} << 4 << true << false;
        QTest::newRow("a name nobody has: the full window") << QStringList{u"one"_s, u"nobody"_s} << 4 << false << false;
    }

    void endsWhenTheNamesHaveAnswered()
    {
        QFETCH(QStringList, names);
        QFETCH(int, found);
        QFETCH(bool, early);
        QFETCH(bool, graceForAll);
        Fixture f;
        f.session.setStepInterval(std::chrono::milliseconds(80));
        f.session.setSharedNameGrace(std::chrono::milliseconds(400));
        QList<DeviceName> awaited;
        for (const QString &name : names)
            awaited.append(DeviceName(name));
        f.session.setAwaitedNames(awaited, {}, graceForAll);
        f.onStep = [&](int step) {
            if (step != 0)
                return;
            f.reply("127.0.0.21", 1, "one");
            f.reply("127.0.0.22", 1, "twin");
            f.reply("127.0.0.23", 1, "three");
            QTimer::singleShot(150, [&] { f.reply("127.0.0.24", 1, "TWIN"); });
        };
        QCOMPARE(f.run(), Outcome::Completed);
        QCOMPARE(f.state.deviceCount, qint16(found));
        QCOMPARE(f.steps.size() < SearchSession::StepCount, early);
    }

    // The inventory's message reaches the caller and nothing is sent; the table of the previous
    // search is emptied all the same.
    void noAdapter()
    {
        Fixture f;
        f.onStep = [&](int step) {
            if (step == 0)
                f.reply("127.0.0.21", 1);
        };
        QCOMPARE(f.run(), Outcome::Completed);
        QTRY_COMPARE(f.state.deviceCount, qint16(1));
        f.platform.adapterList.clear();
        QCOMPARE(f.run(), Outcome::NoAdapters);
        QCOMPARE(f.messages, QList<int>{StringId::NoAdapter});
        QCOMPARE(f.steps, QList<int>());
        QCOMPARE(f.state.deviceCount, qint16(0));
        QVERIFY(!f.session.isActive());
    }
};

QTEST_GUILESS_MAIN(TestSearchSession)
#include "tst_searchsession.moc"
