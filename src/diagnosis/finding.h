#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

namespace farlight {

/// @brief One result of the network diagnosis: what was examined, how it stands, what that
/// means for finding and reaching devices, and how to fix it.
struct Finding
{
    enum class Verdict {
        Ok,
        Warning, ///< may hinder Farlight; no evidence that it does
        Problem, ///< hinders Farlight, with the evidence named in the meaning
        NotRun,  ///< the check could not run here; the summary says why
    };

    QString check;   ///< one of the names in CheckName
    QString adapter; ///< the adapter the finding is about; empty when it concerns the whole computer
    Verdict verdict = Verdict::NotRun;
    QString summary; ///< one line
    QString meaning;
    /// Commands for a root shell that fix it, one a line; lines starting with # explain. Empty
    /// when there is nothing to do. Farlight never runs them itself.
    QString fix;
};

/// @brief Names of the checks, as reports and the JSON output show them.
namespace CheckName {
inline constexpr QLatin1StringView Adapters{"adapters"};
inline constexpr QLatin1StringView ReversePath{"rp_filter"};
inline constexpr QLatin1StringView Firewall{"firewall"};             ///< when the rules could not be read
inline constexpr QLatin1StringView FirewallSearch{"firewall-search"}; ///< search replies from port 4000
inline constexpr QLatin1StringView FirewallTftp{"firewall-tftp"};     ///< TFTP replies to port 14321
inline constexpr QLatin1StringView TftpPort{"tftp-port"};
inline constexpr QLatin1StringView Search{"search"};
} // namespace CheckName

} // namespace farlight

Q_DECLARE_METATYPE(farlight::Finding)
