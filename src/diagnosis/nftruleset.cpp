#include "diagnosis/nftruleset.h"

#include "firmware/tftpupload.h"
#include "protocol/packetheader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QScopedValueRollback>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

enum class Tri { No, Maybe, Yes };

Tri Not(Tri value)
{
    return value == Tri::Yes ? Tri::No : value == Tri::No ? Tri::Yes : Tri::Maybe;
}

Tri And(Tri a, Tri b)
{
    return (a == Tri::No || b == Tri::No) ? Tri::No : (a == Tri::Maybe || b == Tri::Maybe) ? Tri::Maybe : Tri::Yes;
}

// What a chain can end in; a rule's verdict can leave several open when a condition is unknown.
enum Outcome : int { Accept = 1, Drop = 2, Return = 4, Continue = 8, Unknown = Accept | Drop | Continue };

struct PortRange
{
    qint64 low = 0;
    qint64 high = 0;
};

// Linux hands out ephemeral ports from this range unless ip_local_port_range says otherwise.
constexpr PortRange EphemeralPorts{32768, 60999};
// A TFTP server answers from a port of its own choosing, never a privileged one.
constexpr PortRange ServerTransferPorts{1024, 65535};
constexpr int MaxJumpDepth = 16;

// Protocols whose header an IPv4 UDP datagram does not have: a match on them never holds.
const QStringList AbsentHeaders = {u"tcp"_s, u"icmp"_s, u"icmpv6"_s, u"ip6"_s, u"sctp"_s, u"dccp"_s,
                                   u"udplite"_s, u"esp"_s, u"ah"_s, u"comp"_s, u"igmp"_s, u"arp"_s};

struct Datagram
{
    PortRange source;
    PortRange destination;
    QString interfaceName;
};

// "ip saddr", "meta mark", "fib": what a match looks at, as nft writes it.
QString Describe(const QJsonObject &left)
{
    if (left.isEmpty())
        return u"a match"_s;
    const QString kind = left.constBegin().key();
    const QJsonObject body = left.constBegin().value().toObject();
    if (kind == u"payload")
        return body[u"protocol"_s].toString() + u' ' + body[u"field"_s].toString();
    if (body.contains(u"key"_s))
        return kind + u' ' + body[u"key"_s].toString();
    return kind;
}

// A number from the ruleset as an integer. Ports, marks and interface indexes all fit well
// inside the clamp, and a number beyond it compares the same once clamped; converting an
// out-of-range double directly is undefined.
qint64 JsonInteger(const QJsonValue &value)
{
    constexpr double Bound = 1e15;
    const double number = value.toDouble();
    return std::isfinite(number) ? qint64(std::clamp(number, -Bound, Bound)) : 0;
}

} // namespace

// One datagram followed through the chains; notes why it was dropped or why that is unsure.
class NftEvaluation
{
public:
    NftEvaluation(const NftRuleset &ruleset, Datagram datagram)
        : m_ruleset(ruleset)
        , m_datagram(std::move(datagram))
    {
    }

    int chain(const QString &label, int depth);

    QString dropReason;
    QString doubt;

private:
    int statementVerdict(const QString &kind, const QJsonValue &body, const QString &scope, int depth);
    int verdictMap(const QJsonObject &map, const QString &scope, int depth);
    Tri condition(const QJsonObject &match, const QString &scope);
    Tri subject(const QJsonObject &left, const QString &op, const QJsonValue &right, const QString &scope);
    int followChain(const QString &label, int depth);
    Tri portIn(PortRange port, const QString &op, const QJsonValue &right, const QString &scope);
    Tri portEquals(PortRange port, const QJsonValue &right, const QString &scope);
    Tri textEquals(const QStringList &names, const QJsonValue &right, const QString &scope);
    QJsonArray namedSet(const QString &scope, const QString &reference) const;

    const NftRuleset &m_ruleset;
    Datagram m_datagram;
    // A chain's outcome depends only on the datagram, so each is worked out once however many
    // rules jump to it: chains that jump to the next several times would otherwise take
    // exponential time.
    QHash<QString, int> m_outcomes;
    QSet<QString> m_following; ///< chains on the current jump path
    // nft's sets hold values, never other sets: a reference met inside one is not followed, so a
    // forged set that names itself cannot recurse.
    bool m_insideSet = false;
};

