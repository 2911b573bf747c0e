// What the MAC filtering dialog adds, against a device on loopback in a private network namespace:
// the six boxes, the buttons' states, the messages with their titles, Open and Save, and the login
// before a send. The list rules, the file format and the request bytes are the engine's tests.
#include "../ipconfig/setipsupport.h"
#include "../support/files.h"
#include "../support/modalscript.h"

#include "macfilter/macfilterdialog.h"
#include "netenv/udppeer.h"
#include "resources/strings.h"

#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>

using namespace farlight;
using testsupport::filterReply;
using testsupport::LoopbackDevice;
using testsupport::ModalScript;

class TestMacFilterDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }

    void init()
    {
        m_dialog.reset();
        m_device.drain(); // what the last test left unread
        m_password = QStringLiteral("admin");
        m_counters = SequenceCounters(); // replies are made for a run's first requests
        m_dialog = std::make_unique<MacFilterDialog>(LoopbackDevice::target(), m_counters, m_password);
        // The rows without an answer need not wait the device's full five seconds.
        m_dialog->findChild<FilterExchange *>()->setWriteTimeout(std::chrono::milliseconds(300));
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
        QCOMPARE(m_device.nextRequest().left(6).toHex(), QByteArray("876543216020"));
    }

    void boxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("input"); // typed, or after "paste " inserted as a paste is
        QTest::addColumn<QString>("after"); // the text right after, where the focus is, the text once left

        QTest::newRow("typed non-hex dropped") << "Mac2" << "g:-" << "00 Mac2 00";
        QTest::newRow("one digit becomes 07 on leaving") << "Mac2" << "7" << "7 Mac2 07";
        QTest::newRow("two digits move on, last box to Add") << "Mac5" << "7f" << "7F Mac_add 7F";
        QTest::newRow("paste filtered like typing") << "Mac2" << "paste f:f" << "FF Mac3 FF";
        QTest::newRow("a click into the box that has focus") << "Mac0" << "7f" << "7F Mac1 7F";
        QTest::newRow("paste of more than a byte refused") << "Mac2" << "paste 00:1a:2b" << "00 Mac2 00";
    }

    void boxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, input);
        QFETCH(QString, after);

        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Mac0"));
        // A real click, off the middle, and the keys at once: the box must select its pair after
        // the click has placed the caret, or typed digits would be refused as third and fourth.
        auto *edit = m_dialog->findChild<QLineEdit *>(box);
        QTest::mouseClick(edit, Qt::LeftButton, {}, {edit->width() - 3, edit->height() / 2});
        input.startsWith(u"paste ") ? edit->insert(input.mid(6)) : QTest::keyClicks(edit, input);
        const QString typed = edit->text() + u' ' + QApplication::focusWidget()->objectName();
        list()->setFocus();
        QCOMPARE(typed + u' ' + edit->text(), after);
    }

    // Each row opens the dialog on a device that lists @p device, then takes the steps, split by " | ": "file TEXT"
    // writes LIST.MAC; a button's name clicks it, after filling the six boxes with the key that follows, the file
    // dialog of OpenDlg and SaveDlg choosing LIST.MAC; "press N" presses row N, 0 below the rows; "cancel box" and
    // "cancel login" answer the next message box or login with Cancel (others get OK, or the password); "reply STATUS"
    // has the device answer a write.
    void script_data()
    {
        QTest::addColumn<QString>("device"); // the keys it lists
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("shown"); // see seen()

        const QString a = QStringLiteral("0A0B0C0D0E0F");
        const QString shownA = QStringLiteral("1 rows 100: 1 0A-0B-0C-0D-0E-0F");
        const QString exists = box(StringId::MacExists);
        QString full; // 0000000001xx: 128 keys
        for (int i = 0; i < 128; ++i)
            full += QStringLiteral("0000000001%1 ").arg(i, 2, 16, QLatin1Char('0'));

        QTest::newRow("append: buttons on") << "000000000001" << "Mac_add " + a << "2 rows 111: 1 00-00-00-00-00-01";
        QTest::newRow("press, press below, add again") << a << "press 1 | press 0 | Mac_add " + a << shownA + exists;
        QTest::newRow("replace by itself: 304; replaced moves, selection stays")
            << a + " AABBCCDDEEFF" << "press 1 | Mac_replace " + a + " | Mac_replace BBBBBBBBBBBB"
            << "2 rows 111: 1 AA-BB-CC-DD-EE-FF*" + exists;
        QTest::newRow("full device list: Add off") << full << "" << "128 rows 000: 1 00-00-00-00-01-00";
        QTest::newRow("remove: Add on; 128th: off") << full << "press 1 | Mac_remove | Mac_add " + a
                                                    << "128 rows 011: 1 00-00-00-00-01-01";

        const QString replace = box(StringId::FileExistsReplace);
        QTest::newRow("open a file, save it over itself")
            << a << "file aabbccddeeff,hall\r\n001122AABBCC | OpenDlg | SaveDlg"
            << "2 rows 111: 1 00-11-22-AA-BB-CC" + replace + " | file 001122AABBCC\r\naabbccddeeff,hall\r\n";
        QTest::newRow("open a bad line: 314; Cancel saving over it")
            << a << "file 0A0B0C0D0E0 | OpenDlg | cancel box | SaveDlg"
            << shownA + box(StringId::NotValidMacFile, text(StringId::ProductName)) + replace
                   + " | file 0A0B0C0D0E0";

        const QString sent = QStringLiteral(" | sent 0a0b0c0d0e0f00");
        QTest::newRow("login cancelled: nothing sent") << a << "cancel login | SendCmd" << shownA + " | login";
        QTest::newRow("no answer: a quiet note") << a << "SendCmd" << shownA + " | login | note " + text(StringId::TimeOut) + sent;
        QTest::newRow("a late verdict clears the note")
            << a << "SendCmd | wait note | reply 0000" << shownA + " | login" + box(StringId::Pass) + sent;
    }

    void script()
    {
        QFETCH(QString, device);
        QFETCH(QString, steps);
        QFETCH(QString, shown);

        const quint16 port = m_dialog->findChild<UdpPeer *>()->localPort();
        m_device.answer(filterReply("300000", "0000", hexBytes(device.toLatin1())), port);
        QTRY_COMPARE(list()->topLevelItemCount(), int(hexBytes(device.toLatin1()).size() / 6));
        const QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("LIST.MAC"));
        ModalScript script;
        for (const QString &step : steps.split(QStringLiteral(" | "), Qt::SkipEmptyParts)) {
            const QString verb = step.section(u' ', 0, 0);
            const QString argument = step.section(u' ', 1);
            if (verb == u"file") {
                QVERIFY(testsupport::writeFile(file, argument.toLatin1()));
            } else if (verb == u"press") {
                QTreeWidgetItem *row = list()->topLevelItem(argument.toInt() - 1);
                const QPoint below(5, list()->viewport()->height() - 3);
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                                  row ? list()->visualItemRect(row).center() : below);
            } else if (verb == u"cancel") {
                argument == u"box" ? script.queueBox(QMessageBox::Cancel) : script.queueLogin(QString(), false);
            } else if (verb == u"wait") {
                QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->findChild<QLabel *>(QStringLiteral("StatusLbl"))->text().isEmpty(),
                                         FilterExchange::WriteTimeout.count() + 2000);
            } else if (verb == u"reply") {
                m_device.answer(filterReply("000001", argument.toLatin1().constData()), port);
            } else {
                for (int k = 0; k < MacFilterDialog::ByteBoxCount && !argument.isEmpty(); ++k)
                    m_dialog->findChild<QLineEdit *>(QStringLiteral("Mac%1").arg(k))->setText(argument.mid(2 * k, 2));
                // The name is typed into its field: selectFile() leaves a field that has focus alone.
                if (verb.endsWith(u"Dlg")) {
                    testsupport::whenShown<QFileDialog>([path = file](QFileDialog *files) {
                        files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
                        static_cast<QDialog *>(files)->accept(); // the file dialog's own accept() is not public
                    });
                }
                QTest::mouseClick(m_dialog->findChild<QPushButton *>(verb), Qt::LeftButton);
            }
        }
        const QByteArray sent = m_device.nextRequest(100);
        QTRY_COMPARE_WITH_TIMEOUT(seen(script, file, sent), shown, FilterExchange::WriteTimeout.count() + 2000);
    }

