#include "cli/clirunner.h"

#include "cli/deviceformat.h"
#include "cli/deviceselection.h"
#include "cli/password.h"
#include "diagnosis/diagnosis.h"
#include "diagnosis/report.h"
#include "firmware/firmwareimage.h"
#include "firmware/uploadplan.h"
#include "firmware/uploadtext.h"
#include "ipconfig/inetaddr.h"
#include "ipconfig/staticsettings.h"
#include "macfilter/filtertable.h"
#include "macfilter/macfile.h"
#include "macfilter/maclist.h"
#include "netenv/platform.h"
#include "resources/strings.h"
#include "session/appstate.h"

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

constexpr int ProgressBarWidth = 20;
constexpr int PlainProgressStep = 25;

// On a terminal: how many devices answered the search so far; -1 clears the line.
void ShowSearching(const Console &console, int found)
{
    if (!console.progressOnTerminal)
        return;
    // One line, redrawn in place and cleared when the search is over.
    *console.err << u"\r\x1b[2K"_s;
    if (found >= 0)
        *console.err << (found == 1 ? u"Searching\u2026 1 device"_s : u"Searching\u2026 %1 devices"_s.arg(found));
    console.err->flush();
}

} // namespace

QString ResultSeconds(qint64 ms)
{
    return ms < 0 ? u"-"_s : u"%1 s"_s.arg(double(ms) / 1000.0, 0, 'f', 2);
}

CommandRun::CommandRun(const Command &command, AppState &state, Platform &platform, Console console, QObject *parent)
    : QObject(parent)
    , m_command(command)
    , m_state(state)
    , m_console(std::move(console))
    , m_search(state, platform)
    , m_presence(platform)
{
    connect(&m_search, &SearchSession::inventoryMessage, this, [this](int id) { err() << text(id) << Qt::endl; });
    connect(&m_search, &SearchSession::deviceFound, this, [this] { ShowSearching(m_console, m_state.deviceCount); });
    connect(&m_search, &SearchSession::finished, this, [this] { ShowSearching(m_console, -1); });
    if (m_command.searchMs > 0) {
        const std::chrono::milliseconds step(m_command.searchMs / SearchSession::StepCount);
        m_search.setStepInterval(step);
        m_presence.setTiming(step, PresenceCheck::SettleDelay);
    }
}

void CommandRun::end(int exitCode)
{
    if (std::exchange(m_ended, true))
        return;
    m_search.stop();
    err().flush();
    out().flush();
    // The caller may quit the event loop at once; a set-IP confirmation still goes out first,
    // as it is sent when the reply's handlers return.
    QTimer::singleShot(0, this, [this, exitCode] { emit finished(exitCode); });
}

bool CommandRun::startSearch()
{
    if (!m_search.start())
        return false;
    if (m_search.isActive())
        ShowSearching(m_console, 0);
    return true;
}

bool CommandRun::knownAdapter()
{
    if (m_command.adapter.isEmpty())
        return true;
    QStringList names;
    for (int i = 0; i < m_state.adapterCount; ++i)
        names.append(m_state.adapterTable[std::size_t(i)].Name);
    if (names.contains(m_command.adapter))
        return true;
    err() << u"no adapter named %1 (adapters: %2)"_s.arg(m_command.adapter, names.join(u", "_s)) << Qt::endl;
    return false;
}

void CommandRun::reportTurnedAway()
{
    if (const int away = m_search.devicesTurnedAway(); away > 0)
        err() << u"the list is full at %1 devices: %2 more answered and are left out"_s.arg(AppState::DeviceCapacity)
                     .arg(away)
              << Qt::endl;
}

