// farlight-cli's runner against devices on loopback, in a private network namespace: how each
// command ends when devices stay silent, lose their adapter or cannot be chosen.
#include "cli/clirunner.h"
#include "netenv/fakeplatform.h"
#include "protocol/filterrequest.h"
#include "session/appstate.h"

#include "../support/files.h"
#include "../support/loopback.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace farlight;
using namespace farlight::cli;
using namespace Qt::StringLiterals;

namespace {
const MacAddress AdapterMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x10};
} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_listener.bind(QHostAddress::AnyIPv4, DevicePort, QUdpSocket::ShareAddress));
        QVERIFY(m_device.bind(QHostAddress(u"127.0.0.21"_s), 0));
        connect(&m_listener, &QUdpSocket::readyRead, this, &TestRunner::answerSearches);
    }

    void ends_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("devices"); // answering the search from one address
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // in what was written; for JSON the rows' results

        QTest::newRow("set-ip, silent device") << "set-ip 127.0.0.21 --dhcp" << 1 << 1 << "no answer";
        // "Done" proves little on a LAN where anyone can answer: the device must be seen where it should be.
        QTest::newRow("set-ip DHCP done, device seen again") << "set-ip AP --dhcp +" << 1 << 0 << "verified";
        QTest::newRow("set-ip done, device not at the new address")
            << "set-ip AP --ip 127.0.0.77 --mask 255.0.0.0 +" << 1 << 1 << "not verified";
        QTest::newRow("filter set --verify, the device kept nothing") << "filter set AP LIST --verify +" << 1 << 1 << "Pass; not verified";
        QTest::newRow("no such adapter") << "search --adapter eth9" << 1 << 2 << "no adapter named eth9";
        QTest::newRow("no password") << "filter get AP" << -1 << 2 << "password";
        // The credentials name the first device only: the second needs the usual password, and none was given.
        QTest::newRow("credentials, a device they do not name") << "set-ip --all --dhcp --credentials CREDS" << 2 << 2
                                                                << "a password is needed";
        // (Which devices an upload refuses for a shared address is the upload plan's own test.)
        // A chosen device the upload cannot reach is a failure of the run, never left out of it; on a
        // terminal its progress line is not drawn for it. (~: the adapter goes once the search is answered.)
        QTest::newRow("upgrade, the adapter gone") << "upgrade --all IMAGE --format json ~" << 2 << 1 << "failed,failed";
        // Standard output holds the JSON alone: the lines saying what happened go to standard error.
        QTest::newRow("JSON, set-ip") << "set-ip AP --dhcp --format json +" << 1 << 0 << "ok";
        QTest::newRow("JSON, only unknown names") << "set-ip 127.0.0.99 --dhcp --format json" << 1 << 1 << "not found";
    }

    void ends()
    {
        QFETCH(QString, arguments);
        QFETCH(int, devices);
        QFETCH(int, exitCode);
        QFETCH(QString, said);

        QTemporaryDir dir;
        const bool usual = !arguments.contains(u"CREDS"_s);
        for (const auto &[name, content] : {std::pair{u"LIST"_s, QByteArray("001122334455\r\n")},
                                            {u"IMAGE"_s, QByteArray("Brightway QM735XL ").repeated(100)},
                                            {u"CREDS"_s, QByteArray("00-0A-1B-2C-3D-40,admin\n")}}) {
            const QString path = dir.filePath(name + u".bin"_s); // an image must be a .bin; the others go by content
            QVERIFY(testsupport::writeFile(path, content, QFile::ReadOwner | QFile::WriteOwner));
            arguments.replace(name, path);
        }
        m_answerSetIp = arguments.endsWith(u" +"_s);
        arguments.remove(u" +"_s);
        const bool adapterGoes = arguments.endsWith(u" ~"_s);
        arguments.remove(u" ~"_s);

        m_macTails.clear();
        for (int i = 0; i < devices; ++i)
            m_macTails.append(quint8(0x40 + i));
        const ParsedArguments parsed = ParseArguments(arguments.split(u' '));
        QVERIFY2(parsed.command, qPrintable(parsed.text));
        FakePlatform platform;
        platform.addAdapter(u"lo"_s, AdapterMac, 1, u"127.0.0.1"_s, u"255.0.0.0"_s, u"0.0.0.0"_s);
        AppState state;
        m_dropAdapterOf = adapterGoes ? &state : nullptr;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        Console console;
        console.out = &outStream;
        console.err = &errStream;
        console.progressOnTerminal = adapterGoes;
        if (devices >= 0 && usual)
            console.passwordVariable = u"admin"_s;
        Runner runner(*parsed.command, state, platform, console);
        runner.setSearchStepInterval(std::chrono::milliseconds(10));
        runner.setAnswerTimeout(std::chrono::milliseconds(100));
        QSignalSpy finished(&runner, &Runner::finished);
        runner.start();
        QVERIFY(finished.wait(10000));
        m_dropAdapterOf = nullptr;
        QCOMPARE(finished.first().first().toInt(), exitCode);
        if (!arguments.contains(u"json"_s)) {
            QVERIFY2((out + err).contains(said), qPrintable(out + err));
            return;
        }
        QStringList results;
        for (const QJsonValue row : QJsonDocument::fromJson(out.toUtf8()).array()) {
            // A device chosen has its MAC and was timed; a name that chose none has neither.
            QCOMPARE(row[u"mac"_s].isString(), row[u"result"_s] != u"not found"_s);
            results.append(row[u"result"_s].toString());
        }
        QCOMPARE(results.join(u','), said);
    }

private:
    // Answers every search with one reply per MAC tail, all from 127.0.0.21; hears nothing else.
    void answerSearches()
    {
        while (m_listener.hasPendingDatagrams()) {
            const QNetworkDatagram request = m_listener.receiveDatagram();
            const QByteArray &data = request.data();
            const auto answer = [&](const QByteArray &reply) {
                m_device.writeDatagram(reply, request.senderAddress(), quint16(request.senderPort()));
            };
            const auto opcode = ByteReader(data).u8(PacketHeader::OpcodeOffset);
            // A set-IP request (static or DHCP) is answered "done" when the row says so.
            // So is a filter write, and a read gets an empty list: the device kept nothing.
            if ((opcode == Opcode::SetIp || opcode == Opcode::Filter) && m_answerSetIp && data.size() >= 32) {
                QByteArray reply = data.first(8) + data.sliced(26, 6) + QByteArray(9, '\0');
                if (opcode == Opcode::Filter) {
                    reply[PacketHeader::FlagOffset] = char(data[PacketHeader::FlagOffset] == char(Flag::FilterRead)
                                                               ? Flag::FilterListReply
                                                               : Flag::FilterWriteReply);
                    reply.resize(FilterLayout::ReplySize, '\0');
                }
                answer(reply);
                continue;
            }
            if (opcode != Opcode::Search)
                continue;
            for (quint8 tail : std::as_const(m_macTails))
                answer(testsupport::searchAnswer(data, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, tail}));
            if (m_dropAdapterOf)
                m_dropAdapterOf->adapterCount = 0;
        }
    }

    QUdpSocket m_listener; // port 4000, where the requests are broadcast
    QUdpSocket m_device;
    QList<quint8> m_macTails;
    bool m_answerSetIp = false;
    AppState *m_dropAdapterOf = nullptr; // loses its adapter once the search is answered
};

QTEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
