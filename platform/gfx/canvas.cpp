#include "platform/gfx/canvas.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <mutex>
#include <optional>

#include "platform/gfx/fontengine.h"
#include "platform/gfx/graphic.h"
#include "platform/rtl/exceptions.h"

namespace tw {

namespace {

void SetColor(cairo_t* cr, TColor color) {
  TColor c = ColorToRGB(color);
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

const cairo_font_options_t* TextOptions() {
  static cairo_font_options_t* options = [] {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    return o;
  }();
  return options;
}

// The pixels of a straight one-pixel line from its start up to, not including, its end point;
// false for a diagonal line or one of no length.
bool StraightPixels(int x0, int y0, int x1, int y1, TRect& r) {
  if ((x0 == x1) == (y0 == y1)) return false;
  if (y0 == y1) {
    const int a = std::min(x0, x1 + (x1 < x0 ? 1 : 0)), b = std::max(x0 + 1, x1 + (x1 < x0 ? 1 : 0));
    r = TRect{a, y0, b, y0 + 1};
  } else {
    const int a = std::min(y0, y1 + (y1 < y0 ? 1 : 0)), b = std::max(y0 + 1, y1 + (y1 < y0 ? 1 : 0));
    r = TRect{x0, a, x0 + 1, b};
  }
  return true;
}

// On/off lengths of the one-pixel pen styles, in pixels.
const std::vector<int>& DashPattern(TPenStyle style) {
  static const std::vector<int> solid, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3};
  switch (style) {
    case TPenStyle::psDash: return dash;
    case TPenStyle::psDot: return dot;
    case TPenStyle::psDashDot: return dashDot;
    case TPenStyle::psDashDotDot: return dashDotDot;
    default: return solid;
  }
}

// Adds the pixels of one-pixel lines to the path: each segment from its start up to, not
// including, its end point; the dash pattern runs on across segments.
class PixelLine {
 public:
  PixelLine(cairo_t* cr, const std::vector<int>& pattern) : cr_(cr), pattern_(pattern) {}

  void Segment(int x0, int y0, int x1, int y1) {
    if (pattern_.empty() && (x0 == x1 || y0 == y1)) {  // fast path for straight solid lines
      TRect r;
      if (StraightPixels(x0, y0, x1, y1, r)) cairo_rectangle(cr_, r.Left, r.Top, r.Width(), r.Height());
      return;
    }
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
      Plot(x, y);
      int e2 = 2 * err;
      if (e2 >= dy) { err += dy; x += sx; }
      if (e2 <= dx) { err += dx; y += sy; }
    }
  }

  void Plot(int x, int y) {
    bool on = true;
    if (!pattern_.empty()) {
      on = (index_ % 2) == 0;
      if (++count_ >= pattern_[index_]) {
        count_ = 0;
        index_ = (index_ + 1) % pattern_.size();
      }
    }
    if (on) cairo_rectangle(cr_, x, y, 1, 1);
  }

 private:
  cairo_t* cr_;
  const std::vector<int>& pattern_;
  std::size_t index_ = 0;
  int count_ = 0;
};

class Saved {
 public:
  explicit Saved(cairo_t* cr) : cr_(cr) { cairo_save(cr_); cairo_new_path(cr_); }
  ~Saved() { cairo_restore(cr_); }
  Saved(const Saved&) = delete;
  Saved& operator=(const Saved&) = delete;

 private:
  cairo_t* cr_;
};

const gfxdetail::SizedFont& SizedOf(const TFont* font) { return font->Sized(); }

// The clip of one drawing step that makes several fills and glyph runs under one clip and
// transform (a text run's cell and its glyphs): WholePixelPieces reads it from cairo once.
struct TClipMemo {
  cairo_t* cr = nullptr;
  bool known = false, ok = false;
  int dx = 0, dy = 0;
  std::vector<TRect> clips;  // user space
};
thread_local TClipMemo* clipMemo = nullptr;

class TClipScope {
 public:
  explicit TClipScope(cairo_t* cr) : previous_(clipMemo) {
    memo_.cr = cr;
    clipMemo = &memo_;
  }
  ~TClipScope() { clipMemo = previous_; }
  TClipScope(const TClipScope&) = delete;
  TClipScope& operator=(const TClipScope&) = delete;

