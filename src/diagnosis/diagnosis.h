#pragma once

#include "diagnosis/finding.h"
#include "diagnosis/hostchecks.h"
#include "discovery/searchsession.h"
#include "session/appstate.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace farlight {

class Platform;
class SystemProbe;

/// @brief Why a search comes back empty, found out without a display: the adapters, their
/// reverse-path filters, the host firewall, the TFTP port, and a live search that counts what
/// arrives.
///
/// It only looks: nothing on the system is changed. The checks of the computer run on a thread
/// of their own, since nft may take seconds to answer, so the caller's event loop keeps turning.
/// The live search runs on a device table of its own, so a window's list is left as it was. A
/// window, the command-line tool or a test starts it and waits for finished(); the search takes
/// SearchSession's 4.5 seconds.
class Diagnosis : public QObject
{
    Q_OBJECT

public:
    /// @brief A diagnosis of the running system.
    explicit Diagnosis(Platform &platform, QObject *parent = nullptr);
    /// @brief A diagnosis that asks @p probe instead of the system (tests).
    Diagnosis(Platform &platform, std::unique_ptr<SystemProbe> probe, QObject *parent = nullptr);
    ~Diagnosis() override;

    /// @brief Looks only at the adapter of this name; empty (the default) for every adapter.
    void setAdapter(const QString &name) { m_adapter = name; }
    /// @brief Whether a live search is part of the diagnosis (the default).
    void setLiveSearch(bool enabled) { m_liveSearch = enabled; }
    /// @brief The search's step length; tests shorten it.
    void setSearchStepInterval(std::chrono::milliseconds interval) { m_search.setStepInterval(interval); }

    /// @brief Starts; finished() follows, never from inside this call. False while running.
    bool start();
    bool isRunning() const { return m_running; }
    /// @brief The findings of the last diagnosis that finished.
    const QList<Finding> &findings() const { return m_findings; }

signals:
    /// @brief The checks of the computer are done and the live search has begun.
    void searching();
    /// @brief All findings, in the order the checks ran.
    void finished(const QList<farlight::Finding> &findings);

private:
    void runChecks();
    void checked(const QList<Finding> &findings, std::optional<qint64> dropsBefore);
    void countDatagram(int adapterIndex, DeviceSearch::Verdict verdict);
    void countFailedSend(int adapterIndex, const QString &reason);
    void searched(SearchSession::Outcome outcome);
    bool concerns(int adapterIndex) const;
    void end();

    Platform &m_platform;
    // Shared with the checks' thread, which may outlive this object when it is deleted early.
    std::shared_ptr<SystemProbe> m_probe;
    AppState m_state;
    SearchSession m_search;
    QString m_adapter;
    bool m_liveSearch = true;
    bool m_running = false;
    bool m_collecting = false;
    QList<Finding> m_findings;
    SearchTally m_tally;
    std::optional<qint64> m_dropsBefore;
};

} // namespace farlight
