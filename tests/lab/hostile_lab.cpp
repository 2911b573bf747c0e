// Lab test: the main window searches, sets a device's address and uploads firmware while
// hostile_noise.py, in the lab's device namespace, floods every port this process opens with
// random, truncated and foreign datagrams. Each operation must still end as on a quiet network:
// exactly the lab's devices after 15 steps without a stall, the address set on the device, the
// exact image stored. Run through lab/with-lab.sh (farlight_add_lab_test), as root.
#include "../ipconfig/setipsupport.h"
#include "../support/files.h"
#include "../support/labstate.h"
#include "../support/labwindow.h"
#include "../support/modalscript.h"

#include "firmware/downloaddialog.h"
#include "ipconfig/setipdialog.h"
#include "macfilter/macfilterdialog.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

using namespace farlight;
using namespace Qt::StringLiterals;
using testsupport::ModalScript;

class TestHostileLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
            QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
        connect(&m_noise, &QProcess::readyReadStandardOutput, this, [this] { m_noiseOutput += m_noise.readAllStandardOutput(); });
        m_noise.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_noise.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // Noise comes from a stranger's address (added to the lab, which takes it away) and from devices.
        const QString ns = qEnvironmentVariable("FARLIGHT_LAB_DEV_NETNS");
        QCOMPARE(QProcess::execute(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"add"_s, u"192.168.77.99/24"_s, u"dev"_s,
                                             u"fld1-"_s + qEnvironmentVariable("FARLIGHT_LAB_ID")}), 0);
        m_noise.start(u"ip"_s, {u"netns"_s, u"exec"_s, ns, u"python3"_s, QStringLiteral(HOSTILE_NOISE), u"--pid"_s,
                                QString::number(getpid()), u"--target"_s, qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"),
                                u"--source"_s, u"192.168.77.99"_s, u"--source"_s, u"192.168.77.21"_s, u"--source"_s,
                                u"192.168.77.25"_s, u"--source"_s, u"10.99.0.5"_s, u"--forge-on"_s,
                                u"fld1-"_s + qEnvironmentVariable("FARLIGHT_LAB_ID"), u"--forge-from"_s, u"192.168.77.99"_s});
        QVERIFY(m_noise.waitForStarted());

        m_lab = std::make_unique<testsupport::LabWindow>();
        QVERIFY(QTest::qWaitForWindowExposed(&m_lab->window));
    }

    void cleanupTestCase()
    {
        m_lab.reset();
        m_noise.terminate();
        m_noise.waitForFinished(5000);
    }

    // Only the lab's devices, each once, every step of the progress dialog, none of them late.
    void search()
    {
        ModalScript script;
        QList<qint64> steps;
        QElapsedTimer clock;
        connect(&m_lab->window.searchSession(), &SearchSession::progress, this, [&] { steps << clock.elapsed(); });
        clock.start();
        QVERIFY(m_lab->search());
        QVERIFY2(script.boxes().isEmpty(), qPrintable(script.log().join(u'|')));
        QCOMPARE(steps.size(), SearchSession::StepCount);
        for (qsizetype i = 1; i < steps.size(); ++i)
            QVERIFY2(steps[i] - steps[i - 1] < 1000, qPrintable(u"step %1 came after %2 ms"_s.arg(i).arg(steps[i] - steps[i - 1])));

        QList<QStringList> rows;
        for (int i = 0; i < m_lab->state.deviceCount; ++i)
            rows << DeviceRowTexts(m_lab->state.deviceTable[std::size_t(i)]);
        std::sort(rows.begin(), rows.end(), [](const QStringList &a, const QStringList &b) { return a[1] < b[1]; });
        const QList<QStringList> expected = {
            {"AP-Branch", "10.99.0.5", "branch", "3", "Disabled", "00-0A-1B-2C-3D-60"},
            {"AP-Lobby", "192.168.77.21", "lobby", "6", "Enabled", "00-0A-1B-2C-3D-4E"},
            {"AP-Office", "192.168.77.22", "office", "11", "Disabled", "00-0A-1B-2C-3D-4F"},
            {"AP-Hall", "192.168.77.25", "hall", "1", "Disabled", "00-0A-1B-2C-3D-52"},
        };
        QCOMPARE(rows, expected);
        m_usedPorts << m_lab->window.searchSession().sockets().front()->localPort();
    }

    void setIp()
    {
        // A wrong password first: the stranger's "done" comes before the device's refusal.
        ModalScript script(u"admin"_s);
        script.queueLogin(u"wrong"_s, true);
        testsupport::whenShown<SetIpDialog>([&](SetIpDialog *dialog) {
            const quint16 port = dialog->findChild<UdpPeer *>()->localPort();
            m_usedPorts << port;
            if (!flooded(port))
                return dialog->reject();
            QTimer::singleShot(10000, dialog, &QDialog::reject);
            // A static address with the proposed mask and a gateway.
            testsupport::submitSetIp(dialog, {u"192.168.77.31"_s, {}, u"192.168.77.1"_s});
            if (QTest::qWaitFor([&] { return script.log().size() == 2; }))
                QTest::mouseClick(dialog->findChild<QWidget *>(u"Command2"_s), Qt::LeftButton);
        });
        m_lab->openFor(u"00-0A-1B-2C-3D-4E"_s, "setip");
        QCOMPARE(script.log(), (QStringList{ModalScript::Login, text(StringId::InvalidPassword), ModalScript::Login,
                                            text(StringId::SetIpOk)}));
        QTRY_COMPARE(testsupport::labDeviceState(u"00-0A-1B-2C-3D-4E"_s, u"ip"_s).toString(), u"192.168.77.31"_s);
    }

    // The stranger's list, answered first, must not be shown for the device's own.
    void macFilter()
    {
        QString listed;
        testsupport::whenShown<MacFilterDialog>([&](MacFilterDialog *dialog) {
            (void)QTest::qWaitFor([&] { return !dialog->table().macs().isEmpty(); }, 5000);
            for (const MacAddress &mac : dialog->table().macs())
                listed += MacKey(mac) + u' ';
            dialog->reject();
        });
        m_lab->openFor(u"00-0A-1B-2C-3D-52"_s, "mFilter");
        QCOMPARE(listed, u"001122334455 "_s);
    }

    void upload()
    {
        QTemporaryDir dir;
        QByteArray image = QByteArray("Brightway QM735XL firmware ").repeated(600);
        for (qsizetype i = 0; i < image.size(); i += 97)
            image[i] = char(i);
        const QString file = dir.filePath(u"image.bin"_s);
        QVERIFY(testsupport::writeFile(file, image));

        ModalScript script;
        testsupport::whenShown<DownloadDialog>([&](DownloadDialog *dialog) {
            QTimer::singleShot(30000, dialog, &QDialog::reject);
            dialog->findChild<QComboBox *>(u"Combo1"_s)->setEditText(file);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        });
        m_usedPorts << TftpUpload::LocalPort;
        m_lab->openFor(u"00-0A-1B-2C-3D-4F"_s, "Mload");
        QCOMPARE(script.log(), QStringList{text(StringId::DataTransmitFinish)});
        QTRY_COMPARE(testsupport::labDeviceState(u"00-0A-1B-2C-3D-4F"_s, u"firmware"_s)[u"sha256"].toString(),
                     QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
    }

    // Without this the test would also pass on a quiet network.
    void noiseReachedEveryPort()
    {
        m_noise.terminate();
        QVERIFY(m_noise.waitForFinished(5000));
        m_noiseOutput += m_noise.readAllStandardOutput();
        qInfo("noise: %s", m_noiseOutput.simplified().constData());
        const qsizetype forged = m_noiseOutput.indexOf("forged ");
        QVERIFY2(forged >= 0 && m_noiseOutput.mid(forged + 7).split('\n').first().toInt() >= 3, "no forged answers were sent");
        for (quint16 port : m_usedPorts) {
            const qsizetype at = m_noiseOutput.indexOf("sent " + QByteArray::number(port) + ' ');
            QVERIFY2(at >= 0, qPrintable(u"no noise reached port %1"_s.arg(port)));
            const QByteArray count = m_noiseOutput.mid(at).split('\n').first().split(' ').last();
            QVERIFY2(count.toInt() >= 20, qPrintable(u"only %1 datagrams reached port %2"_s.arg(count).arg(port)));
        }
    }

private:
    // Waits until the noise has found @p port and has had @p ms to flood it.
    bool flooded(quint16 port, int ms = 300)
    {
        const QByteArray line = "port " + QByteArray::number(port) + '\n';
        const bool found = QTest::qWaitFor([&] { return m_noiseOutput.contains(line); }, 5000);
        QTest::qWait(ms);
        return found;
    }

    QProcess m_noise;
    QByteArray m_noiseOutput;
    std::unique_ptr<testsupport::LabWindow> m_lab;
    QList<quint16> m_usedPorts;
};

QTEST_MAIN(TestHostileLab)
#include "hostile_lab.moc"
