// Lab test: the Set IP and MAC filtering dialogs against the simulator, from the workstation namespace of a lab (run
// through lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables come from the program's own
// inventory and a real search by the main window; the dialogs are opened through the window's Admin commands. Each row
// belongs to one lab configuration and is skipped under the others; a configuration that no row names fails.
#include "../support/labstate.h"
#include "../support/labwindow.h"
#include "../support/modalscript.h"
#include "setipsupport.h"

#include "macfilter/macfile.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

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

    // Before any device's address changes: the list read from the device, an address added, the
    // write's verdict and the simulator's list afterwards.
    void filter_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QByteArray>("shown"); // the list read from the device, as Save would write it
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("message"); // string id
        QTest::addColumn<QStringList>("stored");

        QTest::newRow("same subnet") << "00-0A-1B-2C-3D-4E" << QByteArray("001122334455\r\n00AABBCCDDEE\r\n")
            << "02AABBCCDDEE" << "admin" << StringId::Pass << QStringList{"001122334455", "00AABBCCDDEE", "02AABBCCDDEE"};
        QTest::newRow("wrong password") << "00-0A-1B-2C-3D-4F" << QByteArray("0A0B0C0D0E0F\r\n") << "000000000002"
            << "admin" << StringId::InvalidPassword << QStringList{"0A0B0C0D0E0F"};
        // The device on a foreign subnet answers by broadcast.
        QTest::newRow("foreign subnet") << "00-0A-1B-2C-3D-60" << QByteArray("000000000001\r\nAABBCCDDEEFF\r\n")
            << "0A0000000000" << "branch-pw" << StringId::Pass
            << QStringList{"000000000001", "0A0000000000", "AABBCCDDEEFF"};
    }

    void filter()
    {
        QFETCH(QString, mac);
        QFETCH(QByteArray, shown);
        QFETCH(QString, added);
        QFETCH(QString, password);
        QFETCH(int, message);
        QFETCH(QStringList, stored);
        if (m_config != Lab)
            QSKIP("another lab configuration");
        ++m_rowsRun;

        ModalScript script(password);
        bool listed = false;
        testsupport::whenShown<MacFilterDialog>([&](MacFilterDialog *dialog) {
            listed = QTest::qWaitFor([&] { return MacFile::format(dialog->table().entries()) == shown; });
            for (int k = 0; k < MacFilterDialog::ByteBoxCount; ++k)
                dialog->findChild<QLineEdit *>(QStringLiteral("Mac%1").arg(k))->setText(added.mid(2 * k, 2));
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Mac_add")), Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("SendCmd")), Qt::LeftButton);
            (void)QTest::qWaitFor([&] { return script.log().size() == 2; }); // the log is checked below
            dialog->reject();
        });
        m_lab->openFor(mac, "mFilter");
        QVERIFY(listed);
        QCOMPARE(script.log(), (QStringList{ModalScript::Login, text(message)}));
        QCOMPARE(testsupport::labDeviceState(mac, QStringLiteral("filter")).toVariant().toStringList(), stored);
    }

    void run_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("password");
        // Empty: DHCP. Else address, mask and gateway, each written unless empty; an address
        // without dots is typed into the proposal's empty host field instead.
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<int>("message"); // string id; 0: none
        // What the simulator's state must then hold. It is written before the device answers, and
        // for a confirmation once that has arrived.
        QTest::addColumn<QVariantMap>("state");

        const QString foreignMac = QStringLiteral("setip_lab_foreign_mac.json");
        const QStringList dhcp;
        QTest::newRow("static, host part typed")
            << Lab << "00-0A-1B-2C-3D-4E" << "admin" << QStringList{"31", "", "192.168.77.1"} << StringId::SetIpOk
            << QVariantMap{{"ip", "192.168.77.31"}, {"gateway", "192.168.77.1"}, {"dhcp", false}, {"confirmations", 1}};
        QTest::newRow("DHCP") << Lab << "00-0A-1B-2C-3D-4F" << "secret" << dhcp << StringId::SetDhcpOk
                              << QVariantMap{{"dhcp", true}, {"confirmations", 1}};
        QTest::newRow("wrong password")
            << Lab << "00-0A-1B-2C-3D-51" << "wrong" << QStringList{"192.168.77.61", "255.255.255.0", "0.0.0.0"}
            << StringId::InvalidPassword << QVariantMap{{"ip", "192.168.77.24"}};
        QTest::newRow("foreign subnet, answers by broadcast")
            << Lab << "00-0A-1B-2C-3D-60" << "branch-pw" << QStringList{"10.99.0.50", "255.255.0.0", "10.99.1.1"}
            << StringId::SetIpOk << QVariantMap{{"ip", "10.99.0.50"}, {"mask", "255.255.0.0"}, {"confirmations", 1}};
        // The device answers (and applies the request), but the answer names another adapter.
        QTest::newRow("another adapter's MAC")
            << foreignMac << "00-0A-1B-2C-3D-4E" << "admin" << dhcp << 0 << QVariantMap{{"dhcp", true}};
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
