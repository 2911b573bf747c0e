#include "session/appstate.h"

#include <QTest>

using namespace farlight;

// Two devices at one address, the second (Lobby) on the second adapter.
static void addLobby(AppState &state)
{
    state.adapterTable[0].Mac = {0x02, 0, 0, 0, 0, 0x01};
    state.adapterTable[1] = {QStringLiteral("192.168.1.2"), {}, {}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, 7, 0, {}};
    state.adapterCount = 2;
    state.deviceTable[0] = {QStringLiteral("Other"), QStringLiteral("192.168.1.1"), {}, 0, 0, {}, 0};
    state.deviceTable[1] = {QStringLiteral("Lobby\u00e9"), QStringLiteral("192.168.1.1"), {}, 0, 0, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, 1};
    state.deviceCount = 2;
}

class TestAppState : public QObject
{
    Q_OBJECT

private slots:
    void targetTakesTheDeviceAndItsAdapter()
    {
        AppState state;
        addLobby(state);
        const std::optional<DeviceTarget> target = state.target(1);
        QVERIFY(target);
        QCOMPARE(target->adapterAddress, QStringLiteral("192.168.1.2"));
        QCOMPARE(target->interfaceIndex, 7);
        // The key is made of the device's own bytes: its host name as the single bytes it sent.
        const AuthTarget key = target->authTarget();
        QCOMPARE(key.deviceMac, state.deviceTable[1].Mac);
        QCOMPARE(key.adapterMac, state.adapterTable[1].Mac);
        QCOMPARE(key.hostName, QByteArray("Lobby\xe9"));
    }

    void badIndexGivesNoTarget_data()
    {
        QTest::addColumn<int>("deviceIndex");
        QTest::addColumn<int>("adapterIndex");
        QTest::newRow("negative device") << -1 << 0;
        QTest::newRow("past the found devices") << 2 << 0;
        QTest::newRow("adapter past the found ones") << 1 << 2;
        QTest::newRow("negative adapter") << 1 << -1;
    }

    void badIndexGivesNoTarget()
    {
        QFETCH(int, deviceIndex);
        QFETCH(int, adapterIndex);
        AppState state;
        addLobby(state);
        state.deviceTable[1].AdapterIndex = qint16(adapterIndex);
        QVERIFY(!state.target(deviceIndex));
    }

    void devicesAtComparesAddressesByValue()
    {
        AppState state;
        addLobby(state);
        QCOMPARE(state.devicesAt(QStringLiteral("192.168.001.1")), QList<int>({0, 1}));
        QCOMPARE(state.devicesAt(QStringLiteral("192.168.1.10")), QList<int>());
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
