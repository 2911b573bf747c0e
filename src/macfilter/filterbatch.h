#pragma once

#include "protocol/macaddress.h"
#include "protocol/sequencecounters.h"
#include "session/devicetarget.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

namespace farlight {

class FilterExchange;

/// @brief Writes one MAC filter list to several devices, a few at a time, each through a
/// FilterExchange of its own (the bytes of a single write), with one password for all.
class FilterBatch : public QObject
{
    Q_OBJECT

public:
    /// What became of one device's write.
    enum class Outcome { Pass, Fail, InvalidPassword, NoAnswer, NotSent };
    Q_ENUM(Outcome)

    static constexpr int DefaultJobs = 4;

    explicit FilterBatch(SequenceCounters &counters, QObject *parent = nullptr);
    ~FilterBatch() override;

    /// @brief At most this many writes are awaited at once (at least 1).
    void setJobs(int jobs) { m_jobs = qMax(1, jobs); }
    /// @brief How long a device may leave its write unanswered.
    void setAnswerTimeout(std::chrono::milliseconds timeout) { m_answerTimeout = timeout; }

    /// @brief Sends @p list to each of @p devices with @p password. deviceFinished() follows for
    /// every device, never from inside this call, then finished().
    void start(const QList<DeviceTarget> &devices, const QList<MacAddress> &list, const QString &password);
    bool isActive() const { return m_remaining > 0; }

    /// @brief How an outcome is worded, in a window or a terminal alike.
    static QString outcomeText(Outcome outcome);

signals:
    void deviceFinished(int device, farlight::FilterBatch::Outcome outcome);
    void finished();

private:
    void startNext();
    void end(int device, FilterExchange *exchange, Outcome outcome);

    SequenceCounters &m_counters;
    QList<DeviceTarget> m_devices;
    QList<MacAddress> m_list;
    QString m_password;
    int m_jobs = DefaultJobs;
    std::chrono::milliseconds m_answerTimeout{5000};
    int m_next = 0;
    int m_running = 0;
    int m_remaining = 0;
};

} // namespace farlight
