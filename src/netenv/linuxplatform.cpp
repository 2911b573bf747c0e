#include "netenv/linuxplatform.h"

#include "netenv/platformutils.h"
#include "netenv/routetable.h"
#include "protocol/macaddress.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace farlight {

namespace {

const QString RouteTablePath = QStringLiteral("/proc/net/route");
// How long to wait for the kernel's answer to a neighbour deletion.
constexpr int NetlinkReplyTimeoutMs = 1000;

// The interfaces that count as adapters, lowest interface index first.
QList<QNetworkInterface> AdapterInterfaces()
{
    QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    interfaces.removeIf([](const QNetworkInterface &candidate) {
        return !candidate.isValid() || candidate.flags().testFlag(QNetworkInterface::IsLoopBack)
            || candidate.type() == QNetworkInterface::Loopback;
    });
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const QNetworkInterface &a, const QNetworkInterface &b) { return a.index() < b.index(); });
    return interfaces;
}

// Interfaces with a hardware address shorter than six bytes (or none) get an all-zero one.
MacAddress MacOf(const QNetworkInterface &interface)
{
    QString hex = interface.hardwareAddress();
    hex.remove(QLatin1Char(':'));
    return MacFromBytes(QByteArray::fromHex(hex.toLatin1())).value_or(MacAddress{});
}

QHash<QString, QString> DefaultGateways()
{
    QFile file(RouteTablePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return DefaultGatewaysFromRouteTable(file.readAll());
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// Waits for the kernel's acknowledgement of request @p sequence; true when it reports success.
bool ReadNetlinkAck(int fd, quint32 sequence)
{
    alignas(nlmsghdr) char reply[8192];
    // A few unrelated messages at most can come first; the wait ends with the receive time-out.
    for (int attempt = 0; attempt < 8; ++attempt) {
        sockaddr_nl from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received =
            ::recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (from.nl_pid != 0)
            continue;
        const std::size_t length = std::size_t(received);
        std::size_t offset = 0;
        while (offset + sizeof(nlmsghdr) <= length) {
            nlmsghdr header;
            std::memcpy(&header, reply + offset, sizeof header);
            if (header.nlmsg_len < sizeof header || offset + header.nlmsg_len > length)
                break;
            if (header.nlmsg_seq == sequence && header.nlmsg_type == NLMSG_ERROR) {
                if (header.nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
                    return false;
                nlmsgerr answer;
                std::memcpy(&answer, reply + offset + NLMSG_HDRLEN, sizeof answer);
                return answer.error == 0;
            }
            offset += NLMSG_ALIGN(header.nlmsg_len);
        }
    }
    return false;
}

} // namespace

LinuxPlatform::LinuxPlatform(const QString &lockFilePath)
    : m_lockFilePath(lockFilePath)
{
}

LinuxPlatform::~LinuxPlatform()
{
    // The file stays: deleting it could let a starting copy lock a file that is about to go.
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

std::optional<QList<PlatformAdapter>> LinuxPlatform::adapters()
{
    const QHash<QString, QString> gateways = DefaultGateways();
    QList<PlatformAdapter> adapters;
    for (const QNetworkInterface &interface : AdapterInterfaces()) {
        PlatformAdapter adapter;
        adapter.name = interface.name();
        adapter.index = qint32(interface.index());
        adapter.mac = MacOf(interface);
        adapter.ipAddress = NoAddress;
        adapter.subnetMask = NoAddress;
        // The kernel lists the primary address first.
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                adapter.ipAddress = entry.ip().toString();
                adapter.subnetMask = entry.netmask().toString();
                break;
            }
        }
        adapter.gateway = gateways.value(interface.name(), NoAddress);
        adapters.append(adapter);
    }
    return adapters;
}

bool LinuxPlatform::removeArpEntry(qint32 interfaceIndex, const QString &ipAddress)
{
    const QHostAddress address(ipAddress);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;

    const FileDescriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (socket.get() < 0)
        return false;
    timeval timeout{};
    timeout.tv_sec = NetlinkReplyTimeoutMs / 1000;
    timeout.tv_usec = (NetlinkReplyTimeoutMs % 1000) * 1000;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    // RTM_DELNEIGH: the neighbour header names the family and interface, one attribute the address.
    static constexpr std::size_t RequestBytes = NLMSG_SPACE(sizeof(ndmsg)) + RTA_SPACE(sizeof(in_addr));
    alignas(nlmsghdr) char request[RequestBytes] = {};
    const quint32 sequence = 1;
    auto *header = reinterpret_cast<nlmsghdr *>(request);
    header->nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
    header->nlmsg_type = RTM_DELNEIGH;
    header->nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    header->nlmsg_seq = sequence;
    auto *neighbour = static_cast<ndmsg *>(NLMSG_DATA(header));
    neighbour->ndm_family = AF_INET;
    neighbour->ndm_ifindex = interfaceIndex;
    auto *attribute = reinterpret_cast<rtattr *>(request + NLMSG_ALIGN(header->nlmsg_len));
    attribute->rta_type = NDA_DST;
    attribute->rta_len = RTA_LENGTH(sizeof(in_addr));
    in_addr destination{};
    destination.s_addr = htonl(address.toIPv4Address());
    std::memcpy(RTA_DATA(attribute), &destination, sizeof destination);
    header->nlmsg_len = NLMSG_ALIGN(header->nlmsg_len) + RTA_LENGTH(sizeof(in_addr));

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket.get(), request, header->nlmsg_len, 0, reinterpret_cast<const sockaddr *>(&kernel),
                 sizeof kernel)
        < 0)
        return false;
    return ReadNetlinkAck(socket.get(), sequence);
}

bool LinuxPlatform::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool LinuxPlatform::claimSingleInstance()
{
    if (m_lockFd >= 0)
        return true;
    if (m_lockFilePath.isEmpty())
        m_lockFilePath = DefaultLockFilePath();
    const QString folder = QFileInfo(m_lockFilePath).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    const QByteArray folderName = QFile::encodeName(folder);
    ::mkdir(folderName.constData(), 0700);
    // When the lock cannot be taken at all there is no telling whether a copy runs; starting is
    // better than refusing to start forever. That holds too for a folder where another user
    // could hold or replace the lock.
    struct stat status{};
    if (::lstat(folderName.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()
        || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return true;
    const int fd = ::open(QFile::encodeName(m_lockFilePath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_lockFd = fd;
        return true;
    }
    const int code = errno;
    ::close(fd);
    return code != EWOULDBLOCK;
}

void LinuxPlatform::prepareDesktop()
{
    // Set, Qt's bridge skips its blocking status reads and connects in the background.
    static constexpr char AlwaysOn[] = "QT_LINUX_ACCESSIBILITY_ALWAYS_ON";
    if (qEnvironmentVariableIsSet(AlwaysOn))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.a11y.Bus");
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(service))
        return;
    QDBusMessage get = QDBusMessage::createMethodCall(service, QStringLiteral("/org/a11y/bus"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
    const QDBusMessage reply = bus.call(get, QDBus::Block, AccessibilityProbeMs);
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply"))
        qputenv(AlwaysOn, "1");
}

qint32 LinuxPlatform::osVersionCode()
{
    return GetOsVersionCode();
}

QString LinuxPlatform::DefaultLockFilePath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime))
        return runtime + QStringLiteral("/farlight.lock");
    return QDir::tempPath() + QStringLiteral("/farlight-%1/farlight.lock").arg(::getuid());
}

} // namespace farlight
