#include "../support/modalscript.h"

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

// The control with its beep counted.
class ProbeIPAddress : public VelmoIPAddress
{
public:
    using VelmoIPAddress::VelmoIPAddress;
    int beeps = 0;

protected:
    void beep() override { ++beeps; }
};

class TestVelmoIPAddress : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_script = std::make_unique<testsupport::ModalScript>(); // answers any message box with Ok
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

        m_control->SetIPFocus(1);
        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        m_control->setIpAddress(written);
        QCOMPARE(m_control->ipAddress(), shown);
        QCOMPARE(QList<QVariantList>(changes), QList<QVariantList>{{shown}});
        // Three-digit parts never move the focus when the address is written.
        QVERIFY(field(1)->hasFocus());
    }

    void keys_data()
    {
        // The control before and after as its field texts joined by dots: the focused field shows
        // "[text]" when all of it is selected, else "|" at its caret.
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys"); // "<" ">" arrows
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("beeps");

        QTest::newRow("letters and signs refused with a beep") << "1.|.33.44" << "a -" << "1.|.33.44" << 3;
        QTest::newRow("256 refused at the third digit") << "1.|.33.44" << "256" << "1.25|.33.44" << 1;
        // The digit is judged where it lands, not appended at the end.
        QTest::newRow("3 before 25 would make 325, refused") << "1.|25.33.44" << "3" << "1.|25.33.44" << 1;
        QTest::newRow("1 before 25 makes 125, third digit moves on") << "1.|25.33.44" << "1" << "1.125.[33].44" << 0;
        QTest::newRow("selected text replaced") << "1.[255].33.44" << "3" << "1.3|.33.44" << 0;
        QTest::newRow("full field refuses a fourth digit silently") << "1.123|.33.44" << "4" << "1.123|.33.44" << 0;
        QTest::newRow("backspace passes") << "1.25|.33.44" << "\b" << "1.2|.33.44" << 0;
        QTest::newRow("third digit in field 3 stays") << "1.22.33.|" << "254" << "1.22.33.254|" << 0;
        QTest::newRow("007 leaves by its third digit as 7") << "1.|.33.44" << "007" << "1.7.[33].44" << 0;
        QTest::newRow("empty stays empty on leaving") << "1.|.33.44" << "\t" << "1..[33].44" << 0;
        QTest::newRow("dot in field 3 wraps to field 0, dot moves on") << "1.22.33.[44]" << ".." << "1.[22].33.44" << 0;
        QTest::newRow("left inside the text stays, at its start goes to end of previous")
            << "1.22.3|3.44" << "<<" << "1.22|.33.44" << 0;
        QTest::newRow("left with all selected goes back") << "1.22.[33].44" << "<" << "1.22|.33.44" << 0;
        QTest::newRow("left at start of field 0 stays") << "|1.22.33.44" << "<" << "|1.22.33.44" << 0;
        QTest::newRow("right inside the text stays, at its end goes to start of next")
            << "1.|22.33.44" << ">>>" << "1.22.|33.44" << 0;
        QTest::newRow("right at end of field 3 stays") << "1.22.33.44|" << ">" << "1.22.33.44|" << 0;
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
        QCOMPARE(state(), before);
        const QString address = m_control->ipAddress();
        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        for (const QChar c : keys) {
            QWidget *target = QApplication::focusWidget();
            if (c == u'<' || c == u'>')
                QTest::keyClick(target, c == u'<' ? Qt::Key_Left : Qt::Key_Right);
            else
                QTest::keyClick(target, c.toLatin1());
        }
        QCOMPARE(state(), after);
        QCOMPARE(m_control->beeps, beeps);
        QVERIFY(m_script->log().isEmpty());
        // Every accepted edit raises Change with the address; refused keys and moves raise nothing.
        QCOMPARE(changes.isEmpty(), m_control->ipAddress() == address);
        if (!changes.isEmpty())
            QCOMPARE(changes.last().at(0).toString(), m_control->ipAddress());
    }

    void outOfRangeReportedOnLeaving()
    {
        m_control->setIpAddress(QStringLiteral("1.2.3.4"));
        // Typing cannot make 999, pasting can: the field fills, the focus moves on, and leaving
        // the field reports the range.
        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        QGuiApplication::clipboard()->setText(QStringLiteral("999"));
        m_control->SetIPFocus(1);
        QTest::keyClick(field(1), Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE(m_script->log(), QStringList{QStringLiteral("Value must be between 0 and 255")});
        QVERIFY(changes.isEmpty());

        // The Set IP dialog reads the fields by value and must see what was pasted, not a clamped 255.
        QCOMPARE(m_control->IPValue(1), 999);
        QVERIFY(!m_control->IsValidIP());
        // The text is left for correction; the window gives the focus back to the field once the
        // box has closed (offscreen, the test hands back the activation).
        m_host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
        QCOMPARE(state(), QStringLiteral("1.[999].3.4"));
        // Another window taking the focus is not leaving the field: no second report.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        m_host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_host.get()));

        QTest::keyClicks(field(1), QStringLiteral("25"));
        m_control->SetIPFocus(0);
        QCOMPARE(m_script->log().size(), 1);
        QCOMPARE(m_control->ipAddress(), QStringLiteral("1.25.3.4"));
    }

    void setIPValueOnlyEmpties()
    {
        m_control->setIpAddress(QStringLiteral("192.168.1.10"));
        QSignalSpy changes(m_control, &VelmoIPAddress::Change);
        m_control->setIPValue(2, 7);
        m_control->setIPValue(4, VelmoIPAddress::EmptyFieldValue);
        m_control->setIPValue(2, VelmoIPAddress::EmptyFieldValue);
        // Every call raises Change, though only an empty value for a field index changes anything.
        QCOMPARE(QList<QVariantList>(changes),
                 (QList<QVariantList>{{"192.168.1.10"}, {"192.168.1.10"}, {"192.168..10"}}));
    }

private:
    QLineEdit *field(int index) const
    {
        return m_control->findChild<QLineEdit *>(QStringLiteral("txtIP%1").arg(index));
    }
    QString state() const
    {
        QStringList parts;
        for (int i = 0; i < 4; ++i) {
            QString text = field(i)->text();
            if (field(i)->hasFocus())
                text = field(i)->hasSelectedText() && field(i)->selectedText() == text
                    ? u'[' + text + u']'
                    : text.insert(field(i)->cursorPosition(), u'|');
            parts << text;
        }
        return parts.join(u'.');
    }

    std::unique_ptr<testsupport::ModalScript> m_script;
    std::unique_ptr<QWidget> m_host;
    ProbeIPAddress *m_control = nullptr;
};

QTEST_MAIN(TestVelmoIPAddress)
#include "tst_velmoipaddress.moc"
