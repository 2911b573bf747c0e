#include "app/startwindow.h"

#include "session/appstate.h"
#include "app/icons.h"
#include "app/mainlayout.h"
#include "app/diagnosisdialog.h"
#include "app/pendingdialog.h"
#include "dialogs/aboutdialog.h"
#include "diagnosis/diagnosis.h"
#include "diagnosis/report.h"
#include "dialogs/helpindex.h"
#include "discovery/devicesearch.h"
#include "discovery/presencecheck.h"
#include "ipconfig/setipdialog.h"
#include "netenv/platform.h"
#include "resources/strings.h"
#include "session/devicelistmodel.h"
#include "session/sharedaddress.h"
#include "session/usersettings.h"
#include "widgets/twips.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QSettings>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace farlight {

namespace {

// Wide enough that every column of the list shows its full text in a desktop font.
constexpr int DefaultWidthTwips = 12000;
constexpr int DefaultHeightTwips = 6000;

namespace Key {
const QString Geometry = QStringLiteral("window/geometry");
const QString ToolbarVisible = QStringLiteral("window/toolbar");
const QString Header = QStringLiteral("list/header");
const QString ColumnWidthsChosen = QStringLiteral("list/columnWidthsChosen");
const QString SortColumn = QStringLiteral("list/sortColumn");
const QString SortOrder = QStringLiteral("list/sortOrder");
} // namespace Key

// Every row shows the device image beside its host name; the model has no images, being display-free.
class RowIconDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->icon = m_icon;
    }

private:
    QIcon m_icon = Icons::Device();
};

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
    , m_presence(new PresenceCheck(platform, this))
    , m_diagnosisFactory([&platform] { return new Diagnosis(platform); })
{
    setObjectName(QStringLiteral("start"));
    createActions();
    createMenus();
    createToolBar();
    createList();
    createStatusBar();

    m_state.appTitle = text(StringId::ProductName);
    setWindowTitle(m_state.appTitle);

    connect(&m_session, &SearchSession::inventoryMessage, this, [this](int id) {
        updateActions();
        showPlainMessage(this, text(id));
    });
    connect(&m_session, &SearchSession::progress, this, &StartWindow::showSearchStep);
    connect(&m_session, &SearchSession::finished, this, &StartWindow::endSearch);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &StartWindow::updateStatus);
    // Keys move the current row too; a range taken with Shift starts from where it was before.
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (!QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier))
            m_selectionAnchor = current;
    });
    // Sorting, filtering and deleting move rows; the selection goes with its row, or goes away.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &StartWindow::updateStatus);
    connect(m_model, &QAbstractItemModel::modelReset, this, &StartWindow::updateStatus);
    updateStatus();

    const double dpi = logicalDpiX();
    resize(TwipsToPixels(DefaultWidthTwips, dpi), TwipsToPixels(DefaultHeightTwips, dpi));
    if (const auto settings = OpenUserSettings())
        restoreLayout(*settings);
}

StartWindow::~StartWindow()
{
    if (const auto settings = OpenUserSettings())
        saveLayout(*settings);
}

void StartWindow::setDialogFactory(DeviceDialog kind, DialogFactory factory)
{
    m_dialogFactories[std::size_t(kind)] = std::move(factory);
    updateActions();
}

