#include "shell/Placement.h"

#include <algorithm>
#include <cstdint>

namespace vex {

namespace {

// One axis: start s of a span of length n within [lo, lo + room).
int FitAxis(int s, int n, int lo, int room) {
  if (n >= room) return lo;
  return std::clamp(s, lo, lo + room - n);
}

int64_t Overlap(const TBounds& a, const TBounds& b) {
  const int64_t w =
      std::min<int64_t>(int64_t{a.Left} + a.Width, int64_t{b.Left} + b.Width) - std::max(a.Left, b.Left);
  const int64_t h =
      std::min<int64_t>(int64_t{a.Top} + a.Height, int64_t{b.Top} + b.Height) - std::max(a.Top, b.Top);
  return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance from a point to an area (0 inside).
int64_t Distance2(int64_t x, int64_t y, const TBounds& a) {
  const int64_t dx = x < a.Left                       ? a.Left - x
                     : x >= int64_t{a.Left} + a.Width ? x - (a.Left + a.Width - 1)
                                                      : 0;
  const int64_t dy = y < a.Top ? a.Top - y : y >= int64_t{a.Top} + a.Height ? y - (a.Top + a.Height - 1) : 0;
  return dx * dx + dy * dy;
}

}  // namespace

TBounds FitOnScreen(const TBounds& wanted, const TBounds& area) {
  TBounds r = wanted;
  r.Left = FitAxis(wanted.Left, wanted.Width, area.Left, area.Width);
  r.Top = FitAxis(wanted.Top, wanted.Height, area.Top, area.Height);
  return r;
}

int ScreenOf(const TBounds& w, const std::vector<TBounds>& areas) {
  int best = -1;
  int64_t bestOverlap = 0;
  for (size_t i = 0; i < areas.size(); ++i) {
    const int64_t o = Overlap(w, areas[i]);
    if (o > bestOverlap) {
      bestOverlap = o;
      best = static_cast<int>(i);
    }
  }
  if (best >= 0) return best;
  // nothing overlaps (an empty window, or one wholly off every screen): the nearest screen
  const int64_t cx = int64_t{w.Left} + w.Width / 2, cy = int64_t{w.Top} + w.Height / 2;
  int64_t bestDistance = INT64_MAX;
  for (size_t i = 0; i < areas.size(); ++i) {
    const int64_t d = Distance2(cx, cy, areas[i]);
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

TBounds PlaceOnScreen(const TBounds& wanted, const TBounds& anchor, const std::vector<TBounds>& areas) {
  const bool hasAnchor = anchor.Width > 0 && anchor.Height > 0;
  const int k = ScreenOf(hasAnchor ? anchor : wanted, areas);
  if (k < 0) return wanted;
  return FitOnScreen(wanted, areas[static_cast<size_t>(k)]);
}

}  // namespace vex
