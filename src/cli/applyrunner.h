#pragma once

#include "cli/applystate.h"
#include "cli/clioptions.h"
#include "cli/devicepasswords.h"
#include "cli/clirunner.h"
#include "cli/plan.h"
#include "cli/plandiff.h"
#include "discovery/presencecheck.h"
#include "discovery/searchsession.h"
#include "ipconfig/setipbatch.h"
#include "macfilter/filterbatch.h"
#include "session/devicetarget.h"
#include "session/jobqueue.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTextStream>

#include <chrono>
#include <functional>
#include <optional>

namespace farlight {
class AppState;
class Platform;
} // namespace farlight

namespace farlight::cli {

/// @brief `farlight-cli apply PLAN`: brings the devices a plan names to what it says, and only
/// where they differ.
///
/// The plan is read and checked before anything is sent; a search finds the devices, their
/// filter lists are read, and the differences are shown. After the administrator's yes, the
/// devices are changed --jobs at once (per device the list first, the address last, so the
/// device is still where the search found it), what was applied is recorded in the state file,
/// and a search of its own checks that each changed device answers where it should.
class ApplyRunner : public CommandRun
{
    Q_OBJECT

public:
    ApplyRunner(const Command &command, AppState &state, Platform &platform, Console console, QObject *parent = nullptr);
    ~ApplyRunner() override;

    /// @brief Starts; finished() follows, never from inside this call.
    void start();

    /// @brief How long a device may leave a request unanswered; tests shorten it.
    void setAnswerTimeout(std::chrono::milliseconds timeout)
    {
        m_addresses.setAnswerTimeout(timeout);
        m_filters.setAnswerTimeout(timeout);
    }
    /// @brief Where what was applied is recorded (ApplyState::DefaultPath() unless set).
    void setStatePath(const QString &path) { m_applied = ApplyState(path); }

private:
    // summarize() words these in this order.
    enum class Result { Pending, NotFound, Unchanged, Changed, Failed, NotVerified };

    struct Row
    {
        PlanRow plan;
        int device = -1; ///< device table entry; -1 when not found
        std::optional<DeviceTarget> target;
        DeviceNow now;
        RowChange change;
        Result result = Result::Pending;
        QString reason;
        QStringList done;    ///< what the device said to each change
        QElapsedTimer clock; ///< from its first changing request
        qint64 ms = -1;
    };
    using Job = std::function<void(int row)>;

    bool prepare();
    void searched(SearchSession::Outcome outcome);
    void readLists();
    void showPlan();
    void applyRow(int row);
    void setAddress(int row);
    void rowApplied(int row);
    void verify();
    void summarize();
    /// Runs @p job for each of @p rows, --jobs at once, then @p next; each job ends with m_queue.jobDone().
    void runJobs(const QList<int> &rows, const Job &job, const std::function<void()> &next);
    QString label(int row) const;
    /// The plan is data on standard output, unless that carries the JSON result.
    QTextStream &planStream() { return m_command.format == OutputFormat::Json ? err() : out(); }

    ApplyState m_applied;
    DevicePasswords m_passwords;
    QList<Row> m_rows;
    JobQueue m_queue;
    SetIpBatch m_addresses;
    FilterBatch m_filters;
};

} // namespace farlight::cli
