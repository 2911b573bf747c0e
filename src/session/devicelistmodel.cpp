#include "session/devicelistmodel.h"

#include "resources/strings.h"
#include "session/appstate.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSaveFile>

namespace farlight {

namespace {

constexpr int FirstColumnTextId = 101;
constexpr int AddressParts = 4;
constexpr int MaxAddressPart = 255;
constexpr int MaxAddressPartDigits = 3;

// A tab or line break inside a host name or SSID would split the pasted row.
QString tsvField(QString cell)
{
    cell = SpreadsheetText(cell);
    for (QChar &c : cell) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return cell;
}

} // namespace

/// The rows on the list, as indices into the device table, in table order.
class DeviceListModel::ListedDevices : public QAbstractTableModel
{
public:
    ListedDevices(const AppState &state, RowTexts rowTexts, QObject *parent)
        : QAbstractTableModel(parent)
        , m_state(state)
        , m_rowTexts(std::move(rowTexts))
    {
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size())
            return {};
        if (role == DeviceIndexRole)
            return int(m_rows[index.row()]);
        if (role != Qt::DisplayRole && role != SortKeyRole)
            return {};
        const DeviceRecord &device = m_state.deviceTable[std::size_t(m_rows[index.row()])];
        if (role == SortKeyRole && index.column() == Channel)
            return int(device.Channel);
        const QString cell = m_rowTexts(device).value(index.column());
        if (role == Qt::DisplayRole)
            return cell;
        if (index.column() == IpAddress)
            return AddressKey(cell);
        return TextKey(cell);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
            return {};
        if (role == Qt::DisplayRole)
            return text(FirstColumnTextId + section);
        // A column clicked for the first time sorts ascending, whatever the column before did.
        if (role == Qt::InitialSortOrderRole)
            return int(Qt::AscendingOrder);
        return {};
    }

    void listTable()
    {
        beginResetModel();
        m_rows.clear();
        const int count = std::clamp(int(m_state.deviceCount), 0, AppState::DeviceCapacity);
        for (int i = 0; i < count; ++i)
            m_rows.append(qint16(i));
        endResetModel();
    }

    void clear()
    {
        beginResetModel();
        m_rows.clear();
        endResetModel();
    }

    void removeListedRow(int row)
    {
        beginRemoveRows({}, row, row);
        m_rows.removeAt(row);
        endRemoveRows();
    }

private:
    const AppState &m_state;
    RowTexts m_rowTexts;
    QList<qint16> m_rows;
};

QString Printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return text;
}

QString SpreadsheetText(const QString &cell)
{
    // Host names and SSIDs are chosen by whoever runs a device.
    static const QString FormulaStarts = QStringLiteral("=+-@\t\r");
    return !cell.isEmpty() && FormulaStarts.contains(cell.front()) ? u'\'' + cell : cell;
}

QString CsvField(const QString &cell)
{
    static const QString MustQuote = QStringLiteral(",\"\r\n");
    if (std::none_of(cell.begin(), cell.end(), [](QChar c) { return MustQuote.contains(c); }))
        return cell;
    return u'"' + QString(cell).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

DeviceListModel::DeviceListModel(const AppState &state, RowTexts rowTexts, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_listed(new ListedDevices(state, std::move(rowTexts), this))
{
    setSourceModel(m_listed);
    setSortRole(SortKeyRole);
    setFilterKeyColumn(-1);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

DeviceListModel::~DeviceListModel() = default;

void DeviceListModel::listTable()
{
    m_listed->listTable();
}

void DeviceListModel::clearRows()
{
    m_listed->clear();
}

bool DeviceListModel::dropRow(const QModelIndex &row)
{
    if (!row.isValid() || row.model() != this)
        return false;
    m_listed->removeListedRow(mapToSource(row).row());
    return true;
}

void DeviceListModel::dropVisibleRows()
{
    if (filterRegularExpression().pattern().isEmpty()) {
        m_listed->clear();
        return;
    }
    QList<int> sourceRows;
    for (int row = 0; row < rowCount(); ++row)
        sourceRows.append(mapToSource(index(row, 0)).row());
    // From the bottom up, so each removal leaves the rows still to go where they were.
    std::sort(sourceRows.begin(), sourceRows.end(), std::greater<>());
    for (int row : sourceRows)
        m_listed->removeListedRow(row);
}

void DeviceListModel::setFilterText(const QString &text)
{
    setFilterFixedString(text);
}

int DeviceListModel::listedCount() const
{
    return m_listed->rowCount();
}

QString DeviceListModel::countText() const
{
    const int shown = rowCount();
    const int listed = listedCount();
    const QString noun = listed == 1 ? QStringLiteral("device") : QStringLiteral("devices");
    if (filterRegularExpression().pattern().isEmpty())
        return QStringLiteral("%1 %2").arg(shown).arg(noun);
    return QStringLiteral("%1 of %2 %3").arg(shown).arg(listed).arg(noun);
}

QString DeviceListModel::rowAsTsv(const QModelIndex &row) const
{
    if (!row.isValid() || row.model() != this)
        return {};
    QStringList header;
    QStringList cells;
    for (int column = 0; column < ColumnCount; ++column) {
        header.append(headerData(column, Qt::Horizontal).toString());
        cells.append(tsvField(index(row.row(), column).data().toString()));
    }
    return header.join(u'\t') + u'\n' + cells.join(u'\t') + u'\n';
}

QString DeviceListModel::visibleRowsAsCsv() const
{
    static const QString LineEnd = QStringLiteral("\r\n");
    QStringList fields;
    for (int column = 0; column < ColumnCount; ++column)
        fields.append(CsvField(headerData(column, Qt::Horizontal).toString()));
    QString csv = fields.join(u',') + LineEnd;
    for (int row = 0; row < rowCount(); ++row) {
        fields.clear();
        for (int column = 0; column < ColumnCount; ++column)
            fields.append(CsvField(SpreadsheetText(index(row, column).data().toString())));
        csv += fields.join(u',') + LineEnd;
    }
    return csv;
}

QString DeviceListModel::saveCsv(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = visibleRowsAsCsv().toUtf8();
    // commit() would not see a failure of the last buffered write and put a short file in place.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit())
        return file.errorString();
    return {};
}

qint64 DeviceListModel::AddressKey(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != AddressParts)
        return -1;
    qint64 key = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        const bool digitsOnly = std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!ok || !digitsOnly || part.size() > MaxAddressPartDigits || value > MaxAddressPart)
            return -1;
        key = key * (MaxAddressPart + 1) + value;
    }
    return key;
}

QString DeviceListModel::TextKey(const QString &text)
{
    // Decomposed, an accented letter is its base letter followed by marks, which are dropped.
    QString folded;
    for (QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded.append(c);
    }
    return folded.toCaseFolded();
}

} // namespace farlight
