#pragma once

#include "netenv/platform.h"

#include <memory>

namespace farlight {

/// @brief The Platform of the system the program was built for (LinuxPlatform or WindowsPlatform).
std::unique_ptr<Platform> CreateSystemPlatform();

} // namespace farlight
