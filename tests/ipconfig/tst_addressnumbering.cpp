#include "ipconfig/addressnumbering.h"
#include "ipconfig/inetaddr.h"

#include <QTest>

using namespace farlight;
using Problem = AddressNumbering::Problem;

class TestAddressNumbering : public QObject
{
    Q_OBJECT

private slots:
    void number_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QStringList>("expected"); // in list order
        QTest::addColumn<Problem>("problem");

        const QString c24 = QStringLiteral("255.255.255.0");
        QTest::newRow("taken skipped, the first too")
            << "192.168.77.51" << c24 << 3 << QStringList{"192.168.77.51", "192.168.77.53", "10.0.0.52"}
            << QStringList{"192.168.77.52", "192.168.77.54", "192.168.77.55"} << Problem::None;
        QTest::newRow("up to the last host") << "192.168.77.252" << c24 << 3 << QStringList()
                                             << QStringList{"192.168.77.252", "192.168.77.253", "192.168.77.254"}
                                             << Problem::None;
        QTest::newRow("stops before the broadcast") << "192.168.77.253" << c24 << 3 << QStringList()
                                                    << QStringList{"192.168.77.253", "192.168.77.254"}
                                                    << Problem::LeavesSubnet;
        QTest::newRow("network address") << "192.168.77.0" << c24 << 1 << QStringList() << QStringList() << Problem::NetworkAddress;
        QTest::newRow("broadcast address") << "192.168.77.255" << c24 << 1 << QStringList() << QStringList()
                                           << Problem::BroadcastAddress;
        QTest::newRow("/16 crosses an octet") << "10.1.0.255" << "255.255.0.0" << 2 << QStringList()
                                              << QStringList{"10.1.0.255", "10.1.1.0"} << Problem::None;
        QTest::newRow("/30 holds two hosts") << "10.0.0.1" << "255.255.255.252" << 3 << QStringList()
                                             << QStringList{"10.0.0.1", "10.0.0.2"} << Problem::LeavesSubnet;
        QTest::newRow("top of the address space") << "255.255.255.253" << c24 << 3 << QStringList()
                                                  << QStringList{"255.255.255.253", "255.255.255.254"} << Problem::LeavesSubnet;
    }

    void number()
    {
        QFETCH(QString, first);
        QFETCH(QString, mask);
        QFETCH(int, count);
        QFETCH(QStringList, taken);
        QFETCH(QStringList, expected);
        QFETCH(Problem, problem);
        QSet<quint32> inUse;
        for (const QString &address : std::as_const(taken))
            inUse.insert(InetAddr(address));
        const AddressNumbering numbering(InetAddr(first), InetAddr(mask), count, inUse);
        QList<quint32> wanted;
        for (const QString &address : std::as_const(expected))
            wanted.append(InetAddr(address));
        QCOMPARE(numbering.addresses(), wanted);
        QCOMPARE(numbering.problem(), problem);
        QCOMPARE(numbering.problemText().isEmpty(), problem == Problem::None);
    }
};

QTEST_GUILESS_MAIN(TestAddressNumbering)
#include "tst_addressnumbering.moc"
