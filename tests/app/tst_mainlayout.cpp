#include "app/mainlayout.h"

#include <QTest>

using namespace farlight;

class TestMainLayout : public QObject
{
    Q_OBJECT

private slots:
    void columnWidths_data();
    void columnWidths();
    void twipConversion_data();
    void twipConversion();
};

void TestMainLayout::columnWidths_data()
{
    QTest::addColumn<double>("widthTwips");
    QTest::addColumn<int>("w");
    QTest::newRow("form 9000") << 9000.0 << 1480;
    QTest::newRow("list 8850 at load") << 8850.0 << 1455;
    // 9003 / 6 - 20 = 1480.5: halves go to the even neighbour.
    QTest::newRow("half to even, down") << 9003.0 << 1480;
    // 9009 / 6 - 20 = 1481.5
    QTest::newRow("half to even, up") << 9009.0 << 1482;
    QTest::newRow("fractional width rounds first") << 8999.6 << 1480;
    QTest::newRow("tiny window") << 60.0 << -10;
}

void TestMainLayout::columnWidths()
{
    QFETCH(double, widthTwips);
    QFETCH(int, w);
    const auto widths = MainLayout::ColumnWidthsTwips(widthTwips);
    const std::array<int, 6> expected{w, w, w, w - 100, w - 100, w + 200};
    QCOMPARE(widths, expected);
}

void TestMainLayout::twipConversion_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("pixels");
    QTest::newRow("96 dpi") << 150.0 << 96.0 << 10.0;
    QTest::newRow("120 dpi") << 1440.0 << 120.0 << 120.0;
    QTest::newRow("192 dpi") << 9000.0 << 192.0 << 1200.0;
}

void TestMainLayout::twipConversion()
{
    QFETCH(double, twips);
    QFETCH(double, dpi);
    QFETCH(double, pixels);
    QCOMPARE(MainLayout::TwipsToPixels(twips, dpi), pixels);
    QCOMPARE(MainLayout::PixelsToTwips(pixels, dpi), twips);
}

QTEST_GUILESS_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
