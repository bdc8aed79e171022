#pragma once

// The arithmetic of the instructions window, in twips (1440 per inch), kept
// apart from the window so that it can be checked number by number.
namespace quintaro::help {

inline constexpr int kTwipsPerPixel = 15; // at 96 dots per inch
// The window frame and the caption bar, taken off the outer size.
inline constexpr int kFrameWidthTwips = 120;
inline constexpr int kFrameHeightTwips = 480;
// Design client area: 512 x 264 pixels.
inline constexpr int kDesignClientWidthTwips = 7680;
inline constexpr int kDesignClientHeightTwips = 3960;

// Rounds to a whole number; a half goes to the even neighbour. Values that
// are not finite give 0.
long long roundHalfEven(double value);

struct ViewSize
{
    long long width = 1;
    long long height = 1;
    friend bool operator==(const ViewSize &, const ViewSize &) = default;
};

// Size of the rich-text view for the window's outer size: the outer size
// less the frame, rounded, and never below 1 twip.
ViewSize viewSizeForOuter(double outerWidth, double outerHeight);

// Left (or top) that centres a window of `windowExtent` on a screen of
// `screenExtent`, rounded half to even.
long long centredPosition(double screenExtent, double windowExtent);

// Pixels for a length in twips, rounded up so that a view of 1 twip still
// has a pixel.
int twipsToPixelsCeil(long long twips);
// Pixels for a position in twips, rounded to the nearest pixel.
int twipsToPixelsNearest(long long twips);

} // namespace quintaro::help