void StartWindow::setFleetDialogFactory(DeviceDialog kind, FleetDialogFactory factory)
{
    m_fleetDialogFactories[std::size_t(kind)] = std::move(factory);
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
    m_macFilterAction = makeAction("mFilter", 18);
    m_connectAction = makeAction("connect", 6);
    m_exitAction = makeAction("mexit", 7);
    m_deleteAction = makeAction("delete", 8);
    m_deleteAllAction = makeAction("all", 9);
    m_searchAction = makeAction("search", 10);
    m_toolbarAction = makeAction("toolbar", 11);
    m_setIpAction = makeAction("setip", 12);
    m_upgradeAction = makeAction("Mload", 13);
    m_helpAction = makeAction("mHelpTopic", 14);
    m_aboutAction = makeAction("Mabout", 15);

    const auto addCommand = [this](const char *name, const QString &caption, const QKeySequence &shortcut) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setStatusTip(QString(caption).remove(u'&').remove(QStringLiteral("...")));
        action->setShortcut(shortcut);
        addAction(action);
        return action;
    };
    m_copyAction = addCommand("copy", QStringLiteral("C&opy"), QKeySequence::Copy);
    m_findAction = addCommand("findFilter", QStringLiteral("&Filter Devices"), QKeySequence::Find);
    m_exportAction = addCommand("exportList", QStringLiteral("E&xport Device List..."), QKeySequence(Qt::CTRL | Qt::Key_E));
    m_diagnoseAction = addCommand("diagnose", QStringLiteral("&Diagnose Network..."), QKeySequence(Qt::CTRL | Qt::Key_D));

    m_toolbarAction->setCheckable(true);
    m_toolbarAction->setChecked(true);
    m_searchAction->setIcon(Icons::Search());
    m_deleteAction->setIcon(Icons::Delete());

    // Shortcuts beyond the mnemonics, as expected of a desktop tool. Delete and Enter on a row
    // belong to the list (eventFilter), so they never fire from another widget.
    m_searchAction->setShortcut(QKeySequence(Qt::Key_F5));
    m_exitAction->setShortcut(QKeySequence::Quit);
    m_helpAction->setShortcut(QKeySequence::HelpContents);
    m_connectAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    m_setIpAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    m_upgradeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    m_macFilterAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));

    connect(m_connectAction, &QAction::triggered, this, &StartWindow::OpenWebAdmin);
    connect(m_deleteAction, &QAction::triggered, this, &StartWindow::deleteSelectedRows);
    connect(m_deleteAllAction, &QAction::triggered, this, &StartWindow::deleteAllRows);
    connect(m_searchAction, &QAction::triggered, this, &StartWindow::RunSearch);
    connect(m_toolbarAction, &QAction::toggled, this, [this](bool on) { m_functionBar->setVisible(on); });
    connect(m_setIpAction, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::SetIp); });
    connect(m_upgradeAction, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::Download); });
    connect(m_macFilterAction, &QAction::triggered, this, [this] { openDeviceDialog(DeviceDialog::MacFilter); });
    connect(m_helpAction, &QAction::triggered, this, &StartWindow::openHelp);
    connect(m_aboutAction, &QAction::triggered, this, [this] { AboutDialog::showModal(this); });
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_copyAction, &QAction::triggered, this, &StartWindow::copySelectedRow);
    connect(m_exportAction, &QAction::triggered, this, &StartWindow::exportList);
    connect(m_diagnoseAction, &QAction::triggered, this, &StartWindow::openDiagnosis);
    connect(m_findAction, &QAction::triggered, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
}

