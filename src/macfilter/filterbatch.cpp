#include "macfilter/filterbatch.h"

#include "discovery/presencecheck.h"
#include "macfilter/filterexchange.h"
#include "macfilter/filtertable.h"
#include "resources/strings.h"

#include <QTimer>

#include <tuple>

namespace farlight {

namespace {

FilterBatch::Outcome OutcomeOf(FilterExchange::Status status)
{
    switch (status) {
    case FilterExchange::Pass:
        return FilterBatch::Outcome::Pass;
    case FilterExchange::Fail:
        return FilterBatch::Outcome::Fail;
    case FilterExchange::InvalidPassword:
        break;
    }
    return FilterBatch::Outcome::InvalidPassword;
}

QList<MacAddress> ListOrder(const QList<MacAddress> &addresses)
{
    FilterTable table;
    table.loadAddresses(addresses);
    return table.macs();
}

} // namespace

FilterBatch::FilterBatch(SequenceCounters &counters, QObject *parent)
    : JobQueue(parent)
    , m_counters(counters)
    , m_answerTimeout(FilterExchange::WriteTimeout)
{
}

void FilterBatch::start(const QList<Job> &jobs, const QList<MacAddress> &list, bool verify)
{
    run(int(jobs.size()), [this, jobs, list, verify](int job) {
        write(jobs[job], list, verify, [this, job](Outcome outcome) {
            emit jobFinished(job, outcome);
            jobDone();
        });
    });
}

std::pair<FilterExchange *, FilterBatch::Report> FilterBatch::exchangeFor(const DeviceTarget &device,
                                                                          const Report &done)
{
    auto *exchange = new FilterExchange(device, m_counters, this);
    exchange->setWriteTimeout(m_answerTimeout);
    exchange->setReadTimeout(m_answerTimeout);
    const Report finish = [exchange, done](Outcome outcome, const QList<MacAddress> &list) {
        exchange->close();
        exchange->disconnect();
        exchange->deleteLater();
        done(outcome, list);
    };
    connect(exchange, &FilterExchange::noAnswer, exchange, [finish] { finish(Outcome::NoAnswer, {}); });
    return {exchange, finish};
}

void FilterBatch::write(const Job &job, const QList<MacAddress> &list, bool verify,
                        const std::function<void(Outcome)> &done)
{
    // Plain variables, not a structured binding: lambdas below capture them, which clang 14 refuses.
    FilterExchange *exchange = nullptr;
    Report finish;
    std::tie(exchange, finish) =
        exchangeFor(job.device, [done](Outcome outcome, const QList<MacAddress> &) { done(outcome); });
    connect(exchange, &FilterExchange::replied, exchange, [=, password = job.password](FilterExchange::Status status) {
        // A "Pass" from anyone but the device would say nothing about the device's list.
        if (status != FilterExchange::Pass || !verify)
            finish(OutcomeOf(status), {});
        else if (!exchange->requestList(password))
            finish(Outcome::NotVerified, {});
    });
    connect(exchange, &FilterExchange::listReceived, exchange, [=](const QList<MacAddress> &stored) {
        finish(ListOrder(stored) == ListOrder(list) ? Outcome::Verified : Outcome::NotVerified, {});
    });
    if (!exchange->open() || !exchange->sendList(job.password, list)) {
        // Told once the caller has returned, as an answer would be.
        QTimer::singleShot(0, exchange, [finish] { finish(Outcome::NotSent, {}); });
    }
}

void FilterBatch::read(const Job &job, const std::function<void(Outcome, const QList<MacAddress> &)> &done)
{
    FilterExchange *exchange = nullptr;
    Report finish;
    std::tie(exchange, finish) = exchangeFor(job.device, done);
    connect(exchange, &FilterExchange::listReceived, exchange,
            [finish](const QList<MacAddress> &addresses) { finish(Outcome::Pass, ListOrder(addresses)); });
    connect(exchange, &FilterExchange::replied, exchange,
            [finish](FilterExchange::Status status) { finish(OutcomeOf(status), {}); });
    if (!exchange->open() || !exchange->requestList(job.password))
        QTimer::singleShot(0, exchange, [finish] { finish(Outcome::NotSent, {}); });
}

QString FilterBatch::outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass:
        return text(StringId::Pass);
    case Outcome::Fail:
        return text(StringId::Fail);
    case Outcome::InvalidPassword:
        return text(StringId::InvalidPassword);
    case Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case Outcome::NotSent:
        return text(StringId::IpAddressNotSet);
    case Outcome::Verified:
    case Outcome::NotVerified:
        return text(StringId::Pass) + QStringLiteral("; ") + PresenceText(outcome == Outcome::Verified);
    }
    return {};
}

} // namespace farlight
