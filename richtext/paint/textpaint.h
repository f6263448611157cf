// The layout and paint layer of the rich-text engine: turns the document model into screen lines
// (measuring every character with the font of its attributes, breaking paragraphs into lines that
// fit the text width), paints those lines onto a reference canvas, keeps the view (scroll offsets,
// caret, hit testing), the selection and the paragraph formatting commands.
//
// Everything is measured in pixels of the reference canvas at the current resolution (the
// canvas's resolution scaled by the zoom); twips convert with pixels = twips * resolution / 1440.
// Painting draws every run with the advances the layout summed, so measuring and painting agree
// exactly.  The editor control drives one engine object and receives its callbacks (TRiPaintHost).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/gfx/canvas.h"
#include "platform/gfx/geometry.h"
#include "platform/rtl/exceptions.h"
#include "richtext/rtf/rtftextio.h"

namespace tw::richtext {

// Layout passes over more paragraphs than this report their progress paragraph by paragraph.
constexpr int ProgressParagraphs = 100;

// Layout option bits.
constexpr std::uint32_t loNoClipping = 1u << 0;
constexpr std::uint32_t loOffScreen = 1u << 1;
constexpr std::uint32_t loPageWidth = 1u << 2;
constexpr std::uint32_t loZoomKeepsResolution = 1u << 3;
constexpr std::uint32_t loMouseKeepsCursor = 1u << 4;
constexpr std::uint32_t loNoScrolling = 1u << 5;
constexpr std::uint32_t loNoBackground = 1u << 6;
constexpr std::uint32_t loHidePageStarts = 1u << 7;
constexpr std::uint32_t loHidePageBreaks = 1u << 8;
constexpr std::uint32_t loShowHidden = 1u << 9;
constexpr std::uint32_t loSuspended = 1u << 10;
constexpr std::uint32_t loIgnoreHorzScroll = 1u << 11;
constexpr std::uint32_t loHideSelection = 1u << 12;
constexpr std::uint32_t loPaintOutside = 1u << 14;
constexpr std::uint32_t loWhiteBackground = 1u << 15;
constexpr std::uint32_t loTransparent = 1u << 16;
constexpr std::uint32_t loCompleteLines = 1u << 17;
constexpr std::uint32_t loOnePage = 1u << 18;
constexpr std::uint32_t loAllTransparent = 1u << 19;
constexpr std::uint32_t loPlainOutput = 1u << 20;
constexpr std::uint32_t loDefault = loHidePageStarts;

// Line flag of a justified line: WidthOrStretch holds the stretch start, not the width.
constexpr std::uint32_t lfJustified = 0x80;

// Line paint states.
constexpr std::uint8_t psNormal = 0;
constexpr std::uint8_t psSelected = 2;
constexpr std::uint8_t psPartly = 3;
constexpr std::uint8_t psSelectionEnd = 4;

// Spell-check marks in TAttr::Attr10.
constexpr std::uint8_t smHyphen = 1;
constexpr std::uint8_t smExamined = 2;
constexpr std::uint8_t smMisspelled = 4;

// A value of an indent or page-size setter that keeps the current value.
constexpr int riKeep = -1000;

// The word the spell checker examines; it sets bit 0 of `result` to leave the word alone, bit 1
// for a misspelled word, bit 2 when `hyphens` (slots 1..8) holds hyphenation points.
using TSpellCheckWordEvent = std::function<void(const std::string& word, int& result, std::uint8_t* hyphens)>;

// What the engine asks of the control that shows it.  Every member may stay empty.
struct TRiPaintHost {
  std::function<bool()> CanPaint;                  // the control has a canvas to paint on
  std::function<void()> BeforePaint;               // hides the caret
  std::function<void()> AfterPaint;                // shows the caret
  std::function<void()> PositionChanged;           // scroll bars and position displays
  std::function<void()> AfterLayout;
  std::function<void()> CaretYChanged;
  std::function<void()> CaretXChanged;
  std::function<void()> VertScrolled;
  std::function<void()> HorzScrolled;              // the ruler follows the horizontal offset
  std::function<void(int x, int y, int w, int h)> ShowCaret;  // window pixels
  std::function<void()> HideCaret;
  std::function<bool(TRect& r)> ClientRect;        // visible area; false when there is none
  std::function<void()> SelectionChanged;
  std::function<void()> Changed;                   // the document was edited
  std::function<void()> RulerUpdate;
  // Moves the window contents by (dx, dy) and reports the rectangle left uncovered (window
  // pixels); false when the contents cannot be moved (everything is then painted again).
  std::function<bool(int dx, int dy, TRect& uncovered)> ScrollWindow;
};

class TRiRTFTextPaint : public TRiRTFTextIo {
  TW_CLASS(TRiRTFTextPaint, TRiRTFTextIo)
 public:
  TRiRTFTextPaint();
  ~TRiRTFTextPaint() override;

