// Lab test: the management exchanges against the simulator over real UDP, from the workstation
// namespace of a lab (run through lab/with-lab.sh, see farlight_add_lab_test). Requests are built
// with the program's own codecs, so this also checks that program and simulator agree.

#include "protocol/authblock.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"
#include "protocol/sequencecounters.h"
#include "protocol/setiprequest.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTest>
#include <QUdpSocket>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

/// Upper bound for an answer to arrive; the devices answer at once, so this only ends a failing wait.
constexpr int AnswerWaitMs = 3000;
/// How long silence is awaited where no answer must come.
constexpr int SilenceWaitMs = 1000;

const MacAddress LobbyMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
const MacAddress BranchMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x60};
const MacAddress ShortMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x51};

quint32 ipv4(const char *text)
{
    return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
}

} // namespace

class TestLabExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void searchIsAnsweredInEachReplyMode();
    void staticSetIpWithRightPassword();
    void setIpWithWrongPasswordChangesNothing();
    void dhcpOnForeignSubnetDeviceAnswersByBroadcast();
    void oneCharacterHostName();
    void filterListRoundTrip();
    void requestForAnotherMacIsNotAnswered();

private:
    QList<QNetworkDatagram> exchange(const QByteArray &request, int expected);
    QJsonObject deviceState(const MacAddress &mac) const;
    AuthTarget target(const MacAddress &mac, const QByteArray &hostName) const
    {
        return AuthTarget{mac, m_adapterMac, hostName};
    }

    QUdpSocket m_socket;
    uint m_interfaceIndex = 0;
    QHostAddress m_localAddress;
    MacAddress m_adapterMac{};
    SequenceCounters m_counters;
    quint16 m_searchSequence = 1;
};

