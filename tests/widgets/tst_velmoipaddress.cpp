#include "../support/modalanswer.h"

#include "widgets/velmoipaddress.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace farlight;

namespace {

// The control with its beep counted and its messages noted; the box itself shows on request.
class ProbeIPAddress : public VelmoIPAddress
{
public:
    using VelmoIPAddress::VelmoIPAddress;
    int beeps = 0;
    bool showRealBox = false;
    QStringList messages;

protected:
    void beep() override { ++beeps; }
    void showMessage(QMessageBox::Icon icon, const QString &title, const QString &text) override
    {
        messages.append(text);
        if (showRealBox)
            VelmoIPAddress::showMessage(icon, title, text);
    }
};

} // namespace

class TestVelmoIPAddress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newControl();
    void setIpAddress_data();
    void setIpAddress();
    void typing_data();
    void typing();
    void focusMoves_data();
    void focusMoves();
    void normalisedOnFocusLoss_data();
    void normalisedOnFocusLoss();
    void outOfRangeReportedOnLeaving();
    void setIPValue_data();
    void setIPValue();
    void changeOnTyping();
    void enabledColours();
    void saveAndRestore();

private:
    QLineEdit *field(int index) const
    {
        return m_control->findChild<QLineEdit *>(QStringLiteral("txtIP%1").arg(index));
    }
    QStringList fieldTexts() const
    {
        return {field(0)->text(), field(1)->text(), field(2)->text(), field(3)->text()};
    }

    std::unique_ptr<QWidget> m_host;
    ProbeIPAddress *m_control = nullptr;
};

void TestVelmoIPAddress::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->resize(400, 100);
    m_control = new ProbeIPAddress(m_host.get());
    m_control->setGeometry(10, 10, 300, 40);
    m_host->show();
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
}

void TestVelmoIPAddress::cleanup()
{
    m_host.reset();
    m_control = nullptr;
}

void TestVelmoIPAddress::newControl()
{
    for (int i = 0; i < VelmoIPAddress::FieldCount; ++i) {
        QVERIFY(field(i));
        QCOMPARE(field(i)->accessibleName(), QStringLiteral("IP field %1").arg(i + 1));
        QCOMPARE(field(i)->maxLength(), 3);
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(m_control->findChild<QLabel *>(QStringLiteral("imgDot%1").arg(i)));
    QCOMPARE(fieldTexts(), QStringList({"", "", "", ""}));
    QCOMPARE(m_control->ipAddress(), QStringLiteral("..."));
    QVERIFY(m_control->IsValidIP());
    QCOMPARE(m_control->BackColor(), 0x80000005u);
    QCOMPARE(m_control->TextColor(), 0x80000008u);
    QVERIFY(m_control->UseDisabledBackColor());
    QVERIFY(m_control->Enabled());
}

void TestVelmoIPAddress::setIpAddress_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain address reads back") << "192.168.1.10" << "192.168.1.10";
    QTest::newRow("two parts") << "10.1" << "10.1.0.0";
    QTest::newRow("clamped and extra part ignored") << "300.-5.7.8.9" << "255.0.7.8";
    QTest::newRow("empty text") << "" << "0.0.0.0";
    QTest::newRow("leading zeros and junk") << "010.abc.7x.+3" << "10.0.7.3";
}

void TestVelmoIPAddress::setIpAddress()
{
    QFETCH(QString, written);
    QFETCH(QString, shown);

    m_control->SetIPFocus(1);
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setIpAddress(written);
    QCOMPARE(m_control->ipAddress(), shown);
    QCOMPARE(fieldTexts(), shown.split(u'.'));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(m_control->IPValue(i), shown.split(u'.').at(i).toInt());
    QCOMPARE(m_control->IPValue(4), 0);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), shown);
    // Three-digit parts never move the focus when the address is written.
    QVERIFY(field(1)->hasFocus());
}

