#pragma once
// What the upload lab test and the upload benchmark share, inside a lab (lab/with-lab.sh): the
// workstation adapter, one upload by the engine, and tftpd-hpa in the lab's device namespace.
#include "firmware/tftpupload.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <net/if.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>

namespace labupload {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using farlight::TftpUpload;

struct Adapter
{
    QString ip = qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP");
    qint32 index = qint32(if_nametoindex(qPrintable(qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IFACE"))));
};

struct Result
{
    TftpUpload::Outcome outcome;
    qint64 ns; ///< from start() to finished()
};

/// @brief One upload from the lab adapter to @p device; none when the socket cannot be bound or
/// nothing ended it within two minutes. The engine lives on for @p drain afterwards, so late
/// copies of its answers reach its socket rather than the next upload's.
inline std::optional<Result> upload(const QString &device, const QByteArray &image,
                                    std::chrono::milliseconds interval = TftpUpload::RetransmitInterval,
                                    std::chrono::milliseconds drain = 0ms)
{
    const Adapter adapter;
    TftpUpload engine;
    if (!engine.open(adapter.ip, adapter.index, device))
        return std::nullopt;
    engine.setRetransmitInterval(interval);
    std::optional<Result> result;
    QEventLoop loop;
    QElapsedTimer clock;
    QObject::connect(&engine, &TftpUpload::finished, &loop, [&](TftpUpload::Outcome outcome) {
        result = Result{outcome, clock.nsecsElapsed()};
        QTimer::singleShot(drain, &loop, &QEventLoop::quit);
    });
    QTimer::singleShot(2min, &loop, &QEventLoop::quit);
    clock.start();
    engine.start(image);
    loop.exec();
    return result;
}

/// @brief tftpd-hpa on an address of its own in the lab's device namespace. Its remap rules turn
/// the engine's file name "/" into image.bin in a fresh folder.
class Tftpd
{
public:
    static inline const QString Address = u"192.168.77.40"_s;

    ~Tftpd() { stop(); }

    /// @brief Empty once the server listens, else what went wrong.
    QString start()
    {
        const QString ns = qEnvironmentVariable("FARLIGHT_LAB_DEV_NETNS");
        // The server runs as "nobody", which must be able to create the image.
        QFile map(m_dir.filePath(u"remap"_s));
        if (!m_dir.isValid() || ::chmod(qPrintable(m_dir.path()), 0777) != 0 || !map.open(QIODevice::WriteOnly)
            || map.write("r ^/$ image.bin\n") < 0)
            return u"cannot write the remap rules"_s;
        map.close();
        // The address goes with the lab's namespace.
        const QString link = u"fld1-"_s + qEnvironmentVariable("FARLIGHT_LAB_ID");
        if (QProcess::execute(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"add"_s, Address + u"/24"_s, u"dev"_s, link}) != 0)
            return u"cannot add "_s + Address + u" to "_s + link;

        m_server.setProgram(u"ip"_s);
        m_server.setArguments({u"netns"_s, u"exec"_s, ns, u"/usr/sbin/in.tftpd"_s, u"--foreground"_s,
                               u"--address"_s, Address + u":69"_s, u"--create"_s, u"--secure"_s,
                               u"--map-file"_s, map.fileName(), m_dir.path()});
        m_server.setProcessChannelMode(QProcess::ForwardedChannels);
        m_server.setChildProcessModifier([] {
            // Its transfer processes join this group, so stop() ends them too; and the server
            // goes when this process dies, however it dies.
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        m_server.start();
        // Its socket shows in /proc/PID/net/udp, which lists the sockets of PID's namespace; give it five seconds.
        const QByteArray listening =
            QByteArray::number(qToBigEndian(QHostAddress(Address).toIPv4Address()), 16).toUpper().rightJustified(8, '0')
            + ":0045";
        QFile sockets(u"/proc/%1/net/udp"_s.arg(m_server.processId()));
        for (int wait = 0; wait < 250 && m_server.waitForStarted(); ++wait, ::usleep(20'000)) {
            if (sockets.open(QIODevice::ReadOnly) && sockets.readAll().contains(listening))
                return {};
            sockets.close();
        }
        return u"in.tftpd does not listen on "_s + Address + u": "_s + m_server.errorString();
    }

    void stop()
    {
        if (m_server.state() != QProcess::NotRunning) {
            ::kill(-pid_t(m_server.processId()), SIGKILL);
            m_server.waitForFinished(3000);
        }
    }

    QString imagePath() const { return m_dir.filePath(u"image.bin"_s); }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

} // namespace labupload
