#include "WindowLayout.h"

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

} // namespace quintaro::layout
