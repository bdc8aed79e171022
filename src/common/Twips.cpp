#include "Twips.h"

#include <algorithm>
#include <climits>

namespace quintaro {

namespace {

int clampToInt(long long pixels)
{
    // Half the integer range leaves room for a position plus a size.
    return static_cast<int>(std::clamp(pixels, static_cast<long long>(INT_MIN / 2),
                                       static_cast<long long>(INT_MAX / 2)));
}

} // namespace

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

int twipsToPixels(long long twips)
{
    return clampToInt(roundHalfToEven(twips, kTwipsPerPixel));
}

int twipsToPixelsRoundingUp(long long twips)
{
    const long long down = twips >= 0 ? twips / kTwipsPerPixel : -((-twips) / kTwipsPerPixel);
    return clampToInt(down * kTwipsPerPixel < twips ? down + 1 : down);
}

} // namespace quintaro
