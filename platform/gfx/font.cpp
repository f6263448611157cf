#include "platform/gfx/font.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/gfx/fontengine.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  // Rounded half away from zero.
  long long p = static_cast<long long>(a) * b;
  long long q = p / c;
  long long r = p % c;
  if (2 * (r < 0 ? -r : r) >= (c < 0 ? -static_cast<long long>(c) : c)) q += ((p < 0) != (c < 0)) ? -1 : 1;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int>(q);
}

namespace {

constexpr const char* kSans = "Liberation Sans";
constexpr const char* kSerif = "Liberation Serif";
constexpr const char* kMono = "Liberation Mono";

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

struct Substitution {
  const char* name;
  const char* face;
};

// Faces of the old system and their metric-compatible stand-ins.
constexpr Substitution kSubstitutions[] = {
    {"Arial", kSans}, {"MS Sans Serif", kSans}, {"Helvetica", kSans}, {"Symbol", kSans},
    {"Wingdings", kSans},
    {"Times New Roman", kSerif}, {"Times", kSerif},
    {"Courier New", kMono}, {"Courier", kMono},
};

enum class SymbolMap { None, Symbol, Wingdings };

SymbolMap SymbolMapOf(std::string_view name) {
  if (SameName(name, "Symbol")) return SymbolMap::Symbol;
  if (SameName(name, "Wingdings")) return SymbolMap::Wingdings;
  return SymbolMap::None;
}

// The symbol fonts keep their list bullets where the code page has letters: the Symbol font its
// bullet at 0xB7 (the middle dot), Wingdings its filled circle at 0x6C (the letter "l").
char32_t CodePointOf(unsigned char c, SymbolMap map) {
  if (map == SymbolMap::Symbol && c == 0xB7) return 0x2022;
  if (map == SymbolMap::Wingdings && c == 0x6C) return 0x25CF;
  return Win1252ToCodePoint(static_cast<char>(c));
}

// One face file with its design metrics.
struct Face {
  std::string family;
  FT_Face ft = nullptr;          // for measuring (no size set; design units only)
  FT_Face drawFt = nullptr;      // handed to cairo
  cairo_font_face_t* cairoFace = nullptr;
  bool italic = false;
  int unitsPerEm = 2048;
  int winAscent = 0, winDescent = 0;
  int hheaAscent = 0, hheaDescent = 0, hheaLineGap = 0;
  int avgCharWidth = 0, maxAdvance = 0;
  int underlinePosition = 0, underlineThickness = 0;
  int strikeoutPosition = 0, strikeoutSize = 0;
  int weight = 400;
};

struct FaceKey {
  std::string family;
  bool bold, italic;
  bool operator<(const FaceKey& o) const {
    return std::tie(family, bold, italic) < std::tie(o.family, o.bold, o.italic);
  }
};

struct RequestKey {
  std::string name;
  int height, ppi;
  bool bold, italic;
  bool operator==(const RequestKey&) const = default;
};
struct RequestKeyHash {
  std::size_t operator()(const RequestKey& k) const {
    std::size_t h = std::hash<std::string>()(k.name);
    h ^= std::hash<long long>()((static_cast<long long>(k.height) << 20) ^ (static_cast<long long>(k.ppi) << 2) ^
                                (k.bold ? 1 : 0) ^ (k.italic ? 2 : 0)) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
  }
};

class FontEngine {
 public:
  static FontEngine& Instance() {
    static FontEngine* engine = new FontEngine;  // lives for the whole run
    return *engine;
  }

  const gfxdetail::SizedFont& Sized(const TFontRequest& request) {
    std::lock_guard lock(mutex_);
    RequestKey key{request.Name, request.Height, request.PixelsPerInch, request.Bold, request.Italic};
    auto it = requests_.find(key);
    if (it != requests_.end()) return *it->second;
    const gfxdetail::SizedFont* sized = MakeSized(request);
    requests_.emplace(std::move(key), sized);
    return *sized;
  }

