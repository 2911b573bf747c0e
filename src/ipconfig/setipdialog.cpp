#include "ipconfig/setipdialog.h"

#include "session/appstate.h"
#include "dialogs/logindialog.h"
#include "ipconfig/inetaddr.h"
#include "ipconfig/staticsettings.h"
#include "netenv/adapterrecord.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"
#include "widgets/twips.h"
#include "widgets/velmoipaddress.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace farlight {

namespace {

constexpr qreal FallbackDpi = 96;
// The address field the administrator completes: the device's host part.
constexpr int HostField = 3;

// Caption ids of the controls.
constexpr int FrameCaption = StringId::SetIp;
constexpr int IpCaption = 33;
constexpr int MaskCaption = 34;
constexpr int GatewayCaption = 35;
constexpr int DhcpCaption = 36;

// Positions in twips (left, top, width, height). The controls inside Frame1 are placed
// relative to the frame.
const QRect Frame1Twips(240, 240, 4215, 2535);
const QRect Option1Twips(240, 360, 375, 195);
const QRect Label3Twips(840, 360, 1935, 375);
const QRect Label2Twips(960, 720, 975, 255);
const QRect VelmoIPAddress1Twips(2040, 720, 2010, 285);
const QRect Label4Twips(960, 1080, 975, 255);
const QRect VelmoIPAddress2Twips(2040, 1080, 2010, 285);
const QRect Label5Twips(960, 1440, 975, 255);
const QRect VelmoIPAddress3Twips(2040, 1440, 2010, 285);
const QRect Option2Twips(240, 2040, 255, 195);
const QRect Label1Twips(840, 2040, 1935, 255);
const QRect Command2Twips(840, 3000, 1095, 375);
const QRect Command1Twips(2760, 3000, 1095, 375);

QLabel *makeLabel(const char *name, int captionId, QWidget *parent)
{
    auto *label = new QLabel(text(captionId), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

VelmoIPAddress *makeAddressControl(const char *name, int captionId, QWidget *parent)
{
    auto *control = new VelmoIPAddress(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setAccessibleName(text(captionId));
    return control;
}

} // namespace

SetIpDialog::SetIpDialog(AppState &state, qint16 deviceIndex, QWidget *parent)
    : DeviceDialog(parent)
    , m_state(state)
    , m_deviceIndex(deviceIndex)
{
    setObjectName(QStringLiteral("Setips"));
    createControls();
    placeControls();
    setLoadFailed(!load());
}

SetIpDialog::~SetIpDialog() = default;

void SetIpDialog::createControls()
{
    setWindowTitle(text(StringId::SetIp));

    m_frame1 = new QGroupBox(text(FrameCaption), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));

    // The option buttons carry no text of their own; the label beside each is its text and
    // selects it when clicked.
    m_option1 = new QRadioButton(m_frame1);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option1->setAccessibleName(text(StringId::Static));
    m_label3 = makeLabel("Label3", StringId::Static, m_frame1);
    m_label3->setBuddy(m_option1);

    m_label2 = makeLabel("Label2", IpCaption, m_frame1);
    m_velmoIPAddress1 = makeAddressControl("VelmoIPAddress1", IpCaption, m_frame1);
    m_label2->setBuddy(m_velmoIPAddress1);
    m_label4 = makeLabel("Label4", MaskCaption, m_frame1);
    m_velmoIPAddress2 = makeAddressControl("VelmoIPAddress2", MaskCaption, m_frame1);
    m_label4->setBuddy(m_velmoIPAddress2);
    m_label5 = makeLabel("Label5", GatewayCaption, m_frame1);
    m_velmoIPAddress3 = makeAddressControl("VelmoIPAddress3", GatewayCaption, m_frame1);
    m_label5->setBuddy(m_velmoIPAddress3);

    m_option2 = new QRadioButton(m_frame1);
    m_option2->setObjectName(QStringLiteral("Option2"));
    m_option2->setAccessibleName(text(DhcpCaption));
    m_label1 = makeLabel("Label1", DhcpCaption, m_frame1);
    m_label1->setBuddy(m_option2);

    m_command2 = new QPushButton(text(StringId::Ok), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setDefault(true);
    m_command1 = new QPushButton(text(StringId::Cancel), this);
    m_command1->setObjectName(QStringLiteral("Command1"));

    m_exchange = new SetIpExchange(m_state, m_deviceIndex, this);

    m_label3->installEventFilter(this);
    m_label1->installEventFilter(this);
    connect(m_option1, &QRadioButton::toggled, this, &SetIpDialog::selectStatic);
    connect(m_option2, &QRadioButton::toggled, this, &SetIpDialog::selectDhcp);
    connect(m_command2, &QPushButton::clicked, this, &SetIpDialog::ValidateAndSend);
    connect(m_command1, &QPushButton::clicked, this, &SetIpDialog::reject);
    connect(m_exchange, &SetIpExchange::replied, this, &SetIpDialog::showReply);
}

void SetIpDialog::placeControls()
{
    const QScreen *where = screen();
    const qreal dpiX = where ? where->logicalDotsPerInchX() : FallbackDpi;
    const qreal dpiY = where ? where->logicalDotsPerInchY() : FallbackDpi;
    const auto place = [dpiX, dpiY](QWidget *widget, const QRect &twips) {
        widget->setGeometry(TwipsToPixels(twips, dpiX, dpiY));
    };

    setFixedSize(TwipsToPixels(ClientWidthTwips, dpiX), TwipsToPixels(ClientHeightTwips, dpiY));
    place(m_frame1, Frame1Twips);
    place(m_option1, Option1Twips);
    place(m_label3, Label3Twips);
    place(m_label2, Label2Twips);
    place(m_label4, Label4Twips);
    place(m_label5, Label5Twips);
    place(m_option2, Option2Twips);
    place(m_label1, Label1Twips);
    place(m_command2, Command2Twips);
    place(m_command1, Command1Twips);
    m_velmoIPAddress1->setGeometryTwips(VelmoIPAddress1Twips);
    m_velmoIPAddress2->setGeometryTwips(VelmoIPAddress2Twips);
    m_velmoIPAddress3->setGeometryTwips(VelmoIPAddress3Twips);
}

bool SetIpDialog::load()
{
    const AdapterRecord *adapter = m_exchange->adapter();
    if (!adapter)
        return false;

    // Proposed: the adapter's network with the host part left for the administrator to type.
    m_velmoIPAddress1->setIpAddress(adapter->IpAddress);
    m_velmoIPAddress1->setIPValue(HostField, VelmoIPAddress::EmptyFieldValue);
    m_velmoIPAddress1->SetIPFocus(HostField);
    m_velmoIPAddress2->setIpAddress(adapter->SubnetMask);
    m_velmoIPAddress3->setIpAddress(adapter->Gateway);
    m_option1->setChecked(true);
    return m_exchange->open();
}

void SetIpDialog::selectStatic(bool checked)
{
    if (!checked)
        return;
    for (VelmoIPAddress *control : {m_velmoIPAddress1, m_velmoIPAddress2, m_velmoIPAddress3})
        control->setEnabled(true);
}

void SetIpDialog::selectDhcp(bool checked)
{
    if (!checked)
        return;
    for (VelmoIPAddress *control : {m_velmoIPAddress1, m_velmoIPAddress2, m_velmoIPAddress3})
        control->setEnabled(false);
}

void SetIpDialog::askPassword()
{
    // A cancelled login keeps the password confirmed before.
    const std::optional<QString> password = LoginDialog::ask(this);
    m_state.LoginOk = password.has_value();
    if (password)
        m_state.AdminPassword = *password;
}

void SetIpDialog::ValidateAndSend()
{
    if (loadFailed())
        return;

    const bool isStatic = m_option1->isChecked();
    quint32 address = 0;
    quint32 mask = 0;
    quint32 gateway = 0;
    if (isStatic) {
        const QString addressText = m_velmoIPAddress1->ipAddress();
        const QString maskText = m_velmoIPAddress2->ipAddress();
        const QString gatewayText = m_velmoIPAddress3->ipAddress();
        address = InetAddr(addressText);
        mask = InetAddr(maskText);
        gateway = InetAddr(gatewayText);
        GatewayFields gatewayFields{};
        for (int i = 0; i < VelmoIPAddress::FieldCount; ++i)
            gatewayFields[std::size_t(i)] = m_velmoIPAddress3->IPValue(i);
        if (const std::optional<QString> failure =
                ValidateStaticSettings(addressText, maskText, gatewayText, gatewayFields, m_state.subnetMaskTable)) {
            showMessage(this, QMessageBox::Warning, m_state.appTitle, *failure);
            return;
        }
    }

    // Once the login dialog is up a new request replaces the one sent before; its reply, which
    // could no longer be matched once the new request is built, is not taken meanwhile either.
    m_exchange->cancelPending();
    askPassword();
    m_mode = isStatic ? StaticMode : DhcpMode;
    if (!m_exchange->send(isStatic ? Flag::SetIpStatic : Flag::SetIpDhcp, address, mask, gateway))
        showMessage(this, QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet));
}

void SetIpDialog::showReply(SetIpExchange::Status status)
{
    const bool isStatic = m_mode == StaticMode;
    switch (status) {
    case SetIpExchange::Ok: {
        const QPointer<SetIpDialog> alive(this);
        showMessage(this, QMessageBox::Information, text(StringId::ProductName),
                    text(isStatic ? StringId::SetIpOk : StringId::SetDhcpOk));
        if (alive)
            accept();
        break;
    }
    case SetIpExchange::Failure:
        showMessage(this, QMessageBox::Information, text(StringId::ProductName),
                    text(isStatic ? StringId::SetIpFailure : StringId::SetDhcpFailure));
        break;
    case SetIpExchange::InvalidPassword:
        showMessage(this, QMessageBox::NoIcon, ApplicationTitle, text(StringId::InvalidPassword));
        break;
    }
}

void SetIpDialog::done(int result)
{
    // Called while a success is being reported, this still lets its confirmation out first.
    m_exchange->close();
    QDialog::done(result);
}

bool SetIpDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && (watched == m_label3 || watched == m_label1)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        auto *label = static_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            QRadioButton *option = watched == m_label3 ? m_option1 : m_option2;
            option->setFocus(Qt::MouseFocusReason);
            option->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SetIpDialog::showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &message)
{
    QMessageBox box(icon, title, message, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace farlight
