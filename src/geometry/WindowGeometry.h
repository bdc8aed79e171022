#pragma once

#include <optional>
#include <vector>

namespace quintaro {
struct Settings;
}

namespace quintaro::geometry {

// The main window's outer size limits, and the height from which the station
// list grows with the window (twips).
inline constexpr int kMinOuterWidth = 4220;
inline constexpr int kMinOuterHeight = 1260;
inline constexpr int kStationListGrowsAbove = 2950;

// A rectangle: in twips or in pixels, as its use says.
struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect &, const Rect &) = default;
};

// The window frame around the client area, in pixels.
struct Margins
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

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

// Whether enough of a window (pixels) lies on one of the screens for the user
// to see it and take hold of it. A window stored on a screen that is no
// longer there (a monitor unplugged, a smaller desktop) is not.
bool isOnSomeScreen(const Rect &window, const std::vector<Rect> &screens);

// The main window's outer geometry in twips: what start-up restores from the
// settings file, what the window system reports as the user moves and sizes
// the window, and what shutdown stores. The frame's size is known only once
// the window system has framed the window; until then the outer geometry is
// taken as the client area's.
class WindowGeometry
{
public:
    WindowGeometry() = default;
    // The geometry the window has before start-up sets it (pixels).
    explicit WindowGeometry(const Rect &designOuterPixels);

    // --- the settings file ---------------------------------------------------
    // Takes the stored left, top, width and height in that order. False when
    // the window rejects one of them (a negative size): that one keeps what
    // it was, the others apply.
    bool restore(const Settings &values);
    void store(Settings &values) const;
    // Brings a window stored off every screen into the corner of the primary
    // screen's area, with its size (screens in pixels).
    void keepOnSomeScreen(const std::vector<Rect> &screens, const Rect &primaryArea);

    // --- the window system ---------------------------------------------------
    void setFramed(const Margins &frame);
    bool isFramed() const { return m_framed; }
    // Where to move the frame and how large to make the client area for the
    // outer geometry (pixels).
    Rect clientRequest() const;
    // The client area's smallest size (pixels).
    int minimumClientWidth() const;
    int minimumClientHeight() const;
    // The frame as the window system reports it (pixels). A pixel length
    // that is still what a twips value became keeps that value, so that the
    // settings file does not drift by rounding from one run to the next.
    void frameMoved(int left, int top);
    void frameResized(int width, int height);

    // --- the layout rule -----------------------------------------------------
    struct ResizeStep
    {
        std::optional<int> clientHeight;      // raise the window to its minimum height
        std::optional<int> stationListHeight; // pixels
        std::optional<int> clientWidth;       // raise the window to its minimum width
    };
    // The first part of the rule, for the outer size as last reported.
    ResizeStep resizeStep();
    // After asking for clientWidth: false when the window system kept the
    // window narrower, and the controls are then not placed.
    bool widthRaisedTo(int clientWidth);
    ControlPlacement placement() const { return placeControls(m_outer.width); }

private:
    Rect m_outer;
    Margins m_frame;
    bool m_framed = false;
};

} // namespace quintaro::geometry
