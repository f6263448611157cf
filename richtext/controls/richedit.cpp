#include "richtext/controls/richedit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/classes/streams.h"
#include "platform/forms/clipbrd.h"
#include "platform/forms/forms.h"
#include "platform/forms/messages.h"
#include "platform/win/winapi.h"
#include "richtext/controls/textfinder.h"
#include "richtext/rtf/rtfreader.h"
#include "richtext/rtf/rtfwriter.h"

namespace tw::richtext {

namespace {

constexpr int kMaxStamp = 254;

struct Guard {
  bool& flag;
  bool old;
  explicit Guard(bool& f) : flag(f), old(f) { flag = true; }
  ~Guard() { flag = old; }
};

UINT RtfFormat() { return RegisterClipboardFormat(RtfClipboardFormatName); }

// One of the engine's four attribute sets as a published object: a form description sets its
// values by name (HyperlinkTextAttr.Underline = tsTRUE); assigning a set copies its values.
TPropInfo AttrSetProp(const std::string& name, TCharacterAttr& (TRiCustomRtfEdit::*set)()) {
  return CustomProp(
      TRiCustomRtfEdit::StaticClass(), name, tkClass,
      [set](const TObject* o) {
        auto* self = const_cast<TRiCustomRtfEdit*>(static_cast<const TRiCustomRtfEdit*>(o));
        return TValue(static_cast<TObject*>(&(self->*set)()));
      },
      [set](TObject* o, const TValue& v) {
        auto* source = dynamic_cast<TCharacterAttr*>(v.AsObject());
        if (source != nullptr) (static_cast<TRiCustomRtfEdit*>(o)->*set)().Assign(source);
      },
      nullptr, TCharacterAttr::StaticClass());
}

// An event the engine holds, published on the control: a handler bound from a form description
// goes into the engine's own event, through `wrap`; without a handler the engine's event stays
// empty, so the engine does no work for it.
template <typename Sig, typename Field, typename Wrap>
TPropInfo EngineEventProp(const std::string& name, Field field, Wrap wrap) {
  return CustomProp(
      TRiCustomRtfEdit::StaticClass(), name, tkMethod,
      [field](const TObject* o) {
        const TRiRTFTextInput* engine = static_cast<const TRiCustomRtfEdit*>(o)->RtfText();
        return TValue(TMethod{nullptr, std::string(), static_cast<bool>(engine->*field)});
      },
      [field, wrap](TObject* o, const TValue& v) {
        auto* self = static_cast<TRiCustomRtfEdit*>(o);
        auto& target = self->RtfText()->*field;
        const TMethod& m = v.AsMethod();
        if (m.Data == nullptr || m.Name.empty()) {
          target = nullptr;
          return;
        }
        std::any bound = BindMethod(m.Data, m.Name);
        const auto* fn = std::any_cast<std::function<Sig>>(&bound);
        if (fn == nullptr) typinfo_detail::ThrowInvalidPropValue();
        target = wrap(self, *fn);
      });
}

int ColorIndex(TColor color) {
  for (int i = 0; i < 15; ++i)
    if (AttrColor(i) == color) return i;
  return 0;
}

}  // namespace

TW_MESSAGE_MAP(TRiCustomRtfEdit, OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMKillFocus>(WM_KILLFOCUS),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMEraseBkgnd>(WM_ERASEBKGND),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMWindowPosChangedEdit>(WM_WINDOWPOSCHANGED),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMHScroll>(WM_HSCROLL),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMVScroll>(WM_VSCROLL),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMMouseWheel>(WM_MOUSEWHEEL),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMCut>(WM_CUT),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMCopy>(WM_COPY),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::WMPaste>(WM_PASTE),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::CMFontChanged>(CM_FONTCHANGED),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::CMEnter>(CM_ENTER),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::CMCtl3DChanged>(CM_CTL3DCHANGED),
               OnMessage<TRiCustomRtfEdit, &TRiCustomRtfEdit::CNCommand>(CN_COMMAND));

TW_PUBLISHED(TRiCustomRtfEdit, Prop("ReadOnly", &TRiCustomRtfEdit::ReadOnly, &TRiCustomRtfEdit::SetReadOnly),
             Prop("WordWrap", &TRiCustomRtfEdit::WordWrap, &TRiCustomRtfEdit::SetWordWrap),
             Prop("Zooming", &TRiCustomRtfEdit::Zooming, &TRiCustomRtfEdit::SetZooming),
             Prop("Resizing", &TRiCustomRtfEdit::Resizing, &TRiCustomRtfEdit::SetResizing),
             Prop("Inserting", &TRiCustomRtfEdit::Inserting, &TRiCustomRtfEdit::SetInserting),
             Prop("CaretDisabled", &TRiCustomRtfEdit::CaretDisabled, &TRiCustomRtfEdit::SetCaretDisabled),
             Prop("ShowPageBreak", &TRiCustomRtfEdit::ShowPageBreak, &TRiCustomRtfEdit::SetShowPageBreak),
             Prop("HyperLinkCursor", &TRiCustomRtfEdit::HyperLinkCursor),
             Prop("NoBlockMarking", &TRiCustomRtfEdit::NoBlockMarking),
             Prop("OneClickHyperlink", &TRiCustomRtfEdit::OneClickHyperlink),
             Prop("WantTabs", &TRiCustomRtfEdit::WantTabs),
             Prop("ScrollBars", &TRiCustomRtfEdit::ScrollBars, &TRiCustomRtfEdit::SetScrollBars),
             Prop("DragAndDropSupport", &TRiCustomRtfEdit::DragAndDropSupport),
             Prop("TopOffset", &TRiCustomRtfEdit::TopOffset, &TRiCustomRtfEdit::SetTopOffset),
             Prop("Transparent", &TRiCustomRtfEdit::Transparent, &TRiCustomRtfEdit::SetTransparent),
             Prop("BackgroundScrolling", &TRiCustomRtfEdit::BackgroundScrolling,
                  &TRiCustomRtfEdit::SetBackgroundScrolling),
             Prop("LeftOffset", &TRiCustomRtfEdit::LeftOffset),
             Prop("ProtectedProp", &TRiCustomRtfEdit::ProtectedProp, &TRiCustomRtfEdit::SetProtectedProp),
             AttrSetProp("InsertPointAttr", &TRiCustomRtfEdit::InsertPointAttr),
             AttrSetProp("AutomaticTextAttr", &TRiCustomRtfEdit::AutomaticTextAttr),
             AttrSetProp("HyperlinkTextAttr", &TRiCustomRtfEdit::HyperlinkTextAttr),
             AttrSetProp("ProtectedTextAttr", &TRiCustomRtfEdit::ProtectedTextAttr),
             Prop("SaveFormat", &TRiCustomRtfEdit::SaveFormat, &TRiCustomRtfEdit::SetSaveFormat),
             Prop("LoadFormat", &TRiCustomRtfEdit::LoadFormat, &TRiCustomRtfEdit::SetLoadFormat),
             Prop("MemoryFormat", &TRiCustomRtfEdit::MemoryFormat, &TRiCustomRtfEdit::SetMemoryFormat),
             Prop("PaintGrayTable", &TRiCustomRtfEdit::PaintGrayTable, &TRiCustomRtfEdit::SetPaintGrayTable),
             Prop("WriteBitmapAsDib", &TRiCustomRtfEdit::WriteBitmapAsDib, &TRiCustomRtfEdit::SetWriteBitmapAsDib),
             Prop("BackgroundLoadFromFile", &TRiCustomRtfEdit::BackgroundLoadFromFile,
                  &TRiCustomRtfEdit::SetBackgroundLoadFromFile),
             Prop("OnChange", &TRiCustomRtfEdit::OnChange),
             Prop("HyperLinkEvent", &TRiCustomRtfEdit::HyperLinkEvent),
             Prop("GetTextToInsert", &TRiCustomRtfEdit::GetTextToInsert),
             Prop("OnProtectedChange", &TRiCustomRtfEdit::OnProtectedChange),
             Prop("OnXPosChanged", &TRiCustomRtfEdit::OnXPosChanged),
             Prop("OnYPosChanged", &TRiCustomRtfEdit::OnYPosChanged),
             Prop("OnNewParCreatedEvent", &TRiCustomRtfEdit::OnNewParCreatedEvent),
             Prop("BorderStyle", &TRiCustomRtfEdit::BorderStyle, &TRiCustomRtfEdit::SetBorderStyle),
             // The document: a description reads it through its "Data"; assigning copies another.
             CustomProp(
                 TRiCustomRtfEdit::StaticClass(), "RtfText", tkClass,
                 [](const TObject* o) {
                   return TValue(static_cast<TObject*>(static_cast<const TRiCustomRtfEdit*>(o)->RtfText()));
                 },
                 [](TObject* o, const TValue& v) {
                   if (auto* source = dynamic_cast<TRiRTFTextIo*>(v.AsObject()))
                     static_cast<TRiCustomRtfEdit*>(o)->SetRtfText(source);
                 },
                 nullptr, TRiRTFTextIo::StaticClass()),
             CustomProp(
                 TRiCustomRtfEdit::StaticClass(), "BackgroundImage", tkClass,
                 [](const TObject* o) {
                   const TPicture& picture = static_cast<const TRiCustomRtfEdit*>(o)->BackgroundImage();
                   return TValue(static_cast<TObject*>(const_cast<TPicture*>(&picture)));
                 },
                 [](TObject* o, const TValue& v) {
                   static_cast<TRiCustomRtfEdit*>(o)->SetBackgroundImage(dynamic_cast<TPicture*>(v.AsObject()));
                 },
                 nullptr, TPicture::StaticClass()),
             Prop("EditStateEvent", &TRiCustomRtfEdit::EditStateEvent),
             Prop("CtrlTabPressed", &TRiCustomRtfEdit::CtrlTabPressed),
             Prop("ShiftTabPressed", &TRiCustomRtfEdit::ShiftTabPressed),
             Prop("PrintHeader", &TRiCustomRtfEdit::PrintHeader),
             Prop("PrintFooter", &TRiCustomRtfEdit::PrintFooter),
             Prop("OnBeforeCopyEvent", &TRiCustomRtfEdit::OnBeforeCopyEvent),
             Prop("OnBeforePasteEvent", &TRiCustomRtfEdit::OnBeforePasteEvent),
             Prop("OnMouseDownRight", &TRiCustomRtfEdit::OnMouseDownRight),
             EngineEventProp<void(TObject*)>("SaveForUNDO", &TRiRTFTextInput::SaveForUNDO,
                                             [](TRiCustomRtfEdit* self, TNotifyEvent handler) {
                                               return std::function<void()>([self, handler] { handler(self); });
                                             }),
             EngineEventProp<void(TObject*, int, TRiObject*)>(
                 "ProvideObjectEvent", &TRiRTFText::OnObjectRequest,
                 [](TRiCustomRtfEdit* self, TProvideObjectEvent handler) {
                   return TObjectRequestEvent([self, handler](int number, TRiObject* object) {
                     handler(self, number, object);
                   });
                 }),
             EngineEventProp<void(const std::string&, int&, std::uint8_t*)>(
                 "OnSpellCheckWord", &TRiRTFTextPaint::OnSpellCheckWord,
                 [](TRiCustomRtfEdit*, TSpellCheckWordEvent handler) { return handler; }));

TRiCustomRtfEdit::TRiCustomRtfEdit(TComponent* owner) : TCustomControl(owner) {
  controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
  controlStyle_.Exclude(TControlStyleFlag::csSetCaption);
  picture_.SetSize(100, 100);
  caret_ = std::make_unique<TCaret>(this);
  engine_ = std::make_unique<TRiRTFTextInput>();
  backgroundImage_.OnChange = [this](TObject*) { BackgroundImageChanged(); };
  engine_->BackgroundScrolling = backgroundScrolling_;
  pagePrinter_ = std::make_unique<TRiPagePrinter>(*engine_);
  engine_->SetReferenceCanvas(picture_.Canvas());
  engine_->SetWindowWidth(100);
  engine_->SetWindowHeight(100);
  TRiPaintHost& h = engine_->Host;
  // A hidden control paints nothing on the screen: a document written while hidden is painted
  // once, when it is shown (SetVisible).  Pages painted for printing or preview (off-screen
  // layout) are painted whether the control is shown or not.
  h.CanPaint = [this] { return Visible() || engine_->Has(loOffScreen); };
  h.AfterPaint = [this] {
    if (HandleAllocated()) Invalidate();
  };
  h.ShowCaret = [this](int x, int y, int w, int hh) { PlaceCaret(x, y, w, hh); };
  h.HideCaret = [this] { PlaceCaret(-1000, -1000, caret_->Width(), caret_->Height()); };
  h.PositionChanged = [this] {
    UpdateVertScrollBar();
    UpdateHorzScrollBar();
    CursorShown();
  };
  h.HorzScrolled = [this] { ViewScrolled(); };
  h.ClientRect = [this](TRect& r) {
    r = TRect{0, 0, engine_->WindowWidth(), engine_->WindowHeight()};
    return true;
  };
  h.SelectionChanged = [this] {
    if (HandleAllocated()) Invalidate();
  };
  h.CaretXChanged = [this] { FireEvent(OnXPosChanged, this, engine_->CaretX()); };
  h.CaretYChanged = [this] { FireEvent(OnYPosChanged, this, engine_->CaretY()); };
  engine_->OnSpecialRun = [this](TRiRTFText*, const std::string& text, int tag) {
    FireEvent(OnProtectedChange, this, text, tag);
  };
  engine_->NewParagraphCreated = [this](PTParagraph par) {
    if (OnNewParCreatedEvent) FireEvent(OnNewParCreatedEvent, this, engine_->ParagraphNumber(par) - 1);
  };
  lines_ = std::make_unique<TRiRtfStrings>(engine_.get());
  engine_->BeforeInput = [this] { caret_->Hide(); };
  engine_->AfterInput = [this] { caret_->Unhide(); };
  SetColor(clWindow);
  SetCursor(crIBeam);
  SetTabStop(true);
  SetBounds(Left(), Top(), 100, 100);
  TCustomControl::Font()->SetName("Arial");
  Clear();
}

TRiCustomRtfEdit::~TRiCustomRtfEdit() {
  caret_.reset();
  engine_->Host = TRiPaintHost{};
  engine_->BackgroundImage = nullptr;
}

void TRiCustomRtfEdit::SetRtfText(const TRiRTFTextIo* source) {
  engine_->Assign(source);
  engine_->ReformatAll();
  engine_->Redraw();
}

// --- permission ------------------------------------------------------------------------------

bool TRiCustomRtfEdit::CanEdit() {
  tracking_ = false;
  if (engine_->ReadOnly || !engine_->EditAllowed) return false;
  Modified = true;
  return true;
}

void TRiCustomRtfEdit::Change() { FireEvent(OnChange, this); }

bool TRiCustomRtfEdit::EngineInputAllowed() const { return !engine_->ReadOnly && !engine_->Busy; }

// --- text and attributes -----------------------------------------------------------------------

void TRiCustomRtfEdit::InputString(const std::string& text) {
  if (!CanEdit()) return;
  engine_->ProgramInput = true;
  engine_->KeepAttributes = true;
  try {
    engine_->InputString(text);
  } catch (...) {
    engine_->ProgramInput = false;
    engine_->KeepAttributes = false;
    throw;
  }
  engine_->ProgramInput = false;
  engine_->KeepAttributes = false;
  Change();
}

void TRiCustomRtfEdit::SetCurrentAttr(const TAttr& attr) {
  if (!CanEdit()) return;
  engine_->CheckFont(attr);  // a font the table cannot name changes nothing
  engine_->CurAttr = attr;
  engine_->SetAttr(attr, static_cast<std::uint16_t>(CurrentAttrMask & 0xFFFF));
  engine_->CurAttr = attr;
  Change();
}

int TRiCustomRtfEdit::GetFontIndex(const std::string& name) {
  return engine_->Header().FindOrAddFont(name.substr(0, MaxFontNameLength));
}

void TRiCustomRtfEdit::SetCursorPosition(int absolute, int lineNumber, int offset, int parNumber) {
  engine_->SetCursor(absolute, lineNumber, offset, parNumber);
  engine_->ScrollToCursor();
  engine_->UpdateCaret();
}

void TRiCustomRtfEdit::SetCursorPos(int position) {
  engine_->SetCursor(std::max(0, position), 0, 0, 0);
  engine_->ScrollToCursor();
}

void TRiCustomRtfEdit::Reformat() {
  engine_->ReformatAll();
  engine_->Redraw();
  engine_->ScrollToCursor();
  engine_->UpdateCaret();
}

bool PageLeavesText(int left, int right, int top, int bottom, int width, int height) {
  if (left < 0 || right < 0 || top < 0 || bottom < 0) return false;
  if (width > MaxPageTwips || height > MaxPageTwips) return false;
  return std::int64_t{width} - left - right >= MinPageText && std::int64_t{height} - top - bottom >= MinPageText;
}

void TRiCustomRtfEdit::SetPageSize(int left, int right, int top, int bottom, int width, int height) {
  // A page that leaves no room for the text (a damaged stored setup, say) keeps the current one.
  const TRiLayout& l = engine_->Header().Layout;
  auto value = [](int v, int current) { return v == riKeep ? current : v; };
  if (!PageLeavesText(value(left, l.LeftMargin), value(right, l.RightMargin), value(top, l.TopMargin),
                      value(bottom, l.BottomMargin), value(width, l.PageWidth), value(height, l.PageHeight)))
    return;
  if (!CanEdit()) return;
  engine_->SetPageSize(left, right, top, bottom, width, height);
  engine_->ReformatAll();
  engine_->Redraw();
  engine_->ScrollToCursor();
}

void TRiCustomRtfEdit::SetParagraphValue(int value, std::uint8_t kind) {
  if (!CanEdit()) return;
  switch (kind) {
    case 0: engine_->SetAlignment(value); break;
    case 1: engine_->SetIndents(false, value, riKeep, riKeep); break;
    case 2: engine_->SetIndents(false, riKeep, value, riKeep); break;
    case 3: engine_->SetIndents(false, riKeep, riKeep, value); break;
    default: break;
  }
  Change();
}

void TRiCustomRtfEdit::Clear() {
  engine_->Clear();
  TTextHeader& h = engine_->Header();
  h.SetFontName(0, TCustomControl::Font()->Name().substr(0, MaxFontNameLength));
  TAttr& a = engine_->CurAttr;
  a.Font = 0;
  a.Size = static_cast<std::uint8_t>(std::clamp(TCustomControl::Font()->Size(), 1, 255));
  a.SetTextColor(ColorIndex(TCustomControl::Font()->Color()));
  a.SetBackColor(ColorIndex(Color()));
  a.Style = 0;
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsBold)) a.Style |= fsBold;
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsItalic)) a.Style |= fsItalic;
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsUnderline)) a.Style |= fsUnderline;
  engine_->LeftOffset = 0;
  engine_->TopOffset = 0;
  engine_->ReformatAll();
  if (!engine_->UpdateLocked) engine_->Redraw();
  if (HandleAllocated()) Invalidate();
}

