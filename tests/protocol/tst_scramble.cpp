#include "protocol/authblock.h"
#include "testbytes.h"

#include <QTest>

using namespace farlight;

// Host name "Lobby" (L o b b y), device 00-0A-1B-2C-3D-4E, adapter 02-00-00-00-80-FF.
// Key bytes mod 5: 0 0 2 4 1 3 | 2 0 0 0 3 0, so the key characters are
// L L b y o b | b L L L b L = 4C 4C 62 79 6F 62 | 62 4C 4C 4C 62 4C.
// 0x80 and 0xFF pick positions 3 and 0: the key byte is taken unsigned.
static AuthTarget lobby()
{
    return AuthTarget{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, "Lobby"};
}

class TestScramble : public QObject
{
    Q_OBJECT

private slots:
    void scrambledField_data();
    void scrambledField();
    void scramblingTwiceRestores_data();
    void scramblingTwiceRestores();
    void emptyHostNameLeavesFieldAsIs();
    void passwordField_data();
    void passwordField();
    void authBlockLayout();
};

void TestScramble::scrambledField_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("hostName");
    QTest::addColumn<QByteArray>("expected");

    // "admin" = 61 64 6D 69 6E, then zeros; each XORed with the key character above.
    QTest::newRow("admin") << QStringLiteral("admin") << QByteArray("Lobby")
                           << hexBytes("2D 28 0F 10 01 62 62 4C 4C 4C 62 4C");
    QTest::newRow("empty password is the key characters")
        << QString() << QByteArray("Lobby") << hexBytes("4C 4C 62 79 6F 62 62 4C 4C 4C 62 4C");
    // "abcdefghijkl" = 61..6C fills the field with no terminating zero.
    QTest::newRow("12 characters, no terminator")
        << QStringLiteral("abcdefghijkl") << QByteArray("Lobby")
        << hexBytes("2D 2E 01 1D 0A 04 05 24 25 26 09 20");
    QTest::newRow("13th character is dropped")
        << QStringLiteral("abcdefghijklm") << QByteArray("Lobby")
        << hexBytes("2D 2E 01 1D 0A 04 05 24 25 26 09 20");
    // With a 1-character host name every byte is XORed with that character ('Z' = 5A).
    QTest::newRow("1-character host name")
        << QStringLiteral("admin") << QByteArray("Z") << hexBytes("3B 3E 37 33 34 5A 5A 5A 5A 5A 5A 5A");
}

void TestScramble::scrambledField()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, hostName);
    QFETCH(QByteArray, expected);
    AuthTarget target = lobby();
    target.hostName = hostName;
    QByteArray field = PasswordField(password);
    ScramblePassword(target, std::span<quint8, 12>(reinterpret_cast<quint8 *>(field.data()), 12));
    QCOMPARE(field.toHex(' '), expected.toHex(' '));
}

void TestScramble::scramblingTwiceRestores_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("hostName");
    QTest::newRow("short") << QStringLiteral("admin") << QByteArray("Lobby");
    QTest::newRow("full") << QStringLiteral("0123456789AB") << QByteArray("AP-Lobby-With-A-Long-Name-32chr");
    QTest::newRow("Latin-1") << QStringLiteral(u"pässwörd") << QByteArray("x");
    QTest::newRow("host name with high bytes") << QStringLiteral("pw") << QByteArray("\xE9\xFF\x80");
}

void TestScramble::scramblingTwiceRestores()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, hostName);
    AuthTarget target = lobby();
    target.hostName = hostName;
    const QByteArray original = PasswordField(password);
    QByteArray field = original;
    const std::span<quint8, 12> span(reinterpret_cast<quint8 *>(field.data()), 12);
    ScramblePassword(target, span);
    QVERIFY(field != original);
    ScramblePassword(target, span);
    QCOMPARE(field, original);
}

void TestScramble::emptyHostNameLeavesFieldAsIs()
{
    AuthTarget target = lobby();
    target.hostName.clear();
    QByteArray field = PasswordField(QStringLiteral("admin"));
    ScramblePassword(target, std::span<quint8, 12>(reinterpret_cast<quint8 *>(field.data()), 12));
    QCOMPARE(field.toHex(' '), hexBytes("61 64 6D 69 6E 00 00 00 00 00 00 00").toHex(' '));
}

void TestScramble::passwordField_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("singleByte");
    QTest::newRow("empty") << QString() << zeros(12) << true;
    QTest::newRow("Latin-1 y diaeresis") << QStringLiteral(u"\u00FF") << hexBytes("FF 00 00 00 00 00 00 00 00 00 00 00")
                                         << true;
    QTest::newRow("euro sign has no single byte")
        << QStringLiteral(u"a\u20ACb") << hexBytes("61 3F 62 00 00 00 00 00 00 00 00 00") << false;
}

void TestScramble::passwordField()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, expected);
    QFETCH(bool, singleByte);
    QCOMPARE(PasswordField(password).toHex(' '), expected.toHex(' '));
    QCOMPARE(IsSingleBytePassword(password), singleByte);
}

void TestScramble::authBlockLayout()
{
    QByteArray buffer(32, '\x55');
    AuthBlock::writeTo(buffer, lobby(), QStringLiteral("admin"));
    QCOMPARE(buffer.first(8), QByteArray(8, '\x55')); // the header is not touched
    QCOMPARE(buffer.sliced(8).toHex(' '),
             hexBytes("2D 28 0F 10 01 62 62 4C 4C 4C 62 4C 00 0A 1B 2C 3D 4E 02 00 00 00 80 FF").toHex(' '));
}

QTEST_GUILESS_MAIN(TestScramble)
#include "tst_scramble.moc"
