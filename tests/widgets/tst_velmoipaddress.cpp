#include "widgets/colorvalue.h"
#include "widgets/twips.h"
#include "widgets/velmoipaddress.h"
#include "widgets/velmoipaddresslayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace farlight;

namespace {

/// The control with its beep and message box observed; the box can still be shown for real.
class ProbeIPAddress : public VelmoIPAddress
{
public:
    using VelmoIPAddress::VelmoIPAddress;

    struct Message
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    int beeps = 0;
    bool showRealBox = false;
    QList<Message> messages;

protected:
    void beep() override { ++beeps; }
    void showMessage(QMessageBox::Icon icon, const QString &title, const QString &text) override
    {
        messages.append({icon, title, text});
        if (showRealBox)
            VelmoIPAddress::showMessage(icon, title, text);
    }
};

struct SeenBox
{
    bool seen = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

// Answers the next modal message box with OK, noting what it showed.
void answerNextBox(std::shared_ptr<SeenBox> seen, int triesLeft = 200)
{
    QTimer::singleShot(10, [seen, triesLeft] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (triesLeft > 0)
                answerNextBox(seen, triesLeft - 1);
            return;
        }
        seen->seen = true;
        seen->icon = box->icon();
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
}

QStringList fieldTexts(const QList<QLineEdit *> &fields)
{
    QStringList texts;
    for (const QLineEdit *field : fields)
        texts.append(field->text());
    return texts;
}

} // namespace

class TestVelmoIPAddress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void childrenAreNamedForScreenReaders();
    void newControlHasEmptyFields();
    void setIpAddress_data();
    void setIpAddress();
    void setIpAddressNeverMovesFocus();
    void typing_data();
    void typing();
    void thirdDigitMovesFocus();
    void dotMovesFocus_data();
    void dotMovesFocus();
    void arrowKeys_data();
    void arrowKeys();
    void dialogKeysPassThrough_data();
    void dialogKeysPassThrough();
    void leadingZerosDisappearOnFocusLoss_data();
    void leadingZerosDisappearOnFocusLoss();
    void thirdLeadingZeroLeavesAndNormalises_data();
    void thirdLeadingZeroLeavesAndNormalises();
    void outOfRangeShowsMessageBox();
    void outOfRangeReportedOnEveryExit();
    void ipValue();
    void setIPValue_data();
    void setIPValue();
    void isValidIP();
    void changeOnTyping();
    void setIPFocus();
    void clickOnBackgroundFocusesField_data();
    void clickOnBackgroundFocusesField();
    void enabledColours();
    void textColour();
    void fontReachesFieldsAndLayout();
    void placedInTwips();
    void savedPropertiesOnlyDiffer();
    void restoreTakesDefaults();
    void restoreOrder();
    void propertiesAsVariantMap();
    void qtPropertiesUseTheDesignNames();

private:
    QLineEdit *field(int index) const
    {
        return m_control->findChild<QLineEdit *>(QStringLiteral("txtIP%1").arg(index));
    }
    QList<QLineEdit *> fields() const { return {field(0), field(1), field(2), field(3)}; }
    // Replaces a field's text by pasting @p text with Ctrl+V.
    void paste(int index, const QString &text);

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

void TestVelmoIPAddress::paste(int index, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    field(index)->setFocus();
    field(index)->selectAll();
    QTest::keyClick(field(index), Qt::Key_V, Qt::ControlModifier);
}

void TestVelmoIPAddress::childrenAreNamedForScreenReaders()
{
    for (int i = 0; i < VelmoIPAddress::FieldCount; ++i) {
        QLineEdit *f = field(i);
        QVERIFY(f);
        QCOMPARE(f->accessibleName(), QStringLiteral("IP field %1").arg(i + 1));
        QCOMPARE(f->maxLength(), 3);
        QCOMPARE(f->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(!f->hasFrame());
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(m_control->findChild<QLabel *>(QStringLiteral("imgDot%1").arg(i)));
    QCOMPARE(m_control->findChildren<QLineEdit *>().size(), 4);
}

void TestVelmoIPAddress::newControlHasEmptyFields()
{
    QCOMPARE(fieldTexts(fields()), QStringList({QString(), QString(), QString(), QString()}));
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

    QTest::newRow("plain address") << QStringLiteral("192.168.1.10") << QStringLiteral("192.168.1.10");
    QTest::newRow("two parts") << QStringLiteral("10.1") << QStringLiteral("10.1.0.0");
    QTest::newRow("clamped and extra part ignored") << QStringLiteral("300.-5.7.8.9") << QStringLiteral("255.0.7.8");
    QTest::newRow("empty text") << QString() << QStringLiteral("0.0.0.0");
    QTest::newRow("three dots") << QStringLiteral("...") << QStringLiteral("0.0.0.0");
    QTest::newRow("leading zeros") << QStringLiteral("010.001.000.1") << QStringLiteral("10.1.0.1");
    QTest::newRow("text and trailing junk") << QStringLiteral("abc.12x. 7.+3") << QStringLiteral("0.12.7.3");
    QTest::newRow("huge number") << QStringLiteral("99999999999999999999.1.1.1") << QStringLiteral("255.1.1.1");
    QTest::newRow("huge negative") << QStringLiteral("-99999999999999999999.1.1.1") << QStringLiteral("0.1.1.1");
    QTest::newRow("all 255") << QStringLiteral("255.255.255.255") << QStringLiteral("255.255.255.255");
}

void TestVelmoIPAddress::setIpAddress()
{
    QFETCH(QString, written);
    QFETCH(QString, shown);

    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setIpAddress(written);
    QCOMPARE(m_control->ipAddress(), shown);
    QCOMPARE(fieldTexts(fields()), shown.split(QLatin1Char('.')));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), shown);

    // Reading gives text that writes back to the same address.
    m_control->setIpAddress(m_control->ipAddress());
    QCOMPARE(m_control->ipAddress(), shown);
}

void TestVelmoIPAddress::setIpAddressNeverMovesFocus()
{
    m_control->SetIPFocus(1);
    QVERIFY(field(1)->hasFocus());
    m_control->setIpAddress(QStringLiteral("192.168.100.200"));
    QVERIFY(field(1)->hasFocus());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("192.168.100.200"));
}

