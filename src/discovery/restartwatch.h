#pragma once

#include "discovery/searchsession.h"
#include "session/appstate.h"
#include "session/devicetarget.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace farlight {

class Platform;

/// @brief Waits for devices that have just taken a firmware image to answer a search again, as
/// they do once they have restarted: each by its MAC, found through its adapter.
///
/// While anyone is awaited it searches now and then through those adapters only, with a pause
/// between searches, so a fleet restarting together costs one request per adapter every few
/// seconds. A device is looked for only after a first pause (shortened by a quarter when that lets
/// it share a search), since it may still answer from the old firmware right after the upload. Its search fills a table of its own; the program's device
/// list stays as it is.
class RestartWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::seconds DefaultTimeout{180};
    /// Before the first search for a device, and between one search's end and the next.
    static constexpr std::chrono::milliseconds SearchPause{3000};
    /// A search listens for 15 of these: devices on the segment answer within milliseconds.
    static constexpr std::chrono::milliseconds StepInterval{100};

    explicit RestartWatch(Platform &platform, QObject *parent = nullptr);
    ~RestartWatch() override;

    /// @brief How long a device is given to come back.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    /// @brief Tests shorten the search steps and the pauses.
    void setTiming(std::chrono::milliseconds stepInterval, std::chrono::milliseconds pause);

    /// @brief Starts waiting for @p device from now on; finished() names it by @p id.
    void watch(int id, const DeviceTarget &device);
    /// @brief Stops waiting for everyone, without a word.
    void cancel();
    bool isWatching() const { return !m_watched.isEmpty(); }

signals:
    /// @brief Device @p id answered a search @p elapsedMs after watch() (@p back), or did not
    /// within the timeout.
    void finished(int id, bool back, qint64 elapsedMs);

private:
    struct Watched
    {
        int id = 0;
        quint64 key = 0; // tells a deadline whose device was let go from a later one
        MacAddress mac{};
        QString adapterAddress;
        QElapsedTimer clock;
        bool inSearch = false; // the search under way started after its first pause
    };

    void search();
    void deviceFound(int deviceIndex);
    void searchEnded();
    void expire(quint64 key);
    void let(qsizetype index, bool back);

    AppState m_state;
    SearchSession m_search;
    QTimer m_pause;
    QList<Watched> m_watched;
    quint64 m_nextKey = 0;
    std::chrono::milliseconds m_timeout = DefaultTimeout;
    std::chrono::milliseconds m_pauseLength = SearchPause;
};

/// @brief How a wait for a device's restart ended, as the window and the command line show it:
/// "back after 41 s", or "did not come back within 180 s".
QString RestartText(bool back, qint64 elapsedMs);

} // namespace farlight
