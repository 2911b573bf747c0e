#include "labnet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

namespace farlight::test {

namespace {

constexpr int ProgramTimeoutMs = 30000;
constexpr int NamespaceStartTimeoutMs = 10000;

QString LinkTarget(const QString &path)
{
    char buffer[128] = {};
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer - 1);
    return length > 0 ? QString::fromLatin1(buffer, length) : QString();
}

} // namespace

bool RunProgram(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(ProgramTimeoutMs)) {
        qWarning("%s did not finish", qPrintable(program));
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
    }
    return ok;
}

bool Ip(const QStringList &arguments, QByteArray *output)
{
    return RunProgram(QStringLiteral("ip"), arguments, output);
}

int InterfaceIndex(const QString &name)
{
    return int(::if_nametoindex(name.toLocal8Bit().constData()));
}

PeerNamespace::~PeerNamespace()
{
    if (m_peerNamespace >= 0)
        ::close(m_peerNamespace);
    if (m_ownNamespace >= 0)
        ::close(m_ownNamespace);
    if (m_holder.state() != QProcess::NotRunning) {
        m_holder.closeWriteChannel();
        if (!m_holder.waitForFinished()) {
            m_holder.kill();
            m_holder.waitForFinished();
        }
    }
}

QString PeerNamespace::namespacePath() const
{
    return QStringLiteral("/proc/%1/ns/net").arg(m_holder.processId());
}

bool PeerNamespace::start()
{
    // The holder reads its input until it closes, so it ends with the test however the test ends.
    m_holder.start(QStringLiteral("unshare"), {QStringLiteral("--net"), QStringLiteral("cat")});
    if (!m_holder.waitForStarted())
        return false;
    // The child enters its namespace just after it starts; wait until it has.
    const QString own = LinkTarget(QStringLiteral("/proc/self/ns/net"));
    QElapsedTimer timer;
    timer.start();
    while (LinkTarget(namespacePath()) == own) {
        if (timer.elapsed() > NamespaceStartTimeoutMs || m_holder.state() != QProcess::Running)
            return false;
        QThread::msleep(5);
    }
    m_ownNamespace = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    m_peerNamespace = ::open(QFile::encodeName(namespacePath()).constData(), O_RDONLY | O_CLOEXEC);
    return m_ownNamespace >= 0 && m_peerNamespace >= 0 && ip({QStringLiteral("link"), QStringLiteral("set"),
                                                              QStringLiteral("lo"), QStringLiteral("up")});
}

bool PeerNamespace::adoptLink(const QString &name)
{
    return Ip({QStringLiteral("link"), QStringLiteral("set"), name, QStringLiteral("netns"),
               QString::number(m_holder.processId())});
}

bool PeerNamespace::ip(const QStringList &arguments)
{
    return RunProgram(QStringLiteral("nsenter"),
                      QStringList{QStringLiteral("--net=") + namespacePath(), QStringLiteral("ip")} + arguments);
}

bool PeerNamespace::enter(const std::function<void()> &action)
{
    if (::setns(m_peerNamespace, CLONE_NEWNET) != 0)
        return false;
    action();
    return ::setns(m_ownNamespace, CLONE_NEWNET) == 0;
}

} // namespace farlight::test
