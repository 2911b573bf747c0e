#include "netenv/adapterinventory.h"
#include "netenv/fakeplatform.h"

#include <QTest>

using namespace farlight;

Q_DECLARE_METATYPE(QList<farlight::AdapterInfo>)
Q_DECLARE_METATYPE(QList<farlight::IfRow>)
Q_DECLARE_METATYPE(QList<farlight::IpAddrTable>)

namespace {

constexpr quint32 Success = 0;
constexpr quint32 BufferOverflow = 111;
constexpr quint32 InvalidParameter = 87;
constexpr quint32 NoData = 232;
constexpr qint32 InterfaceTableVersion = 4400;

AdapterInfo Adapter(const QString &description, const QString &ip, quint32 index = 0)
{
    AdapterInfo adapter;
    adapter.description = description;
    adapter.index = index;
    adapter.address = QByteArray::fromHex("020000000000");
    adapter.address[5] = char(index);
    adapter.ipAddressList.append({ip, QStringLiteral("255.255.255.0")});
    adapter.gatewayList.append(QStringLiteral("0.0.0.0"));
    return adapter;
}

QList<AdapterInfo> UsableAdapters(int count)
{
    QList<AdapterInfo> adapters;
    for (int i = 0; i < count; ++i)
        adapters.append(Adapter(QStringLiteral("Ethernet %1").arg(i), QStringLiteral("10.0.%1.1").arg(i), quint32(i + 1)));
    return adapters;
}

QStringList FirstAddresses(int count)
{
    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses.append(QStringLiteral("10.0.%1.1").arg(i));
    return addresses;
}

IfRow Interface(const QString &description, quint32 index)
{
    IfRow row;
    row.index = index;
    row.description = description;
    row.physicalAddress = QByteArray::fromHex("0a0b0c0d0e0f0000");
    return row;
}

quint32 Numeric(const char *dotted)
{
    const QStringList parts = QString::fromLatin1(dotted).split(u'.');
    quint32 value = 0;
    for (const QString &part : parts)
        value = (value << 8) | part.toUInt();
    return value;
}

IpAddrTable AddressTable(std::initializer_list<IpAddrRow> rows)
{
    IpAddrTable table;
    table.rows = rows;
    table.sizeBytes = 16 * qint64(table.rows.size());
    return table;
}

IpAddrTable FailedAddressTable()
{
    IpAddrTable table;
    table.sizeBytes = 64;
    table.readResult = InvalidParameter;
    return table;
}

// An entry that an earlier inventory filled, for checking what a new inventory keeps.
AdapterRecord StaleEntry(int i)
{
    AdapterRecord entry;
    entry.IpAddress = QStringLiteral("172.16.0.%1").arg(i);
    entry.SubnetMask = QStringLiteral("255.255.0.0");
    entry.Gateway = QStringLiteral("172.16.0.254");
    entry.Mac = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, quint8(i)};
    entry.InterfaceIndex = 100 + i;
    entry.HasAddress = 1;
    return entry;
}

AdapterArray StaleTable()
{
    AdapterArray table;
    for (int i = 0; i < AdapterTableSize; ++i)
        table[std::size_t(i)] = StaleEntry(i);
    return table;
}

} // namespace

class TestAdapterInventory : public QObject
{
    Q_OBJECT

private slots:
    void adapterInfoVariant_data();
    void adapterInfoVariant();
    void adapterInfoFillsEveryField();
    void adapterInfoTakesFirstAddressAndGateway();
    void interfaceTableVariant_data();
    void interfaceTableVariant();
    void interfaceTableFillsEveryField();
    void interfaceTableEntryWithoutAddressStartsCleared();
    void entriesBeyondCountKeepEarlierContents();
    void adaptersOkIsOnlyCleared();
    void variantChosenByVersionCode_data();
    void variantChosenByVersionCode();
};

