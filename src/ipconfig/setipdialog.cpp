#include "ipconfig/setipdialog.h"

#include "dialogs/logindialog.h"
#include "ipconfig/inetaddr.h"
#include "ipconfig/setipbatch.h"
#include "ipconfig/staticsettings.h"
#include "session/appstate.h"
#include "netenv/platformutils.h"
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
// Between the frame and the buttons.
const QRect StatusLblTwips(240, 2775, 4215, 225);

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

const QStringList &SubnetMasks()
{
    static const QStringList masks = AppState::BuildSubnetMaskTable();
    return masks;
}

} // namespace

std::optional<QString> ValidateWithControls(const QString &addressText, const VelmoIPAddress &mask,
                                            const VelmoIPAddress &gateway)
{
    GatewayFields gatewayFields{};
    for (int i = 0; i < VelmoIPAddress::FieldCount; ++i)
        gatewayFields[std::size_t(i)] = gateway.IPValue(i);
    return ValidateStaticSettings(addressText, mask.ipAddress(), gateway.ipAddress(), gatewayFields, SubnetMasks());
}

SetIpDialog::SetIpDialog(const DeviceTarget &device, SequenceCounters &counters, QString &password, QWidget *parent)
    : DeviceDialog(parent)
    , m_password(password)
    , m_exchange(new SetIpExchange(device, counters, this))
{
    setObjectName(QStringLiteral("Setips"));
    // The dialog keeps waiting, and a late answer is still taken; but without a word a silent
    // device would leave the administrator looking at a dialog that seems to do nothing.
    m_exchange->setNoAnswerTimeout(SetIpBatch::AnswerTimeout);
    createControls();
    placeControls();
    setLoadFailed(!load());
}

SetIpDialog::~SetIpDialog() = default;

