#include "app/startwindow.h"

#include "session/appstate.h"
#include "app/icons.h"
#include "app/mainlayout.h"
#include "app/pendingdialog.h"
#include "dialogs/aboutdialog.h"
#include "dialogs/helpindex.h"
#include "netenv/adapterinventory.h"
#include "netenv/platform.h"
#include "netenv/platformutils.h"
#include "netenv/udppeer.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"
#include "widgets/twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QToolBar>
#include <QTreeWidget>

namespace farlight {

namespace {

// Wide enough that every column of the list shows its full text in a desktop font.
constexpr int DefaultWidthTwips = 12000;
constexpr int DefaultHeightTwips = 6000;
constexpr float StartUpPauseSeconds = 0.5f;
constexpr int IpAddressColumn = 1;
const QString RowIconKey = QStringLiteral("Normal");

QString columnTitle(int column)
{
    static constexpr int FirstColumnTextId = 101;
    return text(FirstColumnTextId + column);
}

// Messages of the inventory: OK only, no icon, the application title.
void showPlainMessage(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, message, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

StartWindow::StartWindow(AppState &state, Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_platform(platform)
    , m_search(std::span<DeviceRecord, DeviceSearch::MaxDevices>(state.DeviceTable), state.DeviceCount)
    , m_wait([](float seconds) { WaitSeconds(seconds); })
{
    setObjectName(QStringLiteral("start"));
    createActions();
    createMenus();
    createToolBar();
    createList();

    // Load sequence: captions come from the string table as the actions are made.
    m_state.AppTitle = text(StringId::ProductName);
    setWindowTitle(m_state.AppTitle);
    m_state.OsVersionCode = m_platform.osVersionCode();
    applyInitialStates();

    // Element 0 of the search sockets always exists; the inventory asks for the others.
    m_udpPeerA.push_back(new UdpPeer(this));
    connect(m_udpPeerA[0], &UdpPeer::dataArrival, this, [this] { searchDatagram(0); });
    connect(m_udpPeerA[0], &UdpPeer::error, this, [](int, const QString &, bool &cancel) { cancel = true; });

    const double dpi = logicalDpiX();
    resize(TwipsToPixels(DefaultWidthTwips, dpi),
           TwipsToPixels(DefaultHeightTwips, dpi));
}

StartWindow::~StartWindow()
{
    clearSearchSockets();
    for (UdpPeer *peer : m_udpPeerA)
        peer->close();
}

void StartWindow::setDialogFactory(DeviceDialog kind, DialogFactory factory)
{
    m_dialogFactories[std::size_t(kind)] = std::move(factory);
}

void StartWindow::setWaitFunction(WaitFunction wait)
{
    m_wait = std::move(wait);
}

QAction *StartWindow::makeAction(const char *name, int textId)
{
    auto *action = new QAction(text(textId), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(QString(text(textId)).remove(u'&'));
    return action;
}

void StartWindow::createActions()
{
    m_mFilter = makeAction("mFilter", 18);
    m_connect = makeAction("connect", 6);
    m_mexit = makeAction("mexit", 7);
    m_delete = makeAction("delete", 8);
    m_allItem = makeAction("all", 9);
    m_searchItem = makeAction("search", 10);
    m_toolbar = makeAction("toolbar", 11);
    m_setip = makeAction("setip", 12);
    m_Mload = makeAction("Mload", 13);
    m_mHelpTopic = makeAction("mHelpTopic", 14);
    m_Mabout = makeAction("Mabout", 15);
    m_pFilter = makeAction("pFilter", 18);
    m_mconnect = makeAction("mconnect", 6);
    m_Msetip = makeAction("Msetip", 12);
    m_mDownload = makeAction("mDownload", 13);
    m_Mdelete = makeAction("Mdelete", 8);
    m_Mdelall = makeAction("Mdelall", 9);

    m_toolbar->setCheckable(true);
    m_toolbar->setChecked(true);

    // Shortcuts beyond the mnemonics, as expected of a desktop tool.
    m_searchItem->setShortcut(QKeySequence(Qt::Key_F5));
    m_mexit->setShortcut(QKeySequence::Quit);
    m_mHelpTopic->setShortcut(QKeySequence::HelpContents);
    // Shortcuts work while the window is active, whichever menu holds the action.
    addActions({m_searchItem, m_mexit, m_mHelpTopic});

    connect(m_connect, &QAction::triggered, this, &StartWindow::OpenWebAdmin);
    connect(m_mconnect, &QAction::triggered, this, &StartWindow::OpenWebAdmin);
    connect(m_delete, &QAction::triggered, this, &StartWindow::deleteSelectedRow);
    connect(m_Mdelete, &QAction::triggered, this, &StartWindow::deleteSelectedRow);
    connect(m_allItem, &QAction::triggered, this, &StartWindow::deleteAllRows);
    connect(m_Mdelall, &QAction::triggered, this, &StartWindow::deleteAllRows);
    connect(m_searchItem, &QAction::triggered, this, &StartWindow::RunSearch);
    connect(m_toolbar, &QAction::triggered, this, &StartWindow::toggleToolbar);
    connect(m_setip, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::SetIp); });
    connect(m_Msetip, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::SetIp); });
    connect(m_Mload, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::Download); });
    connect(m_mDownload, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::Download); });
    connect(m_mFilter, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::MacFilter); });
    connect(m_pFilter, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::MacFilter); });
    connect(m_mHelpTopic, &QAction::triggered, this, &StartWindow::openHelp);
    connect(m_Mabout, &QAction::triggered, this, &StartWindow::showAbout);
    connect(m_mexit, &QAction::triggered, this, &QWidget::close);
}