 private:
  TClipMemo memo_;
  TClipMemo* previous_;
};

// The clip rectangles and shift WholePixelPieces works with; false as there.
bool ReadWholePixelClip(cairo_t* cr, TClipMemo& out) {
  cairo_surface_t* target = cairo_get_target(cr);
  if (cairo_get_group_target(cr) != target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xx != 1 || m.yy != 1 || m.xy != 0 || m.yx != 0 || m.x0 != std::floor(m.x0) || m.y0 != std::floor(m.y0) ||
      std::fabs(m.x0) > 1e6 || std::fabs(m.y0) > 1e6)
    return false;
  double ox = 0, oy = 0, sx = 1, sy = 1;
  cairo_surface_get_device_offset(target, &ox, &oy);
  cairo_surface_get_device_scale(target, &sx, &sy);
  if (ox != 0 || oy != 0 || sx != 1 || sy != 1) return false;
  cairo_rectangle_list_t* clips = cairo_copy_clip_rectangle_list(cr);
  struct TListEnd {
    cairo_rectangle_list_t* list;
    ~TListEnd() { cairo_rectangle_list_destroy(list); }
  } end{clips};
  if (clips->status != CAIRO_STATUS_SUCCESS) return false;
  out.clips.clear();
  for (int i = 0; i < clips->num_rectangles; ++i) {
    const cairo_rectangle_t& c = clips->rectangles[i];
    if (c.x != std::floor(c.x) || c.y != std::floor(c.y) || c.width != std::floor(c.width) ||
        c.height != std::floor(c.height) || std::fabs(c.x) > 1e8 || std::fabs(c.y) > 1e8 || c.width > 1e8 ||
        c.height > 1e8)
      return false;
    out.clips.push_back(TRect{static_cast<int>(c.x), static_cast<int>(c.y), static_cast<int>(c.x + c.width),
                              static_cast<int>(c.y + c.height)});
  }
  out.dx = static_cast<int>(m.x0);
  out.dy = static_cast<int>(m.y0);
  return true;
}

// The device rectangles a fill or copy of `r` (user space) touches on the image surface a
// context draws on directly (inside the surface, under the clip; the clip's rectangles do not
// overlap, so each pixel once), and the context's shift; false where cairo's own drawing could
// do something else than put whole pixels at those places: a group, a transform other than a
// shift by whole pixels, a device offset or scale, no clip or one not made of whole-pixel
// rectangles.
bool WholePixelPieces(cairo_t* cr, const TRect& r, std::vector<TRect>& pieces, int& dx, int& dy) {
  TClipMemo local;
  TClipMemo& clip = clipMemo != nullptr && clipMemo->cr == cr ? *clipMemo : local;
  if (!clip.known) {
    clip.ok = ReadWholePixelClip(cr, clip);
    clip.known = true;
  }
  if (!clip.ok) return false;
  dx = clip.dx;
  dy = clip.dy;
  cairo_surface_t* target = cairo_get_target(cr);
  const int width = cairo_image_surface_get_width(target), height = cairo_image_surface_get_height(target);
  pieces.clear();
  for (const TRect& c : clip.clips) {
    const int left = std::max(r.Left, c.Left) + dx, right = std::min(r.Right, c.Right) + dx;
    const int top = std::max(r.Top, c.Top) + dy, bottom = std::min(r.Bottom, c.Bottom) + dy;
    const TRect piece{std::max(left, 0), std::max(top, 0), std::min(right, width), std::min(bottom, height)};
    if (piece.Left < piece.Right && piece.Top < piece.Bottom) pieces.push_back(piece);
  }
  return true;
}

// Copies the pixels of `from` (an image surface, `fromX`/`fromY` its device place of the
// rectangle's top-left) into `dest` (user space) unscaled, straight from row to row: the bytes
// cairo's copy gives, where a copy by cairo could give nothing else (see WholePixelPieces; the
// source wholly inside its surface, an ARGB32 source or formats alike).
bool CopyDirect(cairo_t* cr, const TRect& dest, cairo_surface_t* from, double fromX, double fromY) {
  cairo_surface_t* target = cairo_get_target(cr);
  if (from == target || cairo_surface_get_type(from) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  if (fromX != std::floor(fromX) || fromY != std::floor(fromY) || std::fabs(fromX) > 1e6 || std::fabs(fromY) > 1e6)
    return false;
  const cairo_format_t in = cairo_image_surface_get_format(from), out = cairo_image_surface_get_format(target);
  if (!(in == out || (in == CAIRO_FORMAT_ARGB32 && out == CAIRO_FORMAT_RGB24)) ||
      (in != CAIRO_FORMAT_ARGB32 && in != CAIRO_FORMAT_RGB24))
    return false;
  double ox = 0, oy = 0, sx = 1, sy = 1;
  cairo_surface_get_device_offset(from, &ox, &oy);
  cairo_surface_get_device_scale(from, &sx, &sy);
  if (ox != 0 || oy != 0 || sx != 1 || sy != 1) return false;
  int dx = 0, dy = 0;
  std::vector<TRect> pieces;
  if (!WholePixelPieces(cr, dest, pieces, dx, dy)) return false;
  // Device place in the source of a device place in the target.
  const int shiftX = static_cast<int>(fromX) - (dest.Left + dx), shiftY = static_cast<int>(fromY) - (dest.Top + dy);
  const int fromWidth = cairo_image_surface_get_width(from), fromHeight = cairo_image_surface_get_height(from);
  for (const TRect& p : pieces)
    if (p.Left + shiftX < 0 || p.Top + shiftY < 0 || p.Right + shiftX > fromWidth || p.Bottom + shiftY > fromHeight)
      return false;  // outside the source cairo reads nothing there
  cairo_surface_flush(from);
  cairo_surface_flush(target);
  const unsigned char* src = cairo_image_surface_get_data(from);
  unsigned char* dst = cairo_image_surface_get_data(target);
  if (src == nullptr || dst == nullptr) return false;
  const int srcStride = cairo_image_surface_get_stride(from), dstStride = cairo_image_surface_get_stride(target);
  for (const TRect& p : pieces) {
    for (int y = p.Top; y < p.Bottom; ++y)
      std::memcpy(dst + static_cast<std::ptrdiff_t>(y) * dstStride + static_cast<std::ptrdiff_t>(p.Left) * 4,
                  src + static_cast<std::ptrdiff_t>(y + shiftY) * srcStride + static_cast<std::ptrdiff_t>(p.Left + shiftX) * 4,
                  static_cast<std::size_t>(p.Width()) * 4);
    cairo_surface_mark_dirty_rectangle(target, p.Left, p.Top, p.Width(), p.Height());
  }
  return true;
}

// Fills the rectangle (user space, whole pixels) with an opaque colour straight into the pixels
// of an image target: the pixels cairo's own fill would give, without its path, clip and
// compositor set-up, which cost more than the filling itself for the many small rectangles of
// text backgrounds.  Only where nothing could make cairo's result differ: an ARGB32 image drawn
// on directly (no group), over or source, a shift by whole pixels, a clip made of whole-pixel
// rectangles.  False leaves the fill to cairo.
bool FillOpaqueDirect(cairo_t* cr, const TRect& r, TColor color) {
  cairo_surface_t* target = cairo_get_target(cr);
  if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
      cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
    return false;
  const cairo_operator_t op = cairo_get_operator(cr);
  if (op != CAIRO_OPERATOR_OVER && op != CAIRO_OPERATOR_SOURCE) return false;
  int dx = 0, dy = 0;
  thread_local std::vector<TRect> pieces;
  if (!WholePixelPieces(cr, r, pieces, dx, dy)) return false;
  const TColor rgb = ColorToRGB(color);
  const auto channel = [](int v) { return static_cast<std::uint32_t>(v) & 0xFFu; };
  const std::uint32_t pixel =
      0xFF000000u | (channel(GetRValue(rgb)) << 16) | (channel(GetGValue(rgb)) << 8) | channel(GetBValue(rgb));
  cairo_surface_flush(target);
  unsigned char* data = cairo_image_surface_get_data(target);
  const int stride = cairo_image_surface_get_stride(target);
  if (data == nullptr) return false;
  // The C library's wide-character fill writes 32-bit values with the widest stores the
  // processor has.
  static_assert(sizeof(wchar_t) == sizeof(std::uint32_t));
  for (const TRect& p : pieces) {
    for (int y = p.Top; y < p.Bottom; ++y) {
      auto* row = reinterpret_cast<wchar_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      std::wmemset(row + p.Left, static_cast<wchar_t>(pixel), static_cast<std::size_t>(p.Width()));
    }
    cairo_surface_mark_dirty_rectangle(target, p.Left, p.Top, p.Width(), p.Height());
  }
  return true;
}


// --- Text drawn straight into the pixels
//
// cairo draws a glyph run on an image surface by putting each glyph's coverage mask (taken from
// its rasteriser at whole-pixel positions) over the target with the text colour; where the ink
// boxes of a run overlap, it first adds the masks of the whole run (saturating at 255) and puts
// the sum over the target once.  For the many short runs of a text view the set-up of that work
// (font, pattern, compositor, clip) costs as much as the pixels.  The same arithmetic done here,
// with the masks taken from cairo itself once per font and code, gives the same pixels; anything
// outside the plain case (a transform other than a whole-pixel shift, a group, a clip that is no
// set of whole-pixel rectangles, another operator or format, a glyph far outside the clip) is
// left to cairo.

std::atomic<bool> directGlyphs{true};
std::atomic<std::uint64_t> directGlyphRuns{0};
std::mutex glyphMaskMutex;

// cairo's fixed-point value of a length (24.8, rounded to the nearest, halves to even).
std::int64_t ToFixed(double v) { return static_cast<std::int64_t>(std::nearbyint(v * 256.0)); }

void SetTextFont(cairo_t* cr, const gfxdetail::SizedFont& f) {
  cairo_set_font_face(cr, f.face);
  cairo_set_font_size(cr, f.emSize);
  cairo_set_font_options(cr, TextOptions());
}

// The glyph as cairo draws it: its ink box from cairo's metrics and its coverage, drawn alone
// onto an empty alpha surface (where the coverage is the pixel's value) with room around it.
std::unique_ptr<gfxdetail::GlyphMask> MakeGlyphMask(const gfxdetail::SizedFont& f, unsigned long index) {
  auto mask = std::make_unique<gfxdetail::GlyphMask>();
  cairo_glyph_t glyph{index, 0.0, 0.0};
  cairo_text_extents_t e{};
  {
    cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(probe);
    SetTextFont(cr, f);
    cairo_glyph_extents(cr, &glyph, 1, &e);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_destroy(probe);
    if (!ok) return mask;
  }
  for (double v : {e.x_bearing, e.y_bearing, e.width, e.height})
    if (!std::isfinite(v) || std::fabs(v) > 2048) return mask;
  mask->inkLeft = ToFixed(e.x_bearing);
  mask->inkTop = ToFixed(e.y_bearing);
  mask->inkRight = ToFixed(e.x_bearing + e.width);
  mask->inkBottom = ToFixed(e.y_bearing + e.height);
  const int pad = 4 + static_cast<int>(std::ceil(f.emSize / 2));
  const int ox = pad - static_cast<int>(std::floor(e.x_bearing)), oy = pad - static_cast<int>(std::floor(e.y_bearing));
  const int w = static_cast<int>(std::ceil(e.width)) + 2 * pad + 2, h = static_cast<int>(std::ceil(e.height)) + 2 * pad + 2;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t* cr = cairo_create(s);
  SetTextFont(cr, f);
  cairo_set_source_rgb(cr, 0, 0, 0);
  glyph.x = ox;
  glyph.y = oy;
  cairo_show_glyphs(cr, &glyph, 1);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  int x0 = w, y0 = h, x1 = 0, y1 = 0;
  if (ok && data != nullptr)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (data[static_cast<std::ptrdiff_t>(y) * stride + x] != 0) {
          x0 = std::min(x0, x);
          y0 = std::min(y0, y);
          x1 = std::max(x1, x + 1);
          y1 = std::max(y1, y + 1);
        }
  // Ink at the edge of the surface may go on beyond it: such a glyph stays with cairo.
  if (ok && data != nullptr && !(x0 < x1 && (x0 == 0 || y0 == 0 || x1 == w || y1 == h))) {
    if (x0 < x1) {
      mask->left = x0 - ox;
      mask->top = y0 - oy;
      mask->width = x1 - x0;
      mask->height = y1 - y0;
      mask->stride = (mask->width + 7 + 15) / 16 * 16;
      mask->alpha.assign(static_cast<std::size_t>(mask->stride) * static_cast<std::size_t>(mask->height), 0);
      for (int y = y0; y < y1; ++y)
        std::memcpy(mask->alpha.data() + static_cast<std::size_t>(y - y0) * static_cast<std::size_t>(mask->stride),
                    data + static_cast<std::ptrdiff_t>(y) * stride + x0, static_cast<std::size_t>(mask->width));
    }
    mask->direct = true;
  }
  cairo_surface_destroy(s);
  return mask;
}

// The four 8-bit channels of `x` times `a` / 255, rounded as the compositor rounds.
inline std::uint32_t MulChannels(std::uint32_t x, std::uint32_t a) {
  std::uint32_t t = (x & 0xFF00FFu) * a + 0x800080u;
  t = ((t + ((t >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
  x = ((x >> 8) & 0xFF00FFu) * a + 0x800080u;
  x = (x + ((x >> 8) & 0xFF00FFu)) & 0xFF00FF00u;
  return x + t;
}

// The opaque colour `pixel` put over `n` pixels through their coverage.  `in` holds the colour
// times each coverage; the sum never passes 255 in a channel, so it needs no saturation.  With
// SSE2, four pixels at a time by the same arithmetic (a coverage of 0 gives the pixel back, one
// of 255 the colour).
inline void CoverRow(std::uint32_t* d, const std::uint8_t* m, int n, std::uint32_t pixel, const std::uint32_t* in) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i colour = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(pixel)), zero);
  const __m128i half = _mm_set1_epi16(0x80), by257 = _mm_set1_epi16(0x101), ones = _mm_set1_epi8(-1);
  const auto mul = [&](__m128i a, __m128i b) { return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(a, b), half), by257); };
  for (; i + 4 <= n; i += 4) {
    std::uint32_t w;
    std::memcpy(&w, m + i, 4);
    if (w == 0) continue;
    if (w == 0xFFFFFFFFu) {
      d[i] = d[i + 1] = d[i + 2] = d[i + 3] = pixel;
      continue;
    }
    __m128i cover = _mm_cvtsi32_si128(static_cast<int>(w));
    cover = _mm_unpacklo_epi8(cover, cover);
    cover = _mm_unpacklo_epi16(cover, cover);  // each coverage in the four channels of its pixel
    const __m128i rest = _mm_xor_si128(cover, ones);
    const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i lo = _mm_add_epi16(mul(colour, _mm_unpacklo_epi8(cover, zero)),
                                     mul(_mm_unpacklo_epi8(dst, zero), _mm_unpacklo_epi8(rest, zero)));
    const __m128i hi = _mm_add_epi16(mul(colour, _mm_unpackhi_epi8(cover, zero)),
                                     mul(_mm_unpackhi_epi8(dst, zero), _mm_unpackhi_epi8(rest, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) {
    const std::uint32_t a = m[i];
    if (a == 0) continue;
    d[i] = a == 255 ? pixel : in[a] + MulChannels(d[i], 255 - a);
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TW_HAVE_AVX2_COVER 1
// a times b / 255 in each 16-bit lane, rounded as the compositor rounds.
__attribute__((target("avx2"), always_inline)) inline __m256i MulLanesAvx2(__m256i a, __m256i b) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(0x80)),
                            _mm256_set1_epi16(0x101));
}

// CoverRow eight pixels at a time, for processors with AVX2 (the same arithmetic).
__attribute__((target("avx2"))) void CoverRowAvx2(std::uint32_t* d, const std::uint8_t* m, int n, std::uint32_t pixel,
                                                  const std::uint32_t* in) {
  int i = 0;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i colour = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(pixel)), zero);
  const __m256i ones = _mm256_set1_epi8(-1);
  const __m256i solid = _mm256_set1_epi32(static_cast<int>(pixel));
  // Each of the eight coverages into the four channels of its pixel.
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3,
                                          4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, m + i, 8);
    if (w == 0) continue;
    if (w == ~std::uint64_t{0}) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), solid);
      continue;
    }
    const __m256i cover = _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<long long>(w)), spread);
    const __m256i rest = _mm256_xor_si256(cover, ones);
    const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    const __m256i lo =
        _mm256_add_epi16(MulLanesAvx2(colour, _mm256_unpacklo_epi8(cover, zero)),
                         MulLanesAvx2(_mm256_unpacklo_epi8(dst, zero), _mm256_unpacklo_epi8(rest, zero)));
    const __m256i hi =
        _mm256_add_epi16(MulLanesAvx2(colour, _mm256_unpackhi_epi8(cover, zero)),
                         MulLanesAvx2(_mm256_unpackhi_epi8(dst, zero), _mm256_unpackhi_epi8(rest, zero)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_packus_epi16(lo, hi));
  }
  CoverRow(d + i, m + i, n - i, pixel, in);
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

