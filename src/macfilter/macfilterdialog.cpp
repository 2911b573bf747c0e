#include "macfilter/macfilterdialog.h"

#include "dialogs/applicationicon.h"
#include "dialogs/logindialog.h"
#include "macfilter/macfile.h"
#include "macfilter/maclist.h"
#include "resources/strings.h"
#include "session/usersettings.h"
#include "widgets/twips.h"

#include <QBoxLayout>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QValidator>

namespace farlight {

namespace {

constexpr int TitleCaption = 211;
constexpr int ListCaption = 212;
constexpr int OpenCaption = 213;
constexpr int SaveCaption = 214;
constexpr int AddCaption = 215;
constexpr int ReplaceCaption = 216;
constexpr int RemoveCaption = 217;
constexpr int SendCaption = 218;
constexpr int ExitCaption = 219;
constexpr int NumberCaption = 221;
constexpr int AddressCaption = 106;

constexpr int NumberColumn = 0;
constexpr int AddressColumn = 1;
// The number column is a third of the list less this margin; the address takes the rest.
constexpr int NumberColumnMarginTwips = 60;
constexpr int PairLength = 2;
constexpr int ImageSize = 48;
const QString FileFilter = QStringLiteral("MAC File (*.mac)");
// Lists kept elsewhere (a text file, a spreadsheet's CSV) open too; saving writes .MAC.
const QString OpenFilter = QStringLiteral("MAC lists (*.mac *.txt *.csv);;") + FileFilter + QStringLiteral(";;All files (*)");

// A box left with fewer than two characters reads as its value with leading zeros.
QString Normalised(const QString &pair)
{
    return (QStringLiteral("00") + pair).right(PairLength).toUpper();
}

// Whatever reaches a box other than by typing (a paste, a drop) loses its characters that are
// not hexadecimal, as typed ones do; more than two left is refused like a third typed one.
class HexPairValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        QString kept;
        int keptBeforeCaret = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (HexDigitValue(input[i]) < 0)
                continue;
            kept.append(input[i]);
            if (i < pos)
                ++keptBeforeCaret;
        }
        if (kept.size() > PairLength)
            return Invalid;
        input = kept;
        pos = keptBeforeCaret;
        return Acceptable;
    }
};

// One byte of the typed address: hexadecimal keys only, its whole text selected on entry, and
// two digits in upper case once it is left.
class ByteBox : public QLineEdit
{
public:
    explicit ByteBox(QWidget *parent)
        : QLineEdit(QStringLiteral("00"), parent)
    {
        setValidator(new HexPairValidator(this));
        setAlignment(Qt::AlignCenter);
        setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 8);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // Control characters (Backspace, Tab, Enter, the editing shortcuts) and keys without
        // text pass; other characters that are not hexadecimal are dropped.
        const QString typed = event->text();
        if (typed.size() == 1 && typed[0].isPrint() && HexDigitValue(typed[0]) < 0) {
            event->accept();
            return;
        }
        // A box holds one byte: a digit typed into a full box starts the byte anew, however the
        // caret got there (a second click, an arrow key), instead of being refused.
        if (typed.size() == 1 && HexDigitValue(typed[0]) >= 0 && text().size() >= PairLength && !hasSelectedText())
            selectAll();
        QLineEdit::keyPressEvent(event);
    }

    void focusInEvent(QFocusEvent *event) override
    {
        QLineEdit::focusInEvent(event);
        selectAll();
        // The press of a click places the caret after focus has arrived, and a drag moves it:
        // the release selects again, so that two typed digits replace the pair.
        m_selectOnRelease = event->reason() == Qt::MouseFocusReason || QGuiApplication::mouseButtons() != Qt::NoButton;
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QLineEdit::mouseReleaseEvent(event);
        // A plain click into the box, focused already or not, shows the pair that typing replaces;
        // a drag keeps the part it selected.
        if (std::exchange(m_selectOnRelease, false) || !hasSelectedText())
            selectAll();
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        m_selectOnRelease = false;
        QLineEdit::focusOutEvent(event);
        setText(Normalised(text()));
    }

private:
    bool m_selectOnRelease = false;
};

QPushButton *makeButton(const char *name, int captionId, QWidget *parent)
{
    auto *button = new QPushButton(text(captionId), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(text(captionId));
    return button;
}

} // namespace