void TestLabExchange::initTestCase()
{
    const QByteArray state = qgetenv("FARLIGHT_LAB_STATE");
    if (state.isEmpty())
        QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
    const QString iface = qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IFACE");
    m_interfaceIndex = uint(QNetworkInterface::interfaceIndexFromName(iface));
    QVERIFY2(m_interfaceIndex != 0, qPrintable(iface));
    m_localAddress = QHostAddress(qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_IP"));
    const auto mac = ParseMac(qEnvironmentVariable("FARLIGHT_LAB_ADAPTER1_MAC"));
    QVERIFY(mac);
    m_adapterMac = *mac;
    // The wildcard address hears unicast and broadcast answers alike.
    QVERIFY(m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
}

QList<QNetworkDatagram> TestLabExchange::exchange(const QByteArray &request, int expected)
{
    while (m_socket.hasPendingDatagrams())
        m_socket.receiveDatagram();
    // The workstation has no default route: the interface index picks the link for the broadcast.
    QNetworkDatagram datagram(request, QHostAddress(QHostAddress::Broadcast), DevicePort);
    datagram.setInterfaceIndex(m_interfaceIndex);
    if (m_socket.writeDatagram(datagram) != request.size()) {
        qWarning() << "send failed:" << m_socket.errorString();
        return {};
    }
    QList<QNetworkDatagram> replies;
    QDeadlineTimer deadline(expected > 0 ? AnswerWaitMs : SilenceWaitMs);
    while (!deadline.hasExpired() && (expected == 0 || replies.size() < expected)) {
        if (!m_socket.hasPendingDatagrams())
            m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        while (m_socket.hasPendingDatagrams())
            replies.append(m_socket.receiveDatagram());
    }
    return replies;
}

QJsonObject TestLabExchange::deviceState(const MacAddress &mac) const
{
    QFile file(qEnvironmentVariable("FARLIGHT_LAB_STATE"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray devices = QJsonDocument::fromJson(file.readAll()).object()[u"devices"].toArray();
    for (const QJsonValue device : devices) {
        if (device[u"mac"].toString() == FormatMac(mac))
            return device.toObject();
    }
    return {};
}

void TestLabExchange::searchIsAnsweredInEachReplyMode()
{
    const QByteArray request = BuildSearchRequest(m_adapterMac, m_searchSequence);
    const auto replies = exchange(request, 3);
    QCOMPARE(replies.size(), 3);
    QHash<QString, QNetworkDatagram> bySource;
    for (const QNetworkDatagram &reply : replies) {
        QVERIFY(IsSearchReply(reply.data(), request));
        QCOMPARE(reply.senderPort(), int(DevicePort));
        bySource.insert(reply.senderAddress().toString(), reply);
    }
    QCOMPARE(bySource.value(u"192.168.77.21"_s).destinationAddress(), m_localAddress);
    QCOMPARE(bySource.value(u"192.168.77.24"_s).destinationAddress(), m_localAddress);
    QCOMPARE(bySource.value(u"10.99.0.5"_s).destinationAddress(), QHostAddress(QHostAddress::Broadcast));
    const auto branch = SearchReply::parse(bySource.value(u"10.99.0.5"_s).data());
    QVERIFY(branch);
    QCOMPARE(branch->hostName, u"AP-Branch"_s);
    QCOMPARE(branch->sequence, m_searchSequence);
    QVERIFY(MacEqual(branch->deviceMac, BranchMac));
}

void TestLabExchange::staticSetIpWithRightPassword()
{
    SetIpRequest request;
    request.build(target(LobbyMac, "AP-Lobby"), u"admin"_s, Flag::SetIpStatic, ipv4("192.168.1.20"),
                  ipv4("255.255.255.0"), ipv4("192.168.1.1"), m_counters);
    const auto replies = exchange(request.datagram(), 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].senderAddress().toString(), u"192.168.77.21"_s);
    QCOMPARE(replies[0].destinationAddress(), m_localAddress);
    QVERIFY(request.isReply(replies[0].data()));
    QCOMPARE(SetIpReply::status(replies[0].data()), std::optional<quint16>(0));

    // The state is written before the answer leaves.
    QJsonObject state = deviceState(LobbyMac);
    QCOMPARE(state[u"ip"].toString(), u"192.168.1.20"_s);
    QCOMPARE(state[u"mask"].toString(), u"255.255.255.0"_s);
    QCOMPARE(state[u"gateway"].toString(), u"192.168.1.1"_s);
    QCOMPARE(state[u"dhcp"].toBool(), false);

    const QByteArray confirmation = BuildConfirmRequest(target(LobbyMac, "AP-Lobby"), u"admin"_s, m_counters);
    QVERIFY(exchange(confirmation, 0).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(deviceState(LobbyMac)[u"confirmations"].toInt(), 1, AnswerWaitMs);
}

void TestLabExchange::setIpWithWrongPasswordChangesNothing()
{
    SetIpRequest request;
    request.build(target(ShortMac, "X"), u"wrong"_s, Flag::SetIpStatic, ipv4("192.168.1.30"), ipv4("255.255.255.0"),
                  0, m_counters);
    const auto replies = exchange(request.datagram(), 1);
    QCOMPARE(replies.size(), 1);
    QVERIFY(request.isReply(replies[0].data()));
    QCOMPARE(SetIpReply::status(replies[0].data()), std::optional<quint16>(255));
    QCOMPARE(deviceState(ShortMac)[u"ip"].toString(), u"192.168.77.24"_s);
}

void TestLabExchange::dhcpOnForeignSubnetDeviceAnswersByBroadcast()
{
    SetIpRequest request;
    request.build(target(BranchMac, "AP-Branch"), u"branch-pw"_s, Flag::SetIpDhcp, 0, 0, 0, m_counters);
    QCOMPARE(request.datagram().size(), 32);
    const auto replies = exchange(request.datagram(), 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].senderAddress().toString(), u"10.99.0.5"_s);
    QCOMPARE(replies[0].destinationAddress(), QHostAddress(QHostAddress::Broadcast));
    QVERIFY(request.isReply(replies[0].data()));
    QCOMPARE(SetIpReply::status(replies[0].data()), std::optional<quint16>(0));
    QCOMPARE(deviceState(BranchMac)[u"dhcp"].toBool(), true);
}

void TestLabExchange::oneCharacterHostName()
{
    SetIpRequest request;
    request.build(target(ShortMac, "X"), u"x"_s, Flag::SetIpStatic, ipv4("192.168.1.31"), ipv4("255.255.255.0"), 0,
                  m_counters);
    const auto replies = exchange(request.datagram(), 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(SetIpReply::status(replies[0].data()), std::optional<quint16>(0));
    QCOMPARE(deviceState(ShortMac)[u"ip"].toString(), u"192.168.1.31"_s);
}

void TestLabExchange::filterListRoundTrip()
{
    FilterRequestHeader header;
    header.build(target(LobbyMac, "AP-Lobby"), QString(), Flag::FilterRead, m_counters);
    auto replies = exchange(header.readRequest(), 1);
    QCOMPARE(replies.size(), 1);
    QVERIFY(header.isReply(replies[0].data()));
    auto reply = FilterReply::parse(replies[0].data());
    QVERIFY(reply);
    QCOMPARE(reply->flag, Flag::FilterListReply);
    QCOMPARE(reply->status, quint16(0));
    QCOMPARE(reply->addresses.size(), 1);
    QCOMPARE(MacKey(reply->addresses[0]), u"001122334455"_s);

    const QList<MacAddress> list{*ParseMac(u"AABBCC000001"), *ParseMac(u"AABBCC000002")};
    header.build(target(LobbyMac, "AP-Lobby"), u"admin"_s, Flag::FilterWrite, m_counters);
    replies = exchange(header.writeRequest(list), 1);
    QCOMPARE(replies.size(), 1);
    QVERIFY(header.isReply(replies[0].data()));
    reply = FilterReply::parse(replies[0].data());
    QCOMPARE(reply->flag, Flag::FilterWriteReply);
    QCOMPARE(reply->status, quint16(0));
    QCOMPARE(deviceState(LobbyMac)[u"filter"].toArray(), (QJsonArray{u"AABBCC000001"_s, u"AABBCC000002"_s}));

    header.build(target(LobbyMac, "AP-Lobby"), u"wrong"_s, Flag::FilterWrite, m_counters);
    replies = exchange(header.writeRequest({}), 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(FilterReply::parse(replies[0].data())->status, quint16(0xFF));
    QCOMPARE(deviceState(LobbyMac)[u"filter"].toArray().size(), 2);
}

void TestLabExchange::requestForAnotherMacIsNotAnswered()
{
    SetIpRequest request;
    const MacAddress stranger{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x99};
    request.build(target(stranger, "AP-Lobby"), u"admin"_s, Flag::SetIpDhcp, 0, 0, 0, m_counters);
    QVERIFY(exchange(request.datagram(), 0).isEmpty());
    QCOMPARE(deviceState(LobbyMac)[u"dhcp"].toBool(), false);
}

QTEST_GUILESS_MAIN(TestLabExchange)
#include "tst_labexchange.moc"
