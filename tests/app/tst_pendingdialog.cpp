#include "app/pendingdialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace farlight;

class TestPendingDialog : public QObject
{
    Q_OBJECT

private slots:
    void countsFifteenSteps();
    void cancelEndsAfterCurrentStep_data();
    void cancelEndsAfterCurrentStep();
    void closeBoxCountsAsCancel();
    void captions();
};

void TestPendingDialog::countsFifteenSteps()
{
    QList<int> values;
    QList<float> waits;
    PendingDialog *dialog = nullptr;
    PendingDialog d(nullptr, [&](float s) {
        waits.append(s);
        values.append(dialog->findChild<QProgressBar *>("ProgressBar1")->value());
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
    });
    dialog = &d;
    QCOMPARE(d.run(), 15);
    QCOMPARE(values, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    QCOMPARE(waits, QList<float>(15, 0.3f));
    QVERIFY(!d.isVisible());
}

void TestPendingDialog::cancelEndsAfterCurrentStep_data()
{
    QTest::addColumn<int>("cancelDuringStep");
    QTest::newRow("first step") << 0;
    QTest::newRow("middle step") << 7;
    QTest::newRow("last step") << 14;
}

void TestPendingDialog::cancelEndsAfterCurrentStep()
{
    QFETCH(int, cancelDuringStep);
    int step = 0;
    PendingDialog *dialog = nullptr;
    PendingDialog d(nullptr, [&](float) {
        if (step++ == cancelDuringStep)
            QTest::mouseClick(dialog->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    });
    dialog = &d;
    QCOMPARE(d.run(), cancelDuringStep + 1);
    QCOMPARE(d.findChild<QProgressBar *>("ProgressBar1")->value(), cancelDuringStep);
    QVERIFY(d.cancelRequested());
    QVERIFY(!d.isVisible());
}

void TestPendingDialog::closeBoxCountsAsCancel()
{
    int step = 0;
    PendingDialog *dialog = nullptr;
    PendingDialog d(nullptr, [&](float) {
        if (step++ == 2)
            dialog->close();
    });
    dialog = &d;
    QCOMPARE(d.run(), 3);
}

void TestPendingDialog::captions()
{
    PendingDialog d(nullptr, [](float) {});
    QCOMPARE(d.objectName(), QStringLiteral("pending"));
    QCOMPARE(d.windowTitle(), QStringLiteral("Searching..."));
    QCOMPARE(d.findChild<QLabel *>("Label1")->text(), QStringLiteral("Searching for Wireless Device on the network."));
    QCOMPARE(d.findChild<QPushButton *>("Command1")->text(), QStringLiteral("Cancel"));
    QCOMPARE(d.findChild<QProgressBar *>("ProgressBar1")->maximum(), 14);
}

QTEST_MAIN(TestPendingDialog)
#include "tst_pendingdialog.moc"
