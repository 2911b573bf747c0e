// Runs in a private network namespace that has only loopback. The workstation's adapter is
// 127.0.0.1 on lo; the dialog's broadcasts to 255.255.255.255:4000 reach the test's listener on
// port 4000, and the test answers as the device from 127.0.0.2.
#include "modalscript.h"

#include "app/appstate.h"
#include "ipconfig/setipdialog.h"
#include "netenv/udppeer.h"
#include "widgets/velmoipaddress.h"

#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
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
constexpr MacAddress DeviceMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr MacAddress AdapterMac{0x02, 0x00, 0x5E, 0x10, 0x00, 0x01};
constexpr MacAddress OtherAdapterMac{0x02, 0x00, 0x5E, 0x10, 0x00, 0x02};

const QString SetIpOkText = QStringLiteral("Set IP OK");
const QString SetDhcpOkText = QStringLiteral("Set DHCP OK");
const QString SetIpFailureText = QStringLiteral("Set IP Failure");
const QString SetDhcpFailureText = QStringLiteral("Set DHCP Failure");
const QString InvalidPasswordText = QStringLiteral("Invalid Password");
const QString NotSetText = QStringLiteral("IP Address is not set. Please recheck.");
const QString FarlightTitle = QStringLiteral("Farlight");
const QString UtilityTitle = QStringLiteral("QM735XL Utility");

QByteArray macBytes(const MacAddress &mac)
{
    return QByteArray(reinterpret_cast<const char *>(mac.data()), qsizetype(mac.size()));
}

// The 12-byte password field as the device expects it: the password padded with zero bytes,
// each byte XORed with the host-name character that the key byte picks (key: device MAC, then
// adapter MAC).
QByteArray scrambledPassword(const QString &password)
{
    QByteArray field = password.toLatin1().leftJustified(12, '\0', true);
    const QByteArray key = macBytes(DeviceMac) + macBytes(AdapterMac);
    for (int i = 0; i < 12; ++i)
        field[i] = char(field[i] ^ HostName[quint8(key[i]) % HostName.size()]);
    return field;
}

// A set-IP reply to @p request, written from the reply layout: magic, opcode 0x21, the
// request's flag and sequence, the requesting adapter's MAC, status at 20..21, one spare byte.
QByteArray replyTo(const QByteArray &request, quint16 status)
{
    QByteArray reply = QByteArray::fromHex("8765432121");
    reply += request.mid(5, 3);                     // flag and sequence
    reply += request.mid(26, 6);                    // the requesting adapter's MAC
    reply += QByteArray(6, '\0');                   // bytes 14..19, not examined
    reply += char(status >> 8);
    reply += char(status & 0xFF);
    reply += '\0';
    return reply;
}

QWidget *field(const VelmoIPAddress *control, int index)
{
    return control->findChild<QWidget *>(QStringLiteral("txtIP%1").arg(index));
}

QStringList fieldTexts(const VelmoIPAddress *control)
{
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts.append(control->findChild<QLineEdit *>(QStringLiteral("txtIP%1").arg(i))->text());
    return texts;
}

int twipsToPixels(int twips, qreal dpi)
{
    return qRound(twips * dpi / 1440.0);
}

// Counts the times a widget is shown.
class ShowCounter : public QObject
{
public:
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

} // namespace

class TestSetIpDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void proposals_data();
    void proposals();
    void captionsAndPlacement();
    void optionsEnableAddressControls();
    void labelsSelectTheirOptions();

    void dhcpRequestWithoutValidation();
    void staticRequest_data();
    void staticRequest();
    void validationFailure_data();
    void validationFailure();
    void loginCancelled_data();
    void loginCancelled();

    void successConfirmsAndCloses_data();
    void successConfirmsAndCloses();
    void invalidPasswordStaysAndAsksAgain();
    void failureStatus_data();
    void failureStatus();
    void ignoredReplies_data();
    void ignoredReplies();
    void replyAfterFailedValidationIsTaken();
    void replyWhileLoginIsUpIsIgnored();
    void sendFailure();
    void socketErrorsSuppressed();

    void closeClosesSocket_data();
    void closeClosesSocket();
    void loadFailure_data();
    void loadFailure();

