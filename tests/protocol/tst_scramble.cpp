#include "../support/hexbytes.h"
#include "protocol/authblock.h"

#include <QTest>

using namespace farlight;

class TestScramble : public QObject
{
    Q_OBJECT

private slots:
    void scrambledField_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("hostName");
        QTest::addColumn<QByteArray>("expected");

        // Host name "Lobby", device 00-0A-1B-2C-3D-4E, adapter 02-00-00-00-80-FF. Key bytes mod 5 are
        // 0 0 2 4 1 3 | 2 0 0 0 3 0, so the key characters are 4C 4C 62 79 6F 62 | 62 4C 4C 4C 62 4C.
        // 0x80 and 0xFF pick positions 3 and 0: the key byte is taken unsigned.
        const QByteArray lobby = "Lobby";
        QTest::newRow("admin") << QStringLiteral("admin") << lobby << hexBytes("2D 28 0F 10 01 62 62 4C 4C 4C 62 4C");
        QTest::newRow("empty password is the key characters")
            << QString() << lobby << hexBytes("4C 4C 62 79 6F 62 62 4C 4C 4C 62 4C");
        const QByteArray alphabet = hexBytes("2D 2E 01 1D 0A 04 05 24 25 26 09 20");
        QTest::newRow("12 characters, no terminator") << QStringLiteral("abcdefghijkl") << lobby << alphabet;
        QTest::newRow("13th character is dropped") << QStringLiteral("abcdefghijklm") << lobby << alphabet;
        QTest::newRow("1-character host name: every byte XORed with 'Z'")
            << QStringLiteral("admin") << QByteArray("Z") << hexBytes("3B 3E 37 33 34 5A 5A 5A 5A 5A 5A 5A");
        QTest::newRow("empty host name leaves the field as it is")
            << QStringLiteral("admin") << QByteArray() << hexBytes("61 64 6D 69 6E 00 00 00 00 00 00 00");
    }

    // The whole block as every changing request carries it: the scrambled field, then both MACs
    // in clear; the header before it is left alone.
    void scrambledField()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, hostName);
        QFETCH(QByteArray, expected);
        const AuthTarget target{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, hostName};
        QByteArray block(AuthBlock::Offset + AuthBlock::Size, '\xEE');
        AuthBlock::writeTo(block, target, password);
        const QByteArray macs = hexBytes("00 0A 1B 2C 3D 4E 02 00 00 00 80 FF");
        QCOMPARE(block.toHex(' '), (QByteArray(AuthBlock::Offset, '\xEE') + expected + macs).toHex(' '));
    }

    void passwordField_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("expected");
        // Which passwords can be sent at all is the login dialog's and the command line's test.
        QTest::newRow("empty") << QString() << zeros(12);
        QTest::newRow("Latin-1 y diaeresis") << QStringLiteral(u"\u00FF") << hexBytes("FF") + zeros(11);
        QTest::newRow("euro sign has no single byte") << QStringLiteral(u"a\u20ACb") << hexBytes("61 3F 62") + zeros(9);
    }

    void passwordField()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, expected);
        QCOMPARE(PasswordField(password).toHex(' '), expected.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestScramble)
#include "tst_scramble.moc"
