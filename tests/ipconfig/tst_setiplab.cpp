// Lab test: the Set IP dialog against the simulator, from the workstation namespace of a lab
// (run through lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables come
// from the program's own inventory of the lab's adapter and a real search by the main window;
// the dialog is opened through the window's Admin > Set IP Address command.
//
// Each lab configuration runs the test functions named on its command line:
//   setip_lab.json              static, DHCP, wrong password, refused address, foreign subnet
//   setip_lab_status.json       forcedFailureStatus
//   setip_lab_foreign_mac.json  replyForAnotherAdapterIgnored
#include "modalscript.h"

#include "app/appstate.h"
#include "app/startwindow.h"
#include "ipconfig/setipdialog.h"
#include "netenv/platform.h"
#include "netenv/systemplatform.h"
#include "netenv/udppeer.h"
#include "protocol/macaddress.h"
#include "protocol/packetheader.h"
#include "widgets/velmoipaddress.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include <functional>
#include <memory>

using namespace farlight;
using testsupport::ModalScript;

namespace {

/// Upper bound for the simulator's state to show a change; it is written before the answer leaves.
constexpr int StateWaitMs = 5000;

const QString SetIpOkText = QStringLiteral("Set IP OK");
const QString SetDhcpOkText = QStringLiteral("Set DHCP OK");
const QString SetIpFailureText = QStringLiteral("Set IP Failure");
const QString SetDhcpFailureText = QStringLiteral("Set DHCP Failure");
const QString InvalidPasswordText = QStringLiteral("Invalid Password");

VelmoIPAddress *control(const SetIpDialog &dialog, int number)
{
    return dialog.findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(number));
}

QPushButton *button(const SetIpDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QString::fromLatin1(name));
}

// What the test saw of the dialog while it was open.
struct Seen
{
    bool shown = false;
    QStringList addressFields;
    QString mask;
    QString gateway;
    bool visibleAfterAnswer = false;
    bool boundAfterAnswer = false;
    int arrivals = 0;
};

} // namespace

class TestSetIpLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void staticWithRightPassword();
    void dhcpWithRightPassword();
    void wrongPasswordStaysOpen();
    void deviceRefusesAddress();
    void foreignSubnetDevice();
    void forcedFailureStatus_data();
    void forcedFailureStatus();
    void replyForAnotherAdapterIgnored_data();
    void replyForAnotherAdapterIgnored();

private:
    // How the test works the open dialog; runs inside the dialog's modal loop.
    using Fill = std::function<void(SetIpDialog &)>;
    enum class After { Closes, StaysOpenAfterBox, StaysOpenAfterArrival };

    bool selectDevice(const QString &address);
    Seen runSetIp(const QString &address, const Fill &fill, After after, ModalScript &script);
    QJsonObject deviceState(const QString &mac) const;
    bool syncWithSimulator() const;
    static Fill staticSettings(const QString &address, const QString &mask, const QString &gateway);
    static Fill typedHostPart(const QString &hostPart, const QString &gateway);
    static Fill dhcp();

    std::unique_ptr<Platform> m_platform;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<StartWindow> m_window;
};

void TestSetIpLab::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
        QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");

    m_platform = CreateSystemPlatform();
    m_state = std::make_unique<AppState>();
    m_window = std::make_unique<StartWindow>(*m_state, *m_platform);
    // Plugged in as the program's entry routine does.
    AppState &state = *m_state;
    m_window->setDialogFactory(StartWindow::DeviceDialog::SetIp, [&state](qint16 deviceIndex, QWidget *parent) {
        return new SetIpDialog(state, deviceIndex, parent);
    });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    // The real inventory and search, with the progress dialog's real wait.
    ModalScript script;
    m_window->RunSearch();
    QVERIFY2(script.boxes().isEmpty(), qPrintable(script.log().join(u'|')));

    QCOMPARE(m_state->AdapterCount, qint16(1));
    const AdapterRecord &adapter = m_state->AdapterTable[0];
    QCOMPARE(adapter.IpAddress, qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"));
    QCOMPARE(FormatMac(adapter.Mac), qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_MAC"));
    QVERIFY(m_state->DeviceCount >= 2);
    for (qint16 i = 0; i < m_state->DeviceCount; ++i)
        QCOMPARE(m_state->DeviceTable[std::size_t(i)].AdapterIndex, qint16(0));
}

void TestSetIpLab::cleanupTestCase()
{
    m_window.reset();
}

bool TestSetIpLab::selectDevice(const QString &address)
{
    auto *list = m_window->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
    if (!list)
        return false;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = list->topLevelItem(row);
        if (item->text(1) != address)
            continue;
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        return list->selectedItems().value(0) == item;
    }
    return false;
}