int NftEvaluation::chain(const QString &label, int depth)
{
    if (const auto known = m_outcomes.constFind(label); known != m_outcomes.constEnd())
        return *known;
    // The kernel refuses loops and deeper jumps, so only a forged listing gets here.
    const bool loops = m_following.contains(label);
    if (loops || depth > MaxJumpDepth || !m_ruleset.m_chains.contains(label)) {
        if (doubt.isEmpty())
            doubt = loops ? u"chain %1 jumps back to itself"_s.arg(label) : u"chain %1 cannot be followed"_s.arg(label);
        return Unknown | Return;
    }
    m_following.insert(label);
    const int outcomes = followChain(label, depth);
    m_following.remove(label);
    m_outcomes.insert(label, outcomes);
    return outcomes;
}

int NftEvaluation::followChain(const QString &label, int depth)
{
    const NftRuleset::Chain &chain = m_ruleset.m_chains[label];
    const QString scope = label.section(u' ', 0, 1);
    int outcomes = 0;
    for (qsizetype r = 0; r < chain.rules.size(); ++r) {
        Tri matched = Tri::Yes;
        int result = Continue;
        QString ruleDoubt;
        for (const QJsonValue &entry : chain.rules[r]) {
            const QJsonObject statement = entry.toObject();
            if (statement.isEmpty())
                continue;
            const QString kind = statement.constBegin().key();
            const QJsonValue body = statement.constBegin().value();
            Tri step = Tri::Yes;
            if (kind == u"match")
                step = condition(body.toObject(), scope);
            else if (kind == u"limit" || kind == u"quota" || (kind == u"xt" && body[u"type"_s].toString() != u"target"))
                step = Tri::Maybe;
            else if (kind == u"xt")
                result = Unknown;
            else
                result = statementVerdict(kind, body, scope, depth);
            if (step == Tri::Maybe && ruleDoubt.isEmpty())
                ruleDoubt = kind == u"match" ? Describe(body[u"left"_s].toObject()) : kind;
            matched = And(matched, step);
            if (matched == Tri::No || result != Continue)
                break;
        }
        if (matched == Tri::No)
            continue;
        if (matched == Tri::Maybe && (result & ~Continue) && doubt.isEmpty())
            doubt = u"rule %1 of %2 depends on %3"_s.arg(chain.handles[r]).arg(label, ruleDoubt);
        if (matched == Tri::Yes && result == Drop && dropReason.isEmpty())
            dropReason = u"rule %1 of %2 drops them"_s.arg(chain.handles[r]).arg(label);
        outcomes |= result & ~Continue;
        if (matched == Tri::Yes && !(result & Continue))
            return outcomes;
    }
    return outcomes | Return;
}

int NftEvaluation::statementVerdict(const QString &kind, const QJsonValue &body, const QString &scope, int depth)
{
    if (kind == u"accept")
        return Accept;
    if (kind == u"drop" || kind == u"reject")
        return Drop;
    if (kind == u"return")
        return Return;
    if (kind == u"continue")
        return Continue;
    if (kind == u"queue")
        return Accept | Drop;
    if (kind == u"jump" || kind == u"goto") {
        const int inner = chain(scope + u' ' + body[u"target"_s].toString(), depth + 1);
        const int ends = inner & (Accept | Drop);
        // A jump comes back to the next rule; a goto ends the calling chain as well.
        if (kind == u"jump")
            return ends | ((inner & (Return | Continue)) ? Continue : 0);
        return ends | ((inner & (Return | Continue)) ? Return : 0);
    }
    if (kind == u"vmap")
        return verdictMap(body.toObject(), scope, depth);
    // Counters, logs, marks and the like leave the datagram's fate alone.
    return Continue;
}

int NftEvaluation::verdictMap(const QJsonObject &map, const QString &scope, int depth)
{
    const QJsonValue data = map[u"data"_s];
    const QJsonArray elements = data[u"set"_s].isArray() ? data[u"set"_s].toArray() : namedSet(scope, data.toString());
    if (elements.isEmpty())
        return Unknown;
    int result = 0;
    for (const QJsonValue &element : elements) {
        const QJsonArray pair = element.toArray();
        if (pair.size() != 2)
            return Unknown;
        Tri hit = Tri::Maybe;
        {
            const QScopedValueRollback inside(m_insideSet, true);
            hit = subject(map[u"key"_s].toObject(), u"=="_s, pair[0], scope);
        }
        if (hit == Tri::No)
            continue;
        const QJsonObject verdict = pair[1].toObject();
        if (verdict.isEmpty())
            return Unknown;
        result |= statementVerdict(verdict.constBegin().key(), verdict.constBegin().value(), scope, depth);
        if (hit == Tri::Yes)
            return result;
    }
    return result | Continue;
}

