#include "firmware/uploadplan.h"

#include "session/appstate.h"

namespace farlight {

UploadPlan PlanUploads(const AppState &state, const QList<int> &indexes, bool force)
{
    UploadPlan plan;
    for (int index : indexes) {
        const std::optional<DeviceTarget> target = state.target(index);
        if (!target) {
            plan.unreachable.append(index);
            continue;
        }
        // An upload goes to an address: where several devices answer from it, any one of them may take the image.
        if (const SharedAddress shared = FindSharedAddress(state, *target); shared.shared() && !force) {
            plan.refused.append({index, shared});
            continue;
        }
        plan.targets.append(*target);
        plan.indexes.append(index);
    }
    return plan;
}

} // namespace farlight
