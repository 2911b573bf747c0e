// Lab test: the Set IP dialog against the simulator, from the workstation namespace of a lab
// (run through lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables come
// from the program's own inventory and a real search by the main window; the dialog is opened
// through the window's Admin > Set IP Address command. Each lab configuration runs the test
// function named on its command line: setIp (setip_lab.json), forcedFailureStatus
// (setip_lab_status.json), replyForAnotherAdapterIgnored (setip_lab_foreign_mac.json).
#include "modalscript.h"

#include "session/appstate.h"
#include "app/startwindow.h"
#include "ipconfig/setipdialog.h"
#include "netenv/platform.h"
#include "netenv/systemplatform.h"
#include "netenv/udppeer.h"
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

class TestSetIpLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_window.reset(); }

    // Each runs the dialog once per row and checks what the row expects.
    void setIp_data();
    void setIp() { run(); }
    void forcedFailureStatus_data();
    void forcedFailureStatus() { run(); }
    void replyForAnotherAdapterIgnored_data();
    void replyForAnotherAdapterIgnored() { run(); }

private:
    static void addColumns();
    void run();
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

void TestSetIpLab::addColumns()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("password");
    // Empty: DHCP. Else address, mask and gateway, each written unless empty; an address
    // without dots is typed into the proposal's empty host field instead.
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("message"); // ending in "OK": the dialog closes; empty: no message
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QVariantMap>("state"); // what the simulator's state must then hold
}

void TestSetIpLab::run()
{
    QFETCH(QString, device);
    QFETCH(QString, password);
    QFETCH(QStringList, settings);
    QFETCH(QString, message);
    QFETCH(QString, mac);
    QFETCH(QVariantMap, state);

    auto *list = m_window->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
    const QList<QTreeWidgetItem *> rows = list->findItems(device, Qt::MatchExactly, 1);
    QCOMPARE(rows.size(), 1);
    list->scrollToItem(rows[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(rows[0]).center());

    // What the test saw of the dialog, shared with the pollers, which may outlive this run.
    struct Seen
    {
        QStringList proposals;
        int arrivals = 0;
        bool openAfterAnswer = false;
        bool expired = false;
    };
    auto seen = std::make_shared<Seen>();
    ModalScript script(password);
    testsupport::whenShown<SetIpDialog>([seen, settings](SetIpDialog *dialog) {
        if (seen->expired)
            return;
        const auto control = [dialog](int i) {
            return dialog->findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(i + 1));
        };
        for (int i = 0; i < 3; ++i)
            seen->proposals.append(control(i)->ipAddress());
        // Connected after the dialog's own handler, so it runs once the dialog has dealt with it.
        connect(dialog->findChild<UdpPeer *>(QStringLiteral("sock1")), &UdpPeer::dataArrival, dialog,
                [seen] { ++seen->arrivals; });
        if (settings.isEmpty())
            QTest::mouseClick(dialog->findChild<QRadioButton *>(QStringLiteral("Option2")), Qt::LeftButton);
        for (int i = 0; i < settings.size(); ++i) {
            if (settings[i].contains(u'.'))
                control(i)->setIpAddress(settings[i]);
            else
                QTest::keyClicks(dialog->focusWidget(), settings[i]);
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
        // Once the answer has been dealt with, a dialog still open is noted and cancelled.
        const QPointer<SetIpDialog> open(dialog);
        testsupport::whenReady([open, seen] { return !open || seen->arrivals > 0; }, [open, seen] {
            seen->openAfterAnswer = open && open->isVisible();
            if (seen->openAfterAnswer)
                QTest::mouseClick(open->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        });
    });
    m_window->findChild<QAction *>(QStringLiteral("setip"))->trigger();
    seen->expired = true;

    // The proposals are the lab adapter's, as the inventory found it.
    const AdapterRecord &adapter = m_state->AdapterTable[0];
    QCOMPARE(seen->proposals, (QStringList{adapter.IpAddress.section(u'.', 0, 2) + u'.', adapter.SubnetMask,
                                           adapter.Gateway.isEmpty() ? QStringLiteral("0.0.0.0") : adapter.Gateway}));
    QCOMPARE(seen->arrivals, 1);
    QCOMPARE(seen->openAfterAnswer, !message.endsWith(QLatin1String("OK")));
    const QStringList log = message.isEmpty() ? QStringList{ModalScript::Login} : QStringList{ModalScript::Login, message};
    QCOMPARE(script.log(), log);
    QVERIFY(syncWithSimulator());
    const QJsonObject saw = deviceState(mac);
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        QCOMPARE(saw[it.key()].toVariant(), it.value());
}

void TestSetIpLab::setIp_data()
{
    addColumns();
    QTest::newRow("static, host part typed") << "192.168.77.21" << "admin" << QStringList{"31", "", "192.168.77.1"}
                                             << "Set IP OK" << "00-0A-1B-2C-3D-4E"
                                             << QVariantMap{{"ip", "192.168.77.31"}, {"mask", "255.255.255.0"},
                                                            {"gateway", "192.168.77.1"}, {"dhcp", false},
                                                            {"confirmations", 1}};
    QTest::newRow("DHCP") << "192.168.77.22" << "secret" << QStringList() << "Set DHCP OK" << "00-0A-1B-2C-3D-4F"
                          << QVariantMap{{"dhcp", true}, {"confirmations", 1}};
    QTest::newRow("wrong password") << "192.168.77.24" << "wrong"
                                    << QStringList{"192.168.77.41", "255.255.255.0", "0.0.0.0"} << "Invalid Password"
                                    << "00-0A-1B-2C-3D-51"
                                    << QVariantMap{{"ip", "192.168.77.24"}, {"confirmations", 0}};
    QTest::newRow("foreign subnet, answers by broadcast")
        << "10.99.0.5" << "branch-pw" << QStringList{"10.99.0.50", "255.255.0.0", "10.99.1.1"} << "Set IP OK"
        << "00-0A-1B-2C-3D-60"
        << QVariantMap{{"ip", "10.99.0.50"}, {"mask", "255.255.0.0"}, {"gateway", "10.99.1.1"}, {"confirmations", 1}};
}

void TestSetIpLab::forcedFailureStatus_data()
{
    addColumns();
    const QStringList settings{"192.168.77.61", "255.255.255.0", "0.0.0.0"};
    const QVariantMap unconfirmed{{"confirmations", 0}};
    QTest::newRow("static") << "192.168.77.21" << "admin" << settings << "Set IP Failure" << "00-0A-1B-2C-3D-4E"
                            << unconfirmed;
    QTest::newRow("DHCP") << "192.168.77.21" << "admin" << QStringList() << "Set DHCP Failure" << "00-0A-1B-2C-3D-4E"
                          << unconfirmed;
    QTest::newRow("static, foreign subnet") << "10.99.0.5" << "branch-pw" << settings << "Set IP Failure"
                                            << "00-0A-1B-2C-3D-60" << unconfirmed;
}

void TestSetIpLab::replyForAnotherAdapterIgnored_data()
{
    // The device answers (and applies the request), but the answer names another adapter.
    addColumns();
    const QVariantMap unconfirmed{{"dhcp", true}, {"confirmations", 0}};
    QTest::newRow("unicast answer") << "192.168.77.21" << "admin" << QStringList() << "" << "00-0A-1B-2C-3D-4E"
                                    << unconfirmed;
    QTest::newRow("broadcast answer") << "10.99.0.5" << "branch-pw" << QStringList() << "" << "00-0A-1B-2C-3D-60"
                                      << unconfirmed;
}

QTEST_MAIN(TestSetIpLab)
#include "tst_setiplab.moc"
