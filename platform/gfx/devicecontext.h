// Device contexts: a 32-bit handle for a cairo context together with what the device reports
// about itself (resolution, page size, printing offsets).  Handles come from a registry that
// rejects stale ids, so a handle kept after DeleteDC fails cleanly instead of touching freed
// memory.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "platform/gfx/geometry.h"

namespace tw {

using HDC = std::uint32_t;  // 0 = none

// GetDeviceCaps indexes (the window system's values).
constexpr int DRIVERVERSION = 0;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;   // millimetres
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;    // pixels of the drawable area
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110;  // pixels of the whole sheet
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;  // unprintable margin left of the drawable area
constexpr int PHYSICALOFFSETY = 113;

// TECHNOLOGY values.
constexpr int DT_PLOTTER = 0;
constexpr int DT_RASDISPLAY = 1;
constexpr int DT_RASPRINTER = 2;
constexpr int DT_RASCAMERA = 3;
constexpr int DT_CHARSTREAM = 4;
constexpr int DT_METAFILE = 5;

// Text alignment flags (SetTextAlign).
constexpr unsigned TA_NOUPDATECP = 0;
constexpr unsigned TA_UPDATECP = 1;
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;
constexpr unsigned GDI_ERROR = 0xFFFFFFFFu;

// What a device tells about itself, in its own pixels.
struct TDeviceInfo {
  int Technology = DT_RASDISPLAY;
  int LogPixelsX = 96;
  int LogPixelsY = 96;
  int HorzRes = 0;  // 0: taken from an image surface's width
  int VertRes = 0;
  int PhysicalWidth = 0;  // 0: the same as HorzRes
  int PhysicalHeight = 0;
  int PhysicalOffsetX = 0;
  int PhysicalOffsetY = 0;
  int BitsPixel = 24;
};

// A display-kind context on `cr` (a reference is taken and dropped by DeleteDC).  The
// drawable size is read from an image surface; other surfaces report 0 until SetDeviceInfo.
HDC CreateCairoDC(cairo_t* cr, int pixelsPerInchX, int pixelsPerInchY);
// A context with a full device description (printers, PDF pages).
HDC CreateDeviceDC(cairo_t* cr, const TDeviceInfo& info);
// Drops the handle; stale and zero handles are ignored.  The screen context is never deleted.
void DeleteDC(HDC dc);
bool IsDC(HDC dc);
// The cairo context, or nullptr for a stale handle.
cairo_t* DCCairo(HDC dc);
// 0 for a stale handle or an unknown index.
int GetDeviceCaps(HDC dc, int index);
bool GetDeviceInfo(HDC dc, TDeviceInfo& info);
bool SetDeviceInfo(HDC dc, const TDeviceInfo& info);

// A memory context at screen resolution (96 pixels per inch) for measuring text; lives for
// the whole run.
HDC GetScreenDC();
// The screen's size as the display backend reports it (HORZRES/VERTRES of the screen context);
// 1024 x 768 until set.
void SetScreenSize(int width, int height);
TSize ScreenSize();

// Text alignment and current position kept per context, as the window system keeps them.
unsigned SetTextAlign(HDC dc, unsigned align);  // returns the previous value, GDI_ERROR when stale
unsigned GetTextAlign(HDC dc);
bool MoveToEx(HDC dc, int x, int y, TPoint* previous);
bool GetCurrentPositionEx(HDC dc, TPoint* position);

// Clipping of a context.  The clip the context was created with (for example a child window's
// area) always stays in force; these narrow it further.  Region functions return the result
// kind: NULLREGION, SIMPLEREGION, COMPLEXREGION, or ERROR for a stale handle.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// The clip becomes the context's own clip narrowed to the union of `rects` (count 0 clips
// everything away).
int SelectClipRects(HDC dc, const TRect* rects, int count);
// Removes every clip set through these calls.
int RemoveClip(HDC dc);
// The bounding box of the current clip in the context's coordinates.
int GetClipBox(HDC dc, TRect* rect);

}  // namespace tw