private:
    std::unique_ptr<SetIpDialog> openDialog();
    static VelmoIPAddress *control(const SetIpDialog &dialog, int number);
    static UdpPeer *sock1(const SetIpDialog &dialog);
    static void clickOk(SetIpDialog &dialog);
    static void chooseDhcp(SetIpDialog &dialog);
    static void setStatic(SetIpDialog &dialog, const QString &address, const QString &mask, const QString &gateway);
    // The next datagram the device's listener receives, or an invalid one after 5 seconds.
    QNetworkDatagram nextRequest();
    void answer(const SetIpDialog &dialog, const QByteArray &reply);

    std::unique_ptr<AppState> m_state;
    int m_loopback = 0;
    QUdpSocket m_listener;
    QUdpSocket m_device;
};

void TestSetIpDialog::initTestCase()
{
    m_loopback = int(if_nametoindex("lo"));
    QVERIFY(m_loopback > 0);
    QVERIFY(m_listener.bind(QHostAddress::AnyIPv4, DevicePortNumber));
    QVERIFY(m_device.bind(QHostAddress(DeviceAddress), 0));
}

void TestSetIpDialog::init()
{
    m_state = std::make_unique<AppState>();
    AdapterRecord &adapter = m_state->AdapterTable[0];
    adapter.IpAddress = AdapterAddress;
    adapter.SubnetMask = QStringLiteral("255.0.0.0");
    adapter.Gateway = QStringLiteral("0.0.0.0");
    adapter.Mac = AdapterMac;
    adapter.InterfaceIndex = m_loopback;
    adapter.HasAddress = 1;
    AdapterRecord &other = m_state->AdapterTable[1];
    other.IpAddress = QStringLiteral("10.254.254.1");
    other.SubnetMask = QStringLiteral("255.255.255.0");
    other.Gateway = QStringLiteral("10.254.254.254");
    other.Mac = OtherAdapterMac;
    other.HasAddress = 1;
    m_state->AdapterCount = 2;

    DeviceRecord &device = m_state->DeviceTable[0];
    device.HostName = QString::fromLatin1(HostName);
    device.IpAddress = DeviceAddress;
    device.Mac = DeviceMac;
    device.AdapterIndex = 0;
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

VelmoIPAddress *TestSetIpDialog::control(const SetIpDialog &dialog, int number)
{
    return dialog.findChild<VelmoIPAddress *>(QStringLiteral("VelmoIPAddress%1").arg(number));
}

UdpPeer *TestSetIpDialog::sock1(const SetIpDialog &dialog)
{
    return dialog.findChild<UdpPeer *>(QStringLiteral("sock1"));
}

void TestSetIpDialog::clickOk(SetIpDialog &dialog)
{
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
}

void TestSetIpDialog::chooseDhcp(SetIpDialog &dialog)
{
    QTest::mouseClick(dialog.findChild<QRadioButton *>(QStringLiteral("Option2")), Qt::LeftButton);
}

void TestSetIpDialog::setStatic(SetIpDialog &dialog, const QString &address, const QString &mask,
                                const QString &gateway)
{
    control(dialog, 1)->setIpAddress(address);
    control(dialog, 2)->setIpAddress(mask);
    control(dialog, 3)->setIpAddress(gateway);
}

QNetworkDatagram TestSetIpDialog::nextRequest()
{
    const QDeadlineTimer deadline(5000);
    while (!m_listener.hasPendingDatagrams() && !deadline.hasExpired())
        QTest::qWait(5);
    return m_listener.hasPendingDatagrams() ? m_listener.receiveDatagram() : QNetworkDatagram();
}

void TestSetIpDialog::answer(const SetIpDialog &dialog, const QByteArray &reply)
{
    QCOMPARE(m_device.writeDatagram(reply, QHostAddress(AdapterAddress), sock1(dialog)->localPort()),
             qint64(reply.size()));
}

// ---- loading ----

void TestSetIpDialog::proposals_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QStringList>("addressFields");
    QTest::addColumn<bool>("bound");

    QTest::newRow("adapter 192.168.1.10, not on this machine")
        << "192.168.1.10" << "255.255.255.0" << "192.168.1.1" << QStringList{"192", "168", "1", ""} << false;
    QTest::newRow("adapter 127.0.0.1 without gateway")
        << "127.0.0.1" << "255.0.0.0" << "0.0.0.0" << QStringList{"127", "0", "0", ""} << true;
    QTest::newRow("adapter 127.0.0.1 with gateway")
        << "127.0.0.1" << "255.255.0.0" << "127.0.1.254" << QStringList{"127", "0", "0", ""} << true;
}