void TestAdapterInventory::adapterInfoVariant_data()
{
    QTest::addColumn<QList<AdapterInfo>>("adapters");
    QTest::addColumn<quint32>("sizeResult");
    QTest::addColumn<quint32>("readResult");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QList<int>>("hasAddress");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<bool>("adaptersOk");
    QTest::addColumn<bool>("finished");

    const QList<int> none;
    const QString eth = QStringLiteral("Ethernet");

    QTest::newRow("one adapter") << QList<AdapterInfo>{Adapter(eth, "192.168.1.10")} << BufferOverflow << Success
                                 << QStringList{"192.168.1.10"} << QList<int>{1} << none << true << true;
    QTest::newRow("size query answering success counts")
        << QList<AdapterInfo>{Adapter(eth, "192.168.1.10")} << Success << Success << QStringList{"192.168.1.10"}
        << QList<int>{1} << none << true << true;
    QTest::newRow("no adapters at all") << QList<AdapterInfo>{} << BufferOverflow << Success << QStringList{}
                                        << QList<int>{} << QList<int>{30} << true << true;
    QTest::newRow("dial-up adapter only")
        << QList<AdapterInfo>{Adapter("PPP Adapter.", "0.0.0.0")} << BufferOverflow << Success << QStringList{}
        << QList<int>{} << QList<int>{30} << true << true;
    QTest::newRow("description beginning like a dial-up adapter is skipped")
        << QList<AdapterInfo>{Adapter("PPP Adapter. #2", "10.9.9.9"), Adapter(eth, "10.1.1.1")} << BufferOverflow
        << Success << QStringList{"10.1.1.1"} << QList<int>{1} << none << true << true;
    QTest::newRow("NUL-padded dial-up description is skipped")
        << QList<AdapterInfo>{Adapter(QString::fromLatin1("PPP Adapter.\0\0\0", 15), "10.9.9.9")} << BufferOverflow
        << Success << QStringList{} << QList<int>{} << QList<int>{30} << true << true;
    QTest::newRow("prefix test is case-sensitive and needs all twelve characters")
        << QList<AdapterInfo>{Adapter("ppp adapter.", "10.1.1.1"), Adapter("PPP Adapter", "10.2.2.2")}
        << BufferOverflow << Success << QStringList{"10.1.1.1", "10.2.2.2"} << QList<int>{1, 1} << none << true
        << true;
    QTest::newRow("every adapter without address")
        << QList<AdapterInfo>{Adapter(eth, "0.0.0.0"), Adapter("Wireless", "0.0.0.0")} << BufferOverflow << Success
        << QStringList{"0.0.0.0", "0.0.0.0"} << QList<int>{0, 0} << QList<int>{308} << false << true;
    QTest::newRow("one of two without address")
        << QList<AdapterInfo>{Adapter(eth, "0.0.0.0"), Adapter("Wireless", "192.168.0.3")} << BufferOverflow
        << Success << QStringList{"0.0.0.0", "192.168.0.3"} << QList<int>{0, 1} << none << true << true;
    QTest::newRow("text beginning with 0.0.0.0 has no address")
        << QList<AdapterInfo>{Adapter(eth, "0.0.0.01")} << BufferOverflow << Success << QStringList{"0.0.0.01"}
        << QList<int>{0} << QList<int>{308} << false << true;
    QTest::newRow("empty address text counts as an address")
        << QList<AdapterInfo>{Adapter(eth, "")} << BufferOverflow << Success << QStringList{""} << QList<int>{1}
        << none << true << true;
    QTest::newRow("NUL-padded address text is cut")
        << QList<AdapterInfo>{Adapter(eth, QString::fromLatin1("10.1.1.1\0\0\0\0", 12))} << BufferOverflow
        << Success << QStringList{"10.1.1.1"} << QList<int>{1} << none << true << true;
    {
        AdapterInfo bare = Adapter(eth, "unused");
        bare.ipAddressList.clear();
        bare.gatewayList.clear();
        QTest::newRow("adapter without address list has none")
            << QList<AdapterInfo>{bare} << BufferOverflow << Success << QStringList{"0.0.0.0"} << QList<int>{0}
            << QList<int>{308} << false << true;
    }
    QTest::newRow("eleven usable adapters") << UsableAdapters(11) << BufferOverflow << Success << FirstAddresses(11)
                                            << QList<int>(11, 1) << none << true << true;
    QTest::newRow("twelve usable adapters stop at eleven and still finish")
        << UsableAdapters(12) << BufferOverflow << Success << FirstAddresses(11) << QList<int>(11, 1) << none << true
        << true;
    {
        QList<AdapterInfo> adapters = UsableAdapters(11);
        adapters.insert(3, Adapter("PPP Adapter.", "10.9.9.9"));
        QTest::newRow("dial-up adapter does not take a place")
            << adapters << BufferOverflow << Success << FirstAddresses(11) << QList<int>(11, 1) << none << true << true;
    }
    {
        QList<AdapterInfo> adapters;
        for (int i = 0; i < 12; ++i)
            adapters.append(Adapter(QStringLiteral("Ethernet %1").arg(i), "0.0.0.0", quint32(i + 1)));
        adapters.append(Adapter("Late", "10.5.5.5"));
        QTest::newRow("an address beyond the eleventh adapter is not seen")
            << adapters << BufferOverflow << Success << QStringList(11, "0.0.0.0") << QList<int>(11, 0)
            << QList<int>{308} << false << true;
    }
    QTest::newRow("failed size query shows 29 and ends")
        << QList<AdapterInfo>{Adapter(eth, "192.168.1.10")} << InvalidParameter << Success << QStringList{}
        << QList<int>{} << QList<int>{29} << true << false;
    QTest::newRow("no data from size query shows 29 and ends")
        << QList<AdapterInfo>{} << NoData << Success << QStringList{} << QList<int>{} << QList<int>{29} << true << false;
    QTest::newRow("failed read shows 29 once and ends")
        << QList<AdapterInfo>{Adapter(eth, "192.168.1.10")} << BufferOverflow << InvalidParameter << QStringList{}
        << QList<int>{} << QList<int>{29} << true << false;
    QTest::newRow("failed size query and failed read show 29 once")
        << QList<AdapterInfo>{Adapter(eth, "192.168.1.10")} << InvalidParameter << InvalidParameter << QStringList{}
        << QList<int>{} << QList<int>{29} << true << false;
}

