#include "app/appstate.h"
#include "dialogs/logindialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

using farlight::AppState;
using farlight::LoginDialog;

namespace {

QLineEdit *passwordField(QWidget *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("PasswordTxt"));
}

QPushButton *button(QWidget *dialog, const QString &name)
{
    return dialog->findChild<QPushButton *>(name);
}

// Types @p text as key presses, one character (code point) per key, including characters that
// QTest::keyClicks cannot produce because they have no Latin-1 code.
void typeText(QWidget *widget, const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (const uint codePoint : codePoints) {
        const char32_t c = codePoint;
        const QString character = QString::fromUcs4(&c, 1);
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, character, Qt::NoModifier);
    }
}

} // namespace

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void controlsCarryTheirCaptions_data();
    void controlsCarryTheirCaptions();
    void titleIsPassword();
    void okWithEmptyFieldConfirmsEmptyPassword();
    void okStoresTypedPassword_data();
    void okStoresTypedPassword();
    void cancelAfterOkKeepsPassword();
    void closingWithoutButtons_data();
    void closingWithoutButtons();
    void thirteenthCharacterCannotBeTyped_data();
    void thirteenthCharacterCannotBeTyped();
    void typedTextIsMasked();
    void fieldIsEmptyWheneverShown();
    void enterConfirms();
    void passwordCharacters_data();
    void passwordCharacters();
    void removingTheForeignCharacterEnablesOkAgain();
    void enterDoesNothingWhileOkIsDisabled();
    void askReturnsLoginOk_data();
    void askReturnsLoginOk();
    void loginImageIsShown();
};

void TestLoginDialog::controlsCarryTheirCaptions_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::newRow("label") << QStringLiteral("PasswordLbl") << QStringLiteral("Password");
    QTest::newRow("ok button") << QStringLiteral("cmdOK") << QStringLiteral("OK");
    QTest::newRow("cancel button") << QStringLiteral("cmdCancel") << QStringLiteral("Cancel");
}

void TestLoginDialog::controlsCarryTheirCaptions()
{
    QFETCH(QString, control);
    QFETCH(QString, caption);
    AppState state;
    LoginDialog dialog(state);
    auto *widget = dialog.findChild<QWidget *>(control);
    QVERIFY2(widget != nullptr, qPrintable(control));
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), caption);
    else if (auto *pushButton = qobject_cast<QPushButton *>(widget))
        QCOMPARE(pushButton->text(), caption);
    else
        QFAIL("control is neither a label nor a button");
}

