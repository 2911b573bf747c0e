#include "app/startwindow.h"
#include "netenv/fakeplatform.h"
#include "netenv/udppeer.h"
#include "protocol/searchcodec.h"
#include "session/appstate.h"

#include "../support/modalscript.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QUdpSocket>

using namespace farlight;
using testsupport::ModalScript;
using testsupport::whenShown;

// The window runs against a scripted platform with one adapter on the loopback interface of the
// test's private network namespace. "Devices" are sockets of the test bound to further loopback
// addresses, answering in the search's first step. The search itself is tested on its own; here
// only what the window makes of it.
namespace {

const MacAddress AdapterMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x10};

class Harness
{
public:
    Harness()
    {
        platform.addAdapter(QStringLiteral("lo"), AdapterMac, 1, QStringLiteral("127.0.0.1"),
                            QStringLiteral("255.0.0.0"), QStringLiteral("0.0.0.0"));
        window.searchSession().setStepInterval(std::chrono::milliseconds(10));
        QObject::connect(&window.searchSession(), &SearchSession::progress, [this](int step) {
            if (step == 0)
                answer();
            if (duringSearch)
                duringSearch(step);
        });
        window.show();
    }

    // Runs one search in which three devices answer.
    void search()
    {
        QSignalSpy finished(&window, &StartWindow::searchFinished);
        window.RunSearch();
        QVERIFY(!finished.isEmpty() || finished.wait(5000));
    }

    void answer()
    {
        ++sequence;
        for (const auto &[name, octet] : ThreeDevices) {
            SearchReplyFields f;
            f.sequence = sequence;
            f.requesterMac = AdapterMac;
            f.deviceMac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, quint8(octet)};
            f.hostName = name;
            f.channel = 6;
            QUdpSocket socket;
            socket.bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(octet)), 0);
            socket.writeDatagram(BuildSearchReply(f), QHostAddress::LocalHost,
                                 window.searchSession().sockets().at(0)->localPort());
        }
    }

    QTreeWidget *list() const { return window.findChild<QTreeWidget *>("ListView1"); }
    QAction *action(const char *name) const { return window.findChild<QAction *>(QString::fromLatin1(name)); }
    QPoint rowCenter(int row) const { return list()->visualItemRect(list()->topLevelItem(row)).center(); }
    QPoint emptySpace() const { return {20, list()->viewport()->height() - 5}; }
    void click(Qt::MouseButton button, const QPoint &at) const
    {
        QTest::mousePress(list()->viewport(), button, {}, at);
        QTest::mouseRelease(list()->viewport(), button, {}, at);
    }
    QStringList enabledActions() const
    {
        QStringList names;
        for (const char *name : {"mFilter", "connect", "delete", "all", "search", "setip", "Mload"}) {
            if (action(name)->isEnabled())
                names.append(QString::fromLatin1(name));
        }
        return names;
    }

    static inline const QList<std::pair<QByteArray, int>> ThreeDevices = {{"AP-Lobby", 21}, {"AP-Hall", 22}, {"AP-Roof", 23}};

    FakePlatform platform;
    AppState state;
    StartWindow window{state, platform};
    std::function<void(int)> duringSearch;
    quint16 sequence = 0;
};

} // namespace

class TestStartWindow : public QObject
{
    Q_OBJECT

private slots:
    void searchShowsProgressAndListsDevices();
    void messages();
    void commandsFollowSelectionAndDialogs();
    void deviceDialogFindsEntryByAddress();
    void contextMenus_data();
    void contextMenus();
    void webAdminAndKeys();
};

