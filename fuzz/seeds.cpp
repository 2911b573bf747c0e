// Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/: the simulator's
// answers (the same code as apsim in the lab) to requests built by the program's own builders,
// recorded in each target's script form, sample .MAC files, and the repository's lab
// configurations. Usage: fuzz_seeds SOURCE_DIR (the repository); run again after a layout change.
#include "discovery/devicesearch.h"
#include "firmware/firmwareimage.h"
#include "firmware/tftpclient.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"
#include "protocol/setiprequest.h"
#include "protocol/tftppacket.h"
#include "simconfig.h"
#include "simulatorcore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <cstdio>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

QString g_corpus;
constexpr MacAddress Adapter{0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A};
constexpr MacAddress SecondAdapter{0x02, 0x46, 0x4C, 0x00, 0x02, 0x0A};
const QHostAddress Workstation(QStringLiteral("192.168.77.10"));

void write(const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(g_corpus + u'/' + target);
    QFile file(g_corpus + u'/' + target + u'/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
}

// The script form of fuzzinput.h.
struct Script
{
    QByteArray bytes;
    Script &u8(quint8 v) { bytes += char(v); return *this; }
    Script &u16(quint16 v) { return u8(quint8(v >> 8)).u8(quint8(v)); }
    Script &datagram(const QByteArray &d) { u16(quint16(d.size())); bytes += d; return *this; }
};

SimulatorCore Simulator(const QString &configPath, const FaultConfig &faults = {})
{
    SimConfig config;
    if (!config.loadFile(configPath))
        std::fprintf(stderr, "%s: %s\n", qPrintable(configPath), qPrintable(config.errorString()));
    return SimulatorCore(config.devices(), faults);
}

QList<QByteArray> Answers(SimulatorCore &sim, const QByteArray &request)
{
    QList<QByteArray> answers;
    for (const OutboundDatagram &d : sim.handleManagement({request, Workstation, 50000, QHostAddress::Broadcast, DevicePort, 0}, 0))
        answers.append(d.data);
    return answers;
}

void searchSeeds(const QString &source)
{
    SimulatorCore sim = Simulator(source + u"/tests/discovery/lab/search4.json"_s);
    const QList<QByteArray> replies = Answers(sim, BuildSearchRequest(Adapter, 1));
    const QList<QByteArray> second = Answers(sim, BuildSearchRequest(SecondAdapter, 1));
    for (quint8 start : {0, 1, 2}) {
        Script s;
        s.u8(start);
        for (qsizetype i = 0; i < replies.size(); ++i)
            s.u8(quint8((i % 4) << 2)).datagram(replies[i]);
        write(u"fuzz_search_reply"_s, QStringLiteral("lab-replies-start%1").arg(start), s.bytes);
    }
    write(u"fuzz_search_reply"_s, u"repeat-other-socket-short-late"_s,
          Script().u8(0).u8(0).datagram(replies[0]).u8(0).datagram(replies[0]).u8(1).datagram(second[0])
              .u8(0).datagram(replies[1].first(SearchLayout::ReplyMinimumSize - 1)).u8(0xF4).datagram(replies[1]).bytes);
}

void setIpAndFilterSeeds(const QString &source)
{
    const QString config = source + u"/tests/ipconfig/setip_lab.json"_s;
    const AuthTarget lobby{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, Adapter, "AP-Lobby"};
    const struct
    {
        const char *name;
        const char *password;
        quint8 flag;
        quint32 address;
    } setIps[] = {{"ok", "admin", Flag::SetIpStatic, 0xC0A84D1F},
                  {"bad-password", "wrong", Flag::SetIpStatic, 0xC0A84D1F},
                  {"refused-address", "admin", Flag::SetIpStatic, 0x7F000001},
                  {"dhcp", "admin", Flag::SetIpDhcp, 0}};
    for (const auto &row : setIps) {
        SimulatorCore sim = Simulator(config);
        SequenceCounters counters;
        counters.take(SequenceCounters::SetIp);
        SetIpRequest request;
        request.build(lobby, QString::fromLatin1(row.password), row.flag, row.address, 0xFFFFFF00, 0xC0A84D01, counters);
        for (const QByteArray &reply : Answers(sim, request.datagram()))
            write(u"fuzz_setip_reply"_s, QString::fromLatin1(row.name), reply);
    }

    FaultConfig foreign;
    foreign.replyMac = SecondAdapter;
    const struct
    {
        const char *name;
        quint8 flag;
        FaultConfig faults;
    } filters[] = {{"read", Flag::FilterRead, {}}, {"write", Flag::FilterWrite, {}}, {"read-foreign-mac", Flag::FilterRead, foreign}};
    for (const auto &row : filters) {
        SimConfig c;
        c.load(R"({"devices": [{"host_name": "AP-Lobby", "mac": "00-0A-1B-2C-3D-4E", "ip": "192.168.77.21",
                   "password": "admin", "filter": ["001122334455", "00:11:22:33:44:66", "0A0B0C0D0E0F"]}]})");
        SimulatorCore sim(c.devices(), row.faults);
        SequenceCounters counters;
        FilterRequestHeader header;
        header.build(lobby, QStringLiteral("admin"), row.flag, counters);
        const QByteArray request = row.flag == Flag::FilterRead ? header.readRequest()
                                                                : header.writeRequest({{0x00, 0x0A, 1, 2, 3, 4}});
        for (const QByteArray &reply : Answers(sim, request)) {
            write(u"fuzz_filter_reply"_s, QString::fromLatin1(row.name), reply);
            write(u"fuzz_filter_reply"_s, QString::fromLatin1(row.name) + u"-cut"_s, reply.first(100));
        }
    }
}

