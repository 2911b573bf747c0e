// What the Set IP dialog shows and which request its controls make, against a device on
// loopback; the request bytes and the matching of replies belong to the exchange's own test.
#include "../support/modalscript.h"
#include "loopbackdevice.h"

#include "ipconfig/setipdialog.h"
#include "netenv/udppeer.h"
#include "widgets/velmoipaddress.h"

#include <memory>

using namespace farlight;
using testsupport::ModalScript;

namespace {

VelmoIPAddress *control(const SetIpDialog &dialog, int number)
{
    return dialog.findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(number));
}

void click(const SetIpDialog &dialog, const char *name)
{
    QTest::mouseClick(dialog.findChild<QAbstractButton *>(QLatin1String(name)), Qt::LeftButton);
}

// Writes the addresses given: none chooses DHCP, an empty one keeps the proposal, one without
// dots is typed where the caret is.
void fill(const SetIpDialog &dialog, const QStringList &addresses)
{
    if (addresses.isEmpty())
        click(dialog, "Option2");
    for (int i = 0; i < addresses.size(); ++i) {
        if (addresses[i].contains(u'.'))
            control(dialog, i + 1)->setIpAddress(addresses[i]);
        else
            QTest::keyClicks(QApplication::focusWidget(), addresses[i]);
    }
}

} // namespace

class TestSetIpDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }
    void init();
    void cleanup()
    {
        m_dialog.reset();
        m_device.drain();
    }

    void proposals();
    void exchange_data();
    void exchange();
    void nothingSent_data();
    void nothingSent();
    void loadFailure();

private:
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SetIpDialog> m_dialog;
    testsupport::LoopbackDevice m_device;
};

void TestSetIpDialog::init()
{
    m_state = std::make_unique<AppState>();
    m_device.fill(*m_state);
    m_dialog = std::make_unique<SetIpDialog>(*m_state, qint16(0));
    m_dialog->open();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void TestSetIpDialog::proposals()
{
    QCOMPARE(control(*m_dialog, 1)->ipAddress(), QStringLiteral("127.0.0."));
    // The caret waits in the empty host field.
    QCOMPARE(QApplication::focusWidget(), control(*m_dialog, 1)->findChild<QWidget *>(QStringLiteral("txtIP3")));
    QCOMPARE(control(*m_dialog, 2)->ipAddress(), QStringLiteral("255.0.0.0"));
    QCOMPARE(control(*m_dialog, 3)->ipAddress(), QStringLiteral("127.1.1.254"));
    QVERIFY(m_dialog->findChild<QAbstractButton *>(QStringLiteral("Option1"))->isChecked());
}

void TestSetIpDialog::exchange_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QByteArray>("flagAndBody"); // the request's flag byte, then its bytes from 32 on
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");

    const int information = QMessageBox::Information;
    // The proposal's empty host field would fail the address check: DHCP does not check it.
    QTest::newRow("DHCP, without validation: OK") << QStringList() << QByteArray::fromHex("11") << QByteArray("0000")
                                                  << "Set DHCP OK" << "Farlight" << information;
    QTest::newRow("host part typed into the proposal: OK")
        << QStringList{"20", "", ""} << QByteArray::fromHex("107F000014FF0000007F0101FE") << QByteArray("0000")
        << "Set IP OK" << "Farlight" << information;
    QTest::newRow("static with gateway: failure")
        << QStringList{"10.1.2.3", "255.255.0.0", "10.1.1.1"} << QByteArray::fromHex("100A010203FFFF00000A010101")
        << QByteArray("0001") << "Set IP Failure" << "Farlight" << information;
    QTest::newRow("DHCP: failure") << QStringList() << QByteArray::fromHex("11") << QByteArray("0001")
                                   << "Set DHCP Failure" << "Farlight" << information;
    QTest::newRow("wrong password") << QStringList() << QByteArray::fromHex("11") << QByteArray("00FF")
                                    << "Invalid Password" << "QM735XL Utility" << int(QMessageBox::NoIcon);
}

