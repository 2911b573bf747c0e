#include "widgets/velmoipaddresslayout.h"

#include <QTest>

using namespace farlight;

class TestVelmoIPAddressLayout : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
};

void TestVelmoIPAddressLayout::layout_data()
{
    QTest::addColumn<QSize>("twips");
    QTest::addColumn<qreal>("dpiX");
    QTest::addColumn<qreal>("dpiY");
    QTest::addColumn<int>("textWidthXXX");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<QSize>("pixels");     // the control after widening
    QTest::addColumn<QSize>("twipsAfter"); // the same in twips
    QTest::addColumn<float>("fieldWidth");
    QTest::addColumn<QRectF>("field3");
    QTest::addColumn<QRectF>("dot2");

    // The Set IP dialog's 2010 x 285 twips: 134 x 19 pixels at 96 DPI, heightened to 16 + 6.
    QTest::newRow("dialog size at 96 dpi") << QSize(2010, 285) << 96.0 << 96.0 << 20 << 16 << QSize(134, 22)
                                           << QSize(2010, 330) << 23.5f << QRectF(105.5, 3, 23.5, 16)
                                           << QRectF(97.5, 17, 2, 2);
    // 167.5 x 23.75 pixels round to 168 x 24, then heightened to 26 (12 twips a pixel).
    QTest::newRow("dialog size at 120 dpi") << QSize(2010, 285) << 120.0 << 120.0 << 25 << 20 << QSize(168, 26)
                                            << QSize(2010, 312) << 32.0f << QRectF(131, 3, 32, 20)
                                            << QRectF(123, 21, 2, 2);
    QTest::newRow("too narrow is widened") << QSize(1000, 285) << 96.0 << 96.0 << 20 << 16 << QSize(130, 22)
                                           << QSize(1950, 330) << 22.5f << QRectF(102.5, 3, 22.5, 16)
                                           << QRectF(94.5, 17, 2, 2);
    // Wide and high enough: the fields are centred vertically, on half pixels if need be.
    QTest::newRow("odd height centres on half pixels") << QSize(3000, 345) << 96.0 << 96.0 << 20 << 16
                                                       << QSize(200, 23) << QSize(3000, 345) << 40.0f
                                                       << QRectF(155, 3.5, 40, 16) << QRectF(147, 17.5, 2, 2);
    QTest::newRow("different dpi per axis") << QSize(2010, 285) << 144.0 << 72.0 << 30 << 10 << QSize(201, 16)
                                            << QSize(2010, 320) << 40.25f << QRectF(155.75, 3, 40.25, 10)
                                            << QRectF(147.75, 11, 2, 2);
}

void TestVelmoIPAddressLayout::layout()
{
    QFETCH(QSize, twips);
    QFETCH(qreal, dpiX);
    QFETCH(qreal, dpiY);
    QFETCH(int, textWidthXXX);
    QFETCH(int, textHeight);
    QFETCH(QSize, pixels);
    QFETCH(QSize, twipsAfter);
    QFETCH(float, fieldWidth);
    QFETCH(QRectF, field3);
    QFETCH(QRectF, dot2);

    const VelmoIPAddressLayout layout = VelmoIPAddressLayout::computeTwips(twips, dpiX, dpiY, textWidthXXX, textHeight);
    QCOMPARE(layout.size, pixels);
    QCOMPARE(layout.sizeTwips, twipsAfter);
    QCOMPARE(layout.minimumSize, QSize(4 * (textWidthXXX + 10) + 10, textHeight + 6));
    QCOMPARE(layout.FieldWidth, fieldWidth);
    QCOMPARE(layout.fields[0], QRectF(5, field3.top(), fieldWidth, textHeight));
    QCOMPARE(layout.fields[3], field3);
    QCOMPARE(layout.dots[0], QRectF(5 + fieldWidth + 2, dot2.top(), 2, 2));
    QCOMPARE(layout.dots[2], dot2);
}

QTEST_GUILESS_MAIN(TestVelmoIPAddressLayout)
#include "tst_velmoipaddresslayout.moc"
