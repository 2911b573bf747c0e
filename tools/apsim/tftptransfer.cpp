#include "tftptransfer.h"

#include "protocol/bytereader.h"
#include "protocol/tftppacket.h"

#include <QString>

namespace farlight {

QByteArray TftpTransfer::abort(quint16 code, const char *message, QString reason)
{
    m_state = State::Aborted;
    m_abortReason = std::move(reason);
    return Tftp::BuildError(code, message);
}

QByteArray TftpTransfer::handle(QByteArrayView datagram)
{
    if (m_state == State::Aborted)
        return {};
    const ByteReader r(datagram);
    const auto opcode = r.u16be(Tftp::OpcodeOffset);

    if (opcode == Tftp::Error) {
        m_state = State::Aborted;
        m_abortReason = QStringLiteral("client sent error %1").arg(r.u16be(Tftp::ErrorCodeOffset).value_or(0));
        return {};
    }
    const auto block = r.u16be(Tftp::BlockOffset);
    if (opcode != Tftp::Data || !block) {
        if (m_state == State::Complete)
            return {};
        return abort(Tftp::IllegalOperation, "Illegal TFTP operation", QStringLiteral("unexpected datagram"));
    }

    const qsizetype length = r.size() - Tftp::HeaderSize;
    // Block numbers wrap at 65535 as the TFTP standard allows, so large images still number.
    const quint16 expected = quint16(m_lastAck + 1);
    if (m_blocks > 0 && *block == m_lastAck)
        return Tftp::BuildAck(m_lastAck); // the client missed our acknowledgement
    if (m_state == State::Complete || *block != expected)
        return {};
    if (length > Tftp::BlockSize)
        return abort(Tftp::IllegalOperation, "Illegal TFTP operation", QStringLiteral("block longer than 512 bytes"));
    if (m_image.size() + length > MaxImageSize)
        return abort(Tftp::DiskFull, "Disk full or allocation exceeded", QStringLiteral("image too large"));

    m_image.append(r.bytes(Tftp::HeaderSize, length).value_or(QByteArrayView()));
    m_lastAck = *block;
    ++m_blocks;
    if (length < Tftp::BlockSize)
        m_state = State::Complete;
    return Tftp::BuildAck(m_lastAck);
}

} // namespace farlight