void TRiCustomRtfEdit::SetText(const std::string& text) {
  TCustomControl::SetText("");
  if (text.empty()) return;
  Clear();
  TMemoryStream s;
  s.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
  s.SetPosition(0);
  engine_->LoadFromStream(s);
  engine_->ReformatAll();
  Change();
  engine_->Redraw();
}

// --- printing -----------------------------------------------------------------------------------

void TRiCustomRtfEdit::Print() { PrintPages(0, 16777215); }

void TRiCustomRtfEdit::PrintPages(int from, int to) {
  TPrinter& printer = PrinterOverride != nullptr ? *PrinterOverride : *tw::Printer();
  TRiPagePrinter& pp = *pagePrinter_;
  pp.Sender = this;
  pp.PrintHeader = PrintHeader;
  pp.PrintFooter = PrintFooter;
  pp.NoPageMatching = NoPageMatching;
  try {
    pp.PrintPages(printer, from, to);
  } catch (...) {
    engine_->SetReferenceCanvas(picture_.Canvas());
    SyncWindowSize();
    throw;
  }
  engine_->SetReferenceCanvas(picture_.Canvas());
  SyncWindowSize();
  UpdateVertScrollBar();
  UpdateHorzScrollBar();
}

int TRiCustomRtfEdit::PaintPage(TCanvas* canvas, int x, int y, int width, int height, int firstLine, int mode) {
  TRiPagePrinter& pp = *pagePrinter_;
  pp.Sender = this;
  pp.PagePaintFlags = PagePaintFlags;
  return pp.PaintPage(canvas, x, y, width, height, firstLine, mode);
}

