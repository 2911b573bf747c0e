#include "session/appstate.h"
#include "app/startwindow.h"
#include "netenv/fakeplatform.h"
#include "netenv/udppeer.h"
#include "protocol/searchcodec.h"

#include "../support/modalanswer.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QUdpSocket>

using namespace farlight;
using testsupport::answerMessageBox;
using testsupport::whenShown;

// The window runs against a scripted platform with one adapter on the loopback interface of
// the test's private network namespace. "Devices" are sockets of the test bound to further
// loopback addresses, answering during the search's wait.
namespace {

const MacAddress AdapterMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x10};

struct Device
{
    QString address;
    QByteArray hostName;
    QByteArray ssid;
    quint8 channel = 1;
    quint8 wep = 0;
    MacAddress mac{};
};

class Harness
{
public:
    Harness()
    {
        platform.addAdapter(QStringLiteral("lo"), AdapterMac, 1, QStringLiteral("127.0.0.1"),
                            QStringLiteral("255.0.0.0"), QStringLiteral("0.0.0.0"));
        window = std::make_unique<StartWindow>(state, platform);
        window->setWaitFunction([this](float) { step(); });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void step()
    {
        if (!pendingDevices.isEmpty()) {
            const quint16 port = window->searchSockets().at(0)->localPort();
            for (const Device &d : std::as_const(pendingDevices)) {
                QUdpSocket socket;
                QVERIFY(socket.bind(QHostAddress(d.address), 0));
                SearchReplyFields f;
                f.sequence = sequence;
                f.requesterMac = AdapterMac;
                f.deviceMac = d.mac;
                f.hostName = d.hostName;
                f.ssid = d.ssid;
                f.channel = d.channel;
                f.wep = d.wep;
                QVERIFY(socket.writeDatagram(BuildSearchReply(f), QHostAddress::LocalHost, port) > 0);
            }
            pendingDevices.clear();
        }
        if (duringWait)
            duringWait();
        QTest::qWait(15);
    }

    // Runs one search in which @p devices answer.
    void search(const QList<Device> &devices)
    {
        ++sequence;
        pendingDevices = devices;
        window->RunSearch();
    }

    QTreeWidget *list() const { return window->findChild<QTreeWidget *>("ListView1"); }
    QAction *action(const char *name) const { return window->findChild<QAction *>(QString::fromLatin1(name)); }
    QStringList rowTexts(int row) const
    {
        QStringList cells;
        const QTreeWidgetItem *item = list()->topLevelItem(row);
        for (int c = 0; c < 6; ++c)
            cells.append(item->text(c));
        return cells;
    }
    QPoint rowCenter(int row) const { return list()->visualItemRect(list()->topLevelItem(row)).center(); }

    FakePlatform platform;
    AppState state;
    std::unique_ptr<StartWindow> window;
    QList<Device> pendingDevices;
    std::function<void()> duringWait;
    quint16 sequence = 0;
};

QList<Device> threeDevices()
{
    return {{"127.0.0.21", "AP-Lobby", "lobby", 6, 1, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}},
            {"127.0.0.22", "AP-Hall", "hall", 11, 0, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4F}},
            {"127.0.0.23", "AP-Roof", "roof", 1, 2, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x50}}};
}

} // namespace

class TestStartWindow : public QObject
{
    Q_OBJECT

private slots:
    void namesAndCaptions();
    void initialEnabledStates();
    void searchListsDevices();
    void bsearchDisablesBdeleteUntilDevicesListed();
    void noAdapterClearsTheList();
    void exitCancelKeepsWindow();
    void deleteMiddleRowThenSetIpFindsEntryByAddress();
    void deleteAllThenRightClickOffersOnlyDeleteAll();
    void rightClickOnRowEnablesDeviceItems();
    void menusOfferDeviceItemsOnlyWithSelection();
    void toolbarHideShowMovesList();
    void webAdminUsesLaterEntrysInterface();
    void keyboardDeleteAndRefresh();
    void helpOpensThePageInTheBrowser();
    void helpReportsWhenNoBrowserStarts();
    void aboutShowsFrmAbout();
    void exitDuringSearchStopsIt(); // last: it ends the application's event loop
};