TestSetIpLab::Fill TestSetIpLab::staticSettings(const QString &address, const QString &mask, const QString &gateway)
{
    return [=](SetIpDialog &dialog) {
        control(dialog, 1)->setIpAddress(address);
        control(dialog, 2)->setIpAddress(mask);
        control(dialog, 3)->setIpAddress(gateway);
    };
}

TestSetIpLab::Fill TestSetIpLab::typedHostPart(const QString &hostPart, const QString &gateway)
{
    return [=](SetIpDialog &dialog) {
        // The caret waits in the proposal's empty host field.
        QTest::keyClicks(dialog.focusWidget(), hostPart);
        control(dialog, 3)->setIpAddress(gateway);
    };
}

TestSetIpLab::Fill TestSetIpLab::dhcp()
{
    return [](SetIpDialog &dialog) {
        QTest::mouseClick(dialog.findChild<QRadioButton *>(QStringLiteral("Option2")), Qt::LeftButton);
    };
}

Seen TestSetIpLab::runSetIp(const QString &address, const Fill &fill, After after, ModalScript &script)
{
    if (!selectDevice(address)) {
        qWarning("no row for %s", qPrintable(address));
        return {};
    }
    // Shared with the pollers, which may outlive this call when something fails.
    auto seen = std::make_shared<Seen>();
    auto expired = std::make_shared<bool>(false);
    const QPointer<ModalScript> answers(&script);
    testsupport::whenModal<SetIpDialog>([seen, expired, answers, fill, after](SetIpDialog *dialog) {
        if (*expired)
            return;
        seen->shown = true;
        for (int i = 0; i < VelmoIPAddress::FieldCount; ++i)
            seen->addressFields.append(
                control(*dialog, 1)->findChild<QLineEdit *>(QStringLiteral("txtIP%1").arg(i))->text());
        seen->mask = control(*dialog, 2)->ipAddress();
        seen->gateway = control(*dialog, 3)->ipAddress();
        // Connected after the dialog's own handler, so it runs once the dialog has dealt with it.
        connect(dialog->findChild<UdpPeer *>(QStringLiteral("sock1")), &UdpPeer::dataArrival, dialog,
                [seen] { ++seen->arrivals; });

        fill(*dialog);
        QTest::mouseClick(button(*dialog, "Command2"), Qt::LeftButton);

        if (after == After::Closes)
            return;
        const QPointer<SetIpDialog> open(dialog);
        const auto ready = [open, answers, seen, after] {
            if (!open || !answers)
                return true;
            return after == After::StaysOpenAfterBox ? !answers->boxes().isEmpty() : seen->arrivals > 0;
        };
        testsupport::whenReady(ready, [open, seen] {
            if (!open)
                return;
            seen->visibleAfterAnswer = open->isVisible();
            seen->boundAfterAnswer = open->findChild<UdpPeer *>(QStringLiteral("sock1"))->isBound();
            QTest::mouseClick(button(*open, "Command1"), Qt::LeftButton);
        });
    });
    m_window->findChild<QAction *>(QStringLiteral("setip"))->trigger();
    *expired = true;
    return *seen;
}

