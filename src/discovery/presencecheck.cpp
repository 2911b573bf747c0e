#include "discovery/presencecheck.h"

#include <QHostAddress>
#include <QTimer>

namespace farlight {

PresenceCheck::PresenceCheck(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_search(m_state, platform)
{
    connect(&m_search, &SearchSession::deviceFound, this, &PresenceCheck::deviceFound);
    connect(&m_search, &SearchSession::finished, this, &PresenceCheck::end);
}

PresenceCheck::~PresenceCheck() = default;

bool PresenceCheck::start(const QList<Expected> &expected)
{
    if (m_active)
        return false;
    m_expected = expected;
    m_answered = QList<bool>(expected.size(), false);
    m_active = true;
    QTimer::singleShot(m_settleDelay, this, [this] {
        if (!m_search.start())
            end();
    });
    return true;
}

void PresenceCheck::deviceFound(int deviceIndex)
{
    const DeviceRecord *device = m_state.device(deviceIndex);
    if (!device)
        return;
    for (qsizetype i = 0; i < m_expected.size(); ++i) {
        const Expected &expected = m_expected[i];
        if (expected.mac == device->Mac
            && (expected.address.isEmpty() || QHostAddress(expected.address) == QHostAddress(device->IpAddress)))
            m_answered[i] = true;
    }
    if (!m_answered.contains(false))
        m_search.stop();
}

void PresenceCheck::end()
{
    if (!m_active)
        return;
    m_active = false;
    m_search.stop();
    emit finished(m_answered);
}

QString PresenceText(bool answered)
{
    return answered ? QStringLiteral("verified") : QStringLiteral("not verified");
}

} // namespace farlight
