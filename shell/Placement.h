// Where a window goes on the desktop. Every window is placed by a rule of its own (beside the main
// window, below it, at a fixed point); that place is kept whenever the window fits there wholly.
// Otherwise the window is moved just enough to lie wholly on the screen that holds the main
// window, so that no part of it (a field, a button, a page tab) ends up out of reach.
#pragma once

#include <vector>

#include "shell/Main.h"

namespace vex {

// The place of a window of the given size on one screen area (the part of a screen that windows
// may use): `wanted` where it fits, otherwise moved just enough along each axis. A window larger
// than the area in a direction starts at the area's left or top edge, so that its title bar and
// the beginning of its contents stay reachable. The size is never changed.
TBounds FitOnScreen(const TBounds& wanted, const TBounds& area);

// The screen area that holds `w`: the one it overlaps most; with no overlap, the one nearest to
// its centre. -1 when there is no screen.
int ScreenOf(const TBounds& w, const std::vector<TBounds>& areas);

// The place of a window that wants `wanted`, kept on the screen that holds `anchor` (the main
// window; when that is empty, the screen the wanted place lies on).
TBounds PlaceOnScreen(const TBounds& wanted, const TBounds& anchor, const std::vector<TBounds>& areas);

}  // namespace vex
