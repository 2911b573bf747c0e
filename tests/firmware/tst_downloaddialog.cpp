// What the Download dialog checks before an upload and what it shows of one, against a device
// on loopback in a private network namespace; the transfer rules belong to the upload's own test.
#include "../support/files.h"
#include "../support/loopback.h"
#include "../support/modalscript.h"

#include "firmware/downloaddialog.h"
#include "netenv/fakeplatform.h"
#include "protocol/tftppacket.h"
#include "resources/strings.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <net/if.h>

using namespace farlight;
using testsupport::ModalScript;

static const QString DeviceAddress = QStringLiteral("127.0.0.21");

class TestDownloadDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_platform = FakePlatform();
        if (m_device.state() != QAbstractSocket::BoundState)
            QVERIFY(m_device.bind(QHostAddress(DeviceAddress), TftpUpload::ServerPort));
        testsupport::drain(m_device);
    }

    void checks_data()
    {
        QTest::addColumn<QString>("file"); // written to a folder, typed with its path; a path: typed
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("enter");       // Enter in the path box instead of OK
        QTest::addColumn<QByteArray>("answer"); // the device's answer to block 1, once the upload runs
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("result");       // how the dialog closes; -1: it stays open

        const QByteArray signature = "Brightway QM735XL";
        const QByteArray image = QByteArray(100, 'x') + signature.toLower() + QByteArray(100, 'y');
        const int accepted = QDialog::Accepted, rejected = QDialog::Rejected, open = -1;
        QTest::newRow("upper-case .BIN and a blank, as typed")
            << "fw.BIN " << image << false << Tftp::BuildAck(1) << text(StringId::DataTransmitFinish) << accepted;
        QTest::newRow("Enter; device error 1") << "fw.bin" << QByteArray(9, 'z') + signature << true
                                               << QByteArray::fromHex("000500016e6f00") << "File not found." << rejected;
        QTest::newRow("device error 9 closes silently")
            << "fw.bin" << image << false << QByteArray::fromHex("00050009") << "" << rejected;
        QTest::newRow("ACK of a block never sent: a stall waits for Cancel")
            << "fw.bin" << image << false << Tftp::BuildAck(7) << "" << open;
        QTest::newRow("empty path") << "" << QByteArray() << false << QByteArray() << text(StringId::PleaseKeyinPath)
                                    << open;
    }

    // A refused file leaves the dialog as it was and sends nothing; an accepted one clears the
    // device's ARP entry and is uploaded with the progress shown, and the device's last answer ends it.
    void checks()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, enter);
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        QFETCH(int, result);
        DownloadDialog dialog(m_platform, m_target);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        auto *combo = dialog.findChild<QComboBox *>("Combo1");
        const QString path = file.isEmpty() || file.startsWith(u'/') ? file : m_dir.filePath(file);
        QVERIFY(path == file || testsupport::writeFile(path, bytes));
        QTest::keyClicks(combo, path);
        ModalScript script;
        if (enter)
            QTest::keyClick(combo, Qt::Key_Return);
        else
            QTest::mouseClick(dialog.findChild<QPushButton *>("Command1"), Qt::LeftButton);
        const QList<FakePlatform::ArpRemoval> removal{{m_target.interfaceIndex, DeviceAddress}};
        auto *label = dialog.findChild<QLabel *>("Label1");
        if (answer.isEmpty()) {
            QTRY_COMPARE(script.log(), QStringList{message});
            QVERIFY(combo->isVisible() && dialog.isVisible());
            // A write request on loopback would be queued at the device before the send returned.
            QVERIFY(!m_device.hasPendingDatagrams());
            QVERIFY(m_platform.arpRemovals.isEmpty());
            return;
        }
        QCOMPARE(nextDatagram().left(2), QByteArray::fromHex("0002")); // a write request
        QCOMPARE(m_platform.arpRemovals, removal);
        QVERIFY(combo->isHidden() && label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("0%"));
        m_device.writeDatagram(Tftp::BuildAck(0), QHostAddress(QStringLiteral("127.0.0.1")), m_clientPort);
        QCOMPARE(nextDatagram().mid(4), bytes);
        m_device.writeDatagram(answer, QHostAddress(QStringLiteral("127.0.0.1")), m_clientPort);
        if (result == -1) {
            // The dialog decides before its ERROR 0 reaches the device.
            QCOMPARE(nextDatagram().left(4), QByteArray::fromHex("00050000"));
            QVERIFY(finished.isEmpty() && dialog.isVisible());
            QCOMPARE(script.log(), QStringList());
            QUdpSocket local; // the port was given back when the upload ended
            QVERIFY(local.bind(QHostAddress(m_target.adapterAddress), TftpUpload::LocalPort));
            return;
        }
        QVERIFY(finished.wait(3000));
        QCOMPARE(script.log(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(finished.at(0).at(0).toInt(), result);
        if (result == QDialog::Accepted)
            QCOMPARE(label->text(), QStringLiteral("100%"));
    }

private:
    QByteArray nextDatagram()
    {
        const QNetworkDatagram datagram = testsupport::nextDatagram(m_device);
        m_clientPort = quint16(datagram.senderPort());
        return datagram.data();
    }

    const DeviceTarget m_target{{}, DeviceAddress, {}, QStringLiteral("127.0.0.1"), {}, int(if_nametoindex("lo")),
                                {}, {}, {}};
    FakePlatform m_platform;
    QTemporaryDir m_dir;
    QUdpSocket m_device; // the device's TFTP port
    quint16 m_clientPort = 0;
};

QTEST_MAIN(TestDownloadDialog)
#include "tst_downloaddialog.moc"
