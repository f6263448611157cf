#include "platform/gfx/metafile.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/gfx/dib.h"

namespace tw {

namespace {

const char* const kInvalidMetafile = "Metafile is not valid";
const char* const kCanvasFinished = "The metafile canvas has been finished";

constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kHeaderSize = 18;
constexpr int kMaxObjects = 65535;
constexpr int kMaxSavedStates = 1024;

using gfxdetail::U16;
using gfxdetail::U32;

void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(v >> 16));
}
int S16(std::uint16_t v) { return static_cast<std::int16_t>(v); }
std::uint16_t W(int v) { return static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(v, -32768, 32767))); }

[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalidMetafile); }

// The bytes of parameter words [first, first + count) (text and bitmaps are stored as bytes).
std::string ParamBytes(const TMetaRecord& r, std::size_t first, std::size_t count) {
  std::string out;
  out.reserve(count * 2);
  for (std::size_t i = first; i < first + count && i < r.Params.size(); ++i) Put16(out, r.Params[i]);
  return out;
}

// Word layouts of the records replayed; `Check` raises when a record is too short for its
// layout, so that replay never reads past the parameters.
std::size_t TextOutWords(const TMetaRecord& r) { return 1 + (static_cast<std::size_t>(r.Params[0]) + 1) / 2 + 2; }
bool ExtTextHasRect(const TMetaRecord& r) { return (r.Params[3] & (ETO_OPAQUE | ETO_CLIPPED)) != 0; }
std::size_t ExtTextStringAt(const TMetaRecord& r) { return ExtTextHasRect(r) ? 8 : 4; }

void Check(const TMetaRecord& r) {
  const std::size_t n = r.Params.size();
  auto need = [n](std::size_t words) {
    if (n < words) Invalid();
  };
  switch (r.Function) {
    case META_SETBKMODE:
    case META_SETPOLYFILLMODE:
    case META_RESTOREDC:
    case META_SELECTOBJECT:
    case META_SETTEXTALIGN:
    case META_DELETEOBJECT: need(1); break;
    case META_SETBKCOLOR:
    case META_SETTEXTCOLOR:
    case META_SETWINDOWORG:
    case META_SETWINDOWEXT:
    case META_LINETO:
    case META_MOVETO: need(2); break;
    case META_CREATEPENINDIRECT: need(5); break;
    case META_CREATEBRUSHINDIRECT: need(4); break;
    case META_CREATEFONTINDIRECT: need(9); break;
    case META_ELLIPSE:
    case META_RECTANGLE: need(4); break;
    case META_ROUNDRECT: need(6); break;
    case META_POLYGON:
    case META_POLYLINE:
      need(1);
      need(1 + 2 * static_cast<std::size_t>(r.Params[0]));
      break;
    case META_TEXTOUT:
      need(1);
      need(TextOutWords(r));
      break;
    case META_EXTTEXTOUT:
      need(4);
      need(ExtTextStringAt(r) + (static_cast<std::size_t>(r.Params[2]) + 1) / 2);
      break;
    case META_STRETCHDIB: need(11); break;
    default: break;
  }
}

// Where the bitmap of a bitmap record starts (in words), or 0 when the record has none.
std::size_t BitmapAt(const TMetaRecord& r) {
  if (r.Function == META_STRETCHDIB) return 11;
  // The form without a bitmap has one reserved word more and ends there.
  if (r.Function == META_DIBSTRETCHBLT && r.Params.size() > 11) return 10;
  return 0;
}

std::shared_ptr<TBitmap> DecodeRecordBitmap(const TMetaRecord& r, std::size_t at) {
  auto bmp = std::make_shared<TBitmap>();
  try {
    bmp->LoadFromDib(ParamBytes(r, at, r.Params.size() - at));
  } catch (const EInvalidGraphic&) {
    Invalid();
  }
  return bmp;
}

std::uint32_t ColorRef(const TMetaRecord& r, std::size_t at) {
  return (static_cast<std::uint32_t>(r.Params[at]) | static_cast<std::uint32_t>(r.Params[at + 1]) << 16) & 0xFFFFFF;
}

// ---------------------------------------------------------------------------------------------
// Replay