void TestVelmoIPAddress::typing_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("caret");     // where the caret, or the selection, starts
    QTest::addColumn<int>("selLength"); // 0: nothing selected
    QTest::addColumn<QString>("keys");  // "\b" is Backspace
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("beeps");

    QTest::newRow("digits pass") << "" << 0 << 0 << "12" << "12" << 0;
    QTest::newRow("letters and signs refused with a beep") << "" << 0 << 0 << "a -" << "" << 3;
    QTest::newRow("letter between digits") << "" << 0 << 0 << "1x2" << "12" << 1;
    QTest::newRow("256 refused at the third digit") << "" << 0 << 0 << "256" << "25" << 1;
    // The digit is judged where it lands, not appended at the end.
    QTest::newRow("3 before 25 would make 325, refused") << "25" << 0 << 0 << "3" << "25" << 1;
    QTest::newRow("1 before 25 makes 125") << "25" << 0 << 0 << "1" << "125" << 0;
    QTest::newRow("9 inside 25 would make 295, refused") << "25" << 1 << 0 << "9" << "25" << 1;
    QTest::newRow("selection replaced, 155 accepted") << "255" << 0 << 1 << "1" << "155" << 0;
    QTest::newRow("selection replaced, 355 refused") << "255" << 0 << 1 << "3" << "255" << 1;
    QTest::newRow("full field refuses a fourth digit silently") << "123" << 3 << 0 << "4" << "123" << 0;
    QTest::newRow("backspace passes") << "25" << 2 << 0 << "\b" << "2" << 0;
}

void TestVelmoIPAddress::typing()
{
    QFETCH(QString, start);
    QFETCH(int, caret);
    QFETCH(int, selLength);
    QFETCH(QString, keys);
    QFETCH(QString, result);
    QFETCH(int, beeps);

    m_control->setIpAddress(QStringLiteral("10.0.0.1"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    QLineEdit *target = field(1);
    target->setFocus();
    target->insert(start);
    if (selLength > 0) {
        target->setSelection(caret, selLength);
    } else {
        target->deselect();
        target->setCursorPosition(caret);
    }
    for (const QChar c : keys) {
        if (c == u'\b')
            QTest::keyClick(target, Qt::Key_Backspace);
        else
            QTest::keyClicks(target, QString(c));
    }
    QCOMPARE(target->text(), result);
    QCOMPARE(m_control->beeps, beeps);
    QCOMPARE(m_control->ipAddress(), "10." + result + ".0.1");
    QVERIFY(m_control->messages.isEmpty());
}

void TestVelmoIPAddress::focusMoves_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("caret");      // -1: the whole text selected, as on gaining the focus
    QTest::addColumn<QString>("keys");   // "<" and ">" are the arrow keys
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("caretAfter"); // -1: the whole text selected
    QTest::addColumn<QString>("address");

    const QString start = QStringLiteral("1.22.33.44");
    QTest::newRow("dot moves on") << 0 << -1 << "." << 1 << -1 << start;
    QTest::newRow("dot in field 3 wraps to field 0") << 3 << -1 << "." << 0 << -1 << start;
    QTest::newRow("left at start goes to end of previous") << 2 << 0 << "<" << 1 << 2 << start;
    QTest::newRow("left with all selected goes back") << 2 << -1 << "<" << 1 << 2 << start;
    QTest::newRow("left at start of field 0 stays") << 0 << 0 << "<" << 0 << 0 << start;
    QTest::newRow("left inside the text stays") << 2 << 1 << "<" << 2 << 0 << start;
    QTest::newRow("right at end goes to start of next") << 1 << 2 << ">" << 2 << 0 << start;
    QTest::newRow("right at end of field 3 stays") << 3 << 2 << ">" << 3 << 2 << start;
    QTest::newRow("right inside the text stays") << 1 << 0 << ">" << 1 << 1 << start;
    QTest::newRow("third digit in field 1 moves on") << 1 << -1 << "192" << 2 << -1 << "1.192.33.44";
    QTest::newRow("third digit in field 3 stays") << 3 << -1 << "254" << 3 << 3 << "1.22.33.254";
}

void TestVelmoIPAddress::focusMoves()
{
    QFETCH(int, from);
    QFETCH(int, caret);
    QFETCH(QString, keys);
    QFETCH(int, to);
    QFETCH(int, caretAfter);
    QFETCH(QString, address);

    m_control->setIpAddress(QStringLiteral("1.22.33.44"));
    m_control->SetIPFocus((from + 1) % 4);
    m_control->SetIPFocus(from);
    QCOMPARE(field(from)->selectedText(), field(from)->text());
    if (caret >= 0) {
        field(from)->deselect();
        field(from)->setCursorPosition(caret);
    }
    for (const QChar c : keys) {
        if (c == u'<' || c == u'>')
            QTest::keyClick(QApplication::focusWidget(), c == u'<' ? Qt::Key_Left : Qt::Key_Right);
        else
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
    }
    QVERIFY(field(to)->hasFocus());
    if (caretAfter < 0) {
        QCOMPARE(field(to)->selectedText(), field(to)->text());
    } else {
        QCOMPARE(field(to)->cursorPosition(), caretAfter);
        QVERIFY(!field(to)->hasSelectedText());
    }
    QCOMPARE(m_control->ipAddress(), address);
    QCOMPARE(m_control->beeps, 0);
}

void TestVelmoIPAddress::normalisedOnFocusLoss_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::newRow("07") << "07" << "7";
    QTest::newRow("007 leaves by its third digit") << "007" << "7";
    QTest::newRow("010") << "010" << "10";
    QTest::newRow("empty stays empty") << "" << "";
}