Runner::Runner(const Command &command, AppState &state, Platform &platform, Console console, QObject *parent)
    : CommandRun(command, state, platform, std::move(console), parent)
    , m_platform(platform)
    , m_batch(platform)
    , m_setIp(state.counters)
    , m_filters(state.counters)
{
    connect(&m_search, &SearchSession::finished, this, &Runner::searched);
    // A command for named devices need not wait for the rest of the network once they have answered;
    // an upload, which goes by address, listens a little longer for other devices at that address.
    if (!m_command.all && !m_command.devices.isEmpty()) {
        QList<DeviceName> names;
        for (const QString &device : std::as_const(m_command.devices))
            names.append(DeviceName(device));
        m_search.setAwaitedNames(names, m_command.adapter, m_command.kind == Command::Kind::Upgrade);
    }
    connect(&m_batch, &UpgradeBatch::progress, this, [this](int target, int percent) {
        showProgress(target, percent, TransferText(percent, m_image.size(), m_batch.attemptElapsedMs(target)));
    });
    connect(&m_batch, &UpgradeBatch::retrying, this, [this](int target, TftpUpload::Outcome outcome, int code) {
        showProgress(target, 0, RetryText(outcome, code));
    });
    connect(&m_batch, &UpgradeBatch::targetFinished, this, [this](int target, const UpgradeBatch::Result &result) {
        Outcome &outcome = m_outcomes[target];
        outcome.ok = result.ok();
        outcome.result = UpgradeResultText(result);
        outcome.ms = result.elapsedMs;
        showProgress(target, std::nullopt, outcome.result);
    });
    connect(&m_batch, &UpgradeBatch::restarting, this, [this](int target) { showProgress(target, 100, RestartingText()); });
    connect(&m_batch, &UpgradeBatch::finished, this, &Runner::summarize);

    connect(&m_setIp, &SetIpBatch::jobStarted, this, [this](int target) {
        m_clocks[target].start();
        err() << (m_command.dhcp ? u"Letting %1 use DHCP"_s : u"Setting the address of %1"_s)
                     .arg(m_outcomes[target].device)
              << Qt::endl;
    });
    connect(&m_setIp, &SetIpBatch::jobFinished, this, [this](int target, SetIpBatch::Outcome outcome) {
        deviceDone(target, SetIpBatch::outcomeText(outcome, m_command.dhcp), outcome == SetIpBatch::Outcome::Ok);
    });
    m_setIp.setPresenceCheck(&m_presence);
    connect(&m_setIp, &SetIpBatch::checking, this, [this](int count) {
        err() << u"Checking that %1 device(s) answer %2"_s.arg(count).arg(m_command.dhcp ? u"again"_s
                                                                                        : u"at %1"_s.arg(m_command.ip))
              << Qt::endl;
    });
    connect(&m_setIp, &SetIpBatch::jobVerified, this, [this](int target, bool answered) {
        Outcome &outcome = m_outcomes[target];
        outcome.ok = answered;
        outcome.result += u"; "_s + PresenceText(answered);
        (answered ? successes() : err()) << outcome.device << u": "_s << PresenceText(answered) << Qt::endl;
    });
    connect(&m_setIp, &SetIpBatch::checked, this, &Runner::summarize);
    connect(&m_filters, &FilterBatch::jobStarted, this, [this](int target) { m_clocks[target].start(); });
    connect(&m_filters, &FilterBatch::jobFinished, this, [this](int target, FilterBatch::Outcome outcome) {
        deviceDone(target, FilterBatch::outcomeText(outcome),
                   outcome == FilterBatch::Outcome::Pass || outcome == FilterBatch::Outcome::Verified);
    });
    connect(&m_filters, &FilterBatch::finished, this, &Runner::summarize);
}

Runner::~Runner() = default;

void Runner::start()
{
    QTimer::singleShot(0, this, [this] {
        if (!prepare())
            return end(ExitCode::Usage);
        if (m_command.kind == Command::Kind::Doctor)
            return doctor();
        if (!startSearch())
            return end(ExitCode::Failure);
    });
}

