// Printing through the printer and painting single pages.
#include "richtext/paint/pages.h"

#include <algorithm>
#include <cmath>

#include "platform/gfx/devicecontext.h"
#include "platform/gfx/font.h"

namespace tw::richtext {

namespace {

// Printing options: off-screen, page-width layout, zoom keeps the resolution, mouse keeps the
// cursor, no scroll callbacks, no selection, lines outside the window, white background, plain
// output.
constexpr std::uint32_t PrintOptions = 0x10D03E;
constexpr std::uint32_t PageOptions = 0x4032;

double HeightInCentimetres(const TRiRTFTextPaint& e) {
  const int resY = e.Header().ResolutionY;
  if (resY <= 0) return 0;
  double sum = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next)
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) sum += static_cast<double>(l->Height) / resY * 2.54;
  return sum;
}

// A page larger than the printer's sheet either way would lose the text beyond the sheet's
// edge: the sheet takes the page's size for this document.  Answers whether it changed.
bool FitSheetToPage(TPrinter& printer, const TRiLayout& l) {
  const bool landscape = printer.Orientation() == TPrinterOrientation::poLandscape;
  const TPaperSize& paper = printer.PaperSize();
  const int sheetW = landscape ? paper.Height : paper.Width, sheetH = landscape ? paper.Width : paper.Height;
  const auto tenths = [](int twips) { return MulDiv(twips, 254, TwipsPerInch); };  // tenths of a millimetre
  const int pageW = tenths(l.PageWidth), pageH = tenths(l.PageHeight);
  if (pageW <= sheetW + 5 && pageH <= sheetH + 5) return false;
  constexpr int kLargestSheet = 5000;  // millimetres, the largest sheet a printer takes
  const int w = std::clamp((pageW + 5) / 10, 1, kLargestSheet), h = std::clamp((pageH + 5) / 10, 1, kLargestSheet);
  printer.SetPaperSize(landscape ? PaperSizeFromMillimetres(h, w) : PaperSizeFromMillimetres(w, h));
  return true;
}

// Gives the printer its sheet back when the document is done, however it ends.
struct SheetRestore {
  TPrinter& Printer;
  TPaperSize Paper;
  bool Changed = false;
  ~SheetRestore() {
    if (!Changed || Printer.Printing()) return;
    try {
      Printer.SetPaperSize(Paper);
    } catch (...) {
    }
  }
};

}  // namespace

void TRiPagePrinter::Save(Saved& s) const {
  s.WordWrap = engine_.WordWrap();
  s.Options = engine_.LayoutOptions();
  s.Vert = engine_.VertOffset();
  s.Horz = engine_.HorzOffset();
  s.WindowWidth = engine_.WindowWidth();
  s.WindowHeight = engine_.WindowHeight();
  s.LeftOffset = engine_.LeftOffset;
  s.TopOffset = engine_.TopOffset;
  s.Canvas = engine_.ReferenceCanvas();
}

void TRiPagePrinter::Restore(const Saved& s, bool layout) {
  engine_.SetLayoutOptions(loSuspended);
  engine_.SetReferenceCanvas(s.Canvas);
  engine_.SetWordWrap(s.WordWrap);
  engine_.LeftOffset = s.LeftOffset;
  engine_.TopOffset = s.TopOffset;
  engine_.SetWindowHeight(s.WindowHeight);
  engine_.SetWindowWidth(s.WindowWidth);
  engine_.SetScrollOffsets(s.Vert, s.Horz);
  engine_.UpdateLocked = false;
  // Leaving suspension reads the screen resolution again and lays the document out.
  engine_.SetLayoutOptions(s.Options);
  if (layout) engine_.ReformatAll();
}

