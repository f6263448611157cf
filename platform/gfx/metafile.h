// Metafiles: pictures kept as a list of drawing records in the window system's metafile format
// (.WMF, in its placeable form with the 22-byte header that gives the picture's size).  A
// metafile is drawn by replaying its records onto a canvas, mapped from the picture's logical
// units into the target rectangle.  TMetafileCanvas records drawing calls into a metafile.
//
// What is replayed: pen, brush and font objects (create, select, delete), text and background
// colours, background mode, text alignment, window origin and extent, move-to and line-to,
// rectangles, rounded rectangles, ellipses, polygons, polylines, plain and extended text, and
// device-independent bitmaps stretched into the picture, with SaveDC/RestoreDC.  Other records
// are kept (and saved again) but not drawn; other objects keep their place in the object table.
// Bitmap records draw with a plain copy whatever their raster operation; polygons fill by the
// canvas's own rule.  Enhanced metafiles are not read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/graphic.h"

namespace tw {

// Record functions of the metafile format this layer understands.
constexpr std::uint16_t META_EOF = 0x0000;
constexpr std::uint16_t META_SAVEDC = 0x001E;
constexpr std::uint16_t META_SETBKMODE = 0x0102;
constexpr std::uint16_t META_SETPOLYFILLMODE = 0x0106;
constexpr std::uint16_t META_RESTOREDC = 0x0127;
constexpr std::uint16_t META_SELECTOBJECT = 0x012D;
constexpr std::uint16_t META_SETTEXTALIGN = 0x012E;
constexpr std::uint16_t META_DELETEOBJECT = 0x01F0;
constexpr std::uint16_t META_SETBKCOLOR = 0x0201;
constexpr std::uint16_t META_SETTEXTCOLOR = 0x0209;
constexpr std::uint16_t META_SETWINDOWORG = 0x020B;
constexpr std::uint16_t META_SETWINDOWEXT = 0x020C;
constexpr std::uint16_t META_LINETO = 0x0213;
constexpr std::uint16_t META_MOVETO = 0x0214;
constexpr std::uint16_t META_CREATEPENINDIRECT = 0x02FA;
constexpr std::uint16_t META_CREATEFONTINDIRECT = 0x02FB;
constexpr std::uint16_t META_CREATEBRUSHINDIRECT = 0x02FC;
constexpr std::uint16_t META_POLYGON = 0x0324;
constexpr std::uint16_t META_POLYLINE = 0x0325;
constexpr std::uint16_t META_ELLIPSE = 0x0418;
constexpr std::uint16_t META_RECTANGLE = 0x041B;
constexpr std::uint16_t META_TEXTOUT = 0x0521;
constexpr std::uint16_t META_ROUNDRECT = 0x061C;
constexpr std::uint16_t META_EXTTEXTOUT = 0x0A32;
constexpr std::uint16_t META_DIBSTRETCHBLT = 0x0B41;
constexpr std::uint16_t META_STRETCHDIB = 0x0F43;
// Object-creating records whose objects are not drawn with (they still take a table slot).
constexpr std::uint16_t META_CREATEPALETTE = 0x00F7;
constexpr std::uint16_t META_CREATEPATTERNBRUSH = 0x01F9;
constexpr std::uint16_t META_DIBCREATEPATTERNBRUSH = 0x0142;
constexpr std::uint16_t META_CREATEREGION = 0x06FF;

// The key of the placeable header.
constexpr std::uint32_t PlaceableMetafileKey = 0x9AC6CDD7u;

// One record: its function and its parameter words, as stored.
struct TMetaRecord {
  std::uint16_t Function = 0;
  std::vector<std::uint16_t> Params;
};

class TMetafileCanvas;

class TMetafile : public TGraphic {
  TW_CLASS(TMetafile, TGraphic)
 public:
  TMetafile();
  ~TMetafile() override;
  void Assign(const TPersistent* source) override;

