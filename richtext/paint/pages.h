// Printing the document through the printer and painting single pages onto any canvas (print
// preview, own printing).  Both reuse the engine's layout and line painting: the engine is
// switched to the target canvas, laid out at its resolution with the page's text width, and its
// lines are painted page by page; the engine's view is restored afterwards.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gfx/printer.h"
#include "richtext/paint/textpaint.h"

namespace tw::richtext {

// Header and footer callback: the area above (header) or below (footer) the text body, in
// printer pixels, the page number and the number of the line that comes next.
using TRiPrintEvent = std::function<void(TObject* sender, TCanvas* canvas, int x, int y, int w, int h,
                                         int pageNumber, std::int32_t lineNumber)>;

// Page-paint flags.
constexpr int ppKeepResolution = 16;
constexpr int ppPlain = 1;
constexpr int ppTransparent = 2;
constexpr int ppNoBackground = 4;
constexpr int ppControlBackground = 8;
constexpr int ppPageBreaks = 32;

// PaintPage modes.
constexpr int pmCount = 0;
constexpr int pmBeginSeries = 2;
constexpr int pmEndSeries = 4;
constexpr int pmPaint = 1;

class TRiPagePrinter {
 public:
  explicit TRiPagePrinter(TRiRTFTextPaint& engine) : engine_(engine) {}

  TRiPrintEvent PrintHeader;
  TRiPrintEvent PrintFooter;
  TObject* Sender = nullptr;       // passed to the events (the control)
  bool NoPageMatching = false;     // print at the printer's own page breaks
  int PagePaintFlags = 0;

  // Prints every page.
  void Print(TPrinter& printer) { PrintPages(printer, 0, 16777215); }
  // Prints the pages numbered from..to (from 1).
  void PrintPages(TPrinter& printer, int from, int to);
  // Paints the page that begins with line `firstLine` (0-based over the document) into the area;
  // returns the first line of the next page, or 0 when the document ended on this page.
  int PaintPage(TCanvas* canvas, int x, int y, int width, int height, int firstLine, int mode);
  // The y below the last line PaintPage painted.
  int LastBottom() const { return lastBottom_; }
  bool SeriesActive() const { return series_.Active; }

 private:
  struct Saved {
    bool Active = false;
    bool WordWrap = false;
    std::uint32_t Options = 0;
    int Vert = 0, Horz = 0;
    int WindowWidth = 0, WindowHeight = 0;
    int LeftOffset = 0, TopOffset = 0;
    TCanvas* Canvas = nullptr;
  };
  void Save(Saved& s) const;
  void Restore(const Saved& s, bool layout);
  void BeginPages(TCanvas* canvas, int x, int y, int width, int height, std::uint32_t suspendOptions,
                  bool setTextWidth);

  TRiRTFTextPaint& engine_;
  Saved series_;
  int lastBottom_ = 0;
};

}  // namespace tw::richtext
