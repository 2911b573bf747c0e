// The filter list's edits, without any window.
#include "macfilter/filtertable.h"

#include <QTest>

using namespace farlight;

// "000000000001" ...: the @p n lowest valid keys.
static QStringList countingKeys(int n)
{
    QStringList keys;
    for (int i = 1; i <= n; ++i)
        keys << QStringLiteral("%1").arg(i, 12, 16, QLatin1Char('0')).toUpper();
    return keys;
}

class TestFilterTable : public QObject
{
    Q_OBJECT

private slots:
    void edit_data()
    {
        QTest::addColumn<QStringList>("before"); // keys, each with an optional ",note" as from a file
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("result"); // outcome, position and row text; or the message shown
        QTest::addColumn<QStringList>("after");

        const QString first = QStringLiteral("0A0B0C0D0E0F");
        const QStringList five = countingKeys(5);
        QTest::newRow("add to an empty list") << QStringList() << "add" << 0 << first
                                              << "appended 0 0A-0B-0C-0D-0E-0F" << QStringList{first};
        QTest::newRow("add before the first moves it down") << QStringList{first} << "add" << 0 << "000000000001"
                                                            << "inserted 0 00-00-00-00-00-01"
                                                            << QStringList{"000000000001", first};
        QTest::newRow("pasted text read up to its first non-digit") << QStringList() << "add" << 0 << "7GG7x1aabbcc"
                                                                    << "appended 0 07-00-00-AA-BB-CC"
                                                                    << QStringList{"7GG7x1aabbcc"};
        QTest::newRow("add zeros") << QStringList{first} << "add" << 0 << "000000000000" << "303" << QStringList{first};
        QTest::newRow("add an address already listed") << five << "add" << 0 << five[2] << "304" << five;
        QTest::newRow("typed upper case sorts before the file's lower case")
            << QStringList{"aabbccddeeff", "BBBBBBBBBBBB"} << "add" << 0 << "AABBCCDDEEFF" << "inserted 0 AA-BB-CC-DD-EE-FF"
            << QStringList{"AABBCCDDEEFF", "BBBBBBBBBBBB", "aabbccddeeff"};
        QTest::newRow("128th address") << countingKeys(127) << "add" << 0 << "FFFFFFFFFFFE"
                                       << "appended 127 FF-FF-FF-FF-FF-FE" << countingKeys(127) + QStringList{"FFFFFFFFFFFE"};
        // A full list refuses before the address is looked at.
        QTest::newRow("full list, even for zeros") << countingKeys(128) << "add" << 0 << "000000000000" << "full"
                                                   << countingKeys(128);
        QTest::newRow("remove row 3 of 5") << five << "remove" << 2 << QString() << "removed"
                                           << QStringList{five[0], five[1], five[3], five[4]};
        QTest::newRow("replace by itself") << five << "replace" << 1 << five[1] << "304" << five;
        QTest::newRow("replace by broadcast") << five << "replace" << 1 << "FFFFFFFFFFFF" << "303" << five;
        QTest::newRow("replace moves the entry and keeps its note")
            << QStringList{"000000000001,door", "000000000002", "000000000003"} << "replace" << 0 << "0000000000A0"
            << "replaced 2 00-00-00-00-00-A0" << QStringList{"000000000002", "000000000003", "0000000000A0,door"};
        QTest::newRow("replace with no row") << five << "replace" << -1 << "0000000000A0" << "no entry" << five;
    }

    void edit()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, operation);
        QFETCH(int, index);
        QFETCH(QString, key);
        QFETCH(QString, result);
        QFETCH(QStringList, after);

        QList<FilterEntry> entries;
        for (const QString &line : before)
            entries << FilterTable::EntryFromKey(line.first(12), line.sliced(12));
        FilterTable table;
        table.load(entries);
        QString outcome;
        if (operation == u"remove") {
            outcome = table.remove(index) ? QStringLiteral("removed") : QStringLiteral("refused");
        } else {
            const FilterEdit edit = operation == u"add" ? table.add(key) : table.replace(index, key);
            static const char *const Names[] = {"appended", "inserted", "replaced", "full", "", "", "no entry"};
            outcome = edit.message() ? QString::number(edit.message()) : QString::fromLatin1(Names[edit.outcome]);
            if (edit.accepted())
                outcome += QStringLiteral(" %1 %2").arg(edit.index).arg(table.FormatEntry(edit.index));
        }
        QCOMPARE(outcome, result);
        QStringList lines;
        for (const FilterEntry &entry : table.entries())
            lines << entry.Key + entry.Tail;
        QCOMPARE(lines, after);
        QCOMPARE(table.FormatEntry(table.count()), QString());
    }
};

QTEST_GUILESS_MAIN(TestFilterTable)
#include "tst_filtertable.moc"
