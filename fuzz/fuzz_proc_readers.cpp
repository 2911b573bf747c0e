// The diagnosis's readers of /proc and /sys, through a probe that answers from the input: the
// UDP socket tables, the route table, the kernel's counters, rp_filter settings, and processes
// with their names and descriptor links, any of them missing, cut short or garbage. Script:
// entries, each a byte choosing the file (or a process's name or descriptor link, with a byte
// for the process id's text) and a datagram for its content. Checked: every finding is one line
// of printable text; a fix is comments, sysctl commands for the adapters examined, and kill
// commands only for numeric process ids that hold a socket named in a table; the count of
// reverse-path drops is a number the counters file holds.
#include "fuzzinput.h"

#include "../tests/support/scriptedprobe.h"

#include "diagnosis/hostchecks.h"
#include "diagnosis/systemprobe.h"
#include "netenv/platformadapter.h"

#include <QRegularExpression>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const QString Tables[] = {u"/proc/net/udp"_s, u"/proc/net/udp6"_s, u"/proc/net/route"_s, u"/proc/net/netstat"_s,
                          u"/proc/sys/net/ipv4/conf/all/rp_filter"_s, u"/proc/sys/net/ipv4/conf/eth0/rp_filter"_s,
                          u"/proc/sys/net/ipv4/conf/v.lan.5/rp_filter"_s};
// Process ids as a folder of /proc may spell them, most of them no process id at all.
const QString ProcessIds[] = {u"812"_s, u"1"_s, u"0"_s, u"-4"_s, u"12a"_s, u"self"_s, u"99999999999"_s, u"0812"_s};

bool Printable(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            return false;
    }
    return true;
}

void CheckFinding(const Finding &finding, const testsupport::ScriptedProbe &probe)
{
    FUZZ_CHECK(Printable(finding.summary) && !finding.summary.isEmpty());
    for (const QString &line : finding.fix.split(u'\n', Qt::SkipEmptyParts)) {
        FUZZ_CHECK(Printable(line));
        if (line.startsWith(u'#') || line.startsWith(u"sysctl -w net"_s))
            continue;
        static const QRegularExpression kill(u"^kill ([1-9][0-9]*)$"_s);
        const QRegularExpressionMatch match = kill.match(line);
        FUZZ_CHECK(match.hasMatch());
        // Only a process listed under exactly that id that holds a socket.
        bool holdsSocket = false;
        const QString folder = u"/proc/%1/fd/"_s.arg(match.captured(1));
        for (auto it = probe.links.begin(); it != probe.links.end(); ++it)
            holdsSocket = holdsSocket || (it.key().startsWith(folder) && it.value().startsWith(u"socket:["_s));
        FUZZ_CHECK(holdsSocket);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    testsupport::ScriptedProbe probe;
    probe.bindError = u"Address already in use"_s;
    while (!in.atEnd()) {
        const quint8 kind = in.u8();
        const QByteArray content = in.datagram(2048);
        const QString pid = ProcessIds[in.u8() % std::size(ProcessIds)];
        switch (kind % 3) {
        case 0:
            probe.files.insert(Tables[(kind / 3) % std::size(Tables)], content);
            break;
        case 1:
            probe.files.insert(u"/proc/%1/comm"_s.arg(pid), content);
            break;
        default:
            probe.links.insert(u"/proc/%1/fd/%2"_s.arg(pid).arg(kind / 3), QString::fromLatin1(content));
            break;
        }
    }

    CheckFinding(CheckTftpPort(probe), probe);

    QList<PlatformAdapter> adapters(2);
    adapters[0].name = u"eth0"_s;
    adapters[1].name = u"v.lan.5"_s;
    const QList<Finding> findings = CheckReversePathFilter(adapters, probe);
    FUZZ_CHECK(findings.size() == adapters.size());
    for (const Finding &finding : findings)
        CheckFinding(finding, probe);

    if (const std::optional<qint64> drops = ReversePathDrops(probe)) {
        bool held = false;
        for (const QByteArray &token : probe.files.value(u"/proc/net/netstat"_s).simplified().split(' ')) {
            bool ok = false;
            held = held || (token.toLongLong(&ok) == *drops && ok);
        }
        FUZZ_CHECK(held);
    }
    return 0;
}
