// Lab test: the Set IP dialog against the simulator, from the workstation namespace of a lab
// (run through lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables come
// from the program's own inventory and a real search by the main window; the dialog is opened
// through the window's Admin > Set IP Address command. Each lab configuration runs the test
// functions named on its command line.
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
#include <QNetworkDatagram>
#include <QRadioButton>
#include <QTreeWidget>
#include <QUdpSocket>

#include <memory>

using namespace farlight;
using testsupport::ModalScript;

namespace {

VelmoIPAddress *control(const SetIpDialog &dialog, int number)
{
    return dialog.findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(number));
}

// What the test saw of the dialog while it was open.
struct Seen
{
    bool shown = false;
    QStringList proposals; // address, mask and gateway texts
    bool visibleAfterAnswer = false;
    int arrivals = 0;
};

} // namespace

class TestSetIpLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_window.reset(); }

    void staticWithRightPassword();
    void dhcpWithRightPassword();
    void wrongPasswordStaysOpen();
    void foreignSubnetDevice();
    void forcedFailureStatus_data();
    void forcedFailureStatus();
    void replyForAnotherAdapterIgnored_data();
    void replyForAnotherAdapterIgnored();

private:
    // What the test does in the open dialog before it presses OK: an empty list chooses DHCP;
    // otherwise address, mask and gateway, where an address of one part is typed as the host part.
    Seen runSetIp(const QString &device, const QStringList &settings, bool closes, ModalScript &script);
    QJsonObject deviceState(const QString &mac) const;
    bool syncWithSimulator() const;

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
    QCOMPARE(m_state->AdapterTable[0].IpAddress, qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"));
    QCOMPARE(FormatMac(m_state->AdapterTable[0].Mac), qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_MAC"));
    QVERIFY(m_state->DeviceCount >= 2);
}

Seen TestSetIpLab::runSetIp(const QString &device, const QStringList &settings, bool closes, ModalScript &script)
{
    auto *list = m_window->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
    const QList<QTreeWidgetItem *> rows = list->findItems(device, Qt::MatchExactly, 1);
    if (rows.size() != 1)
        return {};
    list->scrollToItem(rows[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(rows[0]).center());

    // Shared with the pollers, which may outlive this call when something fails.
    auto seen = std::make_shared<Seen>();
    auto expired = std::make_shared<bool>(false);
    const QPointer<ModalScript> answers(&script);
    testsupport::whenShown<SetIpDialog>([seen, expired, answers, settings, closes](SetIpDialog *dialog) {
        if (*expired)
            return;
        seen->shown = true;
        for (int i = 1; i <= 3; ++i)
            seen->proposals.append(control(*dialog, i)->ipAddress());
        // Connected after the dialog's own handler, so it runs once the dialog has dealt with it.
        connect(dialog->findChild<UdpPeer *>(QStringLiteral("sock1")), &UdpPeer::dataArrival, dialog,
                [seen] { ++seen->arrivals; });
        if (settings.isEmpty())
            QTest::mouseClick(dialog->findChild<QRadioButton *>(QStringLiteral("Option2")), Qt::LeftButton);
        else if (!settings[0].contains(u'.'))
            QTest::keyClicks(dialog->focusWidget(), settings[0]);
        for (int i = 0; i < settings.size(); ++i) {
            if (settings[i].contains(u'.'))
                control(*dialog, i + 1)->setIpAddress(settings[i]);
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
        if (closes)
            return;
        // A failure leaves the dialog open: note that, once the answer has been dealt with, and cancel.
        const QPointer<SetIpDialog> open(dialog);
        const auto answered = [open, answers, seen] {
            return !open || !answers || !answers->boxes().isEmpty() || seen->arrivals > 0;
        };
        testsupport::whenReady(answered, [open, seen] {
            if (!open)
                return;
            seen->visibleAfterAnswer = open->isVisible();
            QTest::mouseClick(open->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
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
    for (const QJsonValue device : QJsonDocument::fromJson(file.readAll()).object()[u"devices"].toArray()) {
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
    const QDeadlineTimer deadline(5000);
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
    const Seen seen = runSetIp("192.168.77.21", {"31", "", "192.168.77.1"}, true, script);
    QVERIFY(seen.shown);
    // The proposals are the lab adapter's, as the inventory found it.
    const AdapterRecord &adapter = m_state->AdapterTable[0];
    QCOMPARE(seen.proposals, (QStringList{"192.168.77.", adapter.SubnetMask,
                                          adapter.Gateway.isEmpty() ? QStringLiteral("0.0.0.0") : adapter.Gateway}));
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, "Set IP OK"}));
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
    QVERIFY(runSetIp("192.168.77.22", {}, true, script).shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, "Set DHCP OK"}));
    QCOMPARE(deviceState(mac)[u"dhcp"].toBool(), true);
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 1);
}

void TestSetIpLab::wrongPasswordStaysOpen()
{
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-51");
    ModalScript script(QStringLiteral("wrong"));
    const Seen seen = runSetIp("192.168.77.24", {"192.168.77.41", "255.255.255.0", "0.0.0.0"}, false, script);
    QVERIFY(seen.visibleAfterAnswer);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, "Invalid Password"}));
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"ip"].toString(), QStringLiteral("192.168.77.24"));
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 0);
}

