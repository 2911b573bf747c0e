#pragma once

#include "diagnosis/finding.h"
#include "netenv/platformadapter.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace farlight {

class SystemProbe;

/// @brief The adapter findings and the adapters the other checks look at.
struct AdapterCheck
{
    QList<Finding> findings;
    /// Adapters that are up and have an IPv4 address (only the one asked for, when one was named).
    QList<PlatformAdapter> usable;
};

/// @brief What a live search saw, for JudgeSearch().
struct SearchTally
{
    bool ran = false;        ///< false: there was no adapter to search from
    int devices = 0;         ///< devices listed
    int replies = 0;         ///< valid replies, repeats of a listed device included
    int otherReplies = 0;    ///< this protocol's datagrams meant for another adapter or search
    int foreign = 0;         ///< datagrams that are no reply of this protocol at all
    int sends = 0;           ///< requests that went out
    QStringList sendErrors;  ///< "adapter: reason" per request that could not be sent
};

/// @brief Which adapters the system lists, whether they are up and have an address.
/// @p only names the one adapter to look at; empty for all.
AdapterCheck CheckAdapters(const std::optional<QList<PlatformAdapter>> &adapters, const QString &only,
                           SystemProbe &probe);

/// @brief The effective reverse-path filter of each adapter (the larger of "all" and its own).
QList<Finding> CheckReversePathFilter(const QList<PlatformAdapter> &adapters, SystemProbe &probe);

/// @brief Counter of datagrams the kernel dropped by reverse-path filtering (IPReversePathFilter
/// of /proc/net/netstat); nullopt when it cannot be read.
std::optional<qint64> ReversePathDrops(SystemProbe &probe);

/// @brief Turns the reverse-path warnings into problems when @p drops datagrams were dropped
/// for that reason during the search.
void ConfirmReversePathDrops(QList<Finding> &findings, qint64 drops);

/// @brief Reads the nftables ruleset and judges the search and TFTP replies on each adapter.
QList<Finding> CheckFirewall(const QList<PlatformAdapter> &adapters, SystemProbe &probe);

/// @brief Whether the firmware upload's UDP port can be taken, and which program holds it if not.
Finding CheckTftpPort(SystemProbe &probe);

/// @brief The finding of a live search.
Finding JudgeSearch(const SearchTally &tally);

} // namespace farlight