// One upload played between the client and the simulator's TFTP server, recorded as the
// client target's script: the server's datagrams, the first from its transfer port.
void tftpSeeds(const QString &source)
{
    const struct
    {
        const char *name;
        qsizetype device; // of upload_lab.json: 0 answers from port 69, 1 from a fresh port
        qsizetype size;
        std::optional<quint16> refusal;
    } uploads[] = {{"fixed-port-1100", 0, 1100, {}}, {"fresh-port-1024", 1, 1024, {}}, {"refused", 1, 600, 3}};
    for (const auto &row : uploads) {
        FaultConfig faults;
        faults.tftpError = row.refusal;
        SimulatorCore sim = Simulator(source + u"/tests/firmware/lab/upload_lab.json"_s, faults);
        sim.setTftpPortOpener([](qsizetype) { return quint16(50200); }); // fuzz_tftp_client's port for byte 200
        const QHostAddress device = sim.device(row.device).config().ip;
        QByteArray image(row.size, '\0');
        for (qsizetype i = 0; i < image.size(); ++i)
            image[i] = char(i * 7 + i / 251); // as fuzz_tftp_client makes it
        TftpClient client(device);
        Script s;
        s.u16(quint16(row.size)).u8(0);
        const auto sends = [](const TftpClient::Step &step) {
            return QList<TftpClient::Send>(step.sends.begin(), step.sends.end());
        };
        QList<TftpClient::Send> pending = sends(client.start(image));
        for (bool first = true; !pending.isEmpty(); first = false) {
            const TftpClient::Send send = pending.takeFirst();
            for (const OutboundDatagram &d :
                 sim.handleTftp(row.device, {send.datagram, Workstation, TftpUpload::LocalPort, device, send.port}, 0)) {
                s.u8(0).u8(first && d.sourcePort != Tftp::ServerPort ? 200 : 0).datagram(d.data);
                pending += sends(client.receive(d.data, device, d.sourcePort));
            }
        }
        write(u"fuzz_tftp_client"_s, QString::fromLatin1(row.name), s.u8(3).u16(5000).bytes);
    }
}

void macFileSeeds()
{
    const QByteArray line = "000000000001\r\n";
    const struct
    {
        const char *name;
        QByteArray text;
    } files[] = {
        {"three-lines", "001122334455\r\n00A0C9123456,front desk\r\n0a0b0c0d0e0f\r\n"},
        {"lf-notes-latin1", "aabbccddeeff,h\xE9\nBBBBBBBBBBBB\n000000000000\nFFFFFFFFFFFF,broadcast\n"},
        {"repeats-no-final-newline", "001122334455\r\n001122334455,again\r\n001122334455"},
        {"128-lines", line.repeated(128)},
        {"129-lines", line.repeated(129)},
        {"bad-separator", "000000000001;x\r\n"},
    };
    for (const auto &file : files)
        write(u"fuzz_mac_file"_s, QString::fromLatin1(file.name), file.text);
}

