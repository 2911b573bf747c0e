#pragma once

#include "cli/applystate.h"
#include "cli/plan.h"
#include "protocol/macaddress.h"

#include <QList>
#include <QString>

#include <optional>

namespace farlight::cli {

/// @brief What Farlight knows of a found device before it changes anything.
struct DeviceNow
{
    QString address;                        ///< where it answered the search from
    std::optional<AppliedAddress> applied;  ///< what Farlight last applied to it
    std::optional<QList<MacAddress>> filter; ///< its MAC filter list, when it was read
    QString filterError;                    ///< why the list was not read
};

/// @brief What applying a plan row would change on its device, and how the plan shows it.
struct RowChange
{
    bool address = false; ///< a set-IP request is due
    bool filter = false;  ///< the list is to be written
    int added = 0;        ///< addresses the device's list lacks
    int removed = 0;      ///< addresses the plan's list lacks
    QString addressText;  ///< "-" when the plan leaves it alone, else now and what it would become
    QString filterText;

    int count() const { return int(address) + int(filter); }
};

/// @brief Compares @p row with what the device has now.
///
/// The address is unchanged only when the device answers from the planned address and the
/// recorded mask, gateway and mode equal the plan's (for DHCP: the recorded mode is DHCP);
/// without a record it is set again, as nobody can tell. A list that could not be read is
/// written.
RowChange Compare(const PlanRow &row, const DeviceNow &now);

} // namespace farlight::cli
