#include "diagnosis/nftruleset.h"

#include <QFile>
#include <QTest>

using namespace farlight;
using Fate = FirewallJudgement::Fate;

class TestNftRuleset : public QObject
{
    Q_OBJECT

private slots:
    // Rulesets are the output of `nft -j list ruleset` for the .nft files beside them (capture.sh).
    void judge_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("interfaceName");
        QTest::addColumn<Fate>("search");
        QTest::addColumn<Fate>("tftp");
        QTest::addColumn<QStringList>("droppingChains"); // of the search replies

        const QStringList inetInput{"inet filter input"};
        // A drop policy with and without the two rules doctor suggests is the doctor lab test's.
        QTest::newRow("accept policy, final reject") << "reject_rule" << "eth0" << Fate::Dropped << Fate::Dropped << inetInput;
        QTest::newRow("verdict map, jump, named set") << "jump_named_set" << "eth0" << Fate::Accepted << Fate::Accepted << QStringList();
        QTest::newRow("accepted on this interface; source address unknown")
            << "per_interface" << "eth1" << Fate::Accepted << Fate::Uncertain << QStringList();
        QTest::newRow("accepted on another interface only")
            << "per_interface" << "eth0" << Fate::Dropped << Fate::Uncertain << QStringList{"ip filter input"};
        QTest::newRow("interface unknown") << "per_interface" << "" << Fate::Uncertain << Fate::Uncertain << QStringList();
        QTest::newRow("back from a jump; other interface") << "jump_returns" << "eth0" << Fate::Accepted << Fate::Dropped << QStringList();
        QTest::newRow("back from a jump; wildcard interface dropped")
            << "jump_returns" << "wlan0" << Fate::Dropped << Fate::Dropped << inetInput;
        QTest::newRow("a second input chain drops what the first accepts")
            << "two_tables" << "eth0" << Fate::Dropped << Fate::Accepted << QStringList{"ip guard input"};
        // Each would recurse without end or for years without a bound on its work.
        QTest::newRow("jumps that fan out, 15 deep") << "fanout_jumps" << "eth0" << Fate::Accepted << Fate::Accepted << QStringList();
        QTest::newRow("a chain that jumps to itself") << "self_jump" << "eth0" << Fate::Uncertain << Fate::Uncertain << QStringList();
        QTest::newRow("a set and a map among their own elements")
            << "self_set" << "eth0" << Fate::Accepted << Fate::Uncertain << QStringList();
    }

    void judge()
    {
        QFETCH(QString, file);
        QFETCH(QString, interfaceName);
        QFETCH(Fate, search);
        QFETCH(Fate, tftp);
        QFETCH(QStringList, droppingChains);

        QFile json(QStringLiteral(RULESETS "/%1.json").arg(file));
        QVERIFY(json.open(QIODevice::ReadOnly));
        const auto ruleset = NftRuleset::parse(json.readAll());
        QVERIFY(ruleset);
        const FirewallJudgement searchReply = ruleset->judge(NftRuleset::Traffic::SearchReply, interfaceName);
        QCOMPARE(searchReply.fate, search);
        QCOMPARE(searchReply.droppingChains, droppingChains);
        QCOMPARE(ruleset->judge(NftRuleset::Traffic::TftpReply, interfaceName).fate, tftp);
        QVERIFY(ruleset->filtersInput()); // an empty ruleset is the host checks' "no input chain"
    }

    void notARuleset_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("error text") << QByteArray("Error: Operation not permitted\n");
        QTest::newRow("other JSON") << QByteArray(R"({"rules": []})");
        QTest::newRow("cut short") << QByteArray(R"({"nftables": [{"metainfo": {"version": "1.0.6")");
    }

    void notARuleset()
    {
        QFETCH(QByteArray, json);
        QString error;
        QVERIFY(!NftRuleset::parse(json, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNftRuleset)
#include "tst_nftruleset.moc"
