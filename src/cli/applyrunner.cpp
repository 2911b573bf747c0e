#include "cli/applyrunner.h"

#include "cli/deviceformat.h"
#include "cli/deviceselection.h"
#include "ipconfig/inetaddr.h"
#include "resources/strings.h"
#include "session/appstate.h"

#include <QTimer>

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

QString Count(qsizetype n, const QString &one, const QString &many)
{
    return u"%1 %2"_s.arg(n).arg(n == 1 ? one : many);
}

} // namespace

ApplyRunner::ApplyRunner(const Command &command, AppState &state, Platform &platform, Console console, QObject *parent)
    : CommandRun(command, state, platform, std::move(console), parent)
    , m_applied(ApplyState::DefaultPath())
    , m_addresses(state.counters)
    , m_filters(state.counters)
{
    connect(&m_search, &SearchSession::finished, this, &ApplyRunner::searched);
    connect(&m_presence, &PresenceCheck::finished, this, [this](const QList<bool> &answered) {
        qsizetype k = 0;
        for (Row &row : m_rows) {
            if (row.result != Result::Pending)
                continue;
            if (answered.value(k++)) {
                row.result = Result::Changed;
            } else {
                row.result = Result::NotVerified;
                row.reason = row.plan.address == PlanRow::Address::Static ? u"not seen at %1"_s.arg(row.plan.ip)
                                                                          : u"not seen again"_s;
            }
        }
        summarize();
    });
}

ApplyRunner::~ApplyRunner() = default;

void ApplyRunner::start()
{
    QTimer::singleShot(0, this, [this] {
        if (!prepare())
            return end(ExitCode::Usage);
        // The search ends once every device of the plan has answered.
        QList<DeviceName> names;
        for (const Row &row : std::as_const(m_rows))
            names.append(DeviceName(FormatMac(row.plan.mac)));
        m_search.setAwaitedNames(names, m_command.adapter);
        if (!startSearch())
            return end(ExitCode::Failure);
    });
}

bool ApplyRunner::prepare()
{
    const Plan plan = ReadPlan(m_command.plan);
    for (const QString &error : plan.errors)
        err() << error << Qt::endl;
    if (!plan.ok())
        return false;
    // Asked now rather than after a search: a script that forgot --yes learns it at once.
    if (!m_command.dryRun && !m_command.yes && !m_console.confirm) {
        err() << u"apply asks before it changes anything, and there is no terminal to ask on: give --yes to apply "
                 "without asking, or --dry-run to see the plan"_s
              << Qt::endl;
        return false;
    }
    if (const std::optional<QString> warning = m_applied.load())
        err() << *warning << Qt::endl;
    for (const PlanRow &planRow : plan.rows) {
        Row row;
        row.plan = planRow;
        m_rows.append(row);
    }

    const std::optional<QString> refusal = m_passwords.prepare(
        m_command.credentials, {m_command.passwordFile, m_console.passwordVariable, m_console.passwordPrompt});
    if (refusal)
        err() << *refusal << Qt::endl;
    return !refusal;
}

void ApplyRunner::searched(SearchSession::Outcome outcome)
{
    if (outcome != SearchSession::Outcome::Completed)
        return end(ExitCode::Failure);
    if (!knownAdapter())
        return end(ExitCode::Usage);
    reportTurnedAway();
    for (Row &row : m_rows) {
        // With --adapter, a device seen only through another adapter is not the plan's to change.
        for (int i = 0; i < m_state.deviceCount; ++i) {
            if (MacEqual(m_state.deviceTable[std::size_t(i)].Mac, row.plan.mac) && OnAdapter(m_state, i, m_command.adapter))
                row.device = i;
        }
        row.target = m_state.target(row.device);
        if (!row.target) {
            row.result = Result::NotFound;
            continue;
        }
        row.now.address = row.target->address;
        row.now.applied = m_applied.address(row.plan.mac);
    }
    QList<DeviceTarget> devices;
    for (const Row &row : std::as_const(m_rows)) {
        if (row.target)
            devices.append(*row.target);
    }
    if (const std::optional<QString> refusal = m_passwords.ready(devices)) {
        err() << *refusal << Qt::endl;
        return end(ExitCode::Usage);
    }
    readLists();
}

