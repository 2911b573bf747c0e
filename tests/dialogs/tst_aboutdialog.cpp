#include "dialogs/aboutdialog.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using farlight::AboutDialog;

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void showsTheApplicationIcon()
    {
        QPixmap red(32, 32);
        red.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(red));
        AboutDialog d;
        QApplication::setWindowIcon(QIcon());
        const QImage icon = d.findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().toImage();
        QCOMPARE(icon.pixelColor(16, 16), QColor(Qt::red));
    }

    void versionTextHasNoPaddingAndNoSubstitutionInTheName()
    {
        QCOMPARE(AboutDialog::versionText("Farlight", {10, 0, 123}), QStringLiteral("Farlight  10.0.123"));
        QCOMPARE(AboutDialog::versionText("X %2 %3", {4, 5, 6}), QStringLiteral("X %2 %3  4.5.6"));
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
