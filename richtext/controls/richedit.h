// The rich-text editor control: a windowed control that owns one editing engine and turns keys,
// mouse actions, the clipboard and scroll-bar messages into engine operations.  It decides what
// may be edited (read-only, the document's edit flag), which keys do what, and when a link click
// fires the link event.
//
// The engine paints into an off-screen bitmap of the client size; the control's Paint copies it
// to the window.  Links are runs in the link style (double underline) followed by hidden text
// that names their target.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/controls.h"
#include "platform/forms/stdctrls/stdctrls.h"  // TScrollStyle, TBorderStyle
#include "platform/gfx/graphic.h"
#include "platform/gfx/picture.h"
#include "platform/gfx/printer.h"
#include "richtext/controls/caret.h"
#include "richtext/controls/componentlink.h"
#include "richtext/controls/textinput.h"
#include "richtext/paint/pages.h"
#include "richtext/rtf/rtfstrings.h"

namespace tw::richtext {

class TRiCustomRtfEdit;

// A link click: the link run's text, up to 254 hidden characters after it on the same line, and
// the number of the line (from 0) the run starts on.
using THyperLinkEvent =
    std::function<void(TObject* sender, const std::string& text, const std::string& stamp, int lineNumber)>;
using TEditStateEvent = std::function<void(TObject* sender, bool selectionMarked, bool clipboardNotEmpty)>;
using TBeforeCopyEvent = std::function<void(TObject* sender, bool& doIt)>;
using TBeforePasteEvent = std::function<void(TObject* sender, bool& doIt)>;
// A right press on a word: the word (bounded by blanks and control characters), its absolute
// position, its length and the attributes of its first character.  A word the handler changes
// replaces the one under the point when the text may be edited.
using TMouseDownRightEvent =
    std::function<void(TObject* sender, std::string& word, int position, int length, const TAttr& attr)>;
// Text about to be typed: the handler may change it, or empty it to put nothing in.
using TGetTextToInsertEvent = std::function<void(TObject* sender, std::string& text)>;
// The user touched protected text, an insertion point or automatic text: the run's text (up to
// 254 characters) and its tag.
using TProtectedChangeEvent = std::function<void(TObject* sender, const std::string& text, int tag)>;
// The caret's x (pixels from the text's left edge) or y (pixels from the document's top) changed.
using TPositionChangedEvent = std::function<void(TObject* sender, int position)>;
// Return made a new paragraph: its number (from 0).
using TNewParCreatedEvent = std::function<void(TObject* sender, int paragraph)>;
// The document holds an object without a picture (read or pasted): the handler may give it one.
using TProvideObjectEvent = std::function<void(TObject* sender, int number, TRiObject* object)>;

// The name under which the clipboard holds rich text.
constexpr const char* RtfClipboardFormatName = "Rich Text Format";

// Whether a page (twips) can hold text: no margin is negative, the text area keeps at least
// MinPageText twips each way, and the paper is at most MaxPageTwips either way (200 inches: the
// program's stored page setup keeps nothing larger).  Pages that fail it are refused rather
// than laid out.
constexpr int MinPageText = 144;
constexpr int MaxPageTwips = 288000;
bool PageLeavesText(int left, int right, int top, int bottom, int width, int height);

// Attribute mask of SetCurrentAttr.
constexpr std::uint32_t CurrentAttrMask = 0xC08B032F;

class TRiCustomRtfEdit : public TCustomControl {
  TW_CLASS(TRiCustomRtfEdit, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TRiCustomRtfEdit(TComponent* owner);
  ~TRiCustomRtfEdit() override;

  TRiRTFTextInput* RtfText() const { return engine_.get(); }
  // The document as a list of strings, one a paragraph; owned by the control.
  TRiRtfStrings* Lines() const { return lines_.get(); }
  void SetRtfText(const TRiRTFTextIo* source);

  // --- editing permission and notification -------------------------------------------------
  virtual bool CanEdit();
  virtual void Change();
  bool Modified = false;

  // --- text and attributes ---------------------------------------------------------------------
  void InputString(const std::string& text);
  void SetCurrentAttr(const TAttr& attr);
  void GetCurrentAttr(TAttr& attr) const { attr = engine_->CurAttr; }
  int GetFontIndex(const std::string& name);
  const TTextHeader& GetHeader() const { return engine_->Header(); }
  void SetCursorPosition(int absolute, int lineNumber, int offset, int parNumber);
  int CursorPosition() const { return engine_->CursorPosition(); }
  void SetCursorPos(int position);
  virtual void Reformat();
  void SetPageSize(int left, int right, int top, int bottom, int width, int height);
  void SetParagraphValue(int value, std::uint8_t kind);
  virtual void Clear();
  std::string Text() const { return engine_->AsText(); }
  void SetText(const std::string& text) override;
  // Prints every page on the printer (PrinterOverride, else the process printer).
  void Print();
  // Prints the pages numbered from..to (from 1).
  void PrintPages(int from, int to);
  // Paints one page on a canvas and answers the first line of the next page (0 at the end);
  // mode 2 begins a series of pages, 4 ends it, 0 only counts.  The series lives in the control,
  // so the view comes back as it was when the series ends.
  int PaintPage(TCanvas* canvas, int x, int y, int width, int height, int firstLine, int mode);
  bool NoPageMatching = false;  // print at the printer's own page breaks
  int PagePaintFlags = 0;       // pp... flags of PaintPage
  virtual void DeleteSelection();
  virtual void Unselect();
  virtual void CopyToClipboard();
  virtual void CutToClipboard();
  virtual void PasteFromClipboard();
  // Inserts a copy of a bitmap or a metafile (also one inside a picture) at the cursor as an
  // embedded object of the picture's own size; other graphics, and a refused edit, insert
  // nothing.  Answers whether a picture went in.
  bool InsertPicture(const TGraphic* graphic);
  bool InsertPicture(const TPicture* picture);
  virtual void DoEditState(bool selectionMarked, bool clipboardNotEmpty);
  void SelectAll();
  std::string SelectedText() const;

  // --- properties -------------------------------------------------------------------------------
  bool ReadOnly() const { return engine_->ReadOnly; }
  virtual void SetReadOnly(bool value) { engine_->ReadOnly = value; }
  bool WordWrap() const { return engine_->WordWrap(); }
  virtual void SetWordWrap(bool value);
  int Zooming() const { return engine_->Zoom(); }
  virtual void SetZooming(int value);
  int Resizing() const { return engine_->Resizing(); }
  virtual void SetResizing(int value);
  bool Inserting() const { return engine_->InsertMode; }
  void SetInserting(bool value);
  bool CaretDisabled() const { return caret_->Disabled(); }
  // The caret (position, size, whether the window's caret exists).
  const TCaret& Caret() const { return *caret_; }
  void SetCaretDisabled(bool value);
  bool ShowPageBreak() const { return showPageBreak_; }
  void SetShowPageBreak(bool value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TProtectProps ProtectedProp() const { return engine_->Protection; }
  void SetProtectedProp(TProtectProps value) { engine_->Protection = value; }
  TRiLoadFormat SaveFormat() const { return engine_->SaveFormat; }
  void SetSaveFormat(TRiLoadFormat f) { engine_->SaveFormat = f; }
  TRiLoadFormat LoadFormat() const { return engine_->LoadFormat; }
  void SetLoadFormat(TRiLoadFormat f) { engine_->LoadFormat = f; }
  // Whether pictures that a loaded or pasted document names by file are read from disk.
  bool LoadPictureFiles() const { return engine_->LoadPictureFiles; }
  void SetLoadPictureFiles(bool on) { engine_->LoadPictureFiles = on; }
  // Whether the document keeps attributes; switching it converts the document.
  TRiMemoryFormat MemoryFormat() const { return memoryFormat_; }
  void SetMemoryFormat(TRiMemoryFormat format);
  bool PaintGrayTable() const { return engine_->PaintGrayTable; }
  void SetPaintGrayTable(bool value);
  bool WriteBitmapAsDib() const { return engine_->WriteBitmapAsDib; }
  void SetWriteBitmapAsDib(bool value) { engine_->WriteBitmapAsDib = value; }
  bool BackgroundLoadFromFile() const { return engine_->BackgroundLoadFromFile; }
  void SetBackgroundLoadFromFile(bool value) { engine_->BackgroundLoadFromFile = value; }
  TCharacterAttr& HyperlinkTextAttr() { return engine_->LinkAttr; }
  TCharacterAttr& InsertPointAttr() { return engine_->InsertPointAttr; }
  TCharacterAttr& AutomaticTextAttr() { return engine_->AutomaticAttr; }
  TCharacterAttr& ProtectedTextAttr() { return engine_->ProtectedAttr; }
  void SetPaperColor(TColor color);
  // The picture behind the text (bitmaps only; another kind shows "Please use Bitmap." and is
  // not taken; null or an empty picture removes it).
  const TPicture& BackgroundImage() const { return backgroundImage_; }
  void SetBackgroundImage(const TPicture* picture);
  void BackgroundImageChanged();
  void SetVisible(bool visible) override;
  // Drops: this control's own selection moves, another editor's selection is copied, the text
  // of an edit or memo is typed in; any other source fires OnDragDrop.
  void DragDrop(TObject* source, int x, int y) override;

  TCursor HyperLinkCursor = crDefault;
  bool NoBlockMarking = false;
  bool OneClickHyperlink = false;
  bool WantTabs = true;
  bool DragAndDropSupport = false;
  // Vertical scroll offset in pixels: a negative value becomes 0; the view scrolls to it and
  // keeps what the engine reached.  While loading it is only stored and applied by Loaded.
  int TopOffset() const { return topOffset_; }
  void SetTopOffset(int value);
  int LeftOffset = 0;
  // A transparent control lets its parent show through: the window gets WS_EX_TRANSPARENT and
  // invalidating it invalidates the parent.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool BackgroundScrolling() const { return backgroundScrolling_; }
  void SetBackgroundScrolling(bool value);
  // Entering the control by the keyboard selects the whole text.
  bool SelectOnEntry = false;
  // The control's font, brought up to date from the current attributes first (outside loading).
  TFont* Font() const;
  void Invalidate() override;
  TPrinter* PrinterOverride = nullptr;  // printing target; the process printer when null

  THyperLinkEvent HyperLinkEvent;
  TNotifyEvent OnChange;
  TNotifyEvent CtrlTabPressed;
  TNotifyEvent ShiftTabPressed;
  TEditStateEvent EditStateEvent;
  TBeforeCopyEvent OnBeforeCopyEvent;
  TBeforePasteEvent OnBeforePasteEvent;
  TMouseDownRightEvent OnMouseDownRight;
  TRiPrintEvent PrintHeader;
  TRiPrintEvent PrintFooter;
  TGetTextToInsertEvent GetTextToInsert;
  TProtectedChangeEvent OnProtectedChange;
  TPositionChangedEvent OnXPosChanged;
  TPositionChangedEvent OnYPosChanged;
  TNewParCreatedEvent OnNewParCreatedEvent;

  // --- hooks of the attached controls (ruler, tool panel, status bar); the rich-text component
  // acts on them, the editor alone ignores them ---------------------------------------------------
  // The ruler changed the indents or tabs (type 9, group 0x700); `changing` while a drag goes on.
  virtual void RulerChanged(int /*typ*/, int /*group*/, int /*num*/, bool /*changing*/) {}
  // A tool-panel button: kind 6 pressed, 7 released.
  virtual void ToolPanelCommand(int /*kind*/, int /*group*/, int /*number*/) {}
  // A tool-panel field: 1 font name, 2 size, 3 text colour, 4 background colour, 10 paragraph value.
  virtual void ToolPanelField(int /*kind*/, const std::string& /*value*/, int /*extra*/) {}
  virtual void FocusRequest() {}
  // The attached status bar asks for its texts.
  virtual void StatusBarUpdate() {}

  // The off-screen picture the engine paints (tests read pixels of it).
  TBitmap& Picture() { return picture_; }
  void Loaded() override;

 protected:
  // The cursor was shown at a new place, and the view was scrolled sideways.
  virtual void CursorShown() {}
  virtual void ViewScrolled() {}
  virtual void UpdateHorzScrollBar();
  virtual void UpdateVertScrollBar();
  // Sets one of the window's bars (SB_HORZ, SB_VERT): shown with the range 0..1000 when it
  // scrolls, else hidden with the range 0..0.
  void SetBar(int bar, bool scrolls, int position);

  void Paint() override;
  void Resize() override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // With DragAndDropSupport an editable control accepts a drag and follows the pointer with its
  // cursor; a drop that would put no text in is refused (a selection in a table cell, off the
  // text, on itself or kept in place by protected text; an edit's text on protected text).
  // OnDragOver may then refuse.
  void DragOver(TObject* source, int x, int y, TDragState state, bool& accept) override;
  // A cancelled drag of the selection gives the selection back.
  void DoEndDrag(TObject* target, int x, int y) override;

  void WMGetDlgCode(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void WMEraseBkgnd(TMessage& msg);
  // A scroll bar shown or hidden changes the client area but not the window (no WM_SIZE): the
  // view is laid out and drawn in the new client size all the same.
  void WMWindowPosChangedEdit(TMessage& msg);
  void WMHScroll(TMessage& msg);
  void WMVScroll(TMessage& msg);
  void WMMouseWheel(TMessage& msg);
  void WMCut(TMessage& msg);
  void WMCopy(TMessage& msg);
  void WMPaste(TMessage& msg);
  void CMFontChanged(TMessage& msg);
  void CMEnter(TMessage& msg);
  void CMCtl3DChanged(TMessage& msg);
  // The reflected WM_COMMAND: an EN_CHANGE outside the engine's own updates reports a change.
  void CNCommand(TMessage& msg);
  // Sets the control's font from the current attributes.
  void AttributesToFont() const;

  // The line and character under a window point (with `cell`, the character whose cell holds
  // the point, else the nearest caret position); false off the text.
  bool CharAt(int x, int y, PTParagraph& par, PTLine& line, int& offset, bool cell) const;
  // Link under a document point: fires the link event and answers true.
  bool LinkAt(int x, int y);
  bool IsLinkChar(PTParagraph par, PTLine line, int offset) const;
  void SelectWordAt(int x, int y);
  void RightPress(int x, int y);
  // The embedded object that is the whole selection: its line, offset and lower right corner in
  // window pixels; false when the selection is no single object.
  bool SelectedObject(PTParagraph& par, PTLine& line, int& offset, TPoint& corner) const;
  // Gives the selected object a new size in screen pixels (at least 2 each way).
  void ResizeSelectedObject(int width, int height);
  void FontToAttributes();
  void SyncWindowSize();
  // The engine takes the client area's size (the picture grows to it when smaller); no drawing.
  void TakeClientSize();
  void PlaceCaret(int x, int y, int w, int h);
  bool EngineInputAllowed() const;
  // Copies the selection; false when the before-copy event vetoed it.
  bool CopySelection();
  // Copies the selection and deletes it where the text may be edited; true when text went.
  bool CutSelection();
  // Reads RTF or plain text into the document at the cursor and leaves the cursor after it;
  // answers the number of characters that went in (0 where the place refused the text).
  int InsertAtCursor(const std::string& data, bool rtf);
  // Characters of the document, a paragraph end counting as one.
  int DocumentLength() const;
  // The absolute character position under a window point; false off the text.
  bool PositionAt(int x, int y, int& position) const;
  // Moves the selection [start, start + length) to the drop position.  The copy goes in first
  // and the selection goes only after it: a place that refuses the text (a table cell, protected
  // text) leaves the document as it was, and so does a selection that may not be deleted.
  void MoveSelectionTo(int start, int length, int drop);
  // Whether a drag from `source` ends in RTF read at the cursor (a selection of this editor or
  // of another), which the cursor's place may refuse.
  bool DropsRtf(TObject* source) const;
  // Whether a drop from `source` at the window point puts text in at the cursor: a selection
  // where the document takes its RTF (and, this editor's own, on the text and off itself), an
  // edit's or memo's text where the engine takes typed input; other sources are left to
  // OnDragOver.
  bool TakesDrop(TObject* source, int x, int y);
  // The text of an edit or memo as it is typed in: its line ends become paragraph ends.
  static std::string DroppedText(const TCustomEdit& edit);
  // The selection as RTF (empty when none); a selection being dragged is taken as it was when
  // the drag began, even when the pointer has since moved the cursor.
  std::string SelectionAsRtf();
  // Dragging the selection: a press inside it is pending until the pointer moves far enough,
  // then the control is the source of a drag (selectionDrag_) of [dragStart_, +dragLength_).
  bool dragPending_ = false;
  bool selectionDrag_ = false;
  int dragStart_ = 0, dragLength_ = 0;
  bool dragMovable_ = false;  // protected text keeps the dragged selection in its place

  std::unique_ptr<TRiRTFTextInput> engine_;
  std::unique_ptr<TRiPagePrinter> pagePrinter_;  // keeps the page series of PaintPage
  TPicture backgroundImage_;
  TBitmap picture_;
  std::unique_ptr<TCaret> caret_;
  std::unique_ptr<TRiRtfStrings> lines_;
  TRiMemoryFormat memoryFormat_ = TRiMemoryFormat::fmRichText;
  bool showPageBreak_ = true;
  bool mouseDown_ = false;
  bool tracking_ = false;
  bool rangeResetPending_ = false;
  bool syncingClient_ = false;
  bool clientSizePending_ = false;
  mutable bool fontBusy_ = false;
  int topOffset_ = 0;
  bool transparent_ = false;
  bool backgroundScrolling_ = true;
  THoverCursor linkCursor_;
  int pressX_ = -1, pressY_ = -1;
  int wheelDelta_ = 0;  // wheel movement not yet turned into steps
  // Sizing the selected object: the pointer is in its corner (sizingCursor_), a drag from there
  // is running (sizing_), from this corner and size.
  THoverCursor sizingCursor_;
  bool overCorner_ = false;
  bool sizing_ = false;
  TPoint sizeFrom_{};
  int sizeWidth_ = 0, sizeHeight_ = 0;
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
};

}  // namespace tw::richtext