// --- selection and clipboard ----------------------------------------------------------------------

void TRiCustomRtfEdit::DeleteSelection() {
  engine_->DeleteSelection();
  engine_->ScrollToCursor();
}

void TRiCustomRtfEdit::Unselect() {
  engine_->SetSelection(nullptr, nullptr, false, 0);
  engine_->Redraw();
}

void TRiCustomRtfEdit::SelectAll() {
  engine_->SelectRange(0, 268435455);
  engine_->Redraw();
}

std::string TRiCustomRtfEdit::SelectedText() const {
  if (!engine_->HasSelection()) return "";
  TMemoryStream s;
  const TRiLoadFormat saved = engine_->SaveFormat;
  engine_->SaveFormat = TRiLoadFormat::FormatANSI;
  engine_->SaveSelectionToStream(s);
  engine_->SaveFormat = saved;
  std::string text(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
  const std::size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

void TRiCustomRtfEdit::CopyToClipboard() { CopySelection(); }

bool TRiCustomRtfEdit::CopySelection() {
  bool doIt = true;
  FireEvent(OnBeforeCopyEvent, this, doIt);
  if (!doIt) return false;
  if (!engine_->HasSelection()) return true;
  const TRiLoadFormat saved = engine_->SaveFormat;
  std::string rtf, text;
  try {
    TMemoryStream r;
    engine_->SaveFormat = TRiLoadFormat::FormatRTF;
    const bool oldMarks = engine_->NoProtectionMarks;
    engine_->NoProtectionMarks = engine_->Protection.Contains(TProtectProp::ppDontCopyProtectedAttribute);
    engine_->SaveSelectionToStream(r);
    engine_->NoProtectionMarks = oldMarks;
    rtf.assign(static_cast<const char*>(r.Memory()), static_cast<std::size_t>(r.Size()));
    TMemoryStream t;
    engine_->SaveFormat = TRiLoadFormat::FormatANSI;
    engine_->SaveSelectionToStream(t);
    text.assign(static_cast<const char*>(t.Memory()), static_cast<std::size_t>(t.Size()));
  } catch (...) {
    engine_->SaveFormat = saved;
    throw;
  }
  engine_->SaveFormat = saved;
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return true;
  EmptyClipboard();
  if (!rtf.empty()) SetClipboardData(RtfFormat(), rtf);
  if (!text.empty()) SetClipboardData(CF_TEXT, text);
  CloseClipboard();
  return true;
}

void TRiCustomRtfEdit::CutToClipboard() { CutSelection(); }

bool TRiCustomRtfEdit::CutSelection() {
  if (!engine_->HasSelection()) return false;
  const bool allowed = CopySelection();
  const bool deleted = allowed && !ReadOnly() && CanEdit() && engine_->DeleteSelection();
  engine_->ScrollToCursor();
  engine_->Redraw();
  return deleted;
}

void TRiCustomRtfEdit::PasteFromClipboard() {
  if (ReadOnly()) return;
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
  std::string data;
  bool rtf = false;
  if (IsClipboardFormatAvailable(RtfFormat())) {
    data = GetClipboardData(RtfFormat());
    rtf = true;
  } else if (IsClipboardFormatAvailable(CF_TEXT)) {
    data = GetClipboardData(CF_TEXT);
  }
  CloseClipboard();
  const std::size_t zero = data.find('\0');
  if (zero != std::string::npos) data.resize(zero);
  if (data.empty()) {
    // No text: a picture on the clipboard goes in as an embedded object.  Damaged picture
    // data pastes nothing.
    if (!ClipboardHasPicture()) return;
    TPicture picture;
    try {
      if (!PasteClipboardPicture(picture)) return;
    } catch (const EInvalidGraphic&) {
      return;
    }
    if (picture.Empty()) return;
    // The picture replaces the selection where the place takes it (the engine saves for undo
    // before a selection goes).
    if (engine_->SaveForUNDO && !engine_->HasSelection()) engine_->SaveForUNDO();
    InsertPicture(&picture);
    return;
  }
  bool doIt = true;
  FireEvent(OnBeforePasteEvent, this, doIt);
  if (!doIt) return;
  // A place that refuses the text (a table cell, protected text) keeps what is selected there.
  PTParagraph par = engine_->CursorPar;
  PTLine line = engine_->CursorLine;
  int offset = engine_->CursorOffset;
  int start = 0, length = 0;
  if (engine_->GetSelection(start, length)) engine_->LocatePosition(start, 0, 0, 0, par, line, offset);
  if (!engine_->TakesTextAt(par, line, offset)) return;
  if (engine_->SaveForUNDO) engine_->SaveForUNDO();
  if (engine_->HasSelection()) engine_->DeleteSelection();
  InsertAtCursor(data, rtf);
}

int TRiCustomRtfEdit::DocumentLength() const {
  int length = -1;
  for (PTParagraph p = engine_->FirstPar; p != nullptr; p = p->Next) length += TRiRTFText::ParagraphLength(p) + 1;
  return length;
}

int TRiCustomRtfEdit::InsertAtCursor(const std::string& data, bool rtf) {
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
  const char nul = 0;
  s.WriteBuffer(&nul, 1);
  s.SetPosition(0);
  // The pasted text goes in at the cursor; a document holding only an empty paragraph takes it
  // as its whole contents.
  const bool wasEmpty = engine_->IsEmpty();
  const int before = engine_->CursorPosition();
  const int lengthBefore = DocumentLength();
  if (rtf) {
    TRiRtfReader reader;
    reader.BaseFolder = engine_->BaseFolder;
    engine_->ReadWithReader(s, &reader);
  } else {
    TRiTextReader reader;
    engine_->ReadWithReader(s, &reader);
  }
  engine_->ReformatAll();
  const int inserted = std::max(0, DocumentLength() - lengthBefore);
  if (wasEmpty) {
    engine_->SetCursor(0, 0, 0, 0);
    PTParagraph last = engine_->LastParagraph();
    engine_->CursorPar = last;
    engine_->CursorLine = TRiRTFText::Get_LastLine(last);
    engine_->CursorOffset = engine_->CursorLine->Length;
  } else {
    engine_->SetCursor(before + inserted, 0, 0, 0);
  }
  engine_->ScrollToCursor();
  engine_->Redraw();
  engine_->UpdateCaret();
  return inserted;
}

bool TRiCustomRtfEdit::InsertPicture(const TPicture* picture) {
  return picture != nullptr && InsertPicture(picture->Graphic());
}

bool TRiCustomRtfEdit::InsertPicture(const TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty() || !CanEdit()) return false;
  std::unique_ptr<TGraphic> copy = TRiRTFText::CopyObjectGraphic(graphic);
  if (copy == nullptr) return false;
  // The object's size in twips from the picture's size in screen pixels.
  const int width = MulDiv(copy->Width(), TwipsPerInch, 96);
  const int height = MulDiv(copy->Height(), TwipsPerInch, 96);
  std::uint16_t tag = 65535;
  if (engine_->InsertObject(tag, std::move(copy), width, height) == nullptr) return false;
  if (engine_->CursorPar != nullptr) {
    engine_->CursorPar->Mark();
    engine_->ParagraphChanged(engine_->CursorPar);
  }
  engine_->ScrollToCursor();
  engine_->Redraw();
  Change();
  return true;
}

void TRiCustomRtfEdit::DoEditState(bool selectionMarked, bool clipboardNotEmpty) {
  FireEvent(EditStateEvent, this, selectionMarked, clipboardNotEmpty);
}

// --- properties ---------------------------------------------------------------------------------------

void TRiCustomRtfEdit::SetWordWrap(bool value) {
  engine_->SetWordWrap(value);
  engine_->ReformatAll();
  engine_->Redraw();
}

void TRiCustomRtfEdit::SetZooming(int value) {
  if (value <= 0) value = 100;
  engine_->SetZoom(value);
  engine_->ReformatAll();
  UpdateVertScrollBar();
  engine_->ScrollToCursor();
  engine_->Redraw();
}

void TRiCustomRtfEdit::SetResizing(int value) {
  if (value <= 0) value = 100;
  engine_->SetResizing(value);
  SetZooming(Zooming());
}

void TRiCustomRtfEdit::SetInserting(bool value) {
  const bool changed = engine_->InsertMode != value;
  engine_->InsertMode = value;
  engine_->UpdateCaret();
  // The mode changes without a cursor move: what shows it (the status bar) is told here.
  if (changed) CursorShown();
}

void TRiCustomRtfEdit::SetCaretDisabled(bool value) {
  caret_->SetDisabled(value);
}

void TRiCustomRtfEdit::SetMemoryFormat(TRiMemoryFormat format) {
  memoryFormat_ = format;
  if (engine_->MemoryFormat() == format) return;
  engine_->SetMemoryFormat(format);
  engine_->ReformatAll();
  engine_->Redraw();
}

void TRiCustomRtfEdit::SetPaintGrayTable(bool value) {
  engine_->PaintGrayTable = value;
  engine_->Redraw();
}

void TRiCustomRtfEdit::SetShowPageBreak(bool value) {
  showPageBreak_ = value;
  engine_->SetShowPageBreak(value);
  engine_->Redraw();
}

void TRiCustomRtfEdit::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  engine_->Redraw();
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TRiCustomRtfEdit::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TRiCustomRtfEdit::SetPaperColor(TColor color) {
  SetColor(color);
  engine_->BackgroundColor = color;
  engine_->Redraw();
}

void TRiCustomRtfEdit::SetBackgroundImage(const TPicture* picture) {
  const TGraphic* graphic = picture != nullptr ? picture->Graphic() : nullptr;
  if (graphic != nullptr && !graphic->Empty() && dynamic_cast<const TBitmap*>(graphic) == nullptr) {
    Application()->MessageBox("Please use Bitmap.", Application()->Title(), MB_OK);
    return;
  }
  engine_->BackgroundImage = nullptr;
  backgroundImage_.SetGraphic(graphic != nullptr && !graphic->Empty() ? graphic : nullptr);
}

void TRiCustomRtfEdit::BackgroundImageChanged() {
  // The picture also changes in place, when a form description reads its data.
  const TGraphic* graphic = backgroundImage_.Graphic();
  if (graphic != nullptr && !graphic->Empty() && dynamic_cast<const TBitmap*>(graphic) == nullptr) {
    Application()->MessageBox("Please use Bitmap.", Application()->Title(), MB_OK);
    engine_->BackgroundImage = nullptr;
    backgroundImage_.SetGraphic(nullptr);
    return;
  }
  engine_->BackgroundImage = graphic != nullptr && !graphic->Empty() ? backgroundImage_.Graphic() : nullptr;
  engine_->Redraw();
  if (HandleAllocated()) Invalidate();
}

void TRiCustomRtfEdit::SetVisible(bool visible) {
  if (visible && clientSizePending_ && HandleAllocated()) {
    // The client area changed while hidden: laid out in it before showing, still drawing nothing.
    clientSizePending_ = false;
    TakeClientSize();
  }
  TCustomControl::SetVisible(visible);
  if (visible) {
    engine_->Redraw();
    if (HandleAllocated()) Invalidate();
  }
}

void TRiCustomRtfEdit::Loaded() {
  TCustomControl::Loaded();
  FontToAttributes();
  engine_->TopOffset = 0;
  engine_->LeftOffset = 0;
  if (topOffset_ > 0) engine_->ScrollDown(topOffset_);
}

void TRiCustomRtfEdit::SetTopOffset(int value) {
  value = std::max(0, value);
  if (ComponentState().Contains(TComponentStateFlag::csLoading)) {
    topOffset_ = value;
    return;
  }
  const int now = engine_->VertOffset();
  if (value > now) engine_->ScrollDown(value - now);
  else if (value < now) engine_->ScrollUp(now - value);
  topOffset_ = engine_->VertOffset();
  UpdateVertScrollBar();
}

void TRiCustomRtfEdit::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  if (!value) engine_->BackgroundScrolling = backgroundScrolling_;
  engine_->Redraw();
  UpdateVertScrollBar();
  if (HandleAllocated()) RecreateWnd();  // the extended style changes with it
}

