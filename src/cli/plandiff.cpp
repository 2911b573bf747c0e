#include "cli/plandiff.h"

#include "ipconfig/inetaddr.h"

#include <QHostAddress>
#include <QSet>

#include <bit>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

bool SameAddress(const QString &a, const QString &b)
{
    return InetAddr(a) != InetAddrNone && InetAddr(a) == InetAddr(b);
}

// "192.168.77.31/24 via 192.168.77.1"; no "via" without a gateway.
QString Describe(const QString &ip, const QString &mask, const QString &gateway)
{
    const quint32 bits = InetAddr(mask);
    QString text = ip;
    if (bits != InetAddrNone && std::countl_one(bits) == std::popcount(bits))
        text += u'/' + QString::number(std::popcount(bits));
    else
        text += u" mask "_s + mask;
    if (InetAddr(gateway) != 0)
        text += u" via "_s + gateway;
    return text;
}

QString Addresses(qsizetype count)
{
    return count == 1 ? u"1 address"_s : u"%1 addresses"_s.arg(count);
}

QSet<QString> Keys(const QList<MacAddress> &list)
{
    QSet<QString> keys;
    for (const MacAddress &mac : list)
        keys.insert(MacKey(mac));
    return keys;
}

} // namespace

RowChange Compare(const PlanRow &row, const DeviceNow &now)
{
    RowChange change;
    const std::optional<AppliedAddress> &applied = now.applied;
    QString planned;
    switch (row.address) {
    case PlanRow::Address::Keep:
        change.addressText = u"-"_s;
        break;
    case PlanRow::Address::Static:
        planned = Describe(row.ip, row.mask, row.gateway);
        change.address = !(SameAddress(now.address, row.ip) && applied && !applied->dhcp && applied->mask == row.mask
                           && applied->gateway == row.gateway);
        break;
    case PlanRow::Address::Dhcp:
        planned = u"DHCP"_s;
        change.address = !(applied && applied->dhcp);
        break;
    }
    if (row.address != PlanRow::Address::Keep) {
        QString current;
        if (applied && applied->dhcp)
            current = u"DHCP at "_s + now.address;
        else if (applied && SameAddress(applied->ip, now.address))
            current = Describe(now.address, applied->mask, applied->gateway);
        else
            current = now.address + u" (settings not reported)"_s;
        change.addressText = change.address ? current + u" → "_s + planned : u"unchanged (%1)"_s.arg(current);
    }

    if (!row.filter) {
        change.filterText = u"-"_s;
    } else if (!now.filter) {
        change.filter = true;
        change.filterText = u"not read (%1) → %2"_s.arg(now.filterError, Addresses(row.filter->size()));
    } else {
        const QSet<QString> wanted = Keys(*row.filter), present = Keys(*now.filter);
        change.added = int((wanted - present).size());
        change.removed = int((present - wanted).size());
        change.filter = change.added > 0 || change.removed > 0;
        change.filterText = change.filter ? u"+%1 -%2 (%3 → %4)"_s.arg(change.added).arg(change.removed).arg(
                                                Addresses(now.filter->size()), Addresses(row.filter->size()))
                                          : u"unchanged (%1)"_s.arg(Addresses(row.filter->size()));
    }
    return change;
}

} // namespace farlight::cli