  std::string Family(const TFontRequest& request) {
    std::lock_guard lock(mutex_);
    return FaceFor(SubstituteFontName(request.Name), request.Bold, request.Italic).family;
  }

  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return sized_.size();
  }

 private:
  FontEngine() {
    if (!FcInit()) throw Exception("The font configuration could not be read");
    // Lets fontconfig free its configuration at exit (it keeps allocations otherwise).
    std::atexit([] { FcFini(); });
    if (FT_Init_FreeType(&library_) != 0) throw Exception("The font rasteriser could not be started");
  }

  // Finds the face file through fontconfig.  A family fontconfig does not really have falls
  // back to Liberation Sans, so that the result never depends on the machine's other fonts.
  Face& FaceFor(const std::string& family, bool bold, bool italic) {
    FaceKey key{family, bold, italic};
    auto it = faces_.find(key);
    if (it != faces_.end()) return *it->second;
    std::string file;
    int index = 0;
    std::string found;
    if (!Match(family, bold, italic, file, index, found) || !SameName(found, family)) {
      if (!Match(kSans, bold, italic, file, index, found))
        throw Exception("No font was found for \"" + family + "\"");
    }
    auto face = std::make_unique<Face>();
    face->family = found;
    if (FT_New_Face(library_, file.c_str(), index, &face->ft) != 0 ||
        FT_New_Face(library_, file.c_str(), index, &face->drawFt) != 0)
      throw Exception("The font file \"" + file + "\" could not be read");
    ReadDesignMetrics(*face);
    face->cairoFace = cairo_ft_font_face_create_for_ft_face(face->drawFt, 0);
    if (italic && !face->italic) cairo_ft_font_face_set_synthesize(face->cairoFace, CAIRO_FT_SYNTHESIZE_OBLIQUE);
    if (bold && face->weight < 600) cairo_ft_font_face_set_synthesize(face->cairoFace, CAIRO_FT_SYNTHESIZE_BOLD);
    Face& ref = *face;
    faces_.emplace(key, std::move(face));
    return ref;
  }

  static bool Match(const std::string& family, bool bold, bool italic, std::string& file, int& index,
                    std::string& found) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    FcChar8* path = nullptr;
    FcChar8* fam = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
              FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch;
    if (ok) {
      file = reinterpret_cast<const char*>(path);
      found = reinterpret_cast<const char*>(fam);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return ok;
  }