void StartWindow::createMenus()
{
    auto addMenu = [this](const char *name, int textId) {
        QMenu *menu = menuBar()->addMenu(text(textId));
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addSeparator = [](QMenu *menu, const char *name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    m_file = addMenu("file", 1);
    m_file->addAction(m_mFilter);
    m_file->addAction(m_connect);
    addSeparator(m_file, "file2p");
    m_file->addAction(m_mexit);

    m_edit = addMenu("edit", 2);
    m_edit->addAction(m_delete);
    m_edit->addAction(m_allItem);
    addSeparator(m_edit, "dedit");
    m_edit->addAction(m_searchItem);

    m_view = addMenu("view", 3);
    m_view->addAction(m_toolbar);

    m_admin = addMenu("admin", 4);
    m_admin->addAction(m_setip);
    addSeparator(m_admin, "donset");
    m_admin->addAction(m_Mload);

    m_help = addMenu("mHelp", 5);
    m_help->addAction(m_mHelpTopic);
    m_help->addAction(m_Mabout);

    m_pop = new QMenu(this);
    m_pop->setObjectName(QStringLiteral("Mpop"));
    m_pop->addAction(m_pFilter);
    m_pop->addAction(m_mconnect);
    m_pop->addAction(m_Msetip);
    m_pop->addAction(m_mDownload);
    m_pop->addSeparator()->setObjectName(QStringLiteral("pop1"));
    m_pop->addAction(m_Mdelete);

    m_all = new QMenu(this);
    m_all->setObjectName(QStringLiteral("Mall"));
    m_all->addAction(m_Mdelall);

    // Opening a menu offers its per-device items only while a row is selected.
    connect(m_file, &QMenu::aboutToShow, this, [this] {
        const bool row = selectedRow() != nullptr;
        m_mFilter->setEnabled(row);
        m_connect->setEnabled(row);
    });
    connect(m_edit, &QMenu::aboutToShow, this, [this] {
        if (selectedRow()) {
            m_delete->setEnabled(true);
            m_allItem->setEnabled(true);
        } else {
            m_delete->setEnabled(false);
        }
    });
    connect(m_admin, &QMenu::aboutToShow, this, [this] {
        const bool row = selectedRow() != nullptr;
        m_setip->setEnabled(row);
        m_Mload->setEnabled(row);
    });
}

void StartWindow::createToolBar()
{
    m_functionBar = addToolBar(QString(text(16)));
    m_functionBar->setObjectName(QStringLiteral("FunctionBar"));
    m_functionBar->setMovable(false);
    m_functionBar->setFloatable(false);
    m_functionBar->toggleViewAction()->setVisible(false);
    m_functionBar->setContextMenuPolicy(Qt::PreventContextMenu);

    m_Bsearch = m_functionBar->addAction(Icons::Search(), text(10));
    m_Bsearch->setObjectName(QStringLiteral("Bsearch"));
    m_Bsearch->setToolTip(text(10));
    m_Bdelete = m_functionBar->addAction(Icons::Delete(), text(8));
    m_Bdelete->setObjectName(QStringLiteral("Bdelete"));
    m_Bdelete->setToolTip(text(8));
    for (QAction *button : {m_Bsearch, m_Bdelete}) {
        // The buttons show only their images, so a screen reader needs a name for each.
        if (QWidget *widget = m_functionBar->widgetForAction(button)) {
            widget->setObjectName(button->objectName());
            widget->setAccessibleName(QString(button->text()).remove(u'&'));
        }
    }
    connect(m_functionBar, &QToolBar::actionTriggered, this, &StartWindow::toolbarClicked);
}

void StartWindow::createList()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    m_line = new QFrame(m_client);
    m_line->setObjectName(QStringLiteral("Line1"));
    m_line->setFrameShape(QFrame::HLine);
    m_line->setFrameShadow(QFrame::Sunken);

    m_list = new QTreeWidget(m_client);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setAccessibleName(text(StringId::ProductName));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setContextMenuPolicy(Qt::NoContextMenu);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    QStringList titles;
    for (int column = 0; column < MainLayout::ColumnCount; ++column)
        titles.append(columnTitle(column));
    m_list->setHeaderLabels(titles);
    m_list->viewport()->installEventFilter(this);
    m_list->installEventFilter(this);
}

void StartWindow::applyInitialStates()
{
    for (QAction *item : {m_mFilter, m_pFilter, m_connect, m_mconnect, m_delete, m_allItem, m_setip, m_Mload})
        item->setEnabled(false);
    m_Bsearch->setEnabled(true);
    m_Bdelete->setEnabled(false);
    m_mHelpTopic->setEnabled(true);
    m_Msetip->setEnabled(false);
    m_mDownload->setEnabled(false);
}

void StartWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutList();
}