struct TObjectSlot {
  enum Kind { None, Pen, Brush, Font, Other } kind = None;
  std::size_t record = 0;  // the creating record
};

struct TDrawState {
  int pen = -1, brush = -1, font = -1;  // selected slots; -1: the context's default
  std::uint32_t textColor = 0;
  std::uint32_t bkColor = 0xFFFFFF;
  int bkMode = 2;  // OPAQUE
  unsigned textAlign = TA_TOP;
  TPoint windowOrg{0, 0};
  TSize windowExt{0, 0};
};

class TPlayer {
 public:
  TPlayer(const std::vector<TMetaRecord>& records, const std::vector<std::shared_ptr<TBitmap>>& bitmaps, cairo_t* cr,
          const TRect& target, const TRect& bounds)
      : records_(records), bitmaps_(bitmaps), cr_(cr), target_(target) {
    state_.windowOrg = {bounds.Left, bounds.Top};
    state_.windowExt = {bounds.Width(), bounds.Height()};
    cairo_get_matrix(cr_, &base_);
  }

  void Play() {
    dc_ = CreateCairoDC(cr_, 96, 96);
    try {
      canvas_ = std::make_unique<TDCCanvas>(dc_);
      Map();
      for (std::size_t i = 0; i < records_.size(); ++i) Step(i);
    } catch (...) {
      canvas_.reset();
      DeleteDC(dc_);
      throw;
    }
    canvas_.reset();
    DeleteDC(dc_);
  }

 private:
  // Logical units to the target rectangle through the window origin and extent.
  void Map() {
    cairo_set_matrix(cr_, &base_);
    mapped_ = state_.windowExt.cx != 0 && state_.windowExt.cy != 0;
    if (!mapped_) return;
    cairo_translate(cr_, target_.Left, target_.Top);
    cairo_scale(cr_, static_cast<double>(target_.Width()) / state_.windowExt.cx,
                static_cast<double>(target_.Height()) / state_.windowExt.cy);
    cairo_translate(cr_, -state_.windowOrg.X, -state_.windowOrg.Y);
  }

