#pragma once

#include "cli/clioptions.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace farlight {
class AppState;
}

namespace farlight::cli {

/// @brief The devices @p indexes of the device table as a table with aligned columns (the
/// window's cells plus the adapter), a JSON array of objects, or CSV with a header line.
QString FormatDevices(const AppState &state, const QList<int> &indexes, OutputFormat format);

/// @brief @p text with every control character shown as "?": names come from devices, and an
/// escape sequence in one must not drive the administrator's terminal.
QString Printable(QString text);

/// @brief Rows as a table: each column as wide as its widest cell, two blanks apart, the last
/// cell not padded, a line per row; cells are made Printable.
QString AlignedTable(const QList<QStringList> &rows);

} // namespace farlight::cli
