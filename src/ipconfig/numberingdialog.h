#pragma once

#include "ipconfig/addressnumbering.h"
#include "ipconfig/setipbatch.h"

#include <QDialog>
#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace farlight {

class Platform;

class VelmoIPAddress;

/// @brief Set IP for several devices at once: numbers a fleet into one subnet.
///
/// Proposes a first address (the adapter's network with the host part left to type), the
/// adapter's mask and gateway, and previews the address each device gets, in list order,
/// skipping addresses in use. The values pass the Set IP dialog's checks; then one login goes
/// for all devices and a SetIpBatch sends each its request by its MAC. The rows show each
/// device's result, and whether a search of its own then found it at its new address; the
/// failed ones can be tried again with another password. The dialog is accepted on closing when
/// at least one device took its new address.
class NumberingDialog : public QDialog
{
    Q_OBJECT

public:
    enum Column { HostName, Mac, CurrentAddress, NewAddress, Result, ColumnCount };

    /// @brief @p devices in list order; @p addressesInUse: addresses no device may be given
    /// (those of found devices and of the adapters). @p password is the session's.
    NumberingDialog(Platform &platform, const QList<DeviceTarget> &devices, const QStringList &addressesInUse,
                    SequenceCounters &counters, QString &password, QWidget *parent = nullptr);
    ~NumberingDialog() override;

    /// @brief The address each device would get, in list order; fewer when they do not fit.
    QList<quint32> plannedAddresses() const { return m_numbering ? m_numbering->addresses() : QList<quint32>(); }
    SetIpBatch &batch() { return *m_batch; }

    /// @brief The Number button: checks the values, asks for the password and starts the requests.
    void numberDevices();
    /// @brief Asks for a password again and sends the devices that failed their requests anew.
    void retryFailed();

    void reject() override;

private:
    void createControls();
    void updatePreview();
    void run(const QList<int> &rows, const QString &password);
    void showOutcome(int job, SetIpBatch::Outcome outcome);
    void runFinished();
    void setRowResult(int row, const QString &result);

    QList<DeviceTarget> m_devices;
    QSet<quint32> m_inUse;
    QString &m_password;
    PresenceCheck *m_presence = nullptr;
    SetIpBatch *m_batch = nullptr;
    int m_unverified = 0; ///< devices of the last run that said OK but were not found at their new address
    std::optional<AddressNumbering> m_numbering;
    QList<int> m_runRows;                 ///< the rows of the jobs of the run under way
    QList<std::optional<SetIpBatch::Outcome>> m_outcomes; ///< per row, once it has run (never run: none)
    quint32 m_mask = 0;
    quint32 m_gateway = 0;

    VelmoIPAddress *m_firstEdit = nullptr;
    VelmoIPAddress *m_maskEdit = nullptr;
    VelmoIPAddress *m_gatewayEdit = nullptr;
    QLabel *m_note = nullptr;
    QTreeWidget *m_table = nullptr;
    QPushButton *m_numberButton = nullptr;
    QPushButton *m_retryButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};

} // namespace farlight
