#include "session/appstate.h"
#include "ipconfig/staticsettings.h"
#include "resources/strings.h"

#include <QTest>

using namespace farlight;

class TestStaticSettings : public QObject
{
    Q_OBJECT

private slots:
    void validate_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("failure"); // empty: all three pass

        const QString address = QStringLiteral("192.168.1.10");
        const QString mask = QStringLiteral("255.255.255.0");
        const QString gateway = QStringLiteral("192.168.1.1");
        const auto badAddress = [](const QString &address) { return address + u' ' + text(StringId::NotValidIpAddress); };
        const auto badMask = [](const QString &mask) { return text(StringId::MaskCantSet) + u' ' + mask; };
        const auto badGateway = [](const QString &gateway) { return gateway + u' ' + text(StringId::NotValidGateway); };

        QTest::newRow("all good") << address << mask << gateway << "";
        QTest::newRow("address ends with .0") << "192.168.1.0" << mask << gateway << badAddress("192.168.1.0");
        QTest::newRow("address ends with 255") << "10.1.1.255" << mask << gateway << badAddress("10.1.1.255");
        QTest::newRow("address begins with 255") << "255.1.1.1" << mask << gateway << badAddress("255.1.1.1");
        QTest::newRow("address begins with 0") << "0.1.2.3" << mask << gateway << badAddress("0.1.2.3");
        QTest::newRow("address 127.0.0.1") << "127.0.0.1" << mask << gateway << badAddress("127.0.0.1");
        QTest::newRow("address 127.0.0.2") << "127.0.0.2" << mask << gateway << "";
        QTest::newRow("address with empty field") << "192.168.1." << mask << gateway << badAddress("192.168.1.");
        QTest::newRow("address inner zero octet") << "10.0.0.1" << mask << gateway << "";

        // The masks allowed are the table's: one to thirty leading one-bits.
        QTest::newRow("mask 128.0.0.0, the first") << address << "128.0.0.0" << gateway << "";
        QTest::newRow("mask 255.255.255.252, the last") << address << "255.255.255.252" << gateway << "";
        QTest::newRow("mask 255.255.255.254") << address << "255.255.255.254" << gateway << badMask("255.255.255.254");
        QTest::newRow("mask 0.0.0.0") << address << "0.0.0.0" << gateway << badMask("0.0.0.0");
        QTest::newRow("mask with leading zeros") << address << "255.255.255.000" << gateway
                                                 << badMask("255.255.255.000");

        QTest::newRow("gateway 0.0.0.0 skips field checks") << address << mask << "0.0.0.0" << "";
        QTest::newRow("gateway 192.168.0.1") << address << mask << "192.168.0.1" << badGateway("192.168.0.1");
        QTest::newRow("gateway 10.255.1.1") << address << mask << "10.255.1.1" << badGateway("10.255.1.1");
        // Pasted text can hold more than a field takes; it must not reach the request as FF FF FF FF.
        QTest::newRow("gateway field above 255") << address << mask << "10.1.1.300" << badGateway("10.1.1.300");
        QTest::newRow("gateway outside the subnet") << address << mask << "172.16.5.1" << "";

        QTest::newRow("bad address and bad mask")
            << "192.168.1.0" << "255.255.0.1" << gateway << badAddress("192.168.1.0");
        QTest::newRow("bad mask and bad gateway") << address << "0.0.0.0" << "10.255.1.1" << badMask("0.0.0.0");
    }

    void validate()
    {
        QFETCH(QString, address);
        QFETCH(QString, mask);
        QFETCH(QString, gateway);
        QFETCH(QString, failure);

        const std::optional<QString> result = ValidateStaticSettings(address, mask, gateway, GatewayFieldsOf(gateway),
                                                                     AppState::BuildSubnetMaskTable());
        QCOMPARE(result.value_or(QString()), failure);
    }
};

QTEST_GUILESS_MAIN(TestStaticSettings)
#include "tst_staticsettings.moc"
