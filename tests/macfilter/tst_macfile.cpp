// .MAC files: the checks, what a file loads as, and saving without ever losing the old file.
#include "macfilter/macfile.h"

#include "../support/files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace farlight;
using testsupport::readFile;
using testsupport::writeFile;

class TestMacFile : public QObject
{
    Q_OBJECT

private slots:
    // Each file is read from disk and its entries formatted again, as Save would write them.
    // What a list keeps, and the line rules a file named .MAC is held to, are the list's test.
    void load_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("result"); // what Save would write, or the message shown

        QTest::newRow(".mac, note bytes, lone LF") << "LIST.mac" << QByteArray("aabbccddeeff,h\xE9\nBBBBBBBBBBBB")
                                                << QByteArray("aabbccddeeff,h\xE9\r\nBBBBBBBBBBBB\r\n");
        QTest::newRow("empty file") << "LIST.MAC" << QByteArray("") << QByteArray();
        QTest::newRow("128 lines") << "LIST.MAC" << QByteArray("000000000001\r\n").repeated(128)
                                   << QByteArray("000000000001\r\n").repeated(128);
        QTest::newRow("G in the address") << "LIST.MAC" << QByteArray("00000000000G") << QByteArray("message 314");
        // One line whose note fills the file to @p size bytes.
        const auto noted = [](qint64 size) { return "000000000001," + QByteArray(size - 15, 'n') + "\r\n"; };
        QTest::newRow("1 MiB") << "LIST.MAC" << noted(MacFile::MaxFileSize) << noted(MacFile::MaxFileSize);
        QTest::newRow("1 MiB and a byte") << "LIST.MAC" << noted(MacFile::MaxFileSize + 1) << QByteArray("message 314");
        QTest::newRow("other extension") << "LIST.txt" << QByteArray("000000000001\r\n") << QByteArray("message 27");
    }

    void load()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, result);

        const QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), file));
        const MacFileContents read = MacFile::read(dir.filePath(name));
        QCOMPARE(read.ok() ? MacFile::format(read.entries) : "message " + QByteArray::number(read.message), result);
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
        const QByteArray old = "000000000001,old list\r\n";
        QVERIFY(writeFile(list, old));
        const QByteArray text = QByteArray("000000000002,new list\r\n").repeated(8);
        rlimit unlimited{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        const rlimit small{rlim_t(old.size()), unlimited.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(obstacle != u"size limit" || setrlimit(RLIMIT_FSIZE, &small) == 0);
        const QString path = obstacle == u"folder is a file" ? list + QStringLiteral("/LIST.MAC") : list;
        const int message = MacFile::write(path, *MacFile::parse(text));
        setrlimit(RLIMIT_FSIZE, &unlimited);

        QCOMPARE(message, obstacle.isEmpty() ? 0 : 309);
        QCOMPARE(readFile(list), obstacle.isEmpty() ? text : old);
        // Nothing is left behind beside the list.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"LIST.MAC"});
    }
};

QTEST_GUILESS_MAIN(TestMacFile)
#include "tst_macfile.moc"
