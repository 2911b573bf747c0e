#pragma once

#include <QObject>

#include <functional>

namespace farlight {

/// @brief Runs numbered jobs a few at a time: the one scheduler behind every "several devices
/// at once" in the windows and the command-line tool.
class JobQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultJobs = 4;

    using QObject::QObject;

    /// @brief At most this many jobs run at once (at least 1).
    void setJobs(int jobs) { m_jobs = qMax(1, jobs); }
    bool isActive() const { return m_remaining > 0; }

    /// @brief Calls @p job for 0 to @p count - 1, each after jobStarted(), never from inside this
    /// call; each job calls jobDone() once it has ended. finished() follows the last.
    void run(int count, std::function<void(int job)> job);
    void jobDone();
    /// @brief Adds @p count jobs to the run, numbered on from the last; each starts once a slot is free.
    void add(int count = 1);
    /// @brief Forgets the run: no further job starts.
    void cancel() { m_count = m_next = m_running = m_remaining = 0; }

signals:
    void jobStarted(int job);
    void finished();

private:
    void startNext();

    std::function<void(int)> m_job;
    int m_jobs = DefaultJobs;
    int m_count = 0;
    int m_next = 0;
    int m_running = 0;
    int m_remaining = 0;
};

} // namespace farlight
