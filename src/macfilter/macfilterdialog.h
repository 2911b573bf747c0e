#pragma once

#include "dialogs/devicedialog.h"
#include "macfilter/filterbatch.h"
#include "macfilter/filterexchange.h"
#include "macfilter/filtertable.h"

#include <QMessageBox>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace farlight {

/// @brief The MAC filtering dialog MACFilter: shows one device's MAC filter list, edits it, loads
/// and saves it as a .MAC file and sends it back to the device.
///
/// Loading binds its socket to the adapter through which the device was found and asks the device
/// for its list, which fills the rows when it arrives. When that fails the dialog never appears
/// (DeviceDialog). An address is typed into six two-character boxes; Add, Replace and Remove
/// keep the list sorted and free of repeats (FilterTable). "Set Mac filtering" asks for the
/// password and sends the whole list; the device's verdict is shown as it arrives.
class MacFilterDialog : public DeviceDialog
{
    Q_OBJECT

public:
    static constexpr int ByteBoxCount = 6;

    /// @brief Loads the dialog for @p device. @p password is the session's: the list is read
    /// with it, and each password a login confirms replaces it.
    MacFilterDialog(const DeviceTarget &device, SequenceCounters &counters, QString &password, QWidget *parent = nullptr);
    ~MacFilterDialog() override;

    /// @brief The device the dialog acts on, fixed when it is created.
    const DeviceTarget &device() const { return m_exchange->device(); }
    /// @brief The file name last chosen for Open or Save; empty until then.
    QString filePath() const { return m_filePath; }
    /// @brief The list the rows show.
    const FilterTable &table() const { return m_table; }

    /// @brief "Set Mac filtering" then writes the list to each of @p devices (this dialog's
    /// device among them, whose list the dialog shows) with one login, and reports each result.
    void setFleet(const QList<DeviceTarget> &devices);
    FilterBatch &fleetBatch() { return *m_fleetBatch; }

    /// @brief Releases the socket as the dialog closes, whatever closes it.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void addAddress();
    void replaceAddress();
    void removeAddress();
    /// The file dialogs open at the list file of this dialog, else where the last .MAC file was chosen.
    QString startFolder() const;
    void openFile();
    void saveFile();
    void sendList();
    void showList(const QList<MacAddress> &addresses);
    void showVerdict(FilterExchange::Status status);
    void showFleetResults();

    QString typedKey();
    int selectedRow() const;
    void rebuildRows();
    void setRowButtonsEnabled(bool enabled);
    void listMousePressed(const QPoint &position);
    void showMessage(QMessageBox::Icon icon, const QString &title, int textId);

    QString &m_password;
    FilterTable m_table;
    QString m_filePath;
    FilterExchange *m_exchange = nullptr;
    QList<DeviceTarget> m_fleet;
    FilterBatch *m_fleetBatch = nullptr;
    QStringList m_fleetResults; ///< per device of the fleet, of the last write

    QLabel *m_image = nullptr;
    QLabel *m_listCaption = nullptr;
    QTreeWidget *m_list = nullptr;
    std::array<QLineEdit *, ByteBoxCount> m_byteBoxes{};
    QPushButton *m_addButton = nullptr;
    QPushButton *m_replaceButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    QPushButton *m_openButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_sendButton = nullptr;
    QPushButton *m_exitButton = nullptr;
    QLabel *m_note = nullptr; ///< a quiet note when a write goes unanswered
};

} // namespace farlight