  const TMetaRecord* Created(int slot, TObjectSlot::Kind kind) const {
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size() || slots_[static_cast<std::size_t>(slot)].kind != kind)
      return nullptr;
    return &records_[slots_[static_cast<std::size_t>(slot)].record];
  }

  void ApplyPen() {
    TPen* pen = canvas_->Pen();
    if (const TMetaRecord* r = Created(state_.pen, TObjectSlot::Pen)) {
      const int style = r->Params[0] & 0x0F;
      pen->SetStyle(style <= 6 ? static_cast<TPenStyle>(style) : TPenStyle::psSolid);
      pen->SetWidth(std::max(1, S16(r->Params[1])));
      pen->SetColor(static_cast<TColor>(ColorRef(*r, 3)));
    } else {
      pen->SetStyle(TPenStyle::psSolid);
      pen->SetWidth(1);
      pen->SetColor(clBlack);
    }
  }

  void ApplyBrush() {
    TBrush* brush = canvas_->Brush();
    if (const TMetaRecord* r = Created(state_.brush, TObjectSlot::Brush)) {
      brush->SetColor(static_cast<TColor>(ColorRef(*r, 1)));
      const int style = r->Params[0];
      if (style == 1) {
        brush->SetStyle(TBrushStyle::bsClear);
      } else if (style == 2 && r->Params[3] <= 5) {
        brush->SetStyle(static_cast<TBrushStyle>(static_cast<int>(TBrushStyle::bsHorizontal) + r->Params[3]));
      } else {
        brush->SetStyle(TBrushStyle::bsSolid);
      }
    } else {
      brush->SetColor(clWhite);
      brush->SetStyle(TBrushStyle::bsSolid);
    }
  }

  void ApplyFont() {
    TFont* font = canvas_->Font();
    TFont fresh;
    if (const TMetaRecord* r = Created(state_.font, TObjectSlot::Font)) {
      fresh.SetHeight(S16(r->Params[0]) != 0 ? S16(r->Params[0]) : fresh.Height());
      TFontStyles style;
      if (S16(r->Params[4]) >= 600) style.Include(TFontStyle::fsBold);
      if ((r->Params[5] & 0xFF) != 0) style.Include(TFontStyle::fsItalic);
      if ((r->Params[5] >> 8) != 0) style.Include(TFontStyle::fsUnderline);
      if ((r->Params[6] & 0xFF) != 0) style.Include(TFontStyle::fsStrikeOut);
      fresh.SetStyle(style);
      fresh.SetCharset(static_cast<std::uint8_t>(r->Params[6] >> 8));
      std::string face = ParamBytes(*r, 9, r->Params.size() - 9);
      face = face.substr(0, std::min<std::size_t>(32, face.find('\0')));
      if (!face.empty()) fresh.SetName(face);
    }
    fresh.SetColor(static_cast<TColor>(state_.textColor));
    font->Assign(&fresh);
    // Text is drawn on the background colour, or on nothing in transparent mode.
    canvas_->Brush()->SetColor(static_cast<TColor>(state_.bkColor));
    canvas_->Brush()->SetStyle(state_.bkMode == 1 ? TBrushStyle::bsClear : TBrushStyle::bsSolid);
    canvas_->SetTextAlign(state_.textAlign);
  }

  void Shape() {
    ApplyPen();
    ApplyBrush();
  }

  void Create(std::size_t index, TObjectSlot::Kind kind) {
    // A new object takes the lowest free slot of the table.
    std::size_t slot;
    if (!free_.empty()) {
      slot = *free_.begin();
      free_.erase(free_.begin());
    } else {
      if (slots_.size() >= kMaxObjects) return;
      slot = slots_.size();
      slots_.emplace_back();
    }
    slots_[slot].kind = kind;
    slots_[slot].record = index;
  }

  void Select(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size()) return;
    switch (slots_[static_cast<std::size_t>(slot)].kind) {
      case TObjectSlot::Pen: state_.pen = slot; break;
      case TObjectSlot::Brush: state_.brush = slot; break;
      case TObjectSlot::Font: state_.font = slot; break;
      default: break;
    }
  }

  void Remove(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size()) return;
    if (slots_[static_cast<std::size_t>(slot)].kind == TObjectSlot::None) return;
    slots_[static_cast<std::size_t>(slot)] = TObjectSlot{};
    free_.insert(static_cast<std::size_t>(slot));
    // A deleted object that is still selected leaves the context's default in its place.
    for (int* s : {&state_.pen, &state_.brush, &state_.font})
      if (*s == slot) *s = -1;
  }

  void DrawBitmap(std::size_t index) {
    const TMetaRecord& r = records_[index];
    const TBitmap* bmp = index < bitmaps_.size() ? bitmaps_[index].get() : nullptr;
    if (bmp == nullptr || bmp->Empty()) return;
    const std::size_t p = r.Function == META_STRETCHDIB ? 3 : 2;  // after the raster operation (and usage)
    const int srcH = S16(r.Params[p]), srcW = S16(r.Params[p + 1]);
    const int ySrc = S16(r.Params[p + 2]), xSrc = S16(r.Params[p + 3]);
    const int destH = S16(r.Params[p + 4]), destW = S16(r.Params[p + 5]);
    const int yDst = S16(r.Params[p + 6]), xDst = S16(r.Params[p + 7]);
    if (srcW <= 0 || srcH <= 0 || destW == 0 || destH == 0) return;
    cairo_save(cr_);
    cairo_translate(cr_, xDst, yDst);
    cairo_scale(cr_, static_cast<double>(destW) / srcW, static_cast<double>(destH) / srcH);
    cairo_rectangle(cr_, 0, 0, srcW, srcH);
    cairo_clip(cr_);
    // The source part is placed so that its corner lands on the destination's corner.
    bmp->Draw(cr_, Bounds(-xSrc, -ySrc, bmp->Width(), bmp->Height()));
    cairo_restore(cr_);
  }

  std::string Text(const TMetaRecord& r, std::size_t at, std::size_t count) const {
    std::string s = ParamBytes(r, at, (count + 1) / 2);
    s.resize(std::min(s.size(), count));
    return s;
  }

  void Step(std::size_t index) {
    const TMetaRecord& r = records_[index];
    const auto& p = r.Params;
    auto pt = [&p](std::size_t at) { return TPoint{S16(p[at + 1]), S16(p[at])}; };  // stored y, x
    switch (r.Function) {
      case META_SAVEDC:
        if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
        return;
      case META_RESTOREDC: {
        // A negative count is relative to the newest state; a positive one names a state.
        const int n = S16(p[0]);
        std::size_t keep;
        if (n < 0) {
          if (static_cast<std::size_t>(-n) > saved_.size()) return;
          keep = saved_.size() - static_cast<std::size_t>(-n);
        } else {
          if (n == 0 || static_cast<std::size_t>(n) > saved_.size()) return;
          keep = static_cast<std::size_t>(n) - 1;
        }
        state_ = saved_[keep];
        saved_.resize(keep);
        Map();
        return;
      }
      case META_SETBKMODE: state_.bkMode = p[0]; return;
      case META_SETTEXTALIGN: state_.textAlign = p[0]; return;
      case META_SETBKCOLOR: state_.bkColor = ColorRef(r, 0); return;
      case META_SETTEXTCOLOR: state_.textColor = ColorRef(r, 0); return;
      case META_SETWINDOWORG:
        state_.windowOrg = pt(0);
        Map();
        return;
      case META_SETWINDOWEXT:
        state_.windowExt = {S16(p[1]), S16(p[0])};
        Map();
        return;
      case META_CREATEPENINDIRECT: Create(index, TObjectSlot::Pen); return;
      case META_CREATEBRUSHINDIRECT: Create(index, TObjectSlot::Brush); return;
      case META_CREATEFONTINDIRECT: Create(index, TObjectSlot::Font); return;
      case META_CREATEPALETTE:
      case META_CREATEPATTERNBRUSH:
      case META_DIBCREATEPATTERNBRUSH:
      case META_CREATEREGION: Create(index, TObjectSlot::Other); return;
      case META_SELECTOBJECT: Select(p[0]); return;
      case META_DELETEOBJECT: Remove(p[0]); return;
      default: break;
    }
    if (!mapped_) return;
    switch (r.Function) {
      case META_MOVETO: canvas_->MoveTo(pt(0).X, pt(0).Y); break;
      case META_LINETO:
        ApplyPen();
        canvas_->LineTo(pt(0).X, pt(0).Y);
        break;
      case META_RECTANGLE:
        Shape();
        canvas_->Rectangle(S16(p[3]), S16(p[2]), S16(p[1]), S16(p[0]));
        break;
      case META_ELLIPSE:
        Shape();
        canvas_->Ellipse(S16(p[3]), S16(p[2]), S16(p[1]), S16(p[0]));
        break;
      case META_ROUNDRECT:
        Shape();
        canvas_->RoundRect(S16(p[5]), S16(p[4]), S16(p[3]), S16(p[2]), S16(p[1]), S16(p[0]));
        break;
      case META_POLYGON:
      case META_POLYLINE: {
        std::vector<TPoint> points;
        for (std::size_t i = 0; i < p[0]; ++i) points.push_back({S16(p[1 + 2 * i]), S16(p[2 + 2 * i])});
        Shape();
        if (r.Function == META_POLYGON)
          canvas_->Polygon(points);
        else
          canvas_->Polyline(points);
        break;
      }
      case META_TEXTOUT: {
        const std::size_t after = 1 + (static_cast<std::size_t>(p[0]) + 1) / 2;
        ApplyFont();
        // Not the canvas's TextOut: that moves the pen, and a metafile's text does not.
        canvas_->ExtTextOut(S16(p[after + 1]), S16(p[after]), 0, nullptr, Text(r, 1, p[0]), nullptr);
        break;
      }
      case META_EXTTEXTOUT: {
        const std::size_t count = p[2];
        const std::size_t at = ExtTextStringAt(r);
        const TRect clip = ExtTextHasRect(r) ? TRect{S16(p[4]), S16(p[5]), S16(p[6]), S16(p[7])} : TRect{};
        std::vector<int> dx;
        const std::size_t dxAt = at + (count + 1) / 2;
        if (p.size() >= dxAt + count)
          for (std::size_t i = 0; i < count; ++i) dx.push_back(S16(p[dxAt + i]));
        ApplyFont();
        canvas_->ExtTextOut(S16(p[1]), S16(p[0]), p[3] & (ETO_OPAQUE | ETO_CLIPPED), ExtTextHasRect(r) ? &clip : nullptr,
                            Text(r, at, count), dx.empty() ? nullptr : dx.data());
        break;
      }
      case META_STRETCHDIB:
      case META_DIBSTRETCHBLT: DrawBitmap(index); break;
      default: break;  // kept, not drawn
    }
  }

  const std::vector<TMetaRecord>& records_;
  const std::vector<std::shared_ptr<TBitmap>>& bitmaps_;
  cairo_t* cr_;
  TRect target_;
  cairo_matrix_t base_{};
  HDC dc_ = 0;
  std::unique_ptr<TDCCanvas> canvas_;
  std::vector<TObjectSlot> slots_;
  std::set<std::size_t> free_;
  TDrawState state_;
  std::vector<TDrawState> saved_;
  bool mapped_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