void TestSetIpDialog::proposals()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(QStringList, addressFields);
    QFETCH(bool, bound);

    m_state->AdapterTable[0].IpAddress = address;
    m_state->AdapterTable[0].SubnetMask = mask;
    m_state->AdapterTable[0].Gateway = gateway;
    SetIpDialog dialog(*m_state, 0);

    QCOMPARE(dialog.DeviceIndex(), qint16(0));
    QCOMPARE(fieldTexts(control(dialog, 1)), addressFields);
    QCOMPARE(control(dialog, 1)->ipAddress(), addressFields.join(u'.'));
    QCOMPARE(control(dialog, 2)->ipAddress(), mask);
    QCOMPARE(control(dialog, 3)->ipAddress(), gateway);
    // The caret waits in the empty host field.
    QCOMPARE(dialog.focusWidget(), field(control(dialog, 1), 3));
    QVERIFY(dialog.findChild<QRadioButton *>(QStringLiteral("Option1"))->isChecked());
    QVERIFY(!dialog.findChild<QRadioButton *>(QStringLiteral("Option2"))->isChecked());
    for (int i = 1; i <= 3; ++i)
        QVERIFY(control(dialog, i)->isEnabled());

    const UdpPeer *socket = sock1(dialog);
    QVERIFY(socket);
    QCOMPARE(socket->remoteHost(), QStringLiteral("255.255.255.255"));
    QCOMPARE(socket->remotePort(), DevicePortNumber);
    QCOMPARE(socket->isBound(), bound);
    QCOMPARE(dialog.loadFailed(), !bound);
    if (!bound)
        return;
    QCOMPARE(socket->localAddress(), address);
    QCOMPARE(socket->interfaceIndex(), m_loopback);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), field(control(dialog, 1), 3));
    const QString grabPath = qEnvironmentVariable("FARLIGHT_SETIPS_GRAB");
    if (!grabPath.isEmpty() && QTest::currentDataTag() == QLatin1String("adapter 127.0.0.1 with gateway"))
        QVERIFY(dialog.grab().save(grabPath));
}

void TestSetIpDialog::captionsAndPlacement()
{
    SetIpDialog dialog(*m_state, 0);
    QCOMPARE(dialog.objectName(), QStringLiteral("Setips"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Set IP"));

    const QScreen *screen = dialog.screen();
    QVERIFY(screen);
    const qreal dpiX = screen->logicalDotsPerInchX();
    const qreal dpiY = screen->logicalDotsPerInchY();
    const auto pixels = [dpiX, dpiY](int left, int top, int width, int height) {
        return QRect(twipsToPixels(left, dpiX), twipsToPixels(top, dpiY), twipsToPixels(width, dpiX),
                     twipsToPixels(height, dpiY));
    };
    QCOMPARE(dialog.size(), QSize(twipsToPixels(4680, dpiX), twipsToPixels(3615, dpiY)));

    auto *frame = dialog.findChild<QGroupBox *>(QStringLiteral("Frame1"));
    QVERIFY(frame);
    QCOMPARE(frame->title(), QStringLiteral("Set IP"));
    QCOMPARE(frame->geometry(), pixels(240, 240, 4215, 2535));

    struct Caption
    {
        const char *name;
        QString text;
        QRect twips;
    };
    const Caption labels[] = {
        {"Label3", QStringLiteral("Static"), {840, 360, 1935, 375}},
        {"Label2", QStringLiteral("IP"), {960, 720, 975, 255}},
        {"Label4", QStringLiteral("Mask"), {960, 1080, 975, 255}},
        {"Label5", QStringLiteral("Gateway"), {960, 1440, 975, 255}},
        {"Label1", QStringLiteral("Enable DHCP"), {840, 2040, 1935, 255}},
    };
    for (const Caption &caption : labels) {
        auto *label = dialog.findChild<QLabel *>(QString::fromLatin1(caption.name));
        QVERIFY2(label, caption.name);
        QCOMPARE(label->parentWidget(), frame);
        QCOMPARE(label->text(), caption.text);
        QCOMPARE(label->geometry(),
                 pixels(caption.twips.x(), caption.twips.y(), caption.twips.width(), caption.twips.height()));
    }

    const Caption options[] = {
        {"Option1", QStringLiteral("Static"), {240, 360, 375, 195}},
        {"Option2", QStringLiteral("Enable DHCP"), {240, 2040, 255, 195}},
    };
    for (const Caption &caption : options) {
        auto *option = dialog.findChild<QRadioButton *>(QString::fromLatin1(caption.name));
        QVERIFY2(option, caption.name);
        QCOMPARE(option->parentWidget(), frame);
        QVERIFY(option->text().isEmpty());
        QCOMPARE(option->accessibleName(), caption.text);
        QCOMPARE(option->geometry(),
                 pixels(caption.twips.x(), caption.twips.y(), caption.twips.width(), caption.twips.height()));
    }
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label3"))->buddy(),
             dialog.findChild<QRadioButton *>(QStringLiteral("Option1")));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label1"))->buddy(),
             dialog.findChild<QRadioButton *>(QStringLiteral("Option2")));

    const int tops[] = {720, 1080, 1440};
    for (int i = 1; i <= 3; ++i) {
        VelmoIPAddress *address = control(dialog, i);
        QVERIFY(address);
        QCOMPARE(address->parentWidget(), frame);
        QCOMPARE(address->pos(), QPoint(twipsToPixels(2040, dpiX), twipsToPixels(tops[i - 1], dpiY)));
        // The control widens itself where its font needs more room, never less.
        QVERIFY(address->width() >= twipsToPixels(2010, dpiX));
        QVERIFY(address->height() >= twipsToPixels(285, dpiY));
    }

    const Caption buttons[] = {
        {"Command2", QStringLiteral("OK"), {840, 3000, 1095, 375}},
        {"Command1", QStringLiteral("Cancel"), {2760, 3000, 1095, 375}},
    };
    for (const Caption &caption : buttons) {
        auto *button = dialog.findChild<QPushButton *>(QString::fromLatin1(caption.name));
        QVERIFY2(button, caption.name);
        QCOMPARE(button->parentWidget(), &dialog);
        QCOMPARE(button->text(), caption.text);
        QCOMPARE(button->geometry(),
                 pixels(caption.twips.x(), caption.twips.y(), caption.twips.width(), caption.twips.height()));
    }
}

