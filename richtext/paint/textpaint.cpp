// The engine's reference canvas, resolution, zoom, font selection and measuring, and the
// top-level layout passes (Reformat, ReformatAll, MeasureAll, FormatAll, Paginate).
#include "richtext/paint/textpaint.h"

#include <algorithm>
#include <optional>

#include "platform/gfx/devicecontext.h"
#include "platform/gfx/font.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"
#include "richtext/document/progress.h"

namespace tw::richtext {

namespace {

// Clears a flag when the scope ends, also when an exception passes.
struct FlagGuard {
  bool& flag;
  explicit FlagGuard(bool& f) : flag(f) { flag = true; }
  ~FlagGuard() { flag = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;
};

int ScreenPixelsPerInch() {
  const HDC dc = GetScreenDC();
  const int ppi = dc != 0 ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
  return ppi > 0 ? ppi : 96;
}

}  // namespace

TRiRTFTextPaint::TRiRTFTextPaint() {
  for (int i = 0; i < 256; ++i) plainWidths_[i] = WidthTable[i] = 8;
}

TRiRTFTextPaint::~TRiRTFTextPaint() = default;

void TRiRTFTextPaint::Clear() {
  placeAnchor_ = nullptr;
  vertOffset_ = 0;
  horzOffset_ = 0;
  SelectedObjectRect = TRect{};
  SelectedObjectTag = 0;
  // Emptying the document resets the header; the layout resolution belongs to the canvas.
  const int resX = Header().ResolutionX, resY = Header().ResolutionY;
  TRiRTFTextIo::Clear();
  if (resX > 0 && resY > 0 && (resX != Header().ResolutionX || resY != Header().ResolutionY)) {
    Header().SetResolution(resX, resY);
    const TRiLayout& l = Header().Layout;
    Header().SetTextWidthTwips(l.PageWidth - l.LeftMargin - l.RightMargin);
  }
  if (wordWrap_ && !Has(loPageWidth)) Header().SetTextWidthPixels(windowWidth_);
}

int TRiRTFTextPaint::Px(int twips) const { return MulDiv(twips, Header().ResolutionX, TwipsPerInch); }

// --- reference canvas and resolution ---------------------------------------------------------------

void TRiRTFTextPaint::SetReferenceCanvas(TCanvas* canvas) {
  canvas_ = canvas;
  if (!Has(loSuspended)) ReadDeviceCaps();
}

void TRiRTFTextPaint::ReadDeviceCaps() {
  if (canvas_ == nullptr || !canvas_->HandleAllocated()) return;
  measuredCanvas_ = nullptr;  // another device may measure otherwise
  const HDC dc = canvas_->Handle();
  technology_ = GetDeviceCaps(dc, TECHNOLOGY);
  SetResolution(GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
  canvas_->Font()->SetName("Arial");
  canvas_->Font()->SetSize(10);
  heightOfA_ = canvas_->TextHeight("A");
  Paginate();
}

void TRiRTFTextPaint::SetResolution(int x, int y) {
  if (x <= 0) x = ScreenPixelsPerInch();
  if (y <= 0) y = ScreenPixelsPerInch();
  if (!Has(loZoomKeepsResolution)) {
    x = MulDiv(x, zoom_, 100);
    y = MulDiv(y, zoom_, 100);
  }
  x = std::max(x, 1);
  y = std::max(y, 1);
  TTextHeader& h = Header();
  bool changed = false;
  if (x != h.ResolutionX || y != h.ResolutionY) {
    h.ResolutionX = x;
    h.ResolutionY = y;
    changed = true;
  }
  if (canvas_ != nullptr) canvas_->Font()->SetPixelsPerInch(y);
  h.ResolutionYCopy = y;
  if (Has(loSuspended)) return;
  h.TwipsPerPixel = TwipsPerInch / x;
  h.UpdateGeometry();
  h.Layout.RulerUnit = h.Layout.Inch ? MulDiv(x, 100, 300) : MulDiv(x, 100, 254);
  const TRiLayout& l = h.Layout;
  h.Layout.PrintableWidth = static_cast<int>(static_cast<std::int64_t>(l.PageWidth - l.LeftMargin - l.RightMargin) * x / TwipsPerInch);
  h.Layout.PrintableHeight = static_cast<int>(static_cast<std::int64_t>(l.PageHeight - l.TopMargin - l.BottomMargin) * y / TwipsPerInch);
  if (wordWrap_ && !Has(loPageWidth))
    h.SetTextWidthPixels(windowWidth_);
  else
    h.SetTextWidthPixels(h.Layout.PrintableWidth);
  for (int i = 0; i < MaxTabs; ++i) h.TabPixels[i] = MulDiv(h.TabPos[i], x, TwipsPerInch);
  windowWidthTwips_ = MulDiv(windowWidth_, TwipsPerInch, x);
  if (changed && !Busy) ReformatAll();
}

void TRiRTFTextPaint::SetZoom(int percent) {
  if (percent < 1 || percent == zoom_) return;
  zoom_ = percent;
  if (canvas_ != nullptr && canvas_->HandleAllocated())
    SetResolution(GetDeviceCaps(canvas_->Handle(), LOGPIXELSX), GetDeviceCaps(canvas_->Handle(), LOGPIXELSY));
  else
    SetResolution(0, 0);
  ReformatAll();
  Redraw();
}

void TRiRTFTextPaint::SetResizing(int percent) {
  if (percent < 1 || percent == resizing_) return;
  resizing_ = percent;
  ReformatAll();
  Redraw();
}

void TRiRTFTextPaint::SetLayoutOptions(std::uint32_t options) {
  const bool leaving = (options_ & loSuspended) && !(options & loSuspended);
  const bool zoomOn = !(options_ & loZoomKeepsResolution) && (options & loZoomKeepsResolution) && zoom_ != 100;
  const bool hiddenShown = ((options_ ^ options) & loShowHidden) != 0;
  options_ = options;
  if (hiddenShown) {
    // Hidden characters were measured with no width: showing them needs a new layout.
    ReformatAll();
  }
  if (leaving) {
    Header().ResolutionX = 0;
    Header().ResolutionY = 0;
    ReadDeviceCaps();
    if (Header().ResolutionX == 0) SetResolution(0, 0);
    ReformatAll();
  } else if (zoomOn) {
    ReformatAll();
  }
  if (!Has(loSuspended)) Redraw();
}

void TRiRTFTextPaint::SetShowPageBreak(bool show) {
  SetLayoutOptions(show ? (options_ & ~loHidePageStarts) : (options_ | loHidePageStarts));
}

// --- fonts and colours ----------------------------------------------------------------------------

TColor TRiRTFTextPaint::GetColor(int index) const {
  if (index < 0 || index > 14) return 0;
  return Header().Colors[static_cast<std::size_t>(index)];
}

void TRiRTFTextPaint::CheckFont(const TAttr& a) const {
  if (a.Font > 99) throw Exception("RIVided -\tSystem Error");
}

const TCharacterAttr* TRiRTFTextPaint::LookOf(const TAttr& a) const {
  if (a.Extra & fxInsertPoint) return &InsertPointAttr;
  if (a.Style & fsLink) return &LinkAttr;
  if (a.Extra & fxAutomatic) return &AutomaticAttr;
  if (a.Extra & fxProtected) return &ProtectedAttr;
  return nullptr;
}

bool TRiRTFTextPaint::DrawsItalic(const TAttr& a) const {
  const TCharacterAttr* set = LookOf(a);
  if (set != nullptr && set->Italic() != TThreeState::tsIgnore) return set->Italic() == TThreeState::tsTRUE;
  return (a.Style & fsItalic) != 0;
}

void TRiRTFTextPaint::SelectAttr(const TAttr* attr) {
  const TAttr& a = attr != nullptr ? *attr : CurAttr;
  if (canvas_ == nullptr) return;
  const TCharacterAttr* set = LookOf(a);
  TFont* font = canvas_->Font();
  if (!(a.Style & fsSelected)) {
    TColor fc = GetColor(a.TextColor());
    if (set != nullptr && set->UseTextColor()) fc = set->TextColor();
    TColor bc = a.BackColor() > 0 ? GetColor(a.BackColor()) : (Has(loWhiteBackground) ? clWhite : BackgroundColor);
    if (set != nullptr && set->UseBackgroundColor()) bc = set->BackgroundColor();
    if (font->Color() != fc) font->SetColor(fc);
    canvas_->Brush()->SetColor(bc);
  }
  CheckFont(a);
  const std::string& name = Header().FontName(a.Font);
  if (!name.empty() && name != font->Name() && !AnsiSameText(name, font->Name())) font->SetName(name);
  bool bold = a.Style & fsBold, italic = DrawsItalic(a), strike = a.Style & fsStrikeOut;
  runUnderline_ = a.Style & fsUnderline;
  runSuper_ = (a.Style & fsSuper) || (a.Extra & fxFootnote);
  runSub_ = a.Style & fsSub;
  runMisspelled_ = a.Attr10 & smMisspelled;
  penColor_ = runMisspelled_ ? TColor(255) : font->Color();
  if (set != nullptr) {
    auto force = [](TThreeState s, bool& v) {
      if (s == TThreeState::tsTRUE) v = true;
      if (s == TThreeState::tsFALSE) v = false;
    };
    force(set->Bold(), bold);
    force(set->StrikeOut(), strike);
    force(set->Underline(), runUnderline_);
    force(set->SuperScript(), runSuper_);
    force(set->SubScript(), runSub_);
    if (runSuper_ && runSub_) runSub_ = false;
    if (set->UseUnderlineColor()) penColor_ = set->UnderlineColor();
  }
  TFontStyles style;
  if (bold) style.Include(TFontStyle::fsBold);
  if (italic) style.Include(TFontStyle::fsItalic);
  if (strike) style.Include(TFontStyle::fsStrikeOut);
  if (!(font->Style() == style)) font->SetStyle(style);
  int size = a.Size < 1 ? 10 : a.Size;
  if ((runSuper_ || runSub_) && size > 1) size = MulDiv(size, 2, 3);
  if (resizing_ != 100) size = MulDiv(size, resizing_, 100);
  if (size < 1) size = 1;
  if (font->PixelsPerInch() != Header().ResolutionY) font->SetPixelsPerInch(Header().ResolutionY);
  if (font->Size() != size) font->SetSize(size);
}

void TRiRTFTextPaint::MeasureFont(const TAttr* attr) {
  SelectAttr(attr);
  if (canvas_ == nullptr) return;
  // Most characters are measured in the font of the one before: the table and metrics taken
  // from that sized font on that canvas still hold.
  const void* sized = &canvas_->Font()->Sized();
  if (sized == measuredFont_ && canvas_ == measuredCanvas_) {
    DefaultLineHeight = fontHeight_;
    DefaultAscent = fontAscent_;
    return;
  }
  measuredFont_ = sized;
  measuredCanvas_ = canvas_;
  const TCharWidths& w = canvas_->Font()->CharWidths();
  for (int i = 0; i < 256; ++i) WidthTable[i] = w[static_cast<std::size_t>(i)];
  metric_ = canvas_->Font()->TextMetrics();
  if (metric_.tmHeight > 0) {
    fontHeight_ = metric_.tmHeight + metric_.tmExternalLeading;
    fontAscent_ = metric_.tmAscent;
  } else if (technology_ == 5) {
    fontHeight_ = WidthTable[static_cast<unsigned char>('A')];
    fontAscent_ = MulDiv(fontHeight_, 2, 5);
  }
  DefaultLineHeight = fontHeight_;
  DefaultAscent = fontAscent_;
}

void TRiRTFTextPaint::SetPageSize(int left, int right, int top, int bottom, int width, int height) {
  TRiLayout& l = Header().Layout;
  if (left != riKeep) l.LeftMargin = left;
  if (right != riKeep) l.RightMargin = right;
  if (top != riKeep) l.TopMargin = top;
  if (bottom != riKeep) l.BottomMargin = bottom;
  if (width != riKeep) l.PageWidth = width;
  if (height != riKeep) l.PageHeight = height;
  l.PrintableWidth = MulDiv(l.PageWidth - l.LeftMargin - l.RightMargin, Header().ResolutionX, TwipsPerInch);
  l.PrintableHeight = MulDiv(l.PageHeight - l.TopMargin - l.BottomMargin, Header().ResolutionY, TwipsPerInch);
  if (!wordWrap_ || Has(loPageWidth)) Header().SetTextWidthPixels(l.PrintableWidth);
}

void TRiRTFTextPaint::PageLoaded() {
  if (wordWrap_ && !Has(loPageWidth)) return;
  const TRiLayout& l = Header().Layout;
  Header().SetTextWidthTwips(l.PageWidth - l.LeftMargin - l.RightMargin);
}

// --- layout passes ----------------------------------------------------------------------------------

void TRiRTFTextPaint::SetWordWrap(bool wrap) {
  if (wrap == wordWrap_ && !(wrap && Header().TextWidthPixels != windowWidth_)) return;
  wordWrap_ = wrap;
  if (wrap) horzOffset_ = 0;
  if (wrap && !Has(loPageWidth))
    Header().SetTextWidthPixels(windowWidth_);
  else
    Header().SetTextWidthPixels(Header().Layout.PrintableWidth);
  ReformatAll();
}

void TRiRTFTextPaint::SetWindowWidth(int pixels) {
  windowWidth_ = pixels;
  windowWidthTwips_ = MulDiv(pixels, TwipsPerInch, std::max(1, Header().ResolutionX));
  if (wordWrap_ && !Has(loPageWidth)) {
    Header().SetTextWidthPixels(pixels);
    ReformatAll();
  } else {
    Paginate();
  }
  if (Header().TextWidthPixels <= windowWidth_ && horzOffset_ < 0) ScrollLeft(-horzOffset_);
}

void TRiRTFTextPaint::Reformat() {
  if (Locked) return;
  if (CursorPar == nullptr && FirstPar != nullptr) {
    CursorPar = FirstPar;
    CursorLine = FirstPar->FirstLine;
    CursorOffset = 0;
  }
  if (!Busy && !Has(loSuspended)) {
    FlagGuard busy(Busy);
    if (wordWrap_ && !Has(loPageWidth)) {
      horzOffset_ = 0;
      Header().SetTextWidthPixels(windowWidth_);
    } else {
      const TRiLayout& l = Header().Layout;
      Header().SetTextWidthTwips(l.PageWidth - l.LeftMargin - l.RightMargin);
    }
    Header().SortTabs();
    for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) p->Mark();
    layoutAgain_ = false;
    TProgressFrame progress(100);
    MeasureAll();
    ProgressReport(50);
    FormatAll();
    ProgressReport(100);
  }
  if (layoutAgain_) ReformatAll();
  if (Host.PositionChanged) Host.PositionChanged();
  Redraw();
}

void TRiRTFTextPaint::ReformatAll() {
  if (Locked || Has(loSuspended) || LayoutSuppressed) return;
  if (Busy) {
    // Asked for from inside a layout (a scroll bar that the layout showed or hid changed the
    // window's width): returns at once, and the layout runs again once the running one ends.
    layoutAgain_ = true;
    return;
  }
  if (UpdateLocked) {
    UpdatePending = true;
    return;
  }
  // Again while the layout changed the width it was made for; a scroll bar comes or goes once
  // for a change of the width, so a few passes settle it.
  for (int pass = 0; pass < 3; ++pass) {
    layoutAgain_ = false;
    lastTextWidth_ = Header().TextWidthPixels;
    FlagGuard busy(Busy);
    {
      TProgressFrame progress(100);
      ProgressReport(50);
      for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) p->Mark();
      Header().UpdateGeometry();
      if (wordWrap_ && !Has(loPageWidth)) Header().SetTextWidthPixels(windowWidth_);
      MeasureAll();
      ProgressReport(50);
      FormatAll();
    }
    if (Host.AfterLayout) Host.AfterLayout();
    if (!Has(loOffScreen) && Host.RulerUpdate) Host.RulerUpdate();
    if (!layoutAgain_) break;
  }
  layoutAgain_ = false;
}

void TRiRTFTextPaint::EndUpdate() {
  UpdateLocked = false;
  if (!UpdatePending) return;
  UpdatePending = false;
  ReformatAll();
  Redraw();
}

void TRiRTFTextPaint::MeasureAll() {
  if (bulkMeasuring_ || Locked || Has(loSuspended)) return;
  FlagGuard bulk(bulkMeasuring_);
  const bool wasSuppressed = LayoutSuppressed;
  LayoutSuppressed = true;
  try {
    // Long documents report their progress paragraph by paragraph.
    const int count = ParagraphCount();
    std::optional<TProgressFrame> progress;
    if (count > ProgressParagraphs) progress.emplace(count);
    MeasureFont(&CurAttr);
    for (int i = 0; i < 256; ++i) plainWidths_[i] = WidthTable[i];
    if (Header().AttributesInUse && !PlainMode) {
      int done = 0;
      for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
        ++done;
        if (!(p->LayoutFlags & lyNeedsMeasure)) continue;
        MeasureParagraph(p);
        if (progress) ProgressReport(done);
      }
    }
  } catch (...) {
    LayoutSuppressed = wasSuppressed;
    throw;
  }
  LayoutSuppressed = wasSuppressed;
}