void TestVelmoIPAddress::normalisedOnFocusLoss()
{
    QFETCH(QString, typed);
    QFETCH(QString, after);

    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    m_control->SetIPFocus(1);
    QTest::keyClicks(field(1), typed);
    m_control->SetIPFocus(3);
    QCOMPARE(field(1)->text(), after);
    QVERIFY(m_control->messages.isEmpty());
}

void TestVelmoIPAddress::outOfRangeReportedOnLeaving()
{
    m_control->showRealBox = true;
    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    // Typing cannot make 999, pasting can: the field fills, the focus moves on, and leaving
    // the field reports the range.
    const auto box = testsupport::answerMessageBox(QMessageBox::Ok);
    QGuiApplication::clipboard()->setText(QStringLiteral("999"));
    m_control->SetIPFocus(1);
    QTest::keyClick(field(1), Qt::Key_V, Qt::ControlModifier);
    QTRY_VERIFY(box->shown);
    QCOMPARE(box->text, QStringLiteral("Value must be between 0 and 255"));
    QCOMPARE(box->title, QStringLiteral("Farlight"));
    QCOMPARE(box->icon, QMessageBox::Warning);
    QCOMPARE(box->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_control->messages.size(), 1);

    // The text is left for correction; the window gives the focus back to the field once the
    // box has closed (offscreen, the test hands back the activation).
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.999.3.4"));
    QVERIFY(!m_control->IsValidIP());
    QCOMPARE(m_host->focusWidget(), field(1));
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    QVERIFY(field(1)->hasFocus());
    QCOMPARE(field(1)->selectedText(), QStringLiteral("999"));

    QTest::keyClicks(field(1), QStringLiteral("25"));
    m_control->SetIPFocus(0);
    QCOMPARE(m_control->messages.size(), 1);
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.25.3.4"));
}

void TestVelmoIPAddress::setIPValue_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("after");
    QTest::newRow("-1 empties field 2") << 2 << -1 << "192.168..10";
    QTest::newRow("-1 empties field 0") << 0 << -1 << ".168.1.10";
    QTest::newRow("7 changes nothing") << 2 << 7 << "192.168.1.10";
    QTest::newRow("index 4 changes nothing") << 4 << -1 << "192.168.1.10";
}

void TestVelmoIPAddress::setIPValue()
{
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(QString, after);

    m_control->setIpAddress(QStringLiteral("192.168.1.10"));
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setIPValue(index, value);
    QCOMPARE(m_control->ipAddress(), after);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), after);
    QCOMPARE(m_control->IPValue(index), after.split(u'.').value(index).toInt());
}