void StartWindow::layoutList()
{
    const double dpi = logicalDpiX();
    const int margin = TwipsToPixels(MainLayout::ListRightMarginTwips, dpi);
    const int lineHeight = 2;
    m_line->setGeometry(0, 0, m_client->width(), lineHeight);
    m_list->setGeometry(0, lineHeight, qMax(0, m_client->width() - margin), m_client->height() - lineHeight);
    const auto widths = MainLayout::ColumnWidthsTwips(PixelsToTwips(width(), dpi));
    for (int column = 0; column < MainLayout::ColumnCount; ++column)
        m_list->setColumnWidth(column, qMax(0, TwipsToPixels(widths[std::size_t(column)], dpi)));
}

void StartWindow::closeEvent(QCloseEvent *event)
{
    QMessageBox box(QMessageBox::Information, text(StringId::ExitTitle), text(StringId::ExitQuestion),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("exitConfirmation"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Ok) {
        event->ignore();
        return;
    }
    event->accept();
    // A search under way stops counting; leaving must not wait for its progress dialog.
    if (m_pending)
        m_pending->requestCancel();
    m_search.finish();
    clearSearchSockets();
    for (UdpPeer *peer : m_udpPeerA)
        peer->close();
    QCoreApplication::exit(0);
}

void StartWindow::startUp()
{
    m_wait(StartUpPauseSeconds);
    if (isVisible())
        RunSearch();
}

// ---- list mouse handling ----

QTreeWidgetItem *StartWindow::selectedRow() const
{
    const QList<QTreeWidgetItem *> rows = m_list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void StartWindow::selectRowAt(const QPoint &viewportPos)
{
    QTreeWidgetItem *row = m_list->itemAt(viewportPos);
    if (row) {
        m_list->setCurrentItem(row);
        row->setSelected(true);
    } else {
        m_list->clearSelection();
    }
}

bool StartWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            listMouseDown(mouse->button(), mouse->position().toPoint());
            // Selection is decided above; the list only takes the focus.
            m_list->setFocus(Qt::MouseFocusReason);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            listMouseUp(mouse->button(), mouse->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseButtonDblClick: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            listMouseDown(mouse->button(), mouse->position().toPoint());
            if (mouse->button() == Qt::LeftButton && selectedRow())
                OpenWebAdmin();
            return true;
        }
        default:
            break;
        }
    } else if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            if (selectedRow())
                deleteSelectedRow();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && selectedRow()) {
            OpenWebAdmin();
            return true;
        }
        if (key->key() == Qt::Key_Menu) {
            const QRect rect = selectedRow() ? m_list->visualItemRect(selectedRow()) : QRect();
            listMouseUp(Qt::RightButton, m_list->viewport()->mapToGlobal(rect.isValid() ? rect.center() : QPoint()));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void StartWindow::listMouseDown(Qt::MouseButton button, const QPoint &pos)
{
    selectRowAt(pos);
    if (!selectedRow()) {
        for (QAction *item : {m_connect, m_delete, m_mFilter, m_Bdelete})
            item->setEnabled(false);
        return;
    }
    if (button == Qt::LeftButton) {
        for (QAction *item : {m_Mload, m_setip, m_connect, m_mconnect, m_mFilter, m_delete, m_Bdelete})
            item->setEnabled(true);
    }
}

void StartWindow::listMouseUp(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button != Qt::RightButton)
        return;
    if (!selectedRow()) {
        for (QAction *item : {m_mDownload, m_Mload, m_pFilter, m_mFilter, m_connect, m_delete, m_Bdelete})
            item->setEnabled(false);
        m_all->exec(globalPos);
        return;
    }
    for (QAction *item : {m_mDownload, m_Mload, m_setip, m_Msetip, m_delete, m_connect, m_mconnect, m_mFilter,
                          m_pFilter, m_Bdelete})
        item->setEnabled(true);
    m_pop->exec(globalPos);
}

