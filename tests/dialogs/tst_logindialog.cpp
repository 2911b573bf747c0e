#include "app/appstate.h"
#include "dialogs/logindialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using farlight::AppState;
using farlight::LoginDialog;

class TestLoginDialog : public QObject
{
    Q_OBJECT

    static QLineEdit *field(QWidget *d) { return d->findChild<QLineEdit *>(QStringLiteral("PasswordTxt")); }
    static QPushButton *button(QWidget *d, bool ok) { return d->findChild<QPushButton *>(ok ? "cmdOK" : "cmdCancel"); }

private slots:
    void captions()
    {
        AppState state;
        LoginDialog d(state);
        QCOMPARE((QStringList{d.windowTitle(), d.findChild<QLabel *>(QStringLiteral("PasswordLbl"))->text(),
                              button(&d, true)->text(), button(&d, false)->text()}),
                 (QStringList{"Password", "Password", "OK", "Cancel"}));
    }

    void secondShowing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("password"); // AdminPassword afterwards
        QTest::newRow("ok, empty field") << QString() << "ok" << true << QString();
        QTest::newRow("enter, spaces kept") << " a b " << "enter" << true << " a b ";
        QTest::newRow("thirteenth char dropped") << "abcdefghijklm" << "ok" << true << "abcdefghijkl";
        QTest::newRow("cancel keeps earlier") << "other" << "cancel" << false << "secret";
        QTest::newRow("escape as cancel") << "other" << "escape" << false << "secret";
        QTest::newRow("close box as cancel") << "other" << "close" << false << "secret";
    }

    // The dialog confirms "secret", is shown again (starting empty) and is then left as the row says.
    void secondShowing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(bool, confirmed);
        QFETCH(QString, password);
        AppState state;
        LoginDialog d(state);
        d.show();
        QTest::keyClicks(field(&d), QStringLiteral("secret"));
        QTest::mouseClick(button(&d, true), Qt::LeftButton);
        state.LoginOk = !confirmed;
        d.show();
        QCOMPARE(field(&d)->text(), QString());
        QTest::keyClicks(field(&d), typed);
        QCOMPARE(field(&d)->text(), typed.left(12));
        QCOMPARE(field(&d)->displayText(), QString(field(&d)->text().size(), QLatin1Char('*')));
        if (how == "ok" || how == "cancel")
            QTest::mouseClick(button(&d, how == "ok"), Qt::LeftButton);
        else if (how == "close")
            QVERIFY(d.close());
        else
            QTest::keyClick(field(&d), how == "enter" ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!d.isVisible());
        QCOMPARE(state.LoginOk, confirmed);
        QCOMPARE(state.AdminPassword, password);
    }

    void nonLatin1CannotBeConfirmed_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::newRow("highest latin-1 code") << QStringLiteral("\u00ff");
        QTest::newRow("first code above latin-1") << QStringLiteral("\u0100");
        QTest::newRow("outside the basic plane") << QString::fromUtf8("\xF0\x9F\x94\x91");
    }

    void nonLatin1CannotBeConfirmed()
    {
        QFETCH(QString, extra);
        const bool sendable = extra.size() == 1 && extra.at(0).unicode() <= 0xff;
        AppState state;
        LoginDialog d(state);
        d.show();
        auto *note = d.findChild<QLabel *>(QStringLiteral("PasswordNoteLbl"));
        QTest::keyClicks(field(&d), QStringLiteral("ab"));
        QTest::sendKeyEvent(QTest::Click, field(&d), Qt::Key_unknown, extra, Qt::NoModifier);
        QCOMPARE(field(&d)->text(), "ab" + extra);
        QCOMPARE(button(&d, true)->isEnabled(), sendable);
        QCOMPARE(note->isVisible() && !note->text().isEmpty(), !sendable);
        if (!sendable) {
            QTest::keyClick(field(&d), Qt::Key_Return);
            d.accept();
            QVERIFY(d.isVisible() && !state.LoginOk);
            QTest::keyClick(field(&d), Qt::Key_Backspace);
            QVERIFY(button(&d, true)->isEnabled() && !note->isVisible());
        }
        QTest::mouseClick(button(&d, true), Qt::LeftButton);
        QVERIFY(state.LoginOk);
        QCOMPARE(state.AdminPassword, sendable ? "ab" + extra : QStringLiteral("ab"));
    }

    void askReturnsLoginOk_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("ok") << true;
        QTest::newRow("cancel") << false;
    }

    void askReturnsLoginOk()
    {
        QFETCH(bool, ok);
        AppState state;
        state.LoginOk = !ok;
        QTimer::singleShot(0, this, [ok] {
            if (auto *d = qobject_cast<LoginDialog *>(QApplication::activeModalWidget()))
                QTest::mouseClick(button(d, ok), Qt::LeftButton);
        });
        QCOMPARE(LoginDialog::ask(state), ok);
        QCOMPARE(state.LoginOk, ok);
    }
};

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
