// farlight-cli apply's plain parts: reading a plan, comparing it with a device, and the record
// of what was applied.
#include "cli/applystate.h"
#include "cli/plan.h"
#include "cli/plandiff.h"

#include "../support/files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace farlight;
using namespace farlight::cli;
using namespace Qt::StringLiterals;

// "LINE MAC MODE [IP MASK GATEWAY] [filter N]" per row, or the lines of the errors (their texts are the
// program's to word; that each rule fires on its own line is what matters).
static QString Summary(const Plan &plan)
{
    QStringList rows;
    for (const QString &error : plan.errors)
        rows.append(error.section(u':', 1, 1));
    for (const PlanRow &row : plan.ok() ? plan.rows : QList<PlanRow>()) {
        QString text = u"%1 %2 %3"_s.arg(row.line).arg(FormatMac(row.mac)).arg(int(row.address));
        if (row.address == PlanRow::Address::Static)
            text += u" %1 %2 %3"_s.arg(row.ip, row.mask, row.gateway);
        if (row.filter)
            text += u" filter %1"_s.arg(row.filter->size());
        rows.append(text);
    }
    return rows.join(u'\n');
}

class TestPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QList<std::pair<QString, QByteArray>> files{{u"two.MAC"_s, "0011223344AA\r\n001122334455\r\n"},
                                                         {u"my, list.txt"_s, "00:11:22:33:44:55\n"},
                                                         {u"bad.MAC"_s, "0011223344\r\n"}};
        for (const auto &[name, content] : files)
            QVERIFY(testsupport::writeFile(m_dir.filePath(name), content));
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("summary"); // modes: 0 keep, 1 static, 2 DHCP

        QTest::newRow("notations, static and DHCP")
            << "mac,ip,mask,gateway,dhcp\n00:0a:1b:2c:3d:4e,192.168.1.20,255.255.255.0,,\n00-0A-1B-2C-3D-4F,,,,yes\n"
               "000a1b2c3d50,10.1.1.5,255.0.0.0,10.1.1.1,no\n"
            << "2 00-0A-1B-2C-3D-4E 1 192.168.1.20 255.255.255.0 0.0.0.0\n3 00-0A-1B-2C-3D-4F 2\n"
               "4 00-0A-1B-2C-3D-50 1 10.1.1.5 255.0.0.0 10.1.1.1";
        QTest::newRow("columns in any order and case, short rows, skipped lines, CR LF")
            << "Filter,MAC\r\n\r\n# lobby\r\ntwo.MAC,000A1B2C3D4E\r\n,,\r\n\"my, list.txt\",000a.1b2c.3d4f"
            << "4 00-0A-1B-2C-3D-4E 0 filter 2\n6 00-0A-1B-2C-3D-4F 0 filter 1";
        QTest::newRow("quoted line break keeps the line count")
            << "mac,filter\n\"00-0A\n\",two.MAC\n000A1B2C3D4F,bad.MAC\n" << "2\n4";
        QTest::newRow("empty") << "\n\n" << "1";
        QTest::newRow("header only") << "mac,dhcp\n" << "1";
        QTest::newRow("unknown and repeated columns, no mac") << "ip,colour,IP\n" << "1\n1\n1";
        // 3 and 12 repeat line 2's MAC and address; 5 is no device's MAC; 11 is a network address.
        QTest::newRow("every bad row with its line")
            << "mac,ip,mask,gateway,dhcp,filter\n"
               "00-0A-1B-2C-3D-4E,192.168.1.20,255.255.255.0,,,\n"
               "00-0A-1B-2C-3D-4E,,,,yes,\n"
               "00-0A-1B-2C-3D,,,,yes,\n"
               "000000000000,,,,yes,\n"
               ",,,,yes,\n"
               "00-0A-1B-2C-3D-50,192.168.1.21,,,,\n"
               "00-0A-1B-2C-3D-51,,,,,\n"
               "00-0A-1B-2C-3D-52,10.0.0.1,255.0.0.0,,yes,\n"
               "00-0A-1B-2C-3D-53,,,,maybe,\n"
               "00-0A-1B-2C-3D-54,192.168.1.0,255.255.255.0,,,\n"
               "00-0A-1B-2C-3D-55,192.168.1.20,255.255.255.0,,,\n"
               "00-0A-1B-2C-3D-56,,,,,bad.MAC\n"
               "00-0A-1B-2C-3D-57,,,,,two.MAC,extra\n"
            << "3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14";
        QTest::newRow("quote not closed") << "mac,filter\n000A1B2C3D4E,\"two.MAC\n" << "2";
        QTest::newRow("text after a quote") << "mac,filter\n000A1B2C3D4E,\"two\".MAC\n" << "2";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, summary);
        QCOMPARE(Summary(ParsePlan(text, u"plan.csv"_s, m_dir.path())), summary);
    }

    void compare_data()
    {
        QTest::addColumn<int>("mode"); // 0 keep, 1 static 192.168.1.20/24 via .1, 2 DHCP
        QTest::addColumn<QString>("address"); // where the device answered
        QTest::addColumn<QString>("applied"); // "", "dhcp" or "IP MASK GATEWAY"
        QTest::addColumn<QString>("deviceList"); // keys joined by ","; "?" not read
        QTest::addColumn<QString>("expected");   // "address filter +added -removed"

        const QString planned = u"192.168.1.20 255.255.255.0 192.168.1.1"_s;
        QTest::newRow("static, nothing recorded") << 1 << "192.168.1.20" << "" << "" << "1 0 +0 -0";
        QTest::newRow("static, as recorded") << 1 << "192.168.1.20" << planned << "" << "0 0 +0 -0";
        QTest::newRow("static, recorded but answering elsewhere") << 1 << "192.168.1.99" << planned << "" << "1 0 +0 -0";
        QTest::newRow("static, another gateway recorded") << 1 << "192.168.1.20" << "192.168.1.20 255.255.255.0 0.0.0.0" << ""
                                                          << "1 0 +0 -0";
        QTest::newRow("static, DHCP recorded") << 1 << "192.168.1.20" << "dhcp" << "" << "1 0 +0 -0";
        QTest::newRow("DHCP, recorded, any address") << 2 << "10.1.2.3" << "dhcp" << "" << "0 0 +0 -0";
        QTest::newRow("DHCP, static recorded") << 2 << "192.168.1.20" << planned << "" << "1 0 +0 -0";
        QTest::newRow("same list in another order") << 0 << "192.168.1.20" << "" << "001122334455,0011223344AA" << "0 0 +0 -0";
        QTest::newRow("list differs") << 0 << "192.168.1.20" << "" << "0011223344AA,0011223344BB" << "0 1 +1 -1";
        QTest::newRow("list not read") << 0 << "192.168.1.20" << "" << "?" << "0 1 +0 -0";
    }

    void compare()
    {
        QFETCH(int, mode);
        QFETCH(QString, address);
        QFETCH(QString, applied);
        QFETCH(QString, deviceList);
        QFETCH(QString, expected);

        PlanRow row;
        row.address = PlanRow::Address(mode);
        row.ip = u"192.168.1.20"_s;
        row.mask = u"255.255.255.0"_s;
        row.gateway = u"192.168.1.1"_s;
        DeviceNow now;
        now.address = address;
        if (applied == u"dhcp")
            now.applied = AppliedAddress{true, {}, {}, {}};
        else if (const QStringList parts = applied.split(u' '); parts.size() == 3)
            now.applied = AppliedAddress{false, parts[0], parts[1], parts[2]};
        if (mode == 0) {
            row.filter = QList<MacAddress>{*ParseMac(u"0011223344AA"), *ParseMac(u"001122334455")};
            if (deviceList != u"?") {
                now.filter.emplace();
                for (const QString &key : deviceList.split(u',', Qt::SkipEmptyParts))
                    now.filter->append(*ParseMac(key));
            }
        }
        const RowChange change = Compare(row, now);
        QCOMPARE(u"%1 %2 +%3 -%4"_s.arg(change.address).arg(change.filter).arg(change.added).arg(change.removed), expected);
    }

    void state()
    {
        const QString path = m_dir.filePath(u"state/farlight/applied.json"_s);
        const AppliedAddress settings{false, u"192.168.1.20"_s, u"255.255.255.0"_s, u"0.0.0.0"_s};
        const MacAddress one{0, 0x0A, 0, 0, 0, 1}, two{0, 0x0A, 0, 0, 0, 2};
        ApplyState first(path), second(path);
        QVERIFY(!first.load() && !second.load());
        first.record(one, settings);
        QVERIFY(!first.save());
        // A run that loaded before the first saved keeps the first's record.
        second.record(two, AppliedAddress{true, {}, {}, {}});
        QVERIFY(!second.save());
        ApplyState reread(path);
        QVERIFY(!reread.load());
        QCOMPARE(reread.address(one), settings);
        QCOMPARE(reread.address(two)->dhcp, true);

        QVERIFY(testsupport::writeFile(path, "{\"devices\": "));
        QVERIFY(reread.load().has_value());
        QVERIFY(!reread.address(one));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestPlan)
#include "tst_plan.moc"
