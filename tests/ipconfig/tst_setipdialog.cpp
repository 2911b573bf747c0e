// Runs in a private network namespace that has only loopback. The workstation's adapter is
// 127.0.0.1 on lo; the dialog's broadcasts to 255.255.255.255:4000 reach the test's listener on
// port 4000, and the test answers as the device from 127.0.0.2.
#include "modalscript.h"

#include "session/appstate.h"
#include "ipconfig/setipdialog.h"
#include "netenv/udppeer.h"
#include "widgets/velmoipaddress.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <net/if.h>

#include <memory>

using namespace farlight;
using testsupport::ModalScript;

namespace {

constexpr quint16 DevicePortNumber = 4000;
const QString AdapterAddress = QStringLiteral("127.0.0.1");
const QString Password = QStringLiteral("admin");
const QByteArray HostName = QByteArrayLiteral("AP-Lobby");
const QByteArray DeviceMac = QByteArray::fromHex("000A1B2C3D4E");
const QByteArray AdapterMac = QByteArray::fromHex("02005E100001");

// A datagram as the device expects it: the 8-byte header given in hex, the password padded to
// 12 bytes and each byte XORed with the host-name character its key byte picks (key: device MAC,
// then adapter MAC), both MACs, then the addresses of a static request.
QByteArray expected(const char *headerHex, const QByteArray &addresses = {})
{
    QByteArray password = Password.toLatin1().leftJustified(12, '\0');
    const QByteArray key = DeviceMac + AdapterMac;
    for (int i = 0; i < 12; ++i)
        password[i] = char(password[i] ^ HostName[quint8(key[i]) % HostName.size()]);
    return QByteArray::fromHex(headerHex) + password + DeviceMac + AdapterMac + addresses;
}

// A set-IP reply to @p request: magic, opcode, the request's flag and sequence, the requesting
// adapter's MAC, six bytes not examined, the status, one spare byte.
QByteArray replyTo(const QByteArray &request, quint16 status)
{
    return QByteArray::fromHex("8765432121") + request.mid(5, 3) + request.mid(26, 6) + QByteArray(6, '\0')
        + char(status >> 8) + char(status & 0xFF) + '\0';
}

VelmoIPAddress *control(const SetIpDialog &dialog, int number)
{
    return dialog.findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(number));
}

UdpPeer *sock1(const SetIpDialog &dialog)
{
    return dialog.findChild<UdpPeer *>(QStringLiteral("sock1"));
}

void click(const SetIpDialog &dialog, const char *name)
{
    QTest::mouseClick(dialog.findChild<QAbstractButton *>(QLatin1String(name)), Qt::LeftButton);
}

// Chooses DHCP, or fills in a static choice that passes the checks.
void choose(const SetIpDialog &dialog, bool dhcp)
{
    if (dhcp)
        return click(dialog, "Option2");
    control(dialog, 1)->setIpAddress(QStringLiteral("192.168.1.20"));
    control(dialog, 2)->setIpAddress(QStringLiteral("255.255.255.0"));
    control(dialog, 3)->setIpAddress(QStringLiteral("0.0.0.0"));
}

} // namespace

class TestSetIpDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void proposals();
    void request_data();
    void request();
    void nothingSent_data();
    void nothingSent();
    void reply_data();
    void reply();
    void ignoredReplies_data();
    void ignoredReplies();
    void loadFailure_data();
    void loadFailure();

private:
    std::unique_ptr<SetIpDialog> openDialog();
    // The next datagram the device's listener receives, or none after 5 seconds.
    QByteArray nextRequest();
    void answer(const SetIpDialog &dialog, const QByteArray &reply);

    std::unique_ptr<AppState> m_state;
    QUdpSocket m_listener;
    QUdpSocket m_device;
};

