#include "ipconfig/setipbatch.h"

#include "ipconfig/setipexchange.h"
#include "netenv/platformutils.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"

#include <QTimer>

namespace farlight {

SetIpBatch::SetIpBatch(SequenceCounters &counters, QObject *parent)
    : JobQueue(parent)
    , m_counters(counters)
{
    connect(this, &JobQueue::finished, this, &SetIpBatch::check);
}

void SetIpBatch::start(const QList<Job> &jobs)
{
    m_run = jobs;
    m_taken.clear();
    run(int(jobs.size()), [this, jobs](int job) {
        setAddress(jobs[job], [this, job](Outcome outcome) {
            if (outcome == Outcome::Ok)
                m_taken.append(job);
            emit jobFinished(job, outcome);
            jobDone();
        });
    });
}

PresenceCheck::Expected SetIpBatch::expectedAfter(const Job &job)
{
    return {job.device.mac, job.settings.dhcp ? QString() : AddressToText(job.settings.address)};
}

void SetIpBatch::check()
{
    if (!m_presence || m_taken.isEmpty() || m_presence->isActive()) {
        emit checked();
        return;
    }
    QList<PresenceCheck::Expected> expected;
    for (int job : std::as_const(m_taken))
        expected.append(expectedAfter(m_run[job]));
    const QList<int> jobs = m_taken;
    connect(
        m_presence, &PresenceCheck::finished, this,
        [this, jobs](const QList<bool> &answered) {
            for (qsizetype k = 0; k < jobs.size(); ++k)
                emit jobVerified(jobs[k], answered.value(k));
            emit checked();
        },
        Qt::SingleShotConnection);
    emit checking(int(expected.size()));
    m_presence->start(expected);
}

void SetIpBatch::setAddress(const Job &job, const std::function<void(Outcome)> &done)
{
    auto *exchange = new SetIpExchange(job.device, m_counters, this);
    exchange->setNoAnswerTimeout(m_answerTimeout);
    const auto finish = [exchange, done](Outcome outcome) {
        // From a success handler the confirmation still goes out before the socket closes.
        exchange->close();
        exchange->disconnect();
        exchange->deleteLater();
        done(outcome);
    };
    connect(exchange, &SetIpExchange::replied, exchange, [finish](SetIpExchange::Status status) {
        switch (status) {
        case SetIpExchange::Ok:
            return finish(Outcome::Ok);
        case SetIpExchange::Failure:
            return finish(Outcome::Failure);
        case SetIpExchange::InvalidPassword:
            return finish(Outcome::InvalidPassword);
        }
    });
    connect(exchange, &SetIpExchange::noAnswer, exchange, [finish] { finish(Outcome::NoAnswer); });
    const Settings &settings = job.settings;
    const quint8 flag = settings.dhcp ? Flag::SetIpDhcp : Flag::SetIpStatic;
    if (!exchange->open()
        || !exchange->send(job.password, flag, settings.dhcp ? 0 : settings.address, settings.mask, settings.gateway)) {
        // Told once the caller has returned, as an answer would be.
        QTimer::singleShot(0, exchange, [finish] { finish(Outcome::NotSent); });
    }
}

QString SetIpBatch::outcomeText(Outcome outcome, bool dhcp)
{
    switch (outcome) {
    case Outcome::Ok:
        return text(dhcp ? StringId::SetDhcpOk : StringId::SetIpOk);
    case Outcome::Failure:
        return text(dhcp ? StringId::SetDhcpFailure : StringId::SetIpFailure);
    case Outcome::InvalidPassword:
        return text(StringId::InvalidPassword);
    case Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case Outcome::NotSent:
        return text(StringId::IpAddressNotSet);
    }
    return {};
}

} // namespace farlight