  // Size in screen pixels (96 per inch), from the bounding box and Inch.
  int Width() const override;
  int Height() const override;
  void SetWidth(int pixels) { SetExtent(true, pixels, 96); }
  void SetHeight(int pixels) { SetExtent(false, pixels, 96); }
  // Size in hundredths of a millimetre.
  int MMWidth() const;
  int MMHeight() const;
  void SetMMWidth(int value) { SetExtent(true, value, 2540); }
  void SetMMHeight(int value) { SetExtent(false, value, 2540); }
  // Logical units per inch of the bounding box (the placeable header's value).
  int Inch() const { return inch_; }
  void SetInch(int value);
  // The bounding box in logical units.
  TRect BoundingBox() const { return bounds_; }
  bool Empty() const override { return records_.empty(); }
  // Always false: enhanced metafiles are neither read nor written.
  bool Enhanced() const { return false; }
  void Clear();

  // Reads a placeable metafile, or a bare one (then the size comes from its window extent).
  // Raises EInvalidGraphic for anything truncated or malformed.
  void LoadFromStream(TStream& stream) override;
  void LoadFromBytes(std::string_view bytes);
  // Writes the placeable form (an empty metafile writes nothing).
  void SaveToStream(TStream& stream) const override;
  std::string SaveToBytes() const;

  void Draw(cairo_t* cr, const TRect& r) const override;

  const std::vector<TMetaRecord>& Records() const { return records_; }

 private:
  friend class TMetafileCanvas;
  // Moves the right (or bottom) edge of the bounding box so the side is `value` units of which
  // `unitsPerInch` make an inch.
  void SetExtent(bool horizontal, int value, int unitsPerInch);
  // Checks the records and decodes their bitmaps (raising EInvalidGraphic) before anything of
  // the metafile changes.
  void SetRecords(std::vector<TMetaRecord> records, TRect bounds, int inch, int announcedObjects);

  std::vector<TMetaRecord> records_;
  // Bitmaps of the bitmap records, decoded when loading (index = record index; null elsewhere).
  std::vector<std::shared_ptr<TBitmap>> bitmaps_;
  int objectCount_ = 0;  // the object-table size the header announces
  TRect bounds_;
  int inch_ = 96;
};

// Records drawing into a metafile: the picture is `width` x `height` logical units (pixels at
// 96 per inch).  The records go into the metafile when the canvas is freed (or at Finish);
// what was there before is replaced.
class TMetafileCanvas {
 public:
  TMetafileCanvas(TMetafile* metafile, int width, int height);
  ~TMetafileCanvas();
  TMetafileCanvas(const TMetafileCanvas&) = delete;
  TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

  TPen* Pen() { return &pen_; }
  TBrush* Brush() { return &brush_; }
  // The font's Height is in logical units; its Color is the text colour.
  TFont* Font() { return &font_; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int left, int top, int right, int bottom);
  void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
  void Ellipse(int left, int top, int right, int bottom);
  void Polygon(const std::vector<TPoint>& points);
  void Polyline(const std::vector<TPoint>& points);
  // Text with the top of its cell at y, on a clear background when the brush is clear, else
  // on the brush colour.
  void TextOut(int x, int y, std::string_view text);
  // The bitmap stretched into `r` (24 bits per pixel in the record).
  void StretchDraw(const TRect& r, const TBitmap* bitmap);
  // Hands the records to the metafile now; later calls raise EInvalidGraphicOperation.
  void Finish();

 private:
  void Add(std::uint16_t function, std::vector<std::uint16_t> params);
  // A polygon (filled with the brush) or polyline record.
  void AddPoints(std::uint16_t function, const std::vector<TPoint>& points);
  void UsePen();
  void UseBrush();
  void UseFont();
  void Select(int& slot, std::vector<std::uint16_t> create, std::uint16_t function);
  void CheckOpen() const;

  TMetafile* metafile_;
  int width_;
  int height_;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  std::vector<TMetaRecord> records_;
  int penSlot_ = -1;
  int brushSlot_ = -1;
  int fontSlot_ = -1;
  std::vector<std::uint16_t> penKey_, brushKey_, fontKey_;
  std::uint32_t textColor_ = 0xFFFFFFFFu;
  int bkMode_ = 0;
  std::uint32_t bkColor_ = 0xFFFFFFFFu;
  bool finished_ = false;
};

}  // namespace tw
