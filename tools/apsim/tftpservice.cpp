#include "tftpservice.h"

#include "protocol/tftppacket.h"

#include <QCryptographicHash>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

QByteArray errorReply(quint16 code, const char *message)
{
    return Tftp::BuildError(code, message);
}

} // namespace

qsizetype TftpService::findByPeer(const QHostAddress &peer, quint16 peerPort) const
{
    for (qsizetype i = 0; i < m_sessions.size(); ++i) {
        if (m_sessions[i].peer == peer && m_sessions[i].peerPort == peerPort)
            return i;
    }
    return -1;
}

qsizetype TftpService::findByLocalPort(quint16 localPort) const
{
    for (qsizetype i = 0; i < m_sessions.size(); ++i) {
        if (m_sessions[i].localPort == localPort)
            return i;
    }
    return -1;
}

void TftpService::removeSession(qsizetype index)
{
    if (m_sessions[index].localPort != Tftp::ServerPort)
        m_releasedPorts.append(m_sessions[index].localPort);
    m_sessions.removeAt(index);
}

void TftpService::log(QJsonObject entry, const QHostAddress &peer, quint16 peerPort)
{
    entry.insert(u"from"_s, u"%1:%2"_s.arg(peer.toString()).arg(peerPort));
    m_events.append(entry);
}

QList<TftpService::Reply> TftpService::handle(QByteArrayView data, const QHostAddress &peer, quint16 peerPort,
                                              quint16 localPort, qint64 nowMs, std::optional<quint16> refuseWith)
{
    const auto opcode = Tftp::OpcodeOf(data);
    if (localPort == Tftp::ServerPort) {
        if (opcode == Tftp::WriteRequest || opcode == Tftp::ReadRequest)
            return handleRequest(data, peer, peerPort, nowMs, refuseWith);
        // With a fixed port the transfer continues on port 69; otherwise port 69 only takes requests.
        const qsizetype index = m_mode == TftpMode::Fixed ? findByPeer(peer, peerPort) : -1;
        if (index >= 0)
            return feed(index, data, nowMs);
        log({{u"kind"_s, u"tftp-stray"_s}, {u"size"_s, data.size()}}, peer, peerPort);
        return {{errorReply(Tftp::UnknownTransferId, "Unknown transfer ID"), localPort, peer, peerPort}};
    }

    const qsizetype index = findByLocalPort(localPort);
    if (index < 0)
        return {};
    if (m_sessions[index].peer != peer || m_sessions[index].peerPort != peerPort) {
        // A stranger on a transfer port is told so, and the transfer goes on undisturbed.
        log({{u"kind"_s, u"tftp-stray"_s}, {u"size"_s, data.size()}}, peer, peerPort);
        return {{errorReply(Tftp::UnknownTransferId, "Unknown transfer ID"), localPort, peer, peerPort}};
    }
    return feed(index, data, nowMs);
}