void TestLoginDialog::titleIsPassword()
{
    AppState state;
    LoginDialog dialog(state);
    QCOMPARE(dialog.objectName(), QStringLiteral("frmLogin"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Password"));
}

void TestLoginDialog::okWithEmptyFieldConfirmsEmptyPassword()
{
    AppState state;
    state.AdminPassword = QStringLiteral("earlier");
    state.LoginOk = false;
    LoginDialog dialog(state);
    dialog.show();
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::mouseClick(button(&dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(state.LoginOk);
    QCOMPARE(state.AdminPassword, QString());
    QVERIFY(!dialog.isVisible());
}

void TestLoginDialog::okStoresTypedPassword_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("letters") << QStringLiteral("admin");
    QTest::newRow("spaces kept") << QStringLiteral(" a b ");
    QTest::newRow("twelve characters") << QStringLiteral("abcdefghijkl");
    QTest::newRow("digits and punctuation") << QStringLiteral("1234!#$%");
}

void TestLoginDialog::okStoresTypedPassword()
{
    QFETCH(QString, typed);
    AppState state;
    LoginDialog dialog(state);
    dialog.show();
    QTest::keyClicks(passwordField(&dialog), typed);
    QTest::mouseClick(button(&dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
    QVERIFY(state.LoginOk);
    QCOMPARE(state.AdminPassword, typed);
}

void TestLoginDialog::cancelAfterOkKeepsPassword()
{
    AppState state;
    {
        LoginDialog first(state);
        first.show();
        QTest::keyClicks(passwordField(&first), QStringLiteral("secret"));
        QTest::mouseClick(button(&first, QStringLiteral("cmdOK")), Qt::LeftButton);
    }
    QVERIFY(state.LoginOk);
    QCOMPARE(state.AdminPassword, QStringLiteral("secret"));

    LoginDialog second(state);
    second.show();
    QSignalSpy rejected(&second, &QDialog::rejected);
    QTest::keyClicks(passwordField(&second), QStringLiteral("other"));
    QTest::mouseClick(button(&second, QStringLiteral("cmdCancel")), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!state.LoginOk);
    QCOMPARE(state.AdminPassword, QStringLiteral("secret"));
    QVERIFY(!second.isVisible());
}

void TestLoginDialog::closingWithoutButtons_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("escape key") << true;
    QTest::newRow("close box") << false;
}

void TestLoginDialog::closingWithoutButtons()
{
    QFETCH(bool, byEscape);
    AppState state;
    state.AdminPassword = QStringLiteral("kept");
    state.LoginOk = true;
    LoginDialog dialog(state);
    dialog.show();
    QTest::keyClicks(passwordField(&dialog), QStringLiteral("typed"));
    if (byEscape)
        QTest::keyClick(passwordField(&dialog), Qt::Key_Escape);
    else
        QVERIFY(dialog.close());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!state.LoginOk);
    QCOMPARE(state.AdminPassword, QStringLiteral("kept"));
}

void TestLoginDialog::thirteenthCharacterCannotBeTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("thirteen") << QStringLiteral("abcdefghijklm") << QStringLiteral("abcdefghijkl");
    QTest::newRow("twenty") << QStringLiteral("0123456789abcdefghij") << QStringLiteral("0123456789ab");
    QTest::newRow("exactly twelve") << QStringLiteral("ABCDEFGHIJKL") << QStringLiteral("ABCDEFGHIJKL");
    QTest::newRow("eleven") << QStringLiteral("ABCDEFGHIJK") << QStringLiteral("ABCDEFGHIJK");
}

void TestLoginDialog::thirteenthCharacterCannotBeTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    AppState state;
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), kept);
    QTest::mouseClick(button(&dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
    QCOMPARE(state.AdminPassword, kept);
}

void TestLoginDialog::typedTextIsMasked()
{
    AppState state;
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    QTest::keyClicks(field, QStringLiteral("abcdefghijkl"));
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    QCOMPARE(field->displayText(), QString(12, QLatin1Char('*')));
    QCOMPARE(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field), int('*'));
}

void TestLoginDialog::fieldIsEmptyWheneverShown()
{
    AppState state;
    state.AdminPassword = QStringLiteral("stored");
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    QCOMPARE(field->text(), QString());
    QTest::keyClicks(field, QStringLiteral("abc"));
    QTest::mouseClick(button(&dialog, QStringLiteral("cmdCancel")), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());

    dialog.show();
    QCOMPARE(field->text(), QString());
    QTest::keyClicks(field, QStringLiteral("xyz"));
    QTest::mouseClick(button(&dialog, QStringLiteral("cmdOK")), Qt::LeftButton);
    QCOMPARE(state.AdminPassword, QStringLiteral("xyz"));

    dialog.show();
    QCOMPARE(field->text(), QString());
    // The earlier password is never offered again in the field.
    LoginDialog fresh(state);
    fresh.show();
    QCOMPARE(passwordField(&fresh)->text(), QString());
}

