#include "cli/deviceoperations.h"

#include "discovery/presencecheck.h"
#include "ipconfig/setipexchange.h"
#include "macfilter/filterexchange.h"
#include "macfilter/filtertable.h"
#include "protocol/packetheader.h"
#include "resources/strings.h"

#include <QTimer>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

const QString NoAnswer = u"no answer"_s;

// Ends an exchange once: its socket closed (a set-IP confirmation still goes out first), the
// exchange let go, the result passed on.
template <class Exchange>
OperationDone Finisher(Exchange *exchange, const OperationDone &done)
{
    return [exchange, done](const QString &result, bool ok) {
        exchange->close();
        exchange->deleteLater();
        done(result, ok);
    };
}

void NotSent(QObject *context, const OperationDone &done)
{
    // Reported once the caller has returned, as an answer would be.
    QTimer::singleShot(0, context, [done] { done(text(StringId::IpAddressNotSet), false); });
}

QList<MacAddress> ListOrder(const QList<MacAddress> &addresses)
{
    FilterTable table;
    table.loadAddresses(addresses);
    return table.macs();
}

} // namespace

void SetDeviceAddress(const DeviceTarget &device, const QString &password, const AddressSettings &settings,
                      const OperationContext &context, const OperationDone &done)
{
    auto *exchange = new SetIpExchange(device, context.counters, context.parent);
    const OperationDone finish = Finisher(exchange, done);
    exchange->setNoAnswerTimeout(context.answerTimeout);
    QObject::connect(exchange, &SetIpExchange::replied, exchange, [finish, dhcp = settings.dhcp](SetIpExchange::Status status) {
        switch (status) {
        case SetIpExchange::Ok:
            return finish(text(dhcp ? StringId::SetDhcpOk : StringId::SetIpOk), true);
        case SetIpExchange::Failure:
            return finish(text(dhcp ? StringId::SetDhcpFailure : StringId::SetIpFailure), false);
        case SetIpExchange::InvalidPassword:
            return finish(text(StringId::InvalidPassword), false);
        }
    });
    QObject::connect(exchange, &SetIpExchange::noAnswer, exchange, [finish] { finish(NoAnswer, false); });
    const quint8 flag = settings.dhcp ? Flag::SetIpDhcp : Flag::SetIpStatic;
    if (!exchange->open() || !exchange->send(password, flag, settings.address, settings.mask, settings.gateway))
        NotSent(exchange, finish);
}

void WriteDeviceFilter(const DeviceTarget &device, const QString &password, const QList<MacAddress> &list, bool verify,
                       const OperationContext &context, const OperationDone &done)
{
    auto *exchange = new FilterExchange(device, context.counters, context.parent);
    const OperationDone finish = Finisher(exchange, done);
    exchange->setWriteTimeout(context.answerTimeout);
    exchange->setReadTimeout(context.answerTimeout);
    QObject::connect(exchange, &FilterExchange::replied, exchange, [=](FilterExchange::Status status) {
        const QString verdict = text(FilterExchange::message(status));
        // A "Pass" from anyone but the device would say nothing about the device's list.
        if (status != FilterExchange::Pass || !verify || !exchange->requestList(password))
            finish(verdict, status == FilterExchange::Pass && !verify);
    });
    QObject::connect(exchange, &FilterExchange::listReceived, exchange, [=](const QList<MacAddress> &stored) {
        const bool same = ListOrder(stored) == ListOrder(list);
        finish(text(StringId::Pass) + u"; "_s + PresenceText(same), same);
    });
    QObject::connect(exchange, &FilterExchange::noAnswer, exchange, [finish] { finish(NoAnswer, false); });
    if (!exchange->open() || !exchange->sendList(password, list))
        NotSent(exchange, finish);
}

void ReadDeviceFilter(const DeviceTarget &device, const QString &password, const OperationContext &context,
                      const std::function<void(const std::optional<QList<MacAddress>> &, const QString &)> &done)
{
    auto *exchange = new FilterExchange(device, context.counters, context.parent);
    const OperationDone finish = Finisher(exchange, [done](const QString &failure, bool) { done(std::nullopt, failure); });
    exchange->setReadTimeout(context.answerTimeout);
    QObject::connect(exchange, &FilterExchange::listReceived, exchange, [exchange, done](const QList<MacAddress> &addresses) {
        exchange->close();
        exchange->deleteLater();
        done(ListOrder(addresses), QString());
    });
    QObject::connect(exchange, &FilterExchange::replied, exchange,
                     [finish](FilterExchange::Status status) { finish(text(FilterExchange::message(status)), false); });
    QObject::connect(exchange, &FilterExchange::noAnswer, exchange, [finish] { finish(NoAnswer, false); });
    if (!exchange->open() || !exchange->requestList(password))
        NotSent(exchange, finish);
}

} // namespace farlight::cli
