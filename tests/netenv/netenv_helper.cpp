// A second process for the single-instance test; says on its standard output what happened.
//   netenv_helper claim <lock file>   "claimed", then holds the claim until its input closes;
//                                     or "running" and exit status 3
#include "netenv/linuxplatform.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    farlight::LinuxPlatform platform(app.arguments().value(2));
    if (!platform.claimSingleInstance())
        return std::puts("running"), 3;
    std::puts("claimed");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
