#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace farlight {

/// @brief What the host firewall does with one kind of datagram arriving on one adapter.
struct FirewallJudgement
{
    enum class Fate {
        Accepted,  ///< every input chain lets it through
        Dropped,   ///< some input chain drops or rejects it, whatever the rules' unknowns
        Uncertain, ///< the outcome rests on a condition this reader cannot judge
    };
    Fate fate = Fate::Accepted;
    /// Base chains that drop it ("inet filter input"), for a fix in each.
    QStringList droppingChains;
    /// Base chains that may drop it.
    QStringList uncertainChains;
    /// Why, one text per chain concerned: "inet filter input: policy drop".
    QStringList reasons;
};

/// @brief The host firewall as `nft -j list ruleset` prints it, asked what becomes of the
/// datagrams Farlight waits for.
///
/// Only IPv4 filtering counts: base chains of the ip and inet families with a filter type and
/// the prerouting or input hook. A datagram is followed through each such chain as the kernel
/// would, jumps, gotos and verdict maps included; a match this reader does not know (an
/// address, a mark, an iptables extension) makes the outcome uncertain rather than guessed.
/// Connection tracking sees every awaited datagram as new: a reply to a request sent to
/// 255.255.255.255, and a TFTP reply from a port the transfer did not start with, match no
/// entry. A port the sender picks is taken to be none that a rule names on its own.
class NftRuleset
{
public:
    enum class Traffic {
        SearchReply, ///< from a device's UDP port 4000 to the search socket's ephemeral port
        TftpReply,   ///< from a device's new UDP port to local port 14321
    };

    /// @brief Reads the JSON; nullopt, with @p error set, when it is not nft's ruleset.
    static std::optional<NftRuleset> parse(QByteArrayView json, QString *error = nullptr);

    /// @brief True when some chain of the kinds above exists, so the firewall filters input at all.
    bool filtersInput() const { return !m_baseChains.isEmpty(); }

    /// @brief The fate of @p traffic arriving on the interface @p interfaceName (empty: unknown).
    FirewallJudgement judge(Traffic traffic, const QString &interfaceName) const;

private:
    struct Chain
    {
        QString label; ///< "family table name"
        QString policy;
        QList<QJsonArray> rules;
        QList<int> handles;
    };
    friend class NftEvaluation;

    QHash<QString, Chain> m_chains; ///< by label
    QStringList m_baseChains;       ///< labels, in the ruleset's order
    QHash<QString, QJsonArray> m_sets; ///< elements by "family table name"
};

} // namespace farlight
