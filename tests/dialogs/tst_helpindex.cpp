#include "dialogs/helpindex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using farlight::HelpIndexUrl;
using farlight::HelpIndexUrlIn;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestHelpIndex : public QObject
{
    Q_OBJECT

private slots:
    void legacyHelpFileName();
    void buildTreeCopyIsFound();
    void buildTreeCopyMatchesTheSource();
    void searchOrder_data();
    void searchOrder();
    void folderNamedIndexIsNotAPage();
    void installedLayoutIsSearched();
};

void TestHelpIndex::legacyHelpFileName()
{
    QCOMPARE(farlight::HelpFileName, QStringLiteral("QM735XLE.HLP"));
}

void TestHelpIndex::buildTreeCopyIsFound()
{
    const QUrl url = HelpIndexUrl();
    QVERIFY2(url.isValid() && url.isLocalFile(), qPrintable(url.toString()));
    const QString path = url.toLocalFile();
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("index.html"));
    QVERIFY2(path.startsWith(QDir(QStringLiteral(FARLIGHT_TEST_BUILD_ROOT)).absolutePath() + QLatin1Char('/')),
             qPrintable(path));
    const QByteArray page = readAll(path);
    QVERIFY(page.contains("<title>Farlight Help</title>"));
}

void TestHelpIndex::buildTreeCopyMatchesTheSource()
{
    const QByteArray source = readAll(QStringLiteral(FARLIGHT_TEST_HELP_SOURCE));
    QVERIFY(!source.isEmpty());
    QCOMPARE(readAll(HelpIndexUrl().toLocalFile()), source);
}

void TestHelpIndex::searchOrder_data()
{
    QTest::addColumn<QList<bool>>("hasIndex");
    QTest::addColumn<int>("expected"); // index of the folder found, -1 for none
    QTest::newRow("no folders") << QList<bool>{} << -1;
    QTest::newRow("no folder holds the page") << QList<bool>{false, false, false} << -1;
    QTest::newRow("only the last") << QList<bool>{false, false, true} << 2;
    QTest::newRow("first of several wins") << QList<bool>{false, true, true} << 1;
    QTest::newRow("first folder") << QList<bool>{true, true} << 0;
}

void TestHelpIndex::searchOrder()
{
    QFETCH(QList<bool>, hasIndex);
    QFETCH(int, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QStringList dirs;
    for (int i = 0; i < hasIndex.size(); ++i) {
        const QString dir = root.filePath(QStringLiteral("d%1").arg(i));
        QVERIFY(QDir().mkpath(dir));
        if (hasIndex[i])
            QVERIFY(writeFile(QDir(dir).filePath(QStringLiteral("index.html")), "<title>t</title>"));
        dirs << dir;
    }
    // A folder that does not exist and an empty entry are passed over.
    dirs.prepend(root.filePath(QStringLiteral("missing")));
    dirs.prepend(QString());

    const QUrl url = HelpIndexUrlIn(dirs);
    if (expected < 0) {
        QVERIFY(url.isEmpty());
    } else {
        QVERIFY(url.isLocalFile());
        QCOMPARE(url.toLocalFile(),
                 QFileInfo(root.filePath(QStringLiteral("d%1/index.html").arg(expected))).absoluteFilePath());
    }
}

void TestHelpIndex::folderNamedIndexIsNotAPage()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("help/index.html"))));
    QVERIFY(HelpIndexUrlIn({root.filePath(QStringLiteral("help"))}).isEmpty());
}

void TestHelpIndex::installedLayoutIsSearched()
{
    const QStringList dirs = farlight::HelpSearchDirs();
    const QDir appDir(QCoreApplication::applicationDirPath());
    QVERIFY(dirs.contains(QDir::cleanPath(appDir.filePath(QStringLiteral("help")))));
    QVERIFY(dirs.contains(QDir::cleanPath(appDir.filePath(QStringLiteral("../share/farlight/help")))));
    // The copy next to the executable comes before the installed one.
    QVERIFY(dirs.indexOf(QDir::cleanPath(appDir.filePath(QStringLiteral("help"))))
            < dirs.indexOf(QDir::cleanPath(appDir.filePath(QStringLiteral("../share/farlight/help")))));
}

QTEST_GUILESS_MAIN(TestHelpIndex)
#include "tst_helpindex.moc"
