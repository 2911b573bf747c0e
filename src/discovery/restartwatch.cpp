#include "discovery/restartwatch.h"

#include <algorithm>

namespace farlight {

RestartWatch::RestartWatch(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_search(m_state, platform)
{
    m_search.setStepInterval(StepInterval);
    // A coarse timer may fire early, before a device's first pause is over.
    m_pause.setTimerType(Qt::PreciseTimer);
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &RestartWatch::search);
    connect(&m_search, &SearchSession::deviceFound, this, &RestartWatch::deviceFound);
    connect(&m_search, &SearchSession::finished, this, &RestartWatch::searchEnded);
}

RestartWatch::~RestartWatch()
{
    cancel();
}

void RestartWatch::setTiming(std::chrono::milliseconds stepInterval, std::chrono::milliseconds pause)
{
    m_search.setStepInterval(stepInterval);
    m_pauseLength = pause;
}

void RestartWatch::watch(int id, const DeviceTarget &device)
{
    Watched watched;
    watched.id = id;
    watched.key = ++m_nextKey;
    watched.mac = device.mac;
    watched.adapterAddress = device.adapterAddress;
    watched.clock.start();
    m_watched.append(watched);
    QTimer::singleShot(m_timeout, Qt::PreciseTimer, this, [this, key = watched.key] { expire(key); });
    if (!m_search.isActive() && !m_pause.isActive())
        m_pause.start(m_pauseLength);
}

void RestartWatch::cancel()
{
    m_watched.clear();
    m_pause.stop();
    m_search.stop();
}

void RestartWatch::search()
{
    QStringList adapters;
    qint64 nextDue = m_pauseLength.count();
    for (Watched &watched : m_watched) {
        const qint64 due = m_pauseLength.count() - watched.clock.elapsed();
        // Devices whose uploads ended close together share a search rather than wait a round.
        watched.inSearch = due <= m_pauseLength.count() / 4;
        if (watched.inSearch && !adapters.contains(watched.adapterAddress))
            adapters.append(watched.adapterAddress);
        else if (!watched.inSearch)
            nextDue = std::min(nextDue, due);
    }
    if (adapters.isEmpty()) {
        // Everyone awaited came after the last search and is still in the first pause.
        if (isWatching())
            m_pause.start(std::chrono::milliseconds(std::max<qint64>(nextDue, 1)));
        return;
    }
    m_search.restrictTo(adapters);
    m_search.start();
}

void RestartWatch::deviceFound(int deviceIndex)
{
    const DeviceRecord *device = m_state.device(deviceIndex);
    if (!device)
        return;
    const auto isIt = [device](const Watched &watched) { return watched.inSearch && watched.mac == device->Mac; };
    // Each finished() may change the list; look again after each.
    for (auto it = std::find_if(m_watched.cbegin(), m_watched.cend(), isIt); it != m_watched.cend();
         it = std::find_if(m_watched.cbegin(), m_watched.cend(), isIt))
        let(it - m_watched.cbegin(), true);
    if (std::none_of(m_watched.cbegin(), m_watched.cend(), [](const Watched &watched) { return watched.inSearch; }))
        m_search.stop();
}

void RestartWatch::searchEnded()
{
    for (Watched &watched : m_watched)
        watched.inSearch = false;
    if (isWatching() && !m_pause.isActive())
        m_pause.start(m_pauseLength);
}

void RestartWatch::expire(quint64 key)
{
    const auto it = std::find_if(m_watched.cbegin(), m_watched.cend(), [key](const Watched &w) { return w.key == key; });
    if (it != m_watched.cend())
        let(it - m_watched.cbegin(), false);
}

void RestartWatch::let(qsizetype index, bool back)
{
    const Watched watched = m_watched.takeAt(index);
    if (!isWatching()) {
        m_pause.stop();
        m_search.stop();
    }
    emit finished(watched.id, back, back ? watched.clock.elapsed() : qint64(m_timeout.count()));
}

QString RestartText(bool back, qint64 elapsedMs)
{
    const qint64 seconds = (elapsedMs + 500) / 1000;
    return back ? QStringLiteral("back after %1 s").arg(seconds)
                : QStringLiteral("did not come back within %1 s").arg(seconds);
}

} // namespace farlight
