// Placement arithmetic of windows and controls, free of any window system.
#pragma once

namespace tk {

// Left or top of a window of `size` centred on a screen of `screen`; the quotient is truncated toward zero
// and may be negative when the window is larger than the screen.
constexpr int CenteredOrigin(int screen, int size) {
    return (screen - size) / 2;
}

// The window position property holds 0 (normal), 1 (centred), 2 (minimised) or 3 (maximised).
constexpr int ClampPosition(int value) {
    return value < 0 ? 0 : (value > 3 ? 3 : value);
}

// A web browser box is never given a width or height outside 0..32627.
constexpr int kMaxBoxDimension = 32627;
constexpr int ClampBoxDimension(int value) {
    return value < 0 ? 0 : (value > kMaxBoxDimension ? kMaxBoxDimension : value);
}

}  // namespace tk
