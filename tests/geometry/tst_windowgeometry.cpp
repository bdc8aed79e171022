// The main window's geometry: the layout rule's numbers in twips, the check
// that a window is on some screen, and the outer geometry as the settings
// file and the window system hand it over.

#include "SettingsFile.h"
#include "WindowGeometry.h"

#include <QRect>
#include <QTest>

using namespace quintaro::geometry;
using quintaro::Settings;

namespace {

QRect qrect(const Rect &r)
{
    return QRect(r.left, r.top, r.width, r.height);
}

// The window as the main window makes it before start-up: 319 x 146 pixels,
// 4785 x 2190 twips.
WindowGeometry designGeometry()
{
    return WindowGeometry(Rect{0, 0, 319, 146});
}

Settings stored(const QRect &twips)
{
    Settings values;
    values.left = twips.left();
    values.top = twips.top();
    values.width = twips.width();
    values.height = twips.height();
    return values;
}

WindowGeometry restored(const QRect &twips)
{
    WindowGeometry geometry = designGeometry();
    geometry.restore(stored(twips));
    return geometry;
}

// The outer geometry in twips, as the settings file would keep it.
QRect outerTwips(const WindowGeometry &geometry)
{
    Settings values;
    geometry.store(values);
    return QRect(values.left, values.top, values.width, values.height);
}

} // namespace

class TestWindowGeometry : public QObject
{
    Q_OBJECT

private slots:
    void placement_data();
    void placement();
    void stationListHeight_data();
    void stationListHeight();
    void onSomeScreen_data();
    void onSomeScreen();

    void restoreAndStore_data();
    void restoreAndStore();
    void keepOnSomeScreen_data();
    void keepOnSomeScreen();
    void clientRequestLeavesTheFrameOut();
    void reportedFrameKeepsTwips();
    void resizeStep_data();
    void resizeStep();
    void widthRaisedTo_data();
    void widthRaisedTo();
};

void TestWindowGeometry::placement_data()
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

void TestWindowGeometry::placement()
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

void TestWindowGeometry::stationListHeight_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("listHeight"); // -1: unchanged
    QTest::newRow("default 2950 keeps it") << 2950 << -1;
    QTest::newRow("2951 grows") << 2951 << 1691;
    QTest::newRow("4000") << 4000 << 2740;
    QTest::newRow("minimum") << 1260 << -1;
}

void TestWindowGeometry::stationListHeight()
{
    QFETCH(int, height);
    QFETCH(int, listHeight);
    const auto h = quintaro::geometry::stationListHeight(height);
    QCOMPARE(h.has_value() ? *h : -1, listHeight);
}

void TestWindowGeometry::onSomeScreen_data()
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

void TestWindowGeometry::onSomeScreen()
{
    QFETCH(QRect, window);
    QFETCH(bool, seen);
    const std::vector<Rect> screens{{0, 0, 1920, 1080}, {1920, 0, 3840, 2160}};
    QCOMPARE(isOnSomeScreen({window.x(), window.y(), window.width(), window.height()}, screens),
             seen);
}

void TestWindowGeometry::restoreAndStore_data()
{
    QTest::addColumn<QRect>("fromFile"); // twips
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QRect>("kept");

    QTest::newRow("all taken") << QRect(150, 300, 6000, 4000) << true
                               << QRect(150, 300, 6000, 4000);
    QTest::newRow("negative positions are taken")
        << QRect(-120, -90, 57840, 32640) << true << QRect(-120, -90, 57840, 32640);
    // The window keeps its design size for a value it rejects.
    QTest::newRow("negative width rejected, the rest taken")
        << QRect(45, 60, -5000, 3000) << false << QRect(45, 60, 4785, 3000);
    QTest::newRow("negative height rejected, the rest taken")
        << QRect(45, 60, 5000, -1) << false << QRect(45, 60, 5000, 2190);
    QTest::newRow("zero size taken") << QRect(0, 0, 0, 0) << true << QRect(0, 0, 0, 0);
}

void TestWindowGeometry::restoreAndStore()
{
    QFETCH(QRect, fromFile);
    QFETCH(bool, accepted);
    QFETCH(QRect, kept);

    WindowGeometry geometry = designGeometry();
    Settings values = stored(fromFile);
    values.host = "h";
    QCOMPARE(geometry.restore(values), accepted);
    QCOMPARE(outerTwips(geometry), kept);

    // Storing touches the geometry only.
    Settings back;
    back.host = "kept";
    back.autoConnect = true;
    geometry.store(back);
    QCOMPARE(QRect(back.left, back.top, back.width, back.height), kept);
    QCOMPARE(back.host, std::string("kept"));
    QVERIFY(back.autoConnect);
}

void TestWindowGeometry::keepOnSomeScreen_data()
{
    QTest::addColumn<QRect>("fromFile"); // twips
    QTest::addColumn<QRect>("kept");
    // One 800 x 600 screen whose usable area starts below a 20-pixel panel.
    QTest::newRow("on the screen: left alone")
        << QRect(150, 300, 6000, 4000) << QRect(150, 300, 6000, 4000);
    QTest::newRow("off every screen: to the usable area's corner, same size")
        << QRect(300000, -90000, 6000, 4000) << QRect(0, 300, 6000, 4000);
    // 40 pixels of it show at its minimum width, none at its stored width.
    QTest::newRow("too small a size is judged at the minimum")
        << QRect(11400, 300, 0, 0) << QRect(11400, 300, 0, 0);
}

