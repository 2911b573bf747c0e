#include "firmware/upgradebatch.h"

#include "netenv/platform.h"
#include "netenv/platformutils.h"
#include "protocol/tftppacket.h"

#include <QSet>
#include <QTimer>

namespace farlight {

UpgradeBatch::UpgradeBatch(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_platform(platform)
    , m_watch(platform)
{
    connect(&m_watch, &RestartWatch::finished, this, [this](int index, bool back, qint64 elapsedMs) {
        Result &result = m_jobsList[std::size_t(index)].result;
        result.restart = back ? Result::Restart::Back : Result::Restart::Missing;
        result.restartMs = elapsedMs;
        --m_remaining;
        emit targetFinished(index, result);
        if (m_remaining == 0)
            emit finished();
    });
}

UpgradeBatch::~UpgradeBatch()
{
    cancel();
}

qint64 UpgradeBatch::attemptElapsedMs(int target) const
{
    if (target < 0 || std::size_t(target) >= m_jobsList.size() || !m_jobsList[std::size_t(target)].attemptClock.isValid())
        return -1;
    return m_jobsList[std::size_t(target)].attemptClock.elapsed();
}

bool UpgradeBatch::probe(const QList<DeviceTarget> &targets)
{
    QSet<QString> probed;
    bool ok = true;
    for (const DeviceTarget &target : targets) {
        if (probed.contains(target.adapterAddress))
            continue;
        probed.insert(target.adapterAddress);
        ok = m_port.bind(target.adapterAddress, target.interfaceIndex);
        m_port.close();
        if (!ok)
            break;
    }
    return ok;
}

bool UpgradeBatch::canStart(const QList<DeviceTarget> &targets)
{
    m_osVersionCode = m_platform.osVersionCode();
    return probe(targets) || m_osVersionCode == OsVersion::WindowsNt4;
}

bool UpgradeBatch::start(const QList<DeviceTarget> &targets, const QByteArray &image)
{
    cancel();
    if (!canStart(targets))
        return false;
    // Only Windows NT 4 goes on without the port; its uploads then time out.
    m_port.bind();
    m_image = image;
    m_jobsList.clear();
    m_jobsList.resize(std::size_t(targets.size()));
    for (qsizetype i = 0; i < targets.size(); ++i)
        m_jobsList[std::size_t(i)].target = targets[i];
    m_remaining = int(targets.size());
    m_blocked = 0;
    if (m_remaining == 0)
        QTimer::singleShot(0, this, &UpgradeBatch::finished);
    m_queue.run(m_remaining, [this](int) { startFirstWaiting(); });
    return true;
}

void UpgradeBatch::cancel()
{
    for (Job &job : m_jobsList) {
        if (job.upload)
            job.upload->cancel();
    }
    m_queue.cancel();
    m_watch.cancel();
    // A retry still pausing belongs to the run that ended here.
    ++m_run;
    m_port.close();
}

// A queue job is one attempt, of the first waiting target that can start, so neither a retry pause nor
// a wait for a restart holds a slot. One that finds every waiting address busy comes back when an upload ends.
void UpgradeBatch::startFirstWaiting()
{
    for (std::size_t i = 0; i < m_jobsList.size(); ++i) {
        if (m_jobsList[i].waiting && startJob(int(i)))
            return;
    }
    ++m_blocked;
    m_queue.jobDone();
}

bool UpgradeBatch::startJob(int index)
{
    Job &job = m_jobsList[std::size_t(index)];
    auto upload = std::make_unique<TftpUpload>();
    upload->setRetransmitInterval(m_interval);
    upload->setOsVersionCode(m_osVersionCode);
    // Two devices behind one address cannot share the port at once: the second waits.
    const DeviceTarget &target = job.target;
    if (!upload->open(m_port, target.adapterAddress, target.interfaceIndex, target.address) && m_port.isBound())
        return false;
    // A stale cache entry could send the upload to a device that has since changed its address.
    m_platform.removeArpEntry(target.interfaceIndex, target.address);
    connect(upload.get(), &TftpUpload::progress, this, [this, index](int percent) { emit progress(index, percent); });
    connect(upload.get(), &TftpUpload::finished, this,
            [this, index](TftpUpload::Outcome outcome) { jobFinished(index, outcome); });
    // A failed attempt's upload may still be inside its own signal.
    if (job.upload)
        job.upload.release()->deleteLater();
    job.upload = std::move(upload);
    if (job.result.attempts == 0)
        job.clock.start();
    job.attemptClock.start();
    ++job.result.attempts;
    job.waiting = false;
    job.upload->start(m_image);
    return true;
}

void UpgradeBatch::jobFinished(int index, TftpUpload::Outcome outcome)
{
    Job &job = m_jobsList[std::size_t(index)];
    const int errorCode = job.upload->errorCode();
    job.upload->cancel();
    m_queue.jobDone();
    m_queue.add(m_blocked);
    m_blocked = 0;
    if (outcome != TftpUpload::Outcome::Complete && job.result.attempts <= m_retries) {
        emit retrying(index, outcome, errorCode);
        QTimer::singleShot(m_interval, this, [this, index, run = m_run] {
            if (run != m_run)
                return;
            m_jobsList[std::size_t(index)].waiting = true;
            m_queue.add();
        });
    } else {
        job.result.outcome = outcome;
        job.result.errorCode = errorCode;
        job.result.elapsedMs = job.clock.elapsed();
        job.result.restart = Result::Restart::NotAwaited;
        if (outcome == TftpUpload::Outcome::Complete && m_waitForRestart) {
            m_watch.watch(index, job.target);
            emit restarting(index);
        } else {
            --m_remaining;
            emit targetFinished(index, job.result);
        }
    }
    if (m_remaining == 0)
        emit finished();
}

} // namespace farlight
