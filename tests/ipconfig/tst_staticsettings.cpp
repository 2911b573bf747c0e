#include "app/appstate.h"
#include "ipconfig/staticsettings.h"

#include <QTest>

using namespace farlight;

Q_DECLARE_METATYPE(farlight::GatewayFields)

namespace {
const QString NoFailure;
} // namespace

class TestStaticSettings : public QObject
{
    Q_OBJECT

private slots:
    void validate_data();
    void validate();
    void maskMustMatchTheGivenTable();
    void everyTableMaskPasses();
};

void TestStaticSettings::validate_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<GatewayFields>("gatewayFields");
    QTest::addColumn<QString>("failure");

    const QString goodAddress = QStringLiteral("192.168.1.10");
    const QString goodMask = QStringLiteral("255.255.255.0");
    const QString goodGateway = QStringLiteral("192.168.1.1");
    const GatewayFields goodFields{192, 168, 1, 1};

    QTest::newRow("all good") << goodAddress << goodMask << goodGateway << goodFields << NoFailure;

    // Address rule.
    QTest::newRow("address ends with .0") << QStringLiteral("192.168.1.0") << goodMask << goodGateway << goodFields
                                          << QStringLiteral("192.168.1.0 is not a valid IP address");
    QTest::newRow("address 10.0.0.0") << QStringLiteral("10.0.0.0") << goodMask << goodGateway << goodFields
                                      << QStringLiteral("10.0.0.0 is not a valid IP address");
    QTest::newRow("address ends with 255") << QStringLiteral("10.1.1.255") << goodMask << goodGateway << goodFields
                                           << QStringLiteral("10.1.1.255 is not a valid IP address");
    QTest::newRow("address begins with 255") << QStringLiteral("255.1.1.1") << goodMask << goodGateway << goodFields
                                             << QStringLiteral("255.1.1.1 is not a valid IP address");
    QTest::newRow("address begins with 0") << QStringLiteral("0.1.2.3") << goodMask << goodGateway << goodFields
                                           << QStringLiteral("0.1.2.3 is not a valid IP address");
    QTest::newRow("address 127.0.0.1") << QStringLiteral("127.0.0.1") << goodMask << goodGateway << goodFields
                                       << QStringLiteral("127.0.0.1 is not a valid IP address");
    QTest::newRow("address 127.0.0.2") << QStringLiteral("127.0.0.2") << goodMask << goodGateway << goodFields
                                       << NoFailure;
    QTest::newRow("address 255.255.255.255")
        << QStringLiteral("255.255.255.255") << goodMask << goodGateway << goodFields
        << QStringLiteral("255.255.255.255 is not a valid IP address");
    QTest::newRow("address with empty last field") << QStringLiteral("192.168.1.") << goodMask << goodGateway
                                                   << goodFields
                                                   << QStringLiteral("192.168.1. is not a valid IP address");
    QTest::newRow("address with empty inner field") << QStringLiteral("192..1.10") << goodMask << goodGateway
                                                    << goodFields
                                                    << QStringLiteral("192..1.10 is not a valid IP address");
    QTest::newRow("address of four empty fields") << QStringLiteral("...") << goodMask << goodGateway << goodFields
                                                  << QStringLiteral("... is not a valid IP address");
    QTest::newRow("address octet above 255") << QStringLiteral("192.168.300.1") << goodMask << goodGateway
                                             << goodFields
                                             << QStringLiteral("192.168.300.1 is not a valid IP address");
    QTest::newRow("address ending in 250 passes") << QStringLiteral("10.0.0.250") << goodMask << goodGateway
                                                  << goodFields << NoFailure;
    QTest::newRow("address ending in .10 passes") << QStringLiteral("10.0.0.10") << goodMask << goodGateway
                                                  << goodFields << NoFailure;
    QTest::newRow("address with inner zero octet passes") << QStringLiteral("10.0.0.1") << goodMask << goodGateway
                                                          << goodFields << NoFailure;

    // Mask rule.
    QTest::newRow("mask 255.255.255.0") << goodAddress << QStringLiteral("255.255.255.0") << goodGateway
                                        << goodFields << NoFailure;
    QTest::newRow("mask 128.0.0.0 first entry") << goodAddress << QStringLiteral("128.0.0.0") << goodGateway
                                                << goodFields << NoFailure;
    QTest::newRow("mask 255.255.255.252 last entry") << goodAddress << QStringLiteral("255.255.255.252")
                                                     << goodGateway << goodFields << NoFailure;
    QTest::newRow("mask 255.0.0.0") << goodAddress << QStringLiteral("255.0.0.0") << goodGateway << goodFields
                                    << NoFailure;
    QTest::newRow("mask 255.255.0.1") << goodAddress << QStringLiteral("255.255.0.1") << goodGateway << goodFields
                                      << QStringLiteral("Mask can't set 255.255.0.1");
    QTest::newRow("mask 255.255.255.254") << goodAddress << QStringLiteral("255.255.255.254") << goodGateway
                                          << goodFields << QStringLiteral("Mask can't set 255.255.255.254");
    QTest::newRow("mask 255.255.255.255") << goodAddress << QStringLiteral("255.255.255.255") << goodGateway
                                          << goodFields << QStringLiteral("Mask can't set 255.255.255.255");
    QTest::newRow("mask 0.0.0.0") << goodAddress << QStringLiteral("0.0.0.0") << goodGateway << goodFields
                                  << QStringLiteral("Mask can't set 0.0.0.0");
    QTest::newRow("mask 255.255.0.255") << goodAddress << QStringLiteral("255.255.0.255") << goodGateway
                                        << goodFields << QStringLiteral("Mask can't set 255.255.0.255");
    QTest::newRow("mask with leading zeros") << goodAddress << QStringLiteral("255.255.255.000") << goodGateway
                                             << goodFields << QStringLiteral("Mask can't set 255.255.255.000");
    QTest::newRow("mask with empty field") << goodAddress << QStringLiteral("255.255.255.") << goodGateway
                                           << goodFields << QStringLiteral("Mask can't set 255.255.255.");

    // Gateway rule.
    QTest::newRow("gateway 0.0.0.0 skips field checks")
        << goodAddress << goodMask << QStringLiteral("0.0.0.0") << GatewayFields{0, 0, 0, 0} << NoFailure;
    QTest::newRow("gateway 192.168.0.1") << goodAddress << goodMask << QStringLiteral("192.168.0.1")
                                         << GatewayFields{192, 168, 0, 1}
                                         << QStringLiteral("192.168.0.1 is not valid gateway address.");
    QTest::newRow("gateway 192.168.1.1") << goodAddress << goodMask << QStringLiteral("192.168.1.1")
                                         << GatewayFields{192, 168, 1, 1} << NoFailure;
    QTest::newRow("gateway 10.255.1.1") << goodAddress << goodMask << QStringLiteral("10.255.1.1")
                                        << GatewayFields{10, 255, 1, 1}
                                        << QStringLiteral("10.255.1.1 is not valid gateway address.");
    QTest::newRow("gateway last field 255") << goodAddress << goodMask << QStringLiteral("192.168.1.255")
                                            << GatewayFields{192, 168, 1, 255}
                                            << QStringLiteral("192.168.1.255 is not valid gateway address.");
    QTest::newRow("gateway with empty field") << goodAddress << goodMask << QStringLiteral("192.168..1")
                                              << GatewayFields{192, 168, 0, 1}
                                              << QStringLiteral("192.168..1 is not valid gateway address.");
    QTest::newRow("gateway of four empty fields") << goodAddress << goodMask << QStringLiteral("...")
                                                  << GatewayFields{0, 0, 0, 0}
                                                  << QStringLiteral("... is not valid gateway address.");
    QTest::newRow("gateway judged by its fields") << goodAddress << goodMask << QStringLiteral("10.1.1.1")
                                                  << GatewayFields{10, 1, 0, 1}
                                                  << QStringLiteral("10.1.1.1 is not valid gateway address.");

    // Order of the rules: only the first failure is reported.
    QTest::newRow("bad address and bad mask") << QStringLiteral("192.168.1.0") << QStringLiteral("255.255.0.1")
                                              << goodGateway << goodFields
                                              << QStringLiteral("192.168.1.0 is not a valid IP address");
    QTest::newRow("bad mask and bad gateway") << goodAddress << QStringLiteral("255.255.0.1")
                                              << QStringLiteral("192.168.0.1") << GatewayFields{192, 168, 0, 1}
                                              << QStringLiteral("Mask can't set 255.255.0.1");
    QTest::newRow("all three bad") << QStringLiteral("0.1.2.3") << QStringLiteral("0.0.0.0")
                                   << QStringLiteral("10.255.1.1") << GatewayFields{10, 255, 1, 1}
                                   << QStringLiteral("0.1.2.3 is not a valid IP address");
    QTest::newRow("no relation between address and gateway")
        << QStringLiteral("10.1.2.3") << QStringLiteral("255.255.255.0") << QStringLiteral("172.16.5.1")
        << GatewayFields{172, 16, 5, 1} << NoFailure;
}

