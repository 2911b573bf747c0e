// The guard that keeps the simulator off the machine's own network.

#include "netnamespace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(farlight::NetNamespace::Verdict)

class TestNetNamespace : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data()
    {
        QTest::addColumn<QString>("self");
        QTest::addColumn<QStringList>("references");
        QTest::addColumn<NetNamespace::Verdict>("expected");

        // Link targets as the kernel shows them; an empty target means the link cannot be read.
        const QString root = u"net:[4026531840]"_s;
        const QString own = u"net:[4026532100]"_s;
        QTest::newRow("own namespace") << own << QStringList{root} << NetNamespace::Verdict::Isolated;
        QTest::newRow("initial namespace") << root << QStringList{root} << NetNamespace::Verdict::RootNamespace;
        QTest::newRow("first reference hidden, second decides")
            << root << QStringList{QString(), root} << NetNamespace::Verdict::RootNamespace;
        QTest::newRow("no reference readable") << own << QStringList{QString()} << NetNamespace::Verdict::Unknown;
        QTest::newRow("own link unreadable") << QString() << QStringList{root} << NetNamespace::Verdict::Unknown;
    }

    void verdict()
    {
        QFETCH(QString, self);
        QFETCH(QStringList, references);
        QFETCH(NetNamespace::Verdict, expected);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto link = [&](const QString &name, const QString &target) {
            const QString path = dir.filePath(name);
            if (!target.isEmpty())
                QFile::link(target, path);
            return path;
        };
        QStringList referencePaths;
        for (int i = 0; i < references.size(); ++i)
            referencePaths << link(u"ref%1"_s.arg(i), references[i]);
        QString detail;
        QCOMPARE(NetNamespace::check(link(u"self"_s, self), referencePaths, &detail), expected);
        QVERIFY(!detail.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNetNamespace)
#include "tst_netnamespace.moc"
