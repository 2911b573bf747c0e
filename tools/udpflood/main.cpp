// udpflood: floods one UDP port with junk shaped like the answers that port waits for, as fast as
// one process can send, for the flood lab test. Like apsim it sends from addresses that are not the
// machine's, so it refuses to run outside a network namespace of its own.
//
//   udpflood --from ADDRESS --to ADDRESS --port N --kind search|tftp [--rate R] [--seconds S]
//
// It sends R datagrams a second (default: as many as it can) until S seconds have passed or it is
// terminated, then prints
// "sent COUNT in SECONDS s" on standard output. Exit status 2 for a usage error or a refused
// namespace, 1 when the socket cannot be set up.
#include "netnamespace.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"
#include "protocol/tftppacket.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace farlight;

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitRuntime = 1;
// Datagrams handed to the kernel per call, and distinct datagrams in the rotation.
constexpr unsigned Batch = 64;
constexpr std::size_t Variants = 256;

std::atomic<bool> g_stop{false};

int usage(const char *why)
{
    std::fprintf(stderr,
                 "udpflood: %s\nusage: udpflood --from ADDRESS --to ADDRESS --port N --kind search|tftp [--rate R] "
                 "[--seconds S]\n",
                 why);
    return ExitUsage;
}

// Search replies from devices nobody asked: right magic, opcode and flag; a sequence and a
// requester MAC of another workstation (never a lab adapter's, whose MACs begin with 02).
std::vector<std::uint8_t> searchReply(std::mt19937 &random)
{
    std::vector<std::uint8_t> reply(std::size_t(SearchLayout::ReplySize), 0);
    qToBigEndian(PacketHeader::Magic, reply.data());
    reply[PacketHeader::OpcodeOffset] = Opcode::Search;
    reply[PacketHeader::FlagOffset] = Flag::SearchReply;
    for (std::size_t i = 6; i < 20; ++i)
        reply[i] = std::uint8_t(random());
    reply[8] = 0;
    const std::string name = "flood-" + std::to_string(random() % 100000);
    std::memcpy(reply.data() + SearchLayout::HostNameOffset, name.data(), name.size());
    std::memcpy(reply.data() + SearchLayout::SsidOffset, name.data(), name.size());
    return reply;
}

// Acknowledgements of any block, errors and data, as another transfer's would be.
std::vector<std::uint8_t> tftpAnswer(std::mt19937 &random)
{
    const std::uint32_t roll = random();
    const std::uint16_t opcode = roll % 8 == 0 ? Tftp::Error : roll % 8 == 1 ? Tftp::Data : Tftp::Ack;
    std::vector<std::uint8_t> datagram{0, std::uint8_t(opcode), std::uint8_t(random()), std::uint8_t(random())};
    if (opcode == Tftp::Error)
        datagram.insert(datagram.end(), {'f', 'l', 'o', 'o', 'd', 0});
    else if (opcode == Tftp::Data)
        datagram.resize(datagram.size() + random() % (Tftp::BlockSize + 1), 0x5a);
    return datagram;
}

} // namespace

int main(int argc, char *argv[])
{
    std::string from, to, kind;
    int port = 0;
    double seconds = 3600;
    double rate = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char *value = argv[i + 1];
        if (option == "--from")
            from = value;
        else if (option == "--to")
            to = value;
        else if (option == "--port")
            port = std::atoi(value);
        else if (option == "--kind")
            kind = value;
        else if (option == "--seconds")
            seconds = std::atof(value);
        else if (option == "--rate")
            rate = std::atof(value);
        else
            return usage(("unknown option " + option).c_str());
    }
    if (argc % 2 != 1)
        return usage("every option takes a value");
    sockaddr_in source{}, destination{};
    source.sin_family = destination.sin_family = AF_INET;
    destination.sin_port = htons(std::uint16_t(port));
    if (inet_pton(AF_INET, from.c_str(), &source.sin_addr) != 1
        || inet_pton(AF_INET, to.c_str(), &destination.sin_addr) != 1)
        return usage("--from and --to take dotted IPv4 addresses");
    if (port <= 0 || port > 65535 || (kind != "search" && kind != "tftp") || !(seconds > 0) || !(rate >= 0))
        return usage("--port, --kind, --rate and --seconds need valid values");

    QString detail;
    if (farlight::NetNamespace::checkCurrent(&detail) != farlight::NetNamespace::Verdict::Isolated) {
        std::fprintf(stderr, "udpflood: refusing to run outside a network namespace of its own (%s)\n",
                     qPrintable(detail));
        return ExitUsage;
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&source), sizeof source) != 0) {
        std::perror("udpflood: socket");
        return ExitRuntime;
    }

    std::mt19937 random(20261206);
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (std::size_t i = 0; i < Variants; ++i)
        datagrams.push_back(kind == "search" ? searchReply(random) : tftpAnswer(random));
    std::array<iovec, Batch> parts{};
    std::array<mmsghdr, Batch> messages{};
    for (unsigned i = 0; i < Batch; ++i) {
        messages[i].msg_hdr.msg_name = &destination;
        messages[i].msg_hdr.msg_namelen = sizeof destination;
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }

    std::signal(SIGTERM, [](int) { g_stop = true; });
    std::signal(SIGINT, [](int) { g_stop = true; });
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    unsigned long long sent = 0;
    std::size_t next = 0;
    while (!g_stop && Clock::now() < end) {
        for (unsigned i = 0; i < Batch; ++i, next = (next + 1) % Variants) {
            parts[i].iov_base = datagrams[next].data();
            parts[i].iov_len = datagrams[next].size();
        }
        // A full buffer or an unreachable port loses junk, which is all it is.
        const int count = ::sendmmsg(fd, messages.data(), Batch, 0);
        if (count > 0)
            sent += unsigned(count);
        // Ahead of the given rate it waits; behind it, it sends at once.
        if (rate > 0) {
            const auto due =
                start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(sent) / rate));
            if (due > Clock::now())
                std::this_thread::sleep_until(due);
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("sent %llu in %.3f s\n", sent, elapsed);
    ::close(fd);
    return 0;
}
