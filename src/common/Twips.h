#pragma once

namespace quintaro {

// Window and control geometry is kept in twips, 1440 to the inch; on screen
// one pixel is 15 twips (96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;

// numerator / denominator rounded to the nearest whole number, halves to the
// even neighbour. The denominator must be positive.
long long roundHalfToEven(long long numerator, long long denominator);

// The nearest pixel; a twips value is never exactly half-way between two
// pixels, since 15 is odd. Clamped to what a window system can take.
int twipsToPixels(long long twips);
// Rounded up, so that a length of one twip still covers a pixel.
int twipsToPixelsRoundingUp(long long twips);

inline long long pixelsToTwips(long long pixels)
{
    return pixels * kTwipsPerPixel;
}

} // namespace quintaro