void TRiCustomRtfEdit::SetBackgroundScrolling(bool value) {
  backgroundScrolling_ = value;
  engine_->BackgroundScrolling = value;
}

void TRiCustomRtfEdit::Invalidate() {
  if (transparent_ && Parent() != nullptr) Parent()->Invalidate();
  TCustomControl::Invalidate();
}

TFont* TRiCustomRtfEdit::Font() const {
  if (!ComponentState().Contains(TComponentStateFlag::csLoading)) AttributesToFont();
  return TCustomControl::Font();
}

void TRiCustomRtfEdit::AttributesToFont() const {
  if (fontBusy_) return;
  Guard g(fontBusy_);
  const TAttr& a = engine_->CurAttr;
  TFont* f = TCustomControl::Font();
  f->SetColor(engine_->Header().Colors[a.TextColor() & 0x0F]);
  if (a.Font < 99) {
    const std::string& name = engine_->Header().FontName(a.Font);
    if (!name.empty()) f->SetName(name);
  }
  if (a.Size > 0) f->SetSize(a.Size);
  TFontStyles style;
  if (a.Style & fsBold) style.Include(TFontStyle::fsBold);
  if (a.Style & fsItalic) style.Include(TFontStyle::fsItalic);
  if (a.Style & fsUnderline) style.Include(TFontStyle::fsUnderline);
  if (a.Style & fsStrikeOut) style.Include(TFontStyle::fsStrikeOut);
  f->SetStyle(style);
}