QJsonObject TestSetIpLab::deviceState(const QString &mac) const
{
    QFile file(qEnvironmentVariable("FARLIGHT_LAB_STATE"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray devices = QJsonDocument::fromJson(file.readAll()).object()[u"devices"].toArray();
    for (const QJsonValue device : devices) {
        if (device[u"mac"].toString() == mac)
            return device.toObject();
    }
    return {};
}

// Broadcasts a marker the way the dialog broadcasts and waits until the simulator has logged it.
// The simulator hears all broadcasts on one socket, in order, so whatever the dialog broadcast
// before is in its state by then.
bool TestSetIpLab::syncWithSimulator() const
{
    const AdapterRecord &adapter = m_state->AdapterTable[0];
    QUdpSocket marker;
    if (!marker.bind(QHostAddress(adapter.IpAddress), 0))
        return false;
    QNetworkDatagram datagram(QByteArrayLiteral("farlight-sync"), QHostAddress(QHostAddress::Broadcast), DevicePort);
    datagram.setInterfaceIndex(uint(adapter.InterfaceIndex));
    if (marker.writeDatagram(datagram) < 0)
        return false;
    const QString from = QStringLiteral("%1:%2").arg(adapter.IpAddress).arg(marker.localPort());
    QFile log(qEnvironmentVariable("FARLIGHT_LAB_LOG"));
    const QDeadlineTimer deadline(StateWaitMs);
    while (!deadline.hasExpired()) {
        if (log.open(QIODevice::ReadOnly)) {
            while (!log.atEnd()) {
                if (QJsonDocument::fromJson(log.readLine()).object()[u"from"].toString() == from)
                    return true;
            }
            log.close();
        }
        QTest::qWait(20);
    }
    return false;
}

void TestSetIpLab::staticWithRightPassword()
{
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-4E");
    ModalScript script(QStringLiteral("admin"));
    const Seen seen = runSetIp(QStringLiteral("192.168.77.21"), typedHostPart(QStringLiteral("31"), QStringLiteral("192.168.77.1")),
                               After::Closes, script);
    QVERIFY(seen.shown);
    // The proposals are the lab adapter's, as the inventory found it.
    const AdapterRecord &adapter = m_state->AdapterTable[0];
    QCOMPARE(seen.addressFields, (QStringList{"192", "168", "77", ""}));
    QCOMPARE(seen.mask, adapter.SubnetMask);
    QCOMPARE(seen.gateway, adapter.Gateway.isEmpty() ? QStringLiteral("0.0.0.0") : adapter.Gateway);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, SetIpOkText}));

    const QJsonObject state = deviceState(mac);
    QCOMPARE(state[u"ip"].toString(), QStringLiteral("192.168.77.31"));
    QCOMPARE(state[u"mask"].toString(), QStringLiteral("255.255.255.0"));
    QCOMPARE(state[u"gateway"].toString(), QStringLiteral("192.168.77.1"));
    QCOMPARE(state[u"dhcp"].toBool(), false);
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 1);
}

void TestSetIpLab::dhcpWithRightPassword()
{
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-4F");
    ModalScript script(QStringLiteral("secret"));
    const Seen seen = runSetIp(QStringLiteral("192.168.77.22"), dhcp(), After::Closes, script);
    QVERIFY(seen.shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, SetDhcpOkText}));
    QCOMPARE(deviceState(mac)[u"dhcp"].toBool(), true);
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 1);
}

void TestSetIpLab::wrongPasswordStaysOpen()
{
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-51");
    ModalScript script(QStringLiteral("wrong"));
    const Seen seen = runSetIp(QStringLiteral("192.168.77.24"),
                               staticSettings(QStringLiteral("192.168.77.41"), QStringLiteral("255.255.255.0"),
                                              QStringLiteral("0.0.0.0")),
                               After::StaysOpenAfterBox, script);
    QVERIFY(seen.shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, InvalidPasswordText}));
    QVERIFY(seen.visibleAfterAnswer);
    QVERIFY(seen.boundAfterAnswer);
    QVERIFY(syncWithSimulator());
    const QJsonObject state = deviceState(mac);
    QCOMPARE(state[u"ip"].toString(), QStringLiteral("192.168.77.24"));
    QCOMPARE(state[u"confirmations"].toInt(), 0);
}

