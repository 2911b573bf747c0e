#include "diagnosis/hostchecks.h"

#include "diagnosis/nftruleset.h"
#include "diagnosis/systemprobe.h"
#include "firmware/tftpupload.h"
#include "netenv/routetable.h"
#include "protocol/packetheader.h"
#include "session/devicelistmodel.h"

#include <QSet>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

using Verdict = Finding::Verdict;

// Columns of /proc/net/udp.
constexpr int UdpColumnLocal = 1;
constexpr int UdpColumnUid = 7;
constexpr int UdpColumnInode = 9;
constexpr int ReversePathOff = 0;
constexpr int ReversePathStrict = 1;

const QString KeepRuleNote = u"# nft rules last until the next restart: add the rule to /etc/nftables.conf to keep it"_s;

// Interface and process names reach root's terminal and the fix lines root may paste: every
// finding is made printable here, the fix line by line.
Finding Make(QLatin1StringView check, const QString &adapter, Verdict verdict, const QString &summary,
             const QString &meaning = {}, const QString &fix = {})
{
    QStringList fixLines = fix.split(u'\n');
    for (QString &line : fixLines)
        line = Printable(line);
    return {check, Printable(adapter), verdict, Printable(summary), Printable(meaning), fix.isEmpty() ? QString() : fixLines.join(u'\n')};
}

// A process that holds a port: its name is whatever the process chose, its id is the kernel's.
struct PortHolder
{
    QString name;
    int pid = 0;
};

std::optional<int> NumberFile(SystemProbe &probe, const QString &path)
{
    const auto content = probe.readFile(path);
    bool ok = false;
    const int value = content ? content->trimmed().toInt(&ok) : 0;
    return ok ? std::optional<int>(value) : std::nullopt;
}

// sysctl reads dots as separators, so an interface name with a dot (a VLAN) needs the slash form.
QString SysctlKey(const QString &interfaceName)
{
    if (interfaceName.contains(u'.'))
        return u"net/ipv4/conf/%1/rp_filter"_s.arg(interfaceName);
    return u"net.ipv4.conf.%1.rp_filter"_s.arg(interfaceName);
}

// Each process with a socket on @p port, as far as /proc tells.
QList<PortHolder> PortHolders(SystemProbe &probe, quint16 port, QStringList &userIds)
{
    QSet<QString> sockets;
    for (const QString &table : {u"/proc/net/udp"_s, u"/proc/net/udp6"_s}) {
        const QList<QByteArray> lines = probe.readFile(table).value_or(QByteArray()).split('\n');
        for (const QByteArray &line : lines.mid(1)) {
            const QList<QByteArray> columns = line.simplified().split(' ');
            if (columns.size() <= UdpColumnInode)
                continue;
            bool ok = false;
            const QByteArray &local = columns[UdpColumnLocal];
            if (local.mid(local.lastIndexOf(':') + 1).toUInt(&ok, 16) != port || !ok)
                continue;
            sockets.insert(u"socket:[%1]"_s.arg(QString::fromLatin1(columns[UdpColumnInode])));
            if (!userIds.contains(QString::fromLatin1(columns[UdpColumnUid])))
                userIds.append(QString::fromLatin1(columns[UdpColumnUid]));
        }
    }
    QList<PortHolder> holders;
    if (sockets.isEmpty())
        return holders;
    for (const QString &pid : probe.listFolder(u"/proc"_s)) {
        bool numeric = false;
        const int id = pid.toInt(&numeric);
        // Only the kernel's own spelling: "0812" or "+812" would name process 812 in the kill line.
        if (!numeric || id <= 0 || QString::number(id) != pid)
            continue;
        const QString fdFolder = u"/proc/%1/fd"_s.arg(pid);
        for (const QString &fd : probe.listFolder(fdFolder)) {
            if (sockets.contains(probe.linkTarget(fdFolder + u'/' + fd))) {
                const QString name = QString::fromLocal8Bit(probe.readFile(u"/proc/%1/comm"_s.arg(pid)).value_or("?").trimmed());
                holders.append({Printable(name), id});
                break;
            }
        }
    }
    return holders;
}

