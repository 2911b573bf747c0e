#include "cli/clioptions.h"
#include "cli/credentials.h"
#include "cli/deviceformat.h"
#include "cli/deviceselection.h"
#include "cli/password.h"
#include "cli/terminaloutput.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include "../support/files.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

using namespace farlight;
using namespace farlight::cli;
using namespace Qt::StringLiterals;

// What Summary() gives for a usage error: its message, @p id, naming @p argument if it names one.
static QString Refusal(int id, const QString &argument = {})
{
    return u"2: farlight-cli: "_s + (argument.isEmpty() ? text(id) : text(id).arg(argument));
}

// A summary of what the arguments gave, or the exit status with the start of the message.
static QString Summary(const ParsedArguments &parsed)
{
    if (!parsed.command)
        return u"%1: %2"_s.arg(parsed.exitCode).arg(parsed.text.section(u'\n', 0, 0));
    const Command &c = *parsed.command;
    return u"kind %1 devices %2 all %3 file %4 jobs %5 retries %6 ip %7/%8/%9 dhcp %10"_s.arg(int(c.kind))
        .arg(c.devices.join(u','))
        .arg(c.all)
        .arg(c.firmware + c.macFile)
        .arg(c.jobs)
        .arg(c.retries)
        .arg(c.ip, c.mask, c.gateway)
        .arg(c.dhcp);
}