MacFilterDialog::MacFilterDialog(const DeviceTarget &device, SequenceCounters &counters, QString &password,
                                 QWidget *parent)
    : DeviceDialog(parent)
    , m_password(password)
    , m_exchange(new FilterExchange(device, counters, this))
    , m_fleetBatch(new FilterBatch(counters, this))
{
    setObjectName(QStringLiteral("MACFilter"));
    createControls();
    setRowButtonsEnabled(false);
    // Ready for an address to be typed.
    m_byteBoxes[0]->setFocus();

    connect(m_exchange, &FilterExchange::listReceived, this, &MacFilterDialog::showList);
    connect(m_exchange, &FilterExchange::replied, this, &MacFilterDialog::showVerdict);
    connect(m_exchange, &FilterExchange::noAnswer, this, [this] { m_note->setText(text(StringId::TimeOut)); });
    connect(m_fleetBatch, &FilterBatch::jobFinished, this, [this](int device, FilterBatch::Outcome outcome) {
        m_fleetResults[device] = FilterBatch::outcomeText(outcome);
    });
    connect(m_fleetBatch, &FilterBatch::finished, this, &MacFilterDialog::showFleetResults);
    setLoadFailed(!m_exchange->open() || !m_exchange->requestList(m_password));
}

void MacFilterDialog::setFleet(const QList<DeviceTarget> &devices)
{
    m_fleet = devices;
    setWindowTitle(QStringLiteral("%1: %2 devices").arg(windowTitle()).arg(devices.size()));
    m_note->setText(QStringLiteral("The list shown is %1's; Set Mac filtering writes it to all %2 devices.")
                        .arg(FormatMac(device().mac))
                        .arg(devices.size()));
}

void MacFilterDialog::showFleetResults()
{
    m_sendButton->setEnabled(true);
    m_note->clear();
    QStringList lines;
    for (qsizetype i = 0; i < m_fleet.size(); ++i)
        lines.append(QStringLiteral("%1 (%2): %3").arg(FormatMac(m_fleet[i].mac), m_fleet[i].hostName, m_fleetResults.value(i)));
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, lines.join(u'\n'), QMessageBox::Ok, this);
    box.exec();
}

MacFilterDialog::~MacFilterDialog() = default;

void MacFilterDialog::createControls()
{
    setWindowTitle(text(TitleCaption));

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("MacImg"));
    m_image->setPixmap(ApplicationIcon().pixmap(ImageSize));
    m_listCaption = new QLabel(text(ListCaption), this);
    m_listCaption->setObjectName(QStringLiteral("MacLbl"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("MacLst"));
    m_list->setAccessibleName(text(ListCaption));
    m_list->setHeaderLabels({text(NumberCaption), text(AddressCaption)});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionsMovable(false);
    m_list->setMinimumSize(260, 220);
    m_listCaption->setBuddy(m_list);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);

    auto *boxRow = new QHBoxLayout;
    for (int k = 0; k < ByteBoxCount; ++k) {
        m_byteBoxes[std::size_t(k)] = new ByteBox(this);
        m_byteBoxes[std::size_t(k)]->setObjectName(QStringLiteral("Mac%1").arg(k));
        m_byteBoxes[std::size_t(k)]->setAccessibleName(QStringLiteral("MAC byte %1").arg(k + 1));
        boxRow->addWidget(m_byteBoxes[std::size_t(k)]);
        if (k + 1 < ByteBoxCount)
            boxRow->addWidget(new QLabel(QStringLiteral("-"), this));
    }
    boxRow->addStretch();

    m_addButton = makeButton("Mac_add", AddCaption, this);
    // Enter in a box adds the typed address.
    m_addButton->setDefault(true);
    m_replaceButton = makeButton("Mac_replace", ReplaceCaption, this);
    m_removeButton = makeButton("Mac_remove", RemoveCaption, this);
    m_openButton = makeButton("OpenDlg", OpenCaption, this);
    m_saveButton = makeButton("SaveDlg", SaveCaption, this);
    m_sendButton = makeButton("SendCmd", SendCaption, this);
    m_exitButton = makeButton("ExitCmd", ExitCaption, this);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("StatusLbl"));

    // Two typed characters move on to the next box, and from the last one to Add.
    for (int k = 0; k < ByteBoxCount; ++k) {
        QWidget *next = k + 1 < ByteBoxCount ? static_cast<QWidget *>(m_byteBoxes[std::size_t(k + 1)]) : m_addButton;
        connect(m_byteBoxes[std::size_t(k)], &QLineEdit::textEdited, next, [next](const QString &typed) {
            if (typed.size() == PairLength)
                next->setFocus(Qt::TabFocusReason);
        });
    }
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (selectedRow() >= 0)
            setRowButtonsEnabled(true);
    });
    connect(m_addButton, &QPushButton::clicked, this, &MacFilterDialog::addAddress);
    connect(m_replaceButton, &QPushButton::clicked, this, &MacFilterDialog::replaceAddress);
    connect(m_removeButton, &QPushButton::clicked, this, &MacFilterDialog::removeAddress);
    connect(m_openButton, &QPushButton::clicked, this, &MacFilterDialog::openFile);
    connect(m_saveButton, &QPushButton::clicked, this, &MacFilterDialog::saveFile);
    connect(m_sendButton, &QPushButton::clicked, this, &MacFilterDialog::sendList);
    connect(m_exitButton, &QPushButton::clicked, this, &MacFilterDialog::reject);

    auto *editRow = new QHBoxLayout;
    editRow->addWidget(m_addButton);
    editRow->addWidget(m_replaceButton);
    editRow->addWidget(m_removeButton);
    auto *listSide = new QVBoxLayout;
    listSide->addWidget(m_listCaption);
    listSide->addWidget(m_list, 1);
    listSide->addLayout(boxRow);
    listSide->addLayout(editRow);
    listSide->addWidget(m_note);
    auto *commandSide = new QVBoxLayout;
    commandSide->addWidget(m_openButton);
    commandSide->addWidget(m_saveButton);
    commandSide->addStretch();
    commandSide->addWidget(m_sendButton);
    commandSide->addWidget(m_exitButton);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_image, 0, Qt::AlignTop);
    layout->addLayout(listSide, 1);
    layout->addLayout(commandSide);
}