void TestStartWindow::searchShowsProgressAndListsDevices()
{
    Harness h;
    h.search();
    QList<int> bar;
    QStringList enabledDuringSearch;
    int rowsDuringSearch = -1;
    h.duringSearch = [&](int) {
        const auto *progress = h.window.findChild<QProgressBar *>("ProgressBar1");
        bar.append(progress && progress->isVisible() ? progress->value() : -1);
        enabledDuringSearch += h.enabledActions();
        rowsDuringSearch = h.list()->topLevelItemCount();
    };
    h.search();
    QCOMPARE(bar, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    QCOMPARE(enabledDuringSearch, QStringList());
    QCOMPARE(rowsDuringSearch, 0);
    QTRY_COMPARE(h.window.findChild<QProgressBar *>("ProgressBar1"), nullptr);
    QCOMPARE(h.list()->topLevelItemCount(), 3);
    QCOMPARE(h.list()->topLevelItem(2)->text(1), QStringLiteral("127.0.0.23"));

    // Cancel ends the next search after its first step, with what was found by then.
    h.window.searchSession().setStepInterval(std::chrono::milliseconds(100));
    h.duringSearch = [&](int step) {
        if (step == 0)
            QTest::mouseClick(h.window.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    };
    QElapsedTimer clock;
    clock.start();
    h.search();
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(h.list()->topLevelItemCount(), 3);
}

// An inventory without adapters clears the list with its message; Cancel on "Exit Farlight?" keeps the window.
void TestStartWindow::messages()
{
    Harness h;
    h.search();
    h.platform.adapterList.clear();
    ModalScript script;
    h.search();
    QCOMPARE(h.list()->topLevelItemCount(), 0);
    script.queueBox(QMessageBox::Cancel);
    QVERIFY(!h.window.close());
    QVERIFY(h.window.isVisible());
    QCOMPARE(script.log(), (QStringList{"No network adapter card, please lanch a network card", "Exit Farlight?"}));
    QCOMPARE(script.boxes()[0].title, QStringLiteral("QM735XL Utility"));
    QCOMPARE(script.boxes()[1].defaultButton, QMessageBox::Cancel);
}

// Device commands need a selected row and, for the dialogs, a dialog to open; Delete All needs rows.
void TestStartWindow::commandsFollowSelectionAndDialogs()
{
    Harness h;
    QCOMPARE(h.enabledActions(), QStringList{"search"});
    h.window.setDialogFactory(StartWindow::DeviceDialog::SetIp, [](qint16, QWidget *) { return nullptr; });
    h.search();
    QCOMPARE(h.enabledActions(), (QStringList{"all", "search"}));
    h.click(Qt::LeftButton, h.rowCenter(0));
    QCOMPARE(h.enabledActions(), (QStringList{"connect", "delete", "all", "search", "setip"}));
    h.click(Qt::LeftButton, h.emptySpace());
    QCOMPARE(h.enabledActions(), (QStringList{"all", "search"}));
    h.action("all")->trigger();
    QCOMPARE(h.enabledActions(), QStringList{"search"});
    QCOMPARE(h.state.DeviceCount, qint16(3)); // the table is untouched
}

// After the middle row is deleted, the last row still opens the dialog of table entry 2.
void TestStartWindow::deviceDialogFindsEntryByAddress()
{
    Harness h;
    qint16 openedFor = -1;
    h.window.setDialogFactory(StartWindow::DeviceDialog::SetIp, [&](qint16 index, QWidget *parent) {
        openedFor = index;
        auto *probe = new QDialog(parent);
        QTimer::singleShot(0, probe, &QDialog::reject);
        return probe;
    });
    h.search();
    h.click(Qt::LeftButton, h.rowCenter(1));
    h.action("delete")->trigger();
    QCOMPARE(h.list()->topLevelItemCount(), 2);
    h.click(Qt::LeftButton, h.rowCenter(1));
    h.action("setip")->trigger();
    QCOMPARE(openedFor, qint16(2));
}

void TestStartWindow::contextMenus_data()
{
    QTest::addColumn<bool>("onRow");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("enabled");
    QTest::newRow("row") << true << "Mpop" << QStringList{"connect", "setip", "delete"};
    QTest::newRow("empty space") << false << "Mall" << QStringList{"all"};
}

void TestStartWindow::contextMenus()
{
    QFETCH(bool, onRow);
    QFETCH(QString, menu);
    QFETCH(QStringList, enabled);
    Harness h;
    h.window.setDialogFactory(StartWindow::DeviceDialog::SetIp, [](qint16, QWidget *) { return nullptr; });
    h.search();
    QString shown;
    QStringList offered;
    whenShown<QMenu>([&](QMenu *popup) {
        shown = popup->objectName();
        for (QAction *a : popup->actions()) {
            if (!a->isSeparator() && a->isEnabled())
                offered.append(a->objectName());
        }
        popup->close();
    });
    h.click(Qt::RightButton, onRow ? h.rowCenter(2) : h.emptySpace());
    QTRY_COMPARE(shown, menu);
    QCOMPARE(offered, enabled);
    QCOMPARE(h.list()->selectedItems().size(), onRow ? 1 : 0);
}

void TestStartWindow::webAdminAndKeys()
{
    Harness h;
    h.search();
    // The same device heard through a second adapter with interface index 7: the later entry wins.
    h.state.AdapterTable[1].InterfaceIndex = 7;
    h.state.DeviceTable[3] = h.state.DeviceTable[0];
    h.state.DeviceTable[3].AdapterIndex = 1;
    h.state.DeviceCount = 4;
    h.click(Qt::LeftButton, h.rowCenter(0));
    QTest::keyClick(h.list(), Qt::Key_Return);
    QTest::mouseDClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(1));
    QCOMPARE(h.platform.arpRemovals, (QList<FakePlatform::ArpRemoval>{{7, "127.0.0.21"}, {1, "127.0.0.22"}}));
    QCOMPARE(h.platform.openedUrls, (QList<QUrl>{QUrl("http://127.0.0.21"), QUrl("http://127.0.0.22")}));

    QTest::keyClick(h.list(), Qt::Key_Delete);
    QCOMPARE(h.list()->topLevelItemCount(), 2);
    QCOMPARE(h.list()->topLevelItem(1)->text(0), QStringLiteral("AP-Roof"));
}

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
