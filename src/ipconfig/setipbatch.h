#pragma once

#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

namespace farlight {

class SetIpExchange;

/// @brief Sets the address of several devices, a few at a time, each through a SetIpExchange
/// of its own, so the bytes on the wire are those of a single Set IP. The devices are named
/// by their MACs, so devices fresh from the box that share one address are told apart.
class SetIpBatch : public QObject
{
    Q_OBJECT

public:
    /// What became of one device.
    enum class Outcome { Ok, Failure, InvalidPassword, NoAnswer, NotSent };
    Q_ENUM(Outcome)

    struct Job
    {
        DeviceTarget device;
        quint32 address = 0; ///< as InetAddr gives it; 0 with DHCP
    };

    static constexpr int DefaultJobs = 4;
    /// How long a device may leave its request unanswered.
    static constexpr std::chrono::milliseconds AnswerTimeout{5000};

    explicit SetIpBatch(SequenceCounters &counters, QObject *parent = nullptr);
    ~SetIpBatch() override;

    /// @brief At most this many requests are awaited at once (at least 1).
    void setJobs(int jobs) { m_jobs = qMax(1, jobs); }
    void setAnswerTimeout(std::chrono::milliseconds timeout) { m_answerTimeout = timeout; }

    /// @brief Starts the requests: @p flag static or DHCP, the one @p mask and @p gateway for
    /// all, each job's own address, @p password for all. jobStarted() and jobFinished() follow
    /// for every job, never from inside this call, then finished().
    void start(const QList<Job> &jobs, quint8 flag, quint32 mask, quint32 gateway, const QString &password);
    bool isActive() const { return m_remaining > 0; }

    /// @brief How an outcome is worded, in a window or a terminal alike.
    static QString outcomeText(Outcome outcome, bool dhcp);

signals:
    void jobStarted(int job);
    void jobFinished(int job, farlight::SetIpBatch::Outcome outcome);
    void finished();

private:
    void startNext();
    void end(int job, SetIpExchange *exchange, Outcome outcome);

    SequenceCounters &m_counters;
    QList<Job> m_list;
    quint8 m_flag = 0;
    quint32 m_mask = 0;
    quint32 m_gateway = 0;
    QString m_password;
    int m_jobs = DefaultJobs;
    std::chrono::milliseconds m_answerTimeout = AnswerTimeout;
    int m_next = 0;
    int m_running = 0;
    int m_remaining = 0;
};

} // namespace farlight