void TRiRTFTextPaint::FormatAll() {
  if (formattingAll_ || Has(loSuspended) || Locked) return;
  {
    FlagGuard all(formattingAll_);
    const bool wasSuppressed = LayoutSuppressed;
    LayoutSuppressed = true;
    try {
      const int count = ParagraphCount();
      std::optional<TProgressFrame> progress;
      if (count > ProgressParagraphs) progress.emplace(count);
      int done = 0;
      for (PTParagraph p = FirstPar; p != nullptr; p = p->Next) {
        ++done;
        if (p->LayoutFlags & lyNeedsBreak) {
          int change = 0;
          FormatParagraph(p, true, change);
          if (progress) ProgressReport(done);
        }
        p->LayoutFlags &= static_cast<std::uint8_t>(~lyNeedsBreak);
      }
    } catch (...) {
      LayoutSuppressed = wasSuppressed;
      throw;
    }
    LayoutSuppressed = wasSuppressed;
  }
  Paginate();
  if (!RedrawBlocked && Host.AfterLayout) Host.AfterLayout();
}

bool TRiRTFTextPaint::ParagraphChanged(PTParagraph par) {
  if (Busy) {
    MarkPagesStale();
    return false;
  }
  // An edit in the pending part of the page pass (which holds no tops to start from, and whose
  // height the edit may already have changed): the next pass is a whole one.  The cursor's
  // paragraph is always laid out, so this is rare.
  if (par != nullptr && !pagesStale_ && !PagesCurrentAt(par)) MarkPagesStale();
  // The counts of LinePlace hold while the lines above its anchor stay: an edit of the anchor's
  // paragraph or of one a little after it (a split) keeps them.
  if (placeAnchor_ != nullptr) {
    PTParagraph q = par;
    for (int i = 0; i < 8 && q != nullptr && q != placeAnchor_; ++i) q = q->Prev;
    if (par == nullptr || par->IsCell() || q != placeAnchor_) placeAnchor_ = nullptr;
  }
  const bool result = TRiRTFTextIo::ParagraphChanged(par);
  if (par != nullptr && !Has(loSuspended)) {
    MeasureParagraph(par);
    if (!LayoutSuppressed) {
      int change = 0;
      FormatParagraph(par, false, change);
      // Only this paragraph changed: the pages above it stand, so the page pass goes on from
      // here; typing costs the same at the end of a long document as in a short one.
      PaginateFrom(par);
    } else {
      MarkPagesStale();
    }
  } else {
    MarkPagesStale();
  }
  return result;
}

