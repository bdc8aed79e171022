#include "WindowGeometry.h"

#include "SettingsFile.h"
#include "Twips.h"

#include <algorithm>

namespace quintaro::geometry {

namespace {

int keepTwips(int pixels, int twips)
{
    return twipsToPixels(twips) == pixels ? twips : static_cast<int>(pixelsToTwips(pixels));
}

} // namespace

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

bool isOnSomeScreen(const Rect &window, const std::vector<Rect> &screens)
{
    // A corner this big is enough to see the window and drag it back.
    constexpr long long kGrip = 32;
    const long long needWidth = std::min<long long>(kGrip, std::max(window.width, 1));
    const long long needHeight = std::min<long long>(kGrip, std::max(window.height, 1));
    for (const Rect &screen : screens) {
        const long long left = std::max<long long>(window.left, screen.left);
        const long long top = std::max<long long>(window.top, screen.top);
        const long long right =
            std::min<long long>(window.left + static_cast<long long>(window.width),
                                screen.left + static_cast<long long>(screen.width));
        const long long bottom =
            std::min<long long>(window.top + static_cast<long long>(window.height),
                                screen.top + static_cast<long long>(screen.height));
        if (right - left >= needWidth && bottom - top >= needHeight)
            return true;
    }
    return false;
}

WindowGeometry::WindowGeometry(const Rect &designOuterPixels)
    : m_outer{static_cast<int>(pixelsToTwips(designOuterPixels.left)),
              static_cast<int>(pixelsToTwips(designOuterPixels.top)),
              static_cast<int>(pixelsToTwips(designOuterPixels.width)),
              static_cast<int>(pixelsToTwips(designOuterPixels.height))}
{
}

bool WindowGeometry::restore(const Settings &values)
{
    m_outer.left = values.left;
    m_outer.top = values.top;
    // A window cannot have a negative size; positions are taken as they are.
    bool accepted = true;
    for (auto [value, target] :
         {std::pair{values.width, &m_outer.width}, std::pair{values.height, &m_outer.height}}) {
        if (value < 0)
            accepted = false;
        else
            *target = value;
    }
    return accepted;
}

void WindowGeometry::store(Settings &values) const
{
    values.left = m_outer.left;
    values.top = m_outer.top;
    values.width = m_outer.width;
    values.height = m_outer.height;
}

void WindowGeometry::keepOnSomeScreen(const std::vector<Rect> &screens, const Rect &primaryArea)
{
    // Judged at the size the window will have: never below its minimum.
    const Rect outer{twipsToPixels(m_outer.left), twipsToPixels(m_outer.top),
                     twipsToPixels(std::max(m_outer.width, kMinOuterWidth)),
                     twipsToPixels(std::max(m_outer.height, kMinOuterHeight))};
    if (screens.empty() || isOnSomeScreen(outer, screens))
        return;
    // Stored for a screen that is not there now: the window starts in the
    // corner where a first start puts it, with the size it had.
    m_outer.left = static_cast<int>(pixelsToTwips(primaryArea.left));
    m_outer.top = static_cast<int>(pixelsToTwips(primaryArea.top));
}

void WindowGeometry::setFramed(const Margins &frame)
{
    m_frame = frame;
    m_framed = true;
}

Rect WindowGeometry::clientRequest() const
{
    return {twipsToPixels(m_outer.left), twipsToPixels(m_outer.top),
            std::max(1, twipsToPixels(m_outer.width) - m_frame.left - m_frame.right),
            std::max(1, twipsToPixels(m_outer.height) - m_frame.top - m_frame.bottom)};
}

int WindowGeometry::minimumClientWidth() const
{
    return twipsToPixels(kMinOuterWidth) - m_frame.left - m_frame.right;
}

int WindowGeometry::minimumClientHeight() const
{
    return twipsToPixels(kMinOuterHeight) - m_frame.top - m_frame.bottom;
}

void WindowGeometry::frameMoved(int left, int top)
{
    m_outer.left = keepTwips(left, m_outer.left);
    m_outer.top = keepTwips(top, m_outer.top);
}

void WindowGeometry::frameResized(int width, int height)
{
    m_outer.width = keepTwips(width, m_outer.width);
    m_outer.height = keepTwips(height, m_outer.height);
}

WindowGeometry::ResizeStep WindowGeometry::resizeStep()
{
    ResizeStep step;
    const int H = m_outer.height;
    if (H < kMinOuterHeight) {
        m_outer.height = kMinOuterHeight;
        step.clientHeight = minimumClientHeight();
    }
    if (const auto listHeight = stationListHeight(H))
        step.stationListHeight = twipsToPixels(*listHeight);
    if (m_outer.width < kMinOuterWidth)
        step.clientWidth = minimumClientWidth();
    return step;
}

bool WindowGeometry::widthRaisedTo(int clientWidth)
{
    if (clientWidth + m_frame.left + m_frame.right < twipsToPixels(kMinOuterWidth))
        return false;
    m_outer.width = kMinOuterWidth;
    return true;
}

} // namespace quintaro::geometry
