// A second process for the single-instance test; says on its standard output what happened.
//   netenv_helper claim <lock file>   "claimed", then holds the claim until its input closes;
//                                     or "running" and exit status 3
#include "netenv/linuxplatform.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3 && arguments[1] == QLatin1String("claim")) {
        farlight::LinuxPlatform platform(arguments[2]);
        if (!platform.claimSingleInstance())
            return std::puts("running"), 3;
        std::puts("claimed");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    std::puts("usage: netenv_helper claim <lock file>");
    return 2;
}