void MacFilterDialog::done(int result)
{
    m_exchange->close();
    DeviceDialog::done(result);
}

QString MacFilterDialog::typedKey()
{
    // A box still being typed in (Enter reaches the default button without leaving it) is
    // completed as leaving it would.
    QString key;
    for (QLineEdit *box : m_byteBoxes) {
        box->setText(Normalised(box->text()));
        key += box->text();
    }
    return key;
}

int MacFilterDialog::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

void MacFilterDialog::rebuildRows()
{
    const int count = int(m_table.count());
    while (m_list->topLevelItemCount() > count)
        delete m_list->takeTopLevelItem(m_list->topLevelItemCount() - 1);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem *row = m_list->topLevelItem(i);
        if (!row)
            row = new QTreeWidgetItem(m_list);
        row->setText(NumberColumn, QString::number(i + 1));
        row->setText(AddressColumn, m_table.FormatEntry(i));
    }
}

void MacFilterDialog::setRowButtonsEnabled(bool enabled)
{
    m_replaceButton->setEnabled(enabled);
    m_removeButton->setEnabled(enabled);
}

void MacFilterDialog::addAddress()
{
    if (m_table.isFull()) {
        m_addButton->setEnabled(false);
        return;
    }
    const FilterEdit edit = m_table.add(typedKey());
    if (!edit.accepted()) {
        if (const int message = edit.message())
            showMessage(QMessageBox::NoIcon, ApplicationTitle, message);
        return;
    }
    rebuildRows();
    if (edit.outcome == FilterEdit::Appended)
        setRowButtonsEnabled(true);
    if (m_table.isFull())
        m_addButton->setEnabled(false);
}

void MacFilterDialog::replaceAddress()
{
    // The buttons are enabled without a selection after a file load; with nothing selected
    // there is nothing to replace.
    const int row = selectedRow();
    if (row < 0)
        return;
    const FilterEdit edit = m_table.replace(row, typedKey());
    if (!edit.accepted()) {
        if (const int message = edit.message())
            showMessage(QMessageBox::NoIcon, ApplicationTitle, message);
        return;
    }
    // The selection stays on its row position, wherever the address moved.
    rebuildRows();
}

void MacFilterDialog::removeAddress()
{
    const int row = selectedRow();
    if (row < 0 || !m_table.remove(row))
        return;
    delete m_list->takeTopLevelItem(row);
    m_list->setCurrentItem(nullptr);
    rebuildRows();
    setRowButtonsEnabled(false);
    m_addButton->setEnabled(true);
}