  void Clear() override;
  TRiPaintHost Host;
  TSpellCheckWordEvent OnSpellCheckWord;

  // --- reference canvas, resolution, zoom, fonts -------------------------------------------
  TCanvas* ReferenceCanvas() const { return canvas_; }
  void SetReferenceCanvas(TCanvas* canvas);  // not owned
  void ReadDeviceCaps();
  void SetResolution(int x, int y);
  int Zoom() const { return zoom_; }
  void SetZoom(int percent);
  int Resizing() const { return resizing_; }
  void SetResizing(int percent);
  std::uint32_t LayoutOptions() const { return options_; }
  void SetLayoutOptions(std::uint32_t options);
  bool Has(std::uint32_t option) const { return (options_ & option) != 0; }
  void SetShowPageBreak(bool show);
  // Font and colours of the attributes (the current ones when nullptr) on the reference canvas.
  void SelectAttr(const TAttr* attr);
  void MeasureFont(const TAttr* attr);
  TColor GetColor(int index) const;
  void SetPageSize(int left, int right, int top, int bottom, int width, int height);
  TColor BackgroundColor = clWindow;
  int FontHeight() const { return fontHeight_; }
  int FontAscent() const { return fontAscent_; }
  int HeightOfA() const { return heightOfA_; }

  // --- layout ----------------------------------------------------------------------------------
  virtual void Reformat();
  void ReformatAll();
  void MeasureAll();
  void FormatAll();
  void MeasureParagraph(PTParagraph par);
  // Breaks the paragraph into lines; `change` 0 nothing, 1 contents, 2 a line height, 3 the
  // paragraph's height changed (only with `compare`).
  void FormatParagraph(PTParagraph par, bool compare, int& change);
  void SpellCheckParagraph(PTParagraph par);
  bool ParagraphChanged(PTParagraph par) override;
  virtual void Paginate();
  // The page pass from the paragraph on, after an edit of that paragraph alone; a whole pass
  // when an earlier one was skipped.
  void PaginateFrom(PTParagraph par);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  int WindowWidth() const { return windowWidth_; }
  int WindowHeight() const { return windowHeight_; }
  int WindowWidthTwips() const { return windowWidthTwips_; }
  void SetWindowWidth(int pixels);
  void SetWindowHeight(int pixels) { windowHeight_ = pixels; }
  int TextWidth() const { return Header().TextWidthPixels; }
  // Geometry of lines (pixels from the text area's left edge).
  int LeftIndent(PTParagraph par, PTLine line) const;
  int RightIndent(PTParagraph par) const;
  int LineWidth(PTLine line) const;
  int CharX(PTParagraph par, PTLine line, int index) const;
  int CharAtX(PTParagraph par, PTLine line, int x) const;
  int NextTabPos(PTParagraph par, PTLine line, int x, int index) const;
  int CellLeft(PTParagraph par) const;
  int CellRight(PTParagraph par) const;

  // Guards of the layout (set by the control around batches of changes).
  bool Locked = false;
  bool LayoutSuppressed = false;
  bool UpdateLocked = false;
  bool UpdatePending = false;
  // Clears the update lock and runs the full layout that was asked for while it was set.
  void EndUpdate();
  bool RedrawBlocked = false;
  bool FormatLocked = false;
  bool HideInsertPoints = false;
  bool HideAutomatic = false;
  bool PaintGrayTable = false;
  bool TagSwitch = false;

