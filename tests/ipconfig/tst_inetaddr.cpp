#include "ipconfig/inetaddr.h"

#include <QTest>

using namespace farlight;

class TestInetAddr : public QObject
{
    Q_OBJECT

private slots:
    void convert_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("value");
        const quint32 none = 0xFFFFFFFFu;

        QTest::newRow("private address") << "192.168.1.20" << 0xC0A80114u;
        QTest::newRow("any") << "0.0.0.0" << 0x00000000u;
        QTest::newRow("all ones equals none") << "255.255.255.255" << none;
        // Leading zeros read as decimal, as the entry fields show them, not as octal.
        QTest::newRow("leading zeros are decimal") << "192.168.001.010" << 0xC0A8010Au;

        QTest::newRow("empty last field") << "192.168.1." << none;
        QTest::newRow("octet above 255") << "192.168.1.256" << none;
        QTest::newRow("five parts") << "1.2.3.4.5" << none;
        QTest::newRow("shorthand a.b") << "127.1" << none;
        QTest::newRow("hexadecimal part") << "0x7f.0.0.1" << none;
        QTest::newRow("sign") << "+1.0.0.1" << none;
        QTest::newRow("space") << "1.2.3.4 " << none;
        QTest::newRow("non-ASCII digit") << "1.2.3.\u0664" << none;
    }

    void convert()
    {
        QFETCH(QString, text);
        QFETCH(quint32, value);
        QCOMPARE(InetAddr(text), value);
    }
};

QTEST_GUILESS_MAIN(TestInetAddr)
#include "tst_inetaddr.moc"
