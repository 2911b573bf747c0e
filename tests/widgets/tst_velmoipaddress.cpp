#include "../support/modalanswer.h"

#include "widgets/velmoipaddress.h"

#include <QApplication>
#include <QClipboard>
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
    void keys_data();
    void keys();
    void outOfRangeReportedOnLeaving();
    void setIPValue_data();
    void setIPValue();
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
        QCOMPARE(field(i)->accessibleName(), QStringLiteral("IP field %1").arg(i + 1));
        QCOMPARE(field(i)->maxLength(), 3);
    }
    QCOMPARE(fieldTexts(), QStringList({"", "", "", ""}));
    QCOMPARE(m_control->ipAddress(), QStringLiteral("..."));
    QVERIFY(m_control->IsValidIP());
    // Every setting at its default but the empty address.
    VelmoIPAddress::Properties saved;
    saved.IPAddress = QStringLiteral("...");
    QCOMPARE(m_control->properties(), saved);
    QCOMPARE(m_control->BackColor(), 0x80000005u);
    QCOMPARE(m_control->TextColor(), 0x80000008u);
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

void TestVelmoIPAddress::keys_data()
{
    // The control holds 1.22.33.44, then field "from" holds "start" and has the focus.
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("caret");      // -1: the whole text selected, as on gaining the focus
    QTest::addColumn<QString>("keys");   // "<" ">" arrows, "\b" Backspace, "|" focus to field 3
    QTest::addColumn<int>("to");         // the field with the focus afterwards
    QTest::addColumn<int>("caretAfter"); // -1: its whole text selected
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("beeps");

    const QString same = QStringLiteral("1.22.33.44");
    QTest::newRow("digits pass") << 1 << "" << 0 << "12" << 1 << 2 << "1.12.33.44" << 0;
    QTest::newRow("letters and signs refused with a beep") << 1 << "" << 0 << "a -" << 1 << 0 << "1..33.44" << 3;
    QTest::newRow("letter between digits") << 1 << "" << 0 << "1x2" << 1 << 2 << "1.12.33.44" << 1;
    QTest::newRow("256 refused at the third digit") << 1 << "" << 0 << "256" << 1 << 2 << "1.25.33.44" << 1;
    // The digit is judged where it lands, not appended at the end.
    QTest::newRow("3 before 25 would make 325, refused") << 1 << "25" << 0 << "3" << 1 << 0 << "1.25.33.44" << 1;
    QTest::newRow("1 before 25 makes 125, third digit moves on") << 1 << "25" << 0 << "1" << 2 << -1 << "1.125.33.44" << 0;
    QTest::newRow("9 inside 25 would make 295, refused") << 1 << "25" << 1 << "9" << 1 << 1 << "1.25.33.44" << 1;
    QTest::newRow("selected text replaced") << 1 << "255" << -1 << "3" << 1 << 1 << "1.3.33.44" << 0;
    QTest::newRow("full field refuses a fourth digit silently") << 1 << "123" << 3 << "4" << 1 << 3 << "1.123.33.44" << 0;
    QTest::newRow("backspace passes") << 1 << "25" << 2 << "\b" << 1 << 1 << "1.2.33.44" << 0;
    QTest::newRow("third digit in field 3 stays") << 3 << "" << 0 << "254" << 3 << 3 << "1.22.33.254" << 0;
    QTest::newRow("07 loses its leading zero on leaving") << 1 << "" << 0 << "07|" << 3 << -1 << "1.7.33.44" << 0;
    QTest::newRow("007 leaves by its third digit as 7") << 1 << "" << 0 << "007" << 2 << -1 << "1.7.33.44" << 0;
    QTest::newRow("empty stays empty on leaving") << 1 << "" << 0 << "|" << 3 << -1 << "1..33.44" << 0;
    QTest::newRow("dot moves on") << 0 << "1" << -1 << "." << 1 << -1 << same << 0;
    QTest::newRow("dot in field 3 wraps to field 0") << 3 << "44" << -1 << "." << 0 << -1 << same << 0;
    QTest::newRow("left at start goes to end of previous") << 2 << "33" << 0 << "<" << 1 << 2 << same << 0;
    QTest::newRow("left with all selected goes back") << 2 << "33" << -1 << "<" << 1 << 2 << same << 0;
    QTest::newRow("left at start of field 0 stays") << 0 << "1" << 0 << "<" << 0 << 0 << same << 0;
    QTest::newRow("left inside the text stays") << 2 << "33" << 1 << "<" << 2 << 0 << same << 0;
    QTest::newRow("right at end goes to start of next") << 1 << "22" << 2 << ">" << 2 << 0 << same << 0;
    QTest::newRow("right at end of field 3 stays") << 3 << "44" << 2 << ">" << 3 << 2 << same << 0;
    QTest::newRow("right inside the text stays") << 1 << "22" << 0 << ">" << 1 << 1 << same << 0;
}

