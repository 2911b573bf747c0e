// Which chosen devices an upload goes to: a shared address refuses, unless forced; a device
// without its adapter is listed, not dropped; the targets keep the device indexes beside them.
#include "firmware/uploadplan.h"
#include "session/appstate.h"

#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

class TestUploadPlan : public QObject
{
    Q_OBJECT

private slots:
    void plan_data()
    {
        QTest::addColumn<QList<int>>("hosts"); // each device's last address byte; a negative one has lost its adapter
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("plan"); // targets, refused with the others at their address, unreachable
        QTest::newRow("own addresses") << QList<int>{21, 22, 23} << false << "to 0 1 2 | refused | unreachable";
        QTest::newRow("two share an address, each names the other")
            << QList<int>{22, 21, 22} << false << "to 1 | refused 0:2 2:0 | unreachable";
        QTest::newRow("forced") << QList<int>{22, 21, 22} << true << "to 0 1 2 | refused | unreachable";
        // A device whose adapter is gone must not shift the targets after it away from their devices.
        QTest::newRow("adapter gone in the middle") << QList<int>{21, -22, 23} << false << "to 0 2 | refused | unreachable 1";
        // It still answered from the shared address: the other device there is refused for it.
        QTest::newRow("adapter gone, address shared") << QList<int>{-22, 22} << false << "to | refused 1:0 | unreachable 0";
    }

    void plan()
    {
        QFETCH(QList<int>, hosts);
        QFETCH(bool, force);
        QFETCH(QString, plan);
        AppState state;
        state.adapterTable[0].IpAddress = u"192.168.1.10"_s;
        state.adapterCount = 1;
        QList<int> indexes;
        for (int host : std::as_const(hosts)) {
            DeviceRecord &record = state.deviceTable[std::size_t(state.deviceCount)];
            record.IpAddress = u"192.168.1.%1"_s.arg(qAbs(host));
            record.Mac = {0, 0x0A, 0, 0, 0, quint8(state.deviceCount)};
            record.AdapterIndex = host < 0 ? 1 : 0;
            indexes.append(state.deviceCount++);
        }
        const UploadPlan result = PlanUploads(state, indexes, force);
        QCOMPARE(result.targets.size(), result.indexes.size());
        QString shown = u"to"_s;
        for (qsizetype i = 0; i < result.targets.size(); ++i) {
            QCOMPARE(result.targets[i].mac, state.deviceTable[std::size_t(result.indexes[i])].Mac);
            shown += u' ' + QString::number(result.indexes[i]);
        }
        shown += u" | refused"_s;
        for (const UploadPlan::Refusal &refusal : result.refused) {
            QCOMPARE(refusal.shared.device, state.deviceTable[std::size_t(refusal.index)].Mac);
            shown += u" %1:"_s.arg(refusal.index);
            for (const MacAddress &mac : refusal.shared.others)
                shown += QString::number(mac[5]);
        }
        shown += u" | unreachable"_s;
        for (int index : result.unreachable)
            shown += u' ' + QString::number(index);
        QCOMPARE(shown, plan);
    }
};

QTEST_GUILESS_MAIN(TestUploadPlan)
#include "tst_uploadplan.moc"