// ---- commands ----

void StartWindow::disableRowCommands()
{
    for (QAction *item : {m_delete, m_allItem, m_Bdelete, m_connect, m_mconnect})
        item->setEnabled(false);
}

void StartWindow::deleteSelectedRow()
{
    QTreeWidgetItem *row = selectedRow();
    if (!row)
        return;
    delete m_list->takeTopLevelItem(m_list->indexOfTopLevelItem(row));
    if (m_list->topLevelItemCount() == 0)
        disableRowCommands();
}

void StartWindow::deleteAllRows()
{
    m_list->clear();
    disableRowCommands();
}

void StartWindow::toggleToolbar()
{
    // The action's check mark has already been inverted by the click.
    m_functionBar->setVisible(m_toolbar->isChecked());
}

void StartWindow::toolbarClicked(QAction *button)
{
    if (button == m_Bdelete) {
        deleteSelectedRow();
    } else if (button == m_Bsearch) {
        m_Bdelete->setEnabled(false);
        RunSearch();
    }
}

void StartWindow::openDeviceDialog(DeviceDialog kind)
{
    const QTreeWidgetItem *row = selectedRow();
    const DialogFactory &factory = m_dialogFactories[std::size_t(kind)];
    // Without a selected row there is no device to act on; the menus never offer it then.
    if (!row || !factory)
        return;
    const QString address = row->text(IpAddressColumn);
    qint16 deviceIndex = -1;
    for (qint16 i = 0; i < m_state.DeviceCount; ++i) {
        if (m_state.DeviceTable[std::size_t(i)].IpAddress == address)
            deviceIndex = i; // the last match wins
    }
    if (deviceIndex < 0)
        return;
    QPointer<QDialog> dialog = factory(deviceIndex, this);
    if (!dialog)
        return;
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->exec();
    delete dialog;
}

void StartWindow::OpenWebAdmin()
{
    const QTreeWidgetItem *row = selectedRow();
    if (!row)
        return;
    const QString address = row->text(IpAddressColumn);
    qint32 interfaceIndex = 0;
    for (qint16 k = 0; k < m_state.DeviceCount; ++k) {
        const DeviceRecord &device = m_state.DeviceTable[std::size_t(k)];
        if (device.IpAddress == address && device.AdapterIndex >= 0 && device.AdapterIndex < AppState::AdapterCapacity)
            interfaceIndex = m_state.AdapterTable[std::size_t(device.AdapterIndex)].InterfaceIndex;
    }
    m_platform.removeArpEntry(interfaceIndex, address);
    m_platform.openUrl(QUrl(QStringLiteral("http://") + address));
}

void StartWindow::openHelp()
{
    const QUrl index = HelpIndexUrl();
    if (index.isEmpty() || !m_platform.openUrl(index)) {
        QMessageBox::information(this, m_state.AppTitle, text(StringId::HelpMissing));
    }
}