// Adds `n` coverages into `to`, saturating at 255; both may be read and written up to the next
// multiple of 16 (rows padded with zeros).
inline void AddCoverage(std::uint8_t* to, const std::uint8_t* from, int n) {
#if defined(__SSE2__)
  for (int x = 0; x < n; x += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), _mm_adds_epu8(a, b));
  }
#else
  for (int x = 0; x < n; ++x) to[x] = static_cast<std::uint8_t>(std::min(255, to[x] + from[x]));
#endif
}

struct TPlacedGlyph {
  const gfxdetail::GlyphMask* mask;
  int x, y;  // origin, user space
};

// Draws the glyphs as cairo_show_glyphs would (see above); false where that cannot be promised,
// with nothing drawn.
bool ShowGlyphsDirect(cairo_t* cr, const gfxdetail::SizedFont& f, const cairo_glyph_t* glyphs, const unsigned char* codes,
                      int n, TColor color) {
  if (n <= 0 || f.face == nullptr || f.emSize > 512 || cairo_get_operator(cr) != CAIRO_OPERATOR_OVER) return false;
  cairo_surface_t* target = cairo_get_target(cr);
  if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
      cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
    return false;
  std::lock_guard lock(glyphMaskMutex);
  thread_local std::vector<TPlacedGlyph> placed;
  placed.clear();
  TRect run{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int i = 0; i < n; ++i) {
    const double gx = glyphs[i].x, gy = glyphs[i].y;
    if (gx != std::floor(gx) || gy != std::floor(gy) || std::fabs(gx) > 1e6 || std::fabs(gy) > 1e6) return false;
    auto& slot = f.masks[codes[i]];
    if (!slot) slot = MakeGlyphMask(f, glyphs[i].index);
    if (!slot->direct) return false;
    const TPlacedGlyph g{slot.get(), static_cast<int>(gx), static_cast<int>(gy)};
    placed.push_back(g);
    if (g.mask->width == 0) continue;
    run.Left = std::min(run.Left, g.x + g.mask->left);
    run.Top = std::min(run.Top, g.y + g.mask->top);
    run.Right = std::max(run.Right, g.x + g.mask->left + g.mask->width);
    run.Bottom = std::max(run.Bottom, g.y + g.mask->top + g.mask->height);
  }
  if (run.Left >= run.Right) return true;  // no glyph has ink
  int dx = 0, dy = 0;
  thread_local std::vector<TRect> pieces;
  if (!WholePixelPieces(cr, run, pieces, dx, dy)) return false;
  // cairo leaves out glyphs whose origin lies more than ten ems outside the clip; such a run
  // stays with it, since leaving them out may change how the rest is put together.
  double cx1 = 0, cy1 = 0, cx2 = 0, cy2 = 0;
  cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
  const double margin = 9 * std::max(1.0, f.emSize);
  for (const TPlacedGlyph& g : placed)
    if (g.x < cx1 - margin || g.x > cx2 + margin || g.y < cy1 - margin || g.y > cy2 + margin) return false;
  if (pieces.empty()) return true;
  // Whether any glyph's ink box reaches into the box of those before it (cairo's test).
  bool overlap = false;
  std::int64_t bx1 = INT64_MAX, by1 = INT64_MAX, bx2 = INT64_MIN, by2 = INT64_MIN;
  for (const TPlacedGlyph& g : placed) {
    const std::int64_t x1 = std::int64_t{g.x} * 256 + g.mask->inkLeft, x2 = std::int64_t{g.x} * 256 + g.mask->inkRight;
    const std::int64_t y1 = std::int64_t{g.y} * 256 + g.mask->inkTop, y2 = std::int64_t{g.y} * 256 + g.mask->inkBottom;
    if (!overlap && x1 != x2 && y1 != y2 && x2 > bx1 && x1 < bx2 && y2 > by1 && y1 < by2) overlap = true;
    bx1 = std::min(bx1, x1);
    by1 = std::min(by1, y1);
    bx2 = std::max(bx2, x2);
    by2 = std::max(by2, y2);
  }
  const TColor rgb = ColorToRGB(color);
  const std::uint32_t pixel = 0xFF000000u | ((static_cast<std::uint32_t>(GetRValue(rgb)) & 0xFFu) << 16) |
                              ((static_cast<std::uint32_t>(GetGValue(rgb)) & 0xFFu) << 8) |
                              (static_cast<std::uint32_t>(GetBValue(rgb)) & 0xFFu);
  static thread_local std::uint32_t inPixel = 0;
  static thread_local std::array<std::uint32_t, 256> in{};
  if (inPixel != pixel || in[255] != pixel) {
    for (std::uint32_t a = 0; a < 256; ++a) in[a] = MulChannels(pixel, a);
    inPixel = pixel;
  }
  cairo_surface_flush(target);
  unsigned char* data = cairo_image_surface_get_data(target);
  if (data == nullptr) return false;
  const int stride = cairo_image_surface_get_stride(target);
  const auto row = [&](int y) { return reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride); };
  const int surfaceWidth = cairo_image_surface_get_width(target);
  auto coverRow = &CoverRow;