void ApplyRunner::readLists()
{
    QList<int> reading;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].target && m_rows[i].plan.filter)
            reading.append(int(i));
    }
    if (!reading.isEmpty())
        err() << u"Reading the MAC filter lists of %1"_s.arg(Count(reading.size(), u"device"_s, u"devices"_s))
              << Qt::endl;
    runJobs(
        reading,
        [this](int i) {
            m_filters.read({*m_rows[i].target, m_passwords.of(*m_rows[i].target)},
                           [this, i](FilterBatch::Outcome outcome, const QList<MacAddress> &list) {
                               if (outcome == FilterBatch::Outcome::Pass)
                                   m_rows[i].now.filter = list;
                               else
                                   m_rows[i].now.filterError = FilterBatch::outcomeText(outcome);
                               m_queue.jobDone();
                           });
        },
        [this] { showPlan(); });
}

QString ApplyRunner::label(int i) const
{
    const Row &row = m_rows[i];
    return row.device < 0 ? FormatMac(row.plan.mac)
                          : u"%1 (%2)"_s.arg(Printable(m_state.deviceTable[std::size_t(row.device)].HostName),
                                             FormatMac(row.plan.mac));
}

void ApplyRunner::showPlan()
{
    QList<QStringList> table{{u"MAC"_s, u"DEVICE"_s, u"ADDRESS"_s, u"FILTER"_s}};
    int changes = 0, devices = 0, unchanged = 0, notFound = 0, unread = 0;
    QList<int> changing;
    QList<ResultRow> planned; // for a script's dry run

    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        Row &row = m_rows[i];
        const QString mac = FormatMac(row.plan.mac);
        if (row.result == Result::NotFound) {
            table.append({mac, u"not found"_s, u"-"_s, u"-"_s});
            planned.append({label(int(i)), mac, {}, u"not found"_s, {}, -1});
            ++notFound;
            continue;
        }
        row.change = Compare(row.plan, row.now);
        QStringList what;
        if (row.plan.address != PlanRow::Address::Keep)
            what.append(u"address "_s + row.change.addressText);
        if (row.plan.filter)
            what.append(u"filter "_s + row.change.filterText);
        planned.append({label(int(i)), mac, row.now.address, row.change.count() ? u"would change"_s : u"unchanged"_s,
                        what.join(u"; "_s), -1});
        table.append({mac, m_state.deviceTable[std::size_t(row.device)].HostName, row.change.addressText,
                      row.change.filterText});
        unread += row.plan.filter && !row.now.filter ? 1 : 0;
        if (row.change.count() == 0) {
            row.result = Result::Unchanged;
            ++unchanged;
            continue;
        }
        changes += row.change.count();
        ++devices;
        changing.append(int(i));
    }
    planStream() << AlignedTable(table);
    QStringList summary;
    if (changes > 0)
        summary.append(u"%1 to %2"_s.arg(Count(changes, u"change"_s, u"changes"_s), Count(devices, u"device"_s, u"devices"_s)));
    else
        summary.append(u"nothing to change"_s);
    if (unchanged > 0)
        summary.append(u"%1 unchanged"_s.arg(Count(unchanged, u"device"_s, u"devices"_s)));
    if (notFound > 0)
        summary.append(u"%1 not found"_s.arg(notFound));
    planStream() << u"Plan: "_s << summary.join(u", "_s) << u".\n"_s;
    planStream().flush();

    if (m_command.dryRun) {
        if (m_command.format == OutputFormat::Json)
            out() << FormatResultsJson(planned);
        return end(notFound + unread > 0 ? ExitCode::Failure : ExitCode::Success);
    }
    if (changes == 0)
        return summarize();
    if (!m_command.yes
        && !m_console.confirm(u"Apply %1 to %2? [y/N] "_s.arg(Count(changes, u"change"_s, u"changes"_s),
                                                             Count(devices, u"device"_s, u"devices"_s)))) {
        err() << u"Nothing applied."_s << Qt::endl;
        return end(ExitCode::Failure);
    }
    runJobs(
        changing, [this](int i) { applyRow(i); },
        [this] {
            if (const std::optional<QString> error = m_applied.save())
                err() << u"what was applied could not be recorded: "_s << *error << Qt::endl;
            verify();
        });
}

void ApplyRunner::applyRow(int i)
{
    Row &row = m_rows[i];
    row.clock.start();
    if (!row.change.filter)
        return setAddress(i);
    m_filters.write(
        {*row.target, m_passwords.of(*row.target)}, *row.plan.filter, true, [this, i](FilterBatch::Outcome outcome) {
            Row &row = m_rows[i];
            const QString result = FilterBatch::outcomeText(outcome);
            if (outcome == FilterBatch::Outcome::Verified) {
                row.done.append(u"list "_s + result);
                return row.change.address ? setAddress(i) : rowApplied(i);
            }
            // The device took the list when it said "Pass"; only the read-back differed.
            row.result = outcome == FilterBatch::Outcome::NotVerified ? Result::NotVerified : Result::Failed;
            row.reason = u"filter: "_s + result;
            // The address stays: a device that refused its list is not half-changed further.
            rowApplied(i);
        });
}

