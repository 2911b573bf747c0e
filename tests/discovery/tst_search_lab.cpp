#include "discovery/searchsession.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"

#include <QSignalSpy>
#include <QTest>

using namespace farlight;

// Runs inside the lab's workstation namespace against the simulator (see CMakeLists.txt): the
// real adapter inventory, real sockets and the real step timing, with no window.
class TestSearchLab : public QObject
{
    Q_OBJECT

private slots:
    // Two adapters: the devices of each segment, the foreign-subnet one (answering by broadcast)
    // included, each carrying the index of the adapter it answered.
    void bothReplyModesAndAdapters()
    {
        AppState state;
        const std::unique_ptr<Platform> platform = CreateSystemPlatform();
        SearchSession session(state, *platform);
        QSignalSpy finished(&session, &SearchSession::finished);
        QVERIFY(session.start());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).value<SearchSession::Outcome>(), SearchSession::Outcome::Completed);

        // Each row ends with the adapter index; replies come in whatever order the network
        // delivers them, so rows are compared sorted by address.
        QList<QStringList> expected = {
            {"AP-Branch", "10.99.0.5", "branch", "3", "Enabled", "00-0A-1B-2C-3D-60", "0"},
            {"AP-Lobby", "192.168.77.21", "lobby", "6", "Enabled", "00-0A-1B-2C-3D-4E", "0"},
            {"Warehouse-North-Building-A-AP-01", "192.168.77.23", "WAREHOUSE-NORTH-WIRELESS-NETWORK", "11", "Disabled",
             "00-0A-1B-2C-3D-50", "0"},
            {"X", "192.168.77.24", "x", "13", "Disabled", "00-0A-1B-2C-3D-51", "0"},
            {"AP-Annex", "192.168.88.21", "annex", "9", "Disabled", "00-0A-1B-2C-3D-70", "1"},
        };
        const int adapters = 2;
        QCOMPARE(state.adapterCount, qint16(adapters));
        for (int i = 0; i < adapters; ++i)
            QCOMPARE(FormatMac(state.adapterTable[std::size_t(i)].Mac),
                     qEnvironmentVariable(qPrintable(QStringLiteral("FARLIGHT_LAB_ADAPTER%1_MAC").arg(i + 1))));
        QList<QStringList> rows;
        for (int i = 0; i < state.deviceCount; ++i) {
            const DeviceRecord &device = state.deviceTable[std::size_t(i)];
            rows.append(DeviceRowTexts(device) << QString::number(device.AdapterIndex));
        }
        std::sort(rows.begin(), rows.end(), [](const QStringList &a, const QStringList &b) { return a[1] < b[1]; });
        QCOMPARE(rows, expected);
    }
};

QTEST_MAIN(TestSearchLab)
#include "tst_search_lab.moc"
