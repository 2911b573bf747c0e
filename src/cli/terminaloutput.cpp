#include "cli/terminaloutput.h"

namespace farlight::cli {

namespace {

constexpr char Shown = '?';
constexpr unsigned char Delete = 0x7F;
constexpr unsigned char Space = 0x20;
// In UTF-8 the C1 controls U+0080..U+009F are this lead byte and a second byte 0x80..0x9F.
constexpr unsigned char C1Lead = 0xC2;
constexpr unsigned char C1Last = 0x9F;

} // namespace

TerminalOutput::TerminalOutput(QIODevice *terminal, QObject *parent)
    : QIODevice(parent)
    , m_terminal(terminal)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

TerminalOutput::~TerminalOutput()
{
    // What a last write left pending is no line end and no character.
    if (m_pendingCr || m_pendingLead)
        m_terminal->write(&Shown, 1);
}

qint64 TerminalOutput::writeData(const char *data, qint64 size)
{
    QByteArray shown;
    shown.reserve(size);
    for (qint64 i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (m_pendingCr) {
            m_pendingCr = false;
            if (byte == '\n') {
                shown += '\n';
                continue;
            }
            shown += Shown;
        }
        if (m_pendingLead) {
            m_pendingLead = false;
            if (byte <= C1Last && byte >= 0x80) {
                shown += Shown;
                continue;
            }
            shown += char(C1Lead);
        }
        if (byte == '\r')
            m_pendingCr = true;
        else if (byte == C1Lead)
            m_pendingLead = true;
        else if ((byte < Space && byte != '\n') || byte == Delete)
            shown += Shown;
        else
            shown += char(byte);
    }
    return m_terminal->write(shown) < 0 ? -1 : size;
}

} // namespace farlight::cli
