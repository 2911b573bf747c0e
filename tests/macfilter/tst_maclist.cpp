// MAC lists in the forms administrators keep them: which addresses a text gives, or which line
// refuses it.
#include "macfilter/maclist.h"
#include "macfilter/macfile.h"
#include "resources/strings.h"

#include "../support/files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

class TestMacList : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("named"); // the file's name ends in .MAC
        QTest::addColumn<QString>("result"); // keys and tails in file order, or "314 line N"

        QByteArray many;
        for (int i = 1; i <= 129; ++i)
            many += QByteArray::number(0x001122000000LL + i, 16).rightJustified(12, '0') + "\r\n";
        QTest::newRow("notations, either case, comments, blank lines")
            << QByteArray("00:11:22:33:44:55\n# desk\n\n  00-11-22-33-44-5a  # hall\r\n0011.2233.4466\naabbccddeeff\n")
            << false << "001122334455 00112233445A 001122334466 AABBCCDDEEFF";
        QTest::newRow("CSV with a header, quotes, semicolons, the MAC not first")
            << QByteArray("\xEF\xBB\xBFname;mac;note\n\"desk\";\"00:11:22:33:44:55\";x\nhall,00-11-22-33-44-56,\"a, b\"\n")
            << false << "001122334455 001122334456";
        QTest::newRow(".MAC lines keep case and notes") << QByteArray("aabbccddeeff,hall\r\n001122334455\r\n") << false
                                                        << "aabbccddeeff,hall 001122334455";
        QTest::newRow("repeats in other notations collapse")
            << QByteArray("00:11:22:33:44:55\n001122334455 \n0011.2233.4455\n") << false << "001122334455";
        QTest::newRow("a line without an address")
            << QByteArray("00:11:22:33:44:55\n\n00:11:22:33:44:5G\n") << false << "314 line 3";
        QTest::newRow("a header after the first line") << QByteArray("00:11:22:33:44:55\nname,mac\n") << false
                                                       << "314 line 2";
        QTest::newRow("an address no list may hold") << QByteArray("# zero\nff:ff:ff:ff:ff:ff\n") << false << "314 line 2";
        QTest::newRow("129 addresses") << many << false << "314 line 0";
        QTest::newRow("130 lines, 128 addresses") << many.first(128 * 14) + "001122000001\r\n001122000002\r\n"
                                                  << false << "128";
        // A damaged .MAC file is refused, never half read.
        QTest::newRow(".MAC name: a blank line at the end") << QByteArray("001122334455\r\n\r\n") << true << "314 line 2";
        QTest::newRow(".MAC name: a semicolon before the note") << QByteArray("001122334455\r\n00112233445A;desk\r\n")
                                                                << true << "314 line 2";
        QTest::newRow(".MAC name: 129 lines, 128 addresses") << many.first(128 * 14) + "001122000001\r\n" << true
                                                             << "314 line 129";
        QTest::newRow(".MAC name: blank lines alone") << QByteArray("\r\n") << true << "314 line 1";
        QTest::newRow(".MAC name, another notation") << QByteArray("00:11:22:33:44:55\n\n") << true << "001122334455";
        QTest::newRow("another name: a blank line skipped") << QByteArray("001122334455\r\n\r\n") << false
                                                            << "001122334455";
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, named);
        QFETCH(QString, result);
        const MacListContents contents = MacList::parse(text, named);
        QStringList got;
        for (const FilterEntry &entry : contents.entries)
            got.append(entry.Key + entry.Tail);
        if (!contents.ok())
            QCOMPARE(u"%1 line %2"_s.arg(contents.message).arg(contents.line), result);
        else
            QCOMPARE(got.size() == 128 ? QString::number(got.size()) : got.join(u' '), result);
    }

    void read()
    {
        QTemporaryDir dir;
        QCOMPARE(MacList::read(dir.filePath(QStringLiteral("none.txt"))).message, StringId::FileNotExist);
        const QString big = dir.filePath(QStringLiteral("big.txt"));
        QVERIFY(testsupport::writeFile(big, QByteArray(MacFile::MaxFileSize + 1, '\n')));
        QCOMPARE(MacList::read(big).message, StringId::NotValidMacFile);
    }
};

QTEST_GUILESS_MAIN(TestMacList)
#include "tst_maclist.moc"
