#include "cli/password.h"

#include "protocol/authblock.h"

#include <QFile>

#if defined(Q_OS_UNIX)
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace farlight::cli {

using namespace Qt::StringLiterals;

PasswordResult ResolvePassword(const PasswordSources &sources)
{
    std::optional<QString> password;
    if (!sources.file.isEmpty()) {
        QFile file(sources.file);
        if (!file.open(QIODevice::ReadOnly))
            return {std::nullopt, u"cannot read the password file %1: %2"_s.arg(sources.file, file.errorString())};
        QByteArray line = file.readLine(256);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        password = QString::fromUtf8(line);
    } else if (sources.environment) {
        password = sources.environment;
    } else if (sources.prompt) {
        password = sources.prompt();
        if (!password)
            return {std::nullopt, u"no password was entered"_s};
    } else {
        return {std::nullopt, u"a password is needed: give --password-file FILE or set FARLIGHT_PASSWORD"_s};
    }
    if (!IsSingleBytePassword(*password))
        return {std::nullopt, u"the password can only hold characters with a single-byte (Latin-1) code"_s};
    if (password->size() > AuthBlock::PasswordSize)
        return {std::nullopt, u"the password is longer than the device's %1 characters"_s.arg(AuthBlock::PasswordSize)};
    return {password, {}};
}

std::optional<QString> PromptWithoutEcho(const QString &prompt)
{
#if defined(Q_OS_UNIX)
    FILE *tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    const int fd = fileno(tty);
    termios saved{};
    const bool isTerminal = tcgetattr(fd, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::fputs(prompt.toLocal8Bit().constData(), tty);
    std::fflush(tty);
    char buffer[256] = {};
    const bool read = std::fgets(buffer, sizeof buffer, tty) != nullptr;
    if (isTerminal)
        tcsetattr(fd, TCSAFLUSH, &saved);
    std::fclose(tty);
    if (!read || !isTerminal)
        return std::nullopt;
    QByteArray line(buffer);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
#else
    Q_UNUSED(prompt);
    return std::nullopt;
#endif
}

} // namespace farlight::cli
