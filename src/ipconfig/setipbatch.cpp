#include "ipconfig/setipbatch.h"

#include "ipconfig/setipexchange.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"

#include <QTimer>

namespace farlight {

SetIpBatch::SetIpBatch(SequenceCounters &counters, QObject *parent)
    : QObject(parent)
    , m_counters(counters)
{
}

SetIpBatch::~SetIpBatch() = default;

void SetIpBatch::start(const QList<Job> &jobs, quint8 flag, quint32 mask, quint32 gateway, const QString &password)
{
    if (isActive())
        return;
    m_list = jobs;
    m_flag = flag;
    m_mask = mask;
    m_gateway = gateway;
    m_password = password;
    m_next = 0;
    m_running = 0;
    m_remaining = int(jobs.size());
    QTimer::singleShot(0, this, m_remaining > 0 ? &SetIpBatch::startNext : &SetIpBatch::finished);
}

void SetIpBatch::startNext()
{
    while (m_running < m_jobs && m_next < m_list.size()) {
        const int job = m_next++;
        ++m_running;
        auto *exchange = new SetIpExchange(m_list[job].device, m_counters, this);
        exchange->setNoAnswerTimeout(m_answerTimeout);
        connect(exchange, &SetIpExchange::replied, this, [this, job, exchange](SetIpExchange::Status status) {
            switch (status) {
            case SetIpExchange::Ok:
                return end(job, exchange, Outcome::Ok);
            case SetIpExchange::Failure:
                return end(job, exchange, Outcome::Failure);
            case SetIpExchange::InvalidPassword:
                return end(job, exchange, Outcome::InvalidPassword);
            }
        });
        connect(exchange, &SetIpExchange::noAnswer, this, [this, job, exchange] { end(job, exchange, Outcome::NoAnswer); });
        emit jobStarted(job);
        const quint32 address = m_flag == Flag::SetIpStatic ? m_list[job].address : 0;
        if (!exchange->open() || !exchange->send(m_password, m_flag, address, m_mask, m_gateway)) {
            // Told once the caller has returned, as an answer would be.
            QTimer::singleShot(0, exchange, [this, job, exchange] { end(job, exchange, Outcome::NotSent); });
        }
    }
}

void SetIpBatch::end(int job, SetIpExchange *exchange, Outcome outcome)
{
    // From a success handler the confirmation still goes out before the socket closes.
    exchange->close();
    exchange->disconnect(this);
    exchange->deleteLater();
    --m_running;
    --m_remaining;
    emit jobFinished(job, outcome);
    if (m_remaining == 0)
        emit finished();
    else
        QTimer::singleShot(0, this, &SetIpBatch::startNext);
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
