#include "HelpLayout.h"

#include "Twips.h"

#include <algorithm>

namespace quintaro::help {

ViewSize viewSizeForOuter(long long outerWidth, long long outerHeight)
{
    return {std::max(1LL, outerWidth - kFrameWidthTwips),
            std::max(1LL, outerHeight - kFrameHeightTwips)};
}

long long centredPosition(long long screenExtent, long long windowExtent)
{
    return roundHalfToEven(screenExtent - windowExtent, 2);
}

} // namespace quintaro::help
