#include "widgets/velmoipaddress.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace farlight;
using namespace Qt::StringLiterals;

// The control with its beeps and range reports counted instead of sounded and shown.
class ProbeIPAddress : public VelmoIPAddress
{
public:
    using VelmoIPAddress::VelmoIPAddress;
    int beeps = 0;
    int reports = 0;

protected:
    void beep() override { ++beeps; }
    void showMessage(QMessageBox::Icon, const QString &, const QString &) override { ++reports; }
};

class TestVelmoIPAddress : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<QWidget>(); // the previous test's window goes
        m_control = new ProbeIPAddress(m_host.get());
        m_host->show();
        m_host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    }

    void setIpAddress_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("shown");

        QTest::newRow("three parts, leading zeros and junk") << "010.abc.7x" << "10.0.7.0";
        QTest::newRow("clamped, signed, extra part ignored") << "300.-5.+3.8.9" << "255.0.3.8";
    }

    void setIpAddress()
    {
        QFETCH(QString, written);
        QFETCH(QString, shown);

        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        m_control->setIpAddress(written);
        // Once, with the finished address: the fields' own edits raise nothing meanwhile.
        QCOMPARE(QList<QVariantList>(changes), QList<QVariantList>{{shown}});
    }

    void keys_data()
    {
        // The control before and after as its field texts joined by dots: the focused field shows
        // "[text]" when all of it is selected, else "|" at its caret.
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys"); // "<" ">" arrows
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("beeps");

        QTest::newRow("letters, signs, space and 256 beep") << "1.|.33.44" << "a -256" << "1.25|.33.44" << 4;
        // The digit is judged where it lands, not appended at the end.
        QTest::newRow("3 before 25 makes 325, refused; 1 makes 125, third digit moves on")
            << "1.|25.33.44" << "31" << "1.125.[33].44" << 1;
        QTest::newRow("9 replaces the selected 25") << "1.[25].33.44" << "9" << "1.9|.33.44" << 0;
        QTest::newRow("third digit in field 3 stays, a fourth refused silently, backspace passes")
            << "1.22.33.|" << "2544\b" << "1.22.33.25|" << 0;
        QTest::newRow("tab leaves an empty field empty, 007 leaves by its third digit as 7")
            << "|.22.33.44" << "\t007" << ".7.[33].44" << 0;
        QTest::newRow("dot in field 3 wraps to field 0, dot moves on") << "1.22.33.[44]" << ".." << "1.[22].33.44" << 0;
        // Inside the text the arrows move the caret; at its edge (all selected counts as the start)
        // to the neighbouring field, but not beyond fields 0 and 3.
        QTest::newRow("left") << "1.22.[33].44" << "<<<<<<" << "|1.22.33.44" << 0;
        QTest::newRow("right") << "1.22.3|3.44" << ">>>>>>" << "1.22.33.44|" << 0;
    }

    void keys()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        QFETCH(int, beeps);

        const QStringList parts = before.split(u'.');
        const int focused = int(before.left(before.indexOf(QRegularExpression(u"[[|]"_s))).count(u'.'));
        for (int i = 0; i < 4; ++i)
            field(i)->setText(QString(parts[i]).remove(QRegularExpression(u"[][|]"_s)));
        m_control->SetIPFocus((focused + 1) % 4);
        m_control->SetIPFocus(focused); // gaining the focus selects the whole text
        if (const int caret = parts[focused].indexOf(u'|'); caret >= 0)
            field(focused)->setCursorPosition(caret);
        const QString address = m_control->ipAddress();
        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        for (const QChar c : keys) {
            const Qt::Key key = c == u'<' ? Qt::Key_Left : c == u'>' ? Qt::Key_Right : QTest::asciiToKey(c.toLatin1());
            QTest::keyClick(QApplication::focusWidget(), key);
        }
        QCOMPARE(state(), after);
        QCOMPARE(m_control->beeps, beeps);
        // Accepted edits raise Change; refused keys and moves raise nothing.
        QCOMPARE(changes.isEmpty(), m_control->ipAddress() == address);
    }

    void outOfRangeReportedOnLeaving()
    {
        m_control->setIpAddress(u"1.2.3.4"_s);
        // Typing cannot make 999, pasting can: the field fills, the focus moves on, and leaving
        // the field reports the range and takes the focus back.
        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        QGuiApplication::clipboard()->setText(u"999"_s);
        m_control->SetIPFocus(1);
        QTest::keyClick(field(1), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_control->reports, 1);
        QCOMPARE(state(), u"1.[999].3.4"_s);
        QVERIFY(changes.isEmpty());
        // The Set IP dialog reads the fields by value and must see what was pasted, not a clamped 255.
        QCOMPARE(m_control->IPValue(1), 999);

        // Another window taking the focus is not leaving the field: no second report.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(m_control->reports, 1);
    }

private:
    QLineEdit *field(int index) const { return m_control->findChild<QLineEdit *>(u"txtIP%1"_s.arg(index)); }
    QString state() const
    {
        QStringList parts;
        for (int i = 0; i < 4; ++i) {
            const QLineEdit *f = field(i);
            const bool whole = f->hasSelectedText() && f->selectedText() == f->text();
            parts << (!f->hasFocus() ? f->text()
                                     : whole ? u'[' + f->text() + u']' : f->text().insert(f->cursorPosition(), u'|'));
        }
        return parts.join(u'.');
    }

    std::unique_ptr<QWidget> m_host;
    ProbeIPAddress *m_control = nullptr;
};

QTEST_MAIN(TestVelmoIPAddress)
#include "tst_velmoipaddress.moc"
