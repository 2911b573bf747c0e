#pragma once

#include "session/devicetarget.h"
#include "session/sharedaddress.h"

#include <QList>

namespace farlight {

class AppState;

/// @brief Which chosen devices an upload goes to, decided before anything is sent. A device
/// whose address other found devices share is refused unless forced; one whose adapter is gone
/// has nowhere to send from. Each refused or unreachable device is listed, so none goes missing
/// from a run's results.
struct UploadPlan
{
    struct Refusal
    {
        int index = -1; ///< in the device table
        SharedAddress shared;
    };

    QList<DeviceTarget> targets; ///< what UpgradeBatch::start takes: its target indexes are positions here
    QList<int> indexes;          ///< the device table index of each target, in the same order
    QList<Refusal> refused;
    QList<int> unreachable; ///< device table indexes of chosen devices without their adapter
};

/// @brief The plan for an upload to the devices @p indexes of @p state, in their order; with
/// @p force, a shared address refuses nothing.
UploadPlan PlanUploads(const AppState &state, const QList<int> &indexes, bool force);

} // namespace farlight
