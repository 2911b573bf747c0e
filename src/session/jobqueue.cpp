#include "session/jobqueue.h"

#include <QTimer>

namespace farlight {

void JobQueue::run(int count, std::function<void(int)> job)
{
    if (isActive())
        return;
    m_job = std::move(job);
    cancel();
    if (count <= 0)
        QTimer::singleShot(0, this, &JobQueue::finished);
    add(count);
}

void JobQueue::add(int count)
{
    m_count += count;
    m_remaining += count;
    QTimer::singleShot(0, this, &JobQueue::startNext);
}

void JobQueue::startNext()
{
    while (m_running < m_jobs && m_next < m_count) {
        const int job = m_next++;
        ++m_running;
        emit jobStarted(job);
        m_job(job);
    }
}

void JobQueue::jobDone()
{
    --m_running;
    if (--m_remaining == 0)
        emit finished();
    else // the next job starts once this one's handlers have returned
        QTimer::singleShot(0, this, &JobQueue::startNext);
}

} // namespace farlight
