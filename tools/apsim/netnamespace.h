#pragma once

#include <QString>
#include <QStringList>

namespace farlight {

/// @brief Whether this process runs in a network namespace of its own.
///
/// The simulator answers broadcasts and sends from addresses that are not its own; on the
/// machine's real network that would disturb real devices, so it refuses to run there.
class NetNamespace
{
public:
    enum class Verdict {
        Isolated,      ///< a namespace other than the initial one
        RootNamespace, ///< the machine's own network
        Unknown,       ///< no reference namespace could be read; treated as unsafe
    };

    /// @brief Compares the namespace link at @p selfLink with the first readable of
    /// @p referenceLinks (normally /proc/1/ns/net, then the kernel thread /proc/2/ns/net).
    static Verdict check(const QString &selfLink, const QStringList &referenceLinks, QString *detail = nullptr);

    /// @brief The check on this process's own /proc entries.
    static Verdict checkCurrent(QString *detail = nullptr);
};

} // namespace farlight