void TestSetIpLab::foreignSubnetDevice()
{
    const QString mac = QStringLiteral("00-0A-1B-2C-3D-60");
    ModalScript script(QStringLiteral("branch-pw"));
    QVERIFY(runSetIp("10.99.0.5", {"10.99.0.50", "255.255.0.0", "10.99.1.1"}, true, script).shown);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, "Set IP OK"}));
    const QJsonObject state = deviceState(mac);
    QCOMPARE(state[u"ip"].toString(), QStringLiteral("10.99.0.50"));
    QCOMPARE(state[u"mask"].toString(), QStringLiteral("255.255.0.0"));
    QCOMPARE(state[u"gateway"].toString(), QStringLiteral("10.99.1.1"));
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 1);
}

void TestSetIpLab::forcedFailureStatus_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("message");

    const QStringList settings{"192.168.77.61", "255.255.255.0", "0.0.0.0"};
    QTest::newRow("static, same subnet") << "192.168.77.21" << "admin" << settings << "Set IP Failure";
    QTest::newRow("DHCP, same subnet") << "192.168.77.21" << "admin" << QStringList() << "Set DHCP Failure";
    QTest::newRow("static, foreign subnet") << "10.99.0.5" << "branch-pw" << settings << "Set IP Failure";
}

void TestSetIpLab::forcedFailureStatus()
{
    QFETCH(QString, device);
    QFETCH(QString, password);
    QFETCH(QStringList, settings);
    QFETCH(QString, message);

    ModalScript script(password);
    QVERIFY(runSetIp(device, settings, false, script).visibleAfterAnswer);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message}));
    QCOMPARE(script.boxes().first().icon, QMessageBox::Information);
    QCOMPARE(script.boxes().first().title, QStringLiteral("Farlight"));
}

void TestSetIpLab::replyForAnotherAdapterIgnored_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("password");
    QTest::newRow("unicast answer") << "192.168.77.21" << "00-0A-1B-2C-3D-4E" << "admin";
    QTest::newRow("broadcast answer") << "10.99.0.5" << "00-0A-1B-2C-3D-60" << "branch-pw";
}

void TestSetIpLab::replyForAnotherAdapterIgnored()
{
    QFETCH(QString, device);
    QFETCH(QString, mac);
    QFETCH(QString, password);

    ModalScript script(password);
    const Seen seen = runSetIp(device, {}, false, script);
    // The device answered (and applied the request), but the answer names another adapter.
    QCOMPARE(seen.arrivals, 1);
    QVERIFY(seen.visibleAfterAnswer);
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QVERIFY(syncWithSimulator());
    QCOMPARE(deviceState(mac)[u"dhcp"].toBool(), true);
    QCOMPARE(deviceState(mac)[u"confirmations"].toInt(), 0);
}

QTEST_MAIN(TestSetIpLab)
#include "tst_setiplab.moc"
