#include "discovery/presencecheck.h"

#include <QHostAddress>

namespace farlight {

PresenceCheck::PresenceCheck(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_search(m_state, platform)
{
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &PresenceCheck::searchAgain);
    connect(&m_search, &SearchSession::finished, this, &PresenceCheck::searched);
}

PresenceCheck::~PresenceCheck() = default;

bool PresenceCheck::start(const QList<Expected> &expected)
{
    if (m_active)
        return false;
    m_expected = expected;
    m_answered = QList<bool>(expected.size(), false);
    // A device answers a search once, so where it answered from is settled once its MAC has.
    QList<DeviceName> macs;
    for (const Expected &device : expected)
        macs.append(DeviceName(FormatMac(device.mac)));
    m_search.setAwaitedNames(macs);
    m_active = true;
    m_clock.start();
    m_pause.start(m_settleDelay);
    return true;
}

void PresenceCheck::searchAgain()
{
    if (!m_search.start())
        end();
}

void PresenceCheck::searched()
{
    if (!m_active)
        return;
    // A device that answered from elsewhere is alive and on its way: it is looked for again. One
    // that stayed silent through a whole search is not waited for any longer.
    QList<DeviceName> elsewhere;
    for (qsizetype i = 0; i < m_expected.size(); ++i) {
        const Expected &expected = m_expected[i];
        for (int k = 0; !m_answered[i] && k < m_state.deviceCount; ++k) {
            const DeviceRecord &device = m_state.deviceTable[std::size_t(k)];
            if (device.Mac != expected.mac)
                continue;
            if (expected.address.isEmpty() || QHostAddress(expected.address) == QHostAddress(device.IpAddress))
                m_answered[i] = true;
            else
                elsewhere.append(DeviceName(FormatMac(expected.mac)));
        }
    }
    if (elsewhere.isEmpty() || m_clock.elapsed() + m_settleDelay.count() >= m_patience.count())
        return end();
    m_search.setAwaitedNames(elsewhere);
    m_pause.start(m_settleDelay);
}

void PresenceCheck::end()
{
    if (!m_active)
        return;
    m_active = false;
    m_pause.stop();
    m_search.stop();
    emit finished(m_answered);
}

QString PresenceText(bool answered)
{
    return answered ? QStringLiteral("verified") : QStringLiteral("not verified");
}

} // namespace farlight