void TestVelmoIPAddress::typing_data()
{
    QTest::addColumn<QString>("start");   // the field's text before typing
    QTest::addColumn<int>("caret");       // caret position, or -1 to leave the selection below
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("beeps");

    QTest::newRow("digits pass") << QString() << 0 << 0 << 0 << QStringLiteral("12") << QStringLiteral("12") << 0;
    QTest::newRow("letters refused with a beep")
        << QString() << 0 << 0 << 0 << QStringLiteral("ab") << QString() << 2;
    QTest::newRow("letter between digits") << QString() << 0 << 0 << 0 << QStringLiteral("1x2")
                                           << QStringLiteral("12") << 1;
    QTest::newRow("space minus comma refused") << QString() << 0 << 0 << 0 << QStringLiteral(" -,") << QString()
                                               << 3;
    QTest::newRow("non-ASCII digit refused") << QString() << 0 << 0 << 0 << QStringLiteral("\u0664") << QString()
                                             << 1;
    QTest::newRow("255 accepted") << QString() << 0 << 0 << 0 << QStringLiteral("255") << QStringLiteral("255")
                                  << 0;
    QTest::newRow("256 refused at the third digit")
        << QString() << 0 << 0 << 0 << QStringLiteral("256") << QStringLiteral("25") << 1;
    QTest::newRow("leading zeros typed") << QString() << 0 << 0 << 0 << QStringLiteral("07")
                                         << QStringLiteral("07") << 0;
    QTest::newRow("3 before 25 makes 325, refused")
        << QStringLiteral("25") << 0 << 0 << 0 << QStringLiteral("3") << QStringLiteral("25") << 1;
    QTest::newRow("1 before 25 makes 125, accepted")
        << QStringLiteral("25") << 0 << 0 << 0 << QStringLiteral("1") << QStringLiteral("125") << 0;
    QTest::newRow("0 inside 25 makes 205") << QStringLiteral("25") << 1 << 0 << 0 << QStringLiteral("0")
                                           << QStringLiteral("205") << 0;
    QTest::newRow("9 inside 25 makes 295, refused")
        << QStringLiteral("25") << 1 << 0 << 0 << QStringLiteral("9") << QStringLiteral("25") << 1;
    QTest::newRow("9 before 2 makes 92") << QStringLiteral("2") << 0 << 0 << 0 << QStringLiteral("9")
                                         << QStringLiteral("92") << 0;
    QTest::newRow("selection replaced, 155 accepted")
        << QStringLiteral("255") << -1 << 0 << 1 << QStringLiteral("1") << QStringLiteral("155") << 0;
    QTest::newRow("selection replaced, 355 refused")
        << QStringLiteral("255") << -1 << 0 << 1 << QStringLiteral("3") << QStringLiteral("255") << 1;
    QTest::newRow("whole text replaced") << QStringLiteral("255") << -1 << 0 << 3 << QStringLiteral("9")
                                         << QStringLiteral("9") << 0;
    QTest::newRow("middle selection replaced, 295 refused")
        << QStringLiteral("255") << -1 << 1 << 1 << QStringLiteral("9") << QStringLiteral("255") << 1;
    QTest::newRow("full field refuses a fourth digit silently")
        << QStringLiteral("123") << 3 << 0 << 0 << QStringLiteral("4") << QStringLiteral("123") << 0;
    QTest::newRow("full field, caret at start") << QStringLiteral("100") << 0 << 0 << 0 << QStringLiteral("1")
                                                << QStringLiteral("100") << 0;
    QTest::newRow("backspace passes") << QStringLiteral("25") << 2 << 0 << 0 << QStringLiteral("\b")
                                      << QStringLiteral("2") << 0;
}