// --- window ---------------------------------------------------------------------------------------------

void TRiCustomRtfEdit::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
  if (transparent_) params.ExStyle |= WS_EX_TRANSPARENT;
  if (borderStyle_ == TBorderStyle::bsSingle) params.Style |= WS_BORDER;
}

void TRiCustomRtfEdit::CreateWnd() {
  TCustomControl::CreateWnd();
  engine_->SetShowPageBreak(showPageBreak_);
  engine_->TakeTypingAttributes();
  SyncWindowSize();
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TRiCustomRtfEdit::SyncWindowSize() {
  const TRect r = GetClientRect();
  const int w = std::max(1, r.Width()), h = std::max(1, r.Height());
  if (picture_.Width() != w || picture_.Height() != h) {
    picture_.SetSize(w, h);
    engine_->SetReferenceCanvas(picture_.Canvas());
  }
  if (engine_->WindowHeight() != h) engine_->SetWindowHeight(h);
  if (engine_->WindowWidth() != w) engine_->SetWindowWidth(w);
  engine_->Redraw();
}

void TRiCustomRtfEdit::Resize() {
  TCustomControl::Resize();
  if (ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  SyncWindowSize();
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TRiCustomRtfEdit::TakeClientSize() {
  const TRect r = GetClientRect();
  const int w = std::max(1, r.Width()), h = std::max(1, r.Height());
  // The picture only grows: a scroll bar coming and going does not make it anew each time.
  if (picture_.Width() < w || picture_.Height() < h) {
    picture_.SetSize(std::max(w, picture_.Width()), std::max(h, picture_.Height()));
    engine_->SetReferenceCanvas(picture_.Canvas());
  }
  if (engine_->WindowHeight() != h) engine_->SetWindowHeight(h);
  if (engine_->WindowWidth() != w) engine_->SetWindowWidth(w);
}

void TRiCustomRtfEdit::WMWindowPosChangedEdit(TMessage& msg) {
  InheritedMessage(TRiCustomRtfEdit::StaticClass(), msg);
  if (!HandleAllocated() || ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  const TRect r = GetClientRect();
  const int w = std::max(1, r.Width()), h = std::max(1, r.Height());
  if (engine_->WindowWidth() == w && engine_->WindowHeight() == h) return;
  if (!Visible()) {
    // A hidden view draws nothing: it takes the new size when it is shown.
    clientSizePending_ = true;
    return;
  }
  TakeClientSize();
  engine_->Redraw();
  Invalidate();
  // The bars follow the new size once; a bar that this changes again only resizes the view.
  if (syncingClient_) return;
  Guard g(syncingClient_);
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TRiCustomRtfEdit::Paint() {
  const TRect r = GetClientRect();
  Canvas()->CopyRect(r, picture_.Canvas(), r);
}

void TRiCustomRtfEdit::PlaceCaret(int x, int y, int w, int h) {
  // The caret takes the size the engine gives it: the height of the text at the cursor, and in
  // overwrite mode the width of the character under it.
  caret_->SetPosition(x, y, w, h);
}

void TRiCustomRtfEdit::WMGetDlgCode(TMessage& msg) {
  msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | 0x04;
  if (WantTabs) msg.Result |= DLGC_WANTTAB;
}

void TRiCustomRtfEdit::WMSetFocus(TMessage& msg) {
  InheritedMessage(TRiCustomRtfEdit::StaticClass(), msg);
  if (!HandleAllocated()) return;
  caret_->Activate();
  caret_->Show(true);
  engine_->UpdateCaret();
  const bool clip = IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(RtfFormat());
  DoEditState(engine_->HasSelection(), clip);
}

void TRiCustomRtfEdit::WMKillFocus(TMessage& msg) {
  caret_->Deactivate();
  InheritedMessage(TRiCustomRtfEdit::StaticClass(), msg);
}

void TRiCustomRtfEdit::WMEraseBkgnd(TMessage& msg) { msg.Result = 1; }

void TRiCustomRtfEdit::UpdateVertScrollBar() {
  if (!HandleAllocated()) return;
  const int range = engine_->DocumentHeight - engine_->WindowHeight();
  // A document that fits the window is shown from its top (printing and page painting place
  // the view themselves).
  if (range <= 0 && engine_->VertOffset() > 0 && !engine_->Has(loNoScrolling)) {
    engine_->ScrollUp(engine_->VertOffset());
    engine_->Redraw();
  }
  const bool allowed = scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
  SetBar(SB_VERT, allowed && range > 0, range > 0 ? std::min(999, engine_->VertOffset() * 1000 / range) : 0);
}

void TRiCustomRtfEdit::UpdateHorzScrollBar() {
  if (!HandleAllocated()) return;
  const int range = engine_->TextWidth() - engine_->WindowWidth();
  const bool allowed = scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth;
  const bool scrolls = range > 0 && !engine_->WordWrap();
  SetBar(SB_HORZ, allowed && scrolls, scrolls ? std::clamp(MulDiv(-engine_->HorzOffset(), 1000, range), 0, 1000) : 0);
}

void TRiCustomRtfEdit::SetBar(int bar, bool scrolls, int position) {
  // A bar with something to scroll runs 0..1000 and is shown; otherwise its range is 0..0 and it
  // is hidden, which waits while the user is still dragging a thumb.
  if (scrolls) {
    SetScrollRange(Handle(), bar, 0, 1000, false);
    SetScrollPos(Handle(), bar, position, true);
    ShowScrollBar(Handle(), bar, true);
  } else if (tracking_) {
    rangeResetPending_ = true;
  } else {
    SetScrollRange(Handle(), bar, 0, 0, true);
    ShowScrollBar(Handle(), bar, false);
  }
}

void TRiCustomRtfEdit::WMVScroll(TMessage& msg) {
  const int code = static_cast<int>(LOWORD(msg.WParam));
  const int thumb = static_cast<int>(HIWORD(msg.WParam));
  {
    Guard g(tracking_);
    if (code >= 0 && code <= 8) {
      const int range = std::max(0, engine_->DocumentHeight - engine_->WindowHeight());
      engine_->VertScroll(code, range * thumb / 1000);
    }
  }
  if (rangeResetPending_ && code == SB_ENDSCROLL) {
    rangeResetPending_ = false;
    UpdateHorzScrollBar();
  }
  UpdateVertScrollBar();
}

void TRiCustomRtfEdit::WMHScroll(TMessage& msg) {
  const int code = static_cast<int>(LOWORD(msg.WParam));
  const int thumb = static_cast<int>(HIWORD(msg.WParam));
  {
    Guard g(tracking_);
    if (code >= 0 && code <= 8) {
      const int range = std::max(0, engine_->TextWidth() - engine_->WindowWidth());
      engine_->HorzScroll(code, MulDiv(thumb, range, 1000));
    }
  }
  if (rangeResetPending_ && code == SB_ENDSCROLL) {
    rangeResetPending_ = false;
    UpdateVertScrollBar();
  }
  UpdateHorzScrollBar();
}

void TRiCustomRtfEdit::WMMouseWheel(TMessage& msg) {
  // Three small steps per notch, as a line step of the vertical bar; the cursor stays.
  wheelDelta_ += static_cast<short>(HIWORD(msg.WParam));
  while (wheelDelta_ >= WHEEL_DELTA || wheelDelta_ <= -WHEEL_DELTA) {
    const bool up = wheelDelta_ > 0;
    wheelDelta_ += up ? -WHEEL_DELTA : WHEEL_DELTA;
    for (int i = 0; i < 3; ++i) engine_->VertScroll(up ? SB_LINEUP : SB_LINEDOWN, 0);
  }
  UpdateVertScrollBar();
  msg.Result = 0;
}

void TRiCustomRtfEdit::WMCut(TMessage&) {
  // OnChange tells the owner of text that went.
  if (CanEdit() && CutSelection()) Change();
}

void TRiCustomRtfEdit::WMCopy(TMessage&) { CopyToClipboard(); }

void TRiCustomRtfEdit::WMPaste(TMessage&) {
  if (CanEdit()) PasteFromClipboard();
}

void TRiCustomRtfEdit::CMFontChanged(TMessage& msg) {
  InheritedMessage(TRiCustomRtfEdit::StaticClass(), msg);
  if (fontBusy_) return;
  Guard g(fontBusy_);
  FontToAttributes();
}

void TRiCustomRtfEdit::CMEnter(TMessage& msg) {
  if (SelectOnEntry && GetKeyState(VK_LBUTTON) >= 0) engine_->SelectRange(0, 268435455);
  InheritedMessage(TRiCustomRtfEdit::StaticClass(), msg);
}

void TRiCustomRtfEdit::CMCtl3DChanged(TMessage& msg) {
  InheritedMessage(TRiCustomRtfEdit::StaticClass(), msg);
  engine_->Redraw();
  if (HandleAllocated()) Invalidate();
}

void TRiCustomRtfEdit::CNCommand(TMessage& msg) {
  if (HIWORD(msg.WParam) == EN_CHANGE && !engine_->UpdateLocked && !engine_->InInput()) Change();
  msg.Result = 0;
}

void TRiCustomRtfEdit::FontToAttributes() {
  TAttr a = engine_->CurAttr;
  std::uint16_t mask = 0;
  const int index = GetFontIndex(TCustomControl::Font()->Name());
  if (index < MaxFonts) {
    a.Font = static_cast<std::uint8_t>(index);
    mask |= amFont;
  }
  if (TCustomControl::Font()->Size() > 0 && TCustomControl::Font()->Size() < 256) {
    a.Size = static_cast<std::uint8_t>(TCustomControl::Font()->Size());
    mask |= amSize;
  }
  a.SetTextColor(ColorIndex(TCustomControl::Font()->Color()));
  mask |= amTextColor;
  a.Style = static_cast<std::uint8_t>(a.Style & ~(fsBold | fsItalic | fsUnderline | fsStrikeOut));
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsBold)) a.Style |= fsBold;
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsItalic)) a.Style |= fsItalic;
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsUnderline)) a.Style |= fsUnderline;
  if (TCustomControl::Font()->Style().Contains(TFontStyle::fsStrikeOut)) a.Style |= fsStrikeOut;
  mask |= amReplaceStyleByte;
  engine_->CurAttr = a;
  if (engine_->HasSelection()) engine_->SetAttr(a, mask);
}

