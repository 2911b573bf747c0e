// The firewall as `nft -j list ruleset` prints it. nft is trusted to print what the kernel
// holds, but the reader must not trust that: a listing that is not a loadable ruleset (a chain
// that jumps to itself, a set among its own elements, jumps deeper than the kernel allows) must
// still be judged quickly (libFuzzer's -timeout), and the judgement must hold together: its
// fate agrees with the chains it names, and knowing the interface never turns a certain answer
// into the opposite one.
#include "fuzzinput.h"

#include "diagnosis/nftruleset.h"

#include <QSet>

using namespace farlight;
using Fate = FirewallJudgement::Fate;

namespace {

void CheckWhole(const NftRuleset &ruleset, const FirewallJudgement &judgement)
{
    FUZZ_CHECK((judgement.fate == Fate::Dropped) == !judgement.droppingChains.isEmpty());
    FUZZ_CHECK((judgement.fate == Fate::Uncertain)
               == (judgement.droppingChains.isEmpty() && !judgement.uncertainChains.isEmpty()));
    FUZZ_CHECK(judgement.reasons.size() == judgement.droppingChains.size() + judgement.uncertainChains.size());
    const QSet<QString> dropping(judgement.droppingChains.cbegin(), judgement.droppingChains.cend());
    const QSet<QString> uncertain(judgement.uncertainChains.cbegin(), judgement.uncertainChains.cend());
    FUZZ_CHECK(!dropping.intersects(uncertain));
    FUZZ_CHECK(ruleset.filtersInput() || judgement.fate == Fate::Accepted);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto ruleset = NftRuleset::parse(QByteArrayView(data, qsizetype(size)));
    if (!ruleset)
        return 0;
    for (const NftRuleset::Traffic traffic : {NftRuleset::Traffic::SearchReply, NftRuleset::Traffic::TftpReply}) {
        const FirewallJudgement unknown = ruleset->judge(traffic, QString());
        CheckWhole(*ruleset, unknown);
        for (const QString &name : {QStringLiteral("eth0"), QStringLiteral("wlan0"), QStringLiteral("lo")}) {
            const FirewallJudgement known = ruleset->judge(traffic, name);
            CheckWhole(*ruleset, known);
            if (unknown.fate == Fate::Dropped)
                FUZZ_CHECK(known.fate != Fate::Accepted);
            if (unknown.fate == Fate::Accepted)
                FUZZ_CHECK(known.fate != Fate::Dropped);
        }
    }
    return 0;
}