void TRiRTFTextPaint::Paginate() {
  if (Locked || LayoutSuppressed || Has(loSuspended)) {
    MarkPagesStale();
    return;
  }
  DocumentHeight = PagePass();
  pagesStale_ = PagePassOff;
  placeAnchor_ = nullptr;  // page starts above it may have moved
  if (!Has(loNoScrolling) && Host.PositionChanged) Host.PositionChanged();
}

void TRiRTFTextPaint::PaginateFrom(PTParagraph par) {
  // A pass that was skipped or suspended left the tops above the paragraph unsure: run it whole.
  if (pagesStale_ || par == nullptr || PageHeightFactorOn) {
    Paginate();
    return;
  }
  if (Locked || LayoutSuppressed || Has(loSuspended)) {
    MarkPagesStale();
    return;
  }
  // The pass lays out what the view may show after the edit (the window, or the window moved
  // to the edited paragraph) and some pages more; the rest waits for a reader.
  const std::int64_t shown =
      std::max<std::int64_t>(vertOffset_, par->FirstLine != nullptr ? par->FirstLine->Top : 0) + 2LL * windowHeight_;
  DocumentHeight = PagePassFrom(par, shown + kPagesAhead);
  pagesStale_ = PagePassOff;
  if (!Has(loNoScrolling) && Host.PositionChanged) Host.PositionChanged();
}

}  // namespace tw::richtext
