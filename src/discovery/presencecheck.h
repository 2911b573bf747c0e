#pragma once

#include "discovery/searchsession.h"
#include "protocol/macaddress.h"
#include "session/appstate.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

namespace farlight {

class Platform;

/// @brief Checks with a search of its own that devices answer where a change should have left
/// them: each by its MAC, at a given address or at any. The search ends as soon as every device
/// has answered, and it fills a table of its own, so the program's device list stays as it is.
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

    /// @brief Length of a search step and the pause before the search; tests shorten them.
    void setTiming(std::chrono::milliseconds stepInterval, std::chrono::milliseconds settleDelay)
    {
        m_search.setStepInterval(stepInterval);
        m_settleDelay = settleDelay;
    }

    /// @brief Starts the search; finished() follows, never from inside this call. False when a
    /// check is already running.
    bool start(const QList<Expected> &expected);
    bool isActive() const { return m_active; }

signals:
    /// @brief For each device given to start(), in that order: whether it answered as expected.
    void finished(const QList<bool> &answered);

private:
    void end();

    AppState m_state;
    SearchSession m_search;
    QList<Expected> m_expected;
    bool m_active = false;
    std::chrono::milliseconds m_settleDelay = SettleDelay;
};

/// @brief The word for a check's result, as the window and the command line show it.
QString PresenceText(bool answered);

} // namespace farlight
