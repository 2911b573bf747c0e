// apsim: simulates wireless access points for rehearsals and end-to-end tests in a network lab.

#include "netnamespace.h"
#include "simconfig.h"
#include "simnetwork.h"
#include "simulatorcore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSet>

#include <cstdio>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitRuntime = 1;

int fail(int code, const QString &text)
{
    std::fprintf(stderr, "apsim: %s\n", qPrintable(text));
    return code;
}

int prefixLength(const QHostAddress &mask)
{
    int bits = 0;
    for (quint32 m = mask.toIPv4Address(); m & 0x80000000u; m <<= 1)
        ++bits;
    return bits;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"apsim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Simulates wireless access points on every address of the network namespace it runs in. "
        "It refuses to run in the machine's own network namespace; start it through lab/with-lab.sh."_s);
    parser.addHelpOption();
    const QCommandLineOption config(u"config"_s, u"Device and fault configuration (JSON)."_s, u"file"_s);
    const QCommandLineOption state(u"state"_s, u"State file, rewritten on every change (JSON)."_s, u"file"_s);
    const QCommandLineOption log(u"log"_s, u"Request log, one JSON line per request received."_s, u"file"_s);
    const QCommandLineOption firmwareDir(u"firmware-dir"_s, u"Folder that receives each uploaded image."_s,
                                         u"dir"_s);
    const QCommandLineOption printAddresses(
        u"print-addresses"_s, u"Check the configuration, print \"segment address/prefix MAC\" per device, exit."_s);
    const QCommandLineOption exitWithParent(u"exit-with-parent"_s,
                                            u"End when the starting process ends (lab scripts use this)."_s);
    parser.addOptions({config, state, log, firmwareDir, printAddresses, exitWithParent});
    if (!parser.parse(app.arguments()))
        return fail(ExitUsage, parser.errorText());
    if (parser.isSet(u"help"_s))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        return fail(ExitUsage, u"unexpected argument \"%1\""_s.arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(config))
        return fail(ExitUsage, u"--config FILE is required"_s);

    SimConfig settings;
    if (!settings.loadFile(parser.value(config)))
        return fail(ExitUsage, u"%1: %2"_s.arg(parser.value(config), settings.errorString()));

    if (parser.isSet(printAddresses)) {
        // Devices that share an address need it only once.
        QSet<quint32> printed;
        for (const DeviceConfig &device : settings.devices()) {
            for (const QHostAddress &ip : QList<QHostAddress>{device.ip} + device.spareIps) {
                if (printed.contains(ip.toIPv4Address()))
                    continue;
                printed.insert(ip.toIPv4Address());
                std::printf("%d %s/%d %s\n", device.segment, qPrintable(ip.toString()), prefixLength(device.mask),
                            qPrintable(FormatMac(device.mac)));
            }
        }
        return 0;
    }

    QString detail;
    const NetNamespace::Verdict verdict = NetNamespace::checkCurrent(&detail);
    if (verdict != NetNamespace::Verdict::Isolated) {
        const QString why = verdict == NetNamespace::Verdict::RootNamespace
            ? u"this is the machine's own network namespace"_s
            : u"cannot tell whether this is the machine's own network namespace"_s;
        return fail(ExitUsage, u"refusing to run: %1 (%2). Simulated devices answer broadcasts and would reach "
                               "real networks; run apsim inside a lab namespace (lab/with-lab.sh)."_s
                                   .arg(why, detail));
    }

#ifdef Q_OS_LINUX
    if (parser.isSet(exitWithParent))
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif

    SimulatorCore core(settings.devices(), settings.faults());
    SimNetwork network(core, parser.value(state), parser.value(log), parser.value(firmwareDir));
    QString error;
    if (!network.start(&error))
        return fail(ExitRuntime, error);
    std::fprintf(stderr, "apsim: simulating %lld device(s)\n", qlonglong(core.deviceCount()));
    std::fflush(stderr);
    return app.exec();
}
