#include "IstruzioniLayout.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quintaro::help {

namespace {

// Far beyond any screen, and well inside the range of the integer types.
constexpr double kLargestTwips = 1e12;

} // namespace

long long roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    value = std::clamp(value, -kLargestTwips, kLargestTwips);
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<long long>(whole);
}

ViewSize viewSizeForOuter(double outerWidth, double outerHeight)
{
    ViewSize size;
    size.width = std::max(1LL, roundHalfEven(outerWidth - kFrameWidthTwips));
    size.height = std::max(1LL, roundHalfEven(outerHeight - kFrameHeightTwips));
    return size;
}

long long centredPosition(double screenExtent, double windowExtent)
{
    return roundHalfEven((screenExtent - windowExtent) / 2.0);
}

int twipsToPixelsCeil(long long twips)
{
    const long long pixels = (twips + kTwipsPerPixel - 1) / kTwipsPerPixel;
    return static_cast<int>(std::clamp(pixels, static_cast<long long>(INT_MIN / 2),
                                       static_cast<long long>(INT_MAX / 2)));
}

int twipsToPixelsNearest(long long twips)
{
    const long long pixels = std::llround(static_cast<double>(twips) / kTwipsPerPixel);
    return static_cast<int>(std::clamp(pixels, static_cast<long long>(INT_MIN / 2),
                                       static_cast<long long>(INT_MAX / 2)));
}

} // namespace quintaro::help