void ApplyRunner::setAddress(int i)
{
    const PlanRow &plan = m_rows[i].plan;
    SetIpBatch::Settings settings;
    settings.dhcp = plan.address == PlanRow::Address::Dhcp;
    if (!settings.dhcp) {
        settings.address = InetAddr(plan.ip);
        settings.mask = InetAddr(plan.mask);
        settings.gateway = InetAddr(plan.gateway);
    }
    const DeviceTarget &device = *m_rows[i].target;
    m_addresses.setAddress({device, m_passwords.of(device), settings}, [this, i](SetIpBatch::Outcome outcome) {
        Row &row = m_rows[i];
        const bool dhcp = row.plan.address == PlanRow::Address::Dhcp;
        const QString result = SetIpBatch::outcomeText(outcome, dhcp);
        if (outcome == SetIpBatch::Outcome::Ok) {
            row.done.append(result);
            m_applied.record(row.plan.mac, dhcp ? AppliedAddress{true, {}, {}, {}}
                                                : AppliedAddress{false, row.plan.ip, row.plan.mask, row.plan.gateway});
        } else {
            row.result = Result::Failed;
            row.reason = u"address: "_s + result;
        }
        rowApplied(i);
    });
}

void ApplyRunner::rowApplied(int i)
{
    Row &row = m_rows[i];
    row.ms = row.clock.elapsed();
    if (row.result != Result::Pending)
        row.done.append(row.reason);
    err() << label(i) << u": "_s << row.done.join(u", "_s) << Qt::endl;
    m_queue.jobDone();
}

void ApplyRunner::verify()
{
    QList<PresenceCheck::Expected> expected;
    for (const Row &row : std::as_const(m_rows)) {
        if (row.result != Result::Pending)
            continue;
        switch (row.plan.address) {
        case PlanRow::Address::Static:
            expected.append({row.plan.mac, row.plan.ip});
            break;
        case PlanRow::Address::Dhcp:
            expected.append({row.plan.mac, QString()});
            break;
        case PlanRow::Address::Keep:
            expected.append({row.plan.mac, row.now.address});
            break;
        }
    }
    if (expected.isEmpty())
        return summarize();
    err() << u"Checking that %1 answer where they should"_s.arg(Count(expected.size(), u"device"_s, u"devices"_s))
          << Qt::endl;
    m_presence.start(expected);
}

void ApplyRunner::summarize()
{
    QList<QStringList> table{{u"MAC"_s, u"DEVICE"_s, u"ADDRESS"_s, u"RESULT"_s, u"TIME"_s}};
    QList<ResultRow> results;
    bool allOk = true;
    bool anyApplied = false;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const Row &row = m_rows[i];
        // In the order of Result.
        static const QString ResultTexts[] = {{}, u"not found"_s, u"unchanged"_s, u"changed"_s, u"failed"_s,
                                              u"not verified"_s};
        const QString &result = ResultTexts[int(row.result)];
        allOk = allOk && (row.result == Result::Changed || row.result == Result::Unchanged);
        anyApplied = anyApplied || row.ms >= 0;
        QString address;
        if (row.target)
            address = row.result == Result::Changed && row.plan.address == PlanRow::Address::Static ? row.plan.ip
                                                                                                    : row.now.address;
        table.append({FormatMac(row.plan.mac), row.target ? row.target->hostName : u"-"_s,
                      address.isEmpty() ? u"-"_s : address,
                      row.reason.isEmpty() ? result : u"%1 (%2)"_s.arg(result, row.reason), ResultSeconds(row.ms)});
        // What was done before a failure stays in the result: a list written before the address
        // failed is on the device all the same.
        QStringList said = row.done;
        if (!row.reason.isEmpty() && !said.contains(row.reason))
            said.append(row.reason);
        results.append({label(int(i)), FormatMac(row.plan.mac), address, result, said.join(u", "_s), row.ms});
    }
    if (m_command.format == OutputFormat::Json)
        out() << FormatResultsJson(results);
    else if (anyApplied) // without changes the plan has said it all
        out() << u"\n"_s << AlignedTable(table);
    end(allOk ? ExitCode::Success : ExitCode::Failure);
}

void ApplyRunner::runJobs(const QList<int> &rows, const Job &job, const std::function<void()> &next)
{
    connect(&m_queue, &JobQueue::finished, this, next, Qt::SingleShotConnection);
    m_queue.setJobs(m_command.jobs);
    m_queue.run(int(rows.size()), [rows, job](int k) { job(rows[k]); });
}

} // namespace farlight::cli