// --- keys -------------------------------------------------------------------------------------------------

void TRiCustomRtfEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0 || !Visible() || !Focused()) return;
  const bool s = shift.Contains(TShiftStateFlag::ssShift);
  const bool c = shift.Contains(TShiftStateFlag::ssCtrl);
  const bool a = shift.Contains(TShiftStateFlag::ssAlt);
  TRiRTFTextInput& e = *engine_;
  switch (key) {
    case VK_TAB:
      if (s && !c && !a) {
        FireEvent(ShiftTabPressed, this);
      } else if (c && !s && !a) {
        FireEvent(CtrlTabPressed, this);
      } else if (!s && !c && !a && CanEdit()) {
        e.InputString("\t");
      }
      key = 0;
      break;
    case VK_RETURN:
      if (c) {
        if (CanEdit()) {
          e.InputString("\f");
          Change();
        }
        key = 0;
      }
      break;
    case VK_PRIOR:
      if (c)
        e.ScrollUp(std::min(e.VertOffset(), e.WindowHeight()));
      else
        e.MoveCursor(cmPageUp, s);
      break;
    case VK_NEXT:
      if (c)
        e.ScrollDown(std::max(0, std::min(e.WindowHeight(), e.DocumentHeight - e.WindowHeight() - e.VertOffset())));
      else
        e.MoveCursor(cmPageDown, s);
      break;
    case VK_END: e.MoveCursor(c ? cmDocEnd : cmLineEnd, s); break;
    case VK_HOME: e.MoveCursor(c ? cmDocStart : cmLineStart, s); break;
    case VK_LEFT: e.MoveCursor(c ? cmWordLeft : cmCharLeft, s); break;
    case VK_RIGHT: e.MoveCursor(c ? cmWordRight : cmCharRight, s); break;
    case VK_UP: e.MoveCursor(cmLineUp, s); break;
    case VK_DOWN: e.MoveCursor(cmLineDown, s); break;
    case VK_INSERT:
      if (c)
        CopyToClipboard();
      else if (s) {
        if (CanEdit()) {
          PasteFromClipboard();
          Change();
        }
      } else
        SetInserting(!Inserting());
      break;
    case VK_DELETE:
      if (c || s) {
        if (CutSelection()) Change();
      } else if (CanEdit()) {
        e.InputString("\x7f");
        Change();
      }
      break;
    default:
      break;
  }
}

void TRiCustomRtfEdit::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == 0 || !Visible() || !Focused()) return;
  switch (static_cast<unsigned char>(key)) {
    case 3:
      CopyToClipboard();
      break;
    case 22:
      if (CanEdit()) {
        PasteFromClipboard();
        Change();
      }
      break;
    case 24:
      if (CanEdit()) {
        CutToClipboard();
        engine_->Redraw();
        Change();
      }
      break;
    case 27:
      if (engine_->HasSelection()) Unselect();
      break;
    case 9:
    case 10:
      break;
    case 1:  // Ctrl+A
      SelectAll();
      break;
    default:
      if (static_cast<unsigned char>(key) < 32 && key != 8 && key != 13) break;
      if (CanEdit()) {
        std::string text(1, key);
        FireEvent(GetTextToInsert, this, text);
        if (text.empty()) break;
        engine_->CurAttr.Extra &= static_cast<std::uint8_t>(~fxHidden);
        engine_->InputString(text);
        // A longer text waits for a layout in the engine.
        if (text.size() > 1) Reformat();
        Change();
      }
      break;
  }
  key = 0;
}

// --- mouse and links -------------------------------------------------------------------------------

bool TRiCustomRtfEdit::IsLinkChar(PTParagraph, PTLine line, int offset) const {
  return line != nullptr && line->HasAttrs() && offset >= 0 && offset < line->Length &&
         (line->Attrs[static_cast<std::size_t>(offset)].Style & fsLink) != 0 &&
         (line->Attrs[static_cast<std::size_t>(offset)].Extra & fxHidden) == 0;
}

bool TRiCustomRtfEdit::CharAt(int x, int y, PTParagraph& par, PTLine& line, int& offset, bool cell) const {
  engine_->CompletePages();  // the line under the point is found by its top
  const TRiRTFTextInput& e = *engine_;
  const int docX = x - e.LeftOffset - e.HorzOffset();
  const int docY = y - e.TopOffset + e.VertOffset();
  e.FindLineAt(docX, docY, par, line);
  if (line == nullptr || docY < line->Top || docY > line->Top + line->Height) return false;
  offset = e.CharAtX(par, line, docX);
  // The point lies on the character whose cell holds it.
  if (cell && offset > 0 && (offset >= line->Length || e.CharX(par, line, offset) > docX)) --offset;
  return true;
}

bool TRiCustomRtfEdit::LinkAt(int x, int y) {
  TRiRTFTextInput& e = *engine_;
  PTParagraph par;
  PTLine line;
  int offset;
  if (!CharAt(x, y, par, line, offset, true) || !IsLinkChar(par, line, offset)) return false;
  // Back to the start of the run, across line starts.
  PTParagraph sp = par;
  PTLine sl = line;
  int so = offset;
  for (;;) {
    if (so > 0 && IsLinkChar(sp, sl, so - 1)) {
      --so;
      continue;
    }
    if (so == 0) {
      PTLine prev = sl->Prev;
      PTParagraph pp = sp;
      if (prev == nullptr && sp->Prev != nullptr) {
        pp = sp->Prev;
        prev = TRiRTFText::Get_LastLine(pp);
      }
      if (prev != nullptr && prev->Length > 0 && IsLinkChar(pp, prev, prev->Length - 1)) {
        sp = pp;
        sl = prev;
        so = prev->Length - 1;
        continue;
      }
    }
    break;
  }
  // Forward over the run, into following lines while it reaches a line end.
  std::string text;
  PTParagraph ep = sp;
  PTLine el = sl;
  int eo = so;
  for (;;) {
    while (eo < el->Length && IsLinkChar(ep, el, eo)) text.push_back(el->Text()[eo++]);
    if (eo < el->Length) break;
    PTLine next = el->Next;
    PTParagraph np = ep;
    if (next == nullptr && ep->Next != nullptr) {
      np = ep->Next;
      next = np->FirstLine;
    }
    if (next == nullptr || next->Length == 0 || !IsLinkChar(np, next, 0)) break;
    ep = np;
    el = next;
    eo = 0;
  }
  // The hidden stamp directly after the run, on the same line.
  std::string stamp;
  while (eo < el->Length && static_cast<int>(stamp.size()) < kMaxStamp && el->HasAttrs() &&
         (el->Attrs[static_cast<std::size_t>(eo)].Extra & fxHidden))
    stamp.push_back(el->Text()[eo++]);
  int a, lineNumber, po, pn;
  e.CountPosition(sp, sl, so, a, lineNumber, po, pn);
  FireEvent(HyperLinkEvent, this, text, stamp, lineNumber);
  return true;
}