void TestStartWindow::namesAndCaptions()
{
    Harness h;
    QCOMPARE(h.window->objectName(), QStringLiteral("start"));
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Farlight"));
    QStringList headers;
    for (int c = 0; c < 6; ++c)
        headers.append(h.list()->headerItem()->text(c));
    QCOMPARE(headers, (QStringList{"Host name", "IP Address", "SSID", "Channel No", "WEP", "Mac Address"}));
    QCOMPARE(h.action("Bsearch")->toolTip(), QStringLiteral("&Search"));
    QCOMPARE(h.action("Bdelete")->toolTip(), QStringLiteral("&Delete"));
    QCOMPARE(h.action("setip")->text(), QStringLiteral("&Set IP Address..."));
    QCOMPARE(h.action("Mdelall")->text(), QStringLiteral("Delete &All"));
    QVERIFY(h.action("toolbar")->isChecked());
    for (const char *menu : {"file", "edit", "view", "admin", "mHelp", "Mpop", "Mall"})
        QVERIFY2(h.window->findChild<QMenu *>(QString::fromLatin1(menu)), menu);
    // Column widths follow the window's width: columns 4 and 5 are 100 twips narrower, 6 is 200 wider.
    const int w0 = h.list()->columnWidth(0);
    QVERIFY(h.list()->columnWidth(3) < w0);
    QVERIFY(h.list()->columnWidth(5) > w0);
    // The toolbar buttons show only images, so screen readers get their names.
    auto *bar = h.window->findChild<QToolBar *>("FunctionBar");
    QCOMPARE(bar->widgetForAction(h.action("Bsearch"))->accessibleName(), QStringLiteral("Search"));
    QCOMPARE(bar->widgetForAction(h.action("Bdelete"))->accessibleName(), QStringLiteral("Delete"));
}

void TestStartWindow::initialEnabledStates()
{
    Harness h;
    for (const char *name : {"delete", "all", "connect", "mconnect", "setip", "Mload", "mFilter", "pFilter", "Bdelete"})
        QVERIFY2(!h.action(name)->isEnabled(), name);
    for (const char *name : {"search", "Bsearch", "mHelpTopic", "Mabout"})
        QVERIFY2(h.action(name)->isEnabled(), name);
}

void TestStartWindow::searchListsDevices()
{
    Harness h;
    QSignalSpy finished(h.window.get(), &StartWindow::searchFinished);
    h.search(threeDevices());
    QCOMPARE(finished.count(), 1);
    QVERIFY(!h.window->searchActive());
    QCOMPARE(h.list()->topLevelItemCount(), 3);
    QCOMPARE(h.rowTexts(0), (QStringList{"AP-Lobby", "127.0.0.21", "lobby", "6", "Enabled", "00-0A-1B-2C-3D-4E"}));
    QCOMPARE(h.rowTexts(1), (QStringList{"AP-Hall", "127.0.0.22", "hall", "11", "Disabled", "00-0A-1B-2C-3D-4F"}));
    QCOMPARE(h.rowTexts(2), (QStringList{"AP-Roof", "127.0.0.23", "roof", "1", "Disabled", "00-0A-1B-2C-3D-50"}));
    QCOMPARE(h.state.DeviceCount, qint16(3));
    QCOMPARE(h.state.DeviceTable[2].AdapterIndex, qint16(0));
    for (const char *name : {"delete", "all", "connect", "mconnect", "Mload", "setip", "mFilter", "pFilter", "Bdelete"})
        QVERIFY2(h.action(name)->isEnabled(), name);
}

void TestStartWindow::bsearchDisablesBdeleteUntilDevicesListed()
{
    Harness h;
    h.search(threeDevices());
    QVERIFY(h.action("Bdelete")->isEnabled());

    QList<bool> enabledDuringWait;
    h.duringWait = [&] { enabledDuringWait.append(h.action("Bdelete")->isEnabled()); };
    ++h.sequence;
    h.pendingDevices = threeDevices().mid(0, 1);
    h.action("Bsearch")->trigger();
    QVERIFY(!enabledDuringWait.isEmpty());
    QVERIFY(!enabledDuringWait.contains(true));
    QVERIFY(h.action("Bdelete")->isEnabled());
    QCOMPARE(h.list()->topLevelItemCount(), 1);

    // A search that lists nothing leaves it disabled.
    ++h.sequence;
    h.action("Bsearch")->trigger();
    QCOMPARE(h.list()->topLevelItemCount(), 0);
    QVERIFY(!h.action("Bdelete")->isEnabled());
}

void TestStartWindow::noAdapterClearsTheList()
{
    Harness h;
    h.search(threeDevices());
    QCOMPARE(h.list()->topLevelItemCount(), 3);
    h.platform.adaptersInfo.adapters.clear();
    const auto box = answerMessageBox(QMessageBox::Ok);
    h.window->RunSearch();
    QVERIFY(box->shown);
    QCOMPARE(box->text, QStringLiteral("No network adapter card, please lanch a network card"));
    QCOMPARE(box->title, QStringLiteral("QM735XL Utility"));
    QCOMPARE(box->icon, QMessageBox::NoIcon);
    // The table was emptied, so no row may lead to an empty entry.
    QCOMPARE(h.state.DeviceCount, qint16(0));
    QCOMPARE(h.list()->topLevelItemCount(), 0);
    QVERIFY(!h.window->searchActive());
}

