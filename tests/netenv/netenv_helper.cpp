// A second process for the platform tests: claims the single-instance lock, or removes a
// neighbour entry, and says what happened on its standard output.
//   netenv_helper claim <lock file>   prints "claimed" and holds the claim until its input
//                                     closes, or prints "running" and exits with 3
//   netenv_helper delarp <index> <ip> prints "true" or "false"
#include "netenv/linuxplatform.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QTextStream out(stdout);
    if (arguments.size() == 3 && arguments[1] == QLatin1String("claim")) {
        farlight::LinuxPlatform platform(arguments[2]);
        if (!platform.claimSingleInstance()) {
            out << "running\n";
            return 3;
        }
        out << "claimed\n";
        out.flush();
        // Hold the claim until the test closes our input or kills us.
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    if (arguments.size() == 4 && arguments[1] == QLatin1String("delarp")) {
        farlight::LinuxPlatform platform(QStringLiteral("/nonexistent/unused.lock"));
        out << (platform.removeArpEntry(arguments[2].toInt(), arguments[3]) ? "true\n" : "false\n");
        return 0;
    }
    out << "usage: netenv_helper claim <lock file> | delarp <index> <ip>\n";
    return 2;
}