void TestSetIpDialog::initTestCase()
{
    QVERIFY(m_listener.bind(QHostAddress::AnyIPv4, DevicePortNumber));
    QVERIFY(m_device.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
}

void TestSetIpDialog::init()
{
    m_state = std::make_unique<AppState>();
    m_state->AdapterTable[0] = {.IpAddress = AdapterAddress, .SubnetMask = QStringLiteral("255.0.0.0"),
                                .Gateway = QStringLiteral("0.0.0.0"), .Mac = {},
                                .InterfaceIndex = int(if_nametoindex("lo")), .HasAddress = 1};
    std::copy(AdapterMac.cbegin(), AdapterMac.cend(), m_state->AdapterTable[0].Mac.begin());
    m_state->AdapterCount = 1;
    m_state->DeviceTable[0].HostName = QString::fromLatin1(HostName);
    std::copy(DeviceMac.cbegin(), DeviceMac.cend(), m_state->DeviceTable[0].Mac.begin());
    m_state->DeviceCount = 1;
}

void TestSetIpDialog::cleanup()
{
    // Whatever a test left unread must not be taken for the next test's request.
    while (m_listener.hasPendingDatagrams())
        m_listener.receiveDatagram();
}

std::unique_ptr<SetIpDialog> TestSetIpDialog::openDialog()
{
    auto dialog = std::make_unique<SetIpDialog>(*m_state, qint16(0));
    dialog->open();
    return dialog;
}

QByteArray TestSetIpDialog::nextRequest()
{
    const QDeadlineTimer deadline(5000);
    while (!m_listener.hasPendingDatagrams() && !deadline.hasExpired())
        QTest::qWait(5);
    return m_listener.hasPendingDatagrams() ? m_listener.receiveDatagram().data() : QByteArray();
}

void TestSetIpDialog::answer(const SetIpDialog &dialog, const QByteArray &reply)
{
    QCOMPARE(m_device.writeDatagram(reply, QHostAddress(AdapterAddress), sock1(dialog)->localPort()),
             qint64(reply.size()));
}

void TestSetIpDialog::proposals()
{
    m_state->AdapterTable[0].SubnetMask = QStringLiteral("255.255.0.0");
    m_state->AdapterTable[0].Gateway = QStringLiteral("127.0.1.254");
    const auto dialog = openDialog();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));

    QCOMPARE(control(*dialog, 1)->ipAddress(), QStringLiteral("127.0.0."));
    // The caret waits in the empty host field.
    QCOMPARE(QApplication::focusWidget(), control(*dialog, 1)->findChild<QWidget *>(QStringLiteral("txtIP3")));
    QCOMPARE(control(*dialog, 2)->ipAddress(), QStringLiteral("255.255.0.0"));
    QCOMPARE(control(*dialog, 3)->ipAddress(), QStringLiteral("127.0.1.254"));
    const auto *option1 = dialog->findChild<QAbstractButton *>(QStringLiteral("Option1"));
    QVERIFY(option1->isChecked());
    QCOMPARE(option1->accessibleName(), QStringLiteral("Static"));
    QCOMPARE(dialog->findChild<QWidget *>(QStringLiteral("Option2"))->accessibleName(), QStringLiteral("Enable DHCP"));
    QCOMPARE(sock1(*dialog)->localAddress(), AdapterAddress);
}

void TestSetIpDialog::request_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<QString>("typedHostPart");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QByteArray>("request");

    // The proposal's empty host field would fail the address check: DHCP does not check it.
    QTest::newRow("DHCP, without validation") << true << "" << QStringList() << expected("8765432121110000");
    QTest::newRow("host part typed into the proposal")
        << false << "20" << QStringList() << expected("8765432121100000", QByteArray::fromHex("7F000014FF00000000000000"));
    QTest::newRow("10.1.2.3, 255.255.0.0, gateway 10.1.1.1")
        << false << "" << QStringList{"10.1.2.3", "255.255.0.0", "10.1.1.1"}
        << expected("8765432121100000", QByteArray::fromHex("0A010203FFFF00000A010101"));
}