void TestStartWindow::exitCancelKeepsWindow()
{
    Harness h;
    h.search(threeDevices());
    const auto box = answerMessageBox(QMessageBox::Cancel);
    QVERIFY(!h.window->close());
    QVERIFY(box->shown);
    QCOMPARE(box->text, QStringLiteral("Exit Farlight?"));
    QCOMPARE(box->title, QStringLiteral("Exit"));
    QCOMPARE(box->icon, QMessageBox::Information);
    QCOMPARE(box->buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box->defaultButton, QMessageBox::Cancel);
    QVERIFY(h.window->isVisible());
    QCOMPARE(h.list()->topLevelItemCount(), 3);
}

void TestStartWindow::deleteMiddleRowThenSetIpFindsEntryByAddress()
{
    Harness h;
    qint16 openedFor = -1;
    h.window->setDialogFactory(StartWindow::DeviceDialog::SetIp, [&](qint16 index, QWidget *parent) {
        openedFor = index;
        auto *probe = new QDialog(parent);
        QTimer::singleShot(0, probe, &QDialog::reject);
        return probe;
    });
    h.search(threeDevices());
    QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(1));
    h.action("delete")->trigger();
    QCOMPARE(h.list()->topLevelItemCount(), 2);
    QCOMPARE(h.state.DeviceCount, qint16(3)); // the table is untouched
    QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(1));
    QCOMPARE(h.list()->selectedItems().value(0)->text(1), QStringLiteral("127.0.0.23"));
    h.action("setip")->trigger();
    QCOMPARE(openedFor, qint16(2));
}

void TestStartWindow::deleteAllThenRightClickOffersOnlyDeleteAll()
{
    Harness h;
    h.search(threeDevices());
    h.action("all")->trigger();
    QCOMPARE(h.list()->topLevelItemCount(), 0);
    QCOMPARE(h.state.DeviceCount, qint16(3));
    QString shownMenu;
    QStringList offered;
    whenShown<QMenu>([&](QMenu *menu) {
        shownMenu = menu->objectName();
        for (QAction *a : menu->actions())
            offered.append(a->objectName());
        menu->close();
    });
    const QPoint empty(20, h.list()->viewport()->height() - 5);
    QTest::mousePress(h.list()->viewport(), Qt::RightButton, {}, empty);
    QTest::mouseRelease(h.list()->viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(shownMenu, QStringLiteral("Mall"));
    QCOMPARE(offered, QStringList{"Mdelall"});
    for (const char *name : {"mDownload", "Mload", "pFilter", "mFilter", "connect", "delete", "Bdelete", "all"})
        QVERIFY2(!h.action(name)->isEnabled(), name);
}

void TestStartWindow::rightClickOnRowEnablesDeviceItems()
{
    Harness h;
    h.search(threeDevices());
    h.action("Msetip")->setEnabled(false);
    QString shownMenu;
    QStringList enabled;
    whenShown<QMenu>([&](QMenu *menu) {
        shownMenu = menu->objectName();
        for (QAction *a : menu->actions()) {
            if (!a->isSeparator() && a->isEnabled())
                enabled.append(a->objectName());
        }
        menu->close();
    });
    QTest::mousePress(h.list()->viewport(), Qt::RightButton, {}, h.rowCenter(2));
    QTest::mouseRelease(h.list()->viewport(), Qt::RightButton, {}, h.rowCenter(2));
    QCOMPARE(shownMenu, QStringLiteral("Mpop"));
    QCOMPARE(enabled, (QStringList{"pFilter", "mconnect", "Msetip", "mDownload", "Mdelete"}));
    QCOMPARE(h.list()->selectedItems().value(0)->text(1), QStringLiteral("127.0.0.23"));
}

void TestStartWindow::menusOfferDeviceItemsOnlyWithSelection()
{
    Harness h;
    h.search(threeDevices());
    // Search enabled them; with no row selected, opening the menus withdraws them.
    for (const char *menu : {"file", "edit", "admin"})
        emit h.window->findChild<QMenu *>(QString::fromLatin1(menu))->aboutToShow();
    for (const char *name : {"mFilter", "connect", "delete", "setip", "Mload"})
        QVERIFY2(!h.action(name)->isEnabled(), name);
    QVERIFY(h.action("all")->isEnabled());

    QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(0));
    for (const char *menu : {"file", "edit", "admin"})
        emit h.window->findChild<QMenu *>(QString::fromLatin1(menu))->aboutToShow();
    for (const char *name : {"mFilter", "connect", "delete", "all", "setip", "Mload"})
        QVERIFY2(h.action(name)->isEnabled(), name);

    // A click on empty space clears the selection and the row commands.
    QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, QPoint(20, h.list()->viewport()->height() - 5));
    QVERIFY(h.list()->selectedItems().isEmpty());
    for (const char *name : {"connect", "delete", "mFilter", "Bdelete"})
        QVERIFY2(!h.action(name)->isEnabled(), name);
}

