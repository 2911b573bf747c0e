#include "netenv/adapterinventory.h"
#include "netenv/fakeplatform.h"

#include <QTest>

using namespace farlight;

Q_DECLARE_METATYPE(farlight::FakePlatform)

namespace {

constexpr quint32 Failed = 87;
constexpr qint32 Nt4 = 4400;
const QString Cleared = QStringLiteral("0.0.0.0 0.0.0.0 0.0.0.0 0");

// Every adapter and interface n has the index 0x1000000 + n and an eight-byte hardware address
// 02-00-00-00-0v-nn-EE-FF, v being 1 in the interface table, of which the entry takes six bytes.
MacAddress Mac(quint32 index, bool interfaceTable)
{
    return {2, 0, 0, 0, quint8(interfaceTable), quint8(index)};
}

// An adapter information list; every adapter has mask 255.255.255.0 and gateway 10.0.0.254.
FakePlatform Adapters(const QList<QPair<QString, QString>> &descriptionsAndAddresses,
                      quint32 sizeResult = TableResult::BufferOverflow, quint32 readResult = 0)
{
    FakePlatform platform;
    quint32 index = 0x1000000;
    for (const auto &[description, address] : descriptionsAndAddresses) {
        ++index;
        platform.addAdapter(description, Mac(index, false), index, address, "255.255.255.0", "10.0.0.254").address +=
            "\xEE\xFF";
    }
    platform.adaptersInfo.sizeResult = sizeResult;
    platform.adaptersInfo.readResult = readResult;
    return platform;
}

// An interface table and an address table of (n, address) rows with mask 255.255.255.0, in the
// given (sorted) order.
FakePlatform Interfaces(const QStringList &descriptions, const QList<QPair<quint32, QString>> &addresses)
{
    FakePlatform platform;
    quint32 index = 0x1000000;
    for (const QString &description : descriptions) {
        ++index;
        platform.addInterface(description, Mac(index, true), index).physicalAddress += "\xEE\xFF";
    }
    for (const auto &[n, address] : addresses)
        platform.addAddress(0x1000000 + n, address, "255.255.255.0");
    return platform;
}

// Expected entries as "address mask gateway HasAddress".
QString Info(const QString &address, int hasAddress)
{
    return address + " 255.255.255.0 10.0.0.254 " + QString::number(hasAddress);
}

QString Table(const QString &address)
{
    return address + " 255.255.255.0 0.0.0.0 1";
}

} // namespace

class TestAdapterInventory : public QObject
{
    Q_OBJECT

private slots:
    void inventory_data();
    void inventory();
};

