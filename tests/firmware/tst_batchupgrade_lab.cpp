// Lab test: the window upgrades three selected devices at once. Two restart and come back, the
// third never does. Run through lab/with-lab.sh (farlight_add_lab_test), as root.
#include "../support/labstate.h"
#include "../support/labwindow.h"
#include "../support/modalscript.h"

#include "firmware/batchupgradedialog.h"

#include <QCryptographicHash>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace farlight;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class TestBatchUpgradeLab : public QObject
{
    Q_OBJECT

private slots:
    void threeDevicesTwoComeBack();
};

void TestBatchUpgradeLab::threeDevicesTwoComeBack()
{
    if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
        QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
    QTemporaryDir dir;
    QByteArray image(200000, '\0');
    QRandomGenerator(23).fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
    image.insert(1000, "Brightway QM735XL");
    QFile file(dir.filePath(u"fw.bin"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
    file.close();

    testsupport::LabWindow lab;
    lab.window.setFleetDialogFactory(StartWindow::DeviceDialog::Download,
                                     [&lab](const QList<DeviceTarget> &devices, QString &, QWidget *parent) {
                                         auto *dialog = new BatchUpgradeDialog(*lab.platform, lab.state, devices, parent);
                                         dialog->batch().restartWatch().setTiming(50ms, 1s);
                                         dialog->batch().restartWatch().setTimeout(5s);
                                         return dialog;
                                     });
    QVERIFY(QTest::qWaitForWindowExposed(&lab.window));
    lab.window.searchSession().setStepInterval(100ms); // the lab's devices answer at once
    QVERIFY(lab.search());
    QCOMPARE(lab.state.deviceCount, qint16(3));

    QStringList results;
    QList<int> bars;
    testsupport::whenShown<BatchUpgradeDialog>([&](BatchUpgradeDialog *dialog) {
        dialog->findChild<QLineEdit *>(u"FirmwarePath"_s)->setText(file.fileName());
        QTest::mouseClick(dialog->findChild<QPushButton *>(u"Start"_s), Qt::LeftButton);
        auto *close = dialog->findChild<QPushButton *>(u"Close"_s);
        // A spy's wait runs the event loop; qWaitFor would sleep 10 ms between turns, a lock-step
        // transfer's every block. The rows are checked below.
        if (close->text() != u"Close"_s)
            (void)QSignalSpy(&dialog->batch(), &UpgradeBatch::finished).wait(20000);
        auto *table = dialog->findChild<QTreeWidget *>(u"Devices"_s);
        for (int row = 0; row < table->topLevelItemCount(); ++row) {
            QTreeWidgetItem *item = table->topLevelItem(row);
            results << item->text(BatchUpgradeDialog::Name) + u": "_s + item->text(BatchUpgradeDialog::Result);
            bars << qobject_cast<QProgressBar *>(table->itemWidget(item, BatchUpgradeDialog::Progress))->value();
        }
        close->click();
    });
    auto *list = lab.window.findChild<QAbstractItemView *>(u"ListView1"_s);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    lab.window.findChild<QAction *>(u"Mload"_s)->trigger();

    results.sort();
    QCOMPARE(results.size(), 3);
    QVERIFY2(QRegularExpression(u"^AP-Gone: did not come back within 5 s$"_s).match(results[0]).hasMatch(),
             qPrintable(results.join(u" | "_s)));
    for (const QString &row : results.mid(1))
        QVERIFY2(QRegularExpression(u"^AP-(One|Two): back after [2-4] s$"_s).match(row).hasMatch(),
                 qPrintable(results.join(u" | "_s)));
    QCOMPARE(bars, (QList<int>{100, 100, 100}));
    const QString sha256 = QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    for (const QString &mac : {u"00-0A-00-00-03-01"_s, u"00-0A-00-00-03-02"_s, u"00-0A-00-00-03-03"_s})
        QCOMPARE(testsupport::labDeviceState(mac, u"firmware"_s)[u"sha256"].toString(), sha256);
}

QTEST_MAIN(TestBatchUpgradeLab)
#include "tst_batchupgrade_lab.moc"
