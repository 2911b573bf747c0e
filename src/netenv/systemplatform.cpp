#include "netenv/systemplatform.h"

#if defined(Q_OS_WIN)
#include "netenv/windowsplatform.h"
#else
#include "netenv/linuxplatform.h"
#endif

namespace farlight {

std::unique_ptr<Platform> CreateSystemPlatform()
{
#if defined(Q_OS_WIN)
    return std::make_unique<WindowsPlatform>();
#else
    return std::make_unique<LinuxPlatform>();
#endif
}

} // namespace farlight
