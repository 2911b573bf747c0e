// Lab test: the Set IP dialog against the simulator, from the workstation namespace of a lab (run through
// lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables come from the program's own inventory and
// a real search by the main window; the dialog is opened through the window's Admin > Set IP Address command. Each row
// belongs to one lab configuration and is skipped under the others; a configuration that no row names fails.
#include "../support/labstate.h"
#include "../support/modalscript.h"
#include "setipsupport.h"

#include "app/startwindow.h"
#include "ipconfig/setipdialog.h"
#include "netenv/systemplatform.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include <QAction>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTreeView>

#include <memory>

using namespace farlight;
using testsupport::ModalScript;

class TestSetIpLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
            QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
        m_platform = CreateSystemPlatform();
        m_state = std::make_unique<AppState>();
        m_window = std::make_unique<StartWindow>(*m_state, *m_platform);
        const auto open = [this](const DeviceTarget &device, QString &password, QWidget *parent) {
            return new SetIpDialog(device, m_state->counters, password, parent);
        };
        m_window->setDialogFactory(StartWindow::DeviceDialog::SetIp, open);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

        // The real inventory and search, with the progress dialog's real wait.
        ModalScript script;
        QSignalSpy searched(m_window.get(), &StartWindow::searchFinished);
        m_window->RunSearch();
        QVERIFY(searched.wait(10000));
        QVERIFY2(script.boxes().isEmpty(), qPrintable(script.log().join(u'|')));
        QCOMPARE(m_state->adapterTable[0].IpAddress, qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"));
    }

    void cleanupTestCase() { m_window.reset(); }

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

        const QString lab = QStringLiteral("setip_lab.json");
        const QString foreignMac = QStringLiteral("setip_lab_foreign_mac.json");
        const QStringList dhcp;
        QTest::newRow("static, host part typed")
            << lab << "00-0A-1B-2C-3D-4E" << "admin" << QStringList{"31", "", "192.168.77.1"} << StringId::SetIpOk
            << QVariantMap{{"ip", "192.168.77.31"}, {"gateway", "192.168.77.1"}, {"dhcp", false}, {"confirmations", 1}};
        QTest::newRow("DHCP") << lab << "00-0A-1B-2C-3D-4F" << "secret" << dhcp << StringId::SetDhcpOk
                              << QVariantMap{{"dhcp", true}, {"confirmations", 1}};
        QTest::newRow("wrong password")
            << lab << "00-0A-1B-2C-3D-51" << "wrong" << QStringList{"192.168.77.61", "255.255.255.0", "0.0.0.0"}
            << StringId::InvalidPassword << QVariantMap{{"ip", "192.168.77.24"}};
        QTest::newRow("foreign subnet, answers by broadcast")
            << lab << "00-0A-1B-2C-3D-60" << "branch-pw" << QStringList{"10.99.0.50", "255.255.0.0", "10.99.1.1"}
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
        if (config != QFileInfo(qEnvironmentVariable("FARLIGHT_LAB_CONFIG")).fileName())
            QSKIP("another lab configuration");
        ++m_rowsRun;

        constexpr int MacColumn = 5;
        auto *list = m_window->findChild<QTreeView *>(QStringLiteral("ListView1"));
        const QModelIndexList rows =
            list->model()->match(list->model()->index(0, MacColumn), Qt::DisplayRole, mac, -1, Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        list->scrollTo(rows[0]);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(rows[0]).center());

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
        m_window->findChild<QAction *>(QStringLiteral("setip"))->trigger();

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
    std::unique_ptr<Platform> m_platform;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<StartWindow> m_window;
};

QTEST_MAIN(TestSetIpLab)
#include "tst_setiplab.moc"
