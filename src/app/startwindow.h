#pragma once

#include "discovery/searchsession.h"

#include <QMainWindow>
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
    /// Creates the dialog for the device at @p deviceIndex of the device table.
    using DialogFactory = std::function<QDialog *(qint16 deviceIndex, QWidget *parent)>;

    /// Makes a diagnosis of this computer's network, not yet started.
    using DiagnosisFactory = std::function<Diagnosis *()>;
    static constexpr std::chrono::milliseconds StartUpPause{500};

    StartWindow(AppState &state, Platform &platform, QWidget *parent = nullptr);
    ~StartWindow() override;

    /// @brief Plugs in the dialog a per-device command opens; a command without one stays disabled.
    void setDialogFactory(DeviceDialog kind, DialogFactory factory);

    /// @brief The start-up tail: a short pause so the window paints, then the first search.
    void startUp();

    /// @brief Starts a search (unless one is running) and returns; searchFinished() follows.
    void RunSearch();

    /// @brief Opens the selected device's web page after clearing its ARP entry.
    void OpenWebAdmin();

    /// @brief Opens a device dialog for the selected row, found by its IP address text.
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

    QModelIndex selectedRow() const;
    void selectRowAt(const QPoint &viewportPos);
    void popUpMenuAt(const QPoint &globalPos);
    void deleteSelectedRow();
    void deleteAllRows();
    void openHelp();

    void showSearchStep(int step);
    void endSearch(SearchSession::Outcome outcome);
    void explainEmptyList();

    AppState &m_state;
    Platform &m_platform;
    SearchSession m_session;
    QPointer<PendingDialog> m_pending; ///< the progress dialog of the search under way, if any
    std::array<DialogFactory, 3> m_dialogFactories{};

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
    QMenu *m_pop = nullptr; ///< context menu of a device row
    QMenu *m_allMenu = nullptr; ///< context menu of the empty list

    // One action per command, shared by menus, context menus and toolbar.
    QAction *m_mFilter = nullptr;
    QAction *m_connect = nullptr;
    QAction *m_mexit = nullptr;
    QAction *m_delete = nullptr;
    QAction *m_deleteAll = nullptr;
    QAction *m_search = nullptr;
    QAction *m_toolbar = nullptr;
    QAction *m_setip = nullptr;
    QAction *m_Mload = nullptr;
    QAction *m_mHelpTopic = nullptr;
    QAction *m_Mabout = nullptr;
    QAction *m_copy = nullptr;
    QAction *m_findFilter = nullptr;
    QAction *m_export = nullptr;
    QAction *m_diagnose = nullptr;

    DiagnosisFactory m_diagnosisFactory;
    QLabel *m_emptyHint = nullptr; ///< over the empty list: the likeliest reason a search found nothing
};

} // namespace farlight
