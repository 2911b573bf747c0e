#include "widgets/colorvalue.h"

#include <QGuiApplication>
#include <QTest>

using namespace farlight;

class TestColorValue : public QObject
{
    Q_OBJECT

private slots:
    void colour_data();
    void colour();
};

void TestColorValue::colour_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QColor>("colour"); // a palette role's colour is (role * 10, 100, 200)

    QTest::newRow("red is the low byte") << 0x000000FFu << QColor(255, 0, 0);
    QTest::newRow("blue is the third byte") << 0x00FF0000u << QColor(0, 0, 255);
    QTest::newRow("window background") << 0x80000005u << QColor(QPalette::Base * 10, 100, 200);
    QTest::newRow("window text") << 0x80000008u << QColor(QPalette::Text * 10, 100, 200);
    QTest::newRow("button face") << 0x8000000Fu << QColor(QPalette::Button * 10, 100, 200);
    QTest::newRow("unknown system index is black") << 0x80000063u << QColor(Qt::black);
}

void TestColorValue::colour()
{
    QFETCH(quint32, value);
    QFETCH(QColor, colour);

    // Every role a distinct colour, so the right role must be picked.
    QPalette palette;
    for (int r = 0; r < QPalette::NColorRoles; ++r)
        palette.setColor(QPalette::Active, QPalette::ColorRole(r), QColor(r * 10, 100, 200));
    QCOMPARE(ColorFromValue(value, palette), colour);
}

QTEST_GUILESS_MAIN(TestColorValue)
#include "tst_colorvalue.moc"