#if defined(TW_HAVE_AVX2_COVER)
  if (HaveAvx2()) coverRow = &CoverRowAvx2;
#endif
  // Puts `m` (w x h, rows `stride` apart with at least 7 zeros after each, its top-left at device
  // place left/top) over the target inside the pieces.  A row is taken up to a multiple of 8
  // where the surface goes on: the zeros there give every pixel back as it was.
  const auto cover = [&](const std::uint8_t* m, int stride, int left, int top, int w, int h) {
    for (const TRect& p : pieces) {
      const int l = std::max(left, p.Left), r = std::min(left + w, p.Right);
      const int t = std::max(top, p.Top), b = std::min(top + h, p.Bottom);
      if (l >= r) continue;
      const int whole = (r - l + 7) / 8 * 8, n = l + whole <= surfaceWidth && r == left + w ? whole : r - l;
      for (int y = t; y < b; ++y)
        coverRow(row(y) + l, m + static_cast<std::ptrdiff_t>(y - top) * stride + (l - left), n, pixel, in.data());
    }
  };
  if (!overlap) {
    for (const TPlacedGlyph& g : placed)
      if (g.mask->width > 0)
        cover(g.mask->alpha.data(), g.mask->stride, g.x + dx + g.mask->left, g.y + dy + g.mask->top, g.mask->width,
              g.mask->height);
  } else {
    // The sum of the run's coverages; its rows have room for the padded rows of the masks.
    const int w = run.Width(), h = run.Height(), stride = w + 16;
    thread_local std::vector<std::uint8_t> sum;
    sum.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), 0);
    for (const TPlacedGlyph& g : placed)
      for (int y = 0; y < g.mask->height; ++y)
        AddCoverage(sum.data() + static_cast<std::ptrdiff_t>(g.y + g.mask->top - run.Top + y) * stride +
                        (g.x + g.mask->left - run.Left),
                    g.mask->alpha.data() + static_cast<std::ptrdiff_t>(y) * g.mask->stride, g.mask->width);
    cover(sum.data(), stride, run.Left + dx, run.Top + dy, w, h);
  }
  for (const TRect& p : pieces) cairo_surface_mark_dirty_rectangle(target, p.Left, p.Top, p.Width(), p.Height());
  directGlyphRuns.fetch_add(1, std::memory_order_relaxed);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pen and brush

void TPen::Assign(const TPersistent* source) {
  if (auto* p = dynamic_cast<const TPen*>(source)) {
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}
void TPen::SetColor(TColor color) { if (color != color_) { color_ = color; Changed(); } }
void TPen::SetWidth(int width) {
  width = std::max(1, width);
  if (width != width_) { width_ = width; Changed(); }
}
void TPen::SetStyle(TPenStyle style) { if (style != style_) { style_ = style; Changed(); } }
void TPen::SetMode(TPenMode mode) { if (mode != mode_) { mode_ = mode; Changed(); } }
void TPen::Changed() { if (OnChange) OnChange(this); }

void TBrush::Assign(const TPersistent* source) {
  if (auto* b = dynamic_cast<const TBrush*>(source)) {
    color_ = b->color_;
    style_ = b->style_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}
void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != TBrushStyle::bsClear) return;
  color_ = color;
  if (style_ == TBrushStyle::bsClear) style_ = TBrushStyle::bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle style) { if (style != style_) { style_ = style; Changed(); } }
void TBrush::Changed() { if (OnChange) OnChange(this); }

// ---------------------------------------------------------------------------------------------
// Canvas

struct TCanvas::LockState {
  std::recursive_mutex mutex;
};

TCanvas::TCanvas()
    : pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()), font_(std::make_unique<TFont>()),
      lock_(std::make_unique<LockState>()) {}

TCanvas::~TCanvas() = default;

void TCanvas::SetHandle(HDC dc) {
  if (dc == handle_) return;
  Changing();
  handle_ = dc;
  if (dc != 0) {
    int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    if (ppi > 0) font_->SetPixelsPerInch(ppi);
  }
  Changed();
}

void TCanvas::CreateHandle() { throw EInvalidOperation("Canvas does not allow drawing"); }

void TCanvas::RequireHandle() {
  if (handle_ == 0 || !IsDC(handle_)) {
    handle_ = 0;
    CreateHandle();
  }
}

cairo_t* TCanvas::Cairo() const {
  cairo_t* cr = DCCairo(handle_);
  if (cr == nullptr) {
    const_cast<TCanvas*>(this)->RequireHandle();
    cr = DCCairo(handle_);
    if (cr == nullptr) throw EInvalidOperation("Canvas does not allow drawing");
  }
  return cr;
}

void TCanvas::Changing() { if (OnChanging) OnChanging(this); }
void TCanvas::Changed() { if (OnChange) OnChange(this); }

// Source and operator of the pen's mode (pmNop is filtered out by the callers).
void TCanvas::ApplyPen(cairo_t* cr) const {
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  switch (pen_->Mode()) {
    case TPenMode::pmBlack: SetColor(cr, clBlack); break;
    case TPenMode::pmWhite: SetColor(cr, clWhite); break;
    case TPenMode::pmNot:
    case TPenMode::pmXor:
    case TPenMode::pmNotXor:
      cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
      SetColor(cr, clWhite);
      break;
    case TPenMode::pmNotCopy: SetColor(cr, ~ColorToRGB(pen_->Color()) & 0xFFFFFF); break;
    default: SetColor(cr, pen_->Color()); break;
  }
}

