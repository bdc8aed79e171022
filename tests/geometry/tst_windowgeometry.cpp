// The layout rule's numbers, in twips.

#include "WindowLayout.h"

#include <QRect>
#include <QTest>

using namespace quintaro::layout;

class TestWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfToEven_data();
    void roundHalfToEven();
    void placement_data();
    void placement();
    void stationListHeight_data();
    void stationListHeight();
    void twipsToPixels_data();
    void twipsToPixels();
    void onSomeScreen_data();
    void onSomeScreen();
};

void TestWindowLayout::roundHalfToEven_data()
{
    QTest::addColumn<int>("numerator");
    QTest::addColumn<int>("denominator");
    QTest::addColumn<int>("rounded");
    QTest::newRow("exact") << 4900 << 50 << 98;
    QTest::newRow("half down to even") << 4225 << 50 << 84;
    QTest::newRow("half up to even") << 4275 << 50 << 86;
    QTest::newRow("below half") << 4224 << 50 << 84;
    QTest::newRow("above half") << 4226 << 50 << 85;
    QTest::newRow("negative half to even") << -25 << 50 << 0;
    QTest::newRow("negative half to even, odd") << -75 << 50 << -2;
    QTest::newRow("negative below half") << -20 << 15 << -1;
}

void TestWindowLayout::roundHalfToEven()
{
    QFETCH(int, numerator);
    QFETCH(int, denominator);
    QFETCH(int, rounded);
    QCOMPARE(quintaro::layout::roundHalfToEven(numerator, denominator), rounded);
}

void TestWindowLayout::placement_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("B");
    QTest::addColumn<int>("list2Width");
    QTest::addColumn<int>("txtPathWidth");
    QTest::addColumn<int>("listWidth");
    QTest::addColumn<int>("columnLeft");
    QTest::addColumn<int>("txtAddrLeft");

    QTest::newRow("default window 4900") << 4900 << 98 << 4750 << 3282 << 1353 << 1458 << 2898;
    QTest::newRow("6000 wide") << 6000 << 120 << 5850 << 4360 << 1375 << 1480 << 2920;
    QTest::newRow("minimum 4220") << 4220 << 84 << 4070 << 2616 << 1339 << 1444 << 2884;
    QTest::newRow("4225: half to even 84") << 4225 << 84 << 4075 << 2621 << 1339 << 1444 << 2884;
    QTest::newRow("4275: half to even 86") << 4275 << 86 << 4125 << 2669 << 1341 << 1446 << 2886;
}

void TestWindowLayout::placement()
{
    QFETCH(int, width);
    const ControlPlacement p = placeControls(width);
    QTEST(p.B, "B");
    QTEST(p.list2Width, "list2Width");
    QTEST(p.txtPathWidth, "txtPathWidth");
    QTEST(p.lstWxCallsWidth, "listWidth");
    QTEST(p.columnLeft, "columnLeft");
    QTEST(p.txtAddrLeft, "txtAddrLeft");
    // Right edges of the path box and the monitor window in client
    // coordinates follow the window's right edge.
    QCOMPARE(p.columnLeft + p.txtPathWidth, width - 160);
    QCOMPARE(20 + p.list2Width, width - 130);
}

void TestWindowLayout::stationListHeight_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("listHeight"); // -1: unchanged
    QTest::newRow("default 2950 keeps it") << 2950 << -1;
    QTest::newRow("2951 grows") << 2951 << 1691;
    QTest::newRow("4000") << 4000 << 2740;
    QTest::newRow("minimum") << 1260 << -1;
}

void TestWindowLayout::stationListHeight()
{
    QFETCH(int, height);
    QFETCH(int, listHeight);
    const auto h = quintaro::layout::stationListHeight(height);
    QCOMPARE(h.has_value() ? *h : -1, listHeight);
}

void TestWindowLayout::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("15 per pixel") << 4800 << 320;
    QTest::newRow("rounds down") << 20 << 1;
    QTest::newRow("rounds up") << 1870 << 125;
    QTest::newRow("exact") << 7695 << 513;
    QTest::newRow("negative") << -1500 << -100;
}

void TestWindowLayout::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(quintaro::layout::twipsToPixels(twips), pixels);
}

void TestWindowLayout::onSomeScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<bool>("seen");
    // Two screens side by side: 1920 x 1080, then 3840 x 2160 to its right.
    QTest::newRow("on the first") << QRect(100, 100, 640, 480) << true;
    QTest::newRow("maximized on the second") << QRect(1912, -8, 3856, 2176) << true;
    QTest::newRow("32 x 32 in the second's corner") << QRect(5728, 2128, 640, 480) << true;
    QTest::newRow("31 pixels high in the corner") << QRect(5728, 2129, 640, 480) << false;
    QTest::newRow("31 pixels wide in the corner") << QRect(5729, 2128, 640, 480) << false;
    QTest::newRow("below the first, beside the second") << QRect(100, 1200, 640, 480) << false;
    QTest::newRow("far right of both") << QRect(20000, 100, 640, 480) << false;
    QTest::newRow("left of both") << QRect(-700, 100, 640, 480) << false;
    QTest::newRow("geometry near the integer limits") << QRect(2147483000, 0, 640, 480) << false;
}

void TestWindowLayout::onSomeScreen()
{
    QFETCH(QRect, window);
    QFETCH(bool, seen);
    const std::vector<PixelRect> screens{{0, 0, 1920, 1080}, {1920, 0, 3840, 2160}};
    QCOMPARE(isOnSomeScreen({window.x(), window.y(), window.width(), window.height()}, screens),
             seen);
}

QTEST_APPLESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
