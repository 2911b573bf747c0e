#include "widgets/twips.h"
#include "widgets/velmoipaddresslayout.h"

#include <QTest>

using namespace farlight;

class TestVelmoIPAddressLayout : public QObject
{
    Q_OBJECT

private slots:
    void twipsToPixels_data();
    void twipsToPixels();
    void twipsRectangle();
    void layout_data();
    void layout();
    void fieldsAreEvenlySpaced();
};

void TestVelmoIPAddressLayout::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("backToTwips");

    QTest::newRow("2010 at 96") << 2010 << 96.0 << 134 << 2010;
    QTest::newRow("285 at 96") << 285 << 96.0 << 19 << 285;
    QTest::newRow("2010 at 120 rounds up") << 2010 << 120.0 << 168 << 2016;
    QTest::newRow("285 at 120") << 285 << 120.0 << 24 << 288;
    QTest::newRow("2010 at 144") << 2010 << 144.0 << 201 << 2010;
    QTest::newRow("285 at 144 rounds half up") << 285 << 144.0 << 29 << 290;
    QTest::newRow("one inch at 96") << 1440 << 96.0 << 96 << 1440;
    QTest::newRow("one inch at 192") << 1440 << 192.0 << 192 << 1440;
    QTest::newRow("zero") << 0 << 96.0 << 0 << 0;
    QTest::newRow("7 twips round down") << 7 << 96.0 << 0 << 0;
    QTest::newRow("8 twips round up") << 8 << 96.0 << 1 << 15;
}

void TestVelmoIPAddressLayout::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(qreal, dpi);
    QFETCH(int, pixels);
    QFETCH(int, backToTwips);
    QCOMPARE(TwipsToPixels(twips, dpi), pixels);
    QCOMPARE(PixelsToTwips(pixels, dpi), backToTwips);
}

void TestVelmoIPAddressLayout::twipsRectangle()
{
    QCOMPARE(TwipsToPixels(QRect(2040, 720, 2010, 285), 96, 96), QRect(136, 48, 134, 19));
    QCOMPARE(TwipsToPixels(QRect(2040, 720, 2010, 285), 144, 120), QRect(204, 60, 201, 24));
    QCOMPARE(PixelsToTwips(10, 0), 0);
}