void TCanvas::FillBrushPath(cairo_t* cr) const {
  if (brush_->Style() == TBrushStyle::bsClear) return;
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  SetColor(cr, brush_->Color());
  if (brush_->Style() != TBrushStyle::bsSolid) {
    // Hatch: an 8 x 8 tile of lines in the brush colour over what is there.
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* t = cairo_create(tile);
    SetColor(t, brush_->Color());
    for (int i = 0; i < 8; ++i) {
      switch (brush_->Style()) {
        case TBrushStyle::bsHorizontal: cairo_rectangle(t, i, 7, 1, 1); break;
        case TBrushStyle::bsVertical: cairo_rectangle(t, 7, i, 1, 1); break;
        case TBrushStyle::bsFDiagonal: cairo_rectangle(t, i, i, 1, 1); break;
        case TBrushStyle::bsBDiagonal: cairo_rectangle(t, 7 - i, i, 1, 1); break;
        case TBrushStyle::bsCross: cairo_rectangle(t, i, 7, 1, 1); cairo_rectangle(t, 7, i, 1, 1); break;
        default: cairo_rectangle(t, i, i, 1, 1); cairo_rectangle(t, 7 - i, i, 1, 1); break;
      }
    }
    cairo_fill(t);
    cairo_destroy(t);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(tile);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    cairo_surface_destroy(tile);
  }
  cairo_fill_preserve(cr);
}

void TCanvas::StrokePenPath(cairo_t* cr) const {
  ApplyPen(cr);
  cairo_set_line_width(cr, pen_->Width());
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

TPoint TCanvas::PenPos() const {
  TPoint p;
  GetCurrentPositionEx(handle_, &p);
  return p;
}

void TCanvas::MoveTo(int x, int y) {
  RequireHandle();
  MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  TPoint from = PenPos();
  TPoint pts[2] = {from, {x, y}};
  Polyline(pts, 2);
  MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (count < 2) return;
  cairo_t* cr = Cairo();
  if (pen_->Style() == TPenStyle::psClear || pen_->Mode() == TPenMode::pmNop) return;
  Changing();
  // One straight solid line of one pixel in a plain colour (an underline, a rule): its pixels
  // are filled directly where they can be.
  const TPenMode mode = pen_->Mode();
  TRect straight;
  if (count == 2 && pen_->Width() <= 1 && DashPattern(pen_->Style()).empty() && mode != TPenMode::pmNot &&
      mode != TPenMode::pmXor && mode != TPenMode::pmNotXor &&
      StraightPixels(points[0].X, points[0].Y, points[1].X, points[1].Y, straight)) {
    const TColor color = mode == TPenMode::pmBlack   ? clBlack
                         : mode == TPenMode::pmWhite ? clWhite
                         : mode == TPenMode::pmNotCopy ? static_cast<TColor>(~ColorToRGB(pen_->Color()) & 0xFFFFFF)
                                                       : pen_->Color();
    if (FillOpaqueDirect(cr, straight, color)) {
      cairo_new_path(cr);  // no path left behind, as after cairo's fill
      Changed();
      return;
    }
  }
  Saved saved(cr);
  if (pen_->Width() <= 1) {
    PixelLine line(cr, DashPattern(pen_->Style()));
    for (int i = 0; i + 1 < count; ++i) line.Segment(points[i].X, points[i].Y, points[i + 1].X, points[i + 1].Y);
    ApplyPen(cr);
    cairo_fill(cr);
  } else {
    cairo_move_to(cr, points[0].X + 0.5, points[0].Y + 0.5);
    for (int i = 1; i < count; ++i) cairo_line_to(cr, points[i].X + 0.5, points[i].Y + 0.5);
    StrokePenPath(cr);
  }
  Changed();
}

void TCanvas::Polygon(const TPoint* points, int count) {
  if (count < 2) return;
  cairo_t* cr = Cairo();
  Changing();
  {
    Saved saved(cr);
    cairo_move_to(cr, points[0].X + 0.5, points[0].Y + 0.5);
    for (int i = 1; i < count; ++i) cairo_line_to(cr, points[i].X + 0.5, points[i].Y + 0.5);
    cairo_close_path(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    FillBrushPath(cr);
  }
  std::vector<TPoint> closed(points, points + count);
  closed.push_back(points[0]);
  Polyline(closed.data(), static_cast<int>(closed.size()));
  Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  cairo_t* cr = Cairo();
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  Changing();
  bool pen = pen_->Style() != TPenStyle::psClear && pen_->Mode() != TPenMode::pmNop;
  int w = pen ? pen_->Width() : 0;
  {
    Saved saved(cr);
    if (pen)
      cairo_rectangle(cr, left + w, top + w, right - left - 2 * w, bottom - top - 2 * w);
    else  // without a pen the rectangle is one pixel smaller, as the window system draws it
      cairo_rectangle(cr, left, top, right - left - 1, bottom - top - 1);
    FillBrushPath(cr);
  }
  if (pen && right - left > 0 && bottom - top > 0) {
    Saved saved(cr);
    if (w <= 1) {
      TPoint pts[5] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}, {left, top}};
      PixelLine line(cr, DashPattern(pen_->Style()));
      for (int i = 0; i < 4; ++i) line.Segment(pts[i].X, pts[i].Y, pts[i + 1].X, pts[i + 1].Y);
      if (right - left == 1 || bottom - top == 1) cairo_rectangle(cr, left, top, right - left, bottom - top);
      ApplyPen(cr);
      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
      cairo_fill(cr);
    } else {  // a wide pen lies inside the rectangle
      cairo_rectangle(cr, left + w / 2.0, top + w / 2.0, right - left - w, bottom - top - w);
      ApplyPen(cr);
      cairo_set_line_width(cr, w);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
      cairo_stroke(cr);
    }
  }
  Changed();
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
  cairo_t* cr = Cairo();
  Changing();
  Saved saved(cr);
  double rx = std::min(cornerWidth / 2.0, (right - left) / 2.0), ry = std::min(cornerHeight / 2.0, (bottom - top) / 2.0);
  double l = left + 0.5, t = top + 0.5, r = right - 0.5, b = bottom - 0.5;
  cairo_new_path(cr);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, l, t, r - l, b - t);
  } else {
    auto corner = [cr, rx, ry](double cx, double cy, double a1, double a2) {
      cairo_save(cr);
      cairo_translate(cr, cx, cy);
      cairo_scale(cr, rx, ry);
      cairo_arc(cr, 0, 0, 1, a1, a2);
      cairo_restore(cr);
    };
    corner(r - rx, t + ry, -M_PI / 2, 0);
    corner(r - rx, b - ry, 0, M_PI / 2);
    corner(l + rx, b - ry, M_PI / 2, M_PI);
    corner(l + rx, t + ry, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
  }
  FillBrushPath(cr);
  if (pen_->Style() != TPenStyle::psClear) StrokePenPath(cr);
  cairo_new_path(cr);
  Changed();
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
  cairo_t* cr = Cairo();
  if (right - left < 1 || bottom - top < 1) return;
  Changing();
  Saved saved(cr);
  double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
  double rx = std::max(0.5, (right - left - 1) / 2.0), ry = std::max(0.5, (bottom - top - 1) / 2.0);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  FillBrushPath(cr);
  if (pen_->Style() != TPenStyle::psClear && pen_->Mode() != TPenMode::pmNop) StrokePenPath(cr);
  cairo_new_path(cr);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  cairo_t* cr = Cairo();
  if (IsRectEmpty(r)) return;
  Changing();
  if (brush_->Style() == TBrushStyle::bsSolid && FillOpaqueDirect(cr, r, brush_->Color())) {
    // The rectangle stays the current path, as after cairo's fill.
    cairo_new_path(cr);
    cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
    Changed();
    return;
  }
  Saved saved(cr);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  FillBrushPath(cr);
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  cairo_t* cr = Cairo();
  if (IsRectEmpty(r) || brush_->Style() == TBrushStyle::bsClear) return;
  Changing();
  Saved saved(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_rectangle(cr, r.Left + 1, r.Top + 1, std::max(0, r.Width() - 2), std::max(0, r.Height() - 2));
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  SetColor(cr, brush_->Color());
  cairo_fill(cr);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  cairo_t* cr = Cairo();
  if (IsRectEmpty(r)) return;
  Changing();
  Saved saved(cr);
  // Every other pixel of the frame, each pixel once, inverted.
  const int w = r.Width(), h = r.Height();
  for (int x = 0; x < w; x += 2) cairo_rectangle(cr, r.Left + x, r.Top, 1, 1);
  if (h > 1)
    for (int x = (h - 1) % 2; x < w; x += 2) cairo_rectangle(cr, r.Left + x, r.Bottom - 1, 1, 1);
  for (int y = 2; y < h - 1; y += 2) cairo_rectangle(cr, r.Left, r.Top + y, 1, 1);
  if (w > 1)
    for (int y = (w - 1) % 2 == 0 ? 2 : 1; y < h - 1; y += 2) cairo_rectangle(cr, r.Right - 1, r.Top + y, 1, 1);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
  SetColor(cr, clWhite);
  cairo_fill(cr);
  Changed();
}

namespace {

// The image surface behind a context and the device position of a user-space point on it.
cairo_surface_t* ImageAt(cairo_t* cr, double& x, double& y) {
  cairo_surface_t* s = cairo_get_target(cr);
  if (cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE) return nullptr;
  cairo_user_to_device(cr, &x, &y);
  double ox = 0, oy = 0;
  cairo_surface_get_device_offset(s, &ox, &oy);
  x -= ox;
  y -= oy;
  return s;
}

TColor ReadPixel(cairo_surface_t* s, int x, int y) {
  if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(s) || y >= cairo_image_surface_get_height(s)) return clNone;
  cairo_surface_flush(s);
  const unsigned char* row = cairo_image_surface_get_data(s) + static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
  std::uint32_t v;
  std::memcpy(&v, row + 4 * x, 4);
  int a = (v >> 24) & 0xFF;
  int r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
  if (cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32 && a != 0 && a != 255) {
    r = r * 255 / a; g = g * 255 / a; b = b * 255 / a;
  }
  return RGB(r, g, b);
}

}  // namespace