void TRiPagePrinter::PrintPages(TPrinter& printer, int from, int to) {
  TRiRTFTextPaint& e = engine_;
  SheetRestore sheet{printer, printer.PaperSize()};
  sheet.Changed = FitSheetToPage(printer, e.Header().Layout);
  Saved saved;
  Save(saved);
  try {
    double screenSum = 0;
    if (!NoPageMatching && e.Header().ResolutionY > 0) {
      // The printed pages are matched with the screen's lines broken at the page's text width:
      // a view that wraps at a window narrower than that shows more lines than the page holds,
      // and matching those would leave most of each sheet empty.  Such a view is laid out at
      // the page's width for the count (the end of printing lays it out as it was).
      if (e.WordWrap() && !e.Has(loPageWidth) && e.Header().TextWidthPixels < e.Header().Layout.PrintableWidth) {
        e.SetWordWrap(false);
      }
      screenSum = HeightInCentimetres(e);
    }
    printer.BeginDoc();
    TCanvas* canvas = printer.Canvas();
    const HDC dc = canvas->Handle();
    canvas->Font()->SetPixelsPerInch(GetDeviceCaps(dc, LOGPIXELSY));
    TDeviceInfo info;
    int physX = 0, physY = 0;
    if (GetDeviceInfo(dc, info)) {
      physX = info.PhysicalOffsetX;
      physY = info.PhysicalOffsetY;
    }
    e.SetLayoutOptions(loOffScreen | loSuspended);
    e.SetReferenceCanvas(canvas);
    e.SetWordWrap(false);
    e.SetLayoutOptions(PrintOptions);

    const int resX = e.Header().ResolutionX, resY = e.Header().ResolutionY;
    const TRiLayout& l = e.Header().Layout;
    e.LeftOffset = MulDiv(l.LeftMargin, resX, TwipsPerInch) - physX;
    e.TopOffset = MulDiv(l.TopMargin, resY, TwipsPerInch) - physY;
    const int bodyHeight = MulDiv(l.PageHeight - l.TopMargin - l.BottomMargin, resY, TwipsPerInch);
    const int bodyWidth = MulDiv(l.PageWidth - l.LeftMargin - l.RightMargin, resX, TwipsPerInch);
    e.SetWindowHeight(bodyHeight);
    e.SetWindowWidth(bodyWidth);
    e.Header().SetTextWidthPixels(bodyWidth);
    e.UpdateLocked = false;
    e.ReformatAll();
    if (screenSum != 0) {
      const double printSum = HeightInCentimetres(e);
      e.PageHeightFactor = static_cast<float>(printSum / screenSum);
      e.PageHeightFactorOn = true;
      e.Paginate();
    }
    e.CompletePages();  // every line's top and page start is read below
    e.SetScrollOffsets(0, 0);
    int page = 1;
    std::int32_t lineNumber = 1;
    canvas->ResetClip();
    const TRect clip = canvas->ClipRect();
    auto printed = [&](int n) { return from <= n && n <= to; };
    auto header = [&](int n) {
      if (PrintHeader && printed(n)) {
        canvas->SetTextAlign(TA_TOP);
        PrintHeader(Sender, canvas, e.LeftOffset, clip.Top, bodyWidth, e.TopOffset - clip.Top, n, lineNumber);
      }
    };
    auto footer = [&](int n) {
      if (PrintFooter && printed(n)) {
        canvas->SetTextAlign(TA_TOP);
        PrintFooter(Sender, canvas, e.LeftOffset, e.TopOffset + bodyHeight, bodyWidth,
                    clip.Bottom - e.TopOffset - bodyHeight, n, lineNumber);
      }
    };
    // Sheets are started only for printed pages: the first printed page uses the sheet
    // BeginDoc opened.
    bool sheetUsed = false;
    header(page);
    if (printed(page)) sheetUsed = true;
    bool firstLine = true;
    for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
      for (PTLine line = p->FirstLine; line != nullptr; line = line->Next) {
        const bool newPage = (line->Flags & lfPageStart) || (line == p->FirstLine && (p->Flags & pfPageBreak));
        if (newPage && !firstLine) {
          footer(page);
          ++page;
          if (printed(page)) {
            if (sheetUsed) printer.NewPage();
            sheetUsed = true;
          }
          header(page);
          e.SetScrollOffsets(line->Top, 0);
        }
        firstLine = false;
        if (printed(page)) e.PaintLine(p, line);
        ++lineNumber;
      }
    }
    canvas->SetTextAlign(TA_TOP);
    footer(page);
    e.PageHeightFactorOn = false;
    Restore(saved, false);
    e.Paginate();
    e.Redraw();
  } catch (...) {
    e.PageHeightFactorOn = false;
    Restore(saved, false);
    if (printer.Printing()) printer.Abort();
    throw;
  }
  printer.EndDoc();
}

