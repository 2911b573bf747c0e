// Lab test: the MAC filtering dialog against the simulator, from the workstation namespace of a
// lab (run through lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables
// come from the program's own inventory and a real search.
#include "../support/modalscript.h"

#include "discovery/searchsession.h"
#include "macfilter/macfilterdialog.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTreeWidget>

#include <memory>

using namespace farlight;
using testsupport::ModalScript;

namespace {

// The list apsim holds for the device @p mac.
QStringList deviceFilter(const QString &mac)
{
    QFile file(qEnvironmentVariable("FARLIGHT_LAB_STATE"));
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("no state file")};
    for (const QJsonValue device : QJsonDocument::fromJson(file.readAll())[u"devices"].toArray()) {
        if (device[u"mac"] == mac)
            return device[u"filter"].toVariant().toStringList();
    }
    return {QStringLiteral("no such device")};
}

} // namespace

class TestMacFilterLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
            QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
        m_platform = CreateSystemPlatform();
        SearchSession search(m_state, *m_platform);
        QSignalSpy finished(&search, &SearchSession::finished);
        QVERIFY(search.start());
        QVERIFY(finished.wait(10000));
        QCOMPARE(m_state.DeviceCount, qint16(3));
    }

    void run_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QStringList>("shown"); // the rows read from the device
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("stored"); // apsim's list afterwards

        QTest::newRow("same subnet") << "00-0A-1B-2C-3D-4E" << QStringList{"00-11-22-33-44-55", "00-AA-BB-CC-DD-EE"}
            << "02AABBCCDDEE" << "admin" << "Pass" << QStringList{"001122334455", "00AABBCCDDEE", "02AABBCCDDEE"};
        QTest::newRow("wrong password") << "00-0A-1B-2C-3D-4F" << QStringList{"0A-0B-0C-0D-0E-0F"} << "000000000002"
            << "admin" << "Invalid Password" << QStringList{"0A0B0C0D0E0F"};
        QTest::newRow("foreign subnet, answers by broadcast")
            << "00-0A-1B-2C-3D-60" << QStringList{"00-00-00-00-00-01", "AA-BB-CC-DD-EE-FF"} << "0A0000000000"
            << "branch-pw" << "Pass" << QStringList{"000000000001", "0A0000000000", "AABBCCDDEEFF"};
    }

    void run()
    {
        QFETCH(QString, mac);
        QFETCH(QStringList, shown);
        QFETCH(QString, added);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QStringList, stored);

        qint16 index = -1;
        for (qint16 i = 0; i < m_state.DeviceCount; ++i) {
            if (FormatMac(m_state.DeviceTable[std::size_t(i)].Mac) == mac)
                index = i;
        }
        QVERIFY(index >= 0);
        MacFilterDialog dialog(m_state, index);
        dialog.show();
        auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("MacLst"));
        const auto rows = [list] {
            QStringList texts;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                texts.append(list->topLevelItem(i)->text(1));
            return texts;
        };
        QTRY_COMPARE(rows(), shown);

        for (int k = 0; k < MacFilterDialog::ByteBoxCount; ++k)
            dialog.findChild<QLineEdit *>(QStringLiteral("Mac%1").arg(k))->setText(added.mid(2 * k, 2));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Mac_add")), Qt::LeftButton);
        ModalScript script(password);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("SendCmd")), Qt::LeftButton);
        QTRY_COMPARE(script.log(), (QStringList{ModalScript::Login, message}));
        QCOMPARE(deviceFilter(mac), stored);
    }

private:
    AppState m_state;
    std::unique_ptr<Platform> m_platform;
};

QTEST_MAIN(TestMacFilterLab)
#include "tst_macfilter_lab.moc"
