// Runs in a private network namespace that has only loopback. The workstation's adapter is
// 127.0.0.1 on lo; the dialog's broadcasts to 255.255.255.255:4000 reach the test's listener on
// port 4000, and the test answers as the device from 127.0.0.2.
#include "modalscript.h"

#include "app/appstate.h"
#include "ipconfig/setipdialog.h"
#include "netenv/udppeer.h"
#include "widgets/velmoipaddress.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QRadioButton>
#include <QUdpSocket>

#include <net/if.h>

#include <memory>

using namespace farlight;
using testsupport::ModalScript;

namespace {

constexpr quint16 DevicePortNumber = 4000;
const QString AdapterAddress = QStringLiteral("127.0.0.1");
const QString DeviceAddress = QStringLiteral("127.0.0.2");
const QString Password = QStringLiteral("admin");
const QByteArray HostName = QByteArrayLiteral("AP-Lobby");
const QByteArray DeviceMac = QByteArray::fromHex("000A1B2C3D4E");
const QByteArray AdapterMac = QByteArray::fromHex("02005E100001");
const QByteArray OtherAdapterMac = QByteArray::fromHex("02005E100002");
const QString InvalidPasswordText = QStringLiteral("Invalid Password");
const QString NotSetText = QStringLiteral("IP Address is not set. Please recheck.");

MacAddress mac(const QByteArray &bytes)
{
    MacAddress result{};
    std::copy(bytes.cbegin(), bytes.cend(), result.begin());
    return result;
}

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

} // namespace

class TestSetIpDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void proposals();
    void dhcpGreysAndSendsWithoutValidation();
    void staticRequest_data();
    void staticRequest();
    void validationFailure_data();
    void validationFailure();
    void loginCancelled_data();
    void loginCancelled();
    void successConfirmsAndCloses_data();
    void successConfirmsAndCloses();
    void failureStaysAndAsksAgain_data();
    void failureStaysAndAsksAgain();
    void ignoredReplies_data();
    void ignoredReplies();
    void loadFailure_data();
    void loadFailure();

private:
    static VelmoIPAddress *control(const SetIpDialog &dialog, int number)
    {
        return dialog.findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(number));
    }
    static UdpPeer *sock1(const SetIpDialog &dialog) { return dialog.findChild<UdpPeer *>(QStringLiteral("sock1")); }
    static void clickOk(SetIpDialog &dialog)
    {
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
    }
    // Chooses DHCP, or fills in a static choice that passes the checks.
    static void choose(SetIpDialog &dialog, bool dhcp);
    std::unique_ptr<SetIpDialog> openDialog();
    // The next datagram the device's listener receives, or an invalid one after 5 seconds.
    QByteArray nextRequest();
    void answer(const SetIpDialog &dialog, const QByteArray &reply);

    std::unique_ptr<AppState> m_state;
    QUdpSocket m_listener;
    QUdpSocket m_device;
};

void TestSetIpDialog::initTestCase()
{
    QVERIFY(m_listener.bind(QHostAddress::AnyIPv4, DevicePortNumber));
    QVERIFY(m_device.bind(QHostAddress(DeviceAddress), 0));
}

void TestSetIpDialog::init()
{
    m_state = std::make_unique<AppState>();
    m_state->AdapterTable[0] = {AdapterAddress, QStringLiteral("255.0.0.0"), QStringLiteral("0.0.0.0"),
                                mac(AdapterMac), int(if_nametoindex("lo")), 1};
    m_state->AdapterTable[1] = {QStringLiteral("10.254.254.1"), QStringLiteral("255.255.255.0"),
                                QStringLiteral("10.254.254.254"), mac(OtherAdapterMac), 0, 1};
    m_state->AdapterCount = 2;
    DeviceRecord &device = m_state->DeviceTable[0];
    device.HostName = QString::fromLatin1(HostName);
    device.IpAddress = DeviceAddress;
    device.Mac = mac(DeviceMac);
    device.AdapterIndex = 0;
    m_state->DeviceCount = 1;
}

void TestSetIpDialog::cleanup()
{
    // Whatever a test left unread must not be taken for the next test's request.
    while (m_listener.hasPendingDatagrams())
        m_listener.receiveDatagram();
}