namespace {

bool EchoOn(int terminal)
{
    termios settings{};
    return tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// The state letter of process @p pid in /proc ('T' when stopped), or 0.
char ProcessState(pid_t pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const qsizetype end = line.lastIndexOf(") ");
    return end >= 0 && end + 2 < line.size() ? line[end + 2] : 0;
}

// What @p fd gives until @p until appears in it or 5 s have passed.
QByteArray ReadUntil(int fd, const QByteArray &until)
{
    QByteArray got;
    QDeadlineTimer deadline(5000);
    while (!got.contains(until) && !deadline.hasExpired()) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, int(deadline.remainingTime())) <= 0)
            break;
        char chunk[256];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        got.append(chunk, n);
    }
    return got;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("summary");
        QTest::newRow("unknown command") << "scan" << Refusal(StringId::CliUnknownCommand, u"scan"_s);
        QTest::newRow("password as argument") << "set-ip AP --dhcp --password=secret" << Refusal(StringId::CliPasswordOnCommandLine);
        QTest::newRow("static, gateway left out")
            << "set-ip AP --ip 10.0.0.5 --mask 255.0.0.0" << "kind 1 devices AP all 0 file  jobs 4 retries 0 ip 10.0.0.5/255.0.0.0/0.0.0.0 dhcp 0";
        QTest::newRow("set-ip DHCP on two devices, 2 at a time")
            << "set-ip A B --dhcp --jobs 2" << "kind 1 devices A,B all 0 file  jobs 2 retries 0 ip //0.0.0.0 dhcp 1";
        // The same static address for several devices would collide.
        QTest::newRow("set-ip static on two devices")
            << "set-ip A B --ip 10.0.0.5 --mask 255.0.0.0" << Refusal(StringId::CliOneDeviceForStatic);
        QTest::newRow("upgrade several") << "upgrade A 10.0.0.9 fw.bin --jobs 8 --retries 2"
                                         << "kind 2 devices A,10.0.0.9 all 0 file fw.bin jobs 8 retries 2 ip //0.0.0.0 dhcp 0";
        QTest::newRow("upgrade all") << "upgrade --all fw.bin" << "kind 2 devices  all 1 file fw.bin jobs 4 retries 0 ip //0.0.0.0 dhcp 0";
        QTest::newRow("upgrade without device") << "upgrade fw.bin" << Refusal(StringId::CliDevicesOrAll);
        QTest::newRow("jobs 0") << "upgrade A fw.bin --jobs 0" << Refusal(StringId::CliJobsRange);
        QTest::newRow("wait timeout without wait") << "upgrade A fw.bin --wait-timeout 9" << Refusal(StringId::CliWaitTimeoutWithoutWait);
        QTest::newRow("apply without a plan") << "apply --yes" << Refusal(StringId::CliOnePlanFile);
        QTest::newRow("unknown format") << "search --format xml" << Refusal(StringId::CliUnknownSearchFormat, u"xml"_s);
    }

    void arguments()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, summary);
        QCOMPARE(Summary(ParseArguments(arguments.split(u' ', Qt::SkipEmptyParts))), summary);
    }

    void selection_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("all");
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<QList<int>>("indexes");
        QTest::addColumn<QList<int>>("messages");
        // (The notations of MACs and addresses are the name parsers' own tests.)
        QTest::newRow("host name in another case and its MAC name one device once")
            << QStringList{u"ap-lobby"_s, u"00:0a:1b:2c:3d:4e"_s} << false << "" << QList<int>{0} << QList<int>();
        QTest::newRow("ambiguous host name; the MAC settles it")
            << QStringList{u"twin"_s, u"00-0A-00-00-00-03"_s} << false << "" << QList<int>{2} << QList<int>{StringId::CliAmbiguousName};
        QTest::newRow("malformed MAC, bad IP, unknown name")
            << QStringList{u"00-0A-1B-2C-3D"_s, u"10.0.0.256"_s, u"Nobody"_s} << false << "" << QList<int>()
            << QList<int>{StringId::CliNotAMac, StringId::CliNotAnIp, StringId::CliNoSuchDevice};
        QTest::newRow("a hex-looking host name is a host name") << QStringList{u"cafe"_s} << false << "" << QList<int>{3} << QList<int>();
        QTest::newRow("adapter narrows") << QStringList{u"AP-Lobby"_s, u"cafe"_s} << false << "eth1" << QList<int>{3}
                                         << QList<int>{StringId::CliNoSuchDevice};
        QTest::newRow("all on an adapter") << QStringList() << true << "eth0" << QList<int>{0, 1, 2} << QList<int>();
    }

    void selection()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, all);
        QFETCH(QString, adapter);
        QFETCH(QList<int>, indexes);
        QFETCH(QList<int>, messages);
        AppState state;
        state.adapterTable[0].Name = u"eth0"_s;
        state.adapterTable[1].Name = u"eth1"_s;
        state.adapterCount = 2;
        const struct { const char *host; const char *ip; MacAddress mac; qint16 adapter; } devices[] = {
            {"AP-Lobby", "192.168.77.21", {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, 0},
            {"Twin", "192.168.77.30", {0x00, 0x0A, 0, 0, 0, 0x02}, 0},
            {"Twin", "192.168.77.31", {0x00, 0x0A, 0, 0, 0, 0x03}, 0},
            {"cafe", "10.0.0.9", {0x00, 0x0A, 0, 0, 0, 0x04}, 1},
        };
        for (const auto &d : devices) {
            DeviceRecord &record = state.deviceTable[std::size_t(state.deviceCount++)];
            record.HostName = QString::fromLatin1(d.host);
            record.IpAddress = QString::fromLatin1(d.ip);
            record.Mac = d.mac;
            record.AdapterIndex = d.adapter;
        }
        const DeviceSelection selection = SelectDevices(state, names, all, adapter);
        QCOMPARE(selection.indexes, indexes);
        QCOMPARE(selection.messages, messages);
        QCOMPARE(selection.errors.size(), messages.size());
    }

    void password_data()
    {
        QTest::addColumn<QByteArray>("file"); // contents; empty for no file
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("prompted"); // "-" for no terminal
        QTest::addColumn<QString>("result");   // the password, or "error: ..." ("%1": the file)
        QTest::newRow("file first, its first line without CR LF") << QByteArray("admin\r\nsecond\r\n") << "env" << "typed" << "admin";
        QTest::newRow("file readable by the group")
            << QByteArray("admin\n0640") << "env" << "typed"
            << u"error: "_s + text(StringId::CliSecretFileOpen).arg(u"0640"_s, u"%1"_s, u"password file"_s);
        QTest::newRow("variable before the prompt") << QByteArray() << "env" << "typed" << "env";
        QTest::newRow("prompt last") << QByteArray() << "" << "typed" << "typed";
        QTest::newRow("no source") << QByteArray() << "" << "-" << u"error: "_s + text(StringId::CliPasswordNeeded);
        // (What a password may hold is checked with the credentials below, and by the login and the scrambler.)
    }

    void password()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, environment);
        QFETCH(QString, prompted);
        QFETCH(QString, result);
        QTemporaryDir dir;
        PasswordSources sources;
        if (!file.isEmpty()) {
            sources.file = dir.filePath(u"pw"_s);
            // Written 0600 unless the second line names the mode.
            QVERIFY(testsupport::writeFile(sources.file, file, QFile::Permissions(file.endsWith("0640") ? 0x6440 : 0x6000)));
        }
        if (!environment.isEmpty())
            sources.environment = environment;
        if (prompted != u"-")
            sources.prompt = [prompted] { return std::optional<QString>(prompted); };
        const PasswordResult resolved = ResolvePassword(sources);
        QCOMPARE(resolved.password ? *resolved.password : u"error: "_s + resolved.error,
                 result.contains(u"%1") ? result.arg(sources.file) : result);
    }

    void credentials_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("password"); // for AP-Lobby (192.168.77.21, 00-0A-1B-2C-3D-4E); "error: ..." ("%1": the file)
        const QByteArray all = "*,star\nap-lobby,host\n192.168.77.21,ip\n00:0a:1b:2c:3d:4e,mac\n";
        QTest::newRow("MAC before address, host name and *") << all << "mac";
        QTest::newRow("address before host name") << all.sliced(0, all.indexOf("00:")) << "ip";
        QTest::newRow("host name in any case, blanks, comments, commas and # in the password")
            << QByteArray("# site A\r\n\r\n   AP-LOBBY ,  pw,x#1 \r\n") << "pw,x#1";
        QTest::newRow("not named") << QByteArray("10.0.0.1,x\nAP-Lobby2,y") << "none";
        QTest::newRow("a name twice, in another notation")
            << QByteArray("000a.1b2c.3d4e,a\n# c\n00:0A:1B:2C:3D:4E,b")
            << u"error: %1:3: "_s + text(StringId::CliGivenAlready).arg(u"00:0A:1B:2C:3D:4E"_s).arg(1);
        QTest::newRow("no comma") << QByteArray("\nAP-Lobby secret") << u"error: %1:2: "_s + text(StringId::CliCredentialsLine);
        QTest::newRow("13 characters, not echoed")
            << QByteArray("AP,abcdefghijklm") << u"error: %1:1: "_s + text(StringId::CliPasswordTooLong).arg(12);
    }

    void credentials()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, password);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"creds"_s);
        QVERIFY(testsupport::writeFile(path, file, QFile::ReadOwner | QFile::WriteOwner));
        DeviceTarget device;
        device.hostName = u"AP-Lobby"_s;
        device.address = u"192.168.77.21"_s;
        device.mac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
        const auto loaded = CredentialsFile::load(path);
        const QString *error = std::get_if<QString>(&loaded);
        QCOMPARE(error ? u"error: "_s + *error : std::get<CredentialsFile>(loaded).passwordFor(device).value_or(u"none"_s),
                 password.contains(u"%1") ? password.arg(path) : password);
    }

    // Names come from devices anyone on the LAN can imitate: CSV quotes them and keeps a formula as
    // text, the terminal never receives their control characters.
    void untrustedTexts()
    {
        AppState state;
        state.adapterTable[0].Name = u"eth0"_s;
        state.adapterCount = 1;
        state.deviceTable[0].HostName = u"=a,\"b\"\nc"_s;
        state.deviceTable[0].Ssid = u"\x1b]0;owned\x07"_s;
        state.deviceCount = 1;
        QCOMPARE(FormatDevices(state, {0}, OutputFormat::Csv).section(u"\r\n"_s, 1, 1),
                 u"\"'=a,\"\"b\"\"\nc\",,\x1b]0;owned\x07,0,false,00-00-00-00-00-00,eth0"_s);
        // On a terminal a line break inside a cell must not look like the start of another row.
        QCOMPARE(FormatDevices(state, {0}, OutputFormat::Csv, true).section(u"\r\n"_s, 1, 1),
                 u"\"'=a,\"\"b\"\"?c\",,?]0;owned?,0,false,00-00-00-00-00-00,eth0"_s);
        const QString table = FormatDevices(state, {0}, OutputFormat::Table);
        QVERIFY(!table.contains(u'\x1b') && !table.contains(u'\x07'));
        QVERIFY(table.contains(u"a,\"b\"?c"_s) && table.contains(u"?]0;owned?"_s));

        // JSON escapes the C1 controls too, and a terminal gets CSV without any control but line ends.
        state.deviceTable[0].HostName = u"\u009b2J\u0085\u007f\u00a0"_s;
        const QString json = FormatDevices(state, {0}, OutputFormat::Json);
        QVERIFY(json.contains(uR"("host_name": "\u009b2J\u0085\u007f ")"_s));
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8()).array().at(0)[u"host_name"_s].toString(), state.deviceTable[0].HostName);
        QBuffer shown;
        shown.open(QIODevice::WriteOnly);
        {
            TerminalOutput terminal(&shown);
            QTextStream(&terminal) << FormatDevices(state, {0}, OutputFormat::Csv) << u"\r"_s;
        }
        QCOMPARE(QString::fromUtf8(shown.data()).section(u'\n', 1),
                 u"?2J??\u00a0,,?]0;owned?,0,false,00-00-00-00-00-00,eth0\n?"_s);
    }

    void promptEcho_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("outcome");
        QTest::newRow("typed") << 0 << QByteArray("got secret\nstatus 0\n");
        QTest::newRow("Ctrl+C") << SIGINT << QByteArray("status -2\n");
        QTest::newRow("killed") << SIGTERM << QByteArray("status -15\n");
        QTest::newRow("hung up") << SIGHUP << QByteArray("status -1\n");
        QTest::newRow("stopped, continued, typed") << SIGTSTP << QByteArray("got secret\nstatus 0\n");
    }

    // The prompt on a pseudo-terminal, run as a shell runs a job: in a foreground process group of
    // its own, so that a stop really stops it. Whatever ends or stops it, echo is back on.
    void promptEcho()
    {
        QFETCH(int, signal);
        QFETCH(QByteArray, outcome);
        int report[2], go[2];
        QVERIFY(pipe(report) == 0 && pipe(go) == 0);
        int terminal = -1;
        const pid_t shell = forkpty(&terminal, nullptr, nullptr, nullptr);
        QVERIFY(shell >= 0);
        if (shell == 0) {
            const pid_t prompter = fork();
            if (prompter == 0) {
                char ready;
                if (read(go[0], &ready, 1) != 1)
                    _exit(3);
                const std::optional<QString> password = PromptWithoutEcho(u"pw: "_s);
                dprintf(report[1], "got %s\n", password ? qPrintable(*password) : "nothing");
                _exit(0);
            }
            setpgid(prompter, prompter);
            tcsetpgrp(STDIN_FILENO, prompter);
            dprintf(report[1], "pid %d\n", prompter);
            if (write(go[1], "g", 1) != 1)
                _exit(3);
            int status = 0;
            waitpid(prompter, &status, 0);
            dprintf(report[1], "status %d\n", WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status));
            _exit(0);
        }
        close(report[1]);
        const QByteArray started = ReadUntil(report[0], "\n");
        const pid_t prompter = pid_t(started.mid(4).trimmed().toInt());
        QVERIFY2(prompter > 0, started);
        QVERIFY(ReadUntil(terminal, "pw: ").contains("pw: "));
        QVERIFY(!EchoOn(terminal));

        auto waitForEcho = [&](bool on) { return QTest::qWaitFor([&] { return EchoOn(terminal) == on; }, 5000); };
        if (signal == SIGTSTP) {
            kill(prompter, SIGTSTP);
            QVERIFY(waitForEcho(true));
            // As a shell does, it continues the job once it has stopped: a continue that came while
            // the handler still ran would be lost to the stop that follows it.
            QVERIFY(QTest::qWaitFor([&] { return ProcessState(prompter) == 'T'; }, 5000));
            kill(prompter, SIGCONT);
            QVERIFY(waitForEcho(false));
        } else if (signal != 0) {
            kill(prompter, signal);
        }
        if (signal == 0 || signal == SIGTSTP)
            QCOMPARE(write(terminal, "secret\n", 7), 7);
        QCOMPARE(ReadUntil(report[0], outcome), outcome);
        QVERIFY(waitForEcho(true));
        QVERIFY(!ReadUntil(terminal, "secret").contains("secret"));
        waitpid(shell, nullptr, 0);
        close(report[0]);
        close(terminal);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
