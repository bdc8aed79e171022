#pragma once

#include <optional>
#include <vector>

namespace quintaro::layout {

// Window and control geometry is kept in twips; on screen one pixel is 15
// twips (96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;

int twipsToPixels(int twips);
inline int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

// numerator / denominator rounded to the nearest whole number, halves to the
// even neighbour. The denominator must be positive.
long long roundHalfToEven(long long numerator, long long denominator);

// The main window's outer size limits and the height from which the station
// list grows with the window.
inline constexpr int kMinOuterWidth = 4220;
inline constexpr int kMinOuterHeight = 1260;
inline constexpr int kStationListGrowsAbove = 2950;

// Where the resizable controls of the main window go for an outer width W
// (twips): the station list widens by B = W / 50 and the right-hand column
// moves right by the same amount, while the right edges of the path box and
// the monitor window follow the window's right edge.
struct ControlPlacement
{
    int B = 0;
    int list2Width = 0;
    int txtPathWidth = 0;
    int lstWxCallsWidth = 0;
    int columnLeft = 0; // lblAGW, lblAddr, lblPath, txtPath, both check boxes
    int txtAddrLeft = 0;
};

ControlPlacement placeControls(int outerWidth);

// The station list's height for an outer height H, or nothing when it keeps
// the height it has (at or below 2950 twips).
std::optional<int> stationListHeight(int outerHeight);

// A rectangle in pixels on the desktop.
struct PixelRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Whether enough of a window lies on one of the screens for the user to see
// it and take hold of it. A window stored on a screen that is no longer
// there (a monitor unplugged, a smaller desktop) is not.
bool isOnSomeScreen(const PixelRect &window, const std::vector<PixelRect> &screens);

} // namespace quintaro::layout
