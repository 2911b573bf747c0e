// Support for the tests that build their own links in the private network namespace that
// tests/support/netns-run.sh gives them.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <net/if.h>

namespace farlight::test {

/// @brief Runs @p program and waits for it; true when it exits with status 0. Its standard
/// output goes to @p output when given; its error output is printed on failure.
inline bool RunProgram(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
    }
    if (output)
        *output = process.readAllStandardOutput();
    return ok;
}

/// @brief Runs "ip" with @p arguments in the test's own network namespace.
inline bool Ip(const QStringList &arguments, QByteArray *output = nullptr)
{
    return RunProgram(QStringLiteral("ip"), arguments, output);
}

/// @brief The index of interface @p name in the calling thread's network namespace, or 0.
inline int InterfaceIndex(const QString &name)
{
    return int(::if_nametoindex(name.toLocal8Bit().constData()));
}

/// @brief True when the test runs in a namespace of its own, so its links cannot touch this
/// machine's real interfaces.
inline bool InPrivateNamespace()
{
    return qgetenv("FARLIGHT_IN_NETNS") == "1";
}

/// @brief Waits until link @p name, as @p ip (a command running "ip") sees it, is up. A veth
/// link drops what is sent in the first moments after it was set up.
inline bool WaitUntilUp(const QStringList &ip, const QString &name)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray output;
    while (!RunProgram(ip.first(), ip.mid(1) + QStringList{"-o", "link", "show", "dev", name}, &output)
           || !output.contains("state UP")) {
        if (timer.elapsed() > 10000)
            return false;
        QTest::qSleep(20);
    }
    return true;
}

} // namespace farlight::test