void configSeeds(const QString &source)
{
    for (const char *path : {"lab/configs/demo.json", "tests/discovery/lab/search4.json", "tests/ipconfig/setip_lab.json",
                             "tests/firmware/lab/upload_lab_drop.json", "tests/lab/configs/tftp.json"}) {
        QFile file(source + u'/' + QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            write(u"fuzz_apsim_config"_s, QString::fromLatin1(path).replace(u'/', u'-'), file.readAll());
    }
    write(u"fuzz_apsim_config"_s, u"every-key.json"_s, R"({"comment": "every key once", "devices": [
        {"host_name": "AP-Lobby", "mac": "00-0A-1B-2C-3D-4E", "ip": "192.168.77.21", "mask": "255.255.0.0",
         "gateway": "192.168.0.1", "ssid": "lobby", "channel": 6, "wep": 1, "password": "admin", "reply": "broadcast",
         "tftp": "fixed", "filter": ["001122334455"], "segment": 2, "read_needs_password": true, "comment": ""}],
        "faults": {"seed": 7, "drop_rate": 0.5, "drop_mode": "fixed", "duplicate": 1, "delay_ms": 10, "status": 1,
         "reply_mac": "02:46:4c:00:01:0a", "tftp_error": 3, "devices": ["000A1B2C3D4E"],
         "requests": ["search", "setip", "confirm", "filter", "tftp"], "comment": ""}})");
}

// fuzz_apsim_request's events: every request kind to each device, an upload of two blocks, expiry.
void requestSeeds()
{
    Script s;
    s.u8(0);
    for (quint8 who : {0, 1, 2, 0x40, 0x80}) {
        for (quint8 kind = 0; kind < 6; ++kind) {
            s.u8(1).u8(kind).u8(who);
            if (kind == 0)
                s.u16(1);
            if (kind == 1 || kind == 2)
                s.u16(0xC0A8).u16(0x4D1F).u8(24).u16(0xC0A8).u16(0x4D01);
            if (kind == 5)
                s.u8(2).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(7).u8(8);
        }
    }
    for (quint8 device : {0x00, 0x10}) // TftpWrite, two DATA blocks, then an expiry an hour on
        s.u8(device | 3).u8(device | 4).u16(512).u8(device | 4).u16(100).u8(device | 5).u16(0xFFFF);
    write(u"fuzz_apsim_request"_s, u"requests-and-uploads"_s, s.bytes);
    write(u"fuzz_apsim_request"_s, u"raw-search"_s, Script().u8(0).u8(0).datagram(BuildSearchRequest(Adapter, 7)).u8(0).bytes);
}

} // namespace

// The test rulesets, captured from nft or forged, without their indentation.
void rulesetSeeds(const QString &source)
{
    const QDir folder(source + u"/tests/diagnosis/rulesets"_s);
    for (const QString &name : folder.entryList({u"*.json"_s}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            write(u"fuzz_nft_ruleset"_s, name, QJsonDocument::fromJson(file.readAll()).toJson(QJsonDocument::Compact));
    }
}

// An image with the signature in its text, and scripts that plant it whole, in mixed case, and
// with one byte wrong at either end.
void firmwareSeeds()
{
    QByteArray image(200, '\x5a');
    image.replace(70, qsizetype(sizeof FirmwareSignature - 1), FirmwareSignature);
    write(u"fuzz_firmware_scan"_s, u"signature-in-text"_s, Script().u8(0).datagram(image).bytes);
    const QByteArray blank(64, '\0');
    write(u"fuzz_firmware_scan"_s, u"planted-mixed-case"_s,
          Script().u8(1).u16(20).u16(0x5555).u16(0x5555).u8(0xff).u8(0).datagram(blank).bytes);
    write(u"fuzz_firmware_scan"_s, u"planted-wrong-first-and-last"_s,
          Script().u8(2).u16(3).u16(0).u16(0).u8(0).u8('c').u16(40).u16(0).u16(0).u8(16).u8('k').datagram(blank).bytes);
}

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    g_corpus = source + u"/fuzz/corpus"_s;
    searchSeeds(source);
    setIpAndFilterSeeds(source);
    tftpSeeds(source);
    macFileSeeds();
    configSeeds(source);
    requestSeeds();
    rulesetSeeds(source);
    firmwareSeeds();
    return 0;
}