bool Runner::prepare()
{
    switch (m_command.kind) {
    case Command::Kind::Search:
    case Command::Kind::Doctor:
    case Command::Kind::Apply: // ApplyRunner's
        return true;
    case Command::Kind::SetIp:
        if (!m_command.dhcp) {
            if (const auto refusal = ValidateStaticSettings(m_command.ip, m_command.mask, m_command.gateway,
                                                            GatewayFieldsOf(m_command.gateway), m_state.subnetMaskTable)) {
                err() << *refusal << Qt::endl;
                return false;
            }
            m_address = InetAddr(m_command.ip);
            m_mask = InetAddr(m_command.mask);
            m_gateway = InetAddr(m_command.gateway);
        }
        return takePasswords();
    case Command::Kind::Upgrade: {
        FirmwareFile file = LoadFirmwareImage(m_command.firmware);
        if (!file.ok()) {
            err() << m_command.firmware << u": "_s << text(file.message) << Qt::endl;
            return false;
        }
        m_image = std::move(file.image);
        return true;
    }
    case Command::Kind::FilterGet:
        return takePasswords();
    case Command::Kind::FilterSet: {
        const MacListContents contents = MacList::read(m_command.macFile);
        if (!contents.ok()) {
            err() << m_command.macFile << u": "_s << (contents.reason.isEmpty() ? text(contents.message) : contents.detail())
                  << Qt::endl;
            return false;
        }
        m_filterList = contents.addresses();
        return takePasswords();
    }
    }
    return false;
}

bool Runner::takePasswords()
{
    const std::optional<QString> refusal = m_passwords.prepare(
        m_command.credentials, {m_command.passwordFile, m_console.passwordVariable, m_console.passwordPrompt});
    if (refusal)
        err() << *refusal << Qt::endl;
    return !refusal;
}

void Runner::searched(SearchSession::Outcome outcome)
{
    if (outcome != SearchSession::Outcome::Completed)
        return end(ExitCode::Failure);
    if (!knownAdapter())
        return end(ExitCode::Usage);
    reportTurnedAway();
    if (m_command.kind == Command::Kind::Search) {
        const DeviceSelection found = SelectDevices(m_state, {}, true, m_command.adapter);
        out() << FormatDevices(m_state, found.indexes, m_command.format, m_console.resultsOnTerminal);
        out().flush();
        err() << u"%1 device(s) found"_s.arg(found.indexes.size()) << Qt::endl;
        return end(ExitCode::Success);
    }

    const DeviceSelection selection = SelectDevices(m_state, m_command.devices, m_command.all, m_command.adapter);
    for (qsizetype i = 0; i < selection.errors.size(); ++i) {
        err() << selection.errors[i] << Qt::endl;
        m_unresolved.append({selection.rejected[i], u"not found"_s, false, -1});
    }
    if (selection.indexes.isEmpty())
        return m_command.format == OutputFormat::Json ? summarize() : end(ExitCode::Failure);
    m_targets = selection.indexes;
    if (m_command.kind == Command::Kind::Upgrade)
        return upgrade(PlanUploads(m_state, m_targets, m_command.force));
    QList<DeviceTarget> devices;
    for (int index : std::as_const(m_targets)) {
        if (const std::optional<DeviceTarget> device = m_state.target(index))
            devices.append(*device);
    }
    if (const std::optional<QString> refusal = m_passwords.ready(devices)) {
        err() << *refusal << Qt::endl;
        return end(ExitCode::Usage);
    }
    switch (m_command.kind) {
    case Command::Kind::Search:
    case Command::Kind::Doctor:
    case Command::Kind::Apply:
    case Command::Kind::Upgrade:
        break;
    case Command::Kind::FilterGet:
        return filterGet(m_targets.first());
    case Command::Kind::SetIp:
    case Command::Kind::FilterSet:
        return startDevices();
    }
}