void TMetafile::Assign(const TPersistent* source) {
  if (const auto* m = dynamic_cast<const TMetafile*>(source)) {
    if (m == this) return;
    records_ = m->records_;
    bitmaps_ = m->bitmaps_;  // decoded bitmaps are never changed, so they can be shared
    objectCount_ = m->objectCount_;
    bounds_ = m->bounds_;
    inch_ = m->inch_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

int TMetafile::Width() const { return MulDiv(bounds_.Width(), 96, inch_); }
int TMetafile::Height() const { return MulDiv(bounds_.Height(), 96, inch_); }
int TMetafile::MMWidth() const { return MulDiv(bounds_.Width(), 2540, inch_); }
int TMetafile::MMHeight() const { return MulDiv(bounds_.Height(), 2540, inch_); }

void TMetafile::SetExtent(bool horizontal, int value, int unitsPerInch) {
  if (horizontal)
    bounds_.Right = bounds_.Left + MulDiv(value, inch_, unitsPerInch);
  else
    bounds_.Bottom = bounds_.Top + MulDiv(value, inch_, unitsPerInch);
  Changed();
}

void TMetafile::SetInch(int value) {
  if (value <= 0 || value > 65535) throw EInvalidGraphicOperation("Invalid metafile resolution");
  inch_ = value;
  Changed();
}

void TMetafile::Clear() {
  records_.clear();
  bitmaps_.clear();
  objectCount_ = 0;
  bounds_ = {};
  inch_ = 96;
  Changed();
}

void TMetafile::SetRecords(std::vector<TMetaRecord> records, TRect bounds, int inch, int announcedObjects) {
  std::vector<std::shared_ptr<TBitmap>> bitmaps(records.size());
  int objects = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const TMetaRecord& r = records[i];
    Check(r);
    if (const std::size_t at = BitmapAt(r)) bitmaps[i] = DecodeRecordBitmap(r, at);
    switch (r.Function) {
      case META_CREATEPENINDIRECT:
      case META_CREATEBRUSHINDIRECT:
      case META_CREATEFONTINDIRECT:
      case META_CREATEPALETTE:
      case META_CREATEPATTERNBRUSH:
      case META_DIBCREATEPATTERNBRUSH:
      case META_CREATEREGION: objects = std::min(objects + 1, kMaxObjects); break;
      default: break;
    }
  }
  records_ = std::move(records);
  bitmaps_ = std::move(bitmaps);
  objectCount_ = std::max(announcedObjects, objects);
  bounds_ = bounds;
  inch_ = inch;
  Changed();
}

void TMetafile::LoadFromStream(TStream& stream) { LoadFromBytes(gfxdetail::ReadGraphicRest(stream)); }

void TMetafile::LoadFromBytes(std::string_view d) {
  std::size_t at = 0;
  TRect bounds;
  int inch = 0;
  if (d.size() >= 4 && U32(d, 0) == PlaceableMetafileKey) {
    if (d.size() < kPlaceableSize) Invalid();
    bounds = {S16(U16(d, 6)), S16(U16(d, 8)), S16(U16(d, 10)), S16(U16(d, 12))};
    inch = U16(d, 14);
    if (inch == 0) Invalid();
    at = kPlaceableSize;
  }
  if (d.size() < at + kHeaderSize) Invalid();
  const std::uint16_t type = U16(d, at);
  if ((type != 1 && type != 2) || U16(d, at + 2) != 9) Invalid();
  const int objects = U16(d, at + 10);
  at += kHeaderSize;

  std::vector<TMetaRecord> records;
  bool ended = false;
  TPoint org{0, 0};
  TSize ext{0, 0};
  while (!ended) {
    if (d.size() - at < 6) Invalid();  // no end record: truncated
    const std::uint32_t words = U32(d, at);
    const std::uint16_t function = U16(d, at + 4);
    if (words < 3 || words > (d.size() - at) / 2) Invalid();
    if (function == META_EOF) {
      ended = true;
      break;
    }
    TMetaRecord r;
    r.Function = function;
    r.Params.resize(words - 3);
    for (std::size_t i = 0; i < r.Params.size(); ++i) r.Params[i] = U16(d, at + 6 + 2 * i);
    if (function == META_SETWINDOWORG && r.Params.size() >= 2 && ext.cx == 0) org = {S16(r.Params[1]), S16(r.Params[0])};
    if (function == META_SETWINDOWEXT && r.Params.size() >= 2 && ext.cx == 0) ext = {S16(r.Params[1]), S16(r.Params[0])};
    records.push_back(std::move(r));
    at += static_cast<std::size_t>(words) * 2;
  }
  if (inch == 0) {
    // A bare metafile: its first window is the picture, in screen pixels.
    bounds = Bounds(org.X, org.Y, ext.cx, ext.cy);
    inch = 96;
  }
  SetRecords(std::move(records), bounds, inch, objects);
}

std::string TMetafile::SaveToBytes() const {
  std::string out;
  if (Empty()) return out;
  Put32(out, PlaceableMetafileKey);
  Put16(out, 0);
  Put16(out, W(bounds_.Left));
  Put16(out, W(bounds_.Top));
  Put16(out, W(bounds_.Right));
  Put16(out, W(bounds_.Bottom));
  Put16(out, static_cast<std::uint16_t>(inch_));
  Put32(out, 0);
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < 10; ++i) sum ^= U16(out, 2 * i);
  Put16(out, sum);

  std::uint32_t total = kHeaderSize / 2 + 3;  // header and end record, in words
  std::uint32_t largest = 3;
  for (const TMetaRecord& r : records_) {
    const auto words = static_cast<std::uint32_t>(r.Params.size() + 3);
    total += words;
    largest = std::max(largest, words);
  }
  Put16(out, 1);  // kept in memory
  Put16(out, 9);
  Put16(out, 0x0300);
  Put32(out, total);
  Put16(out, static_cast<std::uint16_t>(objectCount_));
  Put32(out, largest);
  Put16(out, 0);
  for (const TMetaRecord& r : records_) {
    Put32(out, static_cast<std::uint32_t>(r.Params.size() + 3));
    Put16(out, r.Function);
    for (std::uint16_t v : r.Params) Put16(out, v);
  }
  Put32(out, 3);
  Put16(out, META_EOF);
  return out;
}

