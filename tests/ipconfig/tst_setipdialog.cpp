// What the Set IP dialog shows and which request its controls make, against a device on
// loopback; the request bytes and the matching of replies belong to the exchange's own test.
#include "../support/modalscript.h"
#include "setipsupport.h"

#include "ipconfig/setipdialog.h"
#include "netenv/udppeer.h"
#include "widgets/velmoipaddress.h"

#include <QLabel>

#include <memory>

using namespace farlight;
using testsupport::ModalScript;
using testsupport::submitSetIp;

class TestSetIpDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }

    void init()
    {
        m_password.clear();
        m_counters = SequenceCounters(); // replies are made for a run's first request
        m_dialog = std::make_unique<SetIpDialog>(testsupport::LoopbackDevice::target(), m_counters, m_password);
        m_dialog->open();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }

    void cleanup()
    {
        m_dialog.reset();
        m_device.drain();
    }

    void exchange_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QByteArray>("flagAndBody"); // the request's flag byte, then its bytes from 32 on
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("message");

        const QByteArray dhcp = QByteArray::fromHex("11");
        // The proposal's empty host field would fail the address check: DHCP does not check it.
        QTest::newRow("DHCP, without validation: OK") << QStringList() << dhcp << QByteArray("0000") << "Set DHCP OK";
        QTest::newRow("host part typed into the proposal: OK") << QStringList{"20", "", ""}
            << QByteArray::fromHex("107F000014FF0000007F0101FE") << QByteArray("0000") << "Set IP OK";
        QTest::newRow("static with gateway: failure") << QStringList{"10.1.2.3", "255.255.0.0", "10.1.1.1"}
            << QByteArray::fromHex("100A010203FFFF00000A010101") << QByteArray("0001") << "Set IP Failure";
        QTest::newRow("wrong password") << QStringList() << dhcp << QByteArray("00FF") << "Invalid Password";
    }

    void exchange()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QByteArray, flagAndBody);
        QFETCH(QByteArray, status);
        QFETCH(QString, message);

        // Static is proposed: the row typing into the host field checks the addresses proposed.
        QVERIFY(m_dialog->findChild<QAbstractButton *>(QStringLiteral("Option1"))->isChecked());
        ModalScript script;
        submitSetIp(m_dialog.get(), addresses);
        const QByteArray request = m_device.nextRequest();
        QCOMPARE((request.mid(5, 1) + request.mid(32)).toHex(' '), flagAndBody.toHex(' '));
        QCOMPARE(m_password, QStringLiteral("admin"));
        for (const VelmoIPAddress *control : m_dialog->findChildren<VelmoIPAddress *>())
            QCOMPARE(control->isEnabled(), !addresses.isEmpty());

        auto *socket = m_dialog->findChild<UdpPeer *>();
        m_device.answer(testsupport::setIpReply(status.constData()), socket->localPort());
        QTRY_COMPARE(script.log(), (QStringList{ModalScript::Login, message}));
        // A success is confirmed and closes the dialog with its socket; any other answer leaves both open.
        const bool ok = status == "0000";
        QTRY_COMPARE(m_dialog->isVisible(), !ok);
        QCOMPARE(m_dialog->result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(m_device.nextRequest(ok ? 5000 : 200).left(6).toHex(), QByteArray(ok ? "87654321a099" : ""));
        QCOMPARE(socket->isBound(), !ok);
    }

    // OK clicked again while the first request waits for its reply: an address refused leaves
    // that reply expected; once the login is up, even if it is then cancelled, it is not taken.
    void secondOk_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("log");

        QTest::newRow("empty host field") << QStringList{"", "", ""}
            << QStringList{ModalScript::Login, "127.0.0. is not a valid IP address", "Set DHCP Failure"};
        QTest::newRow("login cancelled") << QStringList() << QStringList{ModalScript::Login, ModalScript::Login};
    }

    void secondOk()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QStringList, log);

        ModalScript script;
        script.queueLogin(QStringLiteral("admin"), true);
        script.queueLogin(QStringLiteral("wrong"), false);
        submitSetIp(m_dialog.get(), {});
        QVERIFY(!m_device.nextRequest().isEmpty());
        const QByteArray reply = testsupport::setIpReply("0001");
        const quint16 port = m_dialog->findChild<UdpPeer *>()->localPort();
        // Sent before the click, the reply waits in the socket until the login's event loop runs.
        if (addresses.isEmpty())
            m_device.answer(reply, port);
        submitSetIp(m_dialog.get(), addresses);
        if (!addresses.isEmpty())
            m_device.answer(reply, port);
        QTRY_COMPARE(script.log(), log);
        // Nothing went out; a cancelled login keeps the password confirmed before.
        QCOMPARE(m_device.nextRequest(200), QByteArray());
        QCOMPARE(m_password, QStringLiteral("admin"));
    }

    // A silent device: the dialog says so and keeps waiting; OK asks again and the answer to
    // that request is taken.
    void silentDevice()
    {
        using namespace std::chrono_literals;
        m_dialog->setNoAnswerTimeout(50ms);
        auto *note = m_dialog->findChild<QLabel *>(QStringLiteral("StatusLbl"));
        ModalScript script;
        script.queueLogin(QStringLiteral("admin"), true);
        script.queueLogin(QStringLiteral("admin"), true);
        submitSetIp(m_dialog.get(), {});
        QVERIFY(!m_device.nextRequest().isEmpty());
        QTRY_VERIFY(note->text().startsWith(QStringLiteral("Time Out")));
        QVERIFY(m_dialog->isVisible());
        submitSetIp(m_dialog.get(), {});
        QCOMPARE(note->text(), QString());
        QCOMPARE(m_device.nextRequest().mid(6, 2).toHex(), QByteArray("0001"));
        m_device.answer(testsupport::setIpReply("0000", 1), m_dialog->findChild<UdpPeer *>()->localPort());
        QTRY_COMPARE(script.log(), (QStringList{ModalScript::Login, ModalScript::Login, "Set DHCP OK"}));
    }

    void loadFailure()
    {
        DeviceTarget device = testsupport::LoopbackDevice::target();
        device.adapterAddress = QStringLiteral("10.254.254.1");
        ModalScript script;
        SetIpDialog dialog(device, m_counters, m_password);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(script.log(), QStringList{"IP Address is not set. Please recheck."});
    }

private:
    SequenceCounters m_counters;
    QString m_password;
    std::unique_ptr<SetIpDialog> m_dialog;
    testsupport::LoopbackDevice m_device;
};

QTEST_MAIN(TestSetIpDialog)
#include "tst_setipdialog.moc"
