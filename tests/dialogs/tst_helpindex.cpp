#include "dialogs/helpindex.h"

#include "../support/files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestHelpIndex : public QObject
{
    Q_OBJECT

private slots:
    void buildTreeCopyIsFound()
    {
        const QString path = farlight::HelpIndexUrl().toLocalFile();
        QVERIFY2(path.startsWith(QDir(FARLIGHT_TEST_BUILD_ROOT).absolutePath() + '/'), qPrintable(path));
        const QByteArray source = testsupport::readFile(QStringLiteral(FARLIGHT_TEST_HELP_SOURCE));
        QVERIFY(!source.isEmpty());
        QCOMPARE(testsupport::readFile(path), source);
    }

    void searchOrder_data()
    {
        // One letter per folder, in search order: 'x' missing, 'e' empty, 'd' holds a folder named
        // index.html, 'i' holds the page. An empty entry always comes first.
        QTest::addColumn<QString>("folders");
        QTest::addColumn<int>("expected"); // position of the folder found, -1 for none
        QTest::newRow("none holds the page") << "xed" << -1;
        QTest::newRow("missing folder skipped") << "xi" << 1;
        QTest::newRow("first of several wins") << "eii" << 1;
        QTest::newRow("folder named index.html passed over") << "di" << 1;
    }

    void searchOrder()
    {
        QFETCH(QString, folders);
        QFETCH(int, expected);
        QTemporaryDir root;
        QStringList dirs{QString()};
        for (int i = 0; i < folders.size(); ++i) {
            dirs << root.filePath(QString::number(i));
            const QString page = QDir(dirs.last()).filePath("index.html");
            if (folders[i] != 'x')
                QVERIFY(QDir().mkpath(folders[i] == 'd' ? page : dirs.last()));
            if (folders[i] == 'i')
                QVERIFY(testsupport::writeFile(page, "<title>t</title>"));
        }
        const QString found = farlight::HelpIndexUrlIn(dirs).toLocalFile();
        QCOMPARE(found, expected < 0 ? QString() : QDir(dirs[expected + 1]).filePath("index.html"));
    }
};

QTEST_GUILESS_MAIN(TestHelpIndex)
#include "tst_helpindex.moc"
