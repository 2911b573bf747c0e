#pragma once

#include "protocol/macaddress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace farlight::cli {

/// @brief What a plan wants of one device, from one line of the plan file.
struct PlanRow
{
    enum class Address {
        Keep,   ///< the plan says nothing of the address
        Static, ///< ip, mask and gateway
        Dhcp,   ///< the device takes its address by DHCP
    };

    int line = 0; ///< where the row starts in the plan file, counted from 1
    MacAddress mac{};
    Address address = Address::Keep;
    QString ip;
    QString mask;
    QString gateway; ///< "0.0.0.0" (no gateway) when the plan leaves it empty
    /// The MAC filter list to keep on the device, in list order; nothing when the plan leaves
    /// the list alone.
    std::optional<QList<MacAddress>> filter;
    QString filterFile; ///< as written in the plan
};

/// @brief A plan read from its file: the rows, or every reason the file was refused.
struct Plan
{
    QList<PlanRow> rows;
    QStringList errors; ///< "FILE:LINE: reason", in file order

    bool ok() const { return errors.isEmpty(); }
};

/// @brief Reads a plan: CSV with a header line naming its columns (`mac`, required, and any of
/// `ip`, `mask`, `gateway`, `dhcp`, `filter`, in any order and letter case), then one device per
/// line.
///
/// A MAC may be written in any usual notation. A row either sets a static address (ip and mask,
/// gateway optional), or asks for DHCP (`dhcp` = `yes`), or leaves the address alone; `filter`
/// names a MAC list file, relative to the plan's folder, whose addresses the device is to keep.
/// Fields may be quoted as spreadsheets do; blank lines, lines of empty fields and lines starting
/// with "#" are skipped. Every unknown column, malformed row, repeated MAC or static address and
/// unreadable list is reported with the plan file's name and line: nothing of a plan with errors
/// should be sent.
///
/// @param text the file's text
/// @param fileName how messages name the plan file
/// @param baseDir the folder `filter` paths are relative to
Plan ParsePlan(QStringView text, const QString &fileName, const QString &baseDir);

/// @brief Reads and parses the plan file @p path (UTF-8, an optional byte-order mark).
Plan ReadPlan(const QString &path);

} // namespace farlight::cli