void TRiPagePrinter::BeginPages(TCanvas* canvas, int x, int y, int width, int height, std::uint32_t suspendOptions,
                                bool setTextWidth) {
  TRiRTFTextPaint& e = engine_;
  // A series begun again keeps the view saved when it first began: that is what its end gives
  // back, not the page painted last.
  if (!series_.Active) Save(series_);
  e.SetLayoutOptions(suspendOptions);
  e.SetReferenceCanvas(canvas);
  e.SetWordWrap(false);
  e.LeftOffset = x;
  e.TopOffset = y;
  e.SetWindowHeight(height);
  e.SetWindowWidth(width);
  if (setTextWidth) e.Header().SetTextWidthPixels(width);
  e.SetScrollOffsets(0, 0);
}

int TRiPagePrinter::PaintPage(TCanvas* canvas, int x, int y, int width, int height, int firstLine, int mode) {
  TRiRTFTextPaint& e = engine_;
  if (canvas == nullptr && mode != pmEndSeries) return 0;
  if (mode == pmBeginSeries) {
    BeginPages(canvas, x, y, width, height, loSuspended, true);
    series_.Active = true;
    e.UpdateLocked = false;
    e.SetLayoutOptions(PageOptions);
    return 0;
  }
  if (mode == pmEndSeries) {
    if (!series_.Active) return 0;
    series_.Active = false;
    Restore(series_, true);
    return 0;
  }
  const bool inSeries = series_.Active;
  if (!inSeries) BeginPages(canvas, x, y, width, height, loOffScreen | loSuspended, false);
  e.SetWordWrap(true);
  e.LeftOffset = x;
  e.TopOffset = y;
  e.SetWindowHeight(height);
  e.SetWindowWidth(width);
  std::uint32_t options = PageOptions;
  if (PagePaintFlags & ppKeepResolution) options |= loZoomKeepsResolution;
  if (PagePaintFlags & ppPlain) options |= loNoBackground | loPlainOutput;
  if (PagePaintFlags & ppTransparent) options |= loTransparent;
  if (PagePaintFlags & ppNoBackground) options |= loNoBackground;
  if (!(PagePaintFlags & ppControlBackground)) options |= loWhiteBackground | loPlainOutput;
  e.SetLayoutOptions(options);
  if (e.UpdatePending) {
    e.UpdatePending = false;
    e.ReformatAll();
  }

  // Find the first line and paint from there.
  e.CompletePages();
  PTParagraph p = e.FirstPar;
  PTLine line = p != nullptr ? p->FirstLine : nullptr;
  for (int n = 0; n < firstLine && line != nullptr; ++n) {
    if (line->Next != nullptr) {
      line = line->Next;
    } else {
      p = p->Next;
      line = p != nullptr ? p->FirstLine : nullptr;
    }
  }
  int taken = 0;
  bool ended = line == nullptr;
  if (line != nullptr) {
    const int pageTop = line->Top;
    e.SetScrollOffsets(pageTop, 0);
    while (line != nullptr) {
      bool stop = false;
      if (PagePaintFlags & ppPageBreaks) {
        if (taken > 0 && ((line->Flags & lfPageStart) || (line == p->FirstLine && (p->Flags & pfPageBreak))))
          stop = true;
      } else if (line->Top - pageTop + line->Height > height) {
        stop = true;
        if (line->Top == pageTop) {
          // A line higher than the page goes on this page all the same.
          if (mode != pmCount) e.PaintLine(p, line);
          ++taken;
          lastBottom_ = line->Top - pageTop + line->Height + y;
          if (line->Next != nullptr) {
            line = line->Next;
          } else {
            p = p->Next;
            line = p != nullptr ? p->FirstLine : nullptr;
          }
        }
      }
      if (stop) break;
      if (mode != pmCount) e.PaintLine(p, line);
      ++taken;
      lastBottom_ = line->Top - pageTop + line->Height + y;
      if (line->Next != nullptr) {
        line = line->Next;
      } else {
        p = p->Next;
        line = p != nullptr ? p->FirstLine : nullptr;
      }
    }
    ended = line == nullptr;
  }
  if (mode != pmCount) canvas->SetTextAlign(TA_TOP);
  if (!inSeries) Restore(series_, false);
  return ended ? 0 : firstLine + taken;
}

}  // namespace tw::richtext
