#include "discovery/devicesearch.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

#include "../support/files.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace farlight;

namespace {

// Four devices listed in an order that is none of the sort orders.
struct Fleet
{
    Fleet()
    {
        const std::tuple<const char *, const char *, quint8, quint8> devices[] = {
            {"Zentrale", "10.0.0.10", 11, 1}, {"\xe4rztehaus", "10.0.0.9", 2, 0}, {"Bahnhof", "10.0.0.100", 1, 1}, {"Asyl", "9.255.255.255", 6, 0}};
        for (const auto &[name, ip, channel, wep] : devices)
            state.deviceTable[std::size_t(state.deviceCount++)] = {QString::fromLatin1(name), QString::fromLatin1(ip), {}, channel, wep, {}, 0};
        model.listTable();
    }
    QStringList hostNames() const
    {
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row)
            names.append(model.index(row, DeviceListModel::HostName).data().toString());
        return names;
    }
    AppState state;
    DeviceListModel model{state, DeviceRowTexts};
};

} // namespace

class TestDeviceListModel : public QObject
{
    Q_OBJECT

private slots:
    void rows_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("hostNames");
        QTest::newRow("addresses by octet: 9.255.255.255, 10.0.0.9, 10.0.0.10, 10.0.0.100") << int(DeviceListModel::IpAddress) << Qt::AscendingOrder << "" << QStringList{"Asyl", "\u00e4rztehaus", "Zentrale", "Bahnhof"};
        QTest::newRow("channels as numbers: 11, 6, 2, 1") << int(DeviceListModel::Channel) << Qt::DescendingOrder << "" << QStringList{"Zentrale", "Asyl", "\u00e4rztehaus", "Bahnhof"};
        QTest::newRow("host names, case and accents folded") << int(DeviceListModel::HostName) << Qt::AscendingOrder << "" << QStringList{"\u00e4rztehaus", "Asyl", "Bahnhof", "Zentrale"};
        QTest::newRow("Latin-1 letter of the other case") << -1 << Qt::AscendingOrder << "\u00c4RZTE" << QStringList{"\u00e4rztehaus"};
        QTest::newRow("WEP column, by address") << int(DeviceListModel::IpAddress) << Qt::AscendingOrder << "disabled" << QStringList{"Asyl", "\u00e4rztehaus"};
    }

    // Sort and filter hold when a new search lists the table again; Delete All takes the shown
    // rows and leaves those the filter hides.
    void rows()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QString, filter);
        QFETCH(QStringList, hostNames);
        Fleet f;
        f.model.sort(column, order);
        f.model.setFilterText(filter);
        QCOMPARE(f.hostNames(), hostNames);
        f.model.listTable();
        QCOMPARE(f.hostNames(), hostNames);
        f.model.dropVisibleRows();
        QCOMPARE(f.model.listedCount(), filter.isEmpty() ? 0 : 4 - int(hostNames.size()));
    }

    void csv_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("csvStart");
        QTest::addColumn<QString>("copied"); // the cell in the copied row
        QTest::newRow("comma") << "guest, 2nd" << "\"guest, 2nd\",9.255.255.255,\"guest, 2nd\"" << "guest, 2nd";
        QTest::newRow("quotes") << "AP \"Main\"" << "\"AP \"\"Main\"\"\",9.255.255.255,\"AP \"\"Main\"\"\"" << "AP \"Main\"";
        QTest::newRow("line breaks") << "AP\r\n1\n" << "\"AP\r\n1\n\",9.255.255.255,\"AP\r\n1\n\"" << "AP  1 ";
        QTest::newRow("formula =") << "=HYPERLINK(\"x\")" << "\"'=HYPERLINK(\"\"x\"\")\",9.255.255.255,\"'=HYPERLINK(\"\"x\"\")\""
                                   << "'=HYPERLINK(\"x\")";
        QTest::newRow("formula +") << "+1" << "'+1,9.255.255.255,'+1" << "'+1";
        QTest::newRow("leading tab") << "\t=1" << "'\t=1,9.255.255.255,'\t=1" << "' =1";
        QTest::newRow("leading CR") << "\r=1" << "\"'\r=1\",9.255.255.255,\"'\r=1\"" << "' =1";
        QTest::newRow("= inside") << "AP=1" << "AP=1,9.255.255.255,AP=1" << "AP=1";
    }

    // The header line, then the shown row, whose host name and SSID are both @c cell; the same
    // row copied.
    void csv()
    {
        QFETCH(QString, cell);
        QFETCH(QString, csvStart);
        QFETCH(QString, copied);
        Fleet f;
        f.state.deviceTable[3].HostName = cell;
        f.state.deviceTable[3].Ssid = cell;
        f.model.setFilterText(QStringLiteral("9.255"));
        const QString csv = f.model.visibleRowsAsCsv();
        QCOMPARE(csv.sliced(csv.indexOf(u'\n') + 1), csvStart + ",6,Disabled,00-00-00-00-00-00\r\n");
        const QString tsv = f.model.rowAsTsv(f.model.index(0, 0));
        QCOMPARE(tsv.sliced(tsv.indexOf(u'\n') + 1).section(u'\t', 0, 0), copied);
    }

    // A save cut short (by the file size limit, which stops root too) leaves the old file; the next save replaces it.
    void save()
    {
        Fleet f;
        const QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("devices.csv"));
        const QByteArray old = "old inventory\r\n";
        QVERIFY(testsupport::writeFile(file, old));
        rlimit unlimited{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        const rlimit small{rlim_t(old.size()), unlimited.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const QString failure = f.model.saveCsv(file);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QVERIFY(!failure.isEmpty());
        QCOMPARE(testsupport::readFile(file), old);
        QCOMPARE(f.model.saveCsv(file), QString());
        QCOMPARE(testsupport::readFile(file), f.model.visibleRowsAsCsv().toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestDeviceListModel)
#include "tst_devicelistmodel.moc"