QString MacFilterDialog::startFolder() const
{
    return m_filePath.isEmpty() ? RememberedFolder(FileKind::MacFile) : m_filePath;
}

void MacFilterDialog::openFile()
{
    const QString chosen = QFileDialog::getOpenFileName(this, text(OpenCaption), startFolder(), OpenFilter);
    if (chosen.isEmpty())
        return;
    m_filePath = chosen;
    RememberFolder(FileKind::MacFile, chosen);
    const MacListContents contents = MacList::read(chosen);
    if (!contents.ok()) {
        QMessageBox box(QMessageBox::Information, text(StringId::ProductName), text(contents.message), QMessageBox::Ok, this);
        box.setInformativeText(contents.detail());
        box.exec();
        return;
    }
    m_table.load(contents.entries);
    m_list->clear();
    rebuildRows();
    setRowButtonsEnabled(!m_table.isEmpty());
    m_addButton->setEnabled(!m_table.isFull());
}

void MacFilterDialog::saveFile()
{
    // The overwrite question is the dialog's own, with its own wording.
    const QString chosen = QFileDialog::getSaveFileName(this, text(SaveCaption), startFolder(), FileFilter, nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return;
    m_filePath = chosen;
    RememberFolder(FileKind::MacFile, chosen);
    if (QFileInfo::exists(chosen)) {
        QMessageBox ask(QMessageBox::NoIcon, ApplicationTitle, text(StringId::FileExistsReplace),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        if (ask.exec() != QMessageBox::Ok)
            return;
    }
    // Written whole or not at all: a failed save leaves the file that was there.
    if (const int failure = MacFile::write(chosen, m_table.entries()))
        showMessage(QMessageBox::NoIcon, ApplicationTitle, failure);
}

void MacFilterDialog::sendList()
{
    m_note->clear();
    // A cancelled login keeps the password confirmed before, and sends nothing.
    const std::optional<QString> password = LoginDialog::ask(this);
    if (password)
        m_password = *password;
    if (m_fleet.size() > 1) {
        if (!password || m_fleetBatch->isActive())
            return;
        m_fleetResults = QStringList(m_fleet.size(), QString());
        m_sendButton->setEnabled(false);
        m_note->setText(QStringLiteral("Writing the list to %1 devices...").arg(m_fleet.size()));
        QList<FilterBatch::Job> jobs;
        for (const DeviceTarget &device : std::as_const(m_fleet))
            jobs.append({device, *password});
        return m_fleetBatch->start(jobs, m_table.macs());
    }
    if (!m_exchange->sendList(password, m_table.macs()))
        showMessage(QMessageBox::NoIcon, ApplicationTitle, StringId::IpAddressNotSet);
}

void MacFilterDialog::showList(const QList<MacAddress> &addresses)
{
    m_table.loadAddresses(addresses);
    m_list->clear();
    rebuildRows();
    if (m_table.isFull())
        m_addButton->setEnabled(false);
}

void MacFilterDialog::showVerdict(FilterExchange::Status status)
{
    // A late verdict answers the write the note said had no answer.
    m_note->clear();
    showMessage(QMessageBox::NoIcon, ApplicationTitle, FilterExchange::message(status));
}

void MacFilterDialog::listMousePressed(const QPoint &position)
{
    // The row under the pointer is selected before the view handles the press; off the rows
    // nothing stays selected.
    QTreeWidgetItem *row = m_list->itemAt(position);
    m_list->setCurrentItem(row);
    setRowButtonsEnabled(row != nullptr);
}

bool MacFilterDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress)
        listMousePressed(static_cast<QMouseEvent *>(event)->position().toPoint());
    if (watched == m_list && event->type() == QEvent::Resize) {
        const int margin = TwipsToPixels(NumberColumnMarginTwips, m_list->logicalDpiX());
        m_list->setColumnWidth(NumberColumn, qMax(0, m_list->width() / 3 - margin));
    }
    return DeviceDialog::eventFilter(watched, event);
}

void MacFilterDialog::showMessage(QMessageBox::Icon icon, const QString &title, int textId)
{
    QMessageBox box(icon, title, text(textId), QMessageBox::Ok, this);
    box.exec();
}

} // namespace farlight
