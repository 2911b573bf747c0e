#include "app/startwindow.h"

#include "session/appstate.h"
#include "app/icons.h"
#include "app/mainlayout.h"
#include "app/pendingdialog.h"
#include "dialogs/aboutdialog.h"
#include "dialogs/helpindex.h"
#include "netenv/platform.h"
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
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace farlight {

namespace {

// Wide enough that every column of the list shows its full text in a desktop font.
constexpr int DefaultWidthTwips = 12000;
constexpr int DefaultHeightTwips = 6000;
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
    , m_session(state, platform)
{
    setObjectName(QStringLiteral("start"));
    createActions();
    createMenus();
    createToolBar();
    createList();

    m_state.AppTitle = text(StringId::ProductName);
    setWindowTitle(m_state.AppTitle);
    m_state.OsVersionCode = m_platform.osVersionCode();

    connect(&m_session, &SearchSession::inventoryMessage, this, [this](int id) {
        updateActions();
        showPlainMessage(this, text(id));
    });
    connect(&m_session, &SearchSession::progress, this, &StartWindow::showSearchStep);
    connect(&m_session, &SearchSession::finished, this, &StartWindow::endSearch);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &StartWindow::updateActions);
    updateActions();

    const double dpi = logicalDpiX();
    resize(TwipsToPixels(DefaultWidthTwips, dpi), TwipsToPixels(DefaultHeightTwips, dpi));
}

StartWindow::~StartWindow() = default;

void StartWindow::setDialogFactory(DeviceDialog kind, DialogFactory factory)
{
    m_dialogFactories[std::size_t(kind)] = std::move(factory);
    updateActions();
}

QAction *StartWindow::makeAction(const char *name, int textId)
{
    auto *action = new QAction(text(textId), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(QString(text(textId)).remove(u'&'));
    // Shortcuts work while the window is active, whichever menu holds the action.
    addAction(action);
    return action;
}

void StartWindow::createActions()
{
    m_mFilter = makeAction("mFilter", 18);
    m_connect = makeAction("connect", 6);
    m_mexit = makeAction("mexit", 7);
    m_delete = makeAction("delete", 8);
    m_deleteAll = makeAction("all", 9);
    m_search = makeAction("search", 10);
    m_toolbar = makeAction("toolbar", 11);
    m_setip = makeAction("setip", 12);
    m_Mload = makeAction("Mload", 13);
    m_mHelpTopic = makeAction("mHelpTopic", 14);
    m_Mabout = makeAction("Mabout", 15);

    m_toolbar->setCheckable(true);
    m_toolbar->setChecked(true);
    m_search->setIcon(Icons::Search());
    m_delete->setIcon(Icons::Delete());

    // Shortcuts beyond the mnemonics, as expected of a desktop tool. Delete and Enter on a row
    // belong to the list (eventFilter), so they never fire from another widget.
    m_search->setShortcut(QKeySequence(Qt::Key_F5));
    m_mexit->setShortcut(QKeySequence::Quit);
    m_mHelpTopic->setShortcut(QKeySequence::HelpContents);
    m_connect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    m_setip->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    m_Mload->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    m_mFilter->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));

    connect(m_connect, &QAction::triggered, this, &StartWindow::OpenWebAdmin);
    connect(m_delete, &QAction::triggered, this, &StartWindow::deleteSelectedRow);
    connect(m_deleteAll, &QAction::triggered, this, &StartWindow::deleteAllRows);
    connect(m_search, &QAction::triggered, this, &StartWindow::RunSearch);
    connect(m_toolbar, &QAction::toggled, this, [this](bool on) { m_functionBar->setVisible(on); });
    connect(m_setip, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::SetIp); });
    connect(m_Mload, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::Download); });
    connect(m_mFilter, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::MacFilter); });
    connect(m_mHelpTopic, &QAction::triggered, this, &StartWindow::openHelp);
    connect(m_Mabout, &QAction::triggered, this, [this] { AboutDialog::showModal(this); });
    connect(m_mexit, &QAction::triggered, this, &QWidget::close);
}