void TestAdapterInventory::adapterInfoVariant()
{
    QFETCH(QList<AdapterInfo>, adapters);
    QFETCH(quint32, sizeResult);
    QFETCH(quint32, readResult);
    QFETCH(QStringList, addresses);
    QFETCH(QList<int>, hasAddress);
    QFETCH(QList<int>, messages);
    QFETCH(bool, adaptersOk);
    QFETCH(bool, finished);

    AdapterInfoList list;
    list.sizeResult = sizeResult;
    list.readResult = readResult;
    list.adapters = adapters;
    AdapterArray table;
    qint16 count = 99;
    bool ok = true;
    const AdapterInventoryResult result = TakeAdapterInfoInventory(list, table, count, ok);

    QCOMPARE(count, qint16(addresses.size()));
    QStringList entered;
    QList<int> entryHasAddress;
    for (int i = 0; i < count; ++i) {
        entered.append(table[std::size_t(i)].IpAddress);
        entryHasAddress.append(table[std::size_t(i)].HasAddress);
    }
    QCOMPARE(entered, addresses);
    if (finished)
        QCOMPARE(entryHasAddress, hasAddress);
    QCOMPARE(result.messages, messages);
    QCOMPARE(ok, adaptersOk);
    QCOMPARE(result.finished, finished);
    QCOMPARE(result.searchSockets, int(count));
}

