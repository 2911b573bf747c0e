#include "netenv/adapterinventory.h"
#include "netenv/fakeplatform.h"

#include <QTest>

using namespace farlight;

// An adapter table entry as text.
static QString Line(const AdapterRecord &e)
{
    return QStringList{e.IpAddress, e.SubnetMask, e.Gateway, FormatMac(e.Mac), QString::number(e.InterfaceIndex),
                       QString::number(e.HasAddress)}
        .join(u' ');
}

class TestAdapterInventory : public QObject
{
    Q_OBJECT

private slots:
    void inventory_data()
    {
        QTest::addColumn<bool>("listFails");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QList<int>>("hasAddress");
        QTest::addColumn<QList<int>>("messages");

        QTest::newRow("system cannot list its adapters: 29 alone, nothing entered")
            << true << QStringList{"10.0.0.1"} << QList<int>{} << QList<int>{29};
        QTest::newRow("no adapter") << false << QStringList{} << QList<int>{} << QList<int>{30};
        QTest::newRow("every adapter without address, prefix test")
            << false << QStringList{"0.0.0.0", "0.0.0.01"} << QList<int>{0, 0} << QList<int>{308};
        QTest::newRow("one address is enough, empty text counts as one")
            << false << QStringList{"0.0.0.0", "", "192.168.1.10"} << QList<int>{0, 1, 1} << QList<int>{};
        QTest::newRow("twelve adapters: eleven entered, the twelfth not checked")
            << false << QStringList(11, "0.0.0.0") + QStringList{"10.5.5.5"} << QList<int>(11, 0) << QList<int>{308};
    }

    void inventory()
    {
        QFETCH(bool, listFails);
        QFETCH(QStringList, addresses);
        QFETCH(QList<int>, hasAddress);
        QFETCH(QList<int>, messages);

        for (const bool okBefore : {true, false}) {
            FakePlatform platform;
            platform.adapterListFails = listFails;
            QStringList expected;
            for (int n = 0; n < addresses.size(); ++n) {
                const AdapterRecord entry{addresses[n], "255.255.255.0", QStringLiteral("10.0.0.%1").arg(n),
                                          {2, 0, 0, 0, 0, quint8(n)}, 1000 + n, qint16(hasAddress.value(n)), {}};
                platform.addAdapter(QStringLiteral("eth%1").arg(n), entry.Mac, entry.InterfaceIndex, entry.IpAddress,
                                    entry.SubnetMask, entry.Gateway);
                if (n < hasAddress.size())
                    expected.append(Line(entry));
            }
            // What an earlier inventory left in the table; entries past the new count keep it.
            AdapterArray table;
            for (int i = 0; i < AdapterTableSize; ++i)
                table[std::size_t(i)] = {"172.16.0.1", "255.255.0.0", "172.16.0.254", {0xEE}, i, 1, {}};
            qint16 count = 99;
            bool ok = okBefore;
            const AdapterInventoryResult result = TakeAdapterInventory(platform, table, count, ok);

            QStringList entered;
            for (int i = 0; i < AdapterTableSize; ++i) {
                const AdapterRecord &entry = table[std::size_t(i)];
                if (i < count)
                    entered.append(Line(entry));
                else
                    QCOMPARE(entry.InterfaceIndex, i);
            }
            QCOMPARE(entered, expected);
            QCOMPARE(result.messages, messages);
            // The flag is only ever cleared, and only together with message 308.
            QCOMPARE(ok, okBefore && !messages.contains(308));
            QCOMPARE(result.searchSockets, int(count));
            QCOMPARE(platform.adapterReads, 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestAdapterInventory)
#include "tst_adapterinventory.moc"