void StartWindow::showAbout()
{
    AboutDialog::showModal(this);
}

// ---- search ----

void StartWindow::RunSearch()
{
    if (m_search.isActive())
        return; // a search is already collecting; its progress dialog is up
    m_search.begin();
    m_Bdelete->setEnabled(false);
    clearSearchSockets();

    m_adaptersOk = true;
    takeInventoryAndSockets();
    if (!m_adaptersOk || m_state.AdapterCount == 0) {
        // The table is empty now, so rows of the last search would lead nowhere.
        m_search.finish();
        m_list->clear();
        emit searchFinished();
        return;
    }
    m_list->clear();
    setUpSearchSockets();
    sendSearchRequests();

    PendingDialog pending(this, m_wait);
    m_pending = &pending;
    pending.run();
    m_pending = nullptr;

    m_search.finish();
    rebuildList();
    emit searchFinished();
}

void StartWindow::takeInventoryAndSockets()
{
    const AdapterInventoryResult result = TakeAdapterInventory(m_state.OsVersionCode, m_platform, m_state.AdapterTable,
                                                               m_state.AdapterCount, m_adaptersOk);
    for (int i = int(m_udpPeerA.size()); i < result.searchSockets && i < AppState::AdapterCapacity; ++i) {
        auto *peer = new UdpPeer(this);
        connect(peer, &UdpPeer::dataArrival, this, [this, i] { searchDatagram(i); });
        connect(peer, &UdpPeer::error, this, [](int, const QString &, bool &cancel) { cancel = true; });
        m_udpPeerA.push_back(peer);
    }
    for (int id : result.messages)
        showPlainMessage(this, text(id));
}

void StartWindow::setUpSearchSockets()
{
    for (int i = 0; i < m_state.AdapterCount && i < int(m_udpPeerA.size()); ++i) {
        UdpPeer *peer = m_udpPeerA[std::size_t(i)];
        const AdapterRecord &adapter = m_state.AdapterTable[std::size_t(i)];
        peer->close();
        peer->setRemoteHost(QString::fromLatin1(BroadcastAddress));
        peer->setRemotePort(DevicePort);
        peer->bind(0, adapter.IpAddress, adapter.InterfaceIndex);
    }
}

void StartWindow::sendSearchRequests()
{
    m_search.nextSequence();
    for (int i = 0; i < m_state.AdapterCount && i < int(m_udpPeerA.size()); ++i) {
        UdpPeer *peer = m_udpPeerA[std::size_t(i)];
        if (peer->localAddress() == QLatin1StringView("0.0.0.0"))
            continue;
        const QByteArray request = m_search.buildRequest(i, m_state.AdapterTable[std::size_t(i)].Mac);
        peer->setRemoteHost(QString::fromLatin1(BroadcastAddress));
        peer->sendData(request);
    }
}

void StartWindow::searchDatagram(int adapterIndex)
{
    if (adapterIndex < 0 || adapterIndex >= int(m_udpPeerA.size()))
        return;
    const UdpPeer *peer = m_udpPeerA[std::size_t(adapterIndex)];
    if (m_search.handleDatagram(adapterIndex, peer->getData(), peer->remoteHostIp()) == DeviceSearch::Verdict::Accepted)
        enableDeviceCommands();
}

void StartWindow::enableDeviceCommands()
{
    for (QAction *item : {m_delete, m_allItem, m_connect, m_mconnect, m_Mload, m_setip, m_mFilter, m_pFilter})
        item->setEnabled(true);
}

void StartWindow::rebuildList()
{
    m_list->clear();
    const QIcon icon = Icons::Device();
    for (qint16 i = 0; i < m_state.DeviceCount; ++i) {
        m_Bdelete->setEnabled(true);
        auto *row = new QTreeWidgetItem(DeviceRowTexts(m_state.DeviceTable[std::size_t(i)]));
        row->setIcon(0, icon);
        row->setData(0, Qt::UserRole, RowIconKey);
        m_list->addTopLevelItem(row);
    }
}

void StartWindow::clearSearchSockets()
{
    // Element 0 stays; the others belong to the previous inventory.
    while (m_udpPeerA.size() > 1) {
        UdpPeer *peer = m_udpPeerA.back();
        m_udpPeerA.pop_back();
        peer->close();
        delete peer;
    }
}

} // namespace farlight
