#pragma once

#include "cli/clioptions.h"
#include "session/devicelistmodel.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace farlight {
class AppState;
}

namespace farlight::cli {

/// @brief The devices @p indexes of the device table as a table with aligned columns (the
/// window's cells plus the adapter, control characters shown as "?"), a JSON array of objects
/// (every control character escaped, C1 included), or CSV with a header line (the texts as they
/// came, for scripts; with @p terminal each control character shown as "?", so that a line break
/// inside a quoted cell does not look like the start of another row).
QString FormatDevices(const AppState &state, const QList<int> &indexes, OutputFormat format, bool terminal = false);

/// @brief One row of the table a command ends with: a device, or a name that chose none.
struct ResultRow
{
    QString device;  ///< as the table names it
    QString mac;     ///< "00-0A-1B-2C-3D-4E"; empty when no device was chosen
    QString address; ///< where the device answered the search; empty when none was chosen
    QString result;  ///< one word scripts compare: "ok", "failed", "not found"
    QString reason;  ///< what happened, in the table's words
    qint64 ms = -1;  ///< how long its exchanges took; -1 when none was made
};

/// @brief @p rows as a JSON array of objects with the keys device, mac, address, result, reason
/// and seconds (null where a row has nothing to say), control characters escaped as in FormatDevices.
QString FormatResultsJson(const QList<ResultRow> &rows);

/// @brief Rows as a table: each column as wide as its widest cell, two blanks apart, the last
/// cell not padded, a line per row; cells are made Printable.
QString AlignedTable(const QList<QStringList> &rows);

} // namespace farlight::cli