  static void ReadDesignMetrics(Face& f) {
    FT_Face ft = f.ft;
    f.unitsPerEm = ft->units_per_EM > 0 ? ft->units_per_EM : 2048;
    f.italic = (ft->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    f.weight = (ft->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400;
    f.hheaAscent = ft->ascender;
    f.hheaDescent = ft->descender;
    f.hheaLineGap = ft->height - (ft->ascender - ft->descender);
    f.maxAdvance = ft->max_advance_width;
    f.underlinePosition = ft->underline_position;
    f.underlineThickness = ft->underline_thickness;
    f.winAscent = ft->ascender;
    f.winDescent = -ft->descender;
    f.avgCharWidth = f.maxAdvance / 2;
    f.strikeoutPosition = f.unitsPerEm / 4;
    f.strikeoutSize = f.underlineThickness;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
      if (os2->usWinAscent + os2->usWinDescent > 0) {
        f.winAscent = os2->usWinAscent;
        f.winDescent = os2->usWinDescent;
      }
      if (os2->xAvgCharWidth > 0) f.avgCharWidth = os2->xAvgCharWidth;
      if (os2->yStrikeoutSize > 0) {
        f.strikeoutPosition = os2->yStrikeoutPosition;
        f.strikeoutSize = os2->yStrikeoutSize;
      }
      if (os2->usWeightClass > 0) f.weight = os2->usWeightClass;
    }
    if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA))) {
      f.hheaAscent = hhea->Ascender;
      f.hheaDescent = hhea->Descender;
      f.hheaLineGap = hhea->Line_Gap;
    }
  }

  const gfxdetail::SizedFont* MakeSized(const TFontRequest& request) {
    Face& face = FaceFor(SubstituteFontName(request.Name), request.Bold, request.Italic);
    const double cellUnits = face.winAscent + face.winDescent;
    int height = request.Height;
    if (height == 0) height = -MulDiv(10, request.PixelsPerInch > 0 ? request.PixelsPerInch : 96, 72);
    double em = height < 0 ? -static_cast<double>(height) : height * face.unitsPerEm / cellUnits;
    if (em < 1) em = 1;
    if (em > 4000) em = 4000;
    SymbolMap map = SymbolMapOf(request.Name);
    const long long emKey = std::llround(em * 64);
    auto key = std::make_tuple(&face, emKey, static_cast<int>(map));
    auto it = sized_.find(key);
    if (it != sized_.end()) return it->second.get();

    auto s = std::make_unique<gfxdetail::SizedFont>();
    const double scale = em / face.unitsPerEm;
    auto px = [scale](double units) { return static_cast<int>(std::lround(units * scale)); };
    TTextMetric& tm = s->metrics;
    tm.tmAscent = px(face.winAscent);
    tm.tmDescent = px(face.winDescent);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - static_cast<int>(std::lround(em)));
    tm.tmExternalLeading =
        std::max(0, px(face.hheaLineGap - (cellUnits - (face.hheaAscent - face.hheaDescent))));
    tm.tmAveCharWidth = std::max(1, px(face.avgCharWidth));
    tm.tmMaxCharWidth = std::max(1, px(face.maxAdvance));
    tm.tmWeight = request.Bold ? 700 : 400;
    tm.tmItalic = request.Italic ? 1 : 0;
    tm.tmPitchAndFamily = FT_IS_FIXED_WIDTH(face.ft) ? 0x30 : 0x27;  // TrueType | vector, variable pitch
    tm.tmCharSet = map == SymbolMap::None ? ANSI_CHARSET : SYMBOL_CHARSET;

    const FT_UInt notdef = 0;
    for (int c = 0; c < 256; ++c) {
      char32_t cp = CodePointOf(static_cast<unsigned char>(c), map);
      FT_UInt glyph = FT_Get_Char_Index(face.ft, cp);
      if (glyph == 0 && c >= 0x20) glyph = FT_Get_Char_Index(face.ft, cp < 0x20 ? U' ' : U'?');
      if (c < 0x20) glyph = FT_Get_Char_Index(face.ft, U' ');
      FT_Fixed advance = 0;
      if (FT_Get_Advance(face.ft, glyph != 0 ? glyph : notdef, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
      s->glyphs[static_cast<std::size_t>(c)] = glyph;
      s->widths[static_cast<std::size_t>(c)] = static_cast<int>(std::lround(static_cast<double>(advance) * scale));
    }
    // The codes drawn with the blank's glyph, when that glyph has no outline: drawing them
    // leaves every pixel as it is, so the text drawing leaves them out.
    const FT_UInt space = FT_Get_Char_Index(face.ft, U' ');
    if (space != 0 && FT_Load_Glyph(face.ft, space, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0 &&
        face.ft->glyph->format == FT_GLYPH_FORMAT_OUTLINE && face.ft->glyph->outline.n_points == 0)
      for (int c = 0; c < 256; ++c) s->blank[static_cast<std::size_t>(c)] = s->glyphs[static_cast<std::size_t>(c)] == space;
    // A synthesised bold face is drawn one pixel wider per glyph; count that in the advances.
    if (request.Bold && face.weight < 600)
      for (int& w : s->widths)
        if (w > 0) ++w;
    s->emSize = em;
    s->face = face.cairoFace;
    s->underlinePosition = std::max(1.0, -face.underlinePosition * scale);
    s->underlineThickness = std::max(1.0, std::round(face.underlineThickness * scale));
    s->strikeoutPosition = face.strikeoutPosition * scale;
    s->strikeoutThickness = std::max(1.0, std::round(face.strikeoutSize * scale));
    s->syntheticItalic = request.Italic && !face.italic;
    const gfxdetail::SizedFont* result = s.get();
    sized_.emplace(key, std::move(s));
    return result;
  }

  std::mutex mutex_;
  FT_Library library_ = nullptr;
  std::map<FaceKey, std::unique_ptr<Face>> faces_;
  std::map<std::tuple<Face*, long long, int>, std::unique_ptr<gfxdetail::SizedFont>> sized_;
  std::unordered_map<RequestKey, const gfxdetail::SizedFont*, RequestKeyHash> requests_;
};

}  // namespace

