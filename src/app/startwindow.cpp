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
#include "netenv/platform.h"
#include "resources/strings.h"
#include "session/devicelistmodel.h"
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
    m_state.OsVersionCode = m_platform.osVersionCode();

    connect(&m_session, &SearchSession::inventoryMessage, this, [this](int id) {
        updateActions();
        showPlainMessage(this, text(id));
    });
    connect(&m_session, &SearchSession::progress, this, &StartWindow::showSearchStep);
    connect(&m_session, &SearchSession::finished, this, &StartWindow::endSearch);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &StartWindow::updateActions);
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

    const auto addCommand = [this](const char *name, const QString &caption, const QKeySequence &shortcut) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setStatusTip(QString(caption).remove(u'&').remove(QStringLiteral("...")));
        action->setShortcut(shortcut);
        addAction(action);
        return action;
    };
    m_copy = addCommand("copy", QStringLiteral("C&opy"), QKeySequence::Copy);
    m_findFilter = addCommand("findFilter", QStringLiteral("&Filter Devices"), QKeySequence::Find);
    m_export = addCommand("exportList", QStringLiteral("E&xport Device List..."), QKeySequence(Qt::CTRL | Qt::Key_E));
    m_diagnose = addCommand("diagnose", QStringLiteral("&Diagnose Network..."), QKeySequence(Qt::CTRL | Qt::Key_D));

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
    connect(m_copy, &QAction::triggered, this, &StartWindow::copySelectedRow);
    connect(m_export, &QAction::triggered, this, &StartWindow::exportList);
    connect(m_diagnose, &QAction::triggered, this, &StartWindow::openDiagnosis);
    connect(m_findFilter, &QAction::triggered, this, [this] {
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
    file->addActions({m_mFilter, m_connect});
    file->addSeparator();
    file->addAction(m_export);
    file->addSeparator();
    file->addAction(m_mexit);

    QMenu *edit = addMenu("edit", 2);
    edit->addActions({m_delete, m_deleteAll});
    edit->addSeparator();
    edit->addAction(m_search);
    edit->addSeparator();
    edit->addActions({m_copy, m_findFilter});

    addMenu("view", 3)->addAction(m_toolbar);

    QMenu *admin = addMenu("admin", 4);
    admin->addAction(m_setip);
    admin->addSeparator();
    admin->addAction(m_Mload);

    QMenu *help = addMenu("mHelp", 5);
    help->addActions({m_mHelpTopic, m_diagnose, m_Mabout});

    m_pop = new QMenu(this);
    m_pop->setObjectName(QStringLiteral("Mpop"));
    m_pop->addActions({m_mFilter, m_connect, m_setip, m_Mload});
    m_pop->addSeparator();
    m_pop->addAction(m_delete);
    m_pop->addSeparator();
    m_pop->addAction(m_copy);

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
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
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
    const bool selected = selectedRow().isValid();
    selection->clearCurrentIndex();
    m_model->setFilterText(text);
    if (current.isValid())
        selection->setCurrentIndex(current, selected ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                                                     : QItemSelectionModel::NoUpdate);
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
    const QString count = m_model->countText();
    m_countLabel->setText(count);
    m_countLabel->setAccessibleName(count);
    updateActions();
}

void StartWindow::updateActions()
{
    // While a search runs the device table is being refilled, so no row may be acted on.
    const bool idle = !m_session.isActive();
    const bool row = idle && selectedRow().isValid();
    const auto offered = [this, row](DeviceDialog kind) { return row && bool(m_dialogFactories[std::size_t(kind)]); };
    m_connect->setEnabled(row);
    m_delete->setEnabled(row);
    m_setip->setEnabled(offered(DeviceDialog::SetIp));
    m_Mload->setEnabled(offered(DeviceDialog::Download));
    m_mFilter->setEnabled(offered(DeviceDialog::MacFilter));
    m_deleteAll->setEnabled(idle && m_model->rowCount() > 0);
    m_search->setEnabled(idle);
    m_copy->setEnabled(row);
    m_export->setEnabled(idle && m_model->rowCount() > 0);
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
    m_toolbar->setChecked(settings.value(Key::ToolbarVisible, true).toBool());
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
    settings.setValue(Key::ToolbarVisible, m_toolbar->isChecked());
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

QModelIndex StartWindow::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.first();
}

void StartWindow::selectRowAt(const QPoint &viewportPos)
{
    const QModelIndex row = m_list->indexAt(viewportPos);
    if (row.isValid())
        m_list->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        m_list->clearSelection();
}

void StartWindow::popUpMenuAt(const QPoint &globalPos)
{
    (selectedRow().isValid() ? m_pop : m_allMenu)->exec(globalPos);
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
            m_delete->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_connect->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Menu) {
            const QRect rect = m_list->visualRect(selectedRow());
            popUpMenuAt(m_list->viewport()->mapToGlobal(rect.isValid() ? rect.center() : QPoint()));
            return true;
        }
        // The view would copy the current cell alone.
        if (key->matches(QKeySequence::Copy)) {
            m_copy->trigger();
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

void StartWindow::deleteSelectedRow()
{
    // The device table keeps the entry; only the list forgets it.
    m_model->dropRow(selectedRow());
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
    const QString path = QFileDialog::getSaveFileName(this, QString(m_export->text()).remove(u'&').remove(QStringLiteral("...")),
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

void StartWindow::openDeviceDialog(DeviceDialog kind)
{
    const QModelIndex row = selectedRow();
    const DialogFactory &factory = m_dialogFactories[std::size_t(kind)];
    if (!row.isValid() || !factory || m_session.isActive())
        return;
    const QString address = row.siblingAtColumn(DeviceListModel::IpAddress).data().toString();
    qint16 deviceIndex = -1;
    for (qint16 i = 0; i < m_state.deviceCount; ++i) {
        if (m_state.deviceTable[std::size_t(i)].IpAddress == address)
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
    const QModelIndex row = selectedRow();
    if (!row.isValid())
        return;
    const QString address = row.siblingAtColumn(DeviceListModel::IpAddress).data().toString();
    qint32 interfaceIndex = 0;
    for (qint16 k = 0; k < m_state.deviceCount; ++k) {
        const DeviceRecord &device = m_state.deviceTable[std::size_t(k)];
        if (device.IpAddress == address && device.AdapterIndex >= 0 && device.AdapterIndex < AppState::AdapterCapacity)
            interfaceIndex = m_state.adapterTable[std::size_t(device.AdapterIndex)].InterfaceIndex;
    }
    m_platform.removeArpEntry(interfaceIndex, address);
    m_platform.openUrl(QUrl(QStringLiteral("http://") + address));
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
