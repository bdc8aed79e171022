#pragma once

// The arithmetic of the instructions window, in twips (1440 per inch), kept
// apart from the window so that it can be checked number by number.
namespace quintaro::help {

// The window frame and the caption bar, taken off the outer size.
inline constexpr int kFrameWidthTwips = 120;
inline constexpr int kFrameHeightTwips = 480;
// Design client area: 512 x 264 pixels.
inline constexpr int kDesignClientWidthTwips = 7680;
inline constexpr int kDesignClientHeightTwips = 3960;

struct ViewSize
{
    long long width = 1;
    long long height = 1;
    friend bool operator==(const ViewSize &, const ViewSize &) = default;
};

// Size of the rich-text view for the window's outer size: the outer size
// less the frame, never below 1 twip.
ViewSize viewSizeForOuter(long long outerWidth, long long outerHeight);

// Left (or top) that centres a window of `windowExtent` on a screen of
// `screenExtent`, rounded half to even.
long long centredPosition(long long screenExtent, long long windowExtent);

} // namespace quintaro::help