void TestSetIpDialog::choose(SetIpDialog &dialog, bool dhcp)
{
    if (dhcp) {
        QTest::mouseClick(dialog.findChild<QRadioButton *>(QStringLiteral("Option2")), Qt::LeftButton);
        return;
    }
    control(dialog, 1)->setIpAddress(QStringLiteral("192.168.1.20"));
    control(dialog, 2)->setIpAddress(QStringLiteral("255.255.255.0"));
    control(dialog, 3)->setIpAddress(QStringLiteral("0.0.0.0"));
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

    QCOMPARE(dialog->windowTitle(), QStringLiteral("Set IP"));
    const VelmoIPAddress *address = control(*dialog, 1);
    QCOMPARE(address->ipAddress(), QStringLiteral("127.0.0."));
    // The caret waits in the empty host field.
    QCOMPARE(QApplication::focusWidget(), address->findChild<QWidget *>(QStringLiteral("txtIP3")));
    QCOMPARE(control(*dialog, 2)->ipAddress(), QStringLiteral("255.255.0.0"));
    QCOMPARE(control(*dialog, 3)->ipAddress(), QStringLiteral("127.0.1.254"));
    const auto *option1 = dialog->findChild<QRadioButton *>(QStringLiteral("Option1"));
    QVERIFY(option1->isChecked());
    QCOMPARE(option1->accessibleName(), QStringLiteral("Static"));
    QCOMPARE(dialog->findChild<QRadioButton *>(QStringLiteral("Option2"))->accessibleName(),
             QStringLiteral("Enable DHCP"));
    QVERIFY(sock1(*dialog)->isBound());
    QCOMPARE(sock1(*dialog)->localAddress(), AdapterAddress);
}

void TestSetIpDialog::dhcpGreysAndSendsWithoutValidation()
{
    ModalScript script(Password);
    const auto dialog = openDialog();
    // The proposal's empty host field would fail the address check.
    choose(*dialog, true);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(!control(*dialog, i)->isEnabled());
    clickOk(*dialog);
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QCOMPARE(nextRequest().toHex(' '), expected("8765432121110000").toHex(' '));
    QVERIFY(dialog->isVisible());

    QTest::mouseClick(dialog->findChild<QRadioButton *>(QStringLiteral("Option1")), Qt::LeftButton);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(control(*dialog, i)->isEnabled());
}

void TestSetIpDialog::staticRequest_data()
{
    QTest::addColumn<QString>("typedHostPart"); // empty: the three addresses below are written
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("host part typed into the proposal")
        << "20" << QStringList() << QByteArray::fromHex("7F000014" "FF000000" "00000000");
    QTest::newRow("10.1.2.3, 255.255.0.0, gateway 10.1.1.1") << "" << QStringList{"10.1.2.3", "255.255.0.0", "10.1.1.1"}
                                                             << QByteArray::fromHex("0A010203" "FFFF0000" "0A010101");
}

void TestSetIpDialog::staticRequest()
{
    QFETCH(QString, typedHostPart);
    QFETCH(QStringList, addresses);
    QFETCH(QByteArray, body);

    ModalScript script(Password);
    const auto dialog = openDialog();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClicks(QApplication::focusWidget(), typedHostPart);
    for (int i = 0; i < addresses.size(); ++i)
        control(*dialog, i + 1)->setIpAddress(addresses[i]);
    clickOk(*dialog);
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    const QByteArray request = nextRequest();
    QCOMPARE(request.size(), 44);
    QCOMPARE(request.toHex(' '), expected("8765432121100000", body).toHex(' '));
}

void TestSetIpDialog::validationFailure_data()
{
    QTest::addColumn<QStringList>("addresses"); // an empty one keeps the proposal
    QTest::addColumn<QString>("message");

    QTest::newRow("empty host field") << QStringList{"", "255.0.0.0", "0.0.0.0"} << "127.0.0. is not a valid IP address";
    QTest::newRow("mask not in the table") << QStringList{"192.168.1.20", "255.255.255.254", "0.0.0.0"}
                                           << "Mask can't set 255.255.255.254";
    QTest::newRow("gateway with field 0") << QStringList{"192.168.1.20", "255.255.255.0", "192.168.0.1"}
                                          << "192.168.0.1 is not valid gateway address.";
}

void TestSetIpDialog::validationFailure()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, message);

    ModalScript script(Password);
    const auto dialog = openDialog();
    for (int i = 0; i < 3; ++i) {
        if (!addresses[i].isEmpty())
            control(*dialog, i + 1)->setIpAddress(addresses[i]);
    }
    clickOk(*dialog);

    // Only the message: no login, no request number used, the values left for correction.
    QCOMPARE(script.log(), QStringList{message});
    QCOMPARE(script.boxes().first().icon, QMessageBox::Warning);
    QCOMPARE(script.boxes().first().title, QStringLiteral("Farlight"));
    QCOMPARE(control(*dialog, 2)->ipAddress(), addresses[1]);
    QVERIFY(dialog->isVisible());
    // Nothing went out: the first request to arrive is the DHCP one, numbered 0.
    choose(*dialog, true);
    clickOk(*dialog);
    QCOMPARE(nextRequest().left(8).toHex(' '), QByteArray("87 65 43 21 21 11 00 00"));
}

void TestSetIpDialog::loginCancelled_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::newRow("DHCP") << true;
    QTest::newRow("static") << false;
}

