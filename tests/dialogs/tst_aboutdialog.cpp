#include "dialogs/aboutdialog.h"
#include "dialogs/applicationicon.h"
#include "resources/strings.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using farlight::AboutDialog;
using farlight::ProgramVersion;

Q_DECLARE_METATYPE(ProgramVersion)

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void versionLabelShowsNameAndVersion();
    void currentVersionIsTwoFiveSix();
    void versionText_data();
    void versionText();
    void captionsComeFromTheStringTable();
    void separatorIsAHorizontalLine();
    void closes_data();
    void closes();
    void showModalReturnsWhenOkIsClicked();
    void iconIsTheApplicationIcon();
    void bundledIconWhenTheApplicationHasNone();
};

void TestAboutDialog::versionLabelShowsNameAndVersion()
{
    AboutDialog dialog;
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblVersion"));
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QStringLiteral("Farlight  2.5.6"));
}

void TestAboutDialog::currentVersionIsTwoFiveSix()
{
    const ProgramVersion version = AboutDialog::currentVersion();
    QCOMPARE(version.major, 2);
    QCOMPARE(version.minor, 5);
    QCOMPARE(version.revision, 6);
}

void TestAboutDialog::versionText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<ProgramVersion>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("this program") << QStringLiteral("Farlight") << ProgramVersion{2, 5, 6}
                                  << QStringLiteral("Farlight  2.5.6");
    QTest::newRow("zeros shown as single digits") << QStringLiteral("Farlight") << ProgramVersion{0, 0, 0}
                                                  << QStringLiteral("Farlight  0.0.0");
    QTest::newRow("several digits, no padding") << QStringLiteral("Farlight") << ProgramVersion{10, 0, 123}
                                                << QStringLiteral("Farlight  10.0.123");
    QTest::newRow("name with a space") << QStringLiteral("QM735XL Utility") << ProgramVersion{1, 2, 3}
                                       << QStringLiteral("QM735XL Utility  1.2.3");
    QTest::newRow("name holding a placeholder") << QStringLiteral("X %2 %3") << ProgramVersion{4, 5, 6}
                                                << QStringLiteral("X %2 %3  4.5.6");
    QTest::newRow("empty name") << QString() << ProgramVersion{2, 5, 6} << QStringLiteral("  2.5.6");
}

void TestAboutDialog::versionText()
{
    QFETCH(QString, name);
    QFETCH(ProgramVersion, version);
    QFETCH(QString, expected);
    QCOMPARE(AboutDialog::versionText(name, version), expected);
}

void TestAboutDialog::captionsComeFromTheStringTable()
{
    AboutDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Farlight"));
    auto *notice = dialog.findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(notice != nullptr);
    QVERIFY(!notice->text().isEmpty());
    QCOMPARE(notice->text(), farlight::text(51));
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QVERIFY(ok != nullptr);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
}

void TestAboutDialog::separatorIsAHorizontalLine()
{
    AboutDialog dialog;
    auto *line = dialog.findChild<QFrame *>(QStringLiteral("Line1"));
    QVERIFY(line != nullptr);
    QCOMPARE(line->frameShape(), QFrame::HLine);
}

void TestAboutDialog::closes_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("ok button") << 0;
    QTest::newRow("enter key") << 1;
    QTest::newRow("close box") << 2;
    QTest::newRow("escape key") << 3;
}

void TestAboutDialog::closes()
{
    QFETCH(int, how);
    AboutDialog dialog;
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    switch (how) {
    case 0:
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        break;
    case 1:
        QTest::keyClick(&dialog, Qt::Key_Return);
        break;
    case 2:
        QVERIFY(dialog.close());
        break;
    default:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 1);
    if (how <= 1)
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestAboutDialog::showModalReturnsWhenOkIsClicked()
{
    bool sawAbout = false;
    QTimer::singleShot(0, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        sawAbout = modal->objectName() == QStringLiteral("frmAbout");
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    AboutDialog::showModal();
    QVERIFY(sawAbout);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestAboutDialog::iconIsTheApplicationIcon()
{
    QPixmap red(32, 32);
    red.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(red));
    AboutDialog dialog;
    QApplication::setWindowIcon(QIcon());
    auto *icon = dialog.findChild<QLabel *>(QStringLiteral("picIcon"));
    QVERIFY(icon != nullptr);
    const QImage shown = icon->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.pixelColor(16, 16), QColor(Qt::red));
}

void TestAboutDialog::bundledIconWhenTheApplicationHasNone()
{
    QApplication::setWindowIcon(QIcon());
    const QIcon icon = farlight::ApplicationIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(32, 32).isNull());
    AboutDialog dialog;
    QVERIFY(!dialog.findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().isNull());
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