void TMetafile::SaveToStream(TStream& stream) const {
  const std::string bytes = SaveToBytes();
  if (!bytes.empty()) stream.WriteBuffer(bytes);
}

void TMetafile::Draw(cairo_t* cr, const TRect& r) const {
  if (Empty() || IsRectEmpty(r)) return;
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_clip(cr);
  try {
    TPlayer(records_, bitmaps_, cr, r, bounds_).Play();
  } catch (...) {
    cairo_restore(cr);
    throw;
  }
  cairo_restore(cr);
}

// ---------------------------------------------------------------------------------------------
// Recording

TMetafileCanvas::TMetafileCanvas(TMetafile* metafile, int width, int height)
    : metafile_(metafile), width_(width), height_(height) {
  if (metafile == nullptr || width <= 0 || height <= 0 || width > 32767 || height > 32767)
    throw EInvalidGraphicOperation("Invalid metafile size");
  Add(META_SETWINDOWORG, {0, 0});
  Add(META_SETWINDOWEXT, {W(height), W(width)});
}

TMetafileCanvas::~TMetafileCanvas() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // A destructor must not throw; the metafile keeps what it had.
  }
}

void TMetafileCanvas::CheckOpen() const {
  if (finished_) throw EInvalidGraphicOperation(kCanvasFinished);
}

