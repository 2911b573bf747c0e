// What the Download dialog checks before an upload and what it shows of one, against a device
// on loopback in a private network namespace; the transfer rules belong to the upload's own test.
#include "../support/modalscript.h"

#include "firmware/downloaddialog.h"
#include "netenv/fakeplatform.h"
#include "session/appstate.h"

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
    void uploadShowsProgressAndCloses_data();
    void uploadShowsProgressAndCloses();
    void browseCancelled();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QByteArray nextDatagram(int timeoutMs = 3000);

    AppState m_state;
    FakePlatform m_platform;
    QTemporaryDir m_dir;
    QUdpSocket m_device; // the device's TFTP port
    quint16 m_clientPort = 0;
};

void TestDownloadDialog::init()
{
    m_state = AppState();
    m_platform = FakePlatform();
    m_state.AdapterTable[0].IpAddress = QStringLiteral("127.0.0.1");
    m_state.AdapterTable[0].InterfaceIndex = qint32(if_nametoindex("lo"));
    m_state.AdapterCount = 1;
    m_state.DeviceTable[0].IpAddress = DeviceAddress;
    m_state.DeviceCount = 1;
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
    QTest::addColumn<QString>("name");    // file written; empty for none
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("typed");   // path typed: "%1" stands for the file's full path
    QTest::addColumn<bool>("enter");      // Enter in the path box instead of OK
    QTest::addColumn<QString>("message"); // empty: the upload starts

    const QByteArray image = QByteArray(700, 'x') + Signature.toLower() + QByteArray(300, 'y');
    QTest::newRow("upper-case .BIN and a blank, as typed") << "fw.BIN " << image << "%1" << false << "";
    QTest::newRow("signature at the very end, Enter") << "fw.bin" << QByteArray(9, 'z') + Signature << "%1" << true << "";
    QTest::newRow("empty path") << "" << QByteArray() << "" << false << "Please keyin Path.";
    QTest::newRow("no such file") << "" << QByteArray() << "/nonexistent/fw.bin" << false << "This file not exist.";
    QTest::newRow("a folder") << "" << QByteArray() << m_dir.path() << false << "This file not exist.";
    QTest::newRow("not .bin") << "fw.img" << image << "%1" << false << "This is not valid firmware for Farlight";
    QTest::newRow("no signature") << "fw.bin" << QByteArray(2000, 'x') << "%1" << true
                                  << "This is not valid firmware for Farlight";
    QTest::newRow("empty file") << "fw.bin" << QByteArray() << "%1" << false << "This is not valid firmware for Farlight";
}

// Every OK first clears the device's ARP entry; a refused file leaves the dialog as it was.
void TestDownloadDialog::checks()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(QString, message);
    const QString path = name.isEmpty() ? QString() : write(name, bytes);
    DownloadDialog dialog(m_state, m_platform, 0);
    dialog.show();
    auto *combo = dialog.findChild<QComboBox *>("Combo1");
    QTest::keyClicks(combo, typed.contains("%1") ? typed.arg(path) : typed);
    ModalScript script;
    if (enter)
        QTest::keyClick(combo, Qt::Key_Return);
    else
        QTest::mouseClick(dialog.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QCOMPARE(m_platform.arpRemovals, (QList<FakePlatform::ArpRemoval>{{m_state.AdapterTable[0].InterfaceIndex, DeviceAddress}}));
    if (message.isEmpty()) {
        QCOMPARE(nextDatagram().toHex(' '), QByteArray("00 02 2f 00 6f 63 74 65 74 00"));
        QVERIFY(combo->isHidden() && dialog.findChild<QProgressBar *>("ProgressBar1")->isVisible());
        QCOMPARE(dialog.findChild<QLabel *>("Label1")->text(), QStringLiteral("0%"));
        QCOMPARE(script.log(), QStringList());
    } else {
        QTRY_COMPARE(script.log(), QStringList{message});
        QCOMPARE(script.boxes()[0].title, QStringLiteral("Farlight"));
        QVERIFY(combo->isVisible() && dialog.isVisible());
        QCOMPARE(nextDatagram(50), QByteArray());
    }
}

void TestDownloadDialog::uploadShowsProgressAndCloses_data()
{
    QTest::addColumn<QByteArray>("answer"); // after block 1: an ACK of it, or an ERROR
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("result");
    QTest::newRow("complete") << ack(1) << QStringList{"Data transmit finish"} << int(QDialog::Accepted);
    QTest::newRow("device error 1") << QByteArray::fromHex("000500016e6f00") << QStringList{"File not found."}
                                    << int(QDialog::Rejected);
    QTest::newRow("device error 9, silent") << QByteArray::fromHex("00050009") << QStringList{} << int(QDialog::Rejected);
}

void TestDownloadDialog::uploadShowsProgressAndCloses()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, log);
    QFETCH(int, result);
    const QString path = write("small.bin", Signature + QByteArray(300, 'x'));
    DownloadDialog dialog(m_state, m_platform, 0);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.findChild<QComboBox *>("Combo1")->setEditText(path);
    ModalScript script;
    QTest::mouseClick(dialog.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QCOMPARE(nextDatagram().left(2), QByteArray::fromHex("0002"));
    m_device.writeDatagram(ack(0), QHostAddress(QStringLiteral("127.0.0.1")), m_clientPort);
    QCOMPARE(nextDatagram().size(), 4 + Signature.size() + 300);
    m_device.writeDatagram(answer, QHostAddress(QStringLiteral("127.0.0.1")), m_clientPort);
    QVERIFY(finished.wait(3000));
    QCOMPARE(script.log(), log);
    QCOMPARE(finished.at(0).at(0).toInt(), result);
    if (result == QDialog::Accepted)
        QCOMPARE(dialog.findChild<QLabel *>("Label1")->text(), QStringLiteral("100%"));
}

// Cancelling the file dialog changes nothing.
void TestDownloadDialog::browseCancelled()
{
    DownloadDialog dialog(m_state, m_platform, 0);
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
