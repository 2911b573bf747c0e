#include "netenv/platformutils.h"

#include <QTest>

using namespace farlight;

class TestPlatformUtils : public QObject
{
    Q_OBJECT

private slots:
    void osVersionCode_data()
    {
        QTest::addColumn<int>("platformId");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<bool>("queryOk");
        QTest::addColumn<int>("code");

        QTest::newRow("NT 4.0") << 2 << 4 << 0 << true << 4400;
        QTest::newRow("Windows 2000") << 2 << 5 << 0 << true << 5000;
        QTest::newRow("Server 2003") << 2 << 5 << 2 << true << 5100;
        QTest::newRow("Vista") << 2 << 6 << 0 << true << 0;
        QTest::newRow("query failed") << 2 << 5 << 1 << false << 9999;
        QTest::newRow("Win32s") << 0 << 3 << 1 << true << 9999;
    }

    void osVersionCode()
    {
        QFETCH(int, platformId);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(bool, queryOk);
        QFETCH(int, code);
        QCOMPARE(OsVersionCodeFor(platformId, major, minor, queryOk), code);
    }
};

QTEST_GUILESS_MAIN(TestPlatformUtils)
#include "tst_platformutils.moc"