Finding JudgeTraffic(const NftRuleset &ruleset, NftRuleset::Traffic traffic, const QList<PlatformAdapter> &adapters)
{
    QStringList names;
    for (const PlatformAdapter &adapter : adapters)
        names.append(adapter.name);
    if (names.isEmpty())
        names.append(QString());
    QStringList dropping, uncertain, chains, reasons;
    for (const QString &name : std::as_const(names)) {
        const FirewallJudgement judgement = ruleset.judge(traffic, name);
        if (judgement.fate == FirewallJudgement::Fate::Dropped)
            dropping.append(name);
        else if (judgement.fate == FirewallJudgement::Fate::Uncertain)
            uncertain.append(name);
        chains += judgement.droppingChains + judgement.uncertainChains;
        reasons.append(judgement.reasons);
    }
    chains.removeDuplicates();
    reasons.removeDuplicates();

    const bool search = traffic == NftRuleset::Traffic::SearchReply;
    const QLatin1StringView check = search ? CheckName::FirewallSearch : CheckName::FirewallTftp;
    const QString what = search ? u"the devices' answers to a search"_s
                                : u"the TFTP answers to port %1 that firmware uploads wait for"_s.arg(TftpUpload::LocalPort);
    if (dropping.isEmpty() && uncertain.isEmpty())
        return Make(check, {}, Verdict::Ok, u"The firewall lets %1 through"_s.arg(search ? what : u"TFTP answers"_s));

    const QString match = search ? u"udp sport %1"_s.arg(DevicePort) : u"udp dport %1"_s.arg(TftpUpload::LocalPort);
    QStringList fix;
    for (const QString &chain : std::as_const(chains))
        fix.append(u"nft insert rule %1 %2 accept"_s.arg(chain, match));
    fix.append(KeepRuleNote);
    fix.append(u"# where ufw manages the firewall, instead:"_s);
    fix.append(search ? u"ufw allow proto udp from any port %1 to any"_s.arg(DevicePort)
                      : u"ufw allow proto udp from any to any port %1"_s.arg(TftpUpload::LocalPort));
    const QStringList &affected = dropping.isEmpty() ? uncertain : dropping;
    const QString where = (affected.size() < names.size() && !affected.first().isEmpty())
        ? u" on %1"_s.arg(affected.join(u", "_s)) : QString();
    const QString why = search
        ? u"Devices answer a search from UDP port %1. A stateful firewall cannot tie these answers to the search, "
          "which went to the broadcast address %2, so they count as new connections; an input chain that takes "
          "only known connections drops every one of them, and each search comes back empty."_s
              .arg(DevicePort).arg(QLatin1StringView(BroadcastAddress))
        : u"Devices acknowledge a firmware upload from a new UDP port of their own, as TFTP servers do; a stateful "
          "firewall sees a new connection to port %1, and an input chain that takes only known connections drops "
          "it, so uploads time out."_s.arg(TftpUpload::LocalPort);
    if (!dropping.isEmpty())
        return Make(check, {}, Verdict::Problem, u"The firewall drops %1%2 (%3)"_s.arg(what, where, reasons.join(u"; "_s)),
                    why, fix.join(u'\n'));
    return Make(check, {}, Verdict::Warning, u"The firewall may drop %1%2"_s.arg(what, where),
                why + u" Whether it does depends on a condition this check cannot judge: %1."_s.arg(reasons.join(u"; "_s)),
                fix.join(u'\n'));
}

} // namespace

AdapterCheck CheckAdapters(const std::optional<QList<PlatformAdapter>> &adapters, const QString &only,
                           SystemProbe &probe)
{
    AdapterCheck result;
    if (!adapters) {
        result.findings.append(Make(CheckName::Adapters, {}, Verdict::Problem, u"The system did not list its network adapters"_s,
                                    u"Without the adapter list no search can be sent."_s));
        return result;
    }
    QStringList names, usable;
    for (const PlatformAdapter &adapter : *adapters) {
        names.append(adapter.name);
        if (!only.isEmpty() && adapter.name != only)
            continue;
        const QString state = QString::fromLatin1(probe.readFile(u"/sys/class/net/%1/operstate"_s.arg(adapter.name))
                                                      .value_or("unknown").trimmed());
        const bool down = state == u"down" || state == u"lowerlayerdown" || state == u"notpresent";
        if (down) {
            result.findings.append(Make(CheckName::Adapters, adapter.name, Verdict::Warning,
                                        u"%1 is down (no link)"_s.arg(adapter.name),
                                        u"No search reaches devices behind this adapter until it has a link."_s));
        } else if (adapter.ipAddress.isEmpty() || adapter.ipAddress == NoAddress) {
            result.findings.append(Make(CheckName::Adapters, adapter.name, Verdict::Warning,
                                        u"%1 has no IPv4 address"_s.arg(adapter.name),
                                        u"A search goes out only through adapters with an IPv4 address."_s));
        } else {
            result.usable.append(adapter);
            usable.append(u"%1 (%2/%3)"_s.arg(adapter.name, adapter.ipAddress, adapter.subnetMask));
        }
    }
    if (!only.isEmpty() && !names.contains(only)) {
        result.findings.append(Make(CheckName::Adapters, only, Verdict::Problem, u"There is no adapter named %1"_s.arg(only),
                                    u"The adapters are: %1."_s.arg(names.isEmpty() ? u"none"_s : names.join(u", "_s))));
    } else if (usable.isEmpty()) {
        result.findings.append(Make(CheckName::Adapters, only, Verdict::Problem,
                                    names.isEmpty() ? u"This computer has no network adapter besides loopback"_s
                                                    : u"No network adapter is up with an IPv4 address"_s,
                                    u"A search goes out only through adapters that are up and have an IPv4 address."_s));
    } else {
        result.findings.append(Make(CheckName::Adapters, only, Verdict::Ok, u"Searching through %1"_s.arg(usable.join(u", "_s))));
    }
    return result;
}

