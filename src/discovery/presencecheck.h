#pragma once

#include "discovery/searchsession.h"
#include "protocol/macaddress.h"
#include "session/appstate.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace farlight {

class Platform;

/// @brief Checks with searches of its own that devices answer where a change should have left
/// them: each by its MAC, at a given address or at any. A search ends as soon as every device
/// looked for has answered; one that answered from elsewhere is looked for again by further
/// searches until Patience has passed, since a device may take its new address only once it has
/// restarted its interface. The searches fill a table of their own, so the
/// program's device list stays as it is.
///
/// A success reported by a device proves little on a LAN where anyone can answer; seeing the
/// device at its new address does.
class PresenceCheck : public QObject
{
    Q_OBJECT

public:
    struct Expected
    {
        MacAddress mac{};
        QString address; ///< where it must answer from; empty: anywhere (after DHCP)
    };

    explicit PresenceCheck(Platform &platform, QObject *parent = nullptr);
    ~PresenceCheck() override;

    /// How long a device is given to take its new address before the search: one that answers
    /// from the old one first is listed there, and its later answers are copies.
    static constexpr std::chrono::milliseconds SettleDelay{1000};
    /// After this long from start(), no further search begins.
    static constexpr std::chrono::milliseconds Patience{10000};

    /// @brief Length of a search step, the pause before each search and the patience; tests
    /// shorten them.
    void setTiming(std::chrono::milliseconds stepInterval, std::chrono::milliseconds settleDelay,
                   std::chrono::milliseconds patience = Patience)
    {
        m_search.setStepInterval(stepInterval);
        m_settleDelay = settleDelay;
        m_patience = patience;
    }

    /// @brief Starts the search; finished() follows, never from inside this call. False when a
    /// check is already running.
    bool start(const QList<Expected> &expected);
    bool isActive() const { return m_active; }

signals:
    /// @brief For each device given to start(), in that order: whether it answered as expected.
    void finished(const QList<bool> &answered);

private:
    void searchAgain();
    void searched();
    void end();

    AppState m_state;
    SearchSession m_search;
    QList<Expected> m_expected;
    QList<bool> m_answered;
    QElapsedTimer m_clock;
    QTimer m_pause;
    bool m_active = false;
    std::chrono::milliseconds m_settleDelay = SettleDelay;
    std::chrono::milliseconds m_patience = Patience;
};

/// @brief The word for a check's result, as the window and the command line show it.
QString PresenceText(bool answered);

} // namespace farlight
