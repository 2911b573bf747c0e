// Lab test: three access points fresh from the box answer from one address with one host name.
// The window lists each, and Set IP and MAC filtering on a row reach that row's device (by its MAC,
// in the simulator's state). Run through lab/with-lab.sh (farlight_add_lab_test), as root.
#include "../ipconfig/setipsupport.h"
#include "../support/labstate.h"
#include "../support/labwindow.h"
#include "../support/modalscript.h"

#include "macfilter/macfile.h"
#include "resources/strings.h"

#include <QLineEdit>
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
    void initTestCase();
    void cleanupTestCase() { m_lab.reset(); }
    void everyDeviceListed();
    void filterReachesTheRowsDevice_data();
    void filterReachesTheRowsDevice();
    void setIpReachesTheRowsDevice_data();
    void setIpReachesTheRowsDevice();

private:
    std::unique_ptr<testsupport::LabWindow> m_lab;
    QSet<int> m_written; ///< devices whose list a row has written
};

void TestFleetLab::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
        QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
    m_lab = std::make_unique<testsupport::LabWindow>();
    QVERIFY(QTest::qWaitForWindowExposed(&m_lab->window));
    QVERIFY(m_lab->search());
}

// Before, a second answer from a listed address was taken for the same device.
void TestFleetLab::everyDeviceListed()
{
    QStringList macs;
    for (int i = 0; i < m_lab->state.deviceCount; ++i)
        macs << FormatMac(m_lab->state.deviceTable[std::size_t(i)].Mac);
    macs.sort();
    QCOMPARE(macs, Fleet);
}

void TestFleetLab::filterReachesTheRowsDevice_data()
{
    QTest::addColumn<int>("device");
    for (int i : {2, 0, 1})
        QTest::addRow("%s", qPrintable(Fleet[i])) << i;
}

// Each device starts with its own list (…A1, …A2, …A3): the dialog shows that device's, and the
// address added goes to it alone.
void TestFleetLab::filterReachesTheRowsDevice()
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

void TestFleetLab::setIpReachesTheRowsDevice_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("address");
    QTest::newRow("first row's device") << 0 << u"192.168.77.51"_s;
    QTest::newRow("third") << 2 << u"192.168.77.53"_s;
    QTest::newRow("second") << 1 << u"192.168.77.52"_s;
}

void TestFleetLab::setIpReachesTheRowsDevice()
{
    QFETCH(int, device);
    QFETCH(QString, address);
    const QString before = labDeviceState(Fleet[(device + 1) % 3], u"ip"_s).toString();
    ModalScript script(u"admin"_s);
    testsupport::whenShown<SetIpDialog>([&](SetIpDialog *dialog) {
        testsupport::submitSetIp(dialog, {address, u"255.255.255.0"_s, u"192.168.77.1"_s});
    });
    m_lab->openFor(Fleet[device], "setip");
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, text(StringId::SetIpOk)}));
    QTRY_COMPARE(labDeviceState(Fleet[device], u"ip"_s).toString(), address);
    // The window then looks for the device at its new address, and says what it saw.
    QTRY_VERIFY_WITH_TIMEOUT(m_lab->window.statusBar()->currentMessage().endsWith(u"verified"_s), 10000);
    QVERIFY2(m_lab->window.statusBar()->currentMessage().endsWith(u": verified"_s),
             qPrintable(m_lab->window.statusBar()->currentMessage()));
    QCOMPARE(labDeviceState(Fleet[(device + 1) % 3], u"ip"_s).toString(), before);
}

QTEST_MAIN(TestFleetLab)
#include "fleet_lab.moc"