QList<TftpService::Reply> TftpService::handleRequest(QByteArrayView data, const QHostAddress &peer,
                                                     quint16 peerPort, qint64 nowMs,
                                                     std::optional<quint16> refuseWith)
{
    const auto request = Tftp::Request::parse(data);
    const quint16 port = Tftp::ServerPort;
    if (!request) {
        log({{u"kind"_s, u"tftp-invalid"_s}, {u"size"_s, data.size()}}, peer, peerPort);
        return {{errorReply(Tftp::IllegalOperation, "Illegal TFTP operation"), port, peer, peerPort}};
    }
    QJsonObject entry{{u"kind"_s, request->opcode == Tftp::WriteRequest ? u"tftp-write"_s : u"tftp-read"_s},
                      {u"file"_s, QString::fromLatin1(request->fileName)},
                      {u"mode"_s, QString::fromLatin1(request->mode)}};
    if (request->opcode == Tftp::ReadRequest) {
        entry.insert(u"result"_s, u"refused: the device only takes uploads"_s);
        log(entry, peer, peerPort);
        return {{errorReply(Tftp::AccessViolation, "Access violation"), port, peer, peerPort}};
    }
    if (request->mode.toLower() != "octet") {
        entry.insert(u"result"_s, u"refused: only octet mode"_s);
        log(entry, peer, peerPort);
        return {{errorReply(Tftp::NotDefined, "Only octet mode is supported"), port, peer, peerPort}};
    }
    if (refuseWith) {
        entry.insert(u"result"_s, u"refused by fault: error %1"_s.arg(*refuseWith));
        log(entry, peer, peerPort);
        return {{errorReply(*refuseWith, "Refused"), port, peer, peerPort}};
    }

    const qsizetype existing = findByPeer(peer, peerPort);
    if (existing >= 0) {
        Session &session = m_sessions[existing];
        if (session.transfer.state() == TftpTransfer::State::Receiving && !session.transfer.started()) {
            // The client repeats its request because our first acknowledgement was lost.
            session.lastActivityMs = nowMs;
            entry.insert(u"result"_s, u"repeated"_s);
            log(entry, peer, peerPort);
            return {{Tftp::BuildAck(0), session.localPort, peer, peerPort}};
        }
        removeSession(existing); // the client starts over, or uploads again from the same port
    }

    quint16 localPort = Tftp::ServerPort;
    if (m_mode == TftpMode::Ephemeral) {
        localPort = m_openPort ? m_openPort() : 0;
        if (localPort == 0) {
            entry.insert(u"result"_s, u"refused: no transfer port"_s);
            log(entry, peer, peerPort);
            return {{errorReply(Tftp::NotDefined, "No transfer port available"), port, peer, peerPort}};
        }
    }
    m_sessions.append(Session{peer, peerPort, localPort, TftpTransfer(request->fileName), nowMs});
    entry.insert(u"result"_s, u"accepted"_s);
    entry.insert(u"port"_s, localPort);
    log(entry, peer, peerPort);
    return {{Tftp::BuildAck(0), localPort, peer, peerPort}};
}

QList<TftpService::Reply> TftpService::feed(qsizetype index, QByteArrayView data, qint64 nowMs)
{
    Session &session = m_sessions[index];
    const auto before = session.transfer.state();
    const QByteArray answer = session.transfer.handle(data);
    session.lastActivityMs = nowMs;
    QList<Reply> replies;
    if (!answer.isEmpty())
        replies.append({answer, session.localPort, session.peer, session.peerPort});

    const auto after = session.transfer.state();
    if (before != TftpTransfer::State::Complete && after == TftpTransfer::State::Complete) {
        const QByteArray &image = session.transfer.image();
        m_uploads.append({session.transfer.fileName(), image});
        log({{u"kind"_s, u"tftp-complete"_s},
             {u"file"_s, QString::fromLatin1(session.transfer.fileName())},
             {u"size"_s, image.size()},
             {u"sha256"_s, QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex())}},
            session.peer, session.peerPort);
    } else if (after == TftpTransfer::State::Aborted) {
        log({{u"kind"_s, u"tftp-aborted"_s}, {u"reason"_s, session.transfer.abortReason()}}, session.peer,
            session.peerPort);
        removeSession(index);
    }
    return replies;
}

QList<quint16> TftpService::expire(qint64 nowMs)
{
    for (qsizetype i = m_sessions.size() - 1; i >= 0; --i) {
        const Session &session = m_sessions[i];
        const bool complete = session.transfer.state() == TftpTransfer::State::Complete;
        const qint64 limit = complete ? DallyMs : IdleTimeoutMs;
        if (nowMs - session.lastActivityMs < limit)
            continue;
        if (!complete)
            log({{u"kind"_s, u"tftp-aborted"_s}, {u"reason"_s, u"client went silent"_s}}, session.peer,
                session.peerPort);
        removeSession(i);
    }
    return std::exchange(m_releasedPorts, {});
}

QList<TftpService::Upload> TftpService::takeUploads()
{
    return std::exchange(m_uploads, {});
}

QList<QJsonObject> TftpService::takeEvents()
{
    return std::exchange(m_events, {});
}

} // namespace farlight
