#include "ipconfig/addressnumbering.h"

#include "netenv/platformutils.h"

#include <bit>

namespace farlight {

AddressNumbering::AddressNumbering(quint32 first, quint32 mask, int count, const QSet<quint32> &taken)
    : m_first(first)
    , m_network(first & mask)
    , m_broadcast(first | ~mask)
    , m_count(qMax(0, count))
{
    if (first == m_network) {
        m_problem = Problem::NetworkAddress;
        return;
    }
    if (first == m_broadcast) {
        m_problem = Problem::BroadcastAddress;
        return;
    }
    // Counting stops below the broadcast address, which also keeps the count from wrapping.
    for (quint32 address = first; address < m_broadcast && m_addresses.size() < m_count; ++address) {
        if (!taken.contains(address))
            m_addresses.append(address);
    }
    if (m_addresses.size() < m_count)
        m_problem = Problem::LeavesSubnet;
}

QString AddressNumbering::problemText() const
{
    const QString subnet =
        QStringLiteral("%1/%2").arg(AddressToText(m_network)).arg(std::popcount(m_broadcast ^ m_network ^ 0xFFFFFFFFu));
    switch (m_problem) {
    case Problem::None:
        return {};
    case Problem::NetworkAddress:
        return QStringLiteral("%1 is the network address of %2.").arg(AddressToText(m_first), subnet);
    case Problem::BroadcastAddress:
        return QStringLiteral("%1 is the broadcast address of %2.").arg(AddressToText(m_first), subnet);
    case Problem::LeavesSubnet:
        return QStringLiteral("%2 has room for only %1 of the %3 devices from %4 on; start lower.")
            .arg(m_addresses.size())
            .arg(subnet)
            .arg(m_count)
            .arg(AddressToText(m_first));
    }
    return {};
}

} // namespace farlight