void StartWindow::createMenus()
{
    auto addMenu = [this](const char *name, int textId) {
        QMenu *menu = menuBar()->addMenu(text(textId));
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    QMenu *file = addMenu("file", 1);
    file->addActions({m_macFilterAction, m_connectAction});
    file->addSeparator();
    file->addAction(m_exportAction);
    file->addSeparator();
    file->addAction(m_exitAction);

    QMenu *edit = addMenu("edit", 2);
    edit->addActions({m_deleteAction, m_deleteAllAction});
    edit->addSeparator();
    edit->addAction(m_searchAction);
    edit->addSeparator();
    edit->addActions({m_copyAction, m_findAction});

    addMenu("view", 3)->addAction(m_toolbarAction);

    QMenu *admin = addMenu("admin", 4);
    admin->addAction(m_setIpAction);
    admin->addSeparator();
    admin->addAction(m_upgradeAction);

    QMenu *help = addMenu("mHelp", 5);
    help->addActions({m_helpAction, m_diagnoseAction, m_aboutAction});

    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("Mpop"));
    m_rowMenu->addActions({m_macFilterAction, m_connectAction, m_setIpAction, m_upgradeAction});
    m_rowMenu->addSeparator();
    m_rowMenu->addAction(m_deleteAction);
    m_rowMenu->addSeparator();
    m_rowMenu->addAction(m_copyAction);

    m_allMenu = new QMenu(this);
    m_allMenu->setObjectName(QStringLiteral("Mall"));
    m_allMenu->addAction(m_deleteAllAction);
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
    const std::pair<QAction *, const char *> buttons[] = {{m_searchAction, "Bsearch"}, {m_deleteAction, "Bdelete"}};
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

    m_filter = new QLineEdit(m_client);
    m_filter->setObjectName(QStringLiteral("deviceFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter devices (Ctrl+F)"));
    m_filter->setAccessibleName(QStringLiteral("Device filter"));
    m_filter->setAccessibleDescription(QStringLiteral("Shows only the devices with this text in any column; Escape clears it"));
    m_filter->setClearButtonEnabled(true);

    m_model = new DeviceListModel(m_state, DeviceRowTexts, this);
    connect(m_filter, &QLineEdit::textChanged, this, &StartWindow::applyFilter);

    m_list = new QTreeView(m_client);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setAccessibleName(text(StringId::ProductName));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    // Shift and Ctrl pick several rows for the commands that act on many devices.
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setContextMenuPolicy(Qt::NoContextMenu);
    m_list->setModel(m_model);
    m_emptyHint = new QLabel(m_list->viewport());
    m_emptyHint->setObjectName(QStringLiteral("emptyHint"));
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_emptyHint->hide();
    (new QVBoxLayout(m_list->viewport()))->addWidget(m_emptyHint);
    m_list->setItemDelegateForColumn(DeviceListModel::HostName, new RowIconDelegate(m_list));
    QHeaderView *header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(true);
    // The rows keep table order until the user picks a column.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!m_layingOutColumns)
            m_columnWidthsChosen = true;
    });
    m_list->viewport()->installEventFilter(this);
    m_list->installEventFilter(this);
    m_filter->installEventFilter(this);
}