void Runner::startDevices()
{
    QList<SetIpBatch::Job> addressJobs;
    QList<FilterBatch::Job> filterJobs;
    for (int index : std::as_const(m_targets)) {
        m_outcomes.append({DeviceLabel(m_state, index), {}, false, -1, index});
        m_clocks.append(QElapsedTimer());
        // A device whose adapter is gone has nowhere to send from: its request is "not sent".
        const DeviceTarget device = m_state.target(index).value_or(DeviceTarget());
        addressJobs.append({device, m_passwords.of(device), {m_command.dhcp, m_address, m_mask, m_gateway}});
        filterJobs.append({device, m_passwords.of(device)});
    }
    m_setIp.setJobs(m_command.jobs);
    m_filters.setJobs(m_command.jobs);
    if (m_command.kind == Command::Kind::SetIp)
        m_setIp.start(addressJobs);
    else
        m_filters.start(filterJobs, m_filterList, m_command.verify);
}

void Runner::deviceDone(int target, const QString &result, bool ok)
{
    Outcome &outcome = m_outcomes[target];
    outcome.result = result;
    outcome.ok = ok;
    outcome.ms = m_clocks[target].elapsed();
    // A set-IP success is the command's result; everything else is a message.
    (ok && m_command.kind == Command::Kind::SetIp ? successes() : err())
        << outcome.device << u": "_s << result << Qt::endl;
}

void Runner::upgrade(const UploadPlan &plan)
{
    for (const UploadPlan::Refusal &refusal : plan.refused) {
        const QString label = DeviceLabel(m_state, refusal.index);
        err() << label << u": "_s << SharedAddressText(refusal.shared, u"an upload"_s)
              << u" Give each its own address with set-ip first, or use --force."_s << Qt::endl;
        m_unresolved.append({label, SharedAddressRefusal(refusal.shared), false, -1, refusal.index});
    }
    for (int index : plan.unreachable)
        m_unresolved.append({DeviceLabel(m_state, index), UploadOutcomeText(TftpUpload::Outcome::SendFailed, -1), false, -1, index});
    if (plan.targets.isEmpty())
        return summarize();
    // The batch numbers its targets by their place in plan.targets; the outcomes and the progress
    // lines are kept in that order, so one index serves all three.
    for (int index : plan.indexes) {
        m_outcomes.append({DeviceLabel(m_state, index), {}, false, -1, index});
        m_progress.append(Progress());
    }
    const int count = int(plan.targets.size());
    err() << u"Uploading %1 (%2 bytes) to %3 device(s), %4 at a time"_s.arg(
        m_command.firmware, QString::number(m_image.size()), QString::number(count),
        QString::number(qMin(m_command.jobs, count))) << Qt::endl;
    m_batch.setJobs(m_command.jobs);
    m_batch.setRetries(m_command.retries);
    m_batch.setWaitForRestart(m_command.wait);
    m_batch.restartWatch().setTimeout(std::chrono::seconds(m_command.waitTimeoutS));
    if (!m_batch.start(plan.targets, m_image)) {
        err() << u"cannot open UDP port %1: %2"_s.arg(TftpUpload::LocalPort).arg(m_batch.errorString()) << Qt::endl;
        return end(ExitCode::Failure);
    }
    if (m_console.progressOnTerminal) {
        for (int i = 0; i < count; ++i)
            showProgress(i, std::nullopt, QueuedText());
    }
}

void Runner::showProgress(int target, std::optional<int> percent, const QString &state)
{
    Progress &line = m_progress[target];
    if (percent)
        line.percent = *percent;
    line.state = state;
    const QString &label = m_outcomes[target].device;
    if (!m_console.progressOnTerminal) {
        // Plain lines for logs: each quarter, and whatever else happens.
        if (!percent || *percent % PlainProgressStep == 0)
            err() << label << u": "_s << state << Qt::endl;
        return;
    }
    // One line per device, redrawn in place: back to the first line, then every line anew.
    if (std::exchange(m_progressShown, true))
        err() << u"\x1b[%1F"_s.arg(m_progress.size());
    qsizetype width = 0;
    for (const Outcome &outcome : std::as_const(m_outcomes))
        width = qMax(width, outcome.device.size());
    for (qsizetype i = 0; i < m_progress.size(); ++i) {
        const int filled = m_progress[i].percent * ProgressBarWidth / 100;
        err() << u"\x1b[2K"_s << m_outcomes[i].device.leftJustified(width) << u"  ["_s << QString(filled, u'#')
              << QString(ProgressBarWidth - filled, u'-') << u"] "_s << m_progress[i].state << u'\n';
    }
    err().flush();
}

