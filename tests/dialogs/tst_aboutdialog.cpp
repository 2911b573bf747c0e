#include "dialogs/aboutdialog.h"
#include "resources/strings.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using farlight::AboutDialog;

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void contents()
    {
        QPixmap red(32, 32);
        red.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(red));
        AboutDialog d;
        QApplication::setWindowIcon(QIcon());
        QCOMPARE(d.windowTitle(), QStringLiteral("Farlight"));
        QCOMPARE(d.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Farlight  2.5.6"));
        QVERIFY(!farlight::text(51).isEmpty());
        QCOMPARE(d.findChild<QLabel *>(QStringLiteral("Label1"))->text(), farlight::text(51));
        QCOMPARE(d.findChild<QPushButton *>(QStringLiteral("cmdOK"))->text(), QStringLiteral("OK"));
        const QImage icon = d.findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().toImage();
        QCOMPARE(icon.pixelColor(16, 16), QColor(Qt::red));
    }

    void versionTextHasNoPaddingAndNoSubstitutionInTheName()
    {
        QCOMPARE(AboutDialog::versionText("Farlight", {10, 0, 123}), QStringLiteral("Farlight  10.0.123"));
        QCOMPARE(AboutDialog::versionText("X %2 %3", {4, 5, 6}), QStringLiteral("X %2 %3  4.5.6"));
    }

    void closes_data()
    {
        QTest::addColumn<bool>("byOk");
        QTest::newRow("ok button") << true;
        QTest::newRow("close box") << false;
    }

    void closes()
    {
        QFETCH(bool, byOk);
        AboutDialog d;
        d.show();
        if (byOk)
            QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        else
            QVERIFY(d.close());
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(byOk ? QDialog::Accepted : QDialog::Rejected));
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
