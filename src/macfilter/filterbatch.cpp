#include "macfilter/filterbatch.h"

#include "macfilter/filterexchange.h"
#include "resources/strings.h"

#include <QTimer>

namespace farlight {

FilterBatch::FilterBatch(SequenceCounters &counters, QObject *parent)
    : QObject(parent)
    , m_counters(counters)
    , m_answerTimeout(FilterExchange::WriteTimeout)
{
}

FilterBatch::~FilterBatch() = default;

void FilterBatch::start(const QList<DeviceTarget> &devices, const QList<MacAddress> &list, const QString &password)
{
    if (isActive())
        return;
    m_devices = devices;
    m_list = list;
    m_password = password;
    m_next = 0;
    m_running = 0;
    m_remaining = int(devices.size());
    QTimer::singleShot(0, this, m_remaining > 0 ? &FilterBatch::startNext : &FilterBatch::finished);
}

void FilterBatch::startNext()
{
    while (m_running < m_jobs && m_next < m_devices.size()) {
        const int device = m_next++;
        ++m_running;
        auto *exchange = new FilterExchange(m_devices[device], m_counters, this);
        exchange->setWriteTimeout(m_answerTimeout);
        connect(exchange, &FilterExchange::replied, this, [this, device, exchange](FilterExchange::Status status) {
            switch (status) {
            case FilterExchange::Pass:
                return end(device, exchange, Outcome::Pass);
            case FilterExchange::Fail:
                return end(device, exchange, Outcome::Fail);
            case FilterExchange::InvalidPassword:
                return end(device, exchange, Outcome::InvalidPassword);
            }
        });
        connect(exchange, &FilterExchange::noAnswer, this, [this, device, exchange] { end(device, exchange, Outcome::NoAnswer); });
        if (!exchange->open() || !exchange->sendList(m_password, m_list)) {
            // Told once the caller has returned, as an answer would be.
            QTimer::singleShot(0, exchange, [this, device, exchange] { end(device, exchange, Outcome::NotSent); });
        }
    }
}

void FilterBatch::end(int device, FilterExchange *exchange, Outcome outcome)
{
    exchange->close();
    exchange->disconnect(this);
    exchange->deleteLater();
    --m_running;
    --m_remaining;
    emit deviceFinished(device, outcome);
    if (m_remaining == 0)
        emit finished();
    else
        QTimer::singleShot(0, this, &FilterBatch::startNext);
}

QString FilterBatch::outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass:
        return text(FilterExchange::message(FilterExchange::Pass));
    case Outcome::Fail:
        return text(FilterExchange::message(FilterExchange::Fail));
    case Outcome::InvalidPassword:
        return text(FilterExchange::message(FilterExchange::InvalidPassword));
    case Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case Outcome::NotSent:
        return text(StringId::IpAddressNotSet);
    }
    return {};
}

} // namespace farlight
