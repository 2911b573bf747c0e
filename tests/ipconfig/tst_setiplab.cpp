// Lab test: the Set IP dialog against the simulator, from the workstation namespace of a lab (run through
// lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables come from the program's own inventory and a
// real search by the main window; the dialog is opened through the window's Admin command. Each row belongs to one lab
// configuration and is skipped under the others; a configuration that no row names fails. A refused password is the
// dialog's own test; a filter list reaching its device is the fleet lab's.
#include "../support/labstate.h"
#include "../support/labwindow.h"
#include "../support/modalscript.h"
#include "setipsupport.h"

#include "netenv/udppeer.h"
#include "resources/strings.h"

#include <QFileInfo>

using namespace farlight;
using testsupport::ModalScript;

namespace {
const QString Lab = QStringLiteral("setip_lab.json");
}

class TestSetIpLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
            QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
        m_lab = std::make_unique<testsupport::LabWindow>();
        QVERIFY(QTest::qWaitForWindowExposed(&m_lab->window));

        // The real inventory and search, with the progress dialog's real wait.
        ModalScript script;
        QVERIFY(m_lab->search(10000));
        QVERIFY2(script.boxes().isEmpty(), qPrintable(script.log().join(u'|')));
        QCOMPARE(m_lab->state.adapterTable[0].IpAddress, qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"));
        m_config = QFileInfo(qEnvironmentVariable("FARLIGHT_LAB_CONFIG")).fileName();
    }

    void cleanupTestCase() { m_lab.reset(); }

    void run_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("password");
        // Empty: DHCP. Else address, mask and gateway.
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<int>("message"); // string id; 0: none
        // What the simulator's state must then hold. It is written before the device answers, and
        // for a confirmation once that has arrived.
        QTest::addColumn<QVariantMap>("state");

        const QString foreignMac = QStringLiteral("setip_lab_foreign_mac.json");
        QTest::newRow("foreign subnet, answers by broadcast")
            << Lab << "00-0A-1B-2C-3D-60" << "branch-pw" << QStringList{"10.99.0.50", "255.255.0.0", "10.99.1.1"}
            << StringId::SetIpOk << QVariantMap{{"ip", "10.99.0.50"}, {"mask", "255.255.0.0"}, {"confirmations", 1}};
        // The device answers (and applies the request), but the answer names another adapter.
        QTest::newRow("another adapter's MAC")
            << foreignMac << "00-0A-1B-2C-3D-4E" << "admin" << QStringList() << 0 << QVariantMap{{"dhcp", true}};
    }

    void run()
    {
        QFETCH(QString, config);
        QFETCH(QString, mac);
        QFETCH(QString, password);
        QFETCH(QStringList, settings);
        QFETCH(int, message);
        QFETCH(QVariantMap, state);
        if (config != m_config)
            QSKIP("another lab configuration");
        ++m_rowsRun;

        int arrivals = 0;
        ModalScript script(password);
        testsupport::whenShown<SetIpDialog>([&](SetIpDialog *dialog) {
            // Connected after the dialog's own handler, so it runs once the dialog has dealt with the
            // answer; a dialog still open then is cancelled.
            connect(dialog->findChild<UdpPeer *>(), &UdpPeer::dataArrival, dialog, [&, dialog] {
                if (++arrivals == 1 && dialog->isVisible())
                    dialog->reject();
            });
            testsupport::submitSetIp(dialog, settings);
        });
        m_lab->openFor(mac, "setip");

        QCOMPARE(arrivals, 1);
        const QStringList shown{ModalScript::Login, text(message)};
        QCOMPARE(script.log(), message ? shown : shown.first(1));
        for (auto it = state.cbegin(); it != state.cend(); ++it)
            QTRY_COMPARE(testsupport::labDeviceState(mac, it.key()).toVariant(), it.value());
    }

    // Rows are picked by the configuration's file name: a renamed file would skip them all.
    void someRowRan()
    {
        QVERIFY2(m_rowsRun > 0, qPrintable("no row is for " + qEnvironmentVariable("FARLIGHT_LAB_CONFIG")));
    }

private:
    int m_rowsRun = 0;
    QString m_config;
    std::unique_ptr<testsupport::LabWindow> m_lab;
};

QTEST_MAIN(TestSetIpLab)
#include "tst_setiplab.moc"