void TestVelmoIPAddress::changeOnTyping()
{
    m_control->setIpAddress(QStringLiteral("10.0.0.1"));
    m_control->setIPValue(3, VelmoIPAddress::EmptyFieldValue);
    m_control->SetIPFocus(3);
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    QTest::keyClicks(field(3), QStringLiteral("2x5"));
    QTest::keyClick(field(3), Qt::Key_Backspace);
    QCOMPARE(changes.size(), 3);
    QCOMPARE(changes.at(0).at(0).toString(), QStringLiteral("10.0.0.2"));
    QCOMPARE(changes.at(1).at(0).toString(), QStringLiteral("10.0.0.25"));
    QCOMPARE(changes.at(2).at(0).toString(), QStringLiteral("10.0.0.2"));

    // While another field is out of range, edits raise no Change.
    field(0)->setText(QStringLiteral("300"));
    changes.clear();
    QTest::keyClicks(field(3), QStringLiteral("4"));
    QCOMPARE(field(3)->text(), QStringLiteral("24"));
    QCOMPARE(changes.size(), 0);
}

void TestVelmoIPAddress::enabledColours()
{
    const QColor window = QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    QVERIFY(window != buttonFace);
    QCOMPARE(field(0)->palette().color(QPalette::Base), window);

    m_control->setEnabled(false);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!field(i)->isEnabled());
        QCOMPARE(field(i)->palette().color(QPalette::Disabled, QPalette::Base), buttonFace);
    }
    QCOMPARE(m_control->palette().color(QPalette::Window), buttonFace);

    // Without the disabled colour a disabled control keeps its own background.
    m_control->setUseDisabledBackColor(false);
    m_control->setBackColor(0x000000FFu);
    QCOMPARE(field(2)->palette().color(QPalette::Disabled, QPalette::Base), QColor(255, 0, 0));
    m_control->setEnabled(true);
    QVERIFY(field(2)->isEnabled());
    QCOMPARE(field(2)->palette().color(QPalette::Active, QPalette::Base), QColor(255, 0, 0));
    QCOMPARE(m_control->palette().color(QPalette::Window), QColor(255, 0, 0));
}

void TestVelmoIPAddress::saveAndRestore()
{
    // Newly placed, only the empty address differs from its default.
    VelmoIPAddress::Properties expected;
    expected.IPAddress = QStringLiteral("...");
    QCOMPARE(m_control->properties(), expected);

    const QFont own(QStringLiteral("Monospace"), 30);
    m_control->setFont(own);
    m_control->setIpAddress(QStringLiteral("0.0.0.0"));
    m_control->setUseDisabledBackColor(false);
    m_control->setEnabled(false);
    m_control->setBackColor(0x00123456u);
    m_control->setTextColor(0x00654321u);
    const VelmoIPAddress::Properties changed = m_control->properties();
    QCOMPARE(changed.toVariantMap().keys(),
             QStringList({"BackColor", "Enabled", "Font", "TextColor", "UseDisabledBackColor"}));
    QCOMPARE(changed.toVariantMap().value("TextColor").toUInt(), 0x00654321u);
    QCOMPARE(VelmoIPAddress::Properties::fromVariantMap(changed.toVariantMap()), changed);

    // Restoring nothing takes every default; the address goes through its setter.
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setProperties({});
    QCOMPARE(m_control->properties(), VelmoIPAddress::Properties());
    QCOMPARE(m_control->Font(), m_host->font());
    QCOMPARE(changes.size(), 1);
    QCOMPARE(field(0)->palette().color(QPalette::Base), QGuiApplication::palette().color(QPalette::Base));

    // UseDisabledBackColor is in place before Enabled and BackColor are applied.
    VelmoIPAddress::Properties saved;
    saved.UseDisabledBackColor = false;
    saved.Enabled = false;
    saved.BackColor = 0x00FF0000u;
    m_control->setProperties(saved);
    QCOMPARE(field(0)->palette().color(QPalette::Disabled, QPalette::Base), QColor(0, 0, 255));

    // The font is in place before the address is written; an empty saved address shows 0s.
    saved = {};
    saved.Font = own;
    saved.IPAddress = QString();
    QFont fontAtChange;
    connect(m_control, &VelmoIPAddress::Change, this, [&] { fontAtChange = m_control->Font(); });
    m_control->setProperties(saved);
    QCOMPARE(fontAtChange, own);
    QCOMPARE(fieldTexts(), QStringList({"0", "0", "0", "0"}));
}

QTEST_MAIN(TestVelmoIPAddress)
#include "tst_velmoipaddress.moc"
