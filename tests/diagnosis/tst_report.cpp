#include "diagnosis/report.h"

#include <QTest>

using namespace farlight;

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void mostLikelyCause_data()
    {
        QTest::addColumn<QStringList>("findings"); // check/verdict/summary
        QTest::addColumn<QString>("cause");

        QTest::newRow("firewall problem over a filter warning and the empty search")
            << QStringList{"rp_filter/warning/strict", "firewall-search/problem/drops", "search/warning/none answered"} << "drops";
        QTest::newRow("a busy TFTP port explains no empty search")
            << QStringList{"tftp-port/problem/held", "firewall-search/ok/passes", "rp_filter/problem/dropped 1"} << "dropped 1";
        QTest::newRow("only an unread firewall is left")
            << QStringList{"adapters/ok/eth0", "firewall/not run/no root", "search/warning/none answered"} << "no root";
        // Empty: a line of its own, none of the summaries.
        QTest::newRow("nothing found") << QStringList{"adapters/ok/eth0", "search/warning/none answered"} << "";
    }

    void mostLikelyCause()
    {
        QFETCH(QStringList, findings);
        QFETCH(QString, cause);

        const QList<Finding::Verdict> verdicts{Finding::Verdict::Ok, Finding::Verdict::Warning, Finding::Verdict::Problem,
                                               Finding::Verdict::NotRun};
        QList<Finding> list;
        QStringList summaries;
        for (const QString &row : findings) {
            const QStringList parts = row.split(u'/');
            const auto verdict = std::find_if(verdicts.cbegin(), verdicts.cend(),
                                              [&](Finding::Verdict v) { return VerdictName(v) == parts[1]; });
            QVERIFY(verdict != verdicts.cend());
            list.append({parts[0], {}, *verdict, parts[2], {}, {}});
            summaries.append(parts[2]);
        }
        const QString got = MostLikelyCause(list);
        if (cause.isEmpty())
            QVERIFY2(!got.isEmpty() && !summaries.contains(got), qPrintable(got));
        else
            QCOMPARE(got, cause);
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
