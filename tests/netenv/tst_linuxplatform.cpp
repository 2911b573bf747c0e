// Adds its own links in the test's private network namespace.
#include "labnet.h"
#include "netenv/linuxplatform.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace farlight;
using namespace Qt::StringLiterals;
using namespace farlight::test;

class TestLinuxPlatform : public QObject
{
    Q_OBJECT

private slots:
    void adapters()
    {
        // Links made outside the private namespace that ctest gives the test would be this machine's.
        QVERIFY2(qgetenv("FARLIGHT_IN_NETNS") == "1", "run through ctest");
        // v0 has two addresses and w0/w1 none; v0 and v1 each have their own default route.
        for (const char *command :
             {"ip link add v0 address 02:00:00:00:00:01 type veth peer name v1 address 02:00:00:00:00:02",
              "ip link add w0 address 02:00:00:00:00:03 type veth peer name w1 address 02:00:00:00:00:04",
              "ip addr add 10.1.2.3/24 dev v0", "ip addr add 10.1.2.200/24 dev v0", "ip addr add 10.9.0.2/16 dev v1",
              "ip link set v0 up", "ip link set v1 up", "ip route add default via 10.1.2.1 dev v0",
              "ip route add default via 10.9.0.1 dev v1 metric 5"})
            QVERIFY(Run(command));

        const std::optional<QList<PlatformAdapter>> adapters = LinuxPlatform().adapters();
        QVERIFY(adapters);
        QStringList listed;
        QList<int> indices;
        for (const PlatformAdapter &adapter : *adapters) {
            QCOMPARE(adapter.index, int(if_nametoindex(qPrintable(adapter.name))));
            indices.append(adapter.index);
            listed.append(adapter.name + u' ' + adapter.ipAddress + u' ' + adapter.subnetMask + u' ' + adapter.gateway
                          + u' ' + FormatMac(adapter.mac));
        }
        QVERIFY(std::is_sorted(indices.begin(), indices.end()));
        // The first address of each interface; the loopback left out.
        listed.sort();
        QCOMPARE(listed, QStringList({"v0 10.1.2.3 255.255.255.0 10.1.2.1 02-00-00-00-00-01",
                                      "v1 10.9.0.2 255.255.0.0 10.9.0.1 02-00-00-00-00-02",
                                      "w0 0.0.0.0 0.0.0.0 0.0.0.0 02-00-00-00-00-03",
                                      "w1 0.0.0.0 0.0.0.0 0.0.0.0 02-00-00-00-00-04"}));
    }

    void singleInstanceAcrossProcesses()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("run/farlight.lock");
        QProcess holder;
        holder.start(NETENV_HELPER, {"claim", path});
        QVERIFY(holder.waitForReadyRead());
        QCOMPARE(holder.readLine(), QByteArray("claimed\n"));
        LinuxPlatform platform(path);
        QVERIFY(!platform.claimSingleInstance());
        QCOMPARE(QFileInfo(dir.filePath("run")).permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                          | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::Permissions());

        // A copy that dies without cleaning up leaves its lock file behind, but not its claim.
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFile::exists(path));
        QVERIFY(platform.claimSingleInstance());

        // While this process holds the claim, another copy is refused.
        QProcess second;
        second.start(NETENV_HELPER, {"claim", path});
        QVERIFY(second.waitForFinished());
        QCOMPARE(second.readAllStandardOutput(), QByteArray("running\n"));
        QCOMPARE(second.exitCode(), 3);

        // Where no lock can be taken there is no telling whether a copy runs; starting beats never.
        QVERIFY(LinuxPlatform("/proc/farlight/farlight.lock").claimSingleInstance());
        // So it is with a planted link to a held lock, and with a folder others may write to.
        QVERIFY(QFile::link(path, dir.filePath("run/planted.lock")));
        QVERIFY(LinuxPlatform(dir.filePath("run/planted.lock")).claimSingleInstance());
        QVERIFY(QFile::setPermissions(dir.filePath("run"), QFile::Permissions(0x7777)));
        QVERIFY(LinuxPlatform(path).claimSingleInstance());

        // Without a runtime folder the lock lives in a folder of this user's own.
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(QFileInfo(LinuxPlatform::DefaultLockFilePath()).dir().dirName(), u"farlight-%1"_s.arg(::getuid()));
    }
};

QTEST_GUILESS_MAIN(TestLinuxPlatform)
#include "tst_linuxplatform.moc"
