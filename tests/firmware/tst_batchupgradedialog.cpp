// The batch upgrade dialog on loopback in a private network namespace: which rows it refuses,
// and that "Retry failed" uploads again to the failed devices only. Nothing answers at port 69.
#include "firmware/batchupgradedialog.h"
#include "netenv/fakeplatform.h"
#include "session/appstate.h"
#include "session/sharedaddress.h"

#include "../support/files.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace farlight;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class TestBatchUpgradeDialog : public QObject
{
    Q_OBJECT

private slots:
    // Two devices fresh from the box share .22; the device at .21 alone gets uploads, which time out.
    void sharedAddressRefusedFailedRetried()
    {
        FakePlatform platform;
        AppState state;
        QList<DeviceTarget> devices;
        for (const int host : {21, 22, 22}) {
            DeviceRecord &record = state.deviceTable[std::size_t(state.deviceCount++)];
            record.IpAddress = u"127.0.0.%1"_s.arg(host);
            record.Mac = {0, 0x0A, 0, 0, 0, quint8(state.deviceCount)};
            DeviceTarget target;
            target.address = record.IpAddress;
            target.mac = record.Mac;
            target.adapterAddress = u"127.0.0.1"_s;
            devices.append(target);
        }
        QTemporaryDir dir;
        const QString image = dir.filePath(u"fw.bin"_s);
        QVERIFY(testsupport::writeFile(image, "Brightway QM735XL" + QByteArray(3000, 'x')));

        BatchUpgradeDialog dialog(platform, state, devices);
        dialog.batch().setRetransmitInterval(10ms);
        QSignalSpy ended(&dialog.batch(), &UpgradeBatch::targetFinished);
        auto *table = dialog.findChild<QTreeWidget *>(u"Devices"_s);
        auto *retry = dialog.findChild<QPushButton *>(u"RetryFailed"_s);
        dialog.show();
        dialog.findChild<QLineEdit *>(u"FirmwarePath"_s)->setText(image);
        QTest::mouseClick(dialog.findChild<QPushButton *>(u"Start"_s), Qt::LeftButton);
        QTRY_VERIFY(retry->isVisible());
        QCOMPARE(ended.size(), 1);
        for (int row : {1, 2})
            QCOMPARE(table->topLevelItem(row)->text(BatchUpgradeDialog::Result), SharedAddressRefusal(FindSharedAddress(state, devices[row])));
        const QString failure = table->topLevelItem(0)->text(BatchUpgradeDialog::Result);

        QTest::mouseClick(retry, Qt::LeftButton);
        QVERIFY(!retry->isVisible());
        QTRY_VERIFY(retry->isVisible());
        QCOMPARE(ended.size(), 2);
        QCOMPARE(ended[1][0].toInt(), 0);
        QCOMPARE(table->topLevelItem(0)->text(BatchUpgradeDialog::Result), failure);
        QCOMPARE(table->topLevelItem(2)->text(BatchUpgradeDialog::Result), SharedAddressRefusal(FindSharedAddress(state, devices[2])));
    }
};

QTEST_MAIN(TestBatchUpgradeDialog)
#include "tst_batchupgradedialog.moc"
