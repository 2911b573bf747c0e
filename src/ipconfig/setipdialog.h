#pragma once

#include "ipconfig/setipexchange.h"

#include "dialogs/devicedialog.h"

#include <QMessageBox>
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace farlight {

class AppState;
class VelmoIPAddress;

/// @brief The Set IP dialog Setips: gives one device a static address, mask and gateway, or
/// switches it to DHCP.
///
/// The dialog proposes the addresses of the local adapter through which the device was found
/// (the last address field left empty for the device's own part), checks a static choice,
/// asks for the password and hands the request to a SetIpExchange bound to that adapter.
/// The device's reply decides: success is reported, confirmed with one confirmation request,
/// and closes the dialog; a failure or a wrong password is reported and the dialog stays open.
///
/// Loading happens in the constructor and fails for a device index without a table entry or an
/// adapter address the socket cannot be bound to (DeviceDialog).
class SetIpDialog : public DeviceDialog
{
    Q_OBJECT

public:
    /// What the last request asked for.
    enum Mode : qint16 { NoRequest = 0, StaticMode = 1, DhcpMode = 2 };

    /// Client area in twips.
    static constexpr int ClientWidthTwips = 4680;
    static constexpr int ClientHeightTwips = 3615;

    /// @brief Loads the dialog for entry @p deviceIndex of the state's device table.
    SetIpDialog(AppState &state, qint16 deviceIndex, QWidget *parent = nullptr);
    ~SetIpDialog() override;

    /// @brief The device table entry the dialog acts on, fixed when it is created.
    qint16 DeviceIndex() const { return m_deviceIndex; }
    /// @brief What the last request built asked for.
    Mode currentMode() const { return m_mode; }

    /// @brief The OK button: validates a static choice, asks for the password and sends the
    /// set-IP request. The dialog stays open waiting for the reply.
    void ValidateAndSend();

    /// @brief Releases the socket as the dialog closes, whatever closes it.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void askPassword();
    void createControls();
    void placeControls();
    bool load();
    void selectStatic(bool checked);
    void selectDhcp(bool checked);
    void showReply(SetIpExchange::Status status);
    void showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &message);

    AppState &m_state;
    const qint16 m_deviceIndex;
    Mode m_mode = NoRequest;

    QGroupBox *m_frame1 = nullptr;
    QRadioButton *m_option1 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label2 = nullptr;
    VelmoIPAddress *m_velmoIPAddress1 = nullptr;
    QLabel *m_label4 = nullptr;
    VelmoIPAddress *m_velmoIPAddress2 = nullptr;
    QLabel *m_label5 = nullptr;
    VelmoIPAddress *m_velmoIPAddress3 = nullptr;
    QRadioButton *m_option2 = nullptr;
    QLabel *m_label1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command1 = nullptr;
    SetIpExchange *m_exchange = nullptr;
};

} // namespace farlight
