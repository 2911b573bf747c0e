#include "diagnosis/hostchecks.h"
#include "diagnosis/report.h"

#include "../support/scriptedprobe.h"

#include <QFile>
#include <QTest>

using namespace farlight;
using testsupport::ScriptedProbe;
using Verdict = Finding::Verdict;

class TestHostChecks : public QObject
{
    Q_OBJECT

private slots:
    void reversePath_data()
    {
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<QString>("filters"); // rp_filter of all, then of the adapter; "-": unreadable
        QTest::addColumn<bool>("defaultRoute");
        QTest::addColumn<int>("dropsDuringSearch");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QString>("fix"); // first line

        const QString eth0 = "sysctl -w net.ipv4.conf.eth0.rp_filter=0";
        QTest::newRow("off") << "eth0" << "0 0" << false << 0 << Verdict::Ok << "";
        QTest::newRow("strict on the adapter") << "eth0" << "0 1" << true << 0 << Verdict::Warning << eth0;
        QTest::newRow("strict through all: all is what matters")
            << "eth0" << "1 0" << true << 0 << Verdict::Warning << "sysctl -w net.ipv4.conf.all.rp_filter=0";
        QTest::newRow("loose with a default route") << "eth0" << "2 2" << true << 5 << Verdict::Ok << "";
        QTest::newRow("loose without a route back") << "eth0" << "0 2" << false << 0 << Verdict::Warning << eth0;
        QTest::newRow("VLAN name with a dot")
            << "eth0.100" << "0 1" << false << 0 << Verdict::Warning << "sysctl -w net/ipv4/conf/eth0.100/rp_filter=0";
        QTest::newRow("escape in the name")
            << "e\x1b[2J" << "0 1" << false << 0 << Verdict::Warning << "sysctl -w net.ipv4.conf.e?[2J.rp_filter=0";
        QTest::newRow("unreadable") << "eth0" << "0 -" << false << 0 << Verdict::NotRun << "";
    }

    void reversePath()
    {
        QFETCH(QString, adapter);
        QFETCH(QString, filters);
        QFETCH(bool, defaultRoute);
        QFETCH(int, dropsDuringSearch);
        QFETCH(Verdict, verdict);
        QFETCH(QString, fix);

        ScriptedProbe probe;
        const QString setting = QStringLiteral("/proc/sys/net/ipv4/conf/%1/rp_filter");
        probe.files.insert(setting.arg("all"), filters.section(u' ', 0, 0).toLatin1() + '\n');
        if (filters.section(u' ', 1) != u"-")
            probe.files.insert(setting.arg(adapter), filters.section(u' ', 1).toLatin1() + '\n');
        QByteArray routes = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
        if (defaultRoute)
            routes += "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
        probe.files.insert("/proc/net/route", routes);
        QList<Finding> findings = CheckReversePathFilter({PlatformAdapter{adapter, 2, {}, "192.168.1.5", "255.255.255.0", {}}}, probe);
        ConfirmReversePathDrops(findings, dropsDuringSearch);
        QCOMPARE(findings.size(), 1);
        QCOMPARE(findings[0].verdict, verdict);
        QCOMPARE(findings[0].adapter, QString(adapter).replace(u'\x1b', u'?'));
        QCOMPARE(findings[0].fix.section(u'\n', 0, 0), fix);
    }

    void firewall_data()
    {
        QTest::addColumn<bool>("started");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("errorOutput");
        QTest::addColumn<QString>("ruleset");
        QTest::addColumn<QStringList>("findings"); // check: verdict: first fix line

        QTest::newRow("nft missing") << false << -1 << QByteArray() << "" << QStringList{"firewall: not run: "};
        QTest::newRow("no privileges") << true << 1
                                       << QByteArray("netlink: Error: cache initialization failed: Operation not permitted\n")
                                       << "" << QStringList{"firewall: not run: "};
        QTest::newRow("no input chain") << true << 0 << QByteArray() << "empty" << QStringList{"firewall: ok: "};
    }

    void firewall()
    {
        QFETCH(bool, started);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, errorOutput);
        QFETCH(QString, ruleset);
        QFETCH(QStringList, findings);

        ScriptedProbe probe;
        probe.command = {started, exitCode, {}, errorOutput};
        QFile file(QStringLiteral(RULESETS "/%1.json").arg(ruleset));
        if (!ruleset.isEmpty() && file.open(QIODevice::ReadOnly))
            probe.command.output = file.readAll();
        QStringList got;
        for (const Finding &f : CheckFirewall({PlatformAdapter{"eth0", 2, {}, "192.168.1.5", "255.255.255.0", {}}}, probe))
            got.append(f.check + ": " + VerdictName(f.verdict) + ": " + f.fix.section(u'\n', 0, 0));
        QCOMPARE(got, findings);
    }

    void tftpPort_data()
    {
        QTest::addColumn<std::optional<QString>>("bindError");
        QTest::addColumn<bool>("processesVisible");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QByteArray>("name"); // of the process that holds the port
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("kill"); // the fix's command

        const std::optional<QString> inUse("in use");
        QTest::newRow("free") << std::optional<QString>() << true << Verdict::Ok << QByteArray() << "" << "";
        QTest::newRow("held, processes of others unreadable")
            << inUse << false << Verdict::Problem << QByteArray("python3\n") << "a program of user id 1000" << "";
        QTest::newRow("name that mimics the id") << inUse << true << Verdict::Problem << QByteArray("x (process 1\n")
                                                 << "x (process 1 (process 812)" << "kill 812";
        QTest::newRow("name with an escape and a line")
            << inUse << true << Verdict::Problem << QByteArray("\x1b[2J\nkill 1%1\n") << "?[2J?kill 1%1 (process 812)"
            << "kill 812";
    }

    void tftpPort()
    {
        QFETCH(std::optional<QString>, bindError);
        QFETCH(bool, processesVisible);
        QFETCH(Verdict, verdict);
        QFETCH(QByteArray, name);
        QFETCH(QString, holder);
        QFETCH(QString, kill);

        ScriptedProbe probe;
        probe.bindError = bindError;
        // As the kernel lists them: an unrelated socket on 14320 (37F0), then the holder's on 14321 (37F1).
        probe.files.insert("/proc/net/udp",
            "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer drops\n"
            "  245: 00000000:37F0 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 41510 2 0000000000000000 0\n"
            "  246: 00000000:37F1 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        0 41822 2 0000000000000000 0\n");
        probe.files.insert("/proc/700/comm", "apsim\n");
        probe.files.insert("/proc/812/comm", name);
        if (processesVisible) {
            probe.links.insert("/proc/700/fd/3", "socket:[41510]");
            probe.links.insert("/proc/812/fd/0", "/dev/null");
            probe.links.insert("/proc/812/fd/3", "socket:[41822]");
        }
        const Finding finding = CheckTftpPort(probe);
        QCOMPARE(finding.verdict, verdict);
        QVERIFY2(finding.summary.contains(holder), qPrintable(finding.summary));
        QCOMPARE(finding.summary.contains("apsim"), false);
        QCOMPARE(finding.fix.section(u'\n', 1), kill);
    }
};

QTEST_GUILESS_MAIN(TestHostChecks)
#include "tst_hostchecks.moc"
