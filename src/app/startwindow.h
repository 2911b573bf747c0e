#pragma once

#include "discovery/devicesearch.h"

#include <QMainWindow>

#include <functional>
#include <vector>

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
class UdpPeer;

/// @brief The main window: the device list, its menus, toolbar and context menus, and the search.
class StartWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class DeviceDialog { SetIp, Download, MacFilter };
    /// Creates the dialog for the device at @p deviceIndex of the device table.
    using DialogFactory = std::function<QDialog *(qint16 deviceIndex, QWidget *parent)>;
    /// Waits the given seconds while events keep being processed.
    using WaitFunction = std::function<void(float)>;

    StartWindow(AppState &state, Platform &platform, QWidget *parent = nullptr);
    ~StartWindow() override;

    /// @brief Plugs in the dialog a per-device command opens; a command without one does nothing.
    void setDialogFactory(DeviceDialog kind, DialogFactory factory);
    /// @brief Replaces the waits of start-up and of the search's progress dialog (tests shorten them).
    void setWaitFunction(WaitFunction wait);

    /// @brief The start-up tail: a short pause so the window paints, then the first search.
    void startUp();

    /// @brief Empties the device table, takes the adapter inventory, broadcasts a search request
    /// from every adapter, collects replies behind the progress dialog and lists the devices.
    void RunSearch();

    /// @brief Opens the selected device's web page after clearing its ARP entry.
    void OpenWebAdmin();

    /// @brief Opens a device dialog for the selected row, found by its IP address text.
    void openDeviceDialog(DeviceDialog kind);

    bool searchActive() const { return m_search.isActive(); }
    /// @brief The search sockets, one per adapter of the last inventory (element 0 always exists).
    const std::vector<UdpPeer *> &searchSockets() const { return m_udpPeerA; }

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
    void applyInitialStates();
    void layoutList();

    QTreeWidgetItem *selectedRow() const;
    void selectRowAt(const QPoint &viewportPos);
    void listMouseDown(Qt::MouseButton button, const QPoint &pos);
    void listMouseUp(Qt::MouseButton button, const QPoint &globalPos);
    void deleteSelectedRow();
    void deleteAllRows();
    void disableRowCommands();
    void toggleToolbar();
    void toolbarClicked(QAction *button);
    void openHelp();
    void showAbout();

    void takeInventoryAndSockets();
    void setUpSearchSockets();
    void sendSearchRequests();
    void searchDatagram(int adapterIndex);
    void enableDeviceCommands();
    void rebuildList();
    void clearSearchSockets();

    AppState &m_state;
    Platform &m_platform;
    DeviceSearch m_search;
    bool m_adaptersOk = false;
    WaitFunction m_wait;
    std::vector<UdpPeer *> m_udpPeerA;
    PendingDialog *m_pending = nullptr; ///< the progress dialog of the search under way, if any
    std::array<DialogFactory, 3> m_dialogFactories{};

    QTreeWidget *m_list = nullptr;
    QFrame *m_line = nullptr;
    QWidget *m_client = nullptr;
    QToolBar *m_functionBar = nullptr;

    QMenu *m_file = nullptr;
    QMenu *m_edit = nullptr;
    QMenu *m_view = nullptr;
    QMenu *m_admin = nullptr;
    QMenu *m_help = nullptr;
    QMenu *m_pop = nullptr;
    QMenu *m_all = nullptr;

    // Menu items, named as the commands are known throughout the program.
    QAction *m_mFilter = nullptr;
    QAction *m_connect = nullptr;
    QAction *m_mexit = nullptr;
    QAction *m_delete = nullptr;
    QAction *m_allItem = nullptr;
    QAction *m_searchItem = nullptr;
    QAction *m_toolbar = nullptr;
    QAction *m_setip = nullptr;
    QAction *m_Mload = nullptr;
    QAction *m_mHelpTopic = nullptr;
    QAction *m_Mabout = nullptr;
    QAction *m_pFilter = nullptr;
    QAction *m_mconnect = nullptr;
    QAction *m_Msetip = nullptr;
    QAction *m_mDownload = nullptr;
    QAction *m_Mdelete = nullptr;
    QAction *m_Mdelall = nullptr;
    QAction *m_Bsearch = nullptr;
    QAction *m_Bdelete = nullptr;
};

} // namespace farlight