void Runner::filterGet(int index)
{
    const QString label = DeviceLabel(m_state, index);
    const std::optional<DeviceTarget> device = m_state.target(index);
    if (!device) {
        err() << text(StringId::IpAddressNotSet) << Qt::endl;
        return end(ExitCode::Failure);
    }
    err() << u"Reading the MAC filter list of %1"_s.arg(label) << Qt::endl;
    m_filters.read({*device, m_passwords.of(*device)},
                   [this, label](FilterBatch::Outcome outcome, const QList<MacAddress> &addresses) {
                       if (outcome != FilterBatch::Outcome::Pass) {
                           err() << label << u": "_s << FilterBatch::outcomeText(outcome) << Qt::endl;
                           return end(ExitCode::Failure);
                       }
                       FilterTable table;
                       table.loadAddresses(addresses);
                       if (m_command.macFile.isEmpty()) {
                           for (const MacAddress &mac : table.macs())
                               out() << FormatMac(mac) << u'\n';
                           out().flush();
                       } else if (const int message = MacFile::write(m_command.macFile, table.entries())) {
                           err() << m_command.macFile << u": "_s << text(message) << Qt::endl;
                           return end(ExitCode::Failure);
                       }
                       err() << u"%1: %2 address(es)"_s.arg(label).arg(table.count()) << Qt::endl;
                       end(ExitCode::Success);
                   });
}

void Runner::doctor()
{
    m_diagnosis = new Diagnosis(m_platform, this);
    m_diagnosis->setAdapter(m_command.adapter);
    // A slow network may need a longer look; a lab, whose devices answer at once, a shorter one.
    const std::chrono::milliseconds step = m_command.searchMs > 0
        ? std::chrono::milliseconds(m_command.searchMs / SearchSession::StepCount)
        : SearchSession::StepInterval;
    m_diagnosis->setSearchStepInterval(step);
    connect(m_diagnosis, &Diagnosis::searching, this, [this, step] {
        err() << u"Searching, %1 s..."_s.arg(double(SearchSession::StepCount * step.count()) / 1000.0) << Qt::endl;
    });
    connect(m_diagnosis, &Diagnosis::finished, this, [this](const QList<Finding> &findings) {
        if (m_command.format == OutputFormat::Json)
            out() << QString::fromUtf8(FormatReportJson(findings));
        else
            out() << FormatReport(findings);
        end(HasProblem(findings) ? ExitCode::Failure : ExitCode::Success);
    });
    m_diagnosis->start();
}

void Runner::summarize()
{
    QList<QStringList> rows{{u"DEVICE"_s, u"RESULT"_s, u"TIME"_s}};
    QList<ResultRow> results;
    bool allOk = true;
    for (const Outcome &outcome : m_outcomes + m_unresolved) {
        rows.append({outcome.device, outcome.result, ResultSeconds(outcome.ms)});
        const DeviceRecord *device = m_state.device(outcome.index);
        results.append({outcome.device, device ? FormatMac(device->Mac) : QString(),
                        device ? device->IpAddress : QString(),
                        outcome.ok ? u"ok"_s : device ? u"failed"_s : u"not found"_s, outcome.result, outcome.ms});
        allOk = allOk && outcome.ok;
    }
    if (m_command.format == OutputFormat::Json)
        out() << FormatResultsJson(results);
    // One device's new address needs no table: its line said it.
    else if (m_command.kind != Command::Kind::SetIp || rows.size() > 2)
        out() << AlignedTable(rows);
    out().flush();
    end(allOk ? ExitCode::Success : ExitCode::Failure);
}

} // namespace farlight::cli
