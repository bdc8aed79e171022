#include "WindowLayout.h"

#include <algorithm>

namespace quintaro::layout {

long long roundHalfToEven(long long numerator, long long denominator)
{
    long long quotient = numerator / denominator;
    long long remainder = numerator % denominator;
    if (remainder < 0) {
        quotient -= 1;
        remainder += denominator;
    }
    const long long twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        quotient += 1;
    return quotient;
}

int twipsToPixels(int twips)
{
    return static_cast<int>(roundHalfToEven(twips, kTwipsPerPixel));
}

ControlPlacement placeControls(int outerWidth)
{
    ControlPlacement p;
    p.B = static_cast<int>(roundHalfToEven(outerWidth, 50));
    p.list2Width = outerWidth - 150;
    p.txtPathWidth = outerWidth - 1520 - p.B;
    p.lstWxCallsWidth = p.B + 1255;
    p.columnLeft = p.B + 1360;
    p.txtAddrLeft = p.B + 2800;
    return p;
}

std::optional<int> stationListHeight(int outerHeight)
{
    if (outerHeight > kStationListGrowsAbove)
        return outerHeight - kMinOuterHeight;
    return std::nullopt;
}

bool isOnSomeScreen(const PixelRect &window, const std::vector<PixelRect> &screens)
{
    // A corner this big is enough to see the window and drag it back.
    constexpr long long kGrip = 32;
    const long long needWidth = std::min<long long>(kGrip, std::max(window.width, 1));
    const long long needHeight = std::min<long long>(kGrip, std::max(window.height, 1));
    for (const PixelRect &screen : screens) {
        const long long left = std::max<long long>(window.left, screen.left);
        const long long top = std::max<long long>(window.top, screen.top);
        const long long right = std::min<long long>(window.left + (long long)window.width,
                                                    screen.left + (long long)screen.width);
        const long long bottom = std::min<long long>(window.top + (long long)window.height,
                                                     screen.top + (long long)screen.height);
        if (right - left >= needWidth && bottom - top >= needHeight)
            return true;
    }
    return false;
}

} // namespace quintaro::layout
