#include "discovery/searchsession.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"

#include <QSignalSpy>
#include <QTest>

using namespace farlight;

// Runs inside the lab's workstation namespace against the simulator (see CMakeLists.txt): the
// real adapter inventory, real sockets and the real step timing, with no window.
namespace {

QString env(const char *name)
{
    return qEnvironmentVariable(name);
}

const QList<QStringList> FirstSegment = {
    {"AP-Lobby", "192.168.77.21", "lobby", "6", "Enabled", "00-0A-1B-2C-3D-4E"},
    {"AP-Branch", "10.99.0.5", "branch", "3", "Enabled", "00-0A-1B-2C-3D-60"},
    {"Warehouse-North-Building-A-AP-01", "192.168.77.23", "WAREHOUSE-NORTH-WIRELESS-NETWORK", "11", "Disabled",
     "00-0A-1B-2C-3D-50"},
    {"X", "192.168.77.24", "x", "13", "Disabled", "00-0A-1B-2C-3D-51"},
};
const QStringList Annex{"AP-Annex", "192.168.88.21", "annex", "9", "Disabled", "00-0A-1B-2C-3D-70"};

struct LabSearch
{
    LabSearch()
        : platform(CreateSystemPlatform())
        , session(state, *platform)
    {
    }

    // Runs one search to its end; the steps it showed are counted.
    void run()
    {
        QSignalSpy finished(&session, &SearchSession::finished);
        QObject::connect(&session, &SearchSession::progress, [this](int) { ++steps; });
        QVERIFY(session.start());
        QVERIFY(finished.wait(10000));
        outcome = finished.at(0).at(0).value<SearchSession::Outcome>();
    }

    // Replies arrive in whatever order the network delivers them; compared sorted by address.
    QList<QStringList> rows() const
    {
        QList<QStringList> all;
        for (int i = 0; i < state.DeviceCount; ++i)
            all.append(DeviceRowTexts(state.DeviceTable[std::size_t(i)]));
        std::sort(all.begin(), all.end(), [](const QStringList &a, const QStringList &b) { return a[1] < b[1]; });
        return all;
    }
    qint16 adapterOf(const QString &address) const
    {
        for (int i = 0; i < state.DeviceCount; ++i) {
            if (state.DeviceTable[std::size_t(i)].IpAddress == address)
                return state.DeviceTable[std::size_t(i)].AdapterIndex;
        }
        return -1;
    }

    AppState state;
    std::unique_ptr<Platform> platform;
    SearchSession session;
    int steps = 0;
    SearchSession::Outcome outcome = SearchSession::Outcome::Stopped;
};

QList<QStringList> sorted(QList<QStringList> rows)
{
    std::sort(rows.begin(), rows.end(), [](const QStringList &a, const QStringList &b) { return a[1] < b[1]; });
    return rows;
}

} // namespace

class TestSearchLab : public QObject
{
    Q_OBJECT

private slots:
    void bothReplyModesAndAdapters();
};

// One adapter: the devices of its segment, the foreign-subnet one (answering by broadcast)
// included. Two adapters: each device carries the index of the adapter it answered.
void TestSearchLab::bothReplyModesAndAdapters()
{
    LabSearch lab;
    lab.run();
    QCOMPARE(lab.outcome, SearchSession::Outcome::Completed);
    QCOMPARE(lab.steps, SearchSession::StepCount);
    QList<QStringList> expected = FirstSegment;
    if (env("FARLIGHT_LAB_ADAPTER_COUNT") == QLatin1String("2")) {
        QCOMPARE(lab.state.AdapterCount, qint16(2));
        QCOMPARE(FormatMac(lab.state.AdapterTable[1].Mac), env("FARLIGHT_LAB_ADAPTER2_MAC"));
        expected.append(Annex);
        QCOMPARE(lab.adapterOf("192.168.88.21"), qint16(1));
    } else {
        QCOMPARE(lab.state.AdapterCount, qint16(1));
    }
    QCOMPARE(FormatMac(lab.state.AdapterTable[0].Mac), env("FARLIGHT_LAB_ADAPTER1_MAC"));
    QCOMPARE(lab.rows(), sorted(expected));
    for (const char *address : {"192.168.77.21", "10.99.0.5", "192.168.77.23", "192.168.77.24"})
        QCOMPARE(lab.adapterOf(QString::fromLatin1(address)), qint16(0));
}

QTEST_MAIN(TestSearchLab)
#include "tst_search_lab.moc"
