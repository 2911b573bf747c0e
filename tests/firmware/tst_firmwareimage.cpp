// The check that a chosen file is a firmware image of this product.
#include "firmware/firmwareimage.h"

#include <QTest>

using namespace farlight;

class TestFirmwareImage : public QObject
{
    Q_OBJECT

private slots:
    void fileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("lower case") << "C:/fw/ap.bin" << true;
        QTest::newRow("upper case, blanks around") << "  C:/fw/AP.BIN " << true;
        QTest::newRow("a tab is not a blank") << "ap.bin\t" << false;
        QTest::newRow("no dot") << "apbin" << false;
        QTest::newRow("other extension after it") << "ap.bin.txt" << false;
        QTest::newRow("empty") << "" << false;
    }

    void fileName()
    {
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        QCOMPARE(IsFirmwareFileName(path), accepted);
    }

    void signature_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("accepted");
        const QByteArray filler(4096, '\xA5');
        QTest::newRow("at the start") << QByteArray("Brightway QM735XL") + filler << true;
        QTest::newRow("lower case at an odd offset") << filler.left(4093) + "brightway qm735xl" + filler << true;
        QTest::newRow("mixed case at the very end") << filler + "bRIGHTWAY Qm735Xl" << true;
        QTest::newRow("after a false start") << filler + "Brightway Brightway QM735XL" << true;
        QTest::newRow("the whole image") << QByteArray("BRIGHTWAY QM735XL") << true;
        QTest::newRow("cut short at the end") << filler + "Brightway QM735X" << false;
        QTest::newRow("NUL for the blank, 0x20 apart like a letter's cases")
            << filler + "Brightway" + '\0' + "QM735XL" << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void signature()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, accepted);
        QCOMPARE(ContainsFirmwareSignature(image), accepted);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareImage)
#include "tst_firmwareimage.moc"