  // --- painting --------------------------------------------------------------------------------
  void Redraw();
  virtual void Paint();
  void PaintRect(int x, int y, int h, int w);
  void PaintLine(PTParagraph par, PTLine line);
  // The paragraph the walk over the lines that touch a rectangle from window y on starts with.
  PTParagraph FirstVisibleCandidate(int y) const;
  // Whether PaintLine fills every pixel of the line's band across window x from `left` to
  // `right` itself (margin, opaque runs, the rest of the line), so that nothing need be filled
  // under it first.
  bool LineFillsBand(PTParagraph par, PTLine line, int left, int right) const;
  // The set of looks that overrides a character's own (link, insert point, ...), if any, and
  // whether the character is drawn in italics.
  const TCharacterAttr* LookOf(const TAttr& a) const;
  bool DrawsItalic(const TAttr& a) const;
  bool PaintBackground(TCanvas* canvas, const TRect& r);
  void PaintObject(TRiObject* object, int width, int ascent, int x, int baseline);
  TGraphic* BackgroundImage = nullptr;  // not owned
  bool BackgroundScrolling = false;
  bool BackgroundLoadFromFile = false;  // the picture behind the text comes from a file, not the form
  int LeftOffset = 0;
  int TopOffset = 0;
  // The bottom (window pixels) of the last line painted.
  int LastPaintedBottom() const { return lastBottom_; }
  // The first selected picture painted (its rectangle in window pixels and its tag).
  TRect SelectedObjectRect{};
  int SelectedObjectTag = 0;

  // --- view: scrolling, caret, hit testing -------------------------------------------------------
  int VertOffset() const { return vertOffset_; }
  int HorzOffset() const { return horzOffset_; }
  void SetScrollOffsets(int vert, int horz) { vertOffset_ = vert; horzOffset_ = horz; }
  void ScrollDown(int dy);
  void ScrollUp(int dy);
  void ScrollRight(int dx);
  void ScrollLeft(int dx);
  void VertScroll(int kind, int position);
  void HorzScroll(int kind, int position);
  virtual void MouseToCursor(int x, int y, bool makeVisible, bool extend);
  void ScrollToCursor();
  void UpdateCaret();
  void UpdateCaretMetrics();
  void FindLineAt(int x, int y, PTParagraph& par, PTLine& line) const;
  // The line's number (from 1) and page (from 1, counted by the page starts of the pass) and the
  // top of that page; false when the line is not in the document.  Counted from the place asked
  // about last when that lies near, so that the cursor's place costs the same at a long
  // document's end as at its start.
  bool LinePlace(PTParagraph par, PTLine line, int& lineNumber, int& page, int& pageTop);
  int CaretX() const { return caretX_; }
  int CaretY() const { return caretY_; }
  int CaretHeight() const { return caretHeight_; }
  int CaretWidth() const { return caretWidth_; }
  bool Extending() const { return extending_; }

  // --- selection and paragraph commands ------------------------------------------------------------
  bool HasSelection() const { return SelStartPar != nullptr && SelEndPar != nullptr; }
  void SetSelection(PTParagraph par, PTLine line, bool extend, int offset);
  bool GetSelection(int& start, int& length) const;
  void SelectRange(int position, int length);
  // Selects the object character of an object: code 1 with `startTag` when that is not 0, else
  // code 2 with `endTag`.  Only the first such character is selected (a selection is one
  // range); false when the document holds none.
  bool SelectObject(std::uint16_t startTag, std::uint16_t endTag);
  void ClearSelection();
  bool DeleteSelection();
  // Whether DeleteSelection would take the selection away (no protected text refuses it).
  bool SelectionDeletable() const;
  bool SelectionLocked = false;
  void SetCharAttr(PTLine line, int index, std::uint16_t mask, const TAttr& attr) override;
  // What SetRunCharAttr remembers between the characters of one run; Valid false forgets it
  // (something else may have measured in between).
  struct TRunAttrMemo {
    bool Valid = false;
    TAttr Look;    // the look (what SelectAttr reads) measured last
    TAttr Slot;    // the record a character's attributes were last applied to
    TAttr Result;  // and what came of it, the width aside
    bool Hidden = false;
  };
  // SetCharAttr for characters set one after another: the font is selected and measured again
  // only when the look differs from the last one measured, and a record like the one before
  // takes the same result (only the width follows the character).
  void SetRunCharAttr(PTLine line, int index, std::uint16_t mask, const TAttr& attr, TRunAttrMemo& memo);
  void SetAttr(const TAttr& attr, std::uint16_t mask) override;
  void SetIndents(bool visibleOnly, int firstLine, int left, int right);
  void SetAlignment(int alignment);
  void SetTabs(TTabSet tabs, bool clear);
  void SetShading(int shading, int colors);
  // A document read in whole is laid out on its own page (unless the text follows the window).
  void PageLoaded() override;