void TestSetIpDialog::optionsEnableAddressControls()
{
    const auto dialog = openDialog();
    auto *option1 = dialog->findChild<QRadioButton *>(QStringLiteral("Option1"));
    chooseDhcp(*dialog);
    QVERIFY(!option1->isChecked());
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(!control(*dialog, i)->isEnabled(), "DHCP greys the address controls");
    QTest::mouseClick(option1, Qt::LeftButton);
    QVERIFY(option1->isChecked());
    for (int i = 1; i <= 3; ++i)
        QVERIFY(control(*dialog, i)->isEnabled());
}

void TestSetIpDialog::labelsSelectTheirOptions()
{
    const auto dialog = openDialog();
    auto *option1 = dialog->findChild<QRadioButton *>(QStringLiteral("Option1"));
    auto *option2 = dialog->findChild<QRadioButton *>(QStringLiteral("Option2"));
    QTest::mouseClick(dialog->findChild<QLabel *>(QStringLiteral("Label1")), Qt::LeftButton);
    QVERIFY(option2->isChecked());
    QVERIFY(!control(*dialog, 1)->isEnabled());
    QTest::mouseClick(dialog->findChild<QLabel *>(QStringLiteral("Label3")), Qt::LeftButton);
    QVERIFY(option1->isChecked());
    QVERIFY(control(*dialog, 1)->isEnabled());
    // Another button than the left one does not select.
    QTest::mouseClick(dialog->findChild<QLabel *>(QStringLiteral("Label1")), Qt::RightButton);
    QVERIFY(option1->isChecked());
}

// ---- requests ----

void TestSetIpDialog::dhcpRequestWithoutValidation()
{
    ModalScript script(Password);
    const auto dialog = openDialog();
    // The proposal's empty host field would fail the address check; DHCP sends no address.
    QCOMPARE(control(*dialog, 1)->ipAddress(), QStringLiteral("127.0.0."));
    chooseDhcp(*dialog);
    clickOk(*dialog);

    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QCOMPARE(dialog->currentMode(), SetIpDialog::DhcpMode);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());
    QCOMPARE(request.senderAddress(), QHostAddress(AdapterAddress));
    QCOMPARE(request.senderPort(), int(sock1(*dialog)->localPort()));
    const QByteArray expected = QByteArray::fromHex("8765432121110000") + scrambledPassword(Password)
        + macBytes(DeviceMac) + macBytes(AdapterMac);
    QCOMPARE(request.data().toHex(' '), expected.toHex(' '));
    QVERIFY(dialog->isVisible());
}

