// Geometry of the drawing layer in the window system's layout: points, sizes and rectangles
// whose right and bottom edges lie just outside the area (a rectangle (0, 0, 10, 5) covers
// pixels 0..9 by 0..4).
#pragma once

#include <algorithm>

namespace tw {

struct TPoint {
  int X = 0;
  int Y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr TPoint TopLeft() const { return {Left, Top}; }
  constexpr TPoint BottomRight() const { return {Right, Bottom}; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// The window system's own spellings, for code written against its calls.
using POINT = TPoint;
using SIZE = TSize;
using RECT = TRect;

constexpr TPoint Point(int x, int y) { return {x, y}; }
constexpr TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
constexpr TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

// An empty rectangle has no pixels: right <= left or bottom <= top.
constexpr bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
constexpr bool EqualRect(const TRect& a, const TRect& b) { return a == b; }
constexpr bool PtInRect(const TRect& r, const TPoint& p) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
constexpr void SetRect(TRect& r, int left, int top, int right, int bottom) { r = {left, top, right, bottom}; }
constexpr void SetRectEmpty(TRect& r) { r = {}; }
// Grows the rectangle by dx on the left and right and dy on the top and bottom (negative
// values shrink it).
constexpr void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx; r.Top -= dy; r.Right += dx; r.Bottom += dy;
}
constexpr void OffsetRect(TRect& r, int dx, int dy) {
  r.Left += dx; r.Top += dy; r.Right += dx; r.Bottom += dy;
}
// The common part of a and b; false (and an empty dst) when they do not overlap.
constexpr bool IntersectRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (IsRectEmpty(r)) { dst = {}; return false; }
  dst = r;
  return true;
}
// The smallest rectangle holding a and b; an empty side is ignored.  False when both are empty.
constexpr bool UnionRect(TRect& dst, const TRect& a, const TRect& b) {
  if (IsRectEmpty(a)) { dst = IsRectEmpty(b) ? TRect{} : b; return !IsRectEmpty(b); }
  if (IsRectEmpty(b)) { dst = a; return true; }
  dst = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
         std::max(a.Bottom, b.Bottom)};
  return true;
}

}  // namespace tw