void TRiCustomRtfEdit::SelectWordAt(int x, int y) {
  TRiRTFTextInput& e = *engine_;
  e.MouseToCursor(x, y, false, false);
  PTParagraph par;
  PTLine line;
  int offset;
  if (!CharAt(x, y, par, line, offset, true) || line->Length == 0) return;
  offset = std::clamp(offset, 0, line->Length - 1);
  // The clicked character decides the kind of run: protected text, an insertion point, or a
  // word; every run ends at a blank or a tab.
  auto extra = [&](int i) -> std::uint8_t {
    return line->HasAttrs() ? line->Attrs[static_cast<std::size_t>(i)].Extra : std::uint8_t{0};
  };
  std::uint8_t kind = 0;
  if (extra(offset) & fxProtected)
    kind = fxProtected;
  else if (extra(offset) & fxInsertPoint)
    kind = fxInsertPoint;
  auto inRun = [&](int i) {
    const unsigned char ch = line->Ch(i);
    if (ch == ' ' || ch == '\t') return false;
    return kind == 0 || (extra(i) & kind) != 0;
  };
  if (!inRun(offset)) return;
  int from = offset, to = offset + 1;
  while (from > 0 && inRun(from - 1)) --from;
  while (to < line->Length && inRun(to)) ++to;
  e.SetSelection(par, line, false, from);
  e.SetSelection(par, line, true, to);
  e.CursorPar = par;
  e.CursorLine = line;
  e.CursorOffset = to;
  e.Redraw();
  e.UpdateCaret();
}

void TRiCustomRtfEdit::RightPress(int x, int y) {
  if (!OnMouseDownRight) return;
  PTParagraph par;
  PTLine line;
  int offset;
  if (!CharAt(x, y, par, line, offset, true) || line->Length == 0) return;
  offset = std::clamp(offset, 0, line->Length - 1);
  auto inWord = [&](int i) { return line->Ch(i) > ' '; };
  if (!inWord(offset)) return;
  int from = offset, to = offset + 1;
  while (from > 0 && inWord(from - 1)) --from;
  while (to < line->Length && inWord(to)) ++to;
  const std::string word(line->Text() + from, static_cast<std::size_t>(to - from));
  const TAttr attr = line->HasAttrs() ? line->Attrs[static_cast<std::size_t>(from)] : engine_->CurAttr;
  int position, lineNumber, parOffset, parNumber;
  engine_->CountPosition(par, line, from, position, lineNumber, parOffset, parNumber);
  std::string changed = word;
  OnMouseDownRight(this, changed, position, to - from, attr);
  if (changed == word || !CanEdit()) return;
  // The handler may have changed the document: the place is looked up again by position.
  TRiTextFinder finder;
  finder.Bind(engine_.get());
  if (!finder.ReplaceAt(position, to - from, changed)) return;
  engine_->SetCursor(position + static_cast<int>(changed.size()), 0, 0, 0);
  engine_->ScrollToCursor();
  engine_->Redraw();
  engine_->UpdateCaret();
  Change();
}

bool TRiCustomRtfEdit::PositionAt(int x, int y, int& position) const {
  PTParagraph par;
  PTLine line;
  int offset;
  if (!CharAt(x, y, par, line, offset, false)) return false;
  int lineNumber, parOffset, parNumber;
  engine_->CountPosition(par, line, offset, position, lineNumber, parOffset, parNumber);
  return true;
}

std::string TRiCustomRtfEdit::SelectionAsRtf() {
  TRiRTFTextInput& e = *engine_;
  if (selectionDrag_) e.SelectRange(dragStart_, dragLength_);
  if (!e.HasSelection()) return {};
  std::string rtf;
  const TRiLoadFormat saved = e.SaveFormat;
  try {
    TMemoryStream s;
    e.SaveFormat = TRiLoadFormat::FormatRTF;
    e.SaveSelectionToStream(s);
    rtf.assign(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
  } catch (...) {
    e.SaveFormat = saved;
    throw;
  }
  e.SaveFormat = saved;
  const std::size_t zero = rtf.find('\0');
  if (zero != std::string::npos) rtf.resize(zero);
  return rtf;
}

void TRiCustomRtfEdit::MoveSelectionTo(int start, int length, int drop) {
  if (drop >= start && drop <= start + length) return;  // dropped onto itself
  TRiRTFTextInput& e = *engine_;
  e.SelectRange(start, length);
  const std::string rtf = SelectionAsRtf();
  if (rtf.empty()) return;
  e.SetSelection(nullptr, nullptr, false, 0);
  e.SetCursor(drop, 0, 0, 0);
  if (!e.TakesTextAt(e.CursorPar, e.CursorLine, e.CursorOffset)) {
    e.SelectRange(start, length);
    return;
  }
  if (e.SaveForUNDO) e.SaveForUNDO();
  const int inserted = InsertAtCursor(rtf, true);
  if (inserted == 0) {
    e.SelectRange(start, length);
    return;
  }
  // The copy stands before or after the selection, which moved by the copy's length or not.
  const int from = drop < start ? start + inserted : start;
  e.SelectRange(from, length);
  if (!e.DeleteSelection()) {
    // Protected text stays where it was: the copy goes again, protection or not.
    const bool off = e.ProtectionOff;
    e.ProtectionOff = true;
    e.SelectRange(drop, inserted);
    e.DeleteSelection();
    e.ProtectionOff = off;
    e.SelectRange(start, length);
    return;
  }
  e.SetCursor(drop < start ? drop + inserted : drop - length + inserted, 0, 0, 0);
  e.ScrollToCursor();
  Change();
}

bool TRiCustomRtfEdit::DropsRtf(TObject* source) const {
  auto* editor = dynamic_cast<TRiCustomRtfEdit*>(source);
  return editor != nullptr && (editor != this || selectionDrag_);
}

std::string TRiCustomRtfEdit::DroppedText(const TCustomEdit& edit) {
  // Line ends of a memo (CR LF, or a lone LF) become paragraph ends.
  std::string text;
  for (char c : edit.Text()) {
    if (c == '\n') {
      if (text.empty() || text.back() != '\r') text += '\r';
    } else {
      text += c;
    }
  }
  return text;
}

bool TRiCustomRtfEdit::TakesDrop(TObject* source, int x, int y) {
  TRiRTFTextInput& e = *engine_;
  if (source == this && selectionDrag_) {
    // The selection moves onto the text, not onto itself, and only when it may leave its place.
    int drop = 0;
    if (!dragMovable_ || !PositionAt(x, y, drop) || (drop >= dragStart_ && drop <= dragStart_ + dragLength_))
      return false;
  }
  if (DropsRtf(source)) return e.TakesTextAt(e.CursorPar, e.CursorLine, e.CursorOffset);
  if (auto* edit = dynamic_cast<TCustomEdit*>(source)) {
    const std::string text = DroppedText(*edit);
    return !text.empty() && e.TakesInput(text.front());
  }
  return true;
}

void TRiCustomRtfEdit::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  if (!DragAndDropSupport) {
    TCustomControl::DragOver(source, x, y, state, accept);
    return;
  }
  accept = !ReadOnly() && engine_->EditAllowed;
  if (accept && state != TDragState::dsDragLeave) {
    engine_->MouseToCursor(x, y, true, false);
    engine_->UpdateCaret();
    accept = TakesDrop(source, x, y);
  }
  FireEvent(OnDragOver, this, source, x, y, state, accept);
}