QList<Finding> CheckReversePathFilter(const QList<PlatformAdapter> &adapters, SystemProbe &probe)
{
    QList<Finding> findings;
    const auto all = NumberFile(probe, u"/proc/sys/net/ipv4/conf/all/rp_filter"_s);
    const bool defaultRoute =
        !DefaultGatewaysFromRouteTable(probe.readFile(u"/proc/net/route"_s).value_or(QByteArray())).isEmpty();
    for (const PlatformAdapter &adapter : adapters) {
        const auto own = NumberFile(probe, u"/proc/sys/net/ipv4/conf/%1/rp_filter"_s.arg(adapter.name));
        if (!all || !own) {
            findings.append(Make(CheckName::ReversePath, adapter.name, Verdict::NotRun,
                                 u"The reverse-path filter setting of %1 could not be read"_s.arg(adapter.name)));
            continue;
        }
        const int effective = std::max(*all, *own);
        if (effective == ReversePathOff || (effective != ReversePathStrict && defaultRoute)) {
            findings.append(Make(CheckName::ReversePath, adapter.name, Verdict::Ok,
                                 effective == ReversePathOff
                                     ? u"Reverse-path filtering is off on %1"_s.arg(adapter.name)
                                     : u"Reverse-path filtering on %1 is loose and a default route leads back"_s.arg(adapter.name)));
            continue;
        }
        QStringList fix;
        if (*all != ReversePathOff)
            fix.append(u"sysctl -w net.ipv4.conf.all.rp_filter=0"_s);
        if (*own != ReversePathOff)
            fix.append(u"sysctl -w %1=0"_s.arg(SysctlKey(adapter.name)));
        fix.append(u"# to keep it after a restart, put the same settings, without 'sysctl -w', in "
                   "/etc/sysctl.d/90-farlight.conf"_s);
        const QString meaning = effective == ReversePathStrict
            ? u"The kernel drops a datagram when the route back to its sender does not leave through %1. A device on "
              "another subnet answers a search by broadcast from an address no route of %1 leads to, so its answer "
              "is dropped before any program sees it: that device is missing while the others appear."_s.arg(adapter.name)
            : u"The kernel drops a datagram when no route leads back to its sender. This computer has no default "
              "route, so the broadcast answers of devices on other subnets are dropped before any program sees them."_s;
        findings.append(Make(CheckName::ReversePath, adapter.name, Verdict::Warning,
                             u"Reverse-path filtering on %1 is %2 (rp_filter %3): answers from devices on other "
                             "subnets are dropped"_s.arg(adapter.name, effective == ReversePathStrict ? u"strict"_s : u"loose"_s)
                                 .arg(effective),
                             meaning, fix.join(u'\n')));
    }
    return findings;
}

std::optional<qint64> ReversePathDrops(SystemProbe &probe)
{
    const QList<QByteArray> lines = probe.readFile(u"/proc/net/netstat"_s).value_or(QByteArray()).split('\n');
    // Names and values come in pairs of lines with the same prefix.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> names = lines[i].simplified().split(' ');
        const QList<QByteArray> values = lines[i + 1].simplified().split(' ');
        const qsizetype column = names.indexOf("IPReversePathFilter");
        if (column > 0 && column < values.size() && values.first() == names.first()) {
            bool ok = false;
            const qint64 value = values[column].toLongLong(&ok);
            return ok ? std::optional<qint64>(value) : std::nullopt;
        }
    }
    return std::nullopt;
}

void ConfirmReversePathDrops(QList<Finding> &findings, qint64 drops)
{
    if (drops <= 0)
        return;
    for (Finding &finding : findings) {
        if (finding.check == CheckName::ReversePath && finding.verdict == Verdict::Warning) {
            finding.verdict = Verdict::Problem;
            finding.meaning += u" During the search the kernel dropped %1 datagram(s) for this reason."_s.arg(drops);
        }
    }
}

