#pragma once

#include "discovery/searchsession.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

class QAction;
class QDialog;
class QFrame;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace farlight {

class AppState;
class PendingDialog;
class Platform;

/// @brief The main window: the device list, its menus, toolbar and context menus.
///
/// It runs no exchange itself: the search is a SearchSession that it starts and shows, and the
/// per-device commands open dialogs made by factories that main() plugs in.
class StartWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class DeviceDialog { SetIp, Download, MacFilter };
    /// Creates the dialog for the device at @p deviceIndex of the device table.
    using DialogFactory = std::function<QDialog *(qint16 deviceIndex, QWidget *parent)>;

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

    SearchSession &searchSession() { return m_session; }

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
    void layoutList();
    void updateActions();

    QTreeWidgetItem *selectedRow() const;
    void selectRowAt(const QPoint &viewportPos);
    void popUpMenuAt(const QPoint &globalPos);
    void deleteSelectedRow();
    void deleteAllRows();
    void openHelp();

    void showSearchStep(int step);
    void endSearch(SearchSession::Outcome outcome);
    void rebuildList();

    AppState &m_state;
    Platform &m_platform;
    SearchSession m_session;
    QPointer<PendingDialog> m_pending; ///< the progress dialog of the search under way, if any
    std::array<DialogFactory, 3> m_dialogFactories{};

    QTreeWidget *m_list = nullptr;
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
};

} // namespace farlight
