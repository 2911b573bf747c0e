#include "firmware/tftpclient.h"

#include "protocol/bytereader.h"

#include <algorithm>

namespace farlight {

namespace {

constexpr qint64 PercentDivisor = 100;
constexpr int FullPercent = 100;
// Systems on which an unknown opcode is ignored instead of ending the transfer.
constexpr qint32 TolerantOsVersions[] = {5000, 5100};

// a / b to the nearest integer, halves to the even neighbour; a >= 0, b > 0.
qint64 RoundHalfEven(qint64 a, qint64 b)
{
    const qint64 quotient = a / b;
    const qint64 twiceRemainder = 2 * (a % b);
    if (twiceRemainder > b || (twiceRemainder == b && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

QByteArray ErrorDatagram(Tftp::ErrorCode code)
{
    return Tftp::BuildError(code, TftpUpload::errorMessage(code).toLatin1());
}

} // namespace

TftpClient::TftpClient(const QHostAddress &server, qint32 osVersionCode)
    : m_server(server)
    , m_osVersionCode(osVersionCode)
{
}

TftpClient::Step TftpClient::start(const QByteArray &image)
{
    if (isRunning())
        return {};
    m_image = image;
    m_position = 0;
    m_percentStep = RoundHalfEven(image.size(), PercentDivisor);
    m_block = 0;
    m_blocksNumbered = 0;
    m_lastBlockSent = false;
    m_retries = 0;
    m_errorCode = -1;
    m_serverPort = Tftp::ServerPort;
    m_portLatched = false;
    m_lastSent = Tftp::BuildWriteRequest(FileName, Mode);
    m_state = State::AwaitingWriteAck;
    return {{{m_lastSent, m_serverPort}}, std::nullopt, Timer::Start, std::nullopt};
}

TftpClient::Step TftpClient::receive(QByteArrayView datagram, const QHostAddress &from, quint16 fromPort)
{
    // A stalled transfer sends nothing by itself, but still takes what the server says.
    if ((!isRunning() && m_state != State::Stalled) || !from.isEqual(m_server, QHostAddress::TolerantConversion))
        return {};
    const ByteReader reader(datagram);
    const std::optional<quint8> opcode = reader.u8(Tftp::OpcodeLowByteOffset);
    // The server's first answer names the port of the transfer, which may be a fresh one. Only
    // an acknowledgement or an error answers: a stray datagram from another port of the server's
    // host must not send the write request's resends and the data there.
    const bool answer = (opcode == Tftp::Ack && reader.has(Tftp::BlockOffset, 2))
        || (opcode == Tftp::Error && reader.has(Tftp::ErrorCodeLowByteOffset, 1));
    if (!m_portLatched) {
        if (answer) {
            m_serverPort = fromPort;
            m_portLatched = true;
        }
    } else if (fromPort != m_serverPort) {
        // A stranger on the server's host is told so and the transfer goes on; an ERROR is
        // never answered, so that two confused peers cannot keep each other busy.
        if (opcode == Tftp::Error)
            return {};
        return {{{ErrorDatagram(Tftp::UnknownTransferId), fromPort}}, std::nullopt, Timer::Keep, std::nullopt};
    }

    switch (opcode.value_or(0)) {
    case Tftp::Data:
        return {};
    case Tftp::Ack: {
        const std::optional<quint16> block = Tftp::AckBlockOf(datagram);
        return block ? acknowledged(*block) : Step{};
    }
    case Tftp::ReadRequest:
    case Tftp::WriteRequest:
        return fail(Outcome::Refused, Tftp::AccessViolation);
    case Tftp::Error: {
        const std::optional<quint8> code = reader.u8(Tftp::ErrorCodeLowByteOffset);
        if (!code)
            return {};
        m_errorCode = *code;
        return end(Outcome::DeviceError);
    }
    default:
        if (std::ranges::find(TolerantOsVersions, m_osVersionCode) != std::end(TolerantOsVersions))
            return {};
        return fail(Outcome::Illegal, Tftp::IllegalOperation);
    }
}

TftpClient::Step TftpClient::acknowledged(quint16 block)
{
    if (m_state != State::Stalled)
        return advance(block);
    // After a stall the timer is off; whatever resumes the transfer must leave it running, or a
    // lost datagram would leave it waiting for good.
    m_state = m_block == 0 ? State::AwaitingWriteAck : State::Sending;
    Step step = advance(block);
    if (isRunning() && step.timer == Timer::Keep)
        step.timer = Timer::Start;
    return step;
}

TftpClient::Step TftpClient::advance(quint16 block)
{
    if (m_state == State::AwaitingWriteAck) {
        // Only the acknowledgement of the write request starts the data.
        if (block != 0)
            return fail(Outcome::Stalled, Tftp::NotDefined);
        m_state = State::Sending;
    } else if (block != m_block) {
        // Blocks behind the current one, within half the number space, were acknowledged before:
        // this is a repeat, or an answer that arrived after the timer resent its block and the
        // transfer went on (RFC 1123 4.2.3.1). Answering it would double every later block (the
        // Sorcerer's Apprentice); the timer resends what is really lost.
        const quint16 behind = quint16(m_block - block);
        if (behind < HalfBlockSpace && behind <= m_blocksNumbered)
            return {};
        return fail(Outcome::Stalled, Tftp::NotDefined); // a block never sent
    } else if (m_lastBlockSent) {
        Step step = end(Outcome::Complete);
        step.percent = FullPercent;
        return step;
    }
    m_retries = 0;
    ++m_block;
    ++m_blocksNumbered;
    return nextBlock();
}

TftpClient::Step TftpClient::nextBlock()
{
    const qint64 length = std::min<qint64>(m_image.size() - m_position, Tftp::BlockSize);
    // A block shorter than 512 bytes ends the transfer, so an image of whole blocks ends with
    // an empty one.
    m_lastBlockSent = length < Tftp::BlockSize;
    Step step;
    step.percent = percentBefore(m_position);
    // The block before's buffer is reused: no step holds it any more.
    Tftp::WriteData(m_lastSent, m_block, QByteArrayView(m_image).sliced(m_position, length));
    m_position += length;
    // Appended in place: assigning a list would go through a reallocation of the array.
    step.sends.push_back({m_lastSent, m_serverPort});
    step.timer = Timer::Start;
    return step;
}

std::optional<int> TftpClient::percentBefore(qint64 position) const
{
    // Images under 50 bytes have no step, and show nothing until they are complete.
    if (m_percentStep == 0)
        return std::nullopt;
    // Positions count from 1 here, as the percentage has always been shown.
    return int(std::min<qint64>(RoundHalfEven(position + 1, m_percentStep), FullPercent));
}

TftpClient::Step TftpClient::expire()
{
    if (!isRunning())
        return {};
    ++m_retries;
    Step step{{{m_lastSent, m_serverPort}}, std::nullopt, Timer::Keep, std::nullopt};
    if (m_retries > RetryLimit) {
        step.outcome = Outcome::TimedOut;
        step.timer = Timer::Stop;
        m_state = State::Ended;
    }
    return step;
}

TftpClient::Step TftpClient::fail(Outcome outcome, Tftp::ErrorCode answer)
{
    Step step = end(outcome);
    if (outcome == Outcome::Stalled)
        m_state = State::Stalled;
    step.sends = {{ErrorDatagram(answer), m_serverPort, true}};
    return step;
}

TftpClient::Step TftpClient::end(Outcome outcome)
{
    m_state = State::Ended;
    return {{}, std::nullopt, Timer::Stop, outcome};
}

TftpClient::Step TftpClient::sendFailed()
{
    return end(Outcome::SendFailed);
}

} // namespace farlight