void TestSetIpDialog::request()
{
    QFETCH(bool, dhcp);
    QFETCH(QString, typedHostPart);
    QFETCH(QStringList, addresses);
    QFETCH(QByteArray, request);

    ModalScript script(Password);
    const auto dialog = openDialog();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClicks(QApplication::focusWidget(), typedHostPart);
    for (int i = 0; i < addresses.size(); ++i)
        control(*dialog, i + 1)->setIpAddress(addresses[i]);
    if (dhcp)
        choose(*dialog, true);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(control(*dialog, i)->isEnabled(), !dhcp);
    click(*dialog, "Command2");
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QCOMPARE(nextRequest().toHex(' '), request.toHex(' '));
    QVERIFY(dialog->isVisible());
}

void TestSetIpDialog::nothingSent_data()
{
    QTest::addColumn<QStringList>("addresses"); // none: DHCP; an empty one keeps the proposal
    QTest::addColumn<QString>("message");       // none: the login is shown and cancelled

    const QStringList good{"192.168.1.20", "255.255.255.0", "0.0.0.0"};
    QTest::newRow("login cancelled, DHCP") << QStringList() << "";
    QTest::newRow("login cancelled, static") << good << "";
    QTest::newRow("empty host field") << QStringList{"", "255.0.0.0", "0.0.0.0"} << "127.0.0. is not a valid IP address";
    QTest::newRow("mask not in the table") << QStringList{"192.168.1.20", "255.255.255.254", "0.0.0.0"}
                                           << "Mask can't set 255.255.255.254";
    QTest::newRow("gateway with field 0") << QStringList{"192.168.1.20", "255.255.255.0", "192.168.0.1"}
                                          << "192.168.0.1 is not valid gateway address.";
}

void TestSetIpDialog::nothingSent()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, message);

    ModalScript script(Password);
    if (message.isEmpty())
        script.queueLogin(QStringLiteral("wrong"), false);
    const auto dialog = openDialog();
    if (addresses.isEmpty())
        choose(*dialog, true);
    for (int i = 0; i < addresses.size(); ++i) {
        if (!addresses[i].isEmpty())
            control(*dialog, i + 1)->setIpAddress(addresses[i]);
    }
    click(*dialog, "Command2");
    // The login comes first on the DHCP path, only after the checks on the static path.
    QCOMPARE(script.log(), QStringList{message.isEmpty() ? ModalScript::Login : message});
    if (!message.isEmpty()) {
        QCOMPARE(script.boxes().first().icon, QMessageBox::Warning);
        QCOMPARE(script.boxes().first().title, QStringLiteral("Farlight"));
        QCOMPARE(control(*dialog, 2)->ipAddress(), addresses[1]);
    }

    // Nothing went out, and only a cancelled login used a request number: the first request
    // to arrive is the next DHCP one.
    choose(*dialog, true);
    click(*dialog, "Command2");
    QCOMPARE(nextRequest().left(8).toHex(' '),
             QByteArray(message.isEmpty() ? "87 65 43 21 21 11 00 01" : "87 65 43 21 21 11 00 00"));
}

void TestSetIpDialog::reply_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("message");

    QTest::newRow("status 0, DHCP") << true << 0 << 1 << "Set DHCP OK";
    QTest::newRow("status 0, static") << false << 0 << 1 << "Set IP OK";
    QTest::newRow("status 0, the reply arriving three times") << true << 0 << 3 << "Set DHCP OK";
    QTest::newRow("status 1, static") << false << 1 << 1 << "Set IP Failure";
    QTest::newRow("status 1, DHCP") << true << 1 << 1 << "Set DHCP Failure";
    QTest::newRow("status 255") << true << 255 << 1 << "Invalid Password";
    QTest::newRow("status 255, the reply arriving twice") << false << 255 << 2 << "Invalid Password";
}