TColor TCanvas::Pixel(int x, int y) const {
  cairo_t* cr = Cairo();
  double dx = x + 0.5, dy = y + 0.5;
  cairo_surface_t* s = ImageAt(cr, dx, dy);
  if (s == nullptr) return clNone;
  return ReadPixel(s, static_cast<int>(std::floor(dx)), static_cast<int>(std::floor(dy)));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  cairo_t* cr = Cairo();
  Changing();
  Saved saved(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_rectangle(cr, x, y, 1, 1);
  SetColor(cr, color);
  cairo_fill(cr);
  Changed();
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style) {
  cairo_t* cr = Cairo();
  double dx = x + 0.5, dy = y + 0.5;
  cairo_surface_t* s = ImageAt(cr, dx, dy);
  if (s == nullptr) return;
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  int sx = static_cast<int>(std::floor(dx)), sy = static_cast<int>(std::floor(dy));
  if (sx < 0 || sy < 0 || sx >= w || sy >= h) return;
  const int offX = sx - x, offY = sy - y;
  const TColor target = ColorToRGB(color);
  const TColor start = ReadPixel(s, sx, sy);
  auto inside = [&](int px, int py) {
    TColor c = ReadPixel(s, px, py);
    return style == TFillStyle::fsSurface ? c == target : c != target;
  };
  if (!inside(sx, sy)) return;
  (void)start;
  Changing();
  std::vector<char> seen(static_cast<std::size_t>(w) * h, 0);
  std::vector<std::pair<int, int>> stack{{sx, sy}};
  Saved saved(cr);
  while (!stack.empty()) {
    auto [px, py] = stack.back();
    stack.pop_back();
    if (px < 0 || py < 0 || px >= w || py >= h) continue;
    char& mark = seen[static_cast<std::size_t>(py) * w + px];
    if (mark || !inside(px, py)) continue;
    mark = 1;
    cairo_rectangle(cr, px - offX, py - offY, 1, 1);
    stack.push_back({px + 1, py});
    stack.push_back({px - 1, py});
    stack.push_back({px, py + 1});
    stack.push_back({px, py - 1});
  }
  FillBrushPath(cr);
  Changed();
}

// ---------------------------------------------------------------------------------------------
// Text

TTextMetric TCanvas::GetTextMetrics() const { return SizedOf(font_.get()).metrics; }

const TCharWidths& TCanvas::GetCharWidths() const { return SizedOf(font_.get()).widths; }

int TCanvas::TextWidth(std::string_view text) const {
  const TCharWidths& w = GetCharWidths();
  int sum = 0;
  for (char c : text) sum += w[static_cast<unsigned char>(c)];
  return sum;
}

int TCanvas::TextHeight(std::string_view) const { return GetTextMetrics().tmHeight; }

TSize TCanvas::TextExtent(std::string_view text) const { return {TextWidth(text), TextHeight(text)}; }

unsigned TCanvas::TextAlign() const { return GetTextAlign(handle_); }

unsigned TCanvas::SetTextAlign(unsigned align) {
  RequireHandle();
  return tw::SetTextAlign(handle_, align);
}

int TCanvas::AdvanceSum(std::string_view text, const int* dx) const {
  if (dx == nullptr) return TextWidth(text);
  int sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) sum += dx[i];
  return sum;
}

void TCanvas::DrawGlyphs(cairo_t* cr, double x, double baseline, std::string_view text, const int* dx,
                         int totalWidth) const {
  const gfxdetail::SizedFont& f = SizedOf(font_.get());
  const TFontStyles style = font_->Style();
  const bool lines = totalWidth > 0 && (style.Contains(TFontStyle::fsUnderline) || style.Contains(TFontStyle::fsStrikeOut));
  if (!lines && std::all_of(text.begin(), text.end(), [&](char c) { return f.blank[static_cast<unsigned char>(c)]; }))
    return;  // nothing but blanks: no pixel changes
  // cairo's state for text is set up only when cairo draws something.
  std::optional<Saved> saved;
  const auto prepare = [&] {
    if (saved) return;
    saved.emplace(cr);
    SetTextFont(cr, f);
    SetColor(cr, font_->Color());
  };
  const bool direct = directGlyphs.load(std::memory_order_relaxed);
  constexpr std::size_t kChunk = 256;
  cairo_glyph_t glyphs[kChunk];
  unsigned char codes[kChunk];
  const auto show = [&](std::size_t n) {
    if (direct && ShowGlyphsDirect(cr, f, glyphs, codes, static_cast<int>(n), font_->Color())) return;
    prepare();
    cairo_show_glyphs(cr, glyphs, static_cast<int>(n));
  };
  double pos = x;
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    const double at = pos;
    pos += dx ? dx[i] : f.widths[c];
    if (f.blank[c]) continue;  // no ink to draw
    glyphs[n].index = f.glyphs[c];
    glyphs[n].x = at;
    glyphs[n].y = baseline;
    codes[n] = c;
    ++n;
    if (n == kChunk) {
      show(n);
      n = 0;
    }
  }
  if (n > 0) show(n);
  if (lines) {
    prepare();
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (style.Contains(TFontStyle::fsUnderline)) {
      double t = std::round(f.underlineThickness);
      cairo_rectangle(cr, x, std::round(baseline + f.underlinePosition - t / 2), totalWidth, t);
    }
    if (style.Contains(TFontStyle::fsStrikeOut)) {
      double t = std::round(f.strikeoutThickness);
      cairo_rectangle(cr, x, std::round(baseline - f.strikeoutPosition), totalWidth, t);
    }
    cairo_fill(cr);
  }
}

namespace gfxdetail {
void SetDirectGlyphs(bool on) { directGlyphs.store(on); }
std::uint64_t DirectGlyphRuns() { return directGlyphRuns.load(); }
}  // namespace gfxdetail