  // Raises the engine's system error for a font number beyond the font table.
  void CheckFont(const TAttr& a) const;

 protected:
  void LinesMoved() override { MarkPagesStale(); }
  void MarkPagesStale() {
    pagesStale_ = true;
    ForgetPendingPages();
    placeAnchor_ = nullptr;
  }
  bool Invisible(const TAttr& a, unsigned char ch) const;
  int AdvanceAt(PTParagraph par, PTLine line, int i, int x, int& extraLeft) const;
  int CharWidthAt(PTLine line, int i) const;
  int LeftIndentPx(PTParagraph par, bool firstLine) const;
  int Px(int twips) const;
  void ForEachSelectedParagraph(const std::function<void(PTParagraph)>& fn);
  // The selection's ends in document order.
  void OrderedSelection(PTParagraph& sp, PTLine& sl, int& so, PTParagraph& ep, PTLine& el, int& eo) const;
  // The first protected character of a selection that protected text keeps from being deleted;
  // false when it may go.
  bool ProtectedInSelection(PTParagraph& par, PTLine& line, int& offset) const;
  void MarkSelectionLines();
  void MoveContents(int dx, int dy);
  int ApplyFreeSpace(PTParagraph par, PTLine line, int x) const;

  TCanvas* canvas_ = nullptr;
  int technology_ = 0;
  int zoom_ = 100;
  int resizing_ = 100;
  std::uint32_t options_ = loDefault;
  int fontHeight_ = 16;
  int fontAscent_ = 13;
  // The sized font and canvas the width table and metrics were last taken from.
  const void* measuredFont_ = nullptr;
  const TCanvas* measuredCanvas_ = nullptr;
  int heightOfA_ = 16;
  std::int32_t plainWidths_[256] = {};
  bool wordWrap_ = false;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
  int windowWidthTwips_ = 0;
  int lastTextWidth_ = 0;
  // A full layout was asked for while one ran.
  bool layoutAgain_ = false;
  bool bulkMeasuring_ = false;
  bool measuring_ = false;
  bool formattingAll_ = false;
  int vertOffset_ = 0;
  int horzOffset_ = 0;
  int caretX_ = 0, caretY_ = 0, caretHeight_ = 16, caretWidth_ = 1;
  int reportedCaretX_ = -1, reportedCaretY_ = -1;
  bool scrolling_ = false;
  bool pagesStale_ = true;  // the last page pass did not run over the whole document as it is
  // How far (document pixels) the page pass after an edit goes on below what the view may show.
  static constexpr std::int64_t kPagesAhead = 2048;
  // What LinePlace counted before this paragraph's first line: lines, page starts (the first
  // line of the document aside), the top of the page in effect.  Forgotten when lines above it
  // may have changed.
  PTParagraph placeAnchor_ = nullptr;
  int placeLines_ = 0, placePages_ = 1, placePageTop_ = 0;
  bool extending_ = false;
  int lastBottom_ = 0;
  TTextMetric metric_{};
  // Look of the run being drawn (set by SelectAttr).
  bool runUnderline_ = false, runSuper_ = false, runSub_ = false, runMisspelled_ = false;
  TColor penColor_ = clBlack;
};

// The first paragraph of the bordered block `par` belongs to, and whether a block ends at `par`
// (its last paragraph carries the block-end flag, or the next one has no border).
PTParagraph BorderBlockStart(PTParagraph par);
bool BorderBlockEndsAt(PTParagraph par);

}  // namespace tw::richtext