void TMetafileCanvas::Add(std::uint16_t function, std::vector<std::uint16_t> params) {
  CheckOpen();
  records_.push_back(TMetaRecord{function, std::move(params)});
}

void TMetafileCanvas::Select(int& slot, std::vector<std::uint16_t> create, std::uint16_t function) {
  // Slots used: 0 pen, 1 brush, 2 font; a change creates the new object in a free slot (3),
  // selects it and deletes the old one, so the table never holds more than four objects.
  const int old = slot;
  const int fresh = [&] {
    for (int s = 0; s < 4; ++s)
      if (s != penSlot_ && s != brushSlot_ && s != fontSlot_) return s;
    return 3;
  }();
  Add(function, std::move(create));
  Add(META_SELECTOBJECT, {static_cast<std::uint16_t>(fresh)});
  if (old >= 0) Add(META_DELETEOBJECT, {static_cast<std::uint16_t>(old)});
  slot = fresh;
}

void TMetafileCanvas::UsePen() {
  const std::uint32_t c = static_cast<std::uint32_t>(ColorToRGB(pen_.Color()));
  std::vector<std::uint16_t> key{static_cast<std::uint16_t>(pen_.Style()), W(pen_.Width()), 0,
                                 static_cast<std::uint16_t>(c & 0xFFFF), static_cast<std::uint16_t>(c >> 16)};
  if (key == penKey_) return;
  penKey_ = key;
  Select(penSlot_, key, META_CREATEPENINDIRECT);
}