void TCanvas::ExtTextOut(int x, int y, unsigned options, const TRect* rect, std::string_view text, const int* dx) {
  cairo_t* cr = Cairo();
  Changing();
  const TTextMetric tm = GetTextMetrics();
  const int width = AdvanceSum(text, dx);
  unsigned align = GetTextAlign(handle_);
  if (align == GDI_ERROR) align = 0;
  if (align & TA_UPDATECP) {
    TPoint p = PenPos();
    x = p.X;
    y = p.Y;
  }
  int left = x;
  switch (align & TA_CENTER) {
    case TA_RIGHT: left = x - width; break;
    case TA_CENTER: left = x - width / 2; break;
    default: break;
  }
  int baseline = y + tm.tmAscent;
  if ((align & TA_BASELINE) == TA_BASELINE)
    baseline = y;
  else if (align & TA_BOTTOM)
    baseline = y - tm.tmDescent;

  Saved saved(cr);
  if (rect && (options & ETO_CLIPPED)) {
    cairo_rectangle(cr, rect->Left, rect->Top, std::max(0, rect->Width()), std::max(0, rect->Height()));
    cairo_clip(cr);
  }
  // The cell and the glyphs below are drawn under this clip and transform.
  TClipScope clipScope(cr);
  const bool opaqueRect = rect && (options & ETO_OPAQUE);
  if (opaqueRect || brush_->Style() != TBrushStyle::bsClear) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    SetColor(cr, brush_->Color());
    // Rectangles without area are left out, and with them a fill of nothing.
    const bool cell = opaqueRect && rect->Width() > 0 && rect->Height() > 0;
    // The text's box adds nothing when the opaque rectangle holds it (the common case of a run
    // drawn into its cell), and two overlapping boxes cost the rasteriser far more than one.
    const bool boxInRect = opaqueRect && width >= 0 && left >= rect->Left && left + width <= rect->Right &&
                           baseline - tm.tmAscent >= rect->Top && baseline - tm.tmAscent + tm.tmHeight <= rect->Bottom;
    const bool box = (brush_->Style() != TBrushStyle::bsClear || (options & ETO_OPAQUE)) && !boxInRect && width != 0 &&
                     tm.tmHeight != 0;
    if (cell && !box && FillOpaqueDirect(cr, *rect, brush_->Color())) {
      // filled
    } else if (cell || box) {
      if (cell) cairo_rectangle(cr, rect->Left, rect->Top, rect->Width(), rect->Height());
      if (box) cairo_rectangle(cr, left, baseline - tm.tmAscent, width, tm.tmHeight);
      cairo_fill(cr);
    }
  }
  if (!text.empty()) DrawGlyphs(cr, left, baseline, text, dx, width);
  if (align & TA_UPDATECP) {
    int nx = x;
    if ((align & TA_CENTER) == TA_LEFT) nx = x + width;
    else if ((align & TA_CENTER) == TA_RIGHT) nx = x - width;
    MoveToEx(handle_, nx, y, nullptr);
  }
  Changed();
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  ExtTextOut(x, y, 0, nullptr, text, nullptr);
  // The class library moves the pen to the end of the text.
  if ((GetTextAlign(handle_) & TA_UPDATECP) == 0) MoveToEx(handle_, x + TextWidth(text), y, nullptr);
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
  unsigned options = ETO_CLIPPED;
  if (brush_->Style() != TBrushStyle::bsClear) options |= ETO_OPAQUE;
  ExtTextOut(x, y, options, &r, text, nullptr);
}

namespace {

struct TextLine {
  std::string text;
  int underline = -1;  // index of the character under the prefix mark
};

}  // namespace

int TCanvas::DrawText(std::string_view input, TRect& r, unsigned format) {
  // Tabs and the '&' prefix first.
  std::string text;
  int prefixAt = -1;
  for (std::size_t i = 0; i < input.size(); ++i) {
    char c = input[i];
    if (c == '&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < input.size() && input[i + 1] == '&') {
        text += '&';
        ++i;
      } else if (i + 1 < input.size()) {
        prefixAt = static_cast<int>(text.size());
      }
      continue;
    }
    if (c == '\t' && (format & DT_EXPANDTABS)) {
      text.append(8 - text.size() % 8, ' ');
      continue;
    }
    text += c;
  }
  const TTextMetric tm = GetTextMetrics();
  const int lineHeight = tm.tmHeight;
  const int maxWidth = std::max(0, r.Width());
  std::vector<TextLine> lines;
  auto addLine = [&](std::size_t from, std::size_t to) {
    TextLine line{text.substr(from, to - from), -1};
    if (prefixAt >= static_cast<int>(from) && prefixAt < static_cast<int>(to)) line.underline = prefixAt - static_cast<int>(from);
    lines.push_back(std::move(line));
  };
  if (format & DT_SINGLELINE) {
    std::string one = text;
    std::replace(one.begin(), one.end(), '\r', ' ');
    std::replace(one.begin(), one.end(), '\n', ' ');
    text = one;
    addLine(0, text.size());
  } else {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find_first_of("\r\n", start);
      if (end == std::string::npos) end = text.size();
      if (format & DT_WORDBREAK) {
        std::size_t pos = start;
        while (true) {
          int width = 0;
          std::size_t i = pos, lastBreak = std::string::npos;
          while (i < end) {
            width += GetCharWidths()[static_cast<unsigned char>(text[i])];
            if (width > maxWidth && i > pos) break;
            if (text[i] == ' ') lastBreak = i;
            ++i;
          }
          if (i >= end) {
            addLine(pos, end);
            break;
          }
          std::size_t cut = lastBreak != std::string::npos && lastBreak > pos ? lastBreak : i;
          addLine(pos, cut);
          pos = cut;
          while (pos < end && text[pos] == ' ') ++pos;
          if (pos >= end) break;
        }
      } else {
        addLine(start, end);
      }
      if (end >= text.size()) break;
      start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
  }
  if ((format & DT_END_ELLIPSIS) && !lines.empty()) {
    for (TextLine& line : lines) {
      if (TextWidth(line.text) <= maxWidth) continue;
      const int dots = TextWidth("...");
      while (!line.text.empty() && TextWidth(line.text) + dots > maxWidth) line.text.pop_back();
      line.text += "...";
    }
  }
  int textWidth = 0;
  for (const TextLine& line : lines) textWidth = std::max(textWidth, TextWidth(line.text));
  const int textHeight = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    r.Right = r.Left + textWidth;
    r.Bottom = r.Top + textHeight;
    return textHeight;
  }
  int y = r.Top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = r.Top + (r.Height() - lineHeight) / 2;
    else if (format & DT_BOTTOM) y = r.Bottom - lineHeight;
  }
  cairo_t* cr = Cairo();
  cairo_save(cr);
  if (!(format & DT_NOCLIP)) {
    cairo_new_path(cr);
    cairo_rectangle(cr, r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()));
    cairo_clip(cr);
  }
  unsigned oldAlign = GetTextAlign(handle_);
  tw::SetTextAlign(handle_, TA_TOP | TA_LEFT);
  try {
    for (const TextLine& line : lines) {
      int w = TextWidth(line.text);
      int x = r.Left;
      if (format & DT_CENTER) x = r.Left + (r.Width() - w) / 2;
      else if (format & DT_RIGHT) x = r.Right - w;
      ExtTextOut(x, y, 0, nullptr, line.text, nullptr);
      if (line.underline >= 0 && line.underline < static_cast<int>(line.text.size())) {
        int ux = x + TextWidth(std::string_view(line.text).substr(0, static_cast<std::size_t>(line.underline)));
        int uw = GetCharWidths()[static_cast<unsigned char>(line.text[static_cast<std::size_t>(line.underline)])];
        Saved saved(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_rectangle(cr, ux, y + tm.tmAscent + 1, uw, 1);
        SetColor(cr, font_->Color());
        cairo_fill(cr);
      }
      y += lineHeight;
    }
  } catch (...) {
    tw::SetTextAlign(handle_, oldAlign);
    cairo_restore(cr);
    throw;
  }
  tw::SetTextAlign(handle_, oldAlign);
  cairo_restore(cr);
  return textHeight;
}