void StartWindow::createMenus()
{
    auto addMenu = [this](const char *name, int textId) {
        QMenu *menu = menuBar()->addMenu(text(textId));
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    QMenu *file = addMenu("file", 1);
    file->addActions({m_mFilter, m_connect});
    file->addSeparator();
    file->addAction(m_mexit);

    QMenu *edit = addMenu("edit", 2);
    edit->addActions({m_delete, m_deleteAll});
    edit->addSeparator();
    edit->addAction(m_search);

    addMenu("view", 3)->addAction(m_toolbar);

    QMenu *admin = addMenu("admin", 4);
    admin->addAction(m_setip);
    admin->addSeparator();
    admin->addAction(m_Mload);

    QMenu *help = addMenu("mHelp", 5);
    help->addActions({m_mHelpTopic, m_Mabout});

    m_pop = new QMenu(this);
    m_pop->setObjectName(QStringLiteral("Mpop"));
    m_pop->addActions({m_mFilter, m_connect, m_setip, m_Mload});
    m_pop->addSeparator();
    m_pop->addAction(m_delete);

    m_allMenu = new QMenu(this);
    m_allMenu->setObjectName(QStringLiteral("Mall"));
    m_allMenu->addAction(m_deleteAll);
}

void StartWindow::createToolBar()
{
    m_functionBar = addToolBar(QString(text(16)));
    m_functionBar->setObjectName(QStringLiteral("FunctionBar"));
    m_functionBar->setMovable(false);
    m_functionBar->setFloatable(false);
    m_functionBar->toggleViewAction()->setVisible(false);
    m_functionBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_functionBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    // The buttons are keyed "Bsearch" and "Bdelete"; they show only their images, so a screen
    // reader needs a name for each.
    const std::pair<QAction *, const char *> buttons[] = {{m_search, "Bsearch"}, {m_delete, "Bdelete"}};
    for (const auto &[action, key] : buttons) {
        m_functionBar->addAction(action);
        QWidget *widget = m_functionBar->widgetForAction(action);
        widget->setObjectName(QString::fromLatin1(key));
        widget->setAccessibleName(QString(action->text()).remove(u'&'));
        widget->setToolTip(action->text());
    }
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

void StartWindow::updateActions()
{
    // While a search runs the device table is being refilled, so no row may be acted on.
    const bool idle = !m_session.isActive();
    const bool row = idle && selectedRow() != nullptr;
    const auto offered = [this, row](DeviceDialog kind) { return row && bool(m_dialogFactories[std::size_t(kind)]); };
    m_connect->setEnabled(row);
    m_delete->setEnabled(row);
    m_setip->setEnabled(offered(DeviceDialog::SetIp));
    m_Mload->setEnabled(offered(DeviceDialog::Download));
    m_mFilter->setEnabled(offered(DeviceDialog::MacFilter));
    m_deleteAll->setEnabled(idle && m_list->topLevelItemCount() > 0);
    m_search->setEnabled(idle);
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
    // Leaving does not wait for a search under way.
    m_session.stop();
    QCoreApplication::exit(0);
}

void StartWindow::startUp()
{
    QTimer::singleShot(StartUpPause, this, [this] {
        if (isVisible())
            RunSearch();
    });
}

// ---- list mouse and keys ----

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

void StartWindow::popUpMenuAt(const QPoint &globalPos)
{
    (selectedRow() ? m_pop : m_allMenu)->exec(globalPos);
}

bool StartWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            // Any button selects the row under the pointer, or none on empty space.
            const auto *mouse = static_cast<QMouseEvent *>(event);
            selectRowAt(mouse->position().toPoint());
            m_list->setFocus(Qt::MouseFocusReason);
            if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton && selectedRow())
                OpenWebAdmin();
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::RightButton)
                popUpMenuAt(mouse->globalPosition().toPoint());
            return true;
        }
        default:
            break;
        }
    } else if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            m_delete->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_connect->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Menu) {
            const QRect rect = selectedRow() ? m_list->visualItemRect(selectedRow()) : QRect();
            popUpMenuAt(m_list->viewport()->mapToGlobal(rect.isValid() ? rect.center() : QPoint()));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- commands ----

void StartWindow::deleteSelectedRow()
{
    // The device table keeps the entry; only the list forgets it.
    if (QTreeWidgetItem *row = selectedRow())
        delete m_list->takeTopLevelItem(m_list->indexOfTopLevelItem(row));
    updateActions();
}

void StartWindow::deleteAllRows()
{
    m_list->clear();
    updateActions();
}

void StartWindow::openDeviceDialog(DeviceDialog kind)
{
    const QTreeWidgetItem *row = selectedRow();
    const DialogFactory &factory = m_dialogFactories[std::size_t(kind)];
    if (!row || !factory || m_session.isActive())
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
    if (index.isEmpty() || !m_platform.openUrl(index))
        QMessageBox::information(this, m_state.AppTitle, text(StringId::HelpMissing));
}

// ---- search ----

void StartWindow::RunSearch()
{
    m_session.start();
}

void StartWindow::showSearchStep(int step)
{
    if (!m_pending) {
        // Requests are out: the rows of the last search would lead to emptied entries.
        m_list->clear();
        updateActions();
        m_pending = new PendingDialog(SearchSession::StepCount, this);
        connect(m_pending, &PendingDialog::cancelRequested, &m_session, &SearchSession::cancel);
        m_pending->show();
        m_pending->raise();
    }
    m_pending->setStep(step);
}

void StartWindow::endSearch(SearchSession::Outcome outcome)
{
    // Cancel only raises a flag that the next step reads, so the dialog never ends in its own handler.
    delete m_pending;
    if (outcome == SearchSession::Outcome::NoAdapters)
        m_list->clear(); // the table is empty now, so old rows would lead nowhere
    else
        rebuildList();
    updateActions();
    emit searchFinished();
}

void StartWindow::rebuildList()
{
    m_list->clear();
    const QIcon icon = Icons::Device();
    for (qint16 i = 0; i < m_state.DeviceCount; ++i) {
        auto *row = new QTreeWidgetItem(DeviceRowTexts(m_state.DeviceTable[std::size_t(i)]));
        row->setIcon(0, icon);
        row->setData(0, Qt::UserRole, RowIconKey);
        m_list->addTopLevelItem(row);
    }
}

} // namespace farlight
