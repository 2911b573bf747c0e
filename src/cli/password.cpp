#include "cli/password.h"

#include "protocol/authblock.h"
#include "resources/strings.h"

#include <QFile>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#endif

namespace farlight::cli {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 MaxLineLength = 256;

// Overwrites what held a password, where the compiler cannot drop the writes as unused.
void Wipe(void *data, std::size_t size)
{
    auto *bytes = static_cast<volatile char *>(data);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = 0;
}

#if defined(Q_OS_UNIX)
// A signal that ends or stops the program during the prompt must not leave the terminal without
// echo; its handler can only reach the terminal through these.
int g_promptFd = -1;
termios g_echoing{};
termios g_quiet{};
constexpr int PromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP};

void InstallPromptHandler(int signal, struct sigaction *previous);

void RestoreEchoAndRaise(int signal)
{
    const int savedErrno = errno;
    tcsetattr(g_promptFd, TCSAFLUSH, &g_echoing);
    struct sigaction standard{};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    // Only a stop comes back here, once the shell continues the program: the prompt goes on.
    tcsetattr(g_promptFd, TCSAFLUSH, &g_quiet);
    InstallPromptHandler(signal, nullptr);
    errno = savedErrno;
}

void InstallPromptHandler(int signal, struct sigaction *previous)
{
    struct sigaction handler{};
    handler.sa_handler = RestoreEchoAndRaise;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    sigaction(signal, &handler, previous);
}
#endif

} // namespace

void Wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty())
        Wipe(bytes.data(), std::size_t(bytes.size()));
    bytes.clear();
}

QString RefuseOpenSecretFile(const QFile &file, const QString &what)
{
#if defined(Q_OS_UNIX)
    // As ssh does with keys: a secret others can read is no secret, and saying so beats using it.
    struct stat status{};
    if (::fstat(file.handle(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0)
        return text(StringId::CliSecretFileOpen)
            .arg(status.st_mode & 0777, 4, 8, QLatin1Char('0'))
            .arg(file.fileName(), what);
#else
    Q_UNUSED(file);
    Q_UNUSED(what);
#endif
    return {};
}

QString CheckPassword(const QString &password)
{
    if (!IsSingleBytePassword(password))
        return u"the password can only hold characters with a single-byte (Latin-1) code"_s;
    if (password.size() > AuthBlock::PasswordSize)
        return text(StringId::CliPasswordTooLong).arg(AuthBlock::PasswordSize);
    return {};
}

PasswordResult ResolvePassword(const PasswordSources &sources)
{
    std::optional<QString> password;
    if (!sources.file.isEmpty()) {
        QFile file(sources.file);
        if (!file.open(QIODevice::ReadOnly))
            return {std::nullopt, u"cannot read the password file %1: %2"_s.arg(sources.file, file.errorString())};
        if (const QString refusal = RefuseOpenSecretFile(file, u"password file"_s); !refusal.isEmpty())
            return {std::nullopt, refusal};
        QByteArray line = file.readLine(MaxLineLength);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        password = QString::fromUtf8(line);
        Wipe(line);
    } else if (sources.environment) {
        password = sources.environment;
    } else if (sources.prompt) {
        password = sources.prompt();
        if (!password)
            return {std::nullopt, u"no password was entered"_s};
    } else {
        return {std::nullopt, text(StringId::CliPasswordNeeded)};
    }
    if (const QString refusal = CheckPassword(*password); !refusal.isEmpty())
        return {std::nullopt, refusal};
    return {password, {}};
}

std::optional<QString> PromptWithoutEcho(const QString &prompt)
{
#if defined(Q_OS_UNIX)
    FILE *tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    // The characters typed stay in this buffer only, never in the stream's own.
    std::setvbuf(tty, nullptr, _IONBF, 0);
    const int fd = fileno(tty);
    termios saved{};
    const bool isTerminal = tcgetattr(fd, &saved) == 0;
    struct sigaction previous[std::size(PromptSignals)] = {};
    if (isTerminal) {
        g_promptFd = fd;
        g_echoing = saved;
        g_quiet = saved;
        g_quiet.c_lflag &= ~tcflag_t(ECHO);
        g_quiet.c_lflag |= ECHONL;
        for (std::size_t i = 0; i < std::size(PromptSignals); ++i)
            InstallPromptHandler(PromptSignals[i], &previous[i]);
        tcsetattr(fd, TCSAFLUSH, &g_quiet);
    }
    std::fputs(prompt.toLocal8Bit().constData(), tty);
    std::fflush(tty);
    char buffer[MaxLineLength] = {};
    const bool read = std::fgets(buffer, sizeof buffer, tty) != nullptr;
    if (isTerminal) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        for (std::size_t i = 0; i < std::size(PromptSignals); ++i)
            sigaction(PromptSignals[i], &previous[i], nullptr);
        g_promptFd = -1;
    }
    std::fclose(tty);
    QByteArray line(buffer);
    Wipe(buffer, sizeof buffer);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    std::optional<QString> password;
    if (read && isTerminal)
        password = QString::fromLocal8Bit(line);
    Wipe(line);
    return password;
#else
    Q_UNUSED(prompt);
    return std::nullopt;
#endif
}

} // namespace farlight::cli
