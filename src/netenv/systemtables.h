#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace farlight {

/// @brief Result codes of the system's table queries.
namespace TableResult {
/// The call succeeded.
inline constexpr quint32 Success = 0;
/// A size query found the buffer too small; for the adapter list this is the expected answer.
inline constexpr quint32 BufferOverflow = 111;
/// The call is not supported on this system.
inline constexpr quint32 NotSupported = 50;
/// The system has nothing to report.
inline constexpr quint32 NoData = 232;
} // namespace TableResult

/// @brief What the system says about one interface besides its identity; informational only.
struct InterfaceFlags
{
    bool up = false;
    bool loopback = false;
    bool pointToPoint = false;
};

/// @brief One row of the system's interface table.
struct IfRow
{
    /// The system's interface index.
    quint32 index = 0;
    /// Hardware address as long as the system reports it; the inventory takes the first six bytes.
    QByteArray physicalAddress;
    /// Description text, possibly padded with NUL characters.
    QString description;
    InterfaceFlags flags;
};

/// @brief The interface table as one size query and one read of it returned it.
struct IfTable
{
    /// Buffer size the size query asked for; zero or less means there is no table to read.
    qint64 sizeBytes = 0;
    /// Result of the read; anything but TableResult::Success means the rows are not valid.
    quint32 readResult = TableResult::Success;
    /// Rows in the order of the table, sorted by interface index.
    QList<IfRow> rows;
};

/// @brief One row of the system's IPv4 address table.
struct IpAddrRow
{
    /// Address as a number: 192.168.1.10 is 0xC0A8010A.
    quint32 address = 0;
    /// Interface index of the interface that holds the address.
    quint32 index = 0;
    /// Subnet mask as a number: 255.255.255.0 is 0xFFFFFF00.
    quint32 mask = 0;
};

/// @brief The address table as one size query and one read of it returned it.
struct IpAddrTable
{
    /// Buffer size the size query asked for; zero or less means there is no table to read.
    qint64 sizeBytes = 0;
    /// Result of the read; anything but TableResult::Success means the rows are not valid.
    quint32 readResult = TableResult::Success;
    /// Rows sorted by address, lowest first.
    QList<IpAddrRow> rows;
};

/// @brief One address of an adapter in text form, with its mask.
struct IpAddrString
{
    QString address;
    QString mask;
};

/// @brief One adapter of the system's adapter information list.
struct AdapterInfo
{
    /// The system's name of the adapter (on Linux the interface name).
    QString name;
    /// Description text, possibly padded with NUL characters.
    QString description;
    /// Hardware address as long as the system reports it.
    QByteArray address;
    /// The system's interface index.
    quint32 index = 0;
    /// Addresses of the adapter, the primary one first; "0.0.0.0" when it has none.
    QList<IpAddrString> ipAddressList;
    /// Default gateways of the adapter, the preferred one first; "0.0.0.0" when it has none.
    QStringList gatewayList;
    InterfaceFlags flags;
};

/// @brief The adapter information list as one size query and one read of it returned it.
struct AdapterInfoList
{
    /// Result of the size query; Success and BufferOverflow both count as success.
    quint32 sizeResult = TableResult::BufferOverflow;
    /// Result of the read; anything but Success means the list is not valid.
    quint32 readResult = TableResult::Success;
    /// The adapters in the order the system chains them.
    QList<AdapterInfo> adapters;
};

} // namespace farlight
