#pragma once

#include <QIcon>

namespace farlight::Icons {

/// @brief Toolbar image of the search command: a magnifying glass over radio waves.
QIcon Search();
/// @brief Toolbar image of the delete command: a red cross.
QIcon Delete();
/// @brief Row image of a listed device ("Normal"): an access point with its antenna.
QIcon Device();

} // namespace farlight::Icons