void TestAdapterInventory::adapterInfoFillsEveryField()
{
    AdapterInfo adapter;
    adapter.description = QStringLiteral("Realtek PCIe GbE Family Controller");
    adapter.address = QByteArray::fromHex("000a1b2c3d4e");
    adapter.index = 0x10007;
    adapter.ipAddressList.append({QStringLiteral("192.168.1.10"), QStringLiteral("255.255.255.0")});
    adapter.gatewayList.append(QStringLiteral("192.168.1.1"));
    AdapterInfoList list;
    list.adapters = {adapter};

    AdapterArray table;
    qint16 count = 0;
    bool ok = true;
    TakeAdapterInfoInventory(list, table, count, ok);

    QCOMPARE(count, qint16(1));
    const AdapterRecord &entry = table[0];
    QCOMPARE(entry.IpAddress, QStringLiteral("192.168.1.10"));
    QCOMPARE(entry.SubnetMask, QStringLiteral("255.255.255.0"));
    QCOMPARE(entry.Gateway, QStringLiteral("192.168.1.1"));
    QCOMPARE(entry.Mac, (MacAddress{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    QCOMPARE(entry.InterfaceIndex, qint32(0x10007));
    QCOMPARE(entry.HasAddress, qint16(1));
}

void TestAdapterInventory::adapterInfoTakesFirstAddressAndGateway()
{
    AdapterInfo adapter = Adapter(QStringLiteral("Ethernet"), "unused");
    adapter.ipAddressList = {{QStringLiteral("10.0.0.5"), QStringLiteral("255.0.0.0")},
                             {QStringLiteral("10.0.0.1"), QStringLiteral("255.255.0.0")}};
    adapter.gatewayList = {QStringLiteral("10.0.0.254"), QStringLiteral("10.0.0.253")};
    // A hardware address longer than six bytes contributes its first six.
    adapter.address = QByteArray::fromHex("0102030405060708");
    AdapterInfoList list;
    list.adapters = {adapter};

    AdapterArray table;
    qint16 count = 0;
    bool ok = true;
    TakeAdapterInfoInventory(list, table, count, ok);

    QCOMPARE(count, qint16(1));
    QCOMPARE(table[0].IpAddress, QStringLiteral("10.0.0.5"));
    QCOMPARE(table[0].SubnetMask, QStringLiteral("255.0.0.0"));
    QCOMPARE(table[0].Gateway, QStringLiteral("10.0.0.254"));
    QCOMPARE(table[0].Mac, (MacAddress{1, 2, 3, 4, 5, 6}));
}

void TestAdapterInventory::interfaceTableVariant_data()
{
    QTest::addColumn<QList<IfRow>>("rows");
    QTest::addColumn<qint64>("sizeBytes");
    QTest::addColumn<quint32>("readResult");
    QTest::addColumn<QList<IpAddrTable>>("addressReads");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QList<int>>("hasAddress");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<bool>("adaptersOk");
    QTest::addColumn<int>("addressTableReads");

    const QList<int> none;
    const IpAddrTable oneAddress = AddressTable({{Numeric("192.168.1.10"), 2, Numeric("255.255.255.0")}});
    const QList<IfRow> loopbackAndEthernet{Interface("MS TCP Loopback interface", 1), Interface("Ethernet", 2)};

    QTest::newRow("loopback and one interface with address")
        << loopbackAndEthernet << qint64(200) << Success << QList<IpAddrTable>{oneAddress}
        << QStringList{"192.168.1.10"} << QList<int>{1} << none << true << 1;
    QTest::newRow("loopback and dial-up only")
        << QList<IfRow>{Interface("MS TCP Loopback interface", 1), Interface("PPP Adapter.", 2)} << qint64(200)
        << Success << QList<IpAddrTable>{oneAddress} << QStringList{} << QList<int>{} << QList<int>{30} << true << 0;
    QTest::newRow("NUL-padded loopback description is skipped")
        << QList<IfRow>{Interface(QString::fromLatin1("MS TCP Loopback interface\0\0", 27), 1)} << qint64(100)
        << Success << QList<IpAddrTable>{} << QStringList{} << QList<int>{} << QList<int>{30} << true << 0;
    QTest::newRow("descriptions must match whole and exact")
        << QList<IfRow>{Interface("PPP Adapter. #2", 2), Interface("ms tcp loopback interface", 3)} << qint64(200)
        << Success
        << QList<IpAddrTable>{AddressTable({{Numeric("10.0.0.2"), 2, Numeric("255.0.0.0")},
                                            {Numeric("10.0.0.3"), 3, Numeric("255.0.0.0")}})}
        << QStringList{"10.0.0.2", "10.0.0.3"} << QList<int>{1, 1} << none << true << 2;
    QTest::newRow("several addresses on one interface: last in table wins")
        << loopbackAndEthernet << qint64(200) << Success
        << QList<IpAddrTable>{AddressTable({{Numeric("10.0.0.1"), 2, Numeric("255.0.0.0")},
                                            {Numeric("127.0.0.1"), 1, Numeric("255.0.0.0")},
                                            {Numeric("192.168.7.7"), 2, Numeric("255.255.255.0")}})}
        << QStringList{"192.168.7.7"} << QList<int>{1} << none << true << 1;
    QTest::newRow("size query finds no table")
        << loopbackAndEthernet << qint64(0) << Success << QList<IpAddrTable>{oneAddress} << QStringList{}
        << QList<int>{} << QList<int>{30} << true << 0;
    QTest::newRow("negative size finds no table")
        << loopbackAndEthernet << qint64(-1) << Success << QList<IpAddrTable>{oneAddress} << QStringList{}
        << QList<int>{} << QList<int>{30} << true << 0;
    QTest::newRow("interface table read fails")
        << loopbackAndEthernet << qint64(200) << InvalidParameter << QList<IpAddrTable>{oneAddress} << QStringList{}
        << QList<int>{} << QList<int>{30} << true << 0;
    QTest::newRow("no matching address row")
        << QList<IfRow>{Interface("Ethernet", 5)} << qint64(100) << Success << QList<IpAddrTable>{oneAddress}
        << QStringList{"0.0.0.0"} << QList<int>{0} << QList<int>{308} << false << 1;
    QTest::newRow("address table empty")
        << QList<IfRow>{Interface("Ethernet", 2)} << qint64(100) << Success << QList<IpAddrTable>{IpAddrTable{}}
        << QStringList{"0.0.0.0"} << QList<int>{0} << QList<int>{308} << false << 1;
    {
        const IpAddrTable both = AddressTable({{Numeric("10.0.0.2"), 2, Numeric("255.0.0.0")},
                                               {Numeric("10.0.0.3"), 3, Numeric("255.0.0.0")}});
        QTest::newRow("address table read fails for one interface only")
            << QList<IfRow>{Interface("Ethernet", 2), Interface("Wireless", 3)} << qint64(200) << Success
            << QList<IpAddrTable>{FailedAddressTable(), both} << QStringList{"0.0.0.0", "10.0.0.3"}
            << QList<int>{0, 1} << none << true << 2;
    }
    {
        QList<IfRow> rows{Interface("MS TCP Loopback interface", 1)};
        IpAddrTable addresses;
        for (int i = 0; i < 12; ++i) {
            rows.append(Interface(QStringLiteral("Ethernet %1").arg(i), quint32(i + 2)));
            addresses.rows.append({Numeric("10.0.0.1") + quint32(i << 8), quint32(i + 2), Numeric("255.255.255.0")});
        }
        addresses.sizeBytes = 1000;
        QTest::newRow("twelve interfaces stop at eleven and still finish")
            << rows << qint64(1300) << Success << QList<IpAddrTable>{addresses} << FirstAddresses(11)
            << QList<int>(11, 1) << none << true << 11;
    }
}

void TestAdapterInventory::interfaceTableVariant()
{
    QFETCH(QList<IfRow>, rows);
    QFETCH(qint64, sizeBytes);
    QFETCH(quint32, readResult);
    QFETCH(QList<IpAddrTable>, addressReads);
    QFETCH(QStringList, addresses);
    QFETCH(QList<int>, hasAddress);
    QFETCH(QList<int>, messages);
    QFETCH(bool, adaptersOk);
    QFETCH(int, addressTableReads);

    FakePlatform platform;
    platform.interfaceTable.rows = rows;
    platform.interfaceTable.sizeBytes = sizeBytes;
    platform.interfaceTable.readResult = readResult;
    // The last scripted table answers every further read.
    if (!addressReads.isEmpty())
        platform.ipAddressTable = addressReads.last();
    platform.ipAddressTableQueue = addressReads;

    AdapterArray table;
    qint16 count = 99;
    bool ok = true;
    const AdapterInventoryResult result = TakeAdapterInventory(InterfaceTableVersion, platform, table, count, ok);

    QCOMPARE(count, qint16(addresses.size()));
    QStringList entered;
    QList<int> entryHasAddress;
    for (int i = 0; i < count; ++i) {
        entered.append(table[std::size_t(i)].IpAddress);
        entryHasAddress.append(table[std::size_t(i)].HasAddress);
        QCOMPARE(table[std::size_t(i)].Gateway, QStringLiteral("0.0.0.0"));
    }
    QCOMPARE(entered, addresses);
    QCOMPARE(entryHasAddress, hasAddress);
    QCOMPARE(result.messages, messages);
    QCOMPARE(ok, adaptersOk);
    QVERIFY(result.finished);
    QCOMPARE(result.searchSockets, int(count));
    QCOMPARE(platform.ipAddressTableReads, addressTableReads);
    QCOMPARE(platform.adaptersInfoReads, 0);
}

void TestAdapterInventory::interfaceTableFillsEveryField()
{
    IfTable interfaces;
    interfaces.sizeBytes = 100;
    IfRow row = Interface(QStringLiteral("3Com EtherLink"), 0x1000003);
    row.physicalAddress = QByteArray::fromHex("000a1b2c3d4e0000");
    interfaces.rows = {row};
    const IpAddrTable addresses = AddressTable({{0xC0A8010A, 0x1000003, 0xFFFFFF00}});

    AdapterArray table = StaleTable();
    qint16 count = 0;
    bool ok = true;
    TakeInterfaceTableInventory(interfaces, [&] { return addresses; }, table, count, ok);

    QCOMPARE(count, qint16(1));
    const AdapterRecord &entry = table[0];
    QCOMPARE(entry.IpAddress, QStringLiteral("192.168.1.10"));
    QCOMPARE(entry.SubnetMask, QStringLiteral("255.255.255.0"));
    QCOMPARE(entry.Gateway, QStringLiteral("0.0.0.0"));
    QCOMPARE(entry.Mac, (MacAddress{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));
    QCOMPARE(entry.InterfaceIndex, qint32(0x1000003));
    QCOMPARE(entry.HasAddress, qint16(1));
}

void TestAdapterInventory::interfaceTableEntryWithoutAddressStartsCleared()
{
    // An earlier inventory left another adapter's address in entry 0; an interface that has no
    // address must not inherit it.
    IfTable interfaces;
    interfaces.sizeBytes = 100;
    IfRow row = Interface(QStringLiteral("Ethernet"), 9);
    row.physicalAddress = QByteArray::fromHex("0102");
    interfaces.rows = {row};

    AdapterArray table = StaleTable();
    qint16 count = 0;
    bool ok = true;
    const AdapterInventoryResult result =
        TakeInterfaceTableInventory(interfaces, [] { return FailedAddressTable(); }, table, count, ok);

    QCOMPARE(count, qint16(1));
    QCOMPARE(table[0].IpAddress, QStringLiteral("0.0.0.0"));
    QCOMPARE(table[0].SubnetMask, QStringLiteral("0.0.0.0"));
    QCOMPARE(table[0].Gateway, QStringLiteral("0.0.0.0"));
    QCOMPARE(table[0].Mac, (MacAddress{1, 2, 0, 0, 0, 0}));
    QCOMPARE(table[0].InterfaceIndex, qint32(9));
    QCOMPARE(table[0].HasAddress, qint16(0));
    QCOMPARE(result.messages, QList<int>{308});
    QVERIFY(!ok);
}

void TestAdapterInventory::entriesBeyondCountKeepEarlierContents()
{
    FakePlatform platform;
    platform.addAdapter(QStringLiteral("Ethernet"), {2, 0, 0, 0, 0, 1}, 4, QStringLiteral("192.168.5.5"),
                        QStringLiteral("255.255.255.0"), QStringLiteral("192.168.5.1"));
    AdapterArray table = StaleTable();
    qint16 count = 0;
    bool ok = true;
    TakeAdapterInventory(OsVersion::Later, platform, table, count, ok);

    QCOMPARE(count, qint16(1));
    QCOMPARE(table[0].IpAddress, QStringLiteral("192.168.5.5"));
    for (int i = 1; i < AdapterTableSize; ++i) {
        const AdapterRecord &entry = table[std::size_t(i)];
        const AdapterRecord stale = StaleEntry(i);
        QCOMPARE(entry.IpAddress, stale.IpAddress);
        QCOMPARE(entry.SubnetMask, stale.SubnetMask);
        QCOMPARE(entry.Gateway, stale.Gateway);
        QCOMPARE(entry.Mac, stale.Mac);
        QCOMPARE(entry.InterfaceIndex, stale.InterfaceIndex);
        QCOMPARE(entry.HasAddress, stale.HasAddress);
    }
}

void TestAdapterInventory::adaptersOkIsOnlyCleared()
{
    FakePlatform platform;
    platform.addAdapter(QStringLiteral("Ethernet"), {2, 0, 0, 0, 0, 1}, 4, QStringLiteral("192.168.5.5"),
                        QStringLiteral("255.255.255.0"), QStringLiteral("192.168.5.1"));
    AdapterArray table;
    qint16 count = 0;
    bool ok = false;
    const AdapterInventoryResult result = TakeAdapterInventory(OsVersion::Later, platform, table, count, ok);
    QCOMPARE(count, qint16(1));
    QVERIFY(result.messages.isEmpty());
    QVERIFY(!ok);
}

void TestAdapterInventory::variantChosenByVersionCode_data()
{
    QTest::addColumn<qint32>("code");
    QTest::addColumn<bool>("interfaceTable");

    QTest::newRow("NT 4.0") << qint32(4400) << true;
    QTest::newRow("Windows 95") << qint32(4000) << false;
    QTest::newRow("Windows 98") << qint32(4500) << false;
    QTest::newRow("Windows Me") << qint32(4800) << false;
    QTest::newRow("Windows 2000") << qint32(5000) << false;
    QTest::newRow("Windows XP") << qint32(5100) << false;
    QTest::newRow("later releases") << qint32(0) << false;
    QTest::newRow("unknown") << qint32(9999) << false;
}

void TestAdapterInventory::variantChosenByVersionCode()
{
    QFETCH(qint32, code);
    QFETCH(bool, interfaceTable);

    FakePlatform platform;
    platform.addInterface(QStringLiteral("Ethernet"), {2, 0, 0, 0, 0, 1}, 2);
    platform.addAddress(2, QStringLiteral("10.4.4.4"), QStringLiteral("255.0.0.0"));
    platform.addAdapter(QStringLiteral("Ethernet"), {2, 0, 0, 0, 0, 2}, 3, QStringLiteral("10.6.6.6"),
                        QStringLiteral("255.0.0.0"), QStringLiteral("10.6.6.1"));
    AdapterArray table;
    qint16 count = 0;
    bool ok = true;
    TakeAdapterInventory(code, platform, table, count, ok);

    QCOMPARE(count, qint16(1));
    QCOMPARE(table[0].IpAddress, interfaceTable ? QStringLiteral("10.4.4.4") : QStringLiteral("10.6.6.6"));
    QCOMPARE(platform.interfaceTableReads, interfaceTable ? 1 : 0);
    QCOMPARE(platform.adaptersInfoReads, interfaceTable ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestAdapterInventory)
#include "tst_adapterinventory.moc"
