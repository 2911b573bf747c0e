#include "discovery/presencecheck.h"

#include <QHostAddress>
#include <QTimer>

namespace farlight {

PresenceCheck::PresenceCheck(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_search(m_state, platform)
{
    connect(&m_search, &SearchSession::finished, this, &PresenceCheck::end);
}

PresenceCheck::~PresenceCheck() = default;

bool PresenceCheck::start(const QList<Expected> &expected)
{
    if (m_active)
        return false;
    m_expected = expected;
    // A device answers a search once, so where it answered from is settled once its MAC has.
    QList<DeviceName> macs;
    for (const Expected &device : expected)
        macs.append(DeviceName(FormatMac(device.mac)));
    m_search.setAwaitedNames(macs);
    m_active = true;
    QTimer::singleShot(m_settleDelay, this, [this] {
        if (!m_search.start())
            end();
    });
    return true;
}

void PresenceCheck::end()
{
    if (!m_active)
        return;
    m_active = false;
    m_search.stop();
    QList<bool> answered;
    for (const Expected &expected : std::as_const(m_expected)) {
        bool seen = false;
        for (int i = 0; const DeviceRecord *device = m_state.device(i); ++i)
            seen = seen
                || (device->Mac == expected.mac
                    && (expected.address.isEmpty() || QHostAddress(expected.address) == QHostAddress(device->IpAddress)));
        answered.append(seen);
    }
    emit finished(answered);
}

QString PresenceText(bool answered)
{
    return answered ? QStringLiteral("verified") : QStringLiteral("not verified");
}

} // namespace farlight