void StartWindow::applyFilter(const QString &text)
{
    // A single-selection view selects the neighbour of a current row that goes away; a row the
    // filter hides must leave no row selected instead.
    QItemSelectionModel *selection = m_list->selectionModel();
    const QPersistentModelIndex current = selection->currentIndex();
    QList<QPersistentModelIndex> selected;
    for (const QModelIndex &row : selection->selectedRows())
        selected.append(row);
    selection->clearCurrentIndex();
    m_model->setFilterText(text);
    QItemSelection kept;
    for (const QPersistentModelIndex &row : std::as_const(selected)) {
        if (row.isValid())
            kept.select(row, row);
    }
    selection->select(kept, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (current.isValid())
        selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void StartWindow::createStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->setAccessibleName(QStringLiteral("Status"));
    m_countLabel = new QLabel(this);
    m_countLabel->setObjectName(QStringLiteral("deviceCount"));
    m_searchTimeLabel = new QLabel(this);
    m_searchTimeLabel->setObjectName(QStringLiteral("lastSearch"));
    // Permanent, so a command's status tip does not hide the count.
    statusBar()->addPermanentWidget(m_countLabel, 1);
    statusBar()->addPermanentWidget(m_searchTimeLabel);
}

void StartWindow::updateStatus()
{
    if (m_model->listedCount() > 0)
        m_emptyHint->hide();
    QString count = m_model->countText();
    if (const qsizetype selected = selectedRows().size(); selected > 1)
        count += QStringLiteral(", %1 selected").arg(selected);
    // A flood of forged answers could otherwise fill the list and hide real devices unsaid.
    if (const int away = m_session.devicesTurnedAway(); away > 0 && !m_session.isActive())
        count += QStringLiteral("; the list is full: %1 more answered").arg(away);
    m_countLabel->setText(count);
    m_countLabel->setAccessibleName(count);
    updateActions();
}

void StartWindow::updateActions()
{
    // While a search runs the device table is being refilled, so no row may be acted on.
    const bool idle = !m_session.isActive();
    const qsizetype selected = idle ? selectedRows().size() : 0;
    const bool row = selected == 1;
    // A command on several rows needs a dialog made for several devices.
    const auto offered = [&](DeviceDialog kind) {
        const std::size_t k = std::size_t(kind);
        return row ? bool(m_dialogFactories[k]) : selected > 1 && bool(m_fleetDialogFactories[k]);
    };
    m_connectAction->setEnabled(row);
    m_deleteAction->setEnabled(selected > 0);
    m_setIpAction->setEnabled(offered(DeviceDialog::SetIp));
    m_upgradeAction->setEnabled(offered(DeviceDialog::Download));
    m_macFilterAction->setEnabled(offered(DeviceDialog::MacFilter));
    m_deleteAllAction->setEnabled(idle && m_model->rowCount() > 0);
    m_searchAction->setEnabled(idle);
    m_copyAction->setEnabled(row);
    m_exportAction->setEnabled(idle && m_model->rowCount() > 0);
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
    const int listWidth = qMax(0, m_client->width() - margin);
    const int filterHeight = m_filter->sizeHint().height();
    const int listTop = lineHeight + filterHeight;
    m_line->setGeometry(0, 0, m_client->width(), lineHeight);
    m_filter->setGeometry(0, lineHeight, listWidth, filterHeight);
    m_list->setGeometry(0, listTop, listWidth, qMax(0, m_client->height() - listTop));
    if (m_columnWidthsChosen)
        return;
    const QScopedValueRollback layingOut(m_layingOutColumns, true);
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

void StartWindow::restoreLayout(const QSettings &settings)
{
    restoreGeometry(settings.value(Key::Geometry).toByteArray());
    m_toolbarAction->setChecked(settings.value(Key::ToolbarVisible, true).toBool());
    const QScopedValueRollback layingOut(m_layingOutColumns, true);
    m_list->header()->restoreState(settings.value(Key::Header).toByteArray());
    m_columnWidthsChosen = settings.value(Key::ColumnWidthsChosen, false).toBool();
    const int column = settings.value(Key::SortColumn, -1).toInt();
    const auto order = Qt::SortOrder(settings.value(Key::SortOrder, int(Qt::AscendingOrder)).toInt());
    m_list->sortByColumn(column >= 0 && column < DeviceListModel::ColumnCount ? column : -1,
                         order == Qt::DescendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void StartWindow::saveLayout(QSettings &settings) const
{
    settings.setValue(Key::Geometry, saveGeometry());
    settings.setValue(Key::ToolbarVisible, m_toolbarAction->isChecked());
    settings.setValue(Key::Header, m_list->header()->saveState());
    settings.setValue(Key::ColumnWidthsChosen, m_columnWidthsChosen);
    settings.setValue(Key::SortColumn, m_list->header()->sortIndicatorSection());
    settings.setValue(Key::SortOrder, int(m_list->header()->sortIndicatorOrder()));
}

void StartWindow::startUp()
{
    QTimer::singleShot(StartUpPause, this, [this] {
        if (isVisible())
            RunSearch();
    });
}

// ---- list mouse and keys ----

QModelIndexList StartWindow::selectedRows() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    return rows;
}

QModelIndex StartWindow::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first() : QModelIndex();
}

QList<DeviceTarget> StartWindow::selectedDevices() const
{
    QList<DeviceTarget> devices;
    for (const QModelIndex &row : selectedRows()) {
        if (const std::optional<DeviceTarget> device = m_state.target(row.data(DeviceListModel::DeviceIndexRole).toInt()))
            devices.append(*device);
    }
    return devices;
}

void StartWindow::selectRowAt(const QPoint &viewportPos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    using Flag = QItemSelectionModel::SelectionFlag;
    QItemSelectionModel *selection = m_list->selectionModel();
    const QModelIndex row = m_list->indexAt(viewportPos);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    if (!row.isValid()) {
        if (!ctrl && !shift)
            m_list->clearSelection();
        return;
    }
    // A right click inside the selection keeps it, so the context menu acts on all of it.
    if (button == Qt::RightButton && selection->isRowSelected(row.row())) {
        selection->setCurrentIndex(row, Flag::NoUpdate);
        return;
    }
    if (button == Qt::LeftButton && shift && m_selectionAnchor.isValid()) {
        const QItemSelection range(m_model->index(m_selectionAnchor.row(), 0),
                                   m_model->index(row.row(), DeviceListModel::ColumnCount - 1));
        selection->select(range, (ctrl ? Flag::Select : Flag::ClearAndSelect) | Flag::Rows);
        selection->setCurrentIndex(row, Flag::NoUpdate);
        return;
    }
    m_selectionAnchor = row;
    if (button == Qt::LeftButton && ctrl)
        selection->setCurrentIndex(row, Flag::Toggle | Flag::Rows);
    else
        selection->setCurrentIndex(row, Flag::ClearAndSelect | Flag::Rows);
}

void StartWindow::popUpMenuAt(const QPoint &globalPos)
{
    (selectedRows().isEmpty() ? m_allMenu : m_rowMenu)->exec(globalPos);
}

bool StartWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            // Any button selects the row under the pointer, or none on empty space.
            const auto *mouse = static_cast<QMouseEvent *>(event);
            selectRowAt(mouse->position().toPoint(), mouse->button(), mouse->modifiers());
            m_list->setFocus(Qt::MouseFocusReason);
            if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton && selectedRow().isValid())
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
            m_deleteAction->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_connectAction->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Menu) {
            const QRect rect = m_list->visualRect(m_list->currentIndex());
            popUpMenuAt(m_list->viewport()->mapToGlobal(rect.isValid() ? rect.center() : QPoint()));
            return true;
        }
        // The view would copy the current cell alone.
        if (key->matches(QKeySequence::Copy)) {
            m_copyAction->trigger();
            return true;
        }
    } else if (watched == m_filter && event->type() == QEvent::KeyPress
               && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_filter->clear();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- commands ----

void StartWindow::deleteSelectedRows()
{
    // The device table keeps the entries; only the list forgets them.
    QList<QPersistentModelIndex> rows;
    for (const QModelIndex &row : selectedRows())
        rows.append(row);
    for (const QPersistentModelIndex &row : std::as_const(rows))
        m_model->dropRow(row);
    updateActions();
}

void StartWindow::deleteAllRows()
{
    // What the filter hides is not in view, so it is not deleted either.
    m_model->dropVisibleRows();
    updateActions();
}

void StartWindow::copySelectedRow()
{
    const QModelIndex row = selectedRow();
    if (row.isValid())
        QGuiApplication::clipboard()->setText(m_model->rowAsTsv(row));
}

void StartWindow::exportList()
{
    if (m_session.isActive() || m_model->rowCount() == 0)
        return;
    const QString folder = RememberedFolder(FileKind::DeviceList);
    const QString path = QFileDialog::getSaveFileName(this, QString(m_exportAction->text()).remove(u'&').remove(QStringLiteral("...")),
                                                      QDir(folder).filePath(QStringLiteral("devices.csv")),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    RememberFolder(FileKind::DeviceList, path);
    const QString failure = m_model->saveCsv(path);
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, m_state.appTitle,
                             QStringLiteral("The device list could not be saved as %1:\n%2")
                                 .arg(QDir::toNativeSeparators(path), failure));
    }
}

