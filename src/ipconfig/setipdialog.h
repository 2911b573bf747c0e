#pragma once

#include "ipconfig/setipexchange.h"

#include "dialogs/devicedialog.h"

#include <QMessageBox>
#include <QString>

#include <optional>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace farlight {

class VelmoIPAddress;

/// @brief The checks OK runs in the Set IP dialog, for @p addressText with the mask and
/// gateway that @p mask and @p gateway hold: the message of the first rule that fails, or nothing.
std::optional<QString> ValidateWithControls(const QString &addressText, const VelmoIPAddress &mask,
                                            const VelmoIPAddress &gateway);

/// @brief The Set IP dialog Setips: gives one device a static address, mask and gateway, or
/// switches it to DHCP.
///
/// The dialog proposes the addresses of the local adapter through which the device was found
/// (the last address field left empty for the device's own part), checks a static choice,
/// asks for the password and hands the request to a SetIpExchange bound to that adapter.
/// The device's reply decides: success is reported, confirmed with one confirmation request,
/// and closes the dialog; a failure or a wrong password is reported and the dialog stays open.
///
/// Loading happens in the constructor and fails for an adapter address the socket cannot be
/// bound to (DeviceDialog).
class SetIpDialog : public DeviceDialog
{
    Q_OBJECT

public:
    /// What the last request asked for.
    enum Mode : qint16 { NoRequest = 0, StaticMode = 1, DhcpMode = 2 };

    /// Client area in twips.
    static constexpr int ClientWidthTwips = 4680;
    static constexpr int ClientHeightTwips = 3615;

    /// @brief Loads the dialog for @p device. @p password is the session's: the one a request
    /// goes out with after a cancelled login, and replaced by each password a login confirms.
    SetIpDialog(const DeviceTarget &device, SequenceCounters &counters, QString &password, QWidget *parent = nullptr);
    ~SetIpDialog() override;

    /// @brief The device the dialog acts on, fixed when it is created.
    const DeviceTarget &device() const { return m_exchange->device(); }
    /// @brief What the last request built asked for.
    Mode currentMode() const { return m_mode; }
    /// @brief The static address the last request asked for; empty for DHCP.
    QString requestedAddress() const { return m_requestedAddress; }

    /// @brief The OK button: validates a static choice, asks for the password and sends the
    /// set-IP request. The dialog stays open waiting for the reply.
    void ValidateAndSend();

    /// @brief Releases the socket as the dialog closes, whatever closes it.
    void done(int result) override;
    /// @brief After how long without an answer the dialog says so; tests shorten it.
    void setNoAnswerTimeout(std::chrono::milliseconds timeout) { m_exchange->setNoAnswerTimeout(timeout); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::optional<QString> askPassword();
    void createControls();
    void placeControls();
    bool load();
    void selectStatic(bool checked);
    void selectDhcp(bool checked);
    void showReply(SetIpExchange::Status status);
    void showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &message);

    QString &m_password;
    Mode m_mode = NoRequest;
    QString m_requestedAddress;

    QGroupBox *m_settingsFrame = nullptr;
    QRadioButton *m_staticOption = nullptr;
    QLabel *m_staticLabel = nullptr;
    QLabel *m_addressLabel = nullptr;
    VelmoIPAddress *m_addressEdit = nullptr;
    QLabel *m_maskLabel = nullptr;
    VelmoIPAddress *m_maskEdit = nullptr;
    QLabel *m_gatewayLabel = nullptr;
    VelmoIPAddress *m_gatewayEdit = nullptr;
    QRadioButton *m_dhcpOption = nullptr;
    QLabel *m_dhcpLabel = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLabel *m_note = nullptr; ///< says when the device has not answered
    SetIpExchange *m_exchange = nullptr;
};

} // namespace farlight
