// Lab test: three access points fresh from the box answer from one address with one host name.
// The window lists each; Set IP and MAC filtering on a row reach that row's device (by its MAC,
// in the simulator's state); with all rows selected, Set IP numbers the fleet and MAC filtering
// writes one list to every device. Run through lab/with-lab.sh (farlight_add_lab_test), as root.
#include "../ipconfig/setipsupport.h"
#include "../support/labstate.h"
#include "../support/labwindow.h"
#include "../support/modalscript.h"

#include "ipconfig/numberingdialog.h"
#include "ipconfig/setipdialog.h"
#include "macfilter/macfile.h"
#include "macfilter/macfilterdialog.h"
#include "resources/strings.h"

#include <QLineEdit>
#include <QTreeWidget>
#include <QPushButton>
#include <QStatusBar>

using namespace farlight;
using namespace Qt::StringLiterals;
using testsupport::ModalScript;
using testsupport::labDeviceState;

namespace {
const QStringList Fleet = {u"00-0A-1B-2C-50-01"_s, u"00-0A-1B-2C-50-02"_s, u"00-0A-1B-2C-50-03"_s};
} // namespace

// That an upload to the shared address asks first is the window's own test (fleetSharingOneAddress):
// it needs no device.
class TestFleetLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
            QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
        m_lab = std::make_unique<testsupport::LabWindow>();
        m_lab->window.searchSession().setStepInterval(std::chrono::milliseconds(100));
        QVERIFY(QTest::qWaitForWindowExposed(&m_lab->window));
        QVERIFY(m_lab->search());
    }

    void cleanupTestCase() { m_lab.reset(); }

    // One row each device: openFor() finds its MAC in exactly one. (The window once took a second
    // answer from a listed address for the same device.)
    void filterReachesTheRowsDevice_data()
    {
        QTest::addColumn<int>("device");
        for (int i : {2, 0, 1})
            QTest::addRow("%s", qPrintable(Fleet[i])) << i;
    }

    // Each device starts with its own list (…A1, …A2, …A3): the dialog shows that device's, and the
    // address added goes to it alone.
    void filterReachesTheRowsDevice()
    {
        QFETCH(int, device);
        const QString own = u"0000000000A%1"_s.arg(device + 1);
        const QString added = u"0000000000B%1"_s.arg(device + 1);
        ModalScript script(u"admin"_s);
        bool listed = false;
        testsupport::whenShown<MacFilterDialog>([&](MacFilterDialog *dialog) {
            listed = QTest::qWaitFor([&] { return MacFile::format(dialog->table().entries()) == own.toLatin1() + "\r\n"; });
            for (int k = 0; k < MacFilterDialog::ByteBoxCount; ++k)
                dialog->findChild<QLineEdit *>(u"Mac%1"_s.arg(k))->setText(added.mid(2 * k, 2));
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"Mac_add"_s), Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"SendCmd"_s), Qt::LeftButton);
            (void)QTest::qWaitFor([&] { return script.log().size() == 2; }); // the log is checked below
            dialog->reject();
        });
        m_lab->openFor(Fleet[device], "mFilter");
        QVERIFY(listed);
        QCOMPARE(script.log(), (QStringList{ModalScript::Login, text(StringId::Pass)}));
        m_written.insert(device);
        for (int other = 0; other < Fleet.size(); ++other) {
            QStringList expected{u"0000000000A%1"_s.arg(other + 1)};
            if (m_written.contains(other))
                expected << u"0000000000B%1"_s.arg(other + 1);
            QCOMPARE(labDeviceState(Fleet[other], u"filter"_s).toVariant().toStringList(), expected);
        }
    }

    // Numbered from .51, each device gets the next address in list order, by its MAC; the dialog's
    // own search and the window's next one find each there.
    void numberTheFleet()
    {
        selectAll();
        ModalScript script(u"admin"_s);
        QStringList results;
        testsupport::whenShown<NumberingDialog>([&](NumberingDialog *dialog) {
            QTest::keyClicks(dialog->focusWidget(), u"51"_s);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"numberButton"_s), Qt::LeftButton);
            QSignalSpy checked(&dialog->batch(), &SetIpBatch::checked);
            (void)checked.wait(20000); // the results say what came of it
            auto *table = dialog->findChild<QTreeWidget *>(u"numberingTable"_s);
            for (int row = 0; row < table->topLevelItemCount(); ++row)
                results << table->topLevelItem(row)->text(NumberingDialog::Result);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"closeButton"_s), Qt::LeftButton);
        });
        QSignalSpy searched(&m_lab->window, &StartWindow::searchFinished);
        m_lab->window.findChild<QAction *>(u"setip"_s)->trigger();
        QCOMPARE(results, QStringList(3, text(StringId::SetIpOk) + u"; verified"_s));
        QCOMPARE(script.log(), QStringList{ModalScript::Login});
        for (int i = 0; i < Fleet.size(); ++i)
            QCOMPARE(labDeviceState(Fleet[i], u"ip"_s).toString(), u"192.168.77.5%1"_s.arg(i + 1));
        QVERIFY(searched.wait(10000));
        QStringList listed;
        for (int i = 0; i < m_lab->state.deviceCount; ++i) {
            const DeviceRecord &device = m_lab->state.deviceTable[std::size_t(i)];
            listed << FormatMac(device.Mac) + u' ' + device.IpAddress;
        }
        listed.sort();
        QCOMPARE(listed, (QStringList{Fleet[0] + u" 192.168.77.51"_s, Fleet[1] + u" 192.168.77.52"_s,
                                      Fleet[2] + u" 192.168.77.53"_s}));
    }

    // One login, one list, each device's verdict.
    void filterForTheFleet()
    {
        selectAll();
        ModalScript script(u"admin"_s);
        QByteArray sent;
        testsupport::whenShown<MacFilterDialog>([&](MacFilterDialog *dialog) {
            (void)QTest::qWaitFor([&] { return !dialog->table().entries().isEmpty(); }); // the first device's list
            for (int k = 0; k < MacFilterDialog::ByteBoxCount; ++k)
                dialog->findChild<QLineEdit *>(u"Mac%1"_s.arg(k))->setText(u"0000000000C0"_s.mid(2 * k, 2));
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"Mac_add"_s), Qt::LeftButton);
            sent = MacFile::format(dialog->table().entries());
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"SendCmd"_s), Qt::LeftButton);
            (void)QTest::qWaitFor([&] { return script.log().size() == 2; }, 10000); // the log is checked below
            dialog->reject();
        });
        m_lab->window.findChild<QAction *>(u"mFilter"_s)->trigger();
        QCOMPARE(script.log().size(), 2);
        QCOMPARE(script.log().first(), ModalScript::Login);
        for (const QString &mac : Fleet) {
            QVERIFY2(script.log().last().contains(mac + u" (AP-Factory): "_s + text(StringId::Pass)), qPrintable(script.log().last()));
            QStringList stored = labDeviceState(mac, u"filter"_s).toVariant().toStringList();
            QCOMPARE(stored.join(u"\r\n"_s).toLatin1() + "\r\n", sent);
        }
    }

    // After the numbering: one row's device moves again, the others stay.
    void setIpReachesTheRowsDevice()
    {
        const int device = 0;
        const QString address = u"192.168.77.61"_s;
        const QString before = labDeviceState(Fleet[(device + 1) % 3], u"ip"_s).toString();
        ModalScript script(u"admin"_s);
        testsupport::whenShown<SetIpDialog>([&](SetIpDialog *dialog) {
            testsupport::submitSetIp(dialog, {address, u"255.255.255.0"_s, u"192.168.77.1"_s});
        });
        m_lab->openFor(Fleet[device], "setip");
        QCOMPARE(script.log(), (QStringList{ModalScript::Login, text(StringId::SetIpOk)}));
        QTRY_COMPARE(labDeviceState(Fleet[device], u"ip"_s).toString(), address);
        // The window then looks for the device at its new address, and says what it saw.
        QTRY_VERIFY_WITH_TIMEOUT(m_lab->window.statusBar()->currentMessage().endsWith(u": verified"_s), 10000);
        QCOMPARE(labDeviceState(Fleet[(device + 1) % 3], u"ip"_s).toString(), before);
    }

private:
    /// Sorts the list by MAC, so list order is the fleet's, and selects every row.
    void selectAll()
    {
        auto *list = m_lab->window.findChild<QTreeView *>(u"ListView1"_s);
        list->sortByColumn(DeviceListModel::Mac, Qt::AscendingOrder);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    }

    std::unique_ptr<testsupport::LabWindow> m_lab;
    QSet<int> m_written; ///< devices whose list a row has written
};

QTEST_MAIN(TestFleetLab)
#include "fleet_lab.moc"
