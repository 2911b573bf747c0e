#include "widgets/colorvalue.h"

#include <QGuiApplication>
#include <QTest>

using namespace farlight;

class TestColorValue : public QObject
{
    Q_OBJECT

private slots:
    void plainColours_data();
    void plainColours();
    void systemColours_data();
    void systemColours();
};

void TestColorValue::plainColours_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("black") << 0x00000000u << QColor(0, 0, 0);
    QTest::newRow("red is the low byte") << 0x000000FFu << QColor(255, 0, 0);
    QTest::newRow("green") << 0x0000FF00u << QColor(0, 255, 0);
    QTest::newRow("blue is the third byte") << 0x00FF0000u << QColor(0, 0, 255);
    QTest::newRow("mixed") << 0x00123456u << QColor(0x56, 0x34, 0x12);
    QTest::newRow("white") << 0x00FFFFFFu << QColor(255, 255, 255);
}

void TestColorValue::plainColours()
{
    QFETCH(quint32, value);
    QFETCH(QColor, colour);
    QCOMPARE(ColorFromValue(value, QPalette()), colour);
}

void TestColorValue::systemColours_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<int>("role"); // -1: black
    QTest::newRow("window background") << 0x80000005u << int(QPalette::Base);
    QTest::newRow("window text") << 0x80000008u << int(QPalette::Text);
    QTest::newRow("button face") << 0x8000000Fu << int(QPalette::Button);
    QTest::newRow("button text") << 0x80000012u << int(QPalette::ButtonText);
    QTest::newRow("highlight") << 0x8000000Du << int(QPalette::Highlight);
    QTest::newRow("unknown index") << 0x80000063u << -1;
    QTest::newRow("index beyond one byte") << 0x80000105u << -1;
}

void TestColorValue::systemColours()
{
    QFETCH(quint32, value);
    QFETCH(int, role);

    // A palette whose every role is a distinct colour, so the right role must be picked.
    QPalette palette;
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
        palette.setColor(QPalette::Active, QPalette::ColorRole(r), QColor(r * 10, 100, 200));
        palette.setColor(QPalette::Disabled, QPalette::ColorRole(r), QColor(1, 2, 3));
    }
    const QColor expected = role < 0 ? QColor(Qt::black) : QColor(role * 10, 100, 200);
    QCOMPARE(ColorFromValue(value, palette), expected);
}

QTEST_GUILESS_MAIN(TestColorValue)
#include "tst_colorvalue.moc"
