#include "diagnosis/diagnosis.h"

#include "diagnosis/systemprobe.h"
#include "netenv/platform.h"

#include <QThread>
#include <QTimer>

namespace farlight {

using namespace Qt::StringLiterals;

Diagnosis::Diagnosis(Platform &platform, QObject *parent)
    : Diagnosis(platform, CreateSystemProbe(), parent)
{
}

Diagnosis::Diagnosis(Platform &platform, std::unique_ptr<SystemProbe> probe, QObject *parent)
    : QObject(parent)
    , m_platform(platform)
    , m_probe(std::move(probe))
    , m_search(m_state, platform)
{
    connect(&m_search, &SearchSession::datagramJudged, this, &Diagnosis::countDatagram);
    connect(&m_search, &SearchSession::sendFailed, this, &Diagnosis::countFailedSend);
    connect(&m_search, &SearchSession::finished, this, &Diagnosis::searched);
}

Diagnosis::~Diagnosis() = default;

bool Diagnosis::start()
{
    if (m_running)
        return false;
    m_running = true;
    QTimer::singleShot(0, this, &Diagnosis::runChecks);
    return true;
}

void Diagnosis::runChecks()
{
    m_findings.clear();
    m_tally = {};
    // The platform is asked on this object's thread; the checks' thread sees only copies and the probe.
    struct Checks
    {
        QList<Finding> findings;
        std::optional<qint64> dropsBefore;
    };
    auto checks = std::make_shared<Checks>();
    QThread *worker = QThread::create([checks, probe = m_probe, adapterList = m_platform.adapters(),
                                       only = m_adapter, live = m_liveSearch] {
        const AdapterCheck adapters = CheckAdapters(adapterList, only, *probe);
        checks->findings = adapters.findings;
        checks->findings += CheckReversePathFilter(adapters.usable, *probe);
        checks->findings += CheckFirewall(adapters.usable, *probe);
        checks->findings += CheckTftpPort(*probe);
        if (live)
            checks->dropsBefore = ReversePathDrops(*probe);
    });
    // Queued to this object, and not delivered when it is deleted first.
    connect(worker, &QThread::finished, this, [this, checks] { checked(checks->findings, checks->dropsBefore); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void Diagnosis::checked(const QList<Finding> &findings, std::optional<qint64> dropsBefore)
{
    m_findings = findings;
    if (!m_liveSearch)
        return end();

    m_dropsBefore = dropsBefore;
    m_collecting = true;
    emit searching();
    if (!m_search.start())
        searched(SearchSession::Outcome::Stopped);
}

bool Diagnosis::concerns(int adapterIndex) const
{
    if (m_adapter.isEmpty())
        return true;
    return adapterIndex >= 0 && adapterIndex < m_state.adapterCount
        && m_state.adapterTable[std::size_t(adapterIndex)].Name == m_adapter;
}

void Diagnosis::countDatagram(int adapterIndex, DeviceSearch::Verdict verdict)
{
    if (!m_collecting || !concerns(adapterIndex))
        return;
    switch (verdict) {
    case DeviceSearch::Verdict::Accepted:
    case DeviceSearch::Verdict::Duplicate:
    case DeviceSearch::Verdict::TableFull:
        ++m_tally.replies;
        break;
    case DeviceSearch::Verdict::NoRequest:
    case DeviceSearch::Verdict::NotAReply:
    case DeviceSearch::Verdict::OtherSearch:
        ++m_tally.otherReplies;
        break;
    case DeviceSearch::Verdict::TooShort:
    case DeviceSearch::Verdict::BadMagic:
        ++m_tally.foreign;
        break;
    case DeviceSearch::Verdict::NotSearching:
        break;
    }
}

void Diagnosis::countFailedSend(int adapterIndex, const QString &reason)
{
    if (m_collecting && concerns(adapterIndex))
        m_tally.sendErrors.append(u"%1: %2"_s.arg(m_state.adapterTable[std::size_t(adapterIndex)].Name, reason));
}

void Diagnosis::searched(SearchSession::Outcome outcome)
{
    if (!m_collecting)
        return;
    m_collecting = false;
    m_tally.ran = outcome != SearchSession::Outcome::NoAdapters;
    for (int i = 0; i < m_state.adapterCount; ++i) {
        if (m_state.adapterTable[std::size_t(i)].HasAddress && concerns(i))
            ++m_tally.sends;
    }
    m_tally.sends -= int(m_tally.sendErrors.size());
    for (int i = 0; i < m_state.deviceCount; ++i) {
        if (concerns(m_state.deviceTable[std::size_t(i)].AdapterIndex))
            ++m_tally.devices;
    }
    const std::optional<qint64> dropsAfter = ReversePathDrops(*m_probe);
    if (m_dropsBefore && dropsAfter)
        ConfirmReversePathDrops(m_findings, *dropsAfter - *m_dropsBefore);
    m_findings.append(JudgeSearch(m_tally));
    end();
}

void Diagnosis::end()
{
    m_running = false;
    emit finished(m_findings);
}

} // namespace farlight
