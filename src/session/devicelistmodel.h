#pragma once

#include "session/devicerecord.h"

#include <QSortFilterProxyModel>
#include <QStringList>

#include <functional>

namespace farlight {

class AppState;

/// @brief One CSV field (RFC 4180): quoted, with its quotes doubled, when it holds a comma, a
/// quote or a line break; as it is otherwise.
QString CsvField(const QString &cell);
/// @brief @p cell with a leading apostrophe when it starts with =, +, -, @, a tab or a CR, so a
/// spreadsheet that opens a list of it takes it as text and never runs it as a formula.
QString SpreadsheetText(const QString &cell);

/// @brief @p text with every control character (C0, DEL and C1) shown as "?": names come from
/// devices and other programs, and an escape sequence or a line break in one must not drive the
/// administrator's terminal or forge a line of output.
QString Printable(QString text);

/// @brief The device list without any display: one row per listed entry of the device table,
/// sortable by every column, filtered by a text, and written out as CSV or tab-separated text.
///
/// Rows refer to table entries by index; the entries themselves stay in AppState. Dropping a row
/// takes it off the list only, the table keeps the entry until the next search empties it.
class DeviceListModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum Column { HostName, IpAddress, Ssid, Channel, Wep, Mac, ColumnCount };
    /// What the rows are sorted by: a number for addresses and channels, a folded text otherwise.
    static constexpr int SortKeyRole = Qt::UserRole + 1;
    /// The device table index of a row's entry: what a command on the row acts on. Rows of
    /// devices that share an address differ only here and in their MAC.
    static constexpr int DeviceIndexRole = Qt::UserRole + 2;
    /// The six cell texts of a device's row.
    using RowTexts = std::function<QStringList(const DeviceRecord &)>;

    DeviceListModel(const AppState &state, RowTexts rowTexts, QObject *parent = nullptr);
    ~DeviceListModel() override;

    /// @brief Lists entries 0 to DeviceCount - 1 of the table; sort and filter stay as chosen.
    void listTable();
    /// @brief Takes every row off the list.
    void clearRows();
    /// @brief Takes the row @p row of this model off the list; false for an invalid index.
    bool dropRow(const QModelIndex &row);
    /// @brief Takes the rows the filter shows off the list; the hidden ones stay.
    void dropVisibleRows();
    /// @brief Shows only rows with @p text in any cell, ignoring case; an empty text shows all.
    void setFilterText(const QString &text);

    /// @brief Rows on the list, shown by the filter or not.
    int listedCount() const;
    /// @brief "N devices", or "N of M devices" while a filter text is set.
    QString countText() const;
    /// @brief The header line and row @p row of this model, cells separated by tabs. Here and in
    /// the CSV a cell that starts with =, +, -, @, a tab or a CR gets a leading apostrophe, so a
    /// spreadsheet takes it as text, never as a formula.
    QString rowAsTsv(const QModelIndex &row) const;
    /// @brief The header line and the shown rows in their shown order (RFC 4180, CRLF).
    QString visibleRowsAsCsv() const;
    /// @brief Writes visibleRowsAsCsv() as UTF-8 to @p path. The file is replaced only once all of
    /// it is written; returns the reason of a failure, or an empty string.
    QString saveCsv(const QString &path) const;

    /// @brief Sort key of a dotted IPv4 address: its value as a number, -1 when it is not one.
    static qint64 AddressKey(const QString &text);
    /// @brief Sort key of a text: case and accents folded, so "Ärzte" sorts with "arzte".
    static QString TextKey(const QString &text);

private:
    class ListedDevices;
    ListedDevices *m_listed = nullptr;
};

} // namespace farlight
