#include "dialogs/logindialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using farlight::LoginDialog;

class TestLoginDialog : public QObject
{
    Q_OBJECT

    static QLineEdit *field(QWidget *d) { return d->findChild<QLineEdit *>(QStringLiteral("PasswordTxt")); }
    static QPushButton *button(QWidget *d, bool ok) { return d->findChild<QPushButton *>(ok ? "cmdOK" : "cmdCancel"); }

private slots:
    void ask_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QVariant>("password"); // what ask() returns; invalid for nothing
        QTest::newRow("ok, empty field") << QString() << "ok" << QVariant(QString());
        QTest::newRow("enter, spaces kept") << " a b " << "enter" << QVariant(" a b ");
        QTest::newRow("thirteenth char dropped") << "abcdefghijklm" << "ok" << QVariant("abcdefghijkl");
        QTest::newRow("cancel") << "other" << "cancel" << QVariant();
    }

    // Each ask() shows a new dialog; a second showing of the same dialog starts empty as well.
    void ask()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QVariant, password);
        bool startedEmpty = false;
        QString masked;
        QTimer::singleShot(0, this, [&] {
            auto *d = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            QTest::keyClicks(field(d), QStringLiteral("secret"));
            d->hide();
            d->show();
            startedEmpty = field(d)->text().isEmpty();
            QTest::keyClicks(field(d), typed);
            masked = field(d)->displayText();
            if (how == "enter")
                QTest::keyClick(field(d), Qt::Key_Return);
            else
                QTest::mouseClick(button(d, how == "ok"), Qt::LeftButton);
        });
        const std::optional<QString> result = LoginDialog::ask();
        QVERIFY(startedEmpty);
        QCOMPARE(masked, QString(typed.left(12).size(), QLatin1Char('*')));
        QCOMPARE(result.has_value(), password.isValid());
        if (result)
            QCOMPARE(*result, password.toString());
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
        LoginDialog d;
        QSignalSpy accepted(&d, &QDialog::accepted);
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
            QVERIFY(d.isVisible() && accepted.isEmpty());
            QTest::keyClick(field(&d), Qt::Key_Backspace);
            QVERIFY(button(&d, true)->isEnabled() && !note->isVisible());
        }
        QTest::mouseClick(button(&d, true), Qt::LeftButton);
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(d.password(), sendable ? "ab" + extra : QStringLiteral("ab"));
    }
};

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