void SetIpDialog::createControls()
{
    setWindowTitle(text(StringId::SetIp));

    m_settingsFrame = new QGroupBox(text(FrameCaption), this);
    m_settingsFrame->setObjectName(QStringLiteral("Frame1"));

    // The option buttons carry no text of their own; the label beside each is its text and
    // selects it when clicked.
    m_staticOption = new QRadioButton(m_settingsFrame);
    m_staticOption->setObjectName(QStringLiteral("Option1"));
    m_staticOption->setAccessibleName(text(StringId::Static));
    m_staticLabel = makeLabel("Label3", StringId::Static, m_settingsFrame);
    m_staticLabel->setBuddy(m_staticOption);

    m_addressLabel = makeLabel("Label2", IpCaption, m_settingsFrame);
    m_addressEdit = makeAddressControl("VelmoIPAddress1", IpCaption, m_settingsFrame);
    m_addressLabel->setBuddy(m_addressEdit);
    m_maskLabel = makeLabel("Label4", MaskCaption, m_settingsFrame);
    m_maskEdit = makeAddressControl("VelmoIPAddress2", MaskCaption, m_settingsFrame);
    m_maskLabel->setBuddy(m_maskEdit);
    m_gatewayLabel = makeLabel("Label5", GatewayCaption, m_settingsFrame);
    m_gatewayEdit = makeAddressControl("VelmoIPAddress3", GatewayCaption, m_settingsFrame);
    m_gatewayLabel->setBuddy(m_gatewayEdit);

    m_dhcpOption = new QRadioButton(m_settingsFrame);
    m_dhcpOption->setObjectName(QStringLiteral("Option2"));
    m_dhcpOption->setAccessibleName(text(DhcpCaption));
    m_dhcpLabel = makeLabel("Label1", DhcpCaption, m_settingsFrame);
    m_dhcpLabel->setBuddy(m_dhcpOption);

    m_okButton = new QPushButton(text(StringId::Ok), this);
    m_okButton->setObjectName(QStringLiteral("Command2"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(text(StringId::Cancel), this);
    m_cancelButton->setObjectName(QStringLiteral("Command1"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("StatusLbl"));

    m_staticLabel->installEventFilter(this);
    m_dhcpLabel->installEventFilter(this);
    connect(m_staticOption, &QRadioButton::toggled, this, &SetIpDialog::selectStatic);
    connect(m_dhcpOption, &QRadioButton::toggled, this, &SetIpDialog::selectDhcp);
    connect(m_okButton, &QPushButton::clicked, this, &SetIpDialog::ValidateAndSend);
    connect(m_cancelButton, &QPushButton::clicked, this, &SetIpDialog::reject);
    connect(m_exchange, &SetIpExchange::replied, this, &SetIpDialog::showReply);
    connect(m_exchange, &SetIpExchange::noAnswer, this, [this] {
        // The line between the frame and the buttons holds about 45 characters.
        m_note->setText(QStringLiteral("%1: no answer; OK sends it again.").arg(text(StringId::TimeOut)));
    });
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
    place(m_settingsFrame, Frame1Twips);
    place(m_staticOption, Option1Twips);
    place(m_staticLabel, Label3Twips);
    place(m_addressLabel, Label2Twips);
    place(m_maskLabel, Label4Twips);
    place(m_gatewayLabel, Label5Twips);
    place(m_dhcpOption, Option2Twips);
    place(m_dhcpLabel, Label1Twips);
    place(m_okButton, Command2Twips);
    place(m_cancelButton, Command1Twips);
    place(m_note, StatusLblTwips);
    m_addressEdit->setGeometryTwips(VelmoIPAddress1Twips);
    m_maskEdit->setGeometryTwips(VelmoIPAddress2Twips);
    m_gatewayEdit->setGeometryTwips(VelmoIPAddress3Twips);
}

bool SetIpDialog::load()
{
    const DeviceTarget &device = m_exchange->device();
    // Proposed: the adapter's network with the host part left for the administrator to type.
    m_addressEdit->setIpAddress(device.adapterAddress);
    m_addressEdit->setIPValue(HostField, VelmoIPAddress::EmptyFieldValue);
    m_addressEdit->SetIPFocus(HostField);
    m_maskEdit->setIpAddress(device.adapterMask);
    m_gatewayEdit->setIpAddress(device.adapterGateway);
    m_staticOption->setChecked(true);
    return m_exchange->open();
}

void SetIpDialog::selectStatic(bool checked)
{
    if (!checked)
        return;
    for (VelmoIPAddress *control : {m_addressEdit, m_maskEdit, m_gatewayEdit})
        control->setEnabled(true);
}

void SetIpDialog::selectDhcp(bool checked)
{
    if (!checked)
        return;
    for (VelmoIPAddress *control : {m_addressEdit, m_maskEdit, m_gatewayEdit})
        control->setEnabled(false);
}

std::optional<QString> SetIpDialog::askPassword()
{
    // A cancelled login keeps the password confirmed before.
    const std::optional<QString> password = LoginDialog::ask(this);
    if (password)
        m_password = *password;
    return password;
}

void SetIpDialog::ValidateAndSend()
{
    if (loadFailed())
        return;

    const bool isStatic = m_staticOption->isChecked();
    quint32 address = 0;
    quint32 mask = 0;
    quint32 gateway = 0;
    if (isStatic) {
        const QString addressText = m_addressEdit->ipAddress();
        const QString maskText = m_maskEdit->ipAddress();
        const QString gatewayText = m_gatewayEdit->ipAddress();
        address = InetAddr(addressText);
        mask = InetAddr(maskText);
        gateway = InetAddr(gatewayText);
        if (const std::optional<QString> failure = ValidateWithControls(addressText, *m_maskEdit, *m_gatewayEdit)) {
            showMessage(this, QMessageBox::Warning, text(StringId::ProductName), *failure);
            return;
        }
    }

    // Once the login dialog is up a new request replaces the one sent before; its reply, which
    // could no longer be matched once the new request is built, is not taken meanwhile either.
    m_exchange->cancelPending();
    m_note->clear();
    const std::optional<QString> password = askPassword();
    m_mode = isStatic ? StaticMode : DhcpMode;
    m_requestedAddress = isStatic ? AddressToText(address) : QString();
    if (!m_exchange->send(password, isStatic ? Flag::SetIpStatic : Flag::SetIpDhcp, address, mask, gateway))
        showMessage(this, QMessageBox::NoIcon, ApplicationTitle, text(StringId::IpAddressNotSet));
}

void SetIpDialog::showReply(SetIpExchange::Status status)
{
    m_note->clear();
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
    if (event->type() == QEvent::MouseButtonRelease && (watched == m_staticLabel || watched == m_dhcpLabel)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        auto *label = static_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            QRadioButton *option = watched == m_staticLabel ? m_staticOption : m_dhcpOption;
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
