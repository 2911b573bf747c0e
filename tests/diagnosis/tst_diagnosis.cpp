#include "diagnosis/diagnosis.h"
#include "netenv/fakeplatform.h"

#include "../support/files.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace farlight;

class TestDiagnosis : public QObject
{
    Q_OBJECT

private slots:
    // nft may wait seconds on a lock; the window's hint after an empty search must not freeze the
    // window meanwhile. The running system's probe meets an nft that answers after 2 seconds.
    void slowFirewallToolKeepsEventsFlowing()
    {
        static constexpr qint64 LongestGapMs = 100;
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(testsupport::writeFile(folder.filePath(QStringLiteral("nft")),
                                       "#!/bin/sh\nsleep 2\nexec cat " RULESETS "/drop_policy.json\n",
                                       QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", folder.path().toLocal8Bit() + ':' + qgetenv("PATH"));

        FakePlatform platform;
        platform.addAdapter(QStringLiteral("eth0"), MacAddress(), 2, QStringLiteral("192.168.1.10"), QStringLiteral("255.255.255.0"), {});
        Diagnosis diagnosis(platform);
        diagnosis.setLiveSearch(false);
        QSignalSpy finished(&diagnosis, &Diagnosis::finished);

        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longestGap = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        clock.start();
        ticker.start();
        QVERIFY(diagnosis.start());
        QVERIFY(finished.wait(10000));
        longestGap = std::max(longestGap, clock.elapsed() - lastTick);

        const auto firewall = std::find_if(diagnosis.findings().cbegin(), diagnosis.findings().cend(),
                                           [](const Finding &f) { return f.check == CheckName::FirewallSearch; });
        QVERIFY2(firewall != diagnosis.findings().cend(), "the slow nft's ruleset was not judged");
        QCOMPARE(firewall->verdict, Finding::Verdict::Problem);
        QVERIFY2(longestGap <= LongestGapMs, qPrintable(QStringLiteral("event loop blocked for %1 ms").arg(longestGap)));
    }
};

QTEST_GUILESS_MAIN(TestDiagnosis)
#include "tst_diagnosis.moc"