namespace gfxdetail {
const SizedFont& GetSizedFont(const TFontRequest& request) { return FontEngine::Instance().Sized(request); }
}  // namespace gfxdetail

std::string SubstituteFontName(std::string_view name) {
  std::string_view trimmed = name;
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  if (trimmed.empty()) return kSans;
  for (const Substitution& s : kSubstitutions)
    if (SameName(trimmed, s.name)) return s.face;
  return std::string(trimmed);
}

std::string ResolvedFontFamily(const TFontRequest& request) { return FontEngine::Instance().Family(request); }

TTextMetric FontTextMetrics(const TFontRequest& request) { return gfxdetail::GetSizedFont(request).metrics; }

const TCharWidths& FontCharWidths(const TFontRequest& request) { return gfxdetail::GetSizedFont(request).widths; }

int FontTextWidth(const TFontRequest& request, std::string_view text) {
  const TCharWidths& w = FontCharWidths(request);
  int sum = 0;
  for (char c : text) sum += w[static_cast<unsigned char>(c)];
  return sum;
}

std::vector<std::string> FontFamilies() {
  FontEngine::Instance();  // fontconfig is started
  std::vector<std::string> names;
  for (const Substitution& s : kSubstitutions) names.emplace_back(s.name);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch)
        names.emplace_back(Utf8ToWin1252(reinterpret_cast<const char*>(family)));
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  names.erase(std::unique(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return SameName(a, b); }),
              names.end());
  return names;
}

std::size_t FontCacheSize() { return FontEngine::Instance().Count(); }

// ---------------------------------------------------------------------------------------------

TFont::TFont() = default;

void TFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TFont*>(source)) {
    if (f == this) return;
    name_ = f->name_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    // The size in points carries over; the height follows this font's own resolution.
    height_ = f->pixelsPerInch_ == pixelsPerInch_ ? f->height_ : -MulDiv(f->Size(), pixelsPerInch_, 72);
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TFont::SetName(const std::string& name) {
  if (name.empty() || name == name_) return;
  name_ = name;
  Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, pixelsPerInch_); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }

void TFont::SetHeight(int pixels) {
  if (pixels == height_) return;
  height_ = pixels;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetCharset(std::uint8_t charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

void TFont::SetPixelsPerInch(int ppi) {
  if (ppi < 1 || ppi == pixelsPerInch_) return;
  int points = Size();
  pixelsPerInch_ = ppi;
  height_ = -MulDiv(points, ppi, 72);
  Changed();
}

TFontRequest TFont::Request() const {
  TFontRequest r;
  r.Name = name_;
  r.Height = height_;
  r.Bold = style_.Contains(TFontStyle::fsBold);
  r.Italic = style_.Contains(TFontStyle::fsItalic);
  r.PixelsPerInch = pixelsPerInch_;
  return r;
}

TTextMetric TFont::TextMetrics() const { return Sized().metrics; }

const TCharWidths& TFont::CharWidths() const { return Sized().widths; }

const gfxdetail::SizedFont& TFont::Sized() const {
  if (sized_ == nullptr) sized_ = &gfxdetail::GetSizedFont(Request());
  return *sized_;
}

void TFont::Changed() {
  sized_ = nullptr;
  if (OnChange) OnChange(this);
}

}  // namespace tw