QList<Finding> CheckFirewall(const QList<PlatformAdapter> &adapters, SystemProbe &probe)
{
    const SystemProbe::CommandResult listed = probe.run(u"nft"_s, {u"-j"_s, u"list"_s, u"ruleset"_s});
    if (!listed.started)
        return {Make(CheckName::Firewall, {}, Verdict::NotRun, u"nft (nftables) is not installed: the firewall was not examined"_s)};
    if (listed.exitCode != 0) {
        const QString message = QString::fromLocal8Bit(listed.errorOutput).trimmed().section(u'\n', 0, 0);
        if (message.contains(u"Operation not permitted") || message.contains(u"Permission denied"))
            return {Make(CheckName::Firewall, {}, Verdict::NotRun,
                         u"The firewall rules could not be read without privileges"_s,
                         u"Run 'sudo farlight-cli doctor' to include them."_s)};
        return {Make(CheckName::Firewall, {}, Verdict::NotRun, u"nft could not list the firewall rules: %1"_s.arg(message))};
    }
    QString error;
    const std::optional<NftRuleset> ruleset = NftRuleset::parse(listed.output, &error);
    if (!ruleset)
        return {Make(CheckName::Firewall, {}, Verdict::NotRun, u"The output of nft could not be read: %1"_s.arg(error))};
    if (!ruleset->filtersInput())
        return {Make(CheckName::Firewall, {}, Verdict::Ok, u"No nftables chain filters incoming IPv4 datagrams"_s,
                     u"Rules loaded with iptables-legacy, if any, are not visible to this check."_s)};
    return {JudgeTraffic(*ruleset, NftRuleset::Traffic::SearchReply, adapters),
            JudgeTraffic(*ruleset, NftRuleset::Traffic::TftpReply, adapters)};
}

Finding CheckTftpPort(SystemProbe &probe)
{
    const quint16 port = TftpUpload::LocalPort;
    const std::optional<QString> error = probe.udpBindError(port);
    if (!error)
        return Make(CheckName::TftpPort, {}, Verdict::Ok, u"UDP port %1 is free for firmware uploads"_s.arg(port));
    QStringList userIds;
    const QList<PortHolder> holders = PortHolders(probe, port, userIds);
    QStringList named;
    for (const PortHolder &entry : holders)
        named.append(u"%1 (process %2)"_s.arg(entry.name, QString::number(entry.pid)));
    QString holder = named.join(u", "_s);
    if (holder.isEmpty()) {
        holder = userIds.isEmpty() ? u"another program"_s
                                   : u"a program of user id %1 (which one, only root can tell)"_s.arg(userIds.join(u", "_s));
    }
    QStringList fix{u"# end the program that holds the port, or have it let go of the port"_s};
    for (const PortHolder &entry : holders)
        fix.append(u"kill %1"_s.arg(entry.pid));
    return Make(CheckName::TftpPort, {}, Verdict::Problem,
                u"UDP port %1 is held by %2: firmware uploads cannot start"_s.arg(port).arg(holder),
                u"Firmware uploads send from UDP port %1, and a port serves one program at a time (%2). Searching and "
                "the other commands are not affected."_s.arg(port).arg(*error),
                fix.join(u'\n'));
}

Finding JudgeSearch(const SearchTally &tally)
{
    if (!tally.ran)
        return Make(CheckName::Search, {}, Verdict::NotRun, u"No search was sent: there is no adapter to send it from"_s);
    QString counts = u"%1 valid repl%2, %3 for another adapter or search, %4 datagram(s) that were no reply, %5 of "
                     "%6 request(s) failed"_s.arg(tally.replies)
                         .arg(tally.replies == 1 ? u"y"_s : u"ies"_s)
                         .arg(tally.otherReplies)
                         .arg(tally.foreign)
                         .arg(tally.sendErrors.size())
                         .arg(tally.sends + tally.sendErrors.size());
    if (!tally.sendErrors.isEmpty())
        return Make(CheckName::Search, {}, Verdict::Problem, u"Search requests could not be sent: %1"_s.arg(tally.sendErrors.join(u"; "_s)),
                    counts + u"."_s);
    if (tally.devices > 0)
        return Make(CheckName::Search, {}, Verdict::Ok, u"%1 device(s) answered the search"_s.arg(tally.devices), counts + u"."_s);
    QString meaning = counts + u". Either no device is connected to these adapters' networks, or their answers are "
                               "stopped before Farlight sees them; the other findings name what stops them."_s;
    if (tally.foreign > 0)
        meaning += u" Datagrams of another protocol did arrive: some other kind of device or program answers on port %1."_s
                       .arg(DevicePort);
    return Make(CheckName::Search, {}, Verdict::Warning, u"No device answered the search"_s, meaning);
}

} // namespace farlight