void TestVelmoIPAddress::typing()
{
    QFETCH(QString, start);
    QFETCH(int, caret);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, keys);
    QFETCH(QString, result);
    QFETCH(int, beeps);

    // Field 1 is typed into; the others hold an address so that only it can change.
    m_control->setIpAddress(QStringLiteral("10.0.0.1"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    QLineEdit *target = field(1);
    target->setFocus();
    if (!start.isEmpty())
        target->insert(start);
    target->setFocus();
    if (caret >= 0) {
        target->deselect();
        target->setCursorPosition(caret);
    } else {
        target->setSelection(selStart, selLength);
    }

    for (const QChar c : keys) {
        if (c == u'\b')
            QTest::keyClick(target, Qt::Key_Backspace);
        else if (c.unicode() > 0x7F)
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        else
            QTest::keyClicks(target, QString(c));
    }
    QCOMPARE(target->text(), result);
    QCOMPARE(m_control->beeps, beeps);
    QCOMPARE(field(0)->text(), QStringLiteral("10"));
    QCOMPARE(field(2)->text(), QStringLiteral("0"));
    QVERIFY(m_control->messages.isEmpty());
}

void TestVelmoIPAddress::thirdDigitMovesFocus()
{
    m_control->setIpAddress(QStringLiteral("10.0.55.1"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    m_control->SetIPFocus(1);
    QTest::keyClicks(field(1), QStringLiteral("19"));
    QVERIFY(field(1)->hasFocus());
    QTest::keyClicks(field(1), QStringLiteral("2"));
    QCOMPARE(field(1)->text(), QStringLiteral("192"));
    QVERIFY(field(2)->hasFocus());
    QCOMPARE(field(2)->selectedText(), QStringLiteral("55"));

    // Typing on replaces the selected text of the new field.
    QTest::keyClicks(field(2), QStringLiteral("7"));
    QCOMPARE(m_control->ipAddress(), QStringLiteral("10.192.7.1"));

    // The last field has nowhere to go.
    m_control->SetIPFocus(3);
    QTest::keyClicks(field(3), QStringLiteral("254"));
    QVERIFY(field(3)->hasFocus());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("10.192.7.254"));
}

void TestVelmoIPAddress::dotMovesFocus_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("0 to 1") << 0 << 1;
    QTest::newRow("1 to 2") << 1 << 2;
    QTest::newRow("2 to 3") << 2 << 3;
    QTest::newRow("3 wraps to 0") << 3 << 0;
}

void TestVelmoIPAddress::dotMovesFocus()
{
    QFETCH(int, from);
    QFETCH(int, to);

    m_control->setIpAddress(QStringLiteral("1.22.33.44"));
    m_control->SetIPFocus(from);
    QTest::keyClick(field(from), Qt::Key_Period);
    QVERIFY(field(to)->hasFocus());
    QCOMPARE(field(to)->selectedText(), field(to)->text());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.22.33.44"));
    QCOMPARE(m_control->beeps, 0);

    // The keypad's decimal point does the same.
    QTest::keyClick(field(to), Qt::Key_Period, Qt::KeypadModifier);
    QVERIFY(field((to + 1) % 4)->hasFocus());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.22.33.44"));
}

void TestVelmoIPAddress::arrowKeys_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("caret"); // -1: the whole text selected, as on gaining the focus
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("caretAfter");
    QTest::addColumn<bool>("selectedAfter");

    // Fields hold "1", "22", "33" and "44".
    QTest::newRow("left at start goes to end of previous") << 2 << 0 << int(Qt::Key_Left) << 1 << 2 << false;
    QTest::newRow("left with all selected goes back") << 2 << -1 << int(Qt::Key_Left) << 1 << 2 << false;
    QTest::newRow("left at start of field 0 stays") << 0 << 0 << int(Qt::Key_Left) << 0 << 0 << false;
    QTest::newRow("left inside the text stays") << 2 << 1 << int(Qt::Key_Left) << 2 << 0 << false;
    QTest::newRow("right at end goes to start of next") << 1 << 2 << int(Qt::Key_Right) << 2 << 0 << false;
    QTest::newRow("right at end of field 0") << 0 << 1 << int(Qt::Key_Right) << 1 << 0 << false;
    QTest::newRow("right at end of field 3 stays") << 3 << 2 << int(Qt::Key_Right) << 3 << 2 << false;
    QTest::newRow("right inside the text stays") << 1 << 0 << int(Qt::Key_Right) << 1 << 1 << false;
    QTest::newRow("right with all selected stays") << 1 << -1 << int(Qt::Key_Right) << 1 << 2 << false;
}