void TMetafileCanvas::UseBrush() {
  const std::uint32_t c = static_cast<std::uint32_t>(ColorToRGB(brush_.Color()));
  std::uint16_t style = 0, hatch = 0;
  if (brush_.Style() == TBrushStyle::bsClear) {
    style = 1;
  } else if (brush_.Style() != TBrushStyle::bsSolid) {
    style = 2;
    hatch = static_cast<std::uint16_t>(static_cast<int>(brush_.Style()) - static_cast<int>(TBrushStyle::bsHorizontal));
  }
  std::vector<std::uint16_t> key{style, static_cast<std::uint16_t>(c & 0xFFFF), static_cast<std::uint16_t>(c >> 16), hatch};
  if (key == brushKey_) return;
  brushKey_ = key;
  Select(brushSlot_, key, META_CREATEBRUSHINDIRECT);
}

void TMetafileCanvas::UseFont() {
  const TFontStyles st = font_.Style();
  std::string face = font_.Name().substr(0, 31);
  face.resize(32, '\0');
  std::vector<std::uint16_t> key{W(font_.Height()),
                                 0,
                                 0,
                                 0,
                                 static_cast<std::uint16_t>(st.Contains(TFontStyle::fsBold) ? 700 : 400),
                                 static_cast<std::uint16_t>((st.Contains(TFontStyle::fsItalic) ? 1 : 0) |
                                                            (st.Contains(TFontStyle::fsUnderline) ? 0x100 : 0)),
                                 static_cast<std::uint16_t>((st.Contains(TFontStyle::fsStrikeOut) ? 1 : 0) |
                                                            font_.Charset() << 8),
                                 0,
                                 0};
  for (std::size_t i = 0; i < face.size(); i += 2) key.push_back(U16(face, i));
  if (key != fontKey_) {
    fontKey_ = key;
    Select(fontSlot_, key, META_CREATEFONTINDIRECT);
  }
  const std::uint32_t color = static_cast<std::uint32_t>(ColorToRGB(font_.Color()));
  if (color != textColor_) {
    textColor_ = color;
    Add(META_SETTEXTCOLOR, {static_cast<std::uint16_t>(color & 0xFFFF), static_cast<std::uint16_t>(color >> 16)});
  }
  const int mode = brush_.Style() == TBrushStyle::bsClear ? 1 : 2;
  if (mode != bkMode_) {
    bkMode_ = mode;
    Add(META_SETBKMODE, {static_cast<std::uint16_t>(mode)});
  }
  const std::uint32_t bk = static_cast<std::uint32_t>(ColorToRGB(brush_.Color()));
  if (mode == 2 && bk != bkColor_) {
    bkColor_ = bk;
    Add(META_SETBKCOLOR, {static_cast<std::uint16_t>(bk & 0xFFFF), static_cast<std::uint16_t>(bk >> 16)});
  }
}