Tri NftEvaluation::condition(const QJsonObject &match, const QString &scope)
{
    return subject(match[u"left"_s].toObject(), match[u"op"_s].toString(u"=="_s), match[u"right"_s], scope);
}

Tri NftEvaluation::subject(const QJsonObject &left, const QString &op, const QJsonValue &right, const QString &scope)
{
    const bool negated = op == u"!=";
    auto text = [&](const QStringList &names) {
        if (!negated && op != u"==" && op != u"in")
            return Tri::Maybe;
        const Tri equal = textEquals(names, right, scope);
        return negated ? Not(equal) : equal;
    };
    const QStringList udp{u"udp"_s, u"17"_s};
    if (left.contains(u"payload"_s)) {
        const QJsonObject payload = left[u"payload"_s].toObject();
        const QString protocol = payload[u"protocol"_s].toString();
        const QString field = payload[u"field"_s].toString();
        if (protocol == u"udp" || protocol == u"th") {
            if (field == u"sport")
                return portIn(m_datagram.source, op, right, scope);
            if (field == u"dport")
                return portIn(m_datagram.destination, op, right, scope);
            return Tri::Maybe;
        }
        if (protocol == u"ip")
            return field == u"protocol" ? text(udp) : Tri::Maybe;
        // nft adds a dependency on the protocol, so even a negated match fails without the header.
        return AbsentHeaders.contains(protocol) ? Tri::No : Tri::Maybe;
    }
    if (left.contains(u"meta"_s)) {
        const QString key = left[u"meta"_s][u"key"_s].toString();
        if (key == u"l4proto")
            return text(udp);
        if (key == u"nfproto")
            return text({u"ipv4"_s});
        if (key == u"protocol")
            return text({u"ip"_s});
        if (key == u"iifname" || key == u"iif")
            return m_datagram.interfaceName.isEmpty() ? Tri::Maybe : text({m_datagram.interfaceName});
        return Tri::Maybe;
    }
    if (left.contains(u"ct"_s)) {
        const QString key = left[u"ct"_s][u"key"_s].toString();
        if (key == u"state")
            return text({u"new"_s});
        if (key == u"direction")
            return text({u"original"_s});
    }
    return Tri::Maybe;
}

Tri NftEvaluation::portIn(PortRange port, const QString &op, const QJsonValue &right, const QString &scope)
{
    if (op == u"==" || op == u"in")
        return portEquals(port, right, scope);
    if (op == u"!=")
        return Not(portEquals(port, right, scope));
    if (!right.isDouble())
        return Tri::Maybe;
    const qint64 limit = JsonInteger(right);
    auto below = [&](qint64 bound) { return port.high < bound ? Tri::Yes : port.low >= bound ? Tri::No : Tri::Maybe; };
    if (op == u"<")
        return below(limit);
    if (op == u"<=")
        return below(limit + 1);
    if (op == u">=")
        return Not(below(limit));
    if (op == u">")
        return Not(below(limit + 1));
    return Tri::Maybe;
}

Tri NftEvaluation::portEquals(PortRange port, const QJsonValue &right, const QString &scope)
{
    // A port picked at random is taken to be none that a rule names on its own: a rule counts
    // only when it covers every port the sender may pick.
    auto covers = [&](qint64 low, qint64 high) { return (port.low >= low && port.high <= high) ? Tri::Yes : Tri::No; };
    if (right.isDouble())
        return covers(JsonInteger(right), JsonInteger(right));
    const QJsonArray range = right[u"range"_s].toArray();
    if (range.size() == 2 && range[0].isDouble() && range[1].isDouble())
        return covers(JsonInteger(range[0]), JsonInteger(range[1]));
    QJsonArray elements = right.isArray() ? right.toArray() : right[u"set"_s].toArray();
    if (right.isString() && right.toString().startsWith(u'@'))
        elements = namedSet(scope, right.toString());
    if (elements.isEmpty())
        return Tri::Maybe;
    const QScopedValueRollback inside(m_insideSet, true);
    Tri any = Tri::No;
    for (const QJsonValue &element : std::as_const(elements)) {
        const QJsonValue value = element[u"elem"_s].isObject() ? element[u"elem"_s][u"val"_s] : element;
        const Tri hit = portEquals(port, value, scope);
        if (hit == Tri::Yes)
            return Tri::Yes;
        if (hit == Tri::Maybe)
            any = Tri::Maybe;
    }
    return any;
}