void TestSetIpDialog::staticRequest_data()
{
    QTest::addColumn<QString>("typedHostPart");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("host part typed into the proposal")
        << "20" << "" << "" << "" << QByteArray::fromHex("7F000014" "FF000000" "00000000");
    QTest::newRow("192.168.1.20, 255.255.255.0, no gateway")
        << "" << "192.168.1.20" << "255.255.255.0" << "0.0.0.0" << QByteArray::fromHex("C0A80114" "FFFFFF00" "00000000");
    QTest::newRow("10.1.2.3, 255.255.0.0, gateway 10.1.1.1")
        << "" << "10.1.2.3" << "255.255.0.0" << "10.1.1.1" << QByteArray::fromHex("0A010203" "FFFF0000" "0A010101");
    QTest::newRow("172.16.254.200, 255.255.255.252, gateway 172.16.254.201")
        << "" << "172.16.254.200" << "255.255.255.252" << "172.16.254.201"
        << QByteArray::fromHex("AC10FEC8" "FFFFFFFC" "AC10FEC9");
}

void TestSetIpDialog::staticRequest()
{
    QFETCH(QString, typedHostPart);
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(QByteArray, body);

    ModalScript script(Password);
    const auto dialog = openDialog();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    if (!typedHostPart.isEmpty())
        QTest::keyClicks(QApplication::focusWidget(), typedHostPart);
    else
        setStatic(*dialog, address, mask, gateway);
    clickOk(*dialog);

    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QCOMPARE(dialog->currentMode(), SetIpDialog::StaticMode);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());
    const QByteArray expected = QByteArray::fromHex("8765432121100000") + scrambledPassword(Password)
        + macBytes(DeviceMac) + macBytes(AdapterMac) + body;
    QCOMPARE(request.data().size(), 44);
    QCOMPARE(request.data().toHex(' '), expected.toHex(' '));
}

void TestSetIpDialog::validationFailure_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty host field") << "" << "255.0.0.0" << "0.0.0.0" << "127.0.0. is not a valid IP address";
    QTest::newRow("network address") << "192.168.1.0" << "255.255.255.0" << "0.0.0.0"
                                     << "192.168.1.0 is not a valid IP address";
    QTest::newRow("loopback address") << "127.0.0.1" << "255.0.0.0" << "0.0.0.0"
                                      << "127.0.0.1 is not a valid IP address";
    QTest::newRow("mask not in the table") << "192.168.1.20" << "255.255.255.254" << "0.0.0.0"
                                           << "Mask can't set 255.255.255.254";
    QTest::newRow("gateway with field 0") << "192.168.1.20" << "255.255.255.0" << "192.168.0.1"
                                          << "192.168.0.1 is not valid gateway address.";
    QTest::newRow("bad address and bad mask") << "0.1.2.3" << "255.0.255.0" << "0.0.0.0"
                                              << "0.1.2.3 is not a valid IP address";
}

void TestSetIpDialog::validationFailure()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(QString, message);

    ModalScript script(Password);
    const auto dialog = openDialog();
    if (!address.isEmpty())
        control(*dialog, 1)->setIpAddress(address);
    control(*dialog, 2)->setIpAddress(mask);
    control(*dialog, 3)->setIpAddress(gateway);
    clickOk(*dialog);

    // Only the message: no login, no request number used, the values left for correction.
    QCOMPARE(script.log(), QStringList{message});
    QCOMPARE(script.boxes().first().icon, QMessageBox::Warning);
    QCOMPARE(script.boxes().first().title, FarlightTitle);
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_state->Counters.value(SequenceCounters::SetIp), quint16(0));
    QCOMPARE(control(*dialog, 2)->ipAddress(), mask);
    QVERIFY(dialog->isVisible());

    // Nothing went out: the next request to arrive is the first of the run.
    chooseDhcp(*dialog);
    clickOk(*dialog);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());
    QCOMPARE(request.data().left(8).toHex(' '), QByteArray("87 65 43 21 21 11 00 00"));
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
    if (dhcp)
        chooseDhcp(*dialog);
    else
        setStatic(*dialog, QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("0.0.0.0"));
    clickOk(*dialog);
    QCOMPARE(script.log(), QStringList{ModalScript::Login});
    QVERIFY(!m_state->LoginOk);
    QCOMPARE(m_state->Counters.value(SequenceCounters::SetIp), quint16(1));

    // The cancelled request used number 0: the first request that goes out carries 1.
    clickOk(*dialog);
    QCOMPARE(script.loginCount(), 2);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());
    QCOMPARE(request.data().left(8).toHex(' '),
             QByteArray(dhcp ? "87 65 43 21 21 11 00 01" : "87 65 43 21 21 10 00 01"));
}

