#include "session/appstate.h"
#include "protocol/packetheader.h"

#include <QTest>

using namespace farlight;

class TestAppState : public QObject
{
    Q_OBJECT

private slots:
    void requestsUseTheDeviceAndItsAdapter();
    void badIndexBuildsNothing_data();
    void badIndexBuildsNothing();
};

static void addLobby(AppState &state)
{
    state.adapterTable[0].Mac = {0x02, 0, 0, 0, 0, 0x01};
    state.adapterTable[1].Mac = {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF};
    state.adapterCount = 2;
    state.deviceTable[0].HostName = QStringLiteral("Other");
    state.deviceTable[0].AdapterIndex = 0;
    state.deviceTable[1].HostName = QStringLiteral("Lobby");
    state.deviceTable[1].Mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    state.deviceTable[1].AdapterIndex = 1;
    state.deviceCount = 2;
}

void TestAppState::requestsUseTheDeviceAndItsAdapter()
{
    AppState state;
    addLobby(state);
    state.AdminPassword = QStringLiteral("admin");
    QVERIFY(state.BuildSetIpRequest(1, Flag::SetIpStatic, 0xC0A80114, 0xFFFFFF00, 0));
    // Device 1 was found on adapter 1: its key gives the bytes worked out for "Lobby" by hand.
    QCOMPARE(state.LastSetIpRequest.bytes().sliced(8, 24).toHex(' '),
             QByteArray("2d 28 0f 10 01 62 62 4c 4c 4c 62 4c 00 0a 1b 2c 3d 4e 02 00 00 00 80 ff"));

    const auto confirm = state.BuildConfirmRequest(1);
    QVERIFY(confirm);
    QCOMPARE(confirm->first(8).toHex(' '), QByteArray("87 65 43 21 a0 99 00 00"));

    QVERIFY(state.BuildFilterRequest(1, Flag::FilterRead));
    QCOMPARE(state.LastFilterRequest.bytes().first(8).toHex(' '), QByteArray("87 65 43 21 60 20 00 00"));
    QCOMPARE(state.counters.value(SequenceCounters::SetIp), quint16(1));
    QCOMPARE(state.counters.value(SequenceCounters::Filter), quint16(1));
    QCOMPARE(state.counters.value(SequenceCounters::Confirm), quint16(1));
}

void TestAppState::badIndexBuildsNothing_data()
{
    QTest::addColumn<int>("deviceIndex");
    QTest::addColumn<int>("adapterIndex");
    QTest::newRow("negative device") << -1 << 0;
    QTest::newRow("device 101") << 101 << 0;
    QTest::newRow("adapter 11") << 1 << 11;
    QTest::newRow("negative adapter") << 1 << -1;
}

void TestAppState::badIndexBuildsNothing()
{
    QFETCH(int, deviceIndex);
    QFETCH(int, adapterIndex);
    AppState state;
    addLobby(state);
    state.deviceTable[1].AdapterIndex = qint16(adapterIndex);
    const QByteArray before = state.LastSetIpRequest.bytes();
    QVERIFY(!state.BuildSetIpRequest(deviceIndex, Flag::SetIpStatic, 1, 2, 3));
    QVERIFY(!state.BuildConfirmRequest(deviceIndex));
    QVERIFY(!state.BuildFilterRequest(deviceIndex, Flag::FilterRead));
    QCOMPARE(state.LastSetIpRequest.bytes(), before);
    QCOMPARE(state.counters.value(SequenceCounters::SetIp), quint16(0));
}

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
