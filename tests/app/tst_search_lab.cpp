#include "session/appstate.h"
#include "app/startwindow.h"
#include "netenv/platformutils.h"
#include "netenv/systemplatform.h"
#include "netenv/udppeer.h"

#include <QAction>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTest>
#include <QTreeWidget>
#include <QUdpSocket>

using namespace farlight;

// Runs inside the lab's workstation namespace against the simulator (see tests/app/CMakeLists.txt):
// the real adapter inventory, real sockets, the real progress dialog timing.
namespace {

QString env(const char *name)
{
    return qEnvironmentVariable(name);
}

struct LabWindow
{
    LabWindow()
        : platform(CreateSystemPlatform())
        , window(state, *platform)
    {
        window.setWaitFunction([this](float seconds) {
            ++waits;
            if (duringWait)
                duringWait();
            WaitSeconds(seconds);
        });
        window.show();
    }

    QStringList row(int i) const
    {
        QStringList cells;
        const QTreeWidgetItem *item = list()->topLevelItem(i);
        for (int c = 0; c < 6; ++c)
            cells.append(item->text(c));
        return cells;
    }
    QList<QStringList> rows() const
    {
        QList<QStringList> all;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            all.append(row(i));
        return all;
    }
    QTreeWidget *list() const { return window.findChild<QTreeWidget *>("ListView1"); }
    int adapterIndexOf(const QString &macText) const
    {
        for (int i = 0; i < state.AdapterCount; ++i) {
            if (FormatMac(state.AdapterTable[std::size_t(i)].Mac) == macText)
                return i;
        }
        return -1;
    }
    const DeviceRecord *device(const QString &address) const
    {
        for (int i = 0; i < state.DeviceCount; ++i) {
            if (state.DeviceTable[std::size_t(i)].IpAddress == address)
                return &state.DeviceTable[std::size_t(i)];
        }
        return nullptr;
    }

    AppState state;
    std::unique_ptr<Platform> platform;
    StartWindow window;
    int waits = 0;
    std::function<void()> duringWait;
};

const QList<QStringList> FirstSegment = {
    {"AP-Lobby", "192.168.77.21", "lobby", "6", "Enabled", "00-0A-1B-2C-3D-4E"},
    {"AP-Branch", "10.99.0.5", "branch", "3", "Enabled", "00-0A-1B-2C-3D-60"},
    {"Warehouse-North-Building-A-AP-01", "192.168.77.23", "WAREHOUSE-NORTH-WIRELESS-NETWORK", "11", "Disabled",
     "00-0A-1B-2C-3D-50"},
    {"X", "192.168.77.24", "x", "13", "Disabled", "00-0A-1B-2C-3D-51"},
};

// Replies arrive in whatever order the network delivers them; compare as sets.
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
    void listsBothReplyModes();
    void secondAdapterDevicesCarryItsIndex();
    void tableHolds101Devices();
    void junkFloodChangesNothing();
};

void TestSearchLab::listsBothReplyModes()
{
    LabWindow lab;
    lab.window.RunSearch();
    QCOMPARE(lab.waits, 15);
    QCOMPARE(sorted(lab.rows()), sorted(FirstSegment));
    const int adapter = lab.adapterIndexOf(env("FARLIGHT_LAB_ADAPTER1_MAC"));
    QVERIFY(adapter >= 0);
    for (const char *address : {"192.168.77.21", "10.99.0.5", "192.168.77.23", "192.168.77.24"})
        QCOMPARE(lab.device(QString::fromLatin1(address))->AdapterIndex, qint16(adapter));
}

void TestSearchLab::secondAdapterDevicesCarryItsIndex()
{
    if (env("FARLIGHT_LAB_ADAPTER_COUNT") != QLatin1String("2"))
        QSKIP("needs the lab's second workstation adapter");
    LabWindow lab;
    lab.window.RunSearch();
    QCOMPARE(lab.state.AdapterCount, qint16(2));
    const int first = lab.adapterIndexOf(env("FARLIGHT_LAB_ADAPTER1_MAC"));
    const int second = lab.adapterIndexOf(env("FARLIGHT_LAB_ADAPTER2_MAC"));
    QCOMPARE(first, 0);
    QCOMPARE(second, 1);
    QList<QStringList> expected = FirstSegment;
    expected.append({"AP-Annex", "192.168.88.21", "annex", "9", "Disabled", "00-0A-1B-2C-3D-70"});
    QCOMPARE(sorted(lab.rows()), sorted(expected));
    QCOMPARE(lab.device("192.168.88.21")->AdapterIndex, qint16(1));
    QCOMPARE(lab.device("192.168.77.21")->AdapterIndex, qint16(0));
    QCOMPARE(lab.device("10.99.0.5")->AdapterIndex, qint16(0));
}

void TestSearchLab::tableHolds101Devices()
{
    if (qEnvironmentVariableIntValue("FARLIGHT_EXPECT_DEVICES") != 101)
        QSKIP("needs the lab with 102 devices");
    LabWindow lab;
    lab.window.RunSearch();
    QCOMPARE(lab.state.DeviceCount, qint16(101));
    QCOMPARE(lab.list()->topLevelItemCount(), 101);
    QSet<QString> addresses;
    for (const QStringList &row : lab.rows())
        addresses.insert(row[1]);
    QCOMPARE(addresses.size(), 101);
}

void TestSearchLab::junkFloodChangesNothing()
{
    if (env("FARLIGHT_LAB_ADAPTER_COUNT") == QLatin1String("2"))
        QSKIP("runs in the one-adapter lab");
    LabWindow lab;
    int sent = 0;
    lab.duringWait = [&] {
        if (sent > 0)
            return;
        QUdpSocket junk;
        QVERIFY(junk.bind(QHostAddress(env("FARLIGHT_LAB_ADAPTER1_IP")), 0));
        const QHostAddress target(env("FARLIGHT_LAB_ADAPTER1_IP"));
        const quint16 port = lab.window.searchSockets().at(0)->localPort();
        QRandomGenerator random(20261206);
        for (int i = 0; i < 10000; ++i) {
            QByteArray bytes(int(random.bounded(400)), '\0');
            for (char &b : bytes)
                b = char(random.bounded(256));
            if (i % 3 == 0 && bytes.size() >= 8)
                bytes.replace(0, 5, QByteArray::fromHex("8765432112")); // right magic, the rest junk
            if (junk.writeDatagram(bytes, target, port) >= 0)
                ++sent;
            if (i % 500 == 0)
                QCoreApplication::processEvents();
        }
    };
    lab.window.RunSearch();
    QVERIFY(sent > 9000);
    QCOMPARE(lab.waits, 15);
    QCOMPARE(lab.window.findChild<QProgressBar *>("ProgressBar1"), nullptr); // the dialog is gone
    QCOMPARE(sorted(lab.rows()), sorted(FirstSegment));
}

QTEST_MAIN(TestSearchLab)
#include "tst_search_lab.moc"