int StartWindow::selectedDevice() const
{
    const QModelIndex row = selectedRow();
    return row.isValid() ? row.data(DeviceListModel::DeviceIndexRole).toInt() : -1;
}

bool StartWindow::confirmSharedAddress(const DeviceTarget &device, const QString &what)
{
    const SharedAddress shared = FindSharedAddress(m_state, device);
    if (!shared.shared())
        return true;
    const QString question = SharedAddressText(shared, what) + QStringLiteral("\n\nGo on?");
    return QMessageBox::question(this, m_state.appTitle, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void StartWindow::openDeviceDialog(DeviceDialog kind)
{
    if (selectedRows().size() > 1)
        return openFleetDialog(kind);
    const DialogFactory &factory = m_dialogFactories[std::size_t(kind)];
    const int deviceIndex = selectedDevice();
    const std::optional<DeviceTarget> device = m_state.target(deviceIndex);
    if (!device || !factory || m_session.isActive())
        return;
    // Set IP and MAC filtering name the device by its MAC; an upload goes to its address.
    if (kind == DeviceDialog::Download && !confirmSharedAddress(*device, QStringLiteral("a firmware upload")))
        return;
    QPointer<QDialog> dialog = factory(*device, m_password, this);
    if (!dialog)
        return;
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    if (dialog->exec() == QDialog::Accepted && kind == DeviceDialog::SetIp && dialog)
        verifyAddress(*dialog);
    delete dialog;
}

void StartWindow::openFleetDialog(DeviceDialog kind)
{
    const FleetDialogFactory &factory = m_fleetDialogFactories[std::size_t(kind)];
    const QList<DeviceTarget> devices = selectedDevices();
    if (devices.size() < 2 || !factory || m_session.isActive())
        return;
    QPointer<QDialog> dialog = factory(devices, m_password, this);
    if (!dialog)
        return;
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    delete dialog;
    // The devices now answer elsewhere: the list shows them where they are.
    if (accepted && kind == DeviceDialog::SetIp)
        RunSearch();
}

void StartWindow::verifyAddress(const QDialog &dialog)
{
    const auto *setIp = qobject_cast<const SetIpDialog *>(&dialog);
    if (!setIp || m_presence->isActive())
        return;
    const QString mac = FormatMac(setIp->device().mac);
    const QString address = setIp->requestedAddress();
    const QString where = address.isEmpty() ? QStringLiteral("again") : QStringLiteral("at %1").arg(address);
    statusBar()->showMessage(QStringLiteral("Checking that %1 answers %2...").arg(mac, where));
    disconnect(m_presence, &PresenceCheck::finished, this, nullptr);
    connect(m_presence, &PresenceCheck::finished, this, [this, mac, where](const QList<bool> &answered) {
        const bool ok = answered.value(0);
        statusBar()->showMessage(ok ? QStringLiteral("%1 answers %2: verified").arg(mac, where)
                                    : QStringLiteral("%1 did not answer %2: not verified").arg(mac, where));
    });
    m_presence->start({{setIp->device().mac, address}});
}

void StartWindow::OpenWebAdmin()
{
    const int deviceIndex = selectedDevice();
    const std::optional<DeviceTarget> device = m_state.target(deviceIndex);
    if (!device || !confirmSharedAddress(*device, QStringLiteral("the web page")))
        return;
    m_platform.removeArpEntry(device->interfaceIndex, device->address);
    m_platform.openUrl(QUrl(QStringLiteral("http://") + device->address));
}

void StartWindow::openHelp()
{
    const QUrl index = HelpIndexUrl();
    if (index.isEmpty() || !m_platform.openUrl(index))
        QMessageBox::information(this, m_state.appTitle, text(StringId::HelpMissing));
}

// ---- search ----

void StartWindow::RunSearch()
{
    if (m_session.isActive())
        return;
    // The search empties the device table at once, so the rows of the last one would lead to
    // emptied entries, even while the inventory's messages are up.
    m_model->clearRows();
    m_emptyHint->hide();
    m_session.start();
}

void StartWindow::showSearchStep(int step)
{
    if (!m_pending) {
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
    // Without adapters the table stays empty, and so does the list.
    if (outcome != SearchSession::Outcome::NoAdapters)
        m_model->listTable();
    m_searchTimeLabel->setText(QStringLiteral("Last search %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    updateActions();
    if (outcome != SearchSession::Outcome::Cancelled && outcome != SearchSession::Outcome::Stopped
        && m_model->listedCount() == 0)
        explainEmptyList();
    emit searchFinished();
}

void StartWindow::explainEmptyList()
{
    // The checks of this computer only: the search that just ended was the live one.
    Diagnosis *diagnosis = m_diagnosisFactory();
    diagnosis->setParent(this);
    diagnosis->setLiveSearch(false);
    connect(diagnosis, &Diagnosis::finished, this, [this, diagnosis](const QList<Finding> &findings) {
        diagnosis->deleteLater();
        if (m_session.isActive() || m_model->listedCount() > 0)
            return;
        const QString cause = QStringLiteral("No device found. %1\nHelp > Diagnose Network... tells more.").arg(MostLikelyCause(findings));
        m_emptyHint->setText(cause);
        m_emptyHint->setAccessibleName(cause);
        m_emptyHint->show();
    });
    diagnosis->start();
}

void StartWindow::openDiagnosis()
{
    auto *dialog = new DiagnosisDialog(m_diagnosisFactory(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

} // namespace farlight
