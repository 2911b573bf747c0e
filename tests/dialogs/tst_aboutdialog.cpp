#include "dialogs/aboutdialog.h"

#include <QApplication>
#include <QTest>

using farlight::AboutDialog;

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void versionTextHasNoPaddingAndNoSubstitutionInTheName()
    {
        QCOMPARE(AboutDialog::versionText("Farlight", {10, 0, 123}), QStringLiteral("Farlight  10.0.123"));
        QCOMPARE(AboutDialog::versionText("X %2 %3", {4, 5, 6}), QStringLiteral("X %2 %3  4.5.6"));
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