void TestVelmoIPAddress::arrowKeys()
{
    QFETCH(int, from);
    QFETCH(int, caret);
    QFETCH(int, key);
    QFETCH(int, to);
    QFETCH(int, caretAfter);
    QFETCH(bool, selectedAfter);

    m_control->setIpAddress(QStringLiteral("1.22.33.44"));
    m_control->SetIPFocus((from + 1) % 4);
    m_control->SetIPFocus(from);
    QCOMPARE(field(from)->selectedText(), field(from)->text());
    if (caret >= 0) {
        field(from)->deselect();
        field(from)->setCursorPosition(caret);
    }
    QTest::keyClick(field(from), Qt::Key(key));
    QVERIFY(field(to)->hasFocus());
    QCOMPARE(field(to)->cursorPosition(), caretAfter);
    QCOMPARE(field(to)->hasSelectedText(), selectedAfter);
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.22.33.44"));
}

void TestVelmoIPAddress::dialogKeysPassThrough_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("enter") << int(Qt::Key_Enter);
    QTest::newRow("escape") << int(Qt::Key_Escape);
    QTest::newRow("home") << int(Qt::Key_Home);
}

void TestVelmoIPAddress::dialogKeysPassThrough()
{
    QFETCH(int, key);
    m_control->setIpAddress(QStringLiteral("1.22.33.44"));
    m_control->SetIPFocus(1);
    QTest::keyClick(field(1), Qt::Key(key));
    QCOMPARE(m_control->beeps, 0);
    QVERIFY(field(1)->hasFocus());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.22.33.44"));
}

void TestVelmoIPAddress::leadingZerosDisappearOnFocusLoss_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::newRow("07") << QStringLiteral("07") << QStringLiteral("7");
    QTest::newRow("00") << QStringLiteral("00") << QStringLiteral("0");
    QTest::newRow("already plain") << QStringLiteral("42") << QStringLiteral("42");
    QTest::newRow("empty stays empty") << QString() << QString();
}

void TestVelmoIPAddress::leadingZerosDisappearOnFocusLoss()
{
    QFETCH(QString, typed);
    QFETCH(QString, after);

    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    m_control->SetIPFocus(1);
    QTest::keyClicks(field(1), typed);
    QCOMPARE(field(1)->text(), typed);
    m_control->SetIPFocus(3);
    QCOMPARE(field(1)->text(), after);
    QVERIFY(m_control->messages.isEmpty());
}

void TestVelmoIPAddress::thirdLeadingZeroLeavesAndNormalises_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::newRow("007") << QStringLiteral("007") << QStringLiteral("7");
    QTest::newRow("000") << QStringLiteral("000") << QStringLiteral("0");
    QTest::newRow("010") << QStringLiteral("010") << QStringLiteral("10");
    QTest::newRow("100 stays") << QStringLiteral("100") << QStringLiteral("100");
}

void TestVelmoIPAddress::thirdLeadingZeroLeavesAndNormalises()
{
    QFETCH(QString, typed);
    QFETCH(QString, after);

    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    m_control->SetIPFocus(1);
    // The third digit moves the focus on, and leaving the field normalises it.
    QTest::keyClicks(field(1), typed);
    QVERIFY(field(2)->hasFocus());
    QCOMPARE(field(1)->text(), after);
    QVERIFY(m_control->messages.isEmpty());
    QCOMPARE(m_control->beeps, 0);
}

void TestVelmoIPAddress::outOfRangeShowsMessageBox()
{
    m_control->showRealBox = true;
    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);

    // A pasted 999 fills the field, the focus moves on, and leaving the field reports the range.
    auto seen = std::make_shared<SeenBox>();
    answerNextBox(seen);
    paste(1, QStringLiteral("999"));
    QTRY_VERIFY(seen->seen);
    QCOMPARE(seen->text, QStringLiteral("Value must be between 0 and 255"));
    QCOMPARE(seen->title, QStringLiteral("Farlight"));
    QCOMPARE(seen->icon, QMessageBox::Warning);
    QCOMPARE(seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_control->messages.size(), 1);

    QCOMPARE(field(1)->text(), QStringLiteral("999"));
    // A window manager hands the activation back to the dialog when the box closes; the
    // offscreen platform leaves that to us. The field is the one the window will focus.
    QCOMPARE(m_host->focusWidget(), field(1));
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    QVERIFY(field(1)->hasFocus());
    QCOMPARE(field(1)->selectedText(), QStringLiteral("999"));
    QVERIFY(!m_control->IsValidIP());

    // Correcting the field and leaving it reports nothing more.
    QTest::keyClicks(field(1), QStringLiteral("25"));
    m_control->SetIPFocus(0);
    QCOMPARE(m_control->messages.size(), 1);
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.25.3.4"));
}