void TMetafileCanvas::MoveTo(int x, int y) { Add(META_MOVETO, {W(y), W(x)}); }

void TMetafileCanvas::LineTo(int x, int y) {
  UsePen();
  Add(META_LINETO, {W(y), W(x)});
}

void TMetafileCanvas::Rectangle(int left, int top, int right, int bottom) {
  UsePen();
  UseBrush();
  Add(META_RECTANGLE, {W(bottom), W(right), W(top), W(left)});
}

void TMetafileCanvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
  UsePen();
  UseBrush();
  Add(META_ROUNDRECT, {W(cornerHeight), W(cornerWidth), W(bottom), W(right), W(top), W(left)});
}

void TMetafileCanvas::Ellipse(int left, int top, int right, int bottom) {
  UsePen();
  UseBrush();
  Add(META_ELLIPSE, {W(bottom), W(right), W(top), W(left)});
}

void TMetafileCanvas::AddPoints(std::uint16_t function, const std::vector<TPoint>& points) {
  if (points.empty() || points.size() > 16000) throw EInvalidGraphicOperation("Invalid number of points");
  UsePen();
  if (function == META_POLYGON) UseBrush();
  std::vector<std::uint16_t> params{static_cast<std::uint16_t>(points.size())};
  for (const TPoint& p : points) params.insert(params.end(), {W(p.X), W(p.Y)});
  Add(function, std::move(params));
}

void TMetafileCanvas::Polygon(const std::vector<TPoint>& points) { AddPoints(META_POLYGON, points); }
void TMetafileCanvas::Polyline(const std::vector<TPoint>& points) { AddPoints(META_POLYLINE, points); }

void TMetafileCanvas::TextOut(int x, int y, std::string_view text) {
  if (text.size() > 32000) throw EInvalidGraphicOperation("Text too long for a metafile record");
  UseFont();
  std::string bytes(text);
  if (bytes.size() % 2 != 0) bytes += '\0';
  std::vector<std::uint16_t> params{static_cast<std::uint16_t>(text.size())};
  for (std::size_t i = 0; i < bytes.size(); i += 2) params.push_back(U16(bytes, i));
  params.insert(params.end(), {W(y), W(x)});
  Add(META_TEXTOUT, std::move(params));
}

void TMetafileCanvas::StretchDraw(const TRect& r, const TBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->Empty() || IsRectEmpty(r)) return;
  CheckOpen();
  std::string dib = bitmap->SaveToDib();
  if (dib.size() % 2 != 0) dib += '\0';
  if (dib.size() / 2 + 14 > 0x7FFFFFFFu) throw EInvalidGraphicOperation("Bitmap too large for a metafile");
  std::vector<std::uint16_t> params{0x0020, 0x00CC, 0,  // SRCCOPY, colours as RGB values
                                    W(bitmap->Height()), W(bitmap->Width()), 0, 0,
                                    W(r.Height()), W(r.Width()), W(r.Top), W(r.Left)};
  for (std::size_t i = 0; i < dib.size(); i += 2) params.push_back(U16(dib, i));
  records_.push_back(TMetaRecord{META_STRETCHDIB, std::move(params)});
}

void TMetafileCanvas::Finish() {
  CheckOpen();
  finished_ = true;
  metafile_->SetRecords(std::move(records_), Bounds(0, 0, width_, height_), 96, 4);
}

}  // namespace tw