void TestLoginDialog::enterConfirms()
{
    AppState state;
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    QTest::keyClicks(field, QStringLiteral("pw"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QVERIFY(state.LoginOk);
    QCOMPARE(state.AdminPassword, QStringLiteral("pw"));
}

void TestLoginDialog::passwordCharacters_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("ascii") << QStringLiteral("Admin1") << true;
    QTest::newRow("latin-1 accents") << QStringLiteral("caf\u00e9\u00fc") << true;
    QTest::newRow("highest latin-1 code") << QStringLiteral("ab\u00ff") << true;
    QTest::newRow("euro sign") << QStringLiteral("pass\u20ac") << false;
    QTest::newRow("first code above latin-1") << QStringLiteral("\u0100") << false;
    QTest::newRow("cyrillic") << QStringLiteral("\u043f\u0430\u0440\u043e\u043b\u044c") << false;
    QTest::newRow("cjk") << QStringLiteral("\u5bc6\u7801") << false;
    QTest::newRow("outside the basic plane") << QString::fromUtf8("ok\xF0\x9F\x94\x91") << false;
}

void TestLoginDialog::passwordCharacters()
{
    QFETCH(QString, typed);
    QFETCH(bool, sendable);
    AppState state;
    state.AdminPassword = QStringLiteral("before");
    state.LoginOk = false;
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    typeText(field, typed);
    QCOMPARE(field->text(), typed);

    QPushButton *ok = button(&dialog, QStringLiteral("cmdOK"));
    auto *note = dialog.findChild<QLabel *>(QStringLiteral("PasswordNoteLbl"));
    QVERIFY(note != nullptr);
    QCOMPARE(ok->isEnabled(), sendable);
    QCOMPARE(note->isVisible(), !sendable);
    if (!sendable) {
        QVERIFY(!note->text().isEmpty());
        QCOMPARE(ok->toolTip(), note->text());
    }

    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialog.isVisible(), !sendable);
    QCOMPARE(state.LoginOk, sendable);
    QCOMPARE(state.AdminPassword, sendable ? typed : QStringLiteral("before"));

    // Even a direct accept cannot confirm text the request would alter.
    if (!sendable) {
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QVERIFY(!state.LoginOk);
    }
}

void TestLoginDialog::removingTheForeignCharacterEnablesOkAgain()
{
    AppState state;
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    QPushButton *ok = button(&dialog, QStringLiteral("cmdOK"));
    QTest::keyClicks(field, QStringLiteral("abc"));
    typeText(field, QStringLiteral("\u20ac"));
    QVERIFY(!ok->isEnabled());
    QTest::keyClick(field, Qt::Key_Backspace);
    QVERIFY(ok->isEnabled());
    QVERIFY(ok->toolTip().isEmpty());
    QVERIFY(!dialog.findChild<QLabel *>(QStringLiteral("PasswordNoteLbl"))->isVisible());
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(state.LoginOk);
    QCOMPARE(state.AdminPassword, QStringLiteral("abc"));
}

void TestLoginDialog::enterDoesNothingWhileOkIsDisabled()
{
    AppState state;
    state.LoginOk = true;
    LoginDialog dialog(state);
    dialog.show();
    QLineEdit *field = passwordField(&dialog);
    typeText(field, QStringLiteral("\u03c0"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QVERIFY(state.LoginOk);
}

void TestLoginDialog::askReturnsLoginOk_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<bool>("expected");
    QTest::newRow("ok") << QStringLiteral("cmdOK") << true;
    QTest::newRow("cancel") << QStringLiteral("cmdCancel") << false;
}

void TestLoginDialog::askReturnsLoginOk()
{
    QFETCH(QString, buttonName);
    QFETCH(bool, expected);
    AppState state;
    state.LoginOk = !expected;
    state.AdminPassword = QStringLiteral("old");
    bool sawEmptyField = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        sawEmptyField = passwordField(dialog)->text().isEmpty();
        QTest::keyClicks(passwordField(dialog), QStringLiteral("modal"));
        QTest::mouseClick(button(dialog, buttonName), Qt::LeftButton);
    });
    const bool result = LoginDialog::ask(state);
    QVERIFY(sawEmptyField);
    QCOMPARE(result, expected);
    QCOMPARE(state.LoginOk, expected);
    QCOMPARE(state.AdminPassword, expected ? QStringLiteral("modal") : QStringLiteral("old"));
}

void TestLoginDialog::loginImageIsShown()
{
    AppState state;
    LoginDialog dialog(state);
    auto *image = dialog.findChild<QLabel *>(QStringLiteral("LoginImg"));
    QVERIFY(image != nullptr);
    QVERIFY(!image->pixmap().isNull());
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
