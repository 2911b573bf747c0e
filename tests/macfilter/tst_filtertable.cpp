// The filter list's edits, without any window.
#include "macfilter/macfile.h"

#include <QTest>

using namespace farlight;

class TestFilterTable : public QObject
{
    Q_OBJECT

private slots:
    void edit_data()
    {
        QTest::addColumn<QStringList>("before"); // lines of a file: keys, each with an optional ",note"
        QTest::addColumn<QString>("edit");       // "add KEY", "replace INDEX KEY" or "remove INDEX"
        QTest::addColumn<QStringList>("after");  // the outcome and the edited row or message id, then the lines

        QStringList keys; // "000000000001" ...: the lowest valid keys
        for (int i = 1; i <= 127; ++i)
            keys << QString::number(i, 16).rightJustified(12, u'0');
        const QStringList five = keys.first(5);
        QTest::newRow("upper case before lower") << QStringList{"aabbccddeeff", "BBBBBBBBBBBB"} << "add CCCCCCCCCCCC"
            << QStringList{"inserted CC-CC-CC-CC-CC-CC", "BBBBBBBBBBBB", "CCCCCCCCCCCC", "aabbccddeeff"};
        QTest::newRow("add zeros") << five << "add 000000000000" << QStringList{"303"} + five;
        QTest::newRow("add an address already listed") << five << "add " + five[2] << QStringList{"304"} + five;
        QTest::newRow("128th address") << keys << "add 0000000000FF"
            << QStringList{"appended 00-00-00-00-00-FF"} + keys + QStringList{"0000000000FF"};
        // Loading drops zeros, broadcast and repeats (the first note stays); removing renumbers.
        QTest::newRow("load, then remove the 1st")
            << QStringList{"000000000000", "000000000003,a", "ffffffffffff", "000000000001", "000000000003,b"}
            << "remove 0" << QStringList{"", "000000000003,a"};
        QTest::newRow("replace by itself") << five << "replace 1 " + five[1] << QStringList{"304"} + five;
        QTest::newRow("replace by broadcast") << five << "replace 1 ffffffffffff" << QStringList{"303"} + five;
        QTest::newRow("replace moves") << QStringList{"000000000001,door", "000000000002"} << "replace 0 0000000000A0"
            << QStringList{"replaced 00-00-00-00-00-A0", "000000000002", "0000000000A0,door"};
    }

    void edit()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, edit);
        QFETCH(QStringList, after);

        FilterTable table;
        table.load(*MacFile::parse(before.join(u'\n').toLatin1()));
        const QStringList words = edit.split(u' ');
        FilterEdit done; // refused without a message until an add or replace says otherwise
        if (words[0] == u"remove")
            QVERIFY(table.remove(words[1].toInt()));
        else
            done = words[0] == u"add" ? table.add(words[1]) : table.replace(words[1].toInt(), words[2]);
        static const QString Names[] = {"appended", "inserted", "replaced"};
        QStringList lines{done.accepted() ? Names[done.outcome] + u' ' + table.FormatEntry(done.index)
                          : done.message() ? QString::number(done.message()) : QString()};
        for (const FilterEntry &entry : table.entries())
            lines << entry.Key + entry.Tail;
        QCOMPARE(lines, after);
    }
};

QTEST_GUILESS_MAIN(TestFilterTable)
#include "tst_filtertable.moc"