private:
    // A message box as seen() shows it.
    static QString box(int textId, const QString &title = ApplicationTitle) { return " | " + title + ": " + text(textId); }

    QTreeWidget *list() const { return m_dialog->findChild<QTreeWidget *>(QStringLiteral("MacLst")); }

    // The row count, Add, Replace and Remove enabled (1) or not, and the first row ("*" when
    // selected); the login dialogs and message boxes ("title: text") in order; the quiet note;
    // the start of the list a write request carried; LIST.MAC. Joined by " | ".
    QString seen(const ModalScript &script, const QString &path, const QByteArray &sent) const
    {
        QString state = QStringLiteral("%1 rows ").arg(list()->topLevelItemCount());
        for (const char *name : {"Mac_add", "Mac_replace", "Mac_remove"})
            state += m_dialog->findChild<QPushButton *>(name)->isEnabled() ? u'1' : u'0';
        if (const QTreeWidgetItem *row = list()->topLevelItem(0))
            state += ": " + row->text(0) + u' ' + row->text(1) + (row->isSelected() ? "*" : "");
        QStringList seen{state};
        qsizetype box = 0;
        for (const QString &entry : script.log())
            seen << (entry == ModalScript::Login ? entry : script.boxes()[box++].title + ": " + entry);
        if (const QString note = m_dialog->findChild<QLabel *>(QStringLiteral("StatusLbl"))->text(); !note.isEmpty())
            seen << "note " + note;
        if (!sent.isEmpty())
            seen << "sent " + sent.mid(32, 7).toHex();
        if (QFile::exists(path))
            seen << "file " + QString::fromLatin1(testsupport::readFile(path));
        return seen.join(QStringLiteral(" | "));
    }

    SequenceCounters m_counters;
    QString m_password;
    std::unique_ptr<MacFilterDialog> m_dialog;
    LoopbackDevice m_device;
};

QTEST_MAIN(TestMacFilterDialog)
#include "tst_macfilterdialog.moc"
