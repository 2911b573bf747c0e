#pragma once

#include "cli/clioptions.h"
#include "cli/devicepasswords.h"
#include "discovery/presencecheck.h"
#include "discovery/searchsession.h"
#include "firmware/upgradebatch.h"
#include "ipconfig/setipbatch.h"
#include "macfilter/filterbatch.h"
#include "protocol/macaddress.h"
#include "session/devicetarget.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace farlight {
class AppState;
struct UploadPlan;
class Diagnosis;
class Platform;
} // namespace farlight

namespace farlight::cli {

/// @brief What the runner writes to and reads from, so a test can stand in for the terminal.
struct Console
{
    QTextStream *out = nullptr; ///< results
    QTextStream *err = nullptr; ///< messages and progress
    bool progressOnTerminal = false; ///< err is a terminal: progress lines are redrawn in place
    bool resultsOnTerminal = false;  ///< out is a terminal: results are shown, not parsed
    std::optional<QString> passwordVariable;                  ///< FARLIGHT_PASSWORD
    std::function<std::optional<QString>()> passwordPrompt;   ///< null without a terminal
    std::function<bool(const QString &question)> confirm;     ///< asks yes or no; null without a terminal
};

/// @brief "1.25 s" in a result table; "-" for what was not timed.
QString ResultSeconds(qint64 ms);

/// @brief What every farlight-cli command run shares: the command, the console, the search it
/// starts with and the presence check a change ends with, and how it ends.
class CommandRun : public QObject
{
    Q_OBJECT

public:
    /// @brief The searches' step length (and the presence check's pause and patience, as for
    /// the searches of a full-length step); tests shorten it.
    void setSearchStepInterval(std::chrono::milliseconds interval)
    {
        m_search.setStepInterval(interval);
        m_presence.setTiming(interval, interval, PresenceCheck::Patience * interval.count() / SearchSession::StepInterval.count());
    }

signals:
    void finished(int exitCode);

protected:
    CommandRun(const Command &command, AppState &state, Platform &platform, Console console, QObject *parent);

    /// Ends the run, once: the search stops, the streams are flushed, and finished() follows when
    /// the handlers under way have returned, so that a set-IP confirmation still goes out first.
    void end(int exitCode);
    /// Starts the search, with a line on a terminal counting the answers until it ends.
    bool startSearch();
    /// False, and says which there are, when --adapter names none of the adapters found.
    bool knownAdapter();
    /// Says how many devices the last search left out of a full list, if any.
    void reportTurnedAway();
    QTextStream &out() { return *m_console.out; }
    QTextStream &err() { return *m_console.err; }

    Command m_command;
    AppState &m_state;
    Console m_console;
    SearchSession m_search;
    PresenceCheck m_presence;

private:
    bool m_ended = false;
};

/// @brief One farlight-cli command from start to end, on the same engines as the window: the
/// search, then the exchanges with the chosen devices, --jobs of them at once, each with its own
/// request. Everything that can be checked before the network is touched (addresses, files,
/// password) is checked first.
class Runner : public CommandRun
{
    Q_OBJECT

public:
    /// @brief The set-IP and MAC filter requests' no-answer timeout; tests shorten it.
    void setAnswerTimeout(std::chrono::milliseconds timeout)
    {
        m_setIp.setAnswerTimeout(timeout);
        m_filters.setAnswerTimeout(timeout);
    }

    Runner(const Command &command, AppState &state, Platform &platform, Console console, QObject *parent = nullptr);
    ~Runner() override;

    /// @brief Starts the command; finished() follows, never from inside this call.
    void start();

    /// @brief The searches' step length, the restart watch's too; tests shorten it.
    void setSearchStepInterval(std::chrono::milliseconds interval)
    {
        CommandRun::setSearchStepInterval(interval);
        m_batch.restartWatch().setTiming(interval, interval);
    }
    /// @brief The uploads' retransmission interval; tests shorten it.
    void setRetransmitInterval(std::chrono::milliseconds interval) { m_batch.setRetransmitInterval(interval); }

private:
    struct Outcome
    {
        QString device;
        QString result;
        bool ok = false;
        qint64 ms = -1;
        int index = -1; ///< in the device table; -1 for a name that chose no device
    };

    bool prepare();
    /// The credentials file, and the usual password when a device may need it and it needs no prompt.
    bool takePasswords();
    void searched(SearchSession::Outcome outcome);
    void upgrade(const UploadPlan &plan);
    void filterGet(int index);
    void doctor();
    /// Sets the addresses or writes the lists, --jobs devices at once.
    void startDevices();
    void deviceDone(int target, const QString &result, bool ok);
    void showProgress(int target, std::optional<int> percent, const QString &state);
    void summarize();
    /// Where a device's success is said: standard output, unless that is reserved for JSON.
    QTextStream &successes() { return m_command.format == OutputFormat::Json ? err() : out(); }

    Platform &m_platform;
    UpgradeBatch m_batch;
    SetIpBatch m_setIp;
    FilterBatch m_filters;
    DevicePasswords m_passwords;
    Diagnosis *m_diagnosis = nullptr;
    // Prepared before the search.
    quint32 m_address = 0, m_mask = 0, m_gateway = 0;
    QByteArray m_image;
    QList<MacAddress> m_filterList;
    // The devices being acted on, and what became of each.
    QList<int> m_targets;
    QList<Outcome> m_outcomes;   ///< per target, in target order
    QList<QElapsedTimer> m_clocks; ///< per target, from its first request
    QList<Outcome> m_unresolved; ///< names that chose no device
    struct Progress
    {
        int percent = 0;
        QString state;
    };
    QList<Progress> m_progress;
    bool m_progressShown = false;
};

} // namespace farlight::cli