void TestVelmoIPAddress::outOfRangeReportedOnEveryExit()
{
    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    paste(2, QStringLiteral("888"));
    // Pasting filled the field, the focus moved on to field 3, and field 2 took it back.
    QCOMPARE(m_control->messages.size(), 1);
    QVERIFY(field(2)->hasFocus());
    QCOMPARE(field(2)->selectedText(), QStringLiteral("888"));

    m_control->SetIPFocus(1);
    QCOMPARE(m_control->messages.size(), 2);
    QVERIFY(field(2)->hasFocus());
    QTest::keyClick(field(2), Qt::Key_Period);
    QCOMPARE(m_control->messages.size(), 3);
    QVERIFY(field(2)->hasFocus());
    QTest::mouseClick(field(0), Qt::LeftButton);
    QCOMPARE(m_control->messages.size(), 4);
    QVERIFY(field(2)->hasFocus());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.2.888.4"));
    for (const auto &message : std::as_const(m_control->messages)) {
        QCOMPARE(message.text, QStringLiteral("Value must be between 0 and 255"));
        QCOMPARE(message.title, QStringLiteral("Farlight"));
        QCOMPARE(message.icon, QMessageBox::Warning);
    }

    // The selected text is replaced by the correction, and the field can be left.
    QTest::keyClicks(field(2), QStringLiteral("88"));
    m_control->SetIPFocus(1);
    QVERIFY(field(1)->hasFocus());
    QCOMPARE(m_control->messages.size(), 4);
    QCOMPARE(m_control->ipAddress(), QStringLiteral("1.2.88.4"));
}

void TestVelmoIPAddress::ipValue()
{
    m_control->setIpAddress(QStringLiteral("192.168.1.20"));
    QCOMPARE(m_control->IPValue(0), 192);
    QCOMPARE(m_control->IPValue(1), 168);
    QCOMPARE(m_control->IPValue(2), 1);
    QCOMPARE(m_control->IPValue(3), 20);
    QCOMPARE(m_control->IPValue(-1), 0);
    QCOMPARE(m_control->IPValue(4), 0);
    m_control->setIPValue(1, VelmoIPAddress::EmptyFieldValue);
    QCOMPARE(m_control->IPValue(1), 0);
}

void TestVelmoIPAddress::setIPValue_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("after");

    QTest::newRow("field 2 emptied") << 2 << -1 << QStringLiteral("192.168..10");
    QTest::newRow("field 0 emptied") << 0 << -1 << QStringLiteral(".168.1.10");
    QTest::newRow("field 3 emptied") << 3 << -1 << QStringLiteral("192.168.1.");
    QTest::newRow("other value changes nothing") << 2 << 7 << QStringLiteral("192.168.1.10");
    QTest::newRow("zero changes nothing") << 2 << 0 << QStringLiteral("192.168.1.10");
    QTest::newRow("index 4 changes nothing") << 4 << -1 << QStringLiteral("192.168.1.10");
    QTest::newRow("index -1 changes nothing") << -1 << -1 << QStringLiteral("192.168.1.10");
}

void TestVelmoIPAddress::setIPValue()
{
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(QString, after);

    m_control->setIpAddress(QStringLiteral("192.168.1.10"));
    m_control->SetIPFocus(1);
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setIPValue(index, value);
    QCOMPARE(m_control->ipAddress(), after);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), after);
    QVERIFY(field(1)->hasFocus());
}

void TestVelmoIPAddress::isValidIP()
{
    QVERIFY(m_control->IsValidIP());
    m_control->setIpAddress(QStringLiteral("255.255.255.255"));
    QVERIFY(m_control->IsValidIP());
    paste(0, QStringLiteral("256"));
    QCOMPARE(field(0)->text(), QStringLiteral("256"));
    QVERIFY(!m_control->IsValidIP());
    // Only digits get into a field, whatever is pasted.
    paste(2, QStringLiteral("1a"));
    QCOMPARE(field(2)->text(), QStringLiteral("255"));
}

void TestVelmoIPAddress::changeOnTyping()
{
    m_control->setIpAddress(QStringLiteral("10.0.0.1"));
    m_control->setIPValue(3, VelmoIPAddress::EmptyFieldValue);
    m_control->SetIPFocus(3);
    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    QTest::keyClicks(field(3), QStringLiteral("2x5"));
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes.at(0).at(0).toString(), QStringLiteral("10.0.0.2"));
    QCOMPARE(changes.at(1).at(0).toString(), QStringLiteral("10.0.0.25"));
    QTest::keyClick(field(3), Qt::Key_Backspace);
    QCOMPARE(changes.size(), 3);
    QCOMPARE(changes.at(2).at(0).toString(), QStringLiteral("10.0.0.2"));

    // While another field is out of range, edits raise no Change.
    paste(0, QStringLiteral("300"));
    QCOMPARE(m_control->ipAddress(), QStringLiteral("300.0.0.2"));
    const int before = int(changes.size());
    QTest::keyClicks(field(3), QStringLiteral("4"));
    QCOMPARE(field(3)->text(), QStringLiteral("24"));
    QCOMPARE(int(changes.size()), before);
}