void TestSetIpDialog::loginCancelled()
{
    QFETCH(bool, dhcp);

    ModalScript script(Password);
    script.queueLogin(QStringLiteral("wrong"), false);
    const auto dialog = openDialog();
    choose(*dialog, dhcp);
    clickOk(*dialog);
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QVERIFY(!m_state->LoginOk);

    // The cancelled request used number 0: the first request that goes out carries 1.
    clickOk(*dialog);
    QCOMPARE(script.loginCount(), 2);
    QCOMPARE(nextRequest().left(8).toHex(' '), QByteArray(dhcp ? "87 65 43 21 21 11 00 01" : "87 65 43 21 21 10 00 01"));
}

void TestSetIpDialog::successConfirmsAndCloses_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("message");

    QTest::newRow("DHCP") << true << 1 << "Set DHCP OK";
    QTest::newRow("static") << false << 1 << "Set IP OK";
    QTest::newRow("DHCP, the reply arriving three times") << true << 3 << "Set DHCP OK";
}

void TestSetIpDialog::successConfirmsAndCloses()
{
    QFETCH(bool, dhcp);
    QFETCH(int, copies);
    QFETCH(QString, message);

    ModalScript script(Password);
    SetIpDialog dialog(*m_state, 0);
    // The device answers every set-IP request it hears, while the dialog runs modally.
    QList<QByteArray> received;
    connect(&m_listener, &QUdpSocket::readyRead, &dialog, [&] {
        while (m_listener.hasPendingDatagrams()) {
            const QByteArray datagram = m_listener.receiveDatagram().data();
            received.append(datagram);
            for (int i = 0; datagram.at(4) == '\x21' && i < copies; ++i)
                answer(dialog, replyTo(datagram, 0));
        }
    });
    testsupport::whenShown<SetIpDialog>([dhcp](SetIpDialog *shown) {
        choose(*shown, dhcp);
        clickOk(*shown);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    disconnect(&m_listener, nullptr, &dialog, nullptr);
    QVERIFY(!sock1(dialog)->isBound());

    // One message however many replies came, shown before the confirmation went out.
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message}));
    QCOMPARE(script.boxes().first().icon, QMessageBox::Information);
    QCOMPARE(script.boxes().first().title, QStringLiteral("Farlight"));
    while (m_listener.hasPendingDatagrams())
        received.append(m_listener.receiveDatagram().data());
    QCOMPARE(received.size(), 2);
    QCOMPARE(received[0].size(), dhcp ? 32 : 44);
    QCOMPARE(received[1].toHex(' '), expected("87654321A0990000").toHex(' '));
}

void TestSetIpDialog::failureStaysAndAsksAgain_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("information"); // else no icon and the application title

    QTest::newRow("status 1, static") << false << 1 << 1 << "Set IP Failure" << true;
    QTest::newRow("status 1, DHCP") << true << 1 << 1 << "Set DHCP Failure" << true;
    QTest::newRow("status 255") << true << 255 << 1 << InvalidPasswordText << false;
    QTest::newRow("status 255, the reply arriving twice") << false << 255 << 2 << InvalidPasswordText << false;
}

void TestSetIpDialog::failureStaysAndAsksAgain()
{
    QFETCH(bool, dhcp);
    QFETCH(int, status);
    QFETCH(int, copies);
    QFETCH(QString, message);
    QFETCH(bool, information);

    ModalScript script(Password);
    const auto dialog = openDialog();
    choose(*dialog, dhcp);
    clickOk(*dialog);
    const QByteArray first = nextRequest();
    for (int i = 0; i < copies; ++i)
        answer(*dialog, replyTo(first, quint16(status)));
    QTRY_COMPARE(script.boxes().size(), 1);
    QCOMPARE(script.boxes().first().text, message);
    QCOMPARE(script.boxes().first().icon, information ? QMessageBox::Information : QMessageBox::NoIcon);
    QCOMPARE(script.boxes().first().title, information ? QStringLiteral("Farlight") : QStringLiteral("QM735XL Utility"));
    QVERIFY(dialog->isVisible());
    QVERIFY(sock1(*dialog)->isBound());

    // OK again asks for the password again and sends the next number; a copy of the first
    // reply showed nothing.
    clickOk(*dialog);
    const QByteArray second = nextRequest();
    QCOMPARE(second.mid(6, 2).toHex(), QByteArray("0001"));
    answer(*dialog, replyTo(second, 255));
    QTRY_COMPARE(script.boxes().size(), 2);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message, ModalScript::Login, InvalidPasswordText}));
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
    QTest::newRow("another adapter's MAC") << -1 << 8 << OtherAdapterMac;
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
    clickOk(*dialog);
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
    QTest::newRow("adapter index past the inventory") << AdapterAddress << 0 << 2;
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
    QCOMPARE(script.log(), QStringList{NotSetText});
    QCOMPARE(script.boxes().first().icon, QMessageBox::NoIcon);
    QCOMPARE(script.boxes().first().title, QStringLiteral("QM735XL Utility"));
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!dialog.isVisible());
    QVERIFY(!sock1(dialog)->isBound());
}

QTEST_MAIN(TestSetIpDialog)
#include "tst_setipdialog.moc"
