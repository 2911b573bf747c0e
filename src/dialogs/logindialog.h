#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace farlight {

/// @brief The password dialog frmLogin, shown before a request that changes a device.
///
/// It does not judge the password (the device does), and it keeps nothing: OK confirms the typed
/// text, which the caller stores; Cancel, Escape and the close box confirm nothing. The field is
/// empty whenever the dialog is shown.
/// A password with a character that has no single-byte code cannot be confirmed: the request
/// carries one Latin-1 byte per character, so such text would reach the device as a different
/// password. OK stays disabled and a note says why.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    /// Characters the password field takes: the size of the request's password field.
    static constexpr int MaxPasswordLength = 12;
    /// Id of the note shown while the password holds a character the request cannot carry.
    static constexpr int SingleByteNoteId = 315;

    explicit LoginDialog(QWidget *parent = nullptr);

    /// @brief Shows a new login dialog modally; the confirmed password, or nothing when cancelled.
    static std::optional<QString> ask(QWidget *parent = nullptr);

    /// @brief The text of the field; what OK confirmed once the dialog was accepted.
    QString password() const;

    /// @brief The note shown when the password cannot be sent as typed.
    static QString singleByteNote();

    /// @brief OK: confirms the password, unless the text cannot be sent as typed.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateOkState();

    QLabel *m_loginImg = nullptr;
    QLabel *m_passwordLbl = nullptr;
    QLineEdit *m_passwordTxt = nullptr;
    QLabel *m_passwordNoteLbl = nullptr;
    QPushButton *m_cmdOk = nullptr;
    QPushButton *m_cmdCancel = nullptr;
};

} // namespace farlight
