#include <gtest/gtest.h>

#include "platform/gfx/tests/gfx_test_util.h"

namespace tw {
namespace {

using testing::Surface;

TEST(DeviceContext, CapsOfAnImageContextAndTheScreen) {
  Surface s(120, 80, 120);
  EXPECT_EQ(GetDeviceCaps(s.DC(), LOGPIXELSX), 120);
  EXPECT_EQ(GetDeviceCaps(s.DC(), LOGPIXELSY), 120);
  EXPECT_EQ(GetDeviceCaps(s.DC(), HORZRES), 120);
  EXPECT_EQ(GetDeviceCaps(s.DC(), VERTRES), 80);
  EXPECT_EQ(GetDeviceCaps(s.DC(), PHYSICALWIDTH), 120);
  EXPECT_EQ(GetDeviceCaps(s.DC(), PHYSICALOFFSETX), 0);
  EXPECT_EQ(GetDeviceCaps(s.DC(), TECHNOLOGY), DT_RASDISPLAY);
  EXPECT_EQ(GetDeviceCaps(s.DC(), 9999), 0);
  // A canvas on it measures text at its resolution.
  EXPECT_EQ(s.Canvas().Font()->PixelsPerInch(), 120);

  HDC screen = GetScreenDC();
  EXPECT_EQ(GetScreenDC(), screen);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  SetScreenSize(1280, 1024);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1280);
  DeleteDC(screen);  // never deleted
  EXPECT_TRUE(IsDC(screen));
}

TEST(DeviceContext, StaleHandlesFailCleanly) {
  HDC dc;
  {
    Surface s(4, 4);
    dc = s.DC();
    EXPECT_TRUE(IsDC(dc));
  }
  EXPECT_FALSE(IsDC(dc));
  EXPECT_EQ(DCCairo(dc), nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 0);
  EXPECT_EQ(SetTextAlign(dc, TA_BASELINE), GDI_ERROR);
  EXPECT_FALSE(MoveToEx(dc, 1, 1, nullptr));
  EXPECT_EQ(IntersectClipRect(dc, 0, 0, 1, 1), ERROR);
  DeleteDC(dc);  // twice: ignored
  DeleteDC(0);
  // A new context never takes the old number.
  Surface t(4, 4);
  EXPECT_NE(t.DC(), dc);
}

TEST(DeviceContext, DeviceInfoOverridesForPrinters) {
  Surface s(10, 10);
  TDeviceInfo info;
  info.Technology = DT_RASPRINTER;
  info.LogPixelsX = info.LogPixelsY = 600;
  info.HorzRes = 4800;
  info.VertRes = 6600;
  info.PhysicalWidth = 5100;
  info.PhysicalHeight = 6800;
  info.PhysicalOffsetX = 150;
  info.PhysicalOffsetY = 100;
  ASSERT_TRUE(SetDeviceInfo(s.DC(), info));
  EXPECT_EQ(GetDeviceCaps(s.DC(), HORZRES), 4800);
  EXPECT_EQ(GetDeviceCaps(s.DC(), PHYSICALHEIGHT), 6800);
  EXPECT_EQ(GetDeviceCaps(s.DC(), PHYSICALOFFSETY), 100);
  EXPECT_EQ(GetDeviceCaps(s.DC(), HORZSIZE), 203);  // 8 inches in millimetres
}

TEST(DeviceContext, ClipOfTheContextStaysUnderOurClips) {
  // A child window's context comes already clipped; removing our clips keeps that one.
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 50, 50);
  cairo_t* cr = cairo_create(surface);
  cairo_translate(cr, 10, 10);
  cairo_rectangle(cr, 0, 0, 20, 20);
  cairo_clip(cr);
  HDC dc = CreateCairoDC(cr, 96, 96);
  TRect box;
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box, Rect(0, 0, 20, 20));
  EXPECT_EQ(IntersectClipRect(dc, 5, 5, 50, 50), SIMPLEREGION);
  GetClipBox(dc, &box);
  EXPECT_EQ(box, Rect(5, 5, 20, 20));
  EXPECT_EQ(ExcludeClipRect(dc, 5, 5, 10, 10), COMPLEXREGION);
  EXPECT_EQ(IntersectClipRect(dc, 30, 30, 40, 40), NULLREGION);
  RemoveClip(dc);
  GetClipBox(dc, &box);
  EXPECT_EQ(box, Rect(0, 0, 20, 20));
  TCanvas c;
  c.SetHandle(dc);
  c.Brush()->SetColor(clRed);
  c.FillRect(Rect(-10, -10, 100, 100));
  EXPECT_EQ(c.Pixel(0, 0), clRed);   // pixel (10, 10) of the surface
  EXPECT_EQ(c.Pixel(19, 19), clRed);
  c.SetHandle(0);
  DeleteDC(dc);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  EXPECT_EQ(data[9 * stride + 9 * 4 + 3], 0);   // outside the child: untouched
  EXPECT_EQ(data[10 * stride + 10 * 4 + 3], 255);
  cairo_surface_destroy(surface);
}

TEST(Colors, SystemColoursResolveToTheClassicPalette) {
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(128, 128, 128));
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(clHighlight), clNavy);
  EXPECT_EQ(ColorToRGB(clInfoBk), RGB(255, 255, 225));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x80000000u | 200)), clBlack);  // unknown index
  EXPECT_EQ(clBtnFace, static_cast<TColor>(0x8000000F));
  TColor c = 0;
  for (TColor named : {clBtnFace, clRed, clNone, RGB(1, 2, 3)}) {
    ASSERT_TRUE(IdentToColor(ColorToString(named), c)) << ColorToString(named);
    EXPECT_EQ(c, named);
  }
  EXPECT_TRUE(IdentToColor("16777215", c));
  EXPECT_EQ(c, clWhite);
  EXPECT_FALSE(IdentToColor("clNoSuchColour", c));
  EXPECT_FALSE(IdentToColor("$", c));
}

TEST(Geometry, RectangleHelpers) {
  TRect r = Rect(0, 0, 10, 10);
  EXPECT_TRUE(PtInRect(r, Point(0, 0)));
  EXPECT_FALSE(PtInRect(r, Point(10, 5)));
  TRect i;
  EXPECT_TRUE(IntersectRect(i, r, Rect(5, 5, 20, 20)));
  EXPECT_EQ(i, Rect(5, 5, 10, 10));
  EXPECT_FALSE(IntersectRect(i, r, Rect(10, 0, 20, 10)));
  EXPECT_TRUE(IsRectEmpty(i));
  TRect u;
  EXPECT_TRUE(UnionRect(u, Rect(0, 0, 0, 0), Rect(2, 2, 4, 4)));
  EXPECT_EQ(u, Rect(2, 2, 4, 4));
  InflateRect(r, -2, 1);
  EXPECT_EQ(r, Rect(2, -1, 8, 11));
  OffsetRect(r, 1, 1);
  EXPECT_EQ(r, Bounds(3, 0, 6, 12));
  EXPECT_EQ(MulDiv(10, 96, 72), 13);
  EXPECT_EQ(MulDiv(-10, 96, 72), -13);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);  // halves round away from zero
}

}  // namespace
}  // namespace tw
