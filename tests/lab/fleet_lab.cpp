// Lab test: three access points fresh from the box answer from one address with one host name.
// The window lists each, Set IP and MAC filtering on a row reach that row's device (by its MAC,
// in the simulator's state), and an upload, which can only go by address, asks first. Run through
// lab/with-lab.sh (farlight_add_lab_test), as root.
#include "../ipconfig/setipsupport.h"
#include "../support/labstate.h"
#include "../support/modalscript.h"

#include "app/startwindow.h"
#include "firmware/downloaddialog.h"
#include "ipconfig/setipdialog.h"
#include "macfilter/macfilterdialog.h"
#include "macfilter/macfile.h"
#include "netenv/systemplatform.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include <QAbstractItemView>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>

using namespace farlight;
using namespace Qt::StringLiterals;
using testsupport::ModalScript;
using testsupport::labDeviceState;

namespace {
const QStringList Fleet = {u"00-0A-1B-2C-50-01"_s, u"00-0A-1B-2C-50-02"_s, u"00-0A-1B-2C-50-03"_s};
constexpr int MacColumn = 5;
} // namespace

class TestFleetLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_window.reset(); }
    void everyDeviceListed();
    void uploadToASharedAddressAsksFirst();
    void filterReachesTheRowsDevice_data();
    void filterReachesTheRowsDevice();
    void setIpReachesTheRowsDevice_data();
    void setIpReachesTheRowsDevice();

private:
    void openFor(const QString &mac, const char *action);

    std::unique_ptr<Platform> m_platform;
    AppState m_state;
    std::unique_ptr<StartWindow> m_window;
    QSet<int> m_written; ///< devices whose list a row has written
};

void TestFleetLab::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
        QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
    m_platform = CreateSystemPlatform();
    m_window = std::make_unique<StartWindow>(m_state, *m_platform);
    m_window->setDialogFactory(StartWindow::DeviceDialog::SetIp,
                               [this](const DeviceTarget &device, QString &password, QWidget *parent) {
                                   return new SetIpDialog(device, m_state.counters, password, parent);
                               });
    m_window->setDialogFactory(StartWindow::DeviceDialog::MacFilter,
                               [this](const DeviceTarget &device, QString &password, QWidget *parent) {
                                   return new MacFilterDialog(device, m_state.counters, password, parent);
                               });
    m_window->setDialogFactory(StartWindow::DeviceDialog::Download,
                               [this](const DeviceTarget &device, QString &, QWidget *parent) {
                                   return new DownloadDialog(*m_platform, device, parent);
                               });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QSignalSpy searched(m_window.get(), &StartWindow::searchFinished);
    m_window->RunSearch();
    QVERIFY(searched.wait(15000));
}

// Before, a second answer from a listed address was taken for the same device.
void TestFleetLab::everyDeviceListed()
{
    auto *list = m_window->findChild<QAbstractItemView *>(u"ListView1"_s);
    QStringList macs;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        macs << list->model()->index(row, MacColumn).data().toString();
    macs.sort();
    QCOMPARE(macs, Fleet);
}

void TestFleetLab::uploadToASharedAddressAsksFirst()
{
    ModalScript script;
    script.queueBox(QMessageBox::No);
    openFor(Fleet[1], "Mload");
    QCOMPARE(script.log().size(), 1);
    for (const QString &mac : Fleet)
        QVERIFY(script.log()[0].contains(mac));
    QVERIFY(!QApplication::activeModalWidget());
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
    openFor(Fleet[device], "mFilter");
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
    openFor(Fleet[device], "setip");
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, text(StringId::SetIpOk)}));
    QTRY_COMPARE(labDeviceState(Fleet[device], u"ip"_s).toString(), address);
    // The window then looks for the device at its new address, and says what it saw.
    QTRY_VERIFY_WITH_TIMEOUT(m_window->statusBar()->currentMessage().endsWith(u"verified"_s), 10000);
    QVERIFY2(m_window->statusBar()->currentMessage().endsWith(u": verified"_s),
             qPrintable(m_window->statusBar()->currentMessage()));
    QCOMPARE(labDeviceState(Fleet[(device + 1) % 3], u"ip"_s).toString(), before);
}

// Selects the device's row and triggers @p action.
void TestFleetLab::openFor(const QString &mac, const char *action)
{
    auto *list = m_window->findChild<QAbstractItemView *>(u"ListView1"_s);
    const QModelIndexList rows =
        list->model()->match(list->model()->index(0, MacColumn), Qt::DisplayRole, mac, 1, Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(rows[0]).center());
    m_window->findChild<QAction *>(QString::fromLatin1(action))->trigger();
}

QTEST_MAIN(TestFleetLab)
#include "fleet_lab.moc"