void TestVelmoIPAddress::setIPFocus()
{
    m_control->setIpAddress(QStringLiteral("1.22.33.44"));
    m_control->SetIPFocus(3);
    QVERIFY(field(3)->hasFocus());
    QCOMPARE(field(3)->selectedText(), QStringLiteral("44"));
    m_control->SetIPFocus(4);
    m_control->SetIPFocus(-1);
    QVERIFY(field(3)->hasFocus());
    // The control handed the focus as a whole passes it to the first field.
    field(3)->clearFocus();
    m_control->setFocus();
    QVERIFY(field(0)->hasFocus());
}

void TestVelmoIPAddress::clickOnBackgroundFocusesField_data()
{
    QTest::addColumn<int>("gapAfter"); // click in the gap right of this field; 3: far right edge
    QTest::addColumn<int>("focused");
    QTest::newRow("gap after field 0") << 0 << 0;
    QTest::newRow("gap after field 1") << 1 << 1;
    QTest::newRow("gap after field 2") << 2 << 2;
    QTest::newRow("right edge clamps to field 3") << 3 << 3;
}

void TestVelmoIPAddress::clickOnBackgroundFocusesField()
{
    QFETCH(int, gapAfter);
    QFETCH(int, focused);

    field(3)->setFocus();
    if (focused == 3)
        field(0)->setFocus();
    const QRect f = field(gapAfter)->geometry();
    const int x = gapAfter < 3 ? f.right() + 5 : m_control->width() - 1;
    QTest::mouseClick(m_control, Qt::LeftButton, {}, QPoint(x, m_control->height() / 2));
    QVERIFY(field(focused)->hasFocus());
}

void TestVelmoIPAddress::enabledColours()
{
    const QPalette system = QGuiApplication::palette();
    const QColor windowBackground = system.color(QPalette::Active, QPalette::Base);
    const QColor buttonFace = system.color(QPalette::Active, QPalette::Button);
    QVERIFY(windowBackground != buttonFace);

    QCOMPARE(field(0)->palette().color(QPalette::Base), windowBackground);
    QCOMPARE(m_control->palette().color(QPalette::Window), windowBackground);

    m_control->setEnabled(false);
    QVERIFY(!m_control->Enabled());
    for (QLineEdit *f : fields()) {
        QVERIFY(!f->isEnabled());
        QCOMPARE(f->palette().color(QPalette::Disabled, QPalette::Base), buttonFace);
    }
    QCOMPARE(m_control->palette().color(QPalette::Window), buttonFace);

    // Without the disabled colour a disabled control keeps its own background.
    m_control->setUseDisabledBackColor(false);
    QCOMPARE(field(2)->palette().color(QPalette::Disabled, QPalette::Base), windowBackground);

    m_control->setBackColor(0x000000FFu);
    QCOMPARE(m_control->BackColor(), 0x000000FFu);
    QCOMPARE(field(2)->palette().color(QPalette::Base), QColor(255, 0, 0));
    m_control->setUseDisabledBackColor(true);
    QCOMPARE(field(2)->palette().color(QPalette::Base), buttonFace);
    m_control->setEnabled(true);
    QVERIFY(m_control->Enabled());
    QVERIFY(field(2)->isEnabled());
    QCOMPARE(field(2)->palette().color(QPalette::Active, QPalette::Base), QColor(255, 0, 0));
    QCOMPARE(m_control->palette().color(QPalette::Window), QColor(255, 0, 0));

    // A disabled control takes no keys.
    m_control->setEnabled(false);
    QTest::keyClicks(field(0), QStringLiteral("1"));
    QCOMPARE(field(0)->text(), QString());
}

void TestVelmoIPAddress::textColour()
{
    QCOMPARE(field(1)->palette().color(QPalette::Active, QPalette::Text),
             QGuiApplication::palette().color(QPalette::Active, QPalette::Text));
    m_control->setTextColor(0x0000FF00u);
    QCOMPARE(m_control->TextColor(), 0x0000FF00u);
    for (QLineEdit *f : fields())
        QCOMPARE(f->palette().color(QPalette::Active, QPalette::Text), QColor(0, 255, 0));
    QCOMPARE(m_control->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 255, 0));
}

