// What the MAC filtering dialog's controls do, against a device on loopback in a private network
// namespace. The list rules, the file format and the request bytes belong to the engine's tests.
#include "../ipconfig/setipsupport.h"
#include "../support/hexbytes.h"
#include "../support/modalscript.h"

#include "macfilter/macfilterdialog.h"
#include "netenv/udppeer.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>

using namespace farlight;
using testsupport::LoopbackDevice;
using testsupport::ModalScript;

namespace {

// A filter reply to the request numbered @p sequence, its list from the first slot on.
QByteArray filterReply(quint8 flag, quint16 sequence, const char *statusHex, const QStringList &keys = {})
{
    QByteArray bytes = hexBytes("87654321 60") + char(flag) + char(sequence >> 8) + char(sequence & 0xFF)
        + LoopbackDevice::AdapterMac + zeros(6) + hexBytes(statusHex) + zeros(2)
        + QByteArray::fromHex(keys.join(QString()).toLatin1());
    return bytes + zeros(792 - bytes.size());
}

QStringList keyRange(int count)
{
    QStringList keys;
    for (int i = 0; i < count; ++i)
        keys.append(QStringLiteral("0000000001%1").arg(i, 2, 16, QLatin1Char('0')).toUpper());
    return keys;
}

} // namespace

class TestMacFilterDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }

    void init()
    {
        m_state = std::make_unique<AppState>();
        LoopbackDevice::fill(*m_state);
        m_dialog = std::make_unique<MacFilterDialog>(*m_state, qint16(0));
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
        QCOMPARE(m_device.nextRequest().left(6).toHex(), QByteArray("876543216020"));
    }

    void cleanup()
    {
        m_dialog.reset();
        m_device.drain();
    }

    void boxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown"); // right after the input
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("left"); // once the box has lost focus

        QTest::newRow("two typed digits replace 00 and move on") << "Mac2" << false << "a1" << "A1" << "Mac3" << "A1";
        QTest::newRow("typed non-hex dropped, 00 kept") << "Mac2" << false << "g:-" << "00" << "Mac2" << "00";
        QTest::newRow("one digit becomes 07 on leaving") << "Mac2" << false << "7" << "7" << "Mac2" << "07";
        QTest::newRow("emptied box becomes 00") << "Mac0" << false << "\b" << "" << "Mac0" << "00";
        QTest::newRow("last box moves on to Add") << "Mac5" << false << "7f" << "7F" << "Mac_add" << "7F";
        QTest::newRow("paste filtered like typing") << "Mac2" << true << "f:f" << "FF" << "Mac3" << "FF";
        QTest::newRow("paste without hex empties") << "Mac2" << true << "xyz" << "" << "Mac2" << "00";
        QTest::newRow("paste of more than a byte refused") << "Mac2" << true << "00:1a:2b" << "00" << "Mac2" << "00";
    }

    void boxes()
    {
        QFETCH(QString, box);
        QFETCH(bool, paste);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(QString, focus);
        QFETCH(QString, left);

        auto *edit = m_dialog->findChild<QLineEdit *>(box);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Mac0"));
        m_dialog->findChild<QWidget *>(QStringLiteral("MacLst"))->setFocus();
        QTest::mouseClick(edit, Qt::LeftButton);
        QTRY_COMPARE(edit->selectedText(), QStringLiteral("00"));
        paste ? edit->insert(input) : QTest::keyClicks(edit, input);
        QCOMPARE(edit->text(), shown);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        m_dialog->findChild<QWidget *>(QStringLiteral("MacLst"))->setFocus();
        QCOMPARE(edit->text(), left);
    }

    void edits_data()
    {
        QTest::addColumn<QStringList>("device"); // the list the device sends on opening
        // "+KEY" types KEY and clicks Add, "=KEY" Replace, "-" Remove; "@N" presses row N, 0 below the rows.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("rows"); // the first rows; "*" marks the selected one
        QTest::addColumn<QString>("enabled");  // Add, Replace, Remove
        QTest::addColumn<QStringList>("messages");

        const QString a = QStringLiteral("0A0B0C0D0E0F");
        const QString b = QStringLiteral("AABBCCDDEEFF");
        const QString invalid = QStringLiteral("QM735XL Utility: Invalid Mac address");
        const QString exists = QStringLiteral("QM735XL Utility: This Mac address is exist in table");
        QTest::newRow("device list sorted, row buttons off") << QStringList{b, a} << QStringList() << 2
            << QStringList{"1 0A-0B-0C-0D-0E-0F", "2 AA-BB-CC-DD-EE-FF"} << "100" << QStringList();
        QTest::newRow("append turns row buttons on") << QStringList() << QStringList{"+" + a} << 1
            << QStringList{"1 0A-0B-0C-0D-0E-0F"} << "111" << QStringList();
        QTest::newRow("insert moves rows down, buttons kept") << QStringList{a} << QStringList{"+000000000001"} << 2
            << QStringList{"1 00-00-00-00-00-01", "2 0A-0B-0C-0D-0E-0F"} << "100" << QStringList();
        QTest::newRow("boxes as loaded: 303") << QStringList() << QStringList{"+000000000000"} << 0 << QStringList()
            << "100" << QStringList{invalid};
        QTest::newRow("ff everywhere: 303") << QStringList() << QStringList{"+ffffffffffff"} << 0 << QStringList()
            << "100" << QStringList{invalid};
        QTest::newRow("add a listed address: 304") << QStringList{a} << QStringList{"+" + a} << 1
            << QStringList{"1 0A-0B-0C-0D-0E-0F"} << "100" << QStringList{exists};
        QTest::newRow("replace by itself: 304") << QStringList{a, b} << QStringList{"@1", "=" + a} << 2
            << QStringList{"1 0A-0B-0C-0D-0E-0F*", "2 AA-BB-CC-DD-EE-FF"} << "111"
            << QStringList{exists};
        QTest::newRow("replaced address moves, selection stays") << QStringList{a, b} << QStringList{"@1", "=BBBBBBBBBBBB"}
            << 2 << QStringList{"1 AA-BB-CC-DD-EE-FF*", "2 BB-BB-BB-BB-BB-BB"} << "111" << QStringList();
        QTest::newRow("remove renumbers, row buttons off") << keyRange(5) << QStringList{"@3", "-"} << 4
            << QStringList{"1 00-00-00-00-01-00", "2 00-00-00-00-01-01", "3 00-00-00-00-01-03", "4 00-00-00-00-01-04"}
            << "100" << QStringList();
        QTest::newRow("press below the rows") << QStringList{a} << QStringList{"@1", "@0"} << 1
            << QStringList{"1 0A-0B-0C-0D-0E-0F"} << "100" << QStringList();
        QTest::newRow("128th address added turns Add off") << keyRange(127) << QStringList{"+" + b} << 128
            << QStringList{"1 00-00-00-00-01-00"} << "011" << QStringList();
        QTest::newRow("full device list, then remove") << keyRange(128) << QStringList{"@2", "-"} << 127
            << QStringList{"1 00-00-00-00-01-00", "2 00-00-00-00-01-02"} << "100" << QStringList();
    }

    void edits()
    {
        QFETCH(QStringList, device);
        QFETCH(QStringList, steps);
        QFETCH(int, count);
        QFETCH(QStringList, rows);
        QFETCH(QString, enabled);
        QFETCH(QStringList, messages);

        m_device.answer(filterReply(0x30, 0, "0000", device), macSocketPort());
        QTRY_COMPARE(list()->topLevelItemCount(), int(device.size()));
        QCOMPARE(buttonStates(), QString(device.size() < 128 ? "100" : "000"));
        ModalScript script;
        for (const QString &step : steps) {
            const QString argument = step.mid(1);
            if (step[0] == u'@') {
                QTreeWidgetItem *row = list()->topLevelItem(argument.toInt() - 1);
                const QPoint at = row ? list()->visualItemRect(row).center() : QPoint(5, list()->viewport()->height() - 3);
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
                continue;
            }
            if (step[0] != u'-')
                type(argument);
            const char *button = step[0] == u'+' ? "Mac_add" : step[0] == u'=' ? "Mac_replace" : "Mac_remove";
            QTest::mouseClick(m_dialog->findChild<QPushButton *>(button), Qt::LeftButton);
        }
        QCOMPARE(list()->topLevelItemCount(), count);
        QCOMPARE(shownRows().first(rows.size()), rows);
        QCOMPARE(buttonStates(), enabled);
        QCOMPARE(shown(script), messages);
    }

    // Open and Save, each from a list holding the device's one address.
    void files_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("before"); // the file's bytes; for Save, empty: no such file
        QTest::addColumn<int>("answer");        // to the question whether to replace a file
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("enabled");   // Add, Replace, Remove
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QByteArray>("after");  // the file's bytes afterwards

        const QStringList device{"1 00-0A-1B-2C-3D-4E"};
        const QByteArray valid("aabbccddeeff,hall\r\n001122AABBCC\r\n");
        const QByteArray saved("000A1B2C3D4E\r\n");
        const QString replace = QStringLiteral("QM735XL Utility: This file already existed, would you like to replace it?");
        QTest::newRow("open a valid file") << "OpenDlg" << "list.mac" << valid << 0
            << QStringList{"1 00-11-22-AA-BB-CC", "2 AA-BB-CC-DD-EE-FF"} << "111" << QStringList() << valid;
        QTest::newRow("open an empty file") << "OpenDlg" << "EMPTY.MAC" << QByteArray() << 0 << QStringList() << "100"
                                            << QStringList() << QByteArray();
        QTest::newRow("open a bad line: 314") << "OpenDlg" << "bad.mac" << QByteArray("001122AABBC\r\n") << 0 << device
            << "100" << QStringList{"Farlight: This is not valid MAC address filtering file for Farlight"}
            << QByteArray("001122AABBC\r\n");
        QTest::newRow("open a name without .MAC: 27") << "OpenDlg" << "list.txt" << valid << 0 << device << "100"
                                                      << QStringList{"Farlight: This file not exist."} << valid;
        QTest::newRow("save a new file") << "SaveDlg" << "new.mac" << QByteArray() << 0 << device << "100"
                                         << QStringList() << saved;
        QTest::newRow("save over a file, OK") << "SaveDlg" << "ok.mac" << QByteArray("old\r\n") << int(QMessageBox::Ok)
                                              << device << "100" << QStringList{replace} << saved;
        QTest::newRow("save over a file, Cancel") << "SaveDlg" << "cancel.mac" << QByteArray("old\r\n")
            << int(QMessageBox::Cancel) << device << "100" << QStringList{replace} << QByteArray("old\r\n");
    }

    void files()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QByteArray, before);
        QFETCH(int, answer);
        QFETCH(QStringList, rows);
        QFETCH(QString, enabled);
        QFETCH(QStringList, seen);
        QFETCH(QByteArray, after);

        m_device.answer(filterReply(0x30, 0, "0000", {"000A1B2C3D4E"}), macSocketPort());
        QTRY_COMPARE(list()->topLevelItemCount(), 1);
        QFile file(m_dir.filePath(name));
        if (button == "OpenDlg" || !before.isEmpty())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size() && file.flush());
        file.close();
        ModalScript script;
        script.queueBox(QMessageBox::StandardButton(answer));
        testsupport::whenShown<QFileDialog>([path = file.fileName()](QFileDialog *files) {
            // Typed into the name field: selectFile() leaves a field that has focus alone.
            files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog *>(files)->accept(); // the file dialog's own accept() is not public
        });
        QTest::mouseClick(m_dialog->findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(shownRows(), rows);
        QCOMPARE(buttonStates(), enabled);
        QCOMPARE(m_dialog->filePath(), file.fileName());
        QCOMPARE(shown(script), seen);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), after);
    }

    void send_data()
    {
        QTest::addColumn<bool>("login");
        QTest::addColumn<QByteArray>("status"); // the device's answer; empty: none
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("note");

        QTest::newRow("login cancelled: nothing sent") << false << QByteArray() << QStringList{ModalScript::Login} << "";
        QTest::newRow("pass") << true << QByteArray("0000") << QStringList{ModalScript::Login, "QM735XL Utility: Pass"} << "";
        QTest::newRow("fail") << true << QByteArray("0001") << QStringList{ModalScript::Login, "QM735XL Utility: Fail"} << "";
        QTest::newRow("wrong password") << true << QByteArray("00FF") << QStringList{ModalScript::Login, "QM735XL Utility: Invalid Password"}
                                        << "";
        QTest::newRow("no answer: a quiet note") << true << QByteArray() << QStringList{ModalScript::Login} << "Time Out";
    }

    void send()
    {
        QFETCH(bool, login);
        QFETCH(QByteArray, status);
        QFETCH(QStringList, log);
        QFETCH(QString, note);

        m_device.answer(filterReply(0x30, 0, "0000", {"AABBCCDDEEFF", "000A1B2C3D4E"}), macSocketPort());
        QTRY_COMPARE(list()->topLevelItemCount(), 2);
        ModalScript script;
        script.queueLogin(QStringLiteral("admin"), login);
        QTest::mouseClick(m_dialog->findChild<QPushButton *>("SendCmd"), Qt::LeftButton);
        const QByteArray request = m_device.nextRequest(login ? 5000 : 300);
        QCOMPARE(request.left(6).toHex() + request.mid(32, 13).toHex(),
                 QByteArray(login ? "876543216010000a1b2c3d4eaabbccddeeff00" : ""));
        if (!status.isEmpty())
            m_device.answer(filterReply(0x00, 1, status.constData()), macSocketPort());
        auto *label = m_dialog->findChild<QLabel *>(QStringLiteral("StatusLbl"));
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), note, FilterExchange::NoAnswerTimeout + 2000);
        QTRY_COMPARE(shown(script), log);
    }

    void loadFailure()
    {
        m_state->AdapterTable[0].IpAddress = QStringLiteral("10.254.254.1");
        QVERIFY(MacFilterDialog(*m_state, 0).loadFailed());
    }

