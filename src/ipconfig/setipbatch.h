#pragma once

#include "discovery/presencecheck.h"
#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"
#include "session/jobqueue.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>

namespace farlight {

/// @brief Sets the address of several devices, a few at a time, each through a SetIpExchange
/// of its own, so the bytes on the wire are those of a single Set IP. The devices are named
/// by their MACs, so devices fresh from the box that share one address are told apart. The
/// window and the command-line tool alike set addresses through it.
class SetIpBatch : public JobQueue
{
    Q_OBJECT

public:
    /// What became of one device.
    enum class Outcome { Ok, Failure, InvalidPassword, NoAnswer, NotSent };
    Q_ENUM(Outcome)

    /// What one device is told; addresses as InetAddr gives them, the address 0 with DHCP.
    struct Settings
    {
        bool dhcp = false;
        quint32 address = 0;
        quint32 mask = 0;
        quint32 gateway = 0;
    };

    struct Job
    {
        DeviceTarget device;
        QString password;
        Settings settings;
    };

    /// How long a device may leave its request unanswered.
    static constexpr std::chrono::milliseconds AnswerTimeout{5000};

    explicit SetIpBatch(SequenceCounters &counters, QObject *parent = nullptr);

    void setAnswerTimeout(std::chrono::milliseconds timeout) { m_answerTimeout = timeout; }

    /// @brief Starts the requests. jobStarted() and jobFinished() follow for every job, never
    /// from inside this call, then finished(), then the presence check, then checked().
    void start(const QList<Job> &jobs);
    /// @brief With @p check, a run ends by looking for each device that took its settings where
    /// they leave it (checking(), then jobVerified() for each); without (the default) checked()
    /// follows finished() at once. A "Set IP OK" proves little on a LAN where anyone can answer.
    void setPresenceCheck(PresenceCheck *check) { m_presence = check; }
    /// @brief Where @p job's device should answer once it has taken its settings.
    static PresenceCheck::Expected expectedAfter(const Job &job);

    /// @brief Sends one device its request outside the queue. @p done is called once, never from
    /// inside this call; the device's socket is let go by then.
    void setAddress(const Job &job, const std::function<void(Outcome)> &done);

    /// @brief How an outcome is worded, in a window or a terminal alike.
    static QString outcomeText(Outcome outcome, bool dhcp);

signals:
    void jobFinished(int job, farlight::SetIpBatch::Outcome outcome);
    /// @brief The presence check looks for the @p count devices that took their settings.
    void checking(int count);
    void jobVerified(int job, bool answered);
    /// @brief The run is over, its presence check included.
    void checked();

private:
    void check();

    SequenceCounters &m_counters;
    PresenceCheck *m_presence = nullptr;
    QList<Job> m_run;
    QList<int> m_taken; ///< the jobs of the run whose device said OK
    std::chrono::milliseconds m_answerTimeout = AnswerTimeout;
};

} // namespace farlight