void TestWindowGeometry::keepOnSomeScreen()
{
    QFETCH(QRect, fromFile);
    QFETCH(QRect, kept);
    WindowGeometry geometry = restored(fromFile);
    geometry.keepOnSomeScreen({{0, 0, 800, 600}}, {0, 20, 800, 580});
    QCOMPARE(outerTwips(geometry), kept);

    // With no screen known there is nothing to judge by.
    WindowGeometry unknown = restored(fromFile);
    unknown.keepOnSomeScreen({}, {0, 20, 800, 580});
    QCOMPARE(outerTwips(unknown), fromFile);
}

void TestWindowGeometry::clientRequestLeavesTheFrameOut()
{
    WindowGeometry geometry = restored(QRect(150, 300, 6000, 4000));
    // Before the window is framed its outer size is taken as the client's.
    QVERIFY(!geometry.isFramed());
    QCOMPARE(qrect(geometry.clientRequest()), QRect(10, 20, 400, 267));
    QCOMPARE(geometry.minimumClientWidth(), 281);
    QCOMPARE(geometry.minimumClientHeight(), 84);

    geometry.setFramed({4, 30, 4, 4});
    QVERIFY(geometry.isFramed());
    QCOMPARE(qrect(geometry.clientRequest()), QRect(10, 20, 392, 233));
    QCOMPARE(geometry.minimumClientWidth(), 273);
    QCOMPARE(geometry.minimumClientHeight(), 50);

    // A frame larger than the window still leaves a client area.
    WindowGeometry tiny = restored(QRect(0, 0, 30, 30));
    tiny.setFramed({4, 30, 4, 4});
    QCOMPARE(qrect(tiny.clientRequest()), QRect(0, 0, 1, 1));
}

void TestWindowGeometry::reportedFrameKeepsTwips()
{
    // 7, 8, 4901 and 2951 twips are 0, 1, 327 and 197 pixels.
    WindowGeometry geometry = restored(QRect(7, 8, 4901, 2951));
    geometry.frameMoved(0, 1);
    geometry.frameResized(327, 197);
    QCOMPARE(outerTwips(geometry), QRect(7, 8, 4901, 2951));

    // Pixels that moved count in whole pixels from then on.
    geometry.frameMoved(1, 1);
    QCOMPARE(outerTwips(geometry), QRect(15, 8, 4901, 2951));
    geometry.frameResized(327, 200);
    QCOMPARE(outerTwips(geometry), QRect(15, 8, 4901, 3000));
    geometry.frameMoved(1, -3);
    geometry.frameResized(400, 200);
    QCOMPARE(outerTwips(geometry), QRect(15, -45, 6000, 3000));
}

void TestWindowGeometry::resizeStep_data()
{
    QTest::addColumn<QSize>("outer");           // twips
    QTest::addColumn<int>("clientHeight");      // -1: left as it is
    QTest::addColumn<int>("stationListHeight"); // -1: left as it is
    QTest::addColumn<int>("clientWidth");       // -1: left as it is
    QTest::addColumn<QSize>("after");

    QTest::newRow("default size") << QSize(4900, 2950) << -1 << -1 << -1 << QSize(4900, 2950);
    QTest::newRow("taller: the list grows")
        << QSize(6000, 4000) << -1 << 183 << -1 << QSize(6000, 4000);
    QTest::newRow("at the minimum") << QSize(4220, 1260) << -1 << -1 << -1 << QSize(4220, 1260);
    // The height is raised at once; the width only once the window is wider.
    QTest::newRow("below both minimums")
        << QSize(4000, 1000) << 84 << -1 << 281 << QSize(4000, 1260);
    QTest::newRow("one twip below the minimum height")
        << QSize(4220, 1259) << 84 << -1 << -1 << QSize(4220, 1260);
    QTest::newRow("one twip below the minimum width")
        << QSize(4219, 3000) << -1 << 116 << 281 << QSize(4219, 3000);
}

void TestWindowGeometry::resizeStep()
{
    QFETCH(QSize, outer);
    QFETCH(int, clientHeight);
    QFETCH(int, stationListHeight);
    QFETCH(int, clientWidth);
    QFETCH(QSize, after);

    WindowGeometry geometry = restored(QRect(QPoint(0, 0), outer));
    const WindowGeometry::ResizeStep step = geometry.resizeStep();
    QCOMPARE(step.clientHeight.value_or(-1), clientHeight);
    QCOMPARE(step.stationListHeight.value_or(-1), stationListHeight);
    QCOMPARE(step.clientWidth.value_or(-1), clientWidth);
    QCOMPARE(outerTwips(geometry).size(), after);
}

void TestWindowGeometry::widthRaisedTo_data()
{
    QTest::addColumn<bool>("framed");
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<bool>("raised");
    // The minimum outer width, 4220 twips, is 281 pixels.
    QTest::newRow("unframed, at the minimum") << false << 281 << true;
    QTest::newRow("unframed, one pixel short") << false << 280 << false;
    QTest::newRow("framed, at the minimum") << true << 273 << true;
    QTest::newRow("framed, one pixel short") << true << 272 << false;
}

void TestWindowGeometry::widthRaisedTo()
{
    QFETCH(bool, framed);
    QFETCH(int, clientWidth);
    QFETCH(bool, raised);

    WindowGeometry geometry = restored(QRect(0, 0, 4000, 2950));
    if (framed)
        geometry.setFramed({4, 30, 4, 4});
    QVERIFY(geometry.resizeStep().clientWidth.has_value());
    QCOMPARE(geometry.widthRaisedTo(clientWidth), raised);
    // Raised, the window counts at the minimum width and the controls are
    // placed for it; kept narrower, it keeps the width it was given.
    QCOMPARE(outerTwips(geometry).width(), raised ? kMinOuterWidth : 4000);
    if (raised)
        QCOMPARE(geometry.placement().txtAddrLeft, placeControls(kMinOuterWidth).txtAddrLeft);
}

QTEST_APPLESS_MAIN(TestWindowGeometry)
#include "tst_windowgeometry.moc"
