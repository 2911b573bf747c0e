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

/// @brief Rows as a table: each column as wide as its widest cell, two blanks apart, the last
/// cell not padded, a line per row; cells are made Printable.
QString AlignedTable(const QList<QStringList> &rows);

} // namespace farlight::cli