void TestVelmoIPAddress::keys()
{
    QFETCH(int, from);
    QFETCH(QString, start);
    QFETCH(int, caret);
    QFETCH(QString, keys);
    QFETCH(int, to);
    QFETCH(int, caretAfter);
    QFETCH(QString, address);
    QFETCH(int, beeps);

    m_control->setIpAddress(QStringLiteral("1.22.33.44"));
    field(from)->setText(start);
    m_control->SetIPFocus((from + 1) % 4);
    m_control->SetIPFocus(from);
    QCOMPARE(field(from)->selectedText(), start);
    if (caret >= 0) {
        field(from)->deselect();
        field(from)->setCursorPosition(caret);
    }
    const QString before = m_control->ipAddress();
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    for (const QChar c : keys) {
        QWidget *focused = QApplication::focusWidget();
        if (c == u'|')
            m_control->SetIPFocus(3);
        else if (c == u'<' || c == u'>' || c == u'\b')
            QTest::keyClick(focused, c == u'<' ? Qt::Key_Left : c == u'>' ? Qt::Key_Right : Qt::Key_Backspace);
        else
            QTest::keyClicks(focused, QString(c));
    }
    QCOMPARE(m_control->ipAddress(), address);
    QCOMPARE(m_control->beeps, beeps);
    QVERIFY(field(to)->hasFocus());
    if (caretAfter < 0) {
        QCOMPARE(field(to)->selectedText(), field(to)->text());
    } else {
        QCOMPARE(field(to)->cursorPosition(), caretAfter);
        QVERIFY(!field(to)->hasSelectedText());
    }
    QVERIFY(m_control->messages.isEmpty());
    // Every accepted edit raises Change with the address; refused keys and moves raise nothing.
    QCOMPARE(changes.isEmpty(), address == before);
    if (!changes.isEmpty())
        QCOMPARE(changes.last().at(0).toString(), address);
}

void TestVelmoIPAddress::outOfRangeReportedOnLeaving()
{
    m_control->showRealBox = true;
    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    // Typing cannot make 999, pasting can: the field fills, the focus moves on, and leaving
    // the field reports the range.
    const auto box = testsupport::answerMessageBox(QMessageBox::Ok);
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    QGuiApplication::clipboard()->setText(QStringLiteral("999"));
    m_control->SetIPFocus(1);
    QTest::keyClick(field(1), Qt::Key_V, Qt::ControlModifier);
    QTRY_VERIFY(box->shown);
    QCOMPARE(box->text, QStringLiteral("Value must be between 0 and 255"));
    QCOMPARE(box->title, QStringLiteral("Farlight"));
    QCOMPARE(box->icon, QMessageBox::Warning);
    QCOMPARE(box->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_control->messages.size(), 1);
    QVERIFY(changes.isEmpty());

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

void TestVelmoIPAddress::enabledColours()
{
    const QColor window = QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    QVERIFY(window != buttonFace);
    QCOMPARE(field(0)->palette().color(QPalette::Base), window);

    m_control->setEnabled(false);
    QVERIFY(!field(3)->isEnabled());
    QCOMPARE(field(3)->palette().color(QPalette::Disabled, QPalette::Base), buttonFace);
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
    QCOMPARE(VelmoIPAddress::Properties::fromVariantMap(changed.toVariantMap()), changed);

    // Restoring nothing takes every default; the address goes through its setter.
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setProperties({});
    QCOMPARE(m_control->properties(), VelmoIPAddress::Properties());
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