void TestSetIpDialog::reply()
{
    QFETCH(bool, dhcp);
    QFETCH(int, status);
    QFETCH(int, copies);
    QFETCH(QString, message);

    ModalScript script(Password);
    const auto dialog = openDialog();
    choose(*dialog, dhcp);
    click(*dialog, "Command2");
    const QByteArray first = nextRequest();
    QCOMPARE(first.size(), dhcp ? 32 : 44);
    for (int i = 0; i < copies; ++i)
        answer(*dialog, replyTo(first, quint16(status)));
    QTRY_COMPARE(script.boxes().size(), 1);
    // A wrong password is told without an icon, under the application title.
    QCOMPARE(script.boxes().first().icon, status == 255 ? QMessageBox::NoIcon : QMessageBox::Information);
    QCOMPARE(script.boxes().first().title, status == 255 ? QStringLiteral("QM735XL Utility") : QStringLiteral("Farlight"));
    if (status == 0) {
        // One message however many replies came, one confirmation, and the dialog closes.
        QTRY_VERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!sock1(*dialog)->isBound());
        QCOMPARE(nextRequest().toHex(' '), expected("87654321A0990000").toHex(' '));
        QVERIFY(!m_listener.hasPendingDatagrams());
        QCOMPARE(script.log(), (QStringList{ModalScript::Login, message}));
        return;
    }
    QVERIFY(dialog->isVisible());
    QVERIFY(sock1(*dialog)->isBound());

    // OK again asks for the password again and sends the next number; a copy of the first
    // reply showed nothing.
    click(*dialog, "Command2");
    const QByteArray second = nextRequest();
    QCOMPARE(second.mid(6, 2).toHex(), QByteArray("0001"));
    answer(*dialog, replyTo(second, 255));
    QTRY_COMPARE(script.boxes().size(), 2);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message, ModalScript::Login, "Invalid Password"}));
}

void TestSetIpDialog::ignoredReplies_data()
{
    QTest::addColumn<int>("length"); // -1 keeps the reply's own length
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("replacement");

    // Each row spoils one part of a success reply; the failure reply that follows is the first taken.
    QTest::newRow("22 bytes") << 22 << 0 << QByteArray();
    QTest::newRow("wrong magic") << -1 << 0 << QByteArray::fromHex("87654322");
    QTest::newRow("confirmation opcode") << -1 << 4 << QByteArray::fromHex("A0");
    QTest::newRow("next sequence") << -1 << 6 << QByteArray::fromHex("0001");
    QTest::newRow("another adapter's MAC") << -1 << 8 << QByteArray::fromHex("02005E100002");
    QTest::newRow("unknown status 2") << -1 << 20 << QByteArray::fromHex("0002");
}

void TestSetIpDialog::ignoredReplies()
{
    QFETCH(int, length);
    QFETCH(int, offset);
    QFETCH(QByteArray, replacement);

    ModalScript script(Password);
    const auto dialog = openDialog();
    choose(*dialog, false);
    click(*dialog, "Command2");
    const QByteArray request = nextRequest();
    QByteArray spoiled = replyTo(request, 0).replace(offset, replacement.size(), replacement);
    if (length >= 0)
        spoiled.truncate(length);
    answer(*dialog, spoiled);
    answer(*dialog, replyTo(request, 1));
    QTRY_COMPARE(script.boxes().size(), 1);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, "Set IP Failure"}));
}

void TestSetIpDialog::loadFailure_data()
{
    QTest::addColumn<QString>("adapterAddress");
    QTest::addColumn<int>("deviceIndex");
    QTest::addColumn<int>("adapterIndex");

    QTest::newRow("adapter address not on this machine") << "10.254.254.1" << 0 << 0;
    QTest::newRow("device index past the found devices") << AdapterAddress << 1 << 0;
    QTest::newRow("adapter index past the inventory") << AdapterAddress << 0 << 1;
}

void TestSetIpDialog::loadFailure()
{
    QFETCH(QString, adapterAddress);
    QFETCH(int, deviceIndex);
    QFETCH(int, adapterIndex);

    m_state->AdapterTable[0].IpAddress = adapterAddress;
    m_state->DeviceTable[0].AdapterIndex = qint16(adapterIndex);
    ModalScript script(Password);
    SetIpDialog dialog(*m_state, qint16(deviceIndex));
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(script.log(), QStringList{"IP Address is not set. Please recheck."});
    QCOMPARE(script.boxes().first().icon, QMessageBox::NoIcon);
    QCOMPARE(script.boxes().first().title, QStringLiteral("QM735XL Utility"));
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!sock1(dialog)->isBound());
}

QTEST_MAIN(TestSetIpDialog)
#include "tst_setipdialog.moc"
