// A second process for the platform tests; says on its standard output what happened.
//   netenv_helper claim <lock file>   "claimed", then holds the claim until its input closes;
//                                     or "running" and exit status 3
//   netenv_helper delarp <index> <ip> "true" or "false"
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
    if (arguments.size() == 4 && arguments[1] == QLatin1String("delarp")) {
        farlight::LinuxPlatform platform;
        std::puts(platform.removeArpEntry(arguments[2].toInt(), arguments[3]) ? "true" : "false");
        return 0;
    }
    std::puts("usage: netenv_helper claim <lock file> | delarp <index> <ip>");
    return 2;
}
