// Lab test: the MAC filtering dialog against the simulator, from the workstation namespace of a
// lab (run through lab/with-lab.sh, see farlight_add_lab_test). The adapter and device tables
// come from the program's own inventory and a real search.
#include "../support/labstate.h"
#include "../support/modalscript.h"

#include "discovery/searchsession.h"
#include "macfilter/macfile.h"
#include "macfilter/macfilterdialog.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"

#include <QSignalSpy>

using namespace farlight;
using namespace Qt::StringLiterals;
using testsupport::ModalScript;

class TestMacFilterLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_STATE"))
            QFAIL("FARLIGHT_LAB_STATE is not set: run this test through lab/with-lab.sh (ctest -L lab)");
        const std::unique_ptr<Platform> platform = CreateSystemPlatform();
        SearchSession search(m_state, *platform);
        QSignalSpy finished(&search, &SearchSession::finished);
        QVERIFY(search.start());
        QVERIFY(finished.wait(10000));
        QCOMPARE(m_state.deviceCount, qint16(3));
    }

    void run_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QByteArray>("shown"); // the list read from the device, as Save would write it
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("stored"); // apsim's list afterwards

        QTest::newRow("same subnet") << "00-0A-1B-2C-3D-4E" << QByteArray("001122334455\r\n00AABBCCDDEE\r\n")
            << "02AABBCCDDEE" << "admin" << "Pass" << QStringList{"001122334455", "00AABBCCDDEE", "02AABBCCDDEE"};
        QTest::newRow("wrong password") << "00-0A-1B-2C-3D-4F" << QByteArray("0A0B0C0D0E0F\r\n") << "000000000002"
            << "admin" << "Invalid Password" << QStringList{"0A0B0C0D0E0F"};
        // The device on a foreign subnet answers by broadcast.
        QTest::newRow("foreign subnet") << "00-0A-1B-2C-3D-60" << QByteArray("000000000001\r\nAABBCCDDEEFF\r\n")
            << "0A0000000000" << "branch-pw" << "Pass" << QStringList{"000000000001", "0A0000000000", "AABBCCDDEEFF"};
    }

    void run()
    {
        QFETCH(QString, mac);
        QFETCH(QByteArray, shown);
        QFETCH(QString, added);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QStringList, stored);

        qint16 index = 0;
        while (index < m_state.deviceCount && FormatMac(m_state.deviceTable[std::size_t(index)].Mac) != mac)
            ++index;
        QString sessionPassword;
        MacFilterDialog dialog(*m_state.target(index), m_state.counters, sessionPassword);
        dialog.show();
        QTRY_COMPARE(MacFile::format(dialog.table().entries()), shown);

        for (int k = 0; k < MacFilterDialog::ByteBoxCount; ++k)
            dialog.findChild<QLineEdit *>(QStringLiteral("Mac%1").arg(k))->setText(added.mid(2 * k, 2));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Mac_add")), Qt::LeftButton);
        ModalScript script(password);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("SendCmd")), Qt::LeftButton);
        QTRY_COMPARE(script.log(), (QStringList{ModalScript::Login, message}));
        QCOMPARE(testsupport::labDeviceState(mac, u"filter"_s).toVariant().toStringList(), stored);
    }

private:
    AppState m_state;
};

QTEST_MAIN(TestMacFilterLab)
#include "tst_macfilter_lab.moc"