// ---- replies ----

void TestSetIpDialog::successConfirmsAndCloses_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("message");

    QTest::newRow("DHCP") << true << 1 << SetDhcpOkText;
    QTest::newRow("static") << false << 1 << SetIpOkText;
    QTest::newRow("DHCP, the reply arriving twice") << true << 2 << SetDhcpOkText;
    QTest::newRow("static, the reply arriving three times") << false << 3 << SetIpOkText;
}

void TestSetIpDialog::successConfirmsAndCloses()
{
    QFETCH(bool, dhcp);
    QFETCH(int, copies);
    QFETCH(QString, message);

    ModalScript script(Password);
    SetIpDialog dialog(*m_state, 0);
    QVERIFY(!dialog.loadFailed());

    // The device answers every set-IP request it hears; the answer arrives while the dialog
    // runs modally, and the success message is itself modal.
    QList<QByteArray> received;
    connect(&m_listener, &QUdpSocket::readyRead, &dialog, [&] {
        while (m_listener.hasPendingDatagrams()) {
            const QByteArray datagram = m_listener.receiveDatagram().data();
            received.append(datagram);
            if (datagram.size() > 4 && quint8(datagram[4]) == 0x21) {
                for (int i = 0; i < copies; ++i)
                    answer(dialog, replyTo(datagram, 0));
            }
        }
    });
    testsupport::whenModal<SetIpDialog>([&](SetIpDialog *shown) {
        if (dhcp)
            chooseDhcp(*shown);
        else
            setStatic(*shown, QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("0.0.0.0"));
        clickOk(*shown);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    disconnect(&m_listener, nullptr, &dialog, nullptr);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!sock1(dialog)->isBound());

    // One message however many replies came; it was shown before the confirmation went out.
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message}));
    QCOMPARE(script.boxes().first().icon, QMessageBox::Information);
    QCOMPARE(script.boxes().first().title, FarlightTitle);
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    while (m_listener.hasPendingDatagrams())
        received.append(m_listener.receiveDatagram().data());
    QCOMPARE(received.size(), 2);
    QCOMPARE(received[0].size(), dhcp ? 32 : 44);
    const QByteArray confirmation = QByteArray::fromHex("87654321A0990000") + scrambledPassword(Password)
        + macBytes(DeviceMac) + macBytes(AdapterMac);
    QCOMPARE(received[1].toHex(' '), confirmation.toHex(' '));
}

void TestSetIpDialog::invalidPasswordStaysAndAsksAgain()
{
    ModalScript script(QStringLiteral("wrong"));
    const auto dialog = openDialog();
    chooseDhcp(*dialog);
    clickOk(*dialog);
    const QNetworkDatagram first = nextRequest();
    QVERIFY(first.isValid());
    answer(*dialog, replyTo(first.data(), 255));
    QTRY_COMPARE(script.boxes().size(), 1);

    QCOMPARE(script.log(), (QStringList{ModalScript::Login, InvalidPasswordText}));
    QCOMPARE(script.boxes().first().icon, QMessageBox::NoIcon);
    QCOMPARE(script.boxes().first().title, UtilityTitle);
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(dialog->isVisible());
    QVERIFY(sock1(*dialog)->isBound());

    clickOk(*dialog);
    QCOMPARE(script.loginCount(), 2);
    const QNetworkDatagram second = nextRequest();
    QVERIFY(second.isValid());
    QCOMPARE(second.data().left(8).toHex(' '), QByteArray("87 65 43 21 21 11 00 01"));
}

void TestSetIpDialog::failureStatus_data()
{
    QTest::addColumn<bool>("dhcp");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("message");

    QTest::newRow("static") << false << 1 << SetIpFailureText;
    QTest::newRow("DHCP") << true << 1 << SetDhcpFailureText;
    QTest::newRow("static, the reply arriving twice") << false << 2 << SetIpFailureText;
}

