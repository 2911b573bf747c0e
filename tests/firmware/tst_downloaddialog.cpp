// What the Download dialog checks before an upload and what it shows of one, against a device
// on loopback in a private network namespace; the transfer rules belong to the upload's own test.
#include "../support/modalscript.h"

#include "firmware/downloaddialog.h"
#include "netenv/fakeplatform.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QNetworkDatagram>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <net/if.h>

using namespace farlight;
using testsupport::ModalScript;

namespace {

const QString DeviceAddress = QStringLiteral("127.0.0.21");
const QByteArray Signature = "Brightway QM735XL";

QByteArray ack(quint16 block)
{
    return QByteArray::fromHex("0004") + char(block >> 8) + char(block & 0xFF);
}

} // namespace

class TestDownloadDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void checks_data();
    void checks();
    void browseCancelled();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QByteArray nextDatagram(int timeoutMs = 3000);

    DeviceTarget m_target;
    FakePlatform m_platform;
    QTemporaryDir m_dir;
    QUdpSocket m_device; // the device's TFTP port
    quint16 m_clientPort = 0;
};

void TestDownloadDialog::init()
{
    m_platform = FakePlatform();
    m_target.address = DeviceAddress;
    m_target.adapterAddress = QStringLiteral("127.0.0.1");
    m_target.interfaceIndex = qint32(if_nametoindex("lo"));
    if (m_device.state() != QAbstractSocket::BoundState)
        QVERIFY(m_device.bind(QHostAddress(DeviceAddress), TftpUpload::ServerPort));
    while (m_device.hasPendingDatagrams())
        m_device.receiveDatagram();
}

QString TestDownloadDialog::write(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

QByteArray TestDownloadDialog::nextDatagram(int timeoutMs)
{
    if (!m_device.hasPendingDatagrams() && !QSignalSpy(&m_device, &QUdpSocket::readyRead).wait(timeoutMs))
        return {};
    const QNetworkDatagram datagram = m_device.receiveDatagram();
    m_clientPort = quint16(datagram.senderPort());
    return datagram.data();
}

void TestDownloadDialog::checks_data()
{
    QTest::addColumn<QString>("name");     // file written; empty for none
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("typed");    // path typed: "%1" stands for the file's full path
    QTest::addColumn<bool>("enter");       // Enter in the path box instead of OK
    QTest::addColumn<QByteArray>("answer"); // the device's answer to block 1, once the upload runs
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("result");       // how the dialog closes; -1: it stays open

    const QByteArray image = QByteArray(100, 'x') + Signature.toLower() + QByteArray(100, 'y');
    const QString invalid = QStringLiteral("This is not valid firmware for Farlight");
    const int accepted = QDialog::Accepted, rejected = QDialog::Rejected, open = -1;
    QTest::newRow("upper-case .BIN and a blank, as typed") << "fw.BIN " << image << "%1" << false << ack(1)
                                                           << "Data transmit finish" << accepted;
    QTest::newRow("Enter; device error 1") << "fw.bin" << QByteArray(9, 'z') + Signature << "%1" << true
                                           << QByteArray::fromHex("000500016e6f00") << "File not found." << rejected;
    QTest::newRow("device error 9 closes silently") << "fw.bin" << image << "%1" << false
                                                    << QByteArray::fromHex("00050009") << "" << rejected;
    QTest::newRow("ACK of a block never sent: a stall waits for Cancel") << "fw.bin" << image << "%1" << false
                                                                         << ack(7) << "" << open;
    QTest::newRow("empty path") << "" << QByteArray() << "" << false << QByteArray() << "Please keyin Path." << open;
    QTest::newRow("no such file") << "" << QByteArray() << "/nonexistent/fw.bin" << false << QByteArray()
                                  << "This file not exist." << open;
    QTest::newRow("a folder") << "" << QByteArray() << m_dir.path() << false << QByteArray() << "This file not exist."
                              << open;
    QTest::newRow("not .bin") << "fw.img" << image << "%1" << false << QByteArray() << invalid << open;
    QTest::newRow("no signature") << "fw.bin" << QByteArray(2000, 'x') << "%1" << true << QByteArray() << invalid
                                  << open;
}

// A refused file leaves the dialog as it was and sends nothing; an accepted one clears the
// device's ARP entry and is uploaded with the progress shown, and the device's last answer ends it.
void TestDownloadDialog::checks()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    QFETCH(int, result);
    const QString path = name.isEmpty() ? QString() : write(name, bytes);
    DownloadDialog dialog(m_platform, m_target);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    auto *combo = dialog.findChild<QComboBox *>("Combo1");
    QTest::keyClicks(combo, typed.contains("%1") ? typed.arg(path) : typed);
    ModalScript script;
    if (enter)
        QTest::keyClick(combo, Qt::Key_Return);
    else
        QTest::mouseClick(dialog.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    const QList<FakePlatform::ArpRemoval> removal{{m_target.interfaceIndex, DeviceAddress}};
    auto *label = dialog.findChild<QLabel *>("Label1");
    if (answer.isEmpty()) {
        QTRY_COMPARE(script.log(), QStringList{message});
        QCOMPARE(script.boxes()[0].title, QStringLiteral("Farlight"));
        QVERIFY(combo->isVisible() && dialog.isVisible());
        // A write request on loopback would be queued at the device before the send returned.
        QVERIFY(!m_device.hasPendingDatagrams());
        QVERIFY(m_platform.arpRemovals.isEmpty());
        return;
    }
    QCOMPARE(nextDatagram().toHex(' '), QByteArray("00 02 2f 00 6f 63 74 65 74 00"));
    QCOMPARE(m_platform.arpRemovals, removal);
    QVERIFY(combo->isHidden() && label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("0%"));
    m_device.writeDatagram(ack(0), QHostAddress(QStringLiteral("127.0.0.1")), m_clientPort);
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

// Cancelling the file dialog changes nothing.
void TestDownloadDialog::browseCancelled()
{
    DownloadDialog dialog(m_platform, m_target);
    dialog.show();
    auto *combo = dialog.findChild<QComboBox *>("Combo1");
    combo->setEditText(QStringLiteral("kept.bin"));
    bool offered = false;
    testsupport::whenShown<QFileDialog>([&](QFileDialog *files) {
        offered = files->nameFilters().join(u';').contains(QStringLiteral("*.bin"));
        files->reject();
    });
    combo->showPopup();
    QVERIFY(offered);
    QCOMPARE(combo->currentText(), QStringLiteral("kept.bin"));
    QCOMPARE(dialog.firmwarePath(), QString());
}

QTEST_MAIN(TestDownloadDialog)
#include "tst_downloaddialog.moc"
