#pragma once

#include "discovery/searchsession.h"
#include "session/devicetarget.h"

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QPointer>

#include <array>
#include <functional>

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QModelIndex;
class QSettings;
class QToolBar;
class QTreeView;

namespace farlight {

class AppState;
class Diagnosis;
class DeviceListModel;
class PendingDialog;
class PresenceCheck;
class Platform;

/// @brief The main window: the device list, its menus, toolbar and context menus.
///
/// It runs no exchange itself: the search is a SearchSession that it starts and shows, and the
/// per-device commands open dialogs made by factories that main() plugs in. The list shows a
/// DeviceListModel, which the user sorts and filters; its layout is kept in the user's settings.
class StartWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class DeviceDialog { SetIp, Download, MacFilter };
    /// Creates the dialog for @p device. @p password is the session's: the last one a login
    /// confirmed, which the dialog may replace.
    using DialogFactory = std::function<QDialog *(const DeviceTarget &device, QString &password, QWidget *parent)>;
    /// Creates the dialog of a command on several rows for @p devices, in list order.
    using FleetDialogFactory =
        std::function<QDialog *(const QList<DeviceTarget> &devices, QString &password, QWidget *parent)>;

    /// Makes a diagnosis of this computer's network, not yet started.
    using DiagnosisFactory = std::function<Diagnosis *()>;
    static constexpr std::chrono::milliseconds StartUpPause{500};

    StartWindow(AppState &state, Platform &platform, QWidget *parent = nullptr);
    ~StartWindow() override;

    /// @brief Plugs in the dialog a per-device command opens; a command without one stays disabled.
    void setDialogFactory(DeviceDialog kind, DialogFactory factory);
    /// @brief Plugs in the dialog a command opens with several rows selected; without one the
    /// command needs exactly one row. A Set IP dialog accepted here is followed by a new search.
    void setFleetDialogFactory(DeviceDialog kind, FleetDialogFactory factory);

    /// @brief The devices of the selected rows, in the order the list shows them.
    QList<DeviceTarget> selectedDevices() const;

    /// @brief The start-up tail: a short pause so the window paints, then the first search.
    void startUp();

    /// @brief Starts a search (unless one is running) and returns; searchFinished() follows.
    void RunSearch();

    /// @brief Opens the selected device's web page after clearing its ARP entry.
    void OpenWebAdmin();

    /// @brief Opens a device dialog for the device of the selected row, or the fleet dialog
    /// for the devices of several selected rows.
    void openDeviceDialog(DeviceDialog kind);

    /// @brief Puts the selected row, with a header line, on the clipboard as tab-separated text.
    void copySelectedRow();
    /// @brief Asks for a file and writes the shown rows to it as CSV.
    void exportList();

    SearchSession &searchSession() { return m_session; }

    /// @brief Replaces the diagnosis behind the empty list's hint and Help > Diagnose Network...
    void setDiagnosisFactory(DiagnosisFactory factory) { m_diagnosisFactory = std::move(factory); }
    /// @brief Opens the diagnosis report.
    void openDiagnosis();

signals:
    /// @brief A search has ended and the list shows its devices.
    void searchFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *makeAction(const char *name, int textId);
    void createActions();
    void createMenus();
    void createToolBar();
    void createList();
    void createStatusBar();
    void applyFilter(const QString &text);
    void layoutList();
    void updateActions();
    void updateStatus();
    void restoreLayout(const QSettings &settings);
    void saveLayout(QSettings &settings) const;

    /// The selected rows in list order.
    QModelIndexList selectedRows() const;
    /// The one selected row; invalid when none or several are selected.
    QModelIndex selectedRow() const;
    /// The device table index of the one selected row's device, or -1.
    int selectedDevice() const;
    void openFleetDialog(DeviceDialog kind);
    /// Before @p what reaches a device by its address: when other found devices answer from the
    /// same address, says so and asks whether to go on.
    bool confirmSharedAddress(const DeviceTarget &device, const QString &what);
    /// After "Set IP OK": whether the device answers where it was sent, told in the status bar.
    void verifyAddress(const QDialog &dialog);
    void selectRowAt(const QPoint &viewportPos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void popUpMenuAt(const QPoint &globalPos);
    void deleteSelectedRows();
    void deleteAllRows();
    void openHelp();

    void showSearchStep(int step);
    void endSearch(SearchSession::Outcome outcome);
    void explainEmptyList();

    AppState &m_state;
    Platform &m_platform;
    SearchSession m_session;
    QString m_password; ///< the last password a login confirmed in this run
    PresenceCheck *m_presence = nullptr;
    QPointer<PendingDialog> m_pending; ///< the progress dialog of the search under way, if any
    std::array<DialogFactory, 3> m_dialogFactories{};
    std::array<FleetDialogFactory, 3> m_fleetDialogFactories{};
    QPersistentModelIndex m_selectionAnchor; ///< where a Shift+click range starts

    DeviceListModel *m_model = nullptr;
    QTreeView *m_list = nullptr;
    QLineEdit *m_filter = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_searchTimeLabel = nullptr;
    /// Once the user has sized the columns, resizing the window no longer lays them out.
    bool m_columnWidthsChosen = false;
    bool m_layingOutColumns = false;
    QFrame *m_line = nullptr;
    QWidget *m_client = nullptr;
    QToolBar *m_functionBar = nullptr;
    QMenu *m_rowMenu = nullptr; ///< context menu of a device row
    QMenu *m_allMenu = nullptr; ///< context menu of the empty list

    // One action per command, shared by menus, context menus and toolbar.
    QAction *m_macFilterAction = nullptr;
    QAction *m_connectAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_deleteAllAction = nullptr;
    QAction *m_searchAction = nullptr;
    QAction *m_toolbarAction = nullptr;
    QAction *m_setIpAction = nullptr;
    QAction *m_upgradeAction = nullptr;
    QAction *m_helpAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_copyAction = nullptr;
    QAction *m_findAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_diagnoseAction = nullptr;

    DiagnosisFactory m_diagnosisFactory;
    QLabel *m_emptyHint = nullptr; ///< over the empty list: the likeliest reason a search found nothing
};

} // namespace farlight
