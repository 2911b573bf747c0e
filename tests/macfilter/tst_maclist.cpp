// MAC lists in the forms administrators keep them: which addresses a text gives, or which line
// refuses it.
#include "macfilter/maclist.h"
#include "macfilter/macfile.h"
#include "resources/strings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace farlight;

class TestMacList : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("result"); // keys and tails in file order, or "314 " and the detail

        QByteArray many;
        for (int i = 1; i <= 129; ++i)
            many += QByteArray::number(0x001122000000LL + i, 16).rightJustified(12, '0') + "\r\n";
        QTest::newRow("notations, either case, comments, blank lines")
            << QByteArray("00:11:22:33:44:55\n# desk\n\n  00-11-22-33-44-5a  # hall\r\n0011.2233.4466\naabbccddeeff\n")
            << "001122334455 00112233445A 001122334466 AABBCCDDEEFF";
        QTest::newRow("CSV with a header, quotes, semicolons, the MAC not first")
            << QByteArray("\xEF\xBB\xBFname;mac;note\n\"desk\";\"00:11:22:33:44:55\";x\nhall,00-11-22-33-44-56,\"a, b\"\n")
            << "001122334455 001122334456";
        QTest::newRow(".MAC lines keep case and notes") << QByteArray("aabbccddeeff,hall\r\n001122334455\r\n")
                                                        << "aabbccddeeff,hall 001122334455";
        QTest::newRow("repeats in other notations collapse")
            << QByteArray("00:11:22:33:44:55\n001122334455 \n0011.2233.4455\n") << "001122334455";
        QTest::newRow("a line without an address")
            << QByteArray("00:11:22:33:44:55\n\n00:11:22:33:44:5G\n") << "314 line 3: no MAC address in '00:11:22:33:44:5G'";
        QTest::newRow("a header after the first line") << QByteArray("00:11:22:33:44:55\nname,mac\n")
                                                       << "314 line 2: no MAC address in 'name,mac'";
        QTest::newRow("an address no list may hold")
            << QByteArray("# zero\nff:ff:ff:ff:ff:ff\n") << "314 line 2: FF-FF-FF-FF-FF-FF cannot be filtered";
        QTest::newRow("129 addresses") << many << "314 129 different addresses; a list holds at most 128";
        QTest::newRow("130 lines, 128 addresses") << many.first(128 * 14) + "001122000001\r\n001122000002\r\n"
                                                  << "128";
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, result);
        const MacListContents contents = MacList::parse(text);
        QStringList got;
        for (const FilterEntry &entry : contents.entries)
            got.append(entry.Key + entry.Tail);
        if (!contents.ok())
            QCOMPARE(QString::number(contents.message) + u' ' + contents.detail(), result);
        else
            QCOMPARE(got.size() == 128 ? QString::number(got.size()) : got.join(u' '), result);
    }

    void read()
    {
        QTemporaryDir dir;
        QCOMPARE(MacList::read(dir.filePath(QStringLiteral("none.txt"))).message, StringId::FileNotExist);
        QFile big(dir.filePath(QStringLiteral("big.txt")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(QByteArray(MacFile::MaxFileSize + 1, '\n')) > 0);
        big.close();
        QCOMPARE(MacList::read(big.fileName()).message, StringId::NotValidMacFile);
    }
};

QTEST_GUILESS_MAIN(TestMacList)
#include "tst_maclist.moc"
