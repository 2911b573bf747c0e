#include "discovery/searchsession.h"

#include "netenv/adapterinventory.h"
#include "netenv/platform.h"
#include "netenv/udppeer.h"
#include "protocol/packetheader.h"
#include "session/appstate.h"

namespace farlight {

SearchSession::SearchSession(AppState &state, Platform &platform, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_platform(platform)
    , m_search(std::span<DeviceRecord, DeviceSearch::MaxDevices>(state.deviceTable), state.deviceCount)
{
    m_timer.setInterval(StepInterval);
    connect(&m_timer, &QTimer::timeout, this, &SearchSession::tick);
    m_answeredTimer.setSingleShot(true);
    connect(&m_answeredTimer, &QTimer::timeout, this, [this] {
        if (isActive())
            end(Outcome::Completed);
    });
    addSocket();
}

SearchSession::~SearchSession()
{
    for (UdpPeer *peer : m_udpPeerA)
        peer->close();
}

UdpPeer *SearchSession::addSocket()
{
    const int index = int(m_udpPeerA.size());
    auto *peer = new UdpPeer(this);
    connect(peer, &UdpPeer::dataArrival, this, [this, index] { takeDatagram(index); });
    // Socket errors are never shown; the search goes on with the other adapters.
    connect(peer, &UdpPeer::error, this, [](int, const QString &, bool &cancelDisplay) { cancelDisplay = true; });
    m_udpPeerA.push_back(peer);
    return peer;
}

void SearchSession::removeExtraSockets()
{
    while (m_udpPeerA.size() > 1) {
        UdpPeer *peer = m_udpPeerA.back();
        m_udpPeerA.pop_back();
        peer->close();
        delete peer;
    }
}

bool SearchSession::start()
{
    if (isActive())
        return false;
    m_search.begin();
    m_cancelRequested = false;
    removeExtraSockets();

    bool adaptersOk = true;
    const AdapterInventoryResult inventory = TakeAdapterInventory(m_platform, m_state.adapterTable, m_state.adapterCount, adaptersOk);
    while (int(m_udpPeerA.size()) < std::min(inventory.searchSockets, int(m_state.adapterTable.size())))
        addSocket();
    for (int id : inventory.messages)
        emit inventoryMessage(id);
    if (!adaptersOk || m_state.adapterCount == 0) {
        end(Outcome::NoAdapters);
        return true;
    }

    m_firstAnswerMs = QList<qint64>(m_awaited.size(), -1);
    m_clock.start();
    setUpSockets();
    sendRequests();
    m_step = 0;
    m_timer.start();
    emit progress(m_step);
    return true;
}

void SearchSession::cancel()
{
    m_cancelRequested = isActive();
}

void SearchSession::stop()
{
    if (isActive())
        end(Outcome::Stopped);
}

void SearchSession::tick()
{
    if (m_cancelRequested) {
        end(Outcome::Cancelled);
        return;
    }
    if (++m_step >= StepCount) {
        end(Outcome::Completed);
        return;
    }
    emit progress(m_step);
}

void SearchSession::end(Outcome outcome)
{
    m_timer.stop();
    m_answeredTimer.stop();
    m_search.finish();
    m_cancelRequested = false;
    emit finished(outcome);
}

void SearchSession::setUpSockets()
{
    for (int i = 0; i < m_state.adapterCount && i < int(m_udpPeerA.size()); ++i) {
        UdpPeer *peer = m_udpPeerA[std::size_t(i)];
        const AdapterRecord &adapter = m_state.adapterTable[std::size_t(i)];
        peer->close();
        peer->setRemoteHost(QString::fromLatin1(BroadcastAddress));
        peer->setRemotePort(DevicePort);
        peer->bind(0, adapter.IpAddress, adapter.InterfaceIndex);
    }
}

void SearchSession::sendRequests()
{
    m_search.nextSequence();
    for (int i = 0; i < m_state.adapterCount && i < int(m_udpPeerA.size()); ++i) {
        UdpPeer *peer = m_udpPeerA[std::size_t(i)];
        const AdapterRecord &adapter = m_state.adapterTable[std::size_t(i)];
        if (!m_onlyAdapters.isEmpty() && !m_onlyAdapters.contains(adapter.IpAddress))
            continue;
        // An adapter without an address has nowhere to send from.
        if (peer->localAddress() == QLatin1StringView("0.0.0.0")) {
            if (adapter.HasAddress)
                emit sendFailed(i, peer->errorString());
            continue;
        }
        const QByteArray request = m_search.buildRequest(i, adapter.Mac);
        peer->setRemoteHost(QString::fromLatin1(BroadcastAddress));
        if (!peer->sendData(request))
            emit sendFailed(i, peer->errorString());
    }
}

void SearchSession::takeDatagram(int adapterIndex)
{
    if (adapterIndex < 0 || adapterIndex >= int(m_udpPeerA.size()))
        return;
    const UdpPeer *peer = m_udpPeerA[std::size_t(adapterIndex)];
    const DeviceSearch::Verdict verdict =
        m_search.handleDatagram(adapterIndex, peer->getData(), peer->remoteHostIPv4());
    if (verdict == DeviceSearch::Verdict::Accepted) {
        noteAnswer(m_state.deviceCount - 1);
        emit deviceFound(m_state.deviceCount - 1);
    }
    emit datagramJudged(adapterIndex, verdict);
}

void SearchSession::setAwaitedNames(const QList<DeviceName> &names, const QString &adapter, bool graceForEveryName)
{
    m_awaited = names;
    m_awaitedAdapter = adapter;
    m_graceForEveryName = graceForEveryName;
}

void SearchSession::noteAnswer(int deviceIndex)
{
    const DeviceRecord *device = m_state.device(deviceIndex);
    if (m_awaited.isEmpty() || !device || m_answeredTimer.isActive())
        return;
    if (!m_awaitedAdapter.isEmpty()) {
        const AdapterRecord *adapter = m_state.adapterOf(deviceIndex);
        if (!adapter || adapter->Name != m_awaitedAdapter)
            return;
    }
    for (qsizetype i = 0; i < m_awaited.size(); ++i) {
        if (m_firstAnswerMs[i] < 0 && m_awaited[i].matches(*device))
            m_firstAnswerMs[i] = m_clock.elapsed();
    }
    // The search ends once the last shared name's grace has run out; it ends from the event
    // loop, after this datagram's handlers.
    qint64 endMs = m_clock.elapsed();
    for (qsizetype i = 0; i < m_awaited.size(); ++i) {
        if (m_firstAnswerMs[i] < 0)
            return;
        if (m_graceForEveryName || !m_awaited[i].isUnique())
            endMs = std::max(endMs, m_firstAnswerMs[i] + qint64(m_grace.count()));
    }
    m_answeredTimer.start(std::chrono::milliseconds(endMs - m_clock.elapsed()));
}

} // namespace farlight
