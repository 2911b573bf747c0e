#include "diagnosis/systemprobe.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

// A command that hangs (a firewall tool waiting on a lock) must not hold the diagnosis up.
constexpr int CommandTimeoutMs = 5000;

class RunningSystemProbe : public SystemProbe
{
public:
    std::optional<QByteArray> readFile(const QString &path) override
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        // Files of /proc report no size, so read until the end.
        return file.readAll();
    }

    QStringList listFolder(const QString &path) override
    {
        return QDir(path).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }

    QString linkTarget(const QString &path) override
    {
#if defined(Q_OS_UNIX)
        char buffer[256];
        const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
        if (length > 0)
            return QFile::decodeName(QByteArray(buffer, qsizetype(length)));
#else
        Q_UNUSED(path);
#endif
        return {};
    }

    CommandResult run(const QString &program, const QStringList &arguments) override
    {
        // Administrators' tools live in sbin, which an ordinary user's search path may lack.
        QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            path = QStandardPaths::findExecutable(program, {u"/usr/sbin"_s, u"/sbin"_s, u"/usr/local/sbin"_s});
        CommandResult result;
        if (path.isEmpty())
            return result;
        QProcess process;
        process.start(path, arguments);
        if (!process.waitForStarted())
            return result;
        result.started = true;
        if (!process.waitForFinished(CommandTimeoutMs)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.output = process.readAllStandardOutput();
        result.errorOutput = process.readAllStandardError();
        return result;
    }

    std::optional<QString> udpBindError(quint16 port) override
    {
        QUdpSocket socket;
        if (socket.bind(QHostAddress(QHostAddress::AnyIPv4), port, QUdpSocket::DontShareAddress))
            return std::nullopt;
        return socket.errorString();
    }
};

} // namespace

std::unique_ptr<SystemProbe> CreateSystemProbe()
{
    return std::make_unique<RunningSystemProbe>();
}

} // namespace farlight