void TestSetIpDialog::exchange()
{
    QFETCH(QStringList, addresses);
    QFETCH(QByteArray, flagAndBody);
    QFETCH(QByteArray, status);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(int, icon);

    ModalScript script;
    fill(*m_dialog, addresses);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(control(*m_dialog, i)->isEnabled(), !addresses.isEmpty());
    click(*m_dialog, "Command2");
    const QByteArray request = m_device.nextRequest();
    QCOMPARE((request.mid(5, 1) + request.mid(32)).toHex(' '), flagAndBody.toHex(' '));
    QCOMPARE(m_state->AdminPassword, QStringLiteral("admin"));

    auto *sock1 = m_dialog->findChild<UdpPeer *>(QStringLiteral("sock1"));
    m_device.answer(testsupport::setIpReply(status.constData()), sock1->localPort());
    QTRY_COMPARE(script.log(), (QStringList{ModalScript::Login, message}));
    QCOMPARE(script.boxes().first().title, title);
    QCOMPARE(int(script.boxes().first().icon), icon);
    if (status == "0000") {
        // The confirmation goes out and the dialog closes with its socket.
        QTRY_VERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_device.nextRequest().left(6).toHex(), QByteArray("87654321a099"));
        QVERIFY(!sock1->isBound());
        return;
    }
    // The dialog stays; OK again asks for the password again and sends the next number.
    QVERIFY(m_dialog->isVisible());
    click(*m_dialog, "Command2");
    QCOMPARE(m_device.nextRequest().mid(6, 2).toHex(), QByteArray("0001"));
    QCOMPARE(script.log().size(), 3);
}

void TestSetIpDialog::nothingSent_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("message"); // none: the login is shown and cancelled

    QTest::newRow("login cancelled, DHCP") << QStringList() << "";
    QTest::newRow("login cancelled, static") << QStringList{"192.168.1.20", "255.255.255.0", "0.0.0.0"} << "";
    QTest::newRow("empty host field") << QStringList{"", "", ""} << "127.0.0. is not a valid IP address";
    QTest::newRow("gateway with field 0") << QStringList{"192.168.1.20", "255.255.255.0", "192.168.0.1"}
                                          << "192.168.0.1 is not valid gateway address.";
}

void TestSetIpDialog::nothingSent()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, message);

    m_state->AdminPassword = QStringLiteral("before");
    m_state->LoginOk = true;
    ModalScript script;
    if (message.isEmpty())
        script.queueLogin(QStringLiteral("wrong"), false);
    fill(*m_dialog, addresses);
    click(*m_dialog, "Command2");
    // The login comes first on the DHCP path, only after the checks on the static path.
    QCOMPARE(script.log(), QStringList{message.isEmpty() ? ModalScript::Login : message});
    if (!message.isEmpty()) {
        QCOMPARE(script.boxes().first().icon, QMessageBox::Warning);
        QCOMPARE(script.boxes().first().title, QStringLiteral("Farlight"));
        QCOMPARE(control(*m_dialog, 2)->ipAddress(), addresses[1].isEmpty() ? "255.0.0.0" : addresses[1]);
    }
    // A cancelled login keeps the password confirmed before but clears LoginOk; a refused
    // address never reaches the login.
    QCOMPARE(m_state->AdminPassword, QStringLiteral("before"));
    QCOMPARE(m_state->LoginOk, !message.isEmpty());

    // Nothing went out, and only a cancelled login used a request number: the first request
    // to arrive is the next DHCP one.
    fill(*m_dialog, {});
    click(*m_dialog, "Command2");
    QCOMPARE(m_device.nextRequest().mid(6, 2).toHex(), QByteArray(message.isEmpty() ? "0001" : "0000"));
}

void TestSetIpDialog::loadFailure()
{
    m_state->AdapterTable[0].IpAddress = QStringLiteral("10.254.254.1");
    ModalScript script;
    SetIpDialog dialog(*m_state, qint16(0));
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(script.log(), QStringList{"IP Address is not set. Please recheck."});
    QCOMPARE(script.boxes().first().icon, QMessageBox::NoIcon);
    QCOMPARE(script.boxes().first().title, QStringLiteral("QM735XL Utility"));
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

QTEST_MAIN(TestSetIpDialog)
#include "tst_setipdialog.moc"
