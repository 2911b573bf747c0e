#pragma once

#include <QIODevice>

namespace farlight::cli {

/// @brief Passes UTF-8 text on to a terminal with every control character but the line feed
/// shown as "?" (a CR LF line end becomes a line feed): whatever a device or another host chose
/// to put in a name, no escape sequence reaches the administrator's terminal.
class TerminalOutput : public QIODevice
{
public:
    /// @brief Writes to @p terminal, which stays open and is not owned.
    explicit TerminalOutput(QIODevice *terminal, QObject *parent = nullptr);
    ~TerminalOutput() override;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    QIODevice *m_terminal = nullptr;
    bool m_pendingCr = false;   ///< a CR ended the last write: a line end if an LF follows
    bool m_pendingLead = false; ///< the last write ended with the first byte of a U+0080..U+00FF
};

} // namespace farlight::cli