// ---------------------------------------------------------------------------------------------
// Pictures and copies

void TCanvas::Draw(int x, int y, const TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty()) return;
  cairo_t* cr = Cairo();
  Changing();
  graphic->Draw(cr, Bounds(x, y, graphic->Width(), graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty() || IsRectEmpty(r)) return;
  cairo_t* cr = Cairo();
  Changing();
  graphic->Draw(cr, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas* source, const TRect& sourceRect) {
  if (source == nullptr || IsRectEmpty(dest) || IsRectEmpty(sourceRect)) return;
  cairo_t* cr = Cairo();
  cairo_t* src = source->Cairo();
  Changing();
  double sx = sourceRect.Left, sy = sourceRect.Top;
  cairo_user_to_device(src, &sx, &sy);
  cairo_surface_t* target = cairo_get_target(src);
  // A plain copy of whole pixels between two images goes from row to row.
  if (copyMode_ == TCopyMode::cmSrcCopy && dest.Width() == sourceRect.Width() && dest.Height() == sourceRect.Height() &&
      CopyDirect(cr, dest, target, sx, sy)) {
    Changed();
    return;
  }
  // A canvas copying onto itself (scrolling) reads from a copy of the source first; any other
  // source is read in place, which spares a temporary surface the size of the rectangle.
  cairo_surface_t* copy = nullptr;
  if (target == cairo_get_target(cr)) {
    copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sourceRect.Width(), sourceRect.Height());
    cairo_t* t = cairo_create(copy);
    cairo_set_source_surface(t, target, -sx, -sy);
    cairo_set_operator(t, CAIRO_OPERATOR_SOURCE);
    cairo_paint(t);
    cairo_destroy(t);
  }
  {
    Saved saved(cr);
    cairo_rectangle(cr, dest.Left, dest.Top, dest.Width(), dest.Height());
    cairo_clip(cr);
    cairo_translate(cr, dest.Left, dest.Top);
    if (dest.Width() != sourceRect.Width() || dest.Height() != sourceRect.Height())
      cairo_scale(cr, static_cast<double>(dest.Width()) / sourceRect.Width(),
                  static_cast<double>(dest.Height()) / sourceRect.Height());
    if (copy != nullptr)
      cairo_set_source_surface(cr, copy, 0, 0);
    else
      cairo_set_source_surface(cr, target, -sx, -sy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    switch (copyMode_) {
      case TCopyMode::cmBlackness: SetColor(cr, clBlack); break;
      case TCopyMode::cmWhiteness: SetColor(cr, clWhite); break;
      case TCopyMode::cmDstInvert: cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE); SetColor(cr, clWhite); break;
      case TCopyMode::cmSrcInvert: cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE); break;
      case TCopyMode::cmSrcAnd: cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY); break;
      case TCopyMode::cmSrcPaint: cairo_set_operator(cr, CAIRO_OPERATOR_LIGHTEN); break;
      default: cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE); break;
    }
    cairo_paint(cr);
  }
  if (copy != nullptr) cairo_surface_destroy(copy);
  Changed();
}

// ---------------------------------------------------------------------------------------------
// Clipping

TRect TCanvas::ClipRect() const {
  TRect r;
  if (GetClipBox(handle_, &r) == ERROR) return {};
  return r;
}

void TCanvas::IntersectClipRect(const TRect& r) {
  RequireHandle();
  tw::IntersectClipRect(handle_, r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::ExcludeClipRect(const TRect& r) {
  RequireHandle();
  tw::ExcludeClipRect(handle_, r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::SetClipRects(const std::vector<TRect>& rects) {
  RequireHandle();
  SelectClipRects(handle_, rects.data(), static_cast<int>(rects.size()));
}

void TCanvas::ResetClip() {
  if (handle_ != 0) RemoveClip(handle_);
}

// ---------------------------------------------------------------------------------------------
// 3-D edges

bool TCanvas::DrawEdge(TRect& r, unsigned edge, unsigned flags) {
  cairo_t* cr = Cairo();
  Changing();
  // One ring: top-left colour on the left and top sides, bottom-right colour on the right and
  // bottom sides (drawn last, so the top-right and bottom-left corners take it).
  auto ring = [&](TRect& box, TColor topLeft, TColor bottomRight) {
    if (IsRectEmpty(box)) return;
    Saved saved(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (flags & BF_LEFT) cairo_rectangle(cr, box.Left, box.Top, 1, box.Height());
    if (flags & BF_TOP) cairo_rectangle(cr, box.Left, box.Top, box.Width(), 1);
    SetColor(cr, topLeft);
    cairo_fill(cr);
    if (flags & BF_RIGHT) cairo_rectangle(cr, box.Right - 1, box.Top, 1, box.Height());
    if (flags & BF_BOTTOM) cairo_rectangle(cr, box.Left, box.Bottom - 1, box.Width(), 1);
    SetColor(cr, bottomRight);
    cairo_fill(cr);
    if (flags & BF_LEFT) ++box.Left;
    if (flags & BF_TOP) ++box.Top;
    if (flags & BF_RIGHT) --box.Right;
    if (flags & BF_BOTTOM) --box.Bottom;
  };
  TRect box = r;
  const unsigned outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  const bool soft = (flags & BF_SOFT) != 0;
  if (flags & BF_MONO) {
    if (outer) ring(box, clWindowFrame, clWindowFrame);
    if (inner) ring(box, clWindow, clWindow);
  } else if (flags & BF_FLAT) {
    if (outer) ring(box, clBtnShadow, clBtnShadow);
    if (inner) ring(box, clBtnFace, clBtnFace);
  } else {
    if (outer == BDR_RAISEDOUTER) ring(box, soft ? clBtnHighlight : cl3DLight, cl3DDkShadow);
    else if (outer == BDR_SUNKENOUTER) ring(box, soft ? cl3DDkShadow : clBtnShadow, clBtnHighlight);
    if (inner == BDR_RAISEDINNER) ring(box, soft ? cl3DLight : clBtnHighlight, clBtnShadow);
    else if (inner == BDR_SUNKENINNER) ring(box, soft ? clBtnShadow : cl3DDkShadow, cl3DLight);
  }
  if ((flags & BF_MIDDLE) && !IsRectEmpty(box)) {
    Saved saved(cr);
    cairo_rectangle(cr, box.Left, box.Top, box.Width(), box.Height());
    SetColor(cr, (flags & BF_MONO) ? clWindow : clBtnFace);
    cairo_fill(cr);
  }
  if (flags & BF_ADJUST) r = box;
  Changed();
  return true;
}

void Frame3D(TCanvas* canvas, TRect& r, TColor topColor, TColor bottomColor, int width) {
  TPen* pen = canvas->Pen();
  TColor oldColor = pen->Color();
  int oldWidth = pen->Width();
  TPenStyle oldStyle = pen->Style();
  pen->SetWidth(1);
  pen->SetStyle(TPenStyle::psSolid);
  --r.Bottom;
  --r.Right;
  while (width-- > 0) {
    TPoint topRight{r.Right, r.Top}, bottomLeft{r.Left, r.Bottom};
    pen->SetColor(topColor);
    TPoint a[3] = {bottomLeft, r.TopLeft(), topRight};
    canvas->Polyline(a, 3);
    pen->SetColor(bottomColor);
    --bottomLeft.X;
    TPoint b[3] = {topRight, r.BottomRight(), bottomLeft};
    canvas->Polyline(b, 3);
    InflateRect(r, -1, -1);
  }
  ++r.Bottom;
  ++r.Right;
  pen->SetColor(oldColor);
  pen->SetWidth(oldWidth);
  pen->SetStyle(oldStyle);
}

// ---------------------------------------------------------------------------------------------
// Locking

void TCanvas::Lock() {
  lock_->mutex.lock();
  ++lockCount_;
}

void TCanvas::Unlock() {
  --lockCount_;
  lock_->mutex.unlock();
}

bool TCanvas::TryLock() {
  if (!lock_->mutex.try_lock()) return false;
  ++lockCount_;
  return true;
}

}  // namespace tw
