#include "app/mainlayout.h"
#include "widgets/twips.h"

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
    QTest::addColumn<int>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("list margin at 96 dpi") << 150 << 96.0 << 10;
    QTest::newRow("one inch at 120 dpi") << 1440 << 120.0 << 120;
    QTest::newRow("form width at 192 dpi") << 9000 << 192.0 << 1200;
}

void TestMainLayout::twipConversion()
{
    QFETCH(int, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(TwipsToPixels(twips, dpi), pixels);
    QCOMPARE(PixelsToTwips(pixels, dpi), twips);
}

QTEST_GUILESS_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