Tri NftEvaluation::textEquals(const QStringList &names, const QJsonValue &right, const QString &scope)
{
    if (right.isDouble())
        return names.contains(QString::number(JsonInteger(right))) ? Tri::Yes : Tri::No;
    if (right.isString()) {
        const QString value = right.toString();
        if (!value.startsWith(u'@')) {
            // An interface name ending in * is a wildcard.
            if (value.endsWith(u'*'))
                return names.first().startsWith(value.chopped(1)) ? Tri::Yes : Tri::No;
            return names.contains(value) ? Tri::Yes : Tri::No;
        }
    }
    const QJsonArray elements = right.isArray() ? right.toArray()
        : right.isString()                     ? namedSet(scope, right.toString())
                                               : right[u"set"_s].toArray();
    if (elements.isEmpty())
        return Tri::Maybe;
    const QScopedValueRollback inside(m_insideSet, true);
    Tri any = Tri::No;
    for (const QJsonValue &element : elements) {
        const QJsonValue value = element[u"elem"_s].isObject() ? element[u"elem"_s][u"val"_s] : element;
        const Tri hit = (value.isString() || value.isDouble()) ? textEquals(names, value, scope) : Tri::Maybe;
        if (hit == Tri::Yes)
            return Tri::Yes;
        if (hit == Tri::Maybe)
            any = Tri::Maybe;
    }
    return any;
}

QJsonArray NftEvaluation::namedSet(const QString &scope, const QString &reference) const
{
    if (!reference.startsWith(u'@') || m_insideSet)
        return {};
    return m_ruleset.m_sets.value(scope + u' ' + reference.mid(1));
}

std::optional<NftRuleset> NftRuleset::parse(QByteArrayView json, QString *error)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &parseError);
    const QJsonValue items = document.object().value(u"nftables"_s);
    if (!items.isArray()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                  : u"no \"nftables\" list"_s;
        return std::nullopt;
    }
    NftRuleset ruleset;
    for (const QJsonValue &item : items.toArray()) {
        const QJsonObject object = item.toObject();
        if (object.isEmpty())
            continue;
        const QString kind = object.constBegin().key();
        const QJsonObject body = object.constBegin().value().toObject();
        const QString scope = body[u"family"_s].toString() + u' ' + body[u"table"_s].toString();
        if (kind == u"chain") {
            const QString label = scope + u' ' + body[u"name"_s].toString();
            Chain &chain = ruleset.m_chains[label];
            chain.label = label;
            chain.policy = body[u"policy"_s].toString();
            const QString family = body[u"family"_s].toString();
            const QString hook = body[u"hook"_s].toString();
            if ((family == u"ip" || family == u"inet") && body[u"type"_s].toString() == u"filter"
                && (hook == u"input" || hook == u"prerouting"))
                ruleset.m_baseChains.append(label);
        } else if (kind == u"rule") {
            Chain &chain = ruleset.m_chains[scope + u' ' + body[u"chain"_s].toString()];
            chain.rules.append(body[u"expr"_s].toArray());
            chain.handles.append(body[u"handle"_s].toInt());
        } else if (kind == u"set" || kind == u"map") {
            ruleset.m_sets.insert(scope + u' ' + body[u"name"_s].toString(), body[u"elem"_s].toArray());
        }
    }
    return ruleset;
}

FirewallJudgement NftRuleset::judge(Traffic traffic, const QString &interfaceName) const
{
    const Datagram datagram = traffic == Traffic::SearchReply
        ? Datagram{{DevicePort, DevicePort}, EphemeralPorts, interfaceName}
        : Datagram{ServerTransferPorts, {TftpUpload::LocalPort, TftpUpload::LocalPort}, interfaceName};
    FirewallJudgement judgement;
    for (const QString &label : m_baseChains) {
        NftEvaluation evaluation(*this, datagram);
        int outcomes = evaluation.chain(label, 0);
        if (outcomes & Return)
            outcomes = (outcomes & ~Return) | (m_chains[label].policy == u"drop" ? Drop : Accept);
        if (outcomes == Drop) {
            judgement.droppingChains.append(label);
            judgement.reasons.append(evaluation.dropReason.isEmpty() ? u"%1: policy drop"_s.arg(label)
                                                                     : evaluation.dropReason);
        } else if (outcomes & Drop) {
            judgement.uncertainChains.append(label);
            judgement.reasons.append(evaluation.doubt.isEmpty() ? u"%1 may drop them"_s.arg(label) : evaluation.doubt);
        }
    }
    judgement.fate = !judgement.droppingChains.isEmpty() ? FirewallJudgement::Fate::Dropped
        : !judgement.uncertainChains.isEmpty()           ? FirewallJudgement::Fate::Uncertain
                                                         : FirewallJudgement::Fate::Accepted;
    return judgement;
}

} // namespace farlight