private:
    QTreeWidget *list() const { return m_dialog->findChild<QTreeWidget *>(QStringLiteral("MacLst")); }
    quint16 macSocketPort() const { return m_dialog->findChild<UdpPeer *>(QStringLiteral("MacSocket"))->localPort(); }

    QStringList shownRows() const
    {
        QStringList shown;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = list()->topLevelItem(i);
            shown.append(row->text(0) + u' ' + row->text(1) + (row->isSelected() ? "*" : ""));
        }
        return shown;
    }

    QString buttonStates() const
    {
        QString states;
        for (const char *name : {"Mac_add", "Mac_replace", "Mac_remove"})
            states += m_dialog->findChild<QPushButton *>(name)->isEnabled() ? u'1' : u'0';
        return states;
    }

    // Types the address as an administrator does: from the first box on, focus moving by itself.
    void type(const QString &key)
    {
        m_dialog->findChild<QWidget *>(QStringLiteral("Mac0"))->setFocus(Qt::TabFocusReason);
        for (int k = 0; k < MacFilterDialog::ByteBoxCount; ++k)
            QTest::keyClicks(QApplication::focusWidget(), key.mid(2 * k, 2));
    }

    // What the script answered: login dialogs, and message boxes as "title: text".
    static QStringList shown(const ModalScript &script)
    {
        QStringList seen;
        qsizetype box = 0;
        for (const QString &entry : script.log())
            seen.append(entry == ModalScript::Login ? entry : script.boxes()[box++].title + ": " + entry);
        return seen;
    }

    std::unique_ptr<AppState> m_state;
    std::unique_ptr<MacFilterDialog> m_dialog;
    LoopbackDevice m_device;
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestMacFilterDialog)
#include "tst_macfilterdialog.moc"