void TestAdapterInventory::inventory_data()
{
    QTest::addColumn<qint32>("code");
    QTest::addColumn<FakePlatform>("platform");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<int>>("messages");

    const QList<int> none;
    const QString nulPaddedPpp = QString::fromLatin1("PPP Adapter.\0\0", 14);
    const QString nulPadded10 = QString::fromLatin1("10.1.1.1\0\0", 10);
    QTest::newRow("info: one adapter, size query answering 0")
        << 5100 << Adapters({{"Ethernet", "192.168.1.10"}}, 0) << QStringList{Info("192.168.1.10", 1)} << none;
    QTest::newRow("info: dial-up adapters only")
        << 9999 << Adapters({{"PPP Adapter.", "10.9.9.9"}, {"PPP Adapter. #2", "10.9.9.8"}, {nulPaddedPpp, "10.9.9.7"}})
        << QStringList{} << QList<int>{30};
    QTest::newRow("info: dial-up test is case-sensitive, needs 12 characters")
        << 4000 << Adapters({{"ppp adapter.", "10.1.1.1"}, {"PPP Adapter", "10.2.2.2"}})
        << QStringList{Info("10.1.1.1", 1), Info("10.2.2.2", 1)} << none;
    QTest::newRow("info: every adapter without address")
        << 4500 << Adapters({{"Ethernet", "0.0.0.0"}, {"Wireless", "0.0.0.01"}})
        << QStringList{Info("0.0.0.0", 0), Info("0.0.0.01", 0)} << QList<int>{308};
    QTest::newRow("info: one adapter with an address is enough")
        << 4800 << Adapters({{"Ethernet", "0.0.0.0"}, {"Wireless", ""}, {"Other", nulPadded10}})
        << QStringList{Info("0.0.0.0", 0), Info("", 1), Info("10.1.1.1", 1)} << none;
    {
        FakePlatform several = Adapters({{"Ethernet", "10.0.0.5"}});
        several.adaptersInfo.adapters[0].ipAddressList.append(IpAddrString{"10.0.0.1", "255.0.0.0"});
        several.adaptersInfo.adapters[0].gatewayList.append("10.0.0.253");
        QTest::newRow("info: several addresses and gateways, first of each")
            << 5000 << several << QStringList{Info("10.0.0.5", 1)} << none;
        FakePlatform bare = Adapters({{"Ethernet", "unused"}});
        bare.adaptersInfo.adapters[0].ipAddressList.clear();
        bare.adaptersInfo.adapters[0].gatewayList.clear();
        QTest::newRow("info: adapter without address lists starts cleared")
            << 0 << bare << QStringList{Cleared} << QList<int>{308};
    }
    QList<QPair<QString, QString>> twelve(11, {"Ethernet", "0.0.0.0"});
    twelve.append(QPair<QString, QString>{"Late", "10.5.5.5"});
    QTest::newRow("info: twelve adapters, eleven entered and checked")
        << 0 << Adapters(twelve) << QStringList(11, Info("0.0.0.0", 0)) << QList<int>{308};
    QTest::newRow("info: failed size query shows 29 and ends")
        << 0 << Adapters({{"Ethernet", "192.168.1.10"}}, Failed) << QStringList{} << QList<int>{29};
    QTest::newRow("info: failed read shows 29 and ends")
        << 0 << Adapters({{"Ethernet", "192.168.1.10"}}, TableResult::BufferOverflow, Failed) << QStringList{}
        << QList<int>{29};

    const QString loopback = QStringLiteral("MS TCP Loopback interface");
    QTest::newRow("table: loopback and dial-up only")
        << Nt4 << Interfaces({loopback, "PPP Adapter.", loopback + QChar(0)}, {{2, "10.0.0.2"}}) << QStringList{}
        << QList<int>{30};
    QTest::newRow("table: descriptions compared whole and exact")
        << Nt4 << Interfaces({"PPP Adapter. #2", "ms tcp loopback interface"}, {{1, "10.0.0.1"}, {2, "10.0.0.2"}})
        << QStringList{Table("10.0.0.1"), Table("10.0.0.2")} << none;
    QTest::newRow("table: several addresses on one interface, last wins")
        << Nt4 << Interfaces({loopback, "Ethernet"}, {{2, "10.0.0.1"}, {1, "127.0.0.1"}, {2, "192.168.7.7"}})
        << QStringList{Table("192.168.7.7")} << none;
    {
        FakePlatform noTable = Interfaces({"Ethernet"}, {{1, "10.0.0.1"}});
        noTable.interfaceTable.sizeBytes = 0;
        QTest::newRow("table: size query finds no table")
            << Nt4 << noTable << QStringList{} << QList<int>{30};
        FakePlatform readFails = Interfaces({"Ethernet"}, {{1, "10.0.0.1"}});
        readFails.interfaceTable.readResult = Failed;
        QTest::newRow("table: interface table read fails")
            << Nt4 << readFails << QStringList{} << QList<int>{30};
        FakePlatform addressReadFails = Interfaces({"Ethernet", "Wireless"}, {{1, "10.0.0.1"}, {2, "10.0.0.2"}});
        addressReadFails.ipAddressTableQueue = {IpAddrTable{64, Failed, {}}};
        QTest::newRow("table: failed address read, that interface starts cleared")
            << Nt4 << addressReadFails << QStringList{Cleared, Table("10.0.0.2")} << none;
    }
    QTest::newRow("table: interface without address row starts cleared")
        << Nt4 << Interfaces({"Ethernet"}, {{5, "10.0.0.5"}}) << QStringList{Cleared} << QList<int>{308};
    QTest::newRow("table: twelve interfaces, eleven entered and checked")
        << Nt4 << Interfaces(QStringList(12, "Ethernet"), {{12, "10.0.0.12"}}) << QStringList(11, Cleared)
        << QList<int>{308};
}

void TestAdapterInventory::inventory()
{
    QFETCH(qint32, code);
    QFETCH(FakePlatform, platform);
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, messages);

    for (const bool okBefore : {true, false}) {
        FakePlatform system = platform;
        // What an earlier inventory left in the table.
        AdapterArray table;
        for (int i = 0; i < AdapterTableSize; ++i)
            table[std::size_t(i)] = {"172.16.0.1", "255.255.0.0", "172.16.0.254", {}, 100 + i, 1};
        qint16 count = 99;
        bool ok = okBefore;
        const AdapterInventoryResult result = TakeAdapterInventory(code, system, table, count, ok);

        QStringList entered;
        for (int i = 0; i < count; ++i) {
            const AdapterRecord &entry = table[std::size_t(i)];
            entered.append(QStringLiteral("%1 %2 %3 %4")
                               .arg(entry.IpAddress, entry.SubnetMask, entry.Gateway)
                               .arg(entry.HasAddress));
            QCOMPARE(entry.Mac, Mac(quint32(entry.InterfaceIndex), code == Nt4));
            QVERIFY(entry.InterfaceIndex > 0x1000000);
        }
        QCOMPARE(entered, entries);
        for (int i = count; i < AdapterTableSize; ++i)
            QCOMPARE(table[std::size_t(i)].InterfaceIndex, 100 + i);
        QCOMPARE(result.messages, messages);
        // Message 29 ends the inventory before its closing checks; 308 goes with clearing the flag,
        // which is only ever cleared.
        QCOMPARE(result.finished, !messages.contains(29));
        QCOMPARE(ok, okBefore && !messages.contains(308));
        QCOMPARE(result.searchSockets, int(count));
        QCOMPARE(system.interfaceTableReads, code == Nt4 ? 1 : 0);
        QCOMPARE(system.adaptersInfoReads, code == Nt4 ? 0 : 1);
        // The address table is read afresh for every interface entered.
        QCOMPARE(system.ipAddressTableReads, code == Nt4 ? int(count) : 0);
    }
}

QTEST_GUILESS_MAIN(TestAdapterInventory)
#include "tst_adapterinventory.moc"