void TestSetIpDialog::failureStatus()
{
    QFETCH(bool, dhcp);
    QFETCH(int, copies);
    QFETCH(QString, message);

    ModalScript script(Password);
    const auto dialog = openDialog();
    if (dhcp)
        chooseDhcp(*dialog);
    else
        setStatic(*dialog, QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("0.0.0.0"));
    clickOk(*dialog);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());
    for (int i = 0; i < copies; ++i)
        answer(*dialog, replyTo(request.data(), 1));
    QTRY_COMPARE(script.boxes().size(), 1);
    QCOMPARE(script.boxes().first().text, message);
    QCOMPARE(script.boxes().first().icon, QMessageBox::Information);
    QCOMPARE(script.boxes().first().title, FarlightTitle);
    QVERIFY(dialog->isVisible());
    QVERIFY(sock1(*dialog)->isBound());

    // The next request is answered as usual; a copy of the first reply showed nothing.
    clickOk(*dialog);
    const QNetworkDatagram next = nextRequest();
    QVERIFY(next.isValid());
    answer(*dialog, replyTo(next.data(), 255));
    QTRY_COMPARE(script.boxes().size(), 2);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, message, ModalScript::Login, InvalidPasswordText}));
}

void TestSetIpDialog::ignoredReplies_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("replacement");

    // Each row spoils one part of a success reply; the failure reply that follows is the first
    // one taken. A length of -1 keeps the reply's own length.
    QTest::newRow("22 bytes") << 22 << 0 << QByteArray();
    QTest::newRow("empty datagram") << 0 << 0 << QByteArray();
    QTest::newRow("wrong magic") << -1 << 0 << QByteArray::fromHex("87654322");
    QTest::newRow("confirmation opcode") << -1 << 4 << QByteArray::fromHex("A0");
    QTest::newRow("filter opcode") << -1 << 4 << QByteArray::fromHex("60");
    QTest::newRow("next sequence") << -1 << 6 << QByteArray::fromHex("0001");
    QTest::newRow("sequence bytes swapped") << -1 << 6 << QByteArray::fromHex("0100");
    QTest::newRow("device MAC instead of the adapter's") << -1 << 8 << macBytes(DeviceMac);
    QTest::newRow("another adapter's MAC") << -1 << 8 << macBytes(OtherAdapterMac);
    QTest::newRow("unknown status 2") << -1 << 20 << QByteArray::fromHex("0002");
    QTest::newRow("status 256") << -1 << 20 << QByteArray::fromHex("0100");
}

void TestSetIpDialog::ignoredReplies()
{
    QFETCH(int, length);
    QFETCH(int, offset);
    QFETCH(QByteArray, replacement);

    ModalScript script(Password);
    const auto dialog = openDialog();
    setStatic(*dialog, QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("0.0.0.0"));
    clickOk(*dialog);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());

    QByteArray spoiled = replyTo(request.data(), 0);
    spoiled.replace(offset, replacement.size(), replacement);
    if (length >= 0)
        spoiled.truncate(length);
    answer(*dialog, spoiled);
    answer(*dialog, replyTo(request.data(), 1));
    QTRY_COMPARE(script.boxes().size(), 1);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, SetIpFailureText}));
    QVERIFY(dialog->isVisible());
}

void TestSetIpDialog::replyAfterFailedValidationIsTaken()
{
    ModalScript script(Password);
    const auto dialog = openDialog();
    setStatic(*dialog, QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("0.0.0.0"));
    clickOk(*dialog);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());

    // A second OK that fails the checks builds no request, so the first one's reply still counts.
    control(*dialog, 1)->setIpAddress(QStringLiteral("192.168.1.0"));
    clickOk(*dialog);
    answer(*dialog, replyTo(request.data(), 1));
    QTRY_COMPARE(script.boxes().size(), 2);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, QStringLiteral("192.168.1.0 is not a valid IP address"),
                                        SetIpFailureText}));
}

void TestSetIpDialog::replyWhileLoginIsUpIsIgnored()
{
    ModalScript script(Password);
    const auto dialog = openDialog();
    chooseDhcp(*dialog);
    clickOk(*dialog);
    const QNetworkDatagram request = nextRequest();
    QVERIFY(request.isValid());

    // The success reply to the first request arrives while the login for the next one is up.
    int arrivals = 0;
    connect(sock1(*dialog), &UdpPeer::dataArrival, dialog.get(), [&arrivals] { ++arrivals; });
    script.queueLogin(Password, false, [&] {
        answer(*dialog, replyTo(request.data(), 0));
        QTRY_COMPARE(arrivals, 1);
    });
    clickOk(*dialog);
    QCOMPARE(arrivals, 1);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, ModalScript::Login}));
    QVERIFY(dialog->isVisible());
    QVERIFY(sock1(*dialog)->isBound());
}

