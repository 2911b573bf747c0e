#pragma once

#include "discovery/devicename.h"
#include "discovery/devicesearch.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <vector>

namespace farlight {

class AppState;
class Platform;
class UdpPeer;

/// @brief One device search from start to end, without any window: the adapter inventory, one
/// socket per adapter, the requests, and 15 steps of 0.3 s during which replies fill the
/// device table.
///
/// A window shows it (progress, messages, the list), a command-line tool prints it, a test
/// drives it; all of them see the same signals. The search sockets (element 0 always exists,
/// the others follow the adapters of the last inventory) stay open between searches, so a late
/// reply is dropped by the reply rules rather than by a closed socket.
class SearchSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int StepCount = 15;
    static constexpr std::chrono::milliseconds StepInterval{300};
    /// How long a name several devices may carry is still listened for after its first answer:
    /// on a LAN the answers to one request arrive within milliseconds of each other.
    static constexpr std::chrono::milliseconds SharedNameGrace{500};

    enum class Outcome {
        Completed,  ///< all steps counted
        Cancelled,  ///< cancel() ended it after the step in progress
        Stopped,    ///< stop() ended it at once
        NoAdapters, ///< the inventory left no adapter with an address; nothing was sent
    };
    Q_ENUM(Outcome)

    SearchSession(AppState &state, Platform &platform, QObject *parent = nullptr);
    ~SearchSession() override;

    /// @brief Empties the device table, takes the inventory, sends the requests and starts
    /// counting. Inventory messages are emitted before it returns. False when a search is
    /// already running.
    bool start();
    /// @brief Ends the search at the end of the step in progress, as the Cancel button does.
    void cancel();
    /// @brief Ends the search at once (the program is closing).
    void stop();

    bool isActive() const { return m_search.isActive(); }
    /// @brief Devices that answered the last search but found the list full.
    int devicesTurnedAway() const { return m_search.turnedAway(); }

    /// @brief Length of one step; tests shorten it.
    void setStepInterval(std::chrono::milliseconds interval) { m_timer.setInterval(interval); }
    /// @brief Later searches send only through the adapters with these addresses (all when empty).
    void restrictTo(const QStringList &adapterAddresses) { m_onlyAdapters = adapterAddresses; }

    /// @brief Makes the following searches end (Completed) as soon as every name of @p names
    /// has answered, through the adapter named @p adapter when one is named: a MAC at once, an
    /// address or host name SharedNameGrace after its first answer, so that a second device of
    /// that name is still listed. A name that never answers lets the search run its full
    /// length; no names (the default) is the full length always. With @p graceForEveryName a
    /// MAC waits the grace too: what then goes to the device's address (an upload) must know of
    /// every other device answering from it.
    void setAwaitedNames(const QList<DeviceName> &names, const QString &adapter = {}, bool graceForEveryName = false);
    /// @brief Tests shorten the grace.
    void setSharedNameGrace(std::chrono::milliseconds grace) { m_grace = grace; }

    /// @brief The search sockets, element i serving adapter i of the last inventory.
    const std::vector<UdpPeer *> &sockets() const { return m_udpPeerA; }

signals:
    /// @brief The inventory has something to say: string id of a message for the user.
    void inventoryMessage(int textId);
    /// @brief Step @p step (0 to StepCount - 1) of the collection has begun.
    void progress(int step);
    /// @brief A reply was accepted into entry @p deviceIndex of the device table.
    void deviceFound(int deviceIndex);
    /// @brief A datagram that arrived on adapter @p adapterIndex's socket was judged; the
    /// network diagnosis counts what arrives this way.
    void datagramJudged(int adapterIndex, farlight::DeviceSearch::Verdict verdict);
    /// @brief The request of adapter @p adapterIndex, which has an address, could not be sent.
    void sendFailed(int adapterIndex, const QString &reason);
    /// @brief The search is over; the device table holds what it found.
    void finished(farlight::SearchSession::Outcome outcome);

private:
    UdpPeer *addSocket();
    void removeExtraSockets();
    void setUpSockets();
    void sendRequests();
    void takeDatagram(int adapterIndex);
    void noteAnswer(int deviceIndex);
    void tick();
    void end(Outcome outcome);

    AppState &m_state;
    Platform &m_platform;
    DeviceSearch m_search;
    std::vector<UdpPeer *> m_udpPeerA;
    QTimer m_timer;
    int m_step = 0;
    bool m_cancelRequested = false;
    QStringList m_onlyAdapters;
    // Names whose answers end the search early, and when each first answered (-1: not yet).
    QList<DeviceName> m_awaited;
    QString m_awaitedAdapter;
    bool m_graceForEveryName = false;
    QList<qint64> m_firstAnswerMs;
    QElapsedTimer m_clock;
    QTimer m_answeredTimer;
    std::chrono::milliseconds m_grace = SharedNameGrace;
};

} // namespace farlight