void TestVelmoIPAddress::fontReachesFieldsAndLayout()
{
    const int narrowMinimum = m_control->minimumSizeHint().width();
    QFont big = m_control->Font();
    big.setPointSize(big.pointSize() * 3);
    m_control->setFont(big);
    QCOMPARE(m_control->Font(), big);
    for (QLineEdit *f : fields())
        QCOMPARE(f->font(), big);

    const QFontMetrics metrics(big);
    const int minimumWidth = 4 * (metrics.horizontalAdvance(QStringLiteral("XXX")) + 10) + 10;
    QVERIFY(minimumWidth > narrowMinimum);
    QCOMPARE(m_control->minimumSizeHint().width(), minimumWidth);
    m_control->resize(10, 10);
    QCOMPARE(m_control->width(), minimumWidth);
    QCOMPARE(m_control->FieldWidth(), float(m_control->width()) / 4 - 10);
    QVERIFY(field(0)->height() >= metrics.height());
}

void TestVelmoIPAddress::placedInTwips()
{
    auto control = std::make_unique<ProbeIPAddress>();
    QCOMPARE(control->FieldWidth(), 0.0f);
    auto *placed = new ProbeIPAddress(m_host.get());
    placed->hide();
    const QScreen *screen = placed->screen();
    QVERIFY(screen);
    const qreal dpiX = screen->logicalDotsPerInchX();
    const qreal dpiY = screen->logicalDotsPerInchY();

    // Wide enough for its text at any font: the pixel size follows the twips.
    placed->setGeometryTwips(QRect(2040, 720, 9000, 900));
    QCOMPARE(placed->pos(), QPoint(TwipsToPixels(2040, dpiX), TwipsToPixels(720, dpiY)));
    QCOMPARE(placed->size(), QSize(TwipsToPixels(9000, dpiX), TwipsToPixels(900, dpiY)));
    QCOMPARE(placed->FieldWidth(), float(placed->width()) / 4 - 10);

    const VelmoIPAddressLayout layout = VelmoIPAddressLayout::compute(
        placed->size(), QFontMetrics(placed->font()).horizontalAdvance(QStringLiteral("XXX")),
        QFontMetrics(placed->font()).height() + 2);
    for (int i = 0; i < 4; ++i) {
        QLineEdit *f = placed->findChild<QLineEdit *>(QStringLiteral("txtIP%1").arg(i));
        QCOMPARE(f->geometry(), layout.fields[i].toRect());
        if (i < 3) {
            const QLabel *dot = placed->findChild<QLabel *>(QStringLiteral("imgDot%1").arg(i));
            QCOMPARE(dot->geometry(), layout.dots[i].toRect());
            QVERIFY(dot->x() > f->geometry().right());
        }
    }

    // Too small: widened to the minimum.
    placed->setGeometryTwips(QRect(0, 0, 15, 15));
    QCOMPARE(placed->size(), layout.minimumSize);
}

void TestVelmoIPAddress::savedPropertiesOnlyDiffer()
{
    // Newly placed: only the empty address differs from the default "0.0.0.0".
    VelmoIPAddress::Properties expected;
    expected.IPAddress = QStringLiteral("...");
    QCOMPARE(m_control->properties(), expected);

    m_control->setIpAddress(QStringLiteral("0.0.0.0"));
    QCOMPARE(m_control->properties(), VelmoIPAddress::Properties());

    // The host's font is the default; the control's own font differs from it.
    QFont hostFont = m_host->font();
    hostFont.setPointSize(hostFont.pointSize() + 5);
    m_host->setFont(hostFont);
    QCOMPARE(m_control->properties(), VelmoIPAddress::Properties());

    QFont own = hostFont;
    own.setBold(true);
    m_control->setFont(own);
    m_control->setIpAddress(QStringLiteral("192.168.1.1"));
    m_control->setUseDisabledBackColor(false);
    m_control->setEnabled(false);
    m_control->setBackColor(0x00FFFFFFu);
    m_control->setTextColor(0x00000080u);
    expected.Font = own;
    expected.IPAddress = QStringLiteral("192.168.1.1");
    expected.UseDisabledBackColor = false;
    expected.Enabled = false;
    expected.BackColor = 0x00FFFFFFu;
    expected.TextColor = 0x00000080u;
    QCOMPARE(m_control->properties(), expected);

    // A disabled host is no setting of the control's own.
    m_control->setEnabled(true);
    m_host->setEnabled(false);
    QVERIFY(!m_control->properties().Enabled.has_value());
}

