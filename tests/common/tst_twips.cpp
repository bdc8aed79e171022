// Twips and pixels: the rounding that every window's layout goes through.

#include "Twips.h"

#include <QTest>

#include <climits>

using namespace quintaro;

class TestTwips : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfToEven_data();
    void roundHalfToEven();
    void twipsToPixels_data();
    void twipsToPixels();
    void twipsToPixelsRoundingUp_data();
    void twipsToPixelsRoundingUp();
};

void TestTwips::roundHalfToEven_data()
{
    QTest::addColumn<qlonglong>("numerator");
    QTest::addColumn<qlonglong>("denominator");
    QTest::addColumn<qlonglong>("rounded");
    QTest::newRow("exact") << 4900LL << 50LL << 98LL;
    QTest::newRow("half down to even") << 4225LL << 50LL << 84LL;
    QTest::newRow("half up to even") << 4275LL << 50LL << 86LL;
    QTest::newRow("below half") << 4224LL << 50LL << 84LL;
    QTest::newRow("above half") << 4226LL << 50LL << 85LL;
    QTest::newRow("negative half to even") << -25LL << 50LL << 0LL;
    QTest::newRow("negative half to even, odd") << -75LL << 50LL << -2LL;
    QTest::newRow("negative below half") << -20LL << 15LL << -1LL;
    // Halves of two, as centring a window divides.
    QTest::newRow("5 / 2 down to 2") << 5LL << 2LL << 2LL;
    QTest::newRow("7 / 2 up to 4") << 7LL << 2LL << 4LL;
    QTest::newRow("-5 / 2 up to -2") << -5LL << 2LL << -2LL;
    QTest::newRow("-7 / 2 down to -4") << -7LL << 2LL << -4LL;
}

void TestTwips::roundHalfToEven()
{
    QFETCH(qlonglong, numerator);
    QFETCH(qlonglong, denominator);
    QFETCH(qlonglong, rounded);
    QCOMPARE(quintaro::roundHalfToEven(numerator, denominator), rounded);
}

void TestTwips::twipsToPixels_data()
{
    QTest::addColumn<qlonglong>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("15 per pixel") << 4800LL << 320;
    QTest::newRow("rounds down") << 20LL << 1;
    QTest::newRow("rounds up") << 1870LL << 125;
    QTest::newRow("exact") << 7695LL << 513;
    QTest::newRow("negative") << -1500LL << -100;
    // Room is left for a position plus a size.
    QTest::newRow("far beyond any screen") << (1LL << 45) << INT_MAX / 2;
    QTest::newRow("far before any screen") << -(1LL << 45) << INT_MIN / 2;
}

void TestTwips::twipsToPixels()
{
    QFETCH(qlonglong, twips);
    QFETCH(int, pixels);
    QCOMPARE(quintaro::twipsToPixels(twips), pixels);
}

void TestTwips::twipsToPixelsRoundingUp_data()
{
    QTest::addColumn<qlonglong>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("one twip covers a pixel") << 1LL << 1;
    QTest::newRow("exact") << 15LL << 1;
    QTest::newRow("one over") << 16LL << 2;
    QTest::newRow("zero") << 0LL << 0;
    QTest::newRow("negative, up towards zero") << -20LL << -1;
    QTest::newRow("far beyond any screen") << (1LL << 45) << INT_MAX / 2;
}

void TestTwips::twipsToPixelsRoundingUp()
{
    QFETCH(qlonglong, twips);
    QFETCH(int, pixels);
    QCOMPARE(quintaro::twipsToPixelsRoundingUp(twips), pixels);
}

QTEST_APPLESS_MAIN(TestTwips)
#include "tst_twips.moc"