void TestStartWindow::toolbarHideShowMovesList()
{
    Harness h;
    auto *bar = h.window->findChild<QToolBar *>("FunctionBar");
    const int shownTop = h.list()->mapTo(h.window.get(), QPoint(0, 0)).y();
    h.action("toolbar")->trigger();
    QVERIFY(!h.action("toolbar")->isChecked());
    QTRY_VERIFY(!bar->isVisible());
    QTRY_VERIFY(h.list()->mapTo(h.window.get(), QPoint(0, 0)).y() < shownTop);
    h.action("toolbar")->trigger();
    QVERIFY(h.action("toolbar")->isChecked());
    QTRY_VERIFY(bar->isVisible());
    QTRY_COMPARE(h.list()->mapTo(h.window.get(), QPoint(0, 0)).y(), shownTop);
}

void TestStartWindow::webAdminUsesLaterEntrysInterface()
{
    Harness h;
    h.search(threeDevices());
    // The same device heard through a second adapter with interface index 7.
    h.state.AdapterTable[1].InterfaceIndex = 7;
    h.state.DeviceTable[3] = h.state.DeviceTable[0];
    h.state.DeviceTable[3].AdapterIndex = 1;
    h.state.DeviceCount = 4;
    QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(0));
    h.action("connect")->trigger();
    QCOMPARE(h.platform.arpRemovals, (QList<FakePlatform::ArpRemoval>{{7, "127.0.0.21"}}));
    QCOMPARE(h.platform.openedUrls, QList<QUrl>{QUrl("http://127.0.0.21")});
    QCOMPARE(h.platform.openedUrls.first().toString(), QStringLiteral("http://127.0.0.21"));

    // A double click on another row opens that row's device, found on the first adapter.
    QTest::mouseDClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(1));
    QCOMPARE(h.platform.openedUrls.last(), QUrl("http://127.0.0.22"));
    QCOMPARE(h.platform.arpRemovals.last().interfaceIndex, 1);
}

void TestStartWindow::keyboardDeleteAndRefresh()
{
    Harness h;
    h.search(threeDevices());
    QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, h.rowCenter(0));
    QTest::keyClick(h.list(), Qt::Key_Delete);
    QCOMPARE(h.list()->topLevelItemCount(), 2);
    QCOMPARE(h.list()->topLevelItem(0)->text(0), QStringLiteral("AP-Hall"));

    QSignalSpy finished(h.window.get(), &StartWindow::searchFinished);
    ++h.sequence;
    h.pendingDevices = threeDevices();
    // The progress dialog took the activation; the window manager would hand it back.
    h.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    QTest::keyClick(h.window.get(), Qt::Key_F5);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(h.list()->topLevelItemCount(), 3);
}

void TestStartWindow::helpOpensThePageInTheBrowser()
{
    Harness h;
    h.action("mHelpTopic")->trigger();
    QCOMPARE(h.platform.openedUrls.size(), 1);
    const QUrl url = h.platform.openedUrls.first();
    QVERIFY(url.isLocalFile());
    QVERIFY(url.toLocalFile().endsWith(QStringLiteral("/help/index.html")));
    QVERIFY(QFile::exists(url.toLocalFile()));
}

void TestStartWindow::helpReportsWhenNoBrowserStarts()
{
    Harness h;
    h.platform.openUrlResult = false;
    const auto box = answerMessageBox(QMessageBox::Ok);
    h.action("mHelpTopic")->trigger();
    QVERIFY(box->shown);
    QVERIFY(box->text.startsWith(QStringLiteral("The help page could not be opened.")));
    QCOMPARE(box->title, QStringLiteral("Farlight"));
}

void TestStartWindow::aboutShowsFrmAbout()
{
    Harness h;
    QString shown;
    QString version;
    whenShown<QDialog>([&](QDialog *dialog) {
        shown = dialog->objectName();
        if (auto *label = dialog->findChild<QLabel *>("lblVersion"))
            version = label->text();
        dialog->accept();
    });
    h.action("Mabout")->trigger();
    QCOMPARE(shown, QStringLiteral("frmAbout"));
    QCOMPARE(version, QStringLiteral("Farlight  2.5.6"));
}

void TestStartWindow::exitDuringSearchStopsIt()
{
    Harness h;
    int steps = 0;
    h.duringWait = [&] {
        if (++steps == 2) {
            const auto box = answerMessageBox(QMessageBox::Ok);
            QVERIFY(h.window->close());
            QVERIFY(box->shown);
        }
    };
    h.search(threeDevices());
    QCOMPARE(steps, 2);
    QVERIFY(!h.window->isVisible());
}

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