void TestSetIpDialog::sendFailure()
{
    ModalScript script(Password);
    const auto dialog = openDialog();
    QTest::failOnWarning(QRegularExpression(QStringLiteral("UDP socket error")));
    // A socket that has gone away cannot send.
    sock1(*dialog)->close();
    chooseDhcp(*dialog);
    clickOk(*dialog);
    QCOMPARE(script.log(), (QStringList{ModalScript::Login, NotSetText}));
    QCOMPARE(script.boxes().last().icon, QMessageBox::NoIcon);
    QCOMPARE(script.boxes().last().title, UtilityTitle);
    QCOMPARE(script.boxes().last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(dialog->isVisible());
}

void TestSetIpDialog::socketErrorsSuppressed()
{
    const auto dialog = openDialog();
    QTest::failOnWarning(QRegularExpression(QStringLiteral("UDP socket error")));
    bool cancelDisplay = false;
    emit sock1(*dialog)->error(10054, QStringLiteral("connection reset"), cancelDisplay);
    QVERIFY(cancelDisplay);
    QVERIFY(dialog->isVisible());
}

// ---- closing ----

void TestSetIpDialog::closeClosesSocket_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("close box") << "close";
    QTest::newRow("Escape") << "Escape";
}

void TestSetIpDialog::closeClosesSocket()
{
    QFETCH(QString, how);

    const auto dialog = openDialog();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    QVERIFY(sock1(*dialog)->isBound());
    if (how == QLatin1String("Cancel"))
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    else if (how == QLatin1String("close"))
        QVERIFY(dialog->close());
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
    QVERIFY(!sock1(*dialog)->isBound());
}

void TestSetIpDialog::loadFailure_data()
{
    QTest::addColumn<QString>("adapterAddress");
    QTest::addColumn<int>("deviceIndex");
    QTest::addColumn<int>("adapterIndex");
    QTest::addColumn<bool>("withExec");

    QTest::newRow("adapter address not on this machine") << "10.254.254.1" << 0 << 0 << true;
    QTest::newRow("adapter without address") << "0.0.0.0" << 0 << 0 << true;
    QTest::newRow("adapter address empty") << "" << 0 << 0 << true;
    QTest::newRow("device index past the found devices") << AdapterAddress << 1 << 0 << true;
    QTest::newRow("negative device index") << AdapterAddress << -1 << 0 << true;
    QTest::newRow("adapter index past the inventory") << AdapterAddress << 0 << 2 << true;
    QTest::newRow("shown with open()") << "10.254.254.1" << 0 << 0 << false;
}

void TestSetIpDialog::loadFailure()
{
    QFETCH(QString, adapterAddress);
    QFETCH(int, deviceIndex);
    QFETCH(int, adapterIndex);
    QFETCH(bool, withExec);

    m_state->AdapterTable[0].IpAddress = adapterAddress;
    m_state->DeviceTable[0].AdapterIndex = qint16(adapterIndex);
    ModalScript script(Password);
    SetIpDialog dialog(*m_state, qint16(deviceIndex));
    QVERIFY(dialog.loadFailed());
    QVERIFY(!sock1(dialog)->isBound());
    ShowCounter shows;
    dialog.installEventFilter(&shows);
    QSignalSpy finished(&dialog, &QDialog::finished);

    if (withExec) {
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    } else {
        dialog.open();
        QCOMPARE(finished.size(), 1);
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QCOMPARE(script.log(), QStringList{NotSetText});
    QCOMPARE(script.boxes().first().icon, QMessageBox::NoIcon);
    QCOMPARE(script.boxes().first().title, UtilityTitle);
    QCOMPARE(script.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(shows.shows, 0);
    QVERIFY(!dialog.isVisible());

    // Asked to show again, it says nothing more and stays closed.
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(script.boxes().size(), 1);
    QCOMPARE(shows.shows, 0);
}

QTEST_MAIN(TestSetIpDialog)
#include "tst_setipdialog.moc"
