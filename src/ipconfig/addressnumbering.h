#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QtGlobal>

namespace farlight {

/// @brief Gives a number of devices one address each, counting up from a first address within
/// its subnet: the numbering of a fleet fresh from the box, which all answer from one address.
///
/// Addresses already in use (found devices, the workstation's adapters) are skipped; the
/// network and broadcast addresses are never given out, and the numbering never leaves the
/// subnet. Addresses are numeric values as InetAddr gives them (first octet in the top byte).
class AddressNumbering
{
public:
    enum class Problem {
        None,
        NetworkAddress,   ///< the first address is the subnet's network address
        BroadcastAddress, ///< the first address is the subnet's broadcast address
        LeavesSubnet,     ///< the subnet ends before every device has an address
    };

    /// @brief Numbers @p count devices from @p first within the subnet @p mask gives it.
    AddressNumbering(quint32 first, quint32 mask, int count, const QSet<quint32> &taken = {});

    /// @brief The address of each device in order; shorter than the count when the subnet ends first.
    const QList<quint32> &addresses() const { return m_addresses; }
    Problem problem() const { return m_problem; }
    bool fits() const { return m_problem == Problem::None; }
    /// @brief Why the numbering does not fit, ready to show; empty when it fits.
    QString problemText() const;

private:
    quint32 m_first = 0;
    quint32 m_network = 0;
    quint32 m_broadcast = 0;
    int m_count = 0;
    QList<quint32> m_addresses;
    Problem m_problem = Problem::None;
};

} // namespace farlight