void TestStaticSettings::validate()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(GatewayFields, gatewayFields);
    QFETCH(QString, failure);

    const std::optional<QString> result =
        ValidateStaticSettings(address, mask, gateway, gatewayFields, AppState::BuildSubnetMaskTable());
    QCOMPARE(result.value_or(NoFailure), failure);
    QCOMPARE(result.has_value(), !failure.isEmpty());
}

void TestStaticSettings::maskMustMatchTheGivenTable()
{
    const QStringList table{QStringLiteral("1.2.3.4")};
    const GatewayFields fields{192, 168, 1, 1};
    QCOMPARE(ValidateStaticSettings(QStringLiteral("192.168.1.10"), QStringLiteral("1.2.3.4"),
                                    QStringLiteral("192.168.1.1"), fields, table),
             std::nullopt);
    QCOMPARE(ValidateStaticSettings(QStringLiteral("192.168.1.10"), QStringLiteral("255.255.255.0"),
                                    QStringLiteral("192.168.1.1"), fields, table),
             std::optional<QString>(QStringLiteral("Mask can't set 255.255.255.0")));
    QCOMPARE(ValidateStaticSettings(QStringLiteral("192.168.1.10"), QStringLiteral("255.255.255.0"),
                                    QStringLiteral("192.168.1.1"), fields, QStringList()),
             std::optional<QString>(QStringLiteral("Mask can't set 255.255.255.0")));
}

void TestStaticSettings::everyTableMaskPasses()
{
    const QStringList table = AppState::BuildSubnetMaskTable();
    QCOMPARE(table.size(), 30);
    for (const QString &mask : table) {
        QVERIFY2(!ValidateStaticSettings(QStringLiteral("10.0.0.1"), mask, QStringLiteral("0.0.0.0"),
                                         GatewayFields{0, 0, 0, 0}, table),
                 qPrintable(mask));
    }
}

QTEST_GUILESS_MAIN(TestStaticSettings)
#include "tst_staticsettings.moc"
