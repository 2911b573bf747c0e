#pragma once

#include "protocol/macaddress.h"
#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"
#include "session/jobqueue.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <utility>

namespace farlight {

class FilterExchange;

/// @brief Writes one MAC filter list to several devices, a few at a time, each through a
/// FilterExchange of its own (the bytes of a single write), optionally reading each list back;
/// also reads or writes one device's list outside the queue. The window and the command-line
/// tool alike write and read lists through it.
class FilterBatch : public JobQueue
{
    Q_OBJECT

public:
    /// What became of one device's write (or read, which ends in the first five).
    enum class Outcome { Pass, Fail, InvalidPassword, NoAnswer, NotSent, Verified, NotVerified };
    Q_ENUM(Outcome)

    struct Job
    {
        DeviceTarget device;
        QString password;
    };

    explicit FilterBatch(SequenceCounters &counters, QObject *parent = nullptr);

    /// @brief How long a device may leave a write or a read unanswered.
    void setAnswerTimeout(std::chrono::milliseconds timeout) { m_answerTimeout = timeout; }

    /// @brief Sends @p list to each job's device, with @p verify reading it back. jobStarted()
    /// and jobFinished() follow for every job, never from inside this call, then finished().
    void start(const QList<Job> &jobs, const QList<MacAddress> &list, bool verify = false);

    /// @brief Writes @p list to one device outside the queue; with @p verify it reads the list
    /// back, Verified when the device keeps exactly that list. @p done is called once, never from
    /// inside this call.
    void write(const Job &job, const QList<MacAddress> &list, bool verify, const std::function<void(Outcome)> &done);

    /// @brief Reads one device's list: Pass and its addresses in list order, or why not.
    void read(const Job &job, const std::function<void(Outcome, const QList<MacAddress> &list)> &done);

    /// @brief How an outcome is worded, in a window or a terminal alike.
    static QString outcomeText(Outcome outcome);

signals:
    void jobFinished(int job, farlight::FilterBatch::Outcome outcome);

private:
    using Report = std::function<void(Outcome, const QList<MacAddress> &)>;
    /// An exchange for one request, timed; the returned report closes it, lets it go and reports.
    std::pair<FilterExchange *, Report> exchangeFor(const DeviceTarget &device, const Report &done);

    SequenceCounters &m_counters;
    std::chrono::milliseconds m_answerTimeout;
};

} // namespace farlight