void TestVelmoIPAddressLayout::layout_data()
{
    QTest::addColumn<QSize>("twips");
    QTest::addColumn<qreal>("dpiX");
    QTest::addColumn<qreal>("dpiY");
    QTest::addColumn<int>("textWidthXXX");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<QSize>("pixels");      // the control after widening
    QTest::addColumn<QSize>("twipsAfter");  // the same in twips
    QTest::addColumn<float>("fieldWidth");
    QTest::addColumn<QRectF>("field0");
    QTest::addColumn<QRectF>("field3");
    QTest::addColumn<QRectF>("dot0");
    QTest::addColumn<QRectF>("dot2");

    // Set IP dialog's size 2010 x 285 at 96 DPI: 134 x 19 pixels, heightened to 16 + 6.
    QTest::newRow("dialog size at 96 dpi")
        << QSize(2010, 285) << 96.0 << 96.0 << 20 << 16 << QSize(134, 22) << QSize(2010, 330) << 23.5f
        << QRectF(5, 3, 23.5, 16) << QRectF(105.5, 3, 23.5, 16) << QRectF(30.5, 17, 2, 2)
        << QRectF(97.5, 17, 2, 2);
    // 167.5 x 23.75 pixels round to 168 x 24, then heightened to 26 (12 twips a pixel).
    QTest::newRow("dialog size at 120 dpi")
        << QSize(2010, 285) << 120.0 << 120.0 << 25 << 20 << QSize(168, 26) << QSize(2010, 312) << 32.0f
        << QRectF(5, 3, 32, 20) << QRectF(131, 3, 32, 20) << QRectF(39, 21, 2, 2) << QRectF(123, 21, 2, 2);
    QTest::newRow("dialog size at 144 dpi")
        << QSize(2010, 285) << 144.0 << 144.0 << 30 << 24 << QSize(201, 30) << QSize(2010, 300) << 40.25f
        << QRectF(5, 3, 40.25, 24) << QRectF(155.75, 3, 40.25, 24) << QRectF(47.25, 25, 2, 2)
        << QRectF(147.75, 25, 2, 2);
    QTest::newRow("too narrow is widened") << QSize(1000, 285) << 96.0 << 96.0 << 20 << 16 << QSize(130, 22)
                                           << QSize(1950, 330) << 22.5f << QRectF(5, 3, 22.5, 16)
                                           << QRectF(102.5, 3, 22.5, 16) << QRectF(29.5, 17, 2, 2)
                                           << QRectF(94.5, 17, 2, 2);
    QTest::newRow("exactly the minimum") << QSize(1950, 330) << 96.0 << 96.0 << 20 << 16 << QSize(130, 22)
                                         << QSize(1950, 330) << 22.5f << QRectF(5, 3, 22.5, 16)
                                         << QRectF(102.5, 3, 22.5, 16) << QRectF(29.5, 17, 2, 2)
                                         << QRectF(94.5, 17, 2, 2);
    // 266.67 x 40 pixels: wide and high enough, the fields are centred vertically.
    QTest::newRow("large control") << QSize(4000, 600) << 96.0 << 96.0 << 20 << 16 << QSize(267, 40)
                                   << QSize(4000, 600) << 56.75f << QRectF(5, 12, 56.75, 16)
                                   << QRectF(205.25, 12, 56.75, 16) << QRectF(63.75, 26, 2, 2)
                                   << QRectF(197.25, 26, 2, 2);
    QTest::newRow("odd height centres on half pixels")
        << QSize(3000, 345) << 96.0 << 96.0 << 20 << 16 << QSize(200, 23) << QSize(3000, 345) << 40.0f
        << QRectF(5, 3.5, 40, 16) << QRectF(155, 3.5, 40, 16) << QRectF(47, 17.5, 2, 2)
        << QRectF(147, 17.5, 2, 2);
    QTest::newRow("different dpi per axis")
        << QSize(2010, 285) << 144.0 << 72.0 << 30 << 10 << QSize(201, 16) << QSize(2010, 320) << 40.25f
        << QRectF(5, 3, 40.25, 10) << QRectF(155.75, 3, 40.25, 10) << QRectF(47.25, 11, 2, 2)
        << QRectF(147.75, 11, 2, 2);
    QTest::newRow("nothing placed yet") << QSize(0, 0) << 96.0 << 96.0 << 0 << 0 << QSize(50, 6)
                                        << QSize(750, 90) << 2.5f << QRectF(5, 3, 2.5, 0)
                                        << QRectF(42.5, 3, 2.5, 0) << QRectF(9.5, 1, 2, 2)
                                        << QRectF(34.5, 1, 2, 2);
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
    QFETCH(QRectF, field0);
    QFETCH(QRectF, field3);
    QFETCH(QRectF, dot0);
    QFETCH(QRectF, dot2);

    const VelmoIPAddressLayout layout =
        VelmoIPAddressLayout::computeTwips(twips, dpiX, dpiY, textWidthXXX, textHeight);
    QCOMPARE(layout.size, pixels);
    QCOMPARE(layout.sizeTwips, twipsAfter);
    QCOMPARE(layout.minimumSize, QSize(4 * (textWidthXXX + 10) + 10, textHeight + 6));
    QCOMPARE(layout.FieldWidth, fieldWidth);
    QCOMPARE(layout.fields[0], field0);
    QCOMPARE(layout.fields[3], field3);
    QCOMPARE(layout.dots[0], dot0);
    QCOMPARE(layout.dots[2], dot2);
}

void TestVelmoIPAddressLayout::fieldsAreEvenlySpaced()
{
    const VelmoIPAddressLayout layout = VelmoIPAddressLayout::compute(QSize(200, 30), 20, 16);
    QCOMPARE(layout.FieldWidth, 40.0f);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(layout.fields[i].left(), 5.0 + 50.0 * i);
        QCOMPARE(layout.fields[i].top(), 7.0);
        QCOMPARE(layout.fields[i].width(), 40.0);
        QCOMPARE(layout.fields[i].height(), 16.0);
    }
    for (int i = 0; i < 3; ++i) {
        // Each dot lies in the gap after its field, on the field's last text line.
        QCOMPARE(layout.dots[i].left(), layout.fields[i].right() + 2);
        QVERIFY(layout.dots[i].right() < layout.fields[i + 1].left());
        QCOMPARE(layout.dots[i].top(), layout.fields[i].bottom() - 2);
    }
}

QTEST_GUILESS_MAIN(TestVelmoIPAddressLayout)
#include "tst_velmoipaddresslayout.moc"