void TestVelmoIPAddress::restoreTakesDefaults()
{
    m_control->setFont(QFont(QStringLiteral("Monospace"), 30));
    m_control->setIpAddress(QStringLiteral("1.2.3.4"));
    m_control->setEnabled(false);
    m_control->setUseDisabledBackColor(false);
    m_control->setBackColor(0x00123456u);
    m_control->setTextColor(0x00654321u);

    QSignalSpy changes(m_control, &VelmoIPAddress::Change);
    m_control->setProperties({});
    QCOMPARE(m_control->Font(), m_host->font());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("0.0.0.0"));
    QVERIFY(m_control->Enabled());
    QVERIFY(m_control->UseDisabledBackColor());
    QCOMPARE(m_control->BackColor(), 0x80000005u);
    QCOMPARE(m_control->TextColor(), 0x80000008u);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).toString(), QStringLiteral("0.0.0.0"));
    QCOMPARE(field(0)->palette().color(QPalette::Base), QGuiApplication::palette().color(QPalette::Base));

    // A control restored without a font follows its host's.
    QFont hostFont = m_host->font();
    hostFont.setPointSize(hostFont.pointSize() + 4);
    m_host->setFont(hostFont);
    QCOMPARE(m_control->Font(), hostFont);
    QCOMPARE(field(2)->font(), hostFont);
    QVERIFY(!m_control->properties().Font.has_value());

    // The Set IP dialog's controls are saved with an empty address: each field shows 0.
    VelmoIPAddress::Properties saved;
    saved.IPAddress = QString();
    m_control->setProperties(saved);
    QCOMPARE(fieldTexts(fields()), QStringList({"0", "0", "0", "0"}));
}

void TestVelmoIPAddress::restoreOrder()
{
    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);

    // UseDisabledBackColor is in place before Enabled is applied.
    VelmoIPAddress::Properties saved;
    saved.UseDisabledBackColor = false;
    saved.Enabled = false;
    saved.BackColor = 0x00FF0000u;
    m_control->setProperties(saved);
    QVERIFY(!m_control->Enabled());
    QVERIFY(!m_control->UseDisabledBackColor());
    QCOMPARE(field(0)->palette().color(QPalette::Disabled, QPalette::Base), QColor(0, 0, 255));

    saved.UseDisabledBackColor.reset();
    m_control->setProperties(saved);
    QCOMPARE(field(0)->palette().color(QPalette::Disabled, QPalette::Base), buttonFace);

    // The font is in place before the address is written, so Change sees the final layout.
    QFont big(QStringLiteral("Monospace"), 40);
    saved = {};
    saved.Font = big;
    saved.IPAddress = QStringLiteral("10.20.30.40");
    float fieldWidthAtChange = -1;
    QFont fontAtChange;
    connect(m_control, &VelmoIPAddress::Change, this, [&] {
        fieldWidthAtChange = m_control->FieldWidth();
        fontAtChange = m_control->Font();
    });
    m_control->setProperties(saved);
    QCOMPARE(fontAtChange, big);
    QCOMPARE(fieldWidthAtChange, m_control->FieldWidth());
    QCOMPARE(m_control->ipAddress(), QStringLiteral("10.20.30.40"));
    QCOMPARE(m_control->properties(), saved);
}

void TestVelmoIPAddress::propertiesAsVariantMap()
{
    VelmoIPAddress::Properties saved;
    QVERIFY(saved.toVariantMap().isEmpty());

    saved.Font = QFont(QStringLiteral("Serif"), 12);
    saved.IPAddress = QString();
    saved.UseDisabledBackColor = false;
    saved.Enabled = false;
    saved.BackColor = 0x8000000Fu;
    saved.TextColor = 0x00112233u;
    const QVariantMap map = saved.toVariantMap();
    QCOMPARE(map.keys(), QStringList({"BackColor", "Enabled", "Font", "IPAddress", "TextColor",
                                      "UseDisabledBackColor"}));
    QCOMPARE(map.value("IPAddress").toString(), QString());
    QCOMPARE(map.value("BackColor").toUInt(), 0x8000000Fu);
    QCOMPARE(VelmoIPAddress::Properties::fromVariantMap(map), saved);

    VelmoIPAddress::Properties partial;
    partial.TextColor = 5;
    QVariantMap withStranger = partial.toVariantMap();
    withStranger.insert(QStringLiteral("Unknown"), 1);
    QCOMPARE(VelmoIPAddress::Properties::fromVariantMap(withStranger), partial);
}

void TestVelmoIPAddress::qtPropertiesUseTheDesignNames()
{
    QVERIFY(m_control->setProperty("ipAddress", QStringLiteral("172.16.0.9")));
    QCOMPARE(m_control->property("ipAddress").toString(), QStringLiteral("172.16.0.9"));
    QVERIFY(m_control->setProperty("Enabled", false));
    QVERIFY(!m_control->isEnabled());
    QVERIFY(m_control->setProperty("BackColor", 0x00010203u));
    QCOMPARE(m_control->BackColor(), 0x00010203u);
    QVERIFY(m_control->setProperty("TextColor", 0x00030201u));
    QCOMPARE(m_control->property("TextColor").toUInt(), 0x00030201u);
    QVERIFY(m_control->setProperty("UseDisabledBackColor", false));
    QVERIFY(!m_control->UseDisabledBackColor());
    QFont f(QStringLiteral("Serif"), 20);
    QVERIFY(m_control->setProperty("Font", f));
    QCOMPARE(field(3)->font(), f);
}

QTEST_MAIN(TestVelmoIPAddress)
#include "tst_velmoipaddress.moc"
