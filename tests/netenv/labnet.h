// Support for the tests that build their own links in the private network namespace that
// tests/support/netns-run.sh gives them (and marks with FARLIGHT_IN_NETNS=1).
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <net/if.h>

namespace farlight::test {

/// @brief Runs @p commandLine, whose words are separated by single spaces, and waits for it; true when it exits with
/// status 0. Its standard output goes to @p output when given; its error output is printed on failure.
inline bool Run(const QString &commandLine, QByteArray *output = nullptr)
{
    const QStringList words = commandLine.split(u' ');
    QProcess process;
    process.start(words.first(), words.mid(1));
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok)
        qWarning("%s failed: %s", qPrintable(commandLine), process.readAllStandardError().constData());
    if (output)
        *output = process.readAllStandardOutput();
    return ok;
}

/// @brief Waits until link @p name, as @p ip (a command line running "ip") sees it, is up. A
/// veth link drops what is sent in the first moments after it was set up.
inline bool WaitUntilUp(const QString &ip, const QString &name)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray output;
    while (!Run(ip + " -o link show dev " + name, &output) || !output.contains("state UP")) {
        if (timer.elapsed() > 10000)
            return false;
        QTest::qSleep(20);
    }
    return true;
}

} // namespace farlight::test
