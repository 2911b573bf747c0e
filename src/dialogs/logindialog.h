#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace farlight {

class AppState;

/// @brief The password dialog frmLogin, shown before a request that changes a device.
///
/// It does not judge the password (the device does): OK stores the typed text in
/// AppState::AdminPassword and sets AppState::LoginOk; Cancel, Escape and the close box clear
/// LoginOk and leave AdminPassword as it was. The field is empty whenever the dialog is shown.
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

    explicit LoginDialog(AppState &state, QWidget *parent = nullptr);

    /// @brief Shows a new login dialog modally and returns AppState::LoginOk once it has closed.
    static bool ask(AppState &state, QWidget *parent = nullptr);

    /// @brief The note shown when the password cannot be sent as typed.
    static QString singleByteNote();

    /// @brief OK: stores the password and sets LoginOk, unless the text cannot be sent as typed.
    void accept() override;
    /// @brief Cancel, Escape and the close box: clears LoginOk, keeps AdminPassword.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateOkState();

    AppState &m_state;
    QLabel *m_loginImg = nullptr;
    QLabel *m_passwordLbl = nullptr;
    QLineEdit *m_passwordTxt = nullptr;
    QLabel *m_passwordNoteLbl = nullptr;
    QPushButton *m_cmdOk = nullptr;
    QPushButton *m_cmdCancel = nullptr;
};

} // namespace farlight