void TestSetIpLab::deviceRefusesAddress()
{
    // The program's checks pass a gateway equal to the address; the device does not take it.
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-52");
    ModalScript script(QStringLiteral("admin"));
    const Seen seen = runSetIp(QStringLiteral("192.168.77.25"),
                               staticSettings(QStringLiteral("192.168.77.51"), QStringLiteral("255.255.255.0"),
                                              QStringLiteral("192.168.77.51")),
                               After::StaysOpenAfterBox, script);
    QVERIFY(seen.shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, SetIpFailureText}));
    QVERIFY(seen.visibleAfterAnswer);
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"ip"].toString(), QStringLiteral("192.168.77.25"));
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 0);
}

void TestSetIpLab::foreignSubnetDevice()
{
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-60");
    ModalScript script(QStringLiteral("branch-pw"));
    const Seen seen = runSetIp(QStringLiteral("10.99.0.5"),
                               staticSettings(QStringLiteral("10.99.0.50"), QStringLiteral("255.255.0.0"),
                                              QStringLiteral("10.99.1.1")),
                               After::Closes, script);
    QVERIFY(seen.shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, SetIpOkText}));
    const QJsonObject state = deviceState(mac);
    QCOMPARE(state[u"ip"].toString(), QStringLiteral("10.99.0.50"));
    QCOMPARE(state[u"mask"].toString(), QStringLiteral("255.255.0.0"));
    QCOMPARE(state[u"gateway"].toString(), QStringLiteral("10.99.1.1"));
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 1);
}

void TestSetIpLab::forcedFailureStatus_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("useDhcp");
    QTest::addColumn<QString>("message");

    QTest::newRow("static, same subnet") << "192.168.77.21" << "admin" << false << SetIpFailureText;
    QTest::newRow("DHCP, same subnet") << "192.168.77.21" << "admin" << true << SetDhcpFailureText;
    QTest::newRow("static, foreign subnet") << "10.99.0.5" << "branch-pw" << false << SetIpFailureText;
}

void TestSetIpLab::forcedFailureStatus()
{
    QFETCH(QString, address);
    QFETCH(QString, password);
    QFETCH(bool, useDhcp);
    QFETCH(QString, message);

    ModalScript script(password);
    const Fill fill = useDhcp ? dhcp()
                              : staticSettings(QStringLiteral("192.168.77.61"), QStringLiteral("255.255.255.0"),
                                               QStringLiteral("0.0.0.0"));
    const Seen seen = runSetIp(address, fill, After::StaysOpenAfterBox, script);
    QVERIFY(seen.shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message}));
    QCOMPARE(script.boxes().first().icon, QMessageBox::Information);
    QCOMPARE(script.boxes().first().title, QStringLiteral("Farlight"));
    QVERIFY(seen.visibleAfterAnswer);
}

void TestSetIpLab::replyForAnotherAdapterIgnored_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("password");

    QTest::newRow("unicast answer") << "192.168.77.21" << "00-0A-1B-2C-3D-4E" << "admin";
    QTest::newRow("broadcast answer") << "10.99.0.5" << "00-0A-1B-2C-3D-60" << "branch-pw";
}

void TestSetIpLab::replyForAnotherAdapterIgnored()
{
    QFETCH(QString, address);
    QFETCH(QString, mac);
    QFETCH(QString, password);

    ModalScript script(password);
    const Seen seen = runSetIp(address, dhcp(), After::StaysOpenAfterArrival, script);
    QVERIFY(seen.shown);
    // The device answered (and applied the request), but the answer names another adapter.
    QCOMPARE(seen.arrivals, 1);
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QVERIFY(seen.visibleAfterAnswer);
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"dhcp"].toBool(), true);
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 0);
}

QTEST_MAIN(TestSetIpLab)
#include "tst_setiplab.moc"