void TRiCustomRtfEdit::DragDrop(TObject* source, int x, int y) {
  if (!DragAndDropSupport) {
    TCustomControl::DragDrop(source, x, y);
    return;
  }
  TRiRTFTextInput& e = *engine_;
  int drop = 0;
  const bool onText = PositionAt(x, y, drop);
  // Text dropped from elsewhere goes in beside the selection, never in place of it.
  if (e.HasSelection() && !(source == this && selectionDrag_)) Unselect();
  if (onText) e.MouseToCursor(x, y, false, false);
  auto* editor = dynamic_cast<TRiCustomRtfEdit*>(source);
  auto* edit = dynamic_cast<TCustomEdit*>(source);
  if (editor == this && selectionDrag_) {
    if (onText && TakesDrop(source, x, y) && CanEdit()) MoveSelectionTo(dragStart_, dragLength_, drop);
  } else if (editor != nullptr && editor != this) {
    // A copy of the other editor's selection; the source keeps its text.
    const std::string rtf = editor->SelectionAsRtf();
    if (!rtf.empty() && TakesDrop(source, x, y) && CanEdit()) {
      if (e.SaveForUNDO) e.SaveForUNDO();
      if (InsertAtCursor(rtf, true) > 0) Change();
    }
  } else if (edit != nullptr) {
    // A place that takes none of the text (protected text, a full table cell) stays as it was.
    const std::string text = DroppedText(*edit);
    if (TakesDrop(source, x, y) && CanEdit()) {
      // The drop is one undo step: the engine's own steps (one for each paragraph typed into)
      // wait until it is in.
      if (e.SaveForUNDO) e.SaveForUNDO();
      std::function<void()> undo = std::move(e.SaveForUNDO);
      e.SaveForUNDO = nullptr;
      try {
        e.InputString(text);
      } catch (...) {
        e.SaveForUNDO = std::move(undo);
        throw;
      }
      e.SaveForUNDO = std::move(undo);
      e.ReformatAll();
      Change();
    }
  } else {
    TCustomControl::DragDrop(source, x, y);
  }
  e.Redraw();
  e.UpdateCaret();
}

void TRiCustomRtfEdit::DoEndDrag(TObject* target, int x, int y) {
  if (selectionDrag_) {
    selectionDrag_ = false;
    if (target == nullptr) {
      engine_->SelectRange(dragStart_, dragLength_);
      engine_->Redraw();
      engine_->UpdateCaret();
    }
  }
  TCustomControl::DoEndDrag(target, x, y);
}

void TRiCustomRtfEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button == TMouseButton::mbRight) RightPress(x, y);
  if (button != TMouseButton::mbLeft) return;
  const bool dbl = shift.Contains(TShiftStateFlag::ssDouble);
  if (CanFocus() && !Focused()) SetFocus();
  if ((dbl || OneClickHyperlink) && !mouseDown_) {
    if (LinkAt(x, y)) return;
    if (dbl && !NoBlockMarking && !OneClickHyperlink) {
      SelectWordAt(x, y);
      return;
    }
  }
  mouseDown_ = true;
  pressX_ = x;
  pressY_ = y;
  SetMouseCapture(true);
  // A press in the corner of the selected object starts resizing it; the cursor stays.
  PTParagraph opar;
  PTLine oline;
  int ooffset;
  TPoint corner;
  if (overCorner_ && !dbl && SelectedObject(opar, oline, ooffset, corner)) {
    const TAttr& a = oline->Attrs[static_cast<std::size_t>(ooffset)];
    const TRiObject* object = engine_->ObjectOf(oline->Ch(ooffset), a.Tag);
    if (object != nullptr) {
      const TTextHeader& h = engine_->Header();
      sizing_ = true;
      sizeFrom_ = TPoint{x, y};
      sizeWidth_ = MulDiv(object->Width, std::max(1, h.ResolutionX), TwipsPerInch);
      sizeHeight_ = MulDiv(object->Height, std::max(1, h.ResolutionY), TwipsPerInch);
      return;
    }
  }
  // A press inside the selection of an editable control may start dragging it.
  int position = 0;
  if (DragAndDropSupport && !dbl && EngineInputAllowed() && engine_->EditAllowed &&
      engine_->GetSelection(dragStart_, dragLength_) && dragLength_ > 0 && PositionAt(x, y, position) &&
      position >= dragStart_ && position < dragStart_ + dragLength_) {
    dragPending_ = true;
    return;
  }
  engine_->MouseToCursor(x, y, false, shift.Contains(TShiftStateFlag::ssShift));
}

void TRiCustomRtfEdit::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (dragPending_) {
    if (std::abs(x - pressX_) + std::abs(y - pressY_) > 6) {
      // From here the drag holds the mouse; its release ends in DragDrop or DoEndDrag.
      dragPending_ = false;
      mouseDown_ = false;
      selectionDrag_ = true;
      dragMovable_ = engine_->SelectionDeletable();
      BeginDrag(true);
      if (!Dragging()) selectionDrag_ = false;  // another drag goes on
    }
    return;
  }
  if (sizing_) return;
  if (mouseDown_) {
    if (!NoBlockMarking) {
      engine_->MouseToCursor(x, y, true, true);
      engine_->Redraw();
    }
    return;
  }
  // Within 10 pixels above and left of the selected object's lower right corner the pointer
  // offers to resize it.
  PTParagraph par;
  PTLine line;
  int offset;
  TPoint corner;
  overCorner_ = !ReadOnly() && engine_->EditAllowed && SelectedObject(par, line, offset, corner) && x <= corner.X &&
                y <= corner.Y && x >= corner.X - 10 && y >= corner.Y - 10;
  sizingCursor_.Update(*this, overCorner_, crSizeNWSE);
  if (overCorner_ || HyperLinkCursor == crDefault) return;
  const bool over = CharAt(x, y, par, line, offset, true) && IsLinkChar(par, line, offset);
  linkCursor_.Update(*this, over, HyperLinkCursor);
}

bool TRiCustomRtfEdit::SelectedObject(PTParagraph& par, PTLine& line, int& offset, TPoint& corner) const {
  const TRiRTFTextInput& e = *engine_;
  int start = 0, length = 0;
  if (!e.GetSelection(start, length) || length != 1) return false;
  int a, ln, po, pn;
  e.CountPosition(e.SelStartPar, e.SelStartLine, e.SelStartOffset, a, ln, po, pn);
  const bool fromStart = a == start;
  par = fromStart ? e.SelStartPar : e.SelEndPar;
  line = fromStart ? e.SelStartLine : e.SelEndLine;
  offset = fromStart ? e.SelStartOffset : e.SelEndOffset;
  if (line != nullptr && offset >= line->Length && line->Next != nullptr) {
    line = line->Next;
    offset = 0;
  }
  if (line == nullptr || offset < 0 || offset >= line->Length || !line->HasAttrs()) return false;
  const TAttr& attr = line->Attrs[static_cast<std::size_t>(offset)];
  if (!(attr.Extra & fxObject)) return false;
  // The object stands on the base line.
  corner.X = e.CharX(par, line, offset) + attr.Width + e.LeftOffset + e.HorzOffset();
  corner.Y = line->Top + line->Ascent - e.VertOffset() + e.TopOffset;
  return true;
}

void TRiCustomRtfEdit::ResizeSelectedObject(int width, int height) {
  PTParagraph par;
  PTLine line;
  int offset;
  TPoint corner;
  if (!SelectedObject(par, line, offset, corner) || !CanEdit()) return;
  TAttr& attr = line->Attrs[static_cast<std::size_t>(offset)];
  TRiObject* object = engine_->ObjectOf(line->Ch(offset), attr.Tag);
  if (object == nullptr) return;
  width = std::max(2, width);
  height = std::max(2, height);
  const TTextHeader& h = engine_->Header();
  object->Width = MulDiv(width, TwipsPerInch, std::max(1, h.ResolutionX));
  object->Height = MulDiv(height, TwipsPerInch, std::max(1, h.ResolutionY));
  object->Sized = true;
  attr.Width = static_cast<std::uint16_t>(width);
  attr.Height = static_cast<std::uint16_t>(height);
  attr.Ascent = static_cast<std::uint16_t>(height);
  par->Mark();
  engine_->ParagraphChanged(par);
  engine_->Paginate();
  engine_->Redraw();
  Change();
}

void TRiCustomRtfEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (button != TMouseButton::mbLeft || !mouseDown_) return;
  mouseDown_ = false;
  SetMouseCapture(false);
  if (sizing_) {
    sizing_ = false;
    ResizeSelectedObject(sizeWidth_ + x - sizeFrom_.X, sizeHeight_ + y - sizeFrom_.Y);
    return;
  }
  if (dragPending_) {
    dragPending_ = false;
    // Not dragged after all: a plain click in the selection.
    engine_->MouseToCursor(x, y, false, false);
  }
  if (x == pressX_ && y == pressY_ && engine_->HasSelection() && !shift.Contains(TShiftStateFlag::ssShift)) Unselect();
  engine_->UpdateCaret();
}

}  // namespace tw::richtext
