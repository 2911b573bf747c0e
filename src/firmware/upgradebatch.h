#pragma once

#include "discovery/restartwatch.h"
#include "firmware/tftpport.h"
#include "firmware/tftpupload.h"
#include "session/devicetarget.h"
#include "session/jobqueue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

namespace farlight {

class Platform;

/// @brief Uploads one firmware image to one or many devices, several at a time, through one
/// shared port 14321; a failed upload starts again from its first block (TFTP cannot resume), as
/// often as allowed. The Download dialog runs it with one device, farlight-cli upgrade with many.
///
/// Before every attempt it removes the device's ARP cache entry, so that a device that has since
/// changed its address is not sent the image through a stale entry. On request it then waits for
/// each device that took the image to answer a search again (RestartWatch); a device that does
/// not come back has failed.
class UpgradeBatch : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        enum class Restart { NotAwaited, Back, Missing };

        TftpUpload::Outcome outcome = TftpUpload::Outcome::TimedOut;
        int errorCode = -1;  ///< the device's TFTP error code, for DeviceError
        int attempts = 0;
        qint64 elapsedMs = 0; ///< from the first attempt's start to the end of the upload
        Restart restart = Restart::NotAwaited;
        qint64 restartMs = 0; ///< from the end of the upload until it answered again

        bool ok() const { return outcome == TftpUpload::Outcome::Complete && restart != Restart::Missing; }
    };

    explicit UpgradeBatch(Platform &platform, QObject *parent = nullptr);
    ~UpgradeBatch() override;

    /// @brief At most this many uploads run at once (at least 1).
    void setJobs(int jobs) { m_queue.setJobs(jobs); }
    /// @brief A failed upload starts again at most this many times.
    void setRetries(int retries) { m_retries = qMax(0, retries); }
    /// @brief The pause before an upload starts again, so the device's last answers to the
    /// failed attempt die out first; and each upload's retransmission interval.
    void setRetransmitInterval(std::chrono::milliseconds interval) { m_interval = interval; }
    /// @brief Whether a target that took the image is finished only once it answers a search again.
    void setWaitForRestart(bool wait) { m_waitForRestart = wait; }
    /// @brief The wait for the restarts; its timeout and timing can be set.
    RestartWatch &restartWatch() { return m_watch; }

    /// @brief Opens port 14321 on the adapter of every target and gives it back. False
    /// (errorString() says why) when one of them cannot be bound.
    bool probe(const QList<DeviceTarget> &targets);
    /// @brief Whether start() would go ahead: probe(), except on Windows NT 4, where a port that
    /// cannot be bound has never stopped an upload (it then times out).
    bool canStart(const QList<DeviceTarget> &targets);
    /// @brief Opens port 14321 and starts the first uploads. False (errorString() says why)
    /// when canStart() is false; nothing is sent then.
    bool start(const QList<DeviceTarget> &targets, const QByteArray &image);
    /// @brief Abandons every upload still running; nothing is sent to the devices.
    void cancel();
    QString errorString() const { return m_port.errorString(); }
    /// @brief How long target @p target's current attempt has run, in ms; -1 before its first.
    qint64 attemptElapsedMs(int target) const;

signals:
    /// @brief Target @p target (an index into the list given to start) has sent @p percent of
    /// the image in its current attempt.
    void progress(int target, int percent);
    /// @brief Target @p target has taken the image; the batch now waits for it to come back.
    void restarting(int target);
    /// @brief An attempt of target @p target failed and it will start again.
    void retrying(int target, farlight::TftpUpload::Outcome outcome, int errorCode);
    /// @brief Target @p target is done, for good.
    void targetFinished(int target, const farlight::UpgradeBatch::Result &result);
    /// @brief Every target is done.
    void finished();

private:
    struct Job
    {
        DeviceTarget target;
        std::unique_ptr<TftpUpload> upload;
        Result result;
        QElapsedTimer clock;        // from the first attempt
        QElapsedTimer attemptClock; // from the current attempt
        bool waiting = true; // not yet started, or waiting to start again
    };

    void startFirstWaiting();
    bool startJob(int index);
    void jobFinished(int index, TftpUpload::Outcome outcome);

    Platform &m_platform;
    TftpPort m_port;
    RestartWatch m_watch;
    JobQueue m_queue;
    std::vector<Job> m_jobsList;
    QByteArray m_image;
    bool m_waitForRestart = false;
    int m_retries = 0;
    int m_blocked = 0; // queue jobs that found every waiting target's address busy
    int m_remaining = 0;
    quint64 m_run = 0; // counts starts and cancels
    qint32 m_osVersionCode = 0;
    std::chrono::milliseconds m_interval = TftpUpload::RetransmitInterval;
};

} // namespace farlight
