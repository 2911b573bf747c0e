// .MAC files: the checks, what a file loads as, and saving without ever losing the old file.
#include "macfilter/macfile.h"
#include "resources/strings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace farlight;

static QByteArray countingLines(int n)
{
    QByteArray text;
    for (int i = 1; i <= n; ++i)
        text += QByteArray::number(i, 16).rightJustified(12, '0') + "\r\n";
    return text;
}

static QByteArray fileBytes(const QString &path, const QByteArray &write = {})
{
    QFile file(path);
    if (!write.isNull())
        return file.open(QIODevice::WriteOnly) && file.write(write) == write.size() ? write : QByteArray();
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TestMacFile : public QObject
{
    Q_OBJECT

private slots:
    // Each file is read from disk, loaded into a list and the list formatted again: what Save
    // would write shows the keys, their case, the notes and the order the file loads in.
    void load_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file"); // null: no such file
        QTest::addColumn<int>("message");
        QTest::addColumn<QByteArray>("saved");

        const QString name = QStringLiteral("LIST.MAC");
        const QByteArray noted = "aabbccddeeff,Lobby \xE9tage 2\r\n";
        QTest::newRow("lower case with a note, bytes kept") << name << noted << 0 << noted;
        QTest::newRow("invalid addresses and repeats dropped, first note kept")
            << name << QByteArray("000000000000\r\n000000000002,first\r\nFFFFFFFFFFFF\r\nffffffffffff\r\n"
                                  "000000000002,second\r\n000000000001")
            << 0 << QByteArray("000000000001\r\n000000000002,first\r\n");
        QTest::newRow("lone LF line ends") << name << QByteArray("000000000002\n000000000001\n") << 0
                                           << QByteArray("000000000001\r\n000000000002\r\n");
        QTest::newRow("empty file") << name << QByteArray("") << 0 << QByteArray();
        QTest::newRow("128 lines") << name << countingLines(128) << 0 << countingLines(128);
        const int invalid = StringId::NotValidMacFile;
        QTest::newRow("129 lines") << name << countingLines(129) << invalid << QByteArray();
        QTest::newRow("empty line at the end") << name << QByteArray("000000000001\r\n\r\n") << invalid << QByteArray();
        QTest::newRow("13th character a semicolon") << name << QByteArray("000000000001;x\r\n") << invalid << QByteArray();
        QTest::newRow("non-hexadecimal among the first 12") << name << QByteArray("00000000000G") << invalid << QByteArray();
        QTest::newRow("lower-case extension") << "LIST.mac" << countingLines(1) << 0 << countingLines(1);
        QTest::newRow("other extension") << "LIST.txt" << countingLines(1) << int(StringId::FileNotExist) << QByteArray();
        QTest::newRow("no such file") << name << QByteArray() << int(StringId::FileNotExist) << QByteArray();
        QTest::newRow("no name") << "" << QByteArray() << int(StringId::PleaseKeyinPath) << QByteArray();
    }

    void load()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(int, message);
        QFETCH(QByteArray, saved);

        const QTemporaryDir dir;
        const QString path = name.isEmpty() ? QString() : dir.filePath(name);
        if (!file.isNull())
            QCOMPARE(fileBytes(path, file), file);
        const MacFileContents read = MacFile::read(path);
        QCOMPARE(read.message, message);
        FilterTable table;
        table.load(read.entries);
        QCOMPARE(MacFile::format(table.entries()), saved);
    }

    void save_data()
    {
        QTest::addColumn<QString>("obstacle");

        QTest::newRow("none: the new list replaces the old") << "";
        // Failures that stop root too, as the tests run as root where permissions stop nothing:
        // a folder that is a file, and a write cut short half-way (the file size limit), which
        // a file emptied and then written would not survive.
        QTest::newRow("folder is a regular file") << "folder is a file";
        QTest::newRow("write cut short") << "size limit";
    }

    void save()
    {
        QFETCH(QString, obstacle);

        const QTemporaryDir dir;
        const QString list = dir.filePath(QStringLiteral("LIST.MAC"));
        const QByteArray old = fileBytes(list, "000000000001,old list\r\n");
        QList<FilterEntry> entries = *MacFile::parse(countingLines(128));
        entries[0].Tail = QStringLiteral(",new list");

        rlimit unlimited{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        const rlimit small{rlim_t(old.size()), unlimited.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        if (obstacle == u"size limit")
            QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);

        const int message = MacFile::write(obstacle == u"folder is a file" ? list + QStringLiteral("/LIST.MAC") : list, entries);
        setrlimit(RLIMIT_FSIZE, &unlimited);

        QCOMPARE(message, obstacle.isEmpty() ? 0 : int(StringId::PermissionDenied));
        QCOMPARE(fileBytes(list), obstacle.isEmpty() ? MacFile::format(entries) : old);
        // Nothing is left behind beside the list.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"LIST.MAC"});
    }
};

QTEST_GUILESS_MAIN(TestMacFile)
#include "tst_macfile.moc"
