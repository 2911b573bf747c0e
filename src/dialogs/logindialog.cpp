#include "dialogs/logindialog.h"

#include "protocol/authblock.h"
#include "resources/strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>

namespace farlight {

static_assert(LoginDialog::MaxPasswordLength == AuthBlock::PasswordSize,
              "the field takes exactly what the request's password field holds");

namespace {

const QString LoginImagePath = QStringLiteral(":/dialogs/images/login-key.png");

// Every typed character shows as '*' at once, whatever the platform's own mask character and
// reveal delay would be.
const QString PasswordFieldStyle =
    QStringLiteral("QLineEdit { lineedit-password-character: 42; lineedit-password-mask-delay: 0; }");

} // namespace

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(text(StringId::Password));

    m_loginImg = new QLabel(this);
    m_loginImg->setObjectName(QStringLiteral("LoginImg"));
    m_loginImg->setPixmap(QPixmap(LoginImagePath));
    m_loginImg->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_passwordLbl = new QLabel(text(StringId::Password), this);
    m_passwordLbl->setObjectName(QStringLiteral("PasswordLbl"));

    m_passwordTxt = new QLineEdit(this);
    m_passwordTxt->setObjectName(QStringLiteral("PasswordTxt"));
    m_passwordTxt->setEchoMode(QLineEdit::Password);
    m_passwordTxt->setMaxLength(MaxPasswordLength);
    m_passwordTxt->setStyleSheet(PasswordFieldStyle);
    m_passwordLbl->setBuddy(m_passwordTxt);

    m_passwordNoteLbl = new QLabel(singleByteNote(), this);
    m_passwordNoteLbl->setObjectName(QStringLiteral("PasswordNoteLbl"));
    m_passwordNoteLbl->setWordWrap(true);
    m_passwordNoteLbl->setVisible(false);

    m_cmdOk = new QPushButton(text(StringId::Ok), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOk->setDefault(true);

    m_cmdCancel = new QPushButton(text(StringId::Cancel), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_loginImg, 0, 0, 3, 1);
    layout->addWidget(m_passwordLbl, 0, 1);
    layout->addWidget(m_passwordTxt, 1, 1);
    layout->addWidget(m_cmdOk, 0, 2);
    layout->addWidget(m_cmdCancel, 1, 2);
    layout->addWidget(m_passwordNoteLbl, 2, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cmdOk, &QPushButton::clicked, this, &LoginDialog::accept);
    connect(m_cmdCancel, &QPushButton::clicked, this, &LoginDialog::reject);
    connect(m_passwordTxt, &QLineEdit::textChanged, this, &LoginDialog::updateOkState);
}

std::optional<QString> LoginDialog::ask(QWidget *parent)
{
    LoginDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.password();
}

QString LoginDialog::password() const
{
    return m_passwordTxt->text();
}

QString LoginDialog::singleByteNote()
{
    if (hasText(SingleByteNoteId))
        return text(SingleByteNoteId);
    return QStringLiteral("The password can only hold characters with a single-byte (Latin-1) code. "
                          "Remove the other characters to continue.");
}

void LoginDialog::accept()
{
    const QString password = m_passwordTxt->text();
    // OK is disabled for such text; this also guards Enter and any other route to accept.
    if (!IsSingleBytePassword(password))
        return;
    QDialog::accept();
}

void LoginDialog::showEvent(QShowEvent *event)
{
    // A dialog shown again (not just restored by the window system) starts with an empty field.
    if (!event->spontaneous()) {
        m_passwordTxt->clear();
        m_passwordTxt->setFocus(Qt::OtherFocusReason);
    }
    QDialog::showEvent(event);
}

void LoginDialog::updateOkState()
{
    const bool sendable = IsSingleBytePassword(m_passwordTxt->text());
    m_cmdOk->setEnabled(sendable);
    m_passwordNoteLbl->setVisible(!sendable);
    const QString tip = sendable ? QString() : singleByteNote();
    m_cmdOk->setToolTip(tip);
    m_passwordTxt->setToolTip(tip);
}

} // namespace farlight
