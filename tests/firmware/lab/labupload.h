#pragma once
// What the upload lab test and the upload benchmark share, inside a lab (lab/with-lab.sh): the
// workstation adapter, one upload by the engine, and tftpd-hpa in the lab's device namespace.
#include "firmware/tftpupload.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
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
        loop.quit();
    });
    QTimer::singleShot(2min, &loop, &QEventLoop::quit);
    clock.start();
    engine.start(image);
    if (!result)
        loop.exec();
    if (drain > 0ms) {
        QEventLoop wait;
        QTimer::singleShot(drain, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return result;
}

/// @brief tftpd-hpa on an address of its own in the lab's device namespace. Its remap rules turn
/// the engine's file name "/" into image.bin in a fresh folder.
class Tftpd
{
public:
    static constexpr char Address[] = "192.168.77.40";

    ~Tftpd() { stop(); }

    /// @brief Empty once the server listens, else what went wrong.
    QString start()
    {
        const QString ns = qEnvironmentVariable("FARLIGHT_LAB_DEV_NETNS");
        m_link = u"fld1-"_s + qEnvironmentVariable("FARLIGHT_LAB_ID");
        if (!m_dir.isValid())
            return u"no temporary folder"_s;
        // The server runs as "nobody", which must be able to create the image.
        ::chmod(qPrintable(m_dir.path()), 0777);
        QFile map(m_dir.filePath(u"remap"_s));
        if (!map.open(QIODevice::WriteOnly) || map.write("r ^/$ image.bin\n") < 0)
            return u"cannot write the remap rules"_s;
        map.close();
        if (QProcess::execute(u"ip"_s, {u"-n"_s, ns, u"addr"_s, u"add"_s, address() + u"/24"_s, u"dev"_s, m_link}) != 0)
            return u"cannot add "_s + address() + u" to "_s + m_link;
        m_addressAdded = true;

        m_server.setProgram(u"ip"_s);
        m_server.setArguments({u"netns"_s, u"exec"_s, ns, u"/usr/sbin/in.tftpd"_s, u"--foreground"_s,
                               u"--address"_s, address() + u":69"_s, u"--create"_s, u"--secure"_s,
                               u"--map-file"_s, map.fileName(), m_dir.path()});
        m_server.setProcessChannelMode(QProcess::ForwardedChannels);
        m_server.setChildProcessModifier([] {
            // Its transfer processes join this group, so stop() ends them too; and the server
            // goes when this process dies, however it dies.
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        m_server.start();
        if (!m_server.waitForStarted())
            return u"cannot start in.tftpd: "_s + m_server.errorString();

        // Its socket shows in /proc/PID/net/udp, which lists the sockets of PID's namespace.
        const QByteArray listening = QByteArray::number(qToBigEndian(QHostAddress(address()).toIPv4Address()), 16)
                                         .toUpper()
                                         .rightJustified(8, '0')
                                     + ":0045";
        QFile sockets(u"/proc/%1/net/udp"_s.arg(m_server.processId()));
        for (QDeadlineTimer deadline(5s); !deadline.hasExpired(); QThread::msleep(20)) {
            if (m_server.state() != QProcess::Running)
                return u"in.tftpd ended at once"_s;
            if (sockets.open(QIODevice::ReadOnly) && sockets.readAll().contains(listening))
                return {};
            sockets.close();
        }
        return u"in.tftpd does not listen on "_s + address();
    }

    void stop()
    {
        if (m_server.state() != QProcess::NotRunning) {
            const pid_t group = pid_t(m_server.processId());
            ::kill(-group, SIGTERM);
            if (!m_server.waitForFinished(3000)) {
                ::kill(-group, SIGKILL);
                m_server.waitForFinished(3000);
            }
        }
        if (m_addressAdded) {
            QProcess::execute(u"ip"_s, {u"-n"_s, qEnvironmentVariable("FARLIGHT_LAB_DEV_NETNS"), u"addr"_s,
                                         u"del"_s, address() + u"/24"_s, u"dev"_s, m_link});
            m_addressAdded = false;
        }
    }

    static QString address() { return QString::fromLatin1(Address); }
    QString imagePath() const { return m_dir.filePath(u"image.bin"_s); }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_link;
    bool m_addressAdded = false;
};

} // namespace labupload
