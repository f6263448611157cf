#include "richtext/controls/richtext.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/classes/streams.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/dialogs/filedialogs.h"
#include "richtext/controls/componentlink.h"
#include "richtext/controls/pageprop.h"

namespace tw::richtext {

namespace {

TRiToolLanguage& LanguageValue() {
  static TRiToolLanguage language = TRiToolLanguage::twpEnglish;
  return language;
}

struct TextPair {
  const char* English;
  const char* German;
};

// Texts 56001..56013 (English), 56101..56113 (German).
constexpr TextPair kTexts[] = {
    {"RTF files|*.RTF|HTML files|*.HTM|TXT files|*.TXT|all files (*.*)|*.*",
     "Formatierte Texte|*.RTF|HTML Dateien|*.HTM|Textdateien|*.TXT|alle Dateien (*.*)|*.*"},
    {"Do you want to abort operation?", "Soll Operation abgebrochen werden?"},
    {"Ready", "Bereit"},
    {"reading ...", "beim lesen..."},
    {"writing ...", "beim schreiben"},
    {"formatting ...", "beim formatieren"},
    {"formatting ...", "beim formatieren"},
    {"initialize memory", "initialisiere speicher..."},
    {"no text selected", "keine Auswahl markiert"},
    {"RICH", "FMT"},
    {"PLAIN", "NORM"},
    {"Internal Error", "Interner Fehler"},
    {"Delete all tabstops?", "Tabulatoren l\xF6schen"},
};

// Style-word bits of the tool panel's style buttons 2..8.
constexpr std::uint16_t kStyleOfButton[] = {0, 0, fsBold, fsItalic, fsUnderline, fsLink, fsStrikeOut, fsSuper, fsSub};

bool ParseInt(const std::string& text, int& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  while (first < last && *first == ' ') ++first;
  const auto r = std::from_chars(first, last, value);
  return r.ec == std::errc() && r.ptr != first;
}

// The shared dialogs live until the program ends; the component last bound receives their events.
TFindDialog*& SharedFind() {
  static TFindDialog* dialog = nullptr;
  return dialog;
}
TReplaceDialog*& SharedReplace() {
  static TReplaceDialog* dialog = nullptr;
  return dialog;
}
TRiCustomRichText*& BoundComponent() {
  static TRiCustomRichText* bound = nullptr;
  return bound;
}

}  // namespace

TRiToolLanguage RichTextLanguage() { return LanguageValue(); }
void SetRichTextLanguage(TRiToolLanguage language) { LanguageValue() = language; }

std::string RichTextString(int id) {
  const int index = id - rsFileFilter;
  if (index < 0 || index >= static_cast<int>(std::size(kTexts))) return "";
  const TextPair& t = kTexts[index];
  return LanguageValue() == TRiToolLanguage::twpGerman ? t.German : t.English;
}

char RichTextDecimalSeparator() { return LanguageValue() == TRiToolLanguage::twpGerman ? ',' : '.'; }

void RegisterRichTextControls() {
  RegisterClass<TRiRichText>();
  RegisterClass<TRiPagePropDlg>();
  RegisterClass<TRiRuler>();
  RegisterClass<TRiStatusBarBasic>();
  RegisterClass<TRiToolPanel>();
}

TW_MESSAGE_MAP(TRiCustomRichText, OnMessage<TRiCustomRichText, &TRiCustomRichText::WMSetFocus>(WM_SETFOCUS));

TW_PUBLISHED(TRiCustomRichText, Prop("Language", &TRiCustomRichText::Language, &TRiCustomRichText::SetLanguage),
             Prop("RiRuler", &TRiCustomRichText::RiRuler, &TRiCustomRichText::SetRiRuler),
             Prop("StatusBar", &TRiCustomRichText::StatusBar, &TRiCustomRichText::SetStatusBar),
             Prop("RiToolBar", &TRiCustomRichText::RiToolBar, &TRiCustomRichText::SetRiToolBar),
             Prop("StatusLabel", &TRiCustomRichText::StatusLabel, &TRiCustomRichText::SetStatusLabel),
             Prop("ExternVerScrollBar", &TRiCustomRichText::ExternVerScrollBar,
                  &TRiCustomRichText::SetExternVerScrollBar),
             Prop("ExternHorScrollBar", &TRiCustomRichText::ExternHorScrollBar,
                  &TRiCustomRichText::SetExternHorScrollBar),
             Prop("TemplateName", &TRiCustomRichText::TemplateName),
             Prop("StartSpellCheck", &TRiCustomRichText::StartSpellCheck));

// --- set-mode reports --------------------------------------------------------------------------

void TRiRichTextSetMode::ParagraphChanged() { owner_->ShowParagraph(); }
void TRiRichTextSetMode::AttributesChanged() { owner_->ShowAttributes(); }
void TRiRichTextSetMode::PositionChanged(int) { owner_->ShowRulerOffset(); }

TFindDialog* TRiCustomRichText::FindDialog() {
  if (SharedFind() == nullptr) SharedFind() = new TFindDialog(nullptr);
  return SharedFind();
}

TReplaceDialog* TRiCustomRichText::ReplaceDialog() {
  if (SharedReplace() == nullptr) SharedReplace() = new TReplaceDialog(nullptr);
  return SharedReplace();
}

TRiCustomRichText::TRiCustomRichText(TComponent* owner)
    : TRiCustomRtfEdit(owner),
      finder_(std::make_unique<TRiTextFinder>()),
      setMode_(std::make_unique<TRiRichTextSetMode>(this)) {
  // Arial is the component's font and the first entry of its font table.
  GetFontIndex("Arial");
  setMode_->Engine = engine_.get();
  setMode_->CurrentParagraph = [this] { return engine_->CursorPar; };
  engine_->SetMode = setMode_.get();
}

TRiCustomRichText::~TRiCustomRichText() {
  engine_->SetMode = nullptr;
  Detach();
}

void TRiCustomRichText::Detach() {
  SetRiRuler(nullptr);
  SetStatusBar(nullptr);
  SetRiToolBar(nullptr);
  SetStatusLabel(nullptr);
  SetExternVerScrollBar(nullptr);
  SetExternHorScrollBar(nullptr);
  if (BoundComponent() == this) {
    BoundComponent() = nullptr;
    if (SharedFind() != nullptr) SharedFind()->OnFind = nullptr;
    if (SharedReplace() != nullptr) {
      SharedReplace()->OnFind = nullptr;
      SharedReplace()->OnReplace = nullptr;
    }
  }
}

void TRiCustomRichText::Notification(TComponent* component, TOperation operation) {
  TRiCustomRtfEdit::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == externVer_) externVer_ = nullptr;
  if (component == externHor_) externHor_ = nullptr;
  if (component == ruler_) ruler_ = nullptr;
  if (component == statusBar_) statusBar_ = nullptr;
  if (component == toolBar_) toolBar_ = nullptr;
  if (component == statusLabel_) statusLabel_ = nullptr;
}

// --- files ---------------------------------------------------------------------------------------

void TRiCustomRichText::LoadFromFile(const std::string& fileName) {
  // The file is opened before the document is cleared: a file that cannot be read leaves the
  // text as it was.
  TFileStream in(fileName, fmOpenRead | fmShareDenyWrite);
  ClearForNewDocument();
  engine_->Header().LastFormat = static_cast<int>(engine_->LoadFromStream(in));
  FileName = fileName;
  engine_->SetCursor(0, 0, 0, 0);
  Reformat();
  Modified = false;
  StatusBarUpdate();
}

void TRiCustomRichText::SaveToFile(const std::string& fileName) {
  engine_->SaveToFile(fileName);
  FileName = fileName;
  Modified = false;
  StatusBarUpdate();
}

void TRiCustomRichText::LoadFromStream(TStream& stream) {
  ClearForNewDocument();
  engine_->LoadFromStream(stream);
  engine_->SetCursor(0, 0, 0, 0);
  Reformat();
  Modified = false;
  StatusBarUpdate();
}

void TRiCustomRichText::ClearForNewDocument() {
  TRiCustomRtfEdit::Clear();
  // A large plain text read before left the engine without attributes: the new document is
  // read in the editor's own memory format (a large plain text switches it again).
  if (engine_->MemoryFormat() != MemoryFormat()) engine_->SetMemoryFormat(MemoryFormat());
}

void TRiCustomRichText::SaveToStream(TStream& stream) {
  engine_->SaveToStream(stream);
  Modified = false;
}

void TRiCustomRichText::Clear() {
  TRiCustomRtfEdit::Clear();
  Modified = false;
  FileName.clear();
  StatusBarUpdate();
}

bool TRiCustomRichText::SaveSelectionToStream(TStream& stream) {
  if (!engine_->HasSelection()) {
    SetStatusText(RichTextString(rsNoSelection));
    return false;
  }
  engine_->SaveSelectionToStream(stream);
  return true;
}

// --- external scroll bars -------------------------------------------------------------------------

void TRiCustomRichText::SetExternVerScrollBar(TScrollBar* bar) {
  if (externVer_ != nullptr && externVer_ != bar) externVer_->OnScroll = nullptr;
  ReplaceLink(this, externVer_, bar);
  if (externVer_ == nullptr) return;
  externVer_->OnScroll = [this](TObject*, TScrollCode code, int& pos) {
    const int range = std::max(0, engine_->DocumentHeight - engine_->WindowHeight());
    engine_->VertScroll(static_cast<int>(code), range * std::clamp(pos, 0, 1000) / 1000);
    UpdateVertScrollBar();
  };
  UpdateVertScrollBar();
}

void TRiCustomRichText::SetExternHorScrollBar(TScrollBar* bar) {
  if (externHor_ != nullptr && externHor_ != bar) externHor_->OnScroll = nullptr;
  ReplaceLink(this, externHor_, bar);
  if (externHor_ == nullptr) return;
  externHor_->OnScroll = [this](TObject*, TScrollCode code, int& pos) {
    const int range = std::max(0, engine_->TextWidth() - engine_->WindowWidth());
    engine_->HorzScroll(static_cast<int>(code), MulDiv(std::clamp(pos, 0, 1000), range, 1000));
    UpdateHorzScrollBar();
  };
  UpdateHorzScrollBar();
}

void TRiCustomRichText::UpdateVertScrollBar() {
  TRiCustomRtfEdit::UpdateVertScrollBar();
  if (externVer_ == nullptr) return;
  const int range = engine_->DocumentHeight - engine_->WindowHeight();
  externVer_->SetParams(range > 0 ? std::min(999, engine_->VertOffset() * 1000 / range) : 0, 0, 1000);
}

void TRiCustomRichText::UpdateHorzScrollBar() {
  TRiCustomRtfEdit::UpdateHorzScrollBar();
  if (externHor_ == nullptr) return;
  const int range = engine_->TextWidth() - engine_->WindowWidth();
  externHor_->SetParams(range > 0 ? std::clamp(MulDiv(-engine_->HorzOffset(), 1000, range), 0, 1000) : 0, 0,
                                1000);
}

// --- find and replace ---------------------------------------------------------------------------

void TRiCustomRichText::ShowFindDialog() {
  if (ReplaceDialog()->Showing()) ReplaceDialog()->CloseDialog();
  if (FindDialog()->Showing()) FindDialog()->CloseDialog();
  BoundComponent() = this;
  FindDialog()->OnFind = [this](TObject* sender) { DoFind(sender); };
  FindDialog()->SetOptions(TFindOptions{frDown});
  FindDialog()->Execute();
}

void TRiCustomRichText::ShowReplaceDialog() {
  if (FindDialog()->Showing()) FindDialog()->CloseDialog();
  if (ReplaceDialog()->Showing()) ReplaceDialog()->CloseDialog();
  BoundComponent() = this;
  ReplaceDialog()->OnFind = [this](TObject* sender) { DoFind(sender); };
  ReplaceDialog()->OnReplace = [this](TObject* sender) { DoReplace(sender); };
  ReplaceDialog()->SetOptions(TFindOptions{});
  ReplaceDialog()->Execute();
}

void TRiCustomRichText::SearchFrom(const std::string& text, TFindOptions options) {
  TRiTextFinder& f = *finder_;
  f.Bind(engine_.get());
  f.Wildcard = '*';
  f.WholeWord = options.Contains(frWholeWord);
  f.CaseSensitive = options.Contains(frMatchCase);
  const bool down = options.Contains(frDown);
  // Forwards from the end of a selection, backwards from before its start; backwards from the
  // document start there is nothing to find.
  int start = engine_->CursorPosition(), length = 0;
  int selStart = 0;
  if (engine_->GetSelection(selStart, length)) start = down ? selStart + length : selStart;
  if (!down && start <= 0) return;
  f.SetPosition(down ? start : start - 1);
  const bool hit = down ? f.FindNext(text) : f.FindPrevious(text);
  if (!hit) return;
  engine_->SelectRange(f.FoundPosition(), f.FoundLength());
  engine_->SetCursor(down ? f.FoundPosition() + f.FoundLength() : f.FoundPosition(), 0, 0, 0);
  engine_->ScrollToCursor();
  engine_->Redraw();
  engine_->UpdateCaret();
}

void TRiCustomRichText::DoFind(TObject* sender) {
  auto* dialog = dynamic_cast<TFindDialog*>(sender);
  if (dialog == nullptr) dialog = FindDialog();
  SearchFrom(dialog->FindText(), dialog->Options());
}

void TRiCustomRichText::DoReplace(TObject* sender) {
  auto* dialog = dynamic_cast<TReplaceDialog*>(sender);
  if (dialog == nullptr) dialog = ReplaceDialog();
  if (!CanEdit()) return;
  TRiTextFinder& f = *finder_;
  f.Bind(engine_.get());
  f.Wildcard = '*';
  f.WholeWord = dialog->Options().Contains(frWholeWord);
  f.CaseSensitive = dialog->Options().Contains(frMatchCase);
  engine_->ClearSelection();
  if (dialog->Options().Contains(frReplaceAll)) {
    f.Replacement = dialog->ReplaceText();
    f.SetPosition(0);
    f.ReplaceAll(dialog->FindText());
    engine_->SetCursor(0, 0, 0, 0);
    Reformat();
    Change();
    return;
  }
  // The one current hit: the selection when it matches, else the next hit from the cursor.
  int selStart = 0, selLength = 0;
  const bool selected = engine_->GetSelection(selStart, selLength);
  f.SetPosition(selected ? selStart : engine_->CursorPosition());
  if (!f.FindNext(dialog->FindText())) return;
  if (!f.ReplaceFound(dialog->ReplaceText())) {
    // Protected text is not replaced; the hit is shown so the user sees why.
    engine_->SelectRange(f.FoundPosition(), f.FoundLength());
    engine_->SetCursor(f.FoundPosition() + f.FoundLength(), 0, 0, 0);
    engine_->ScrollToCursor();
    engine_->Redraw();
    return;
  }
  const int hitPos = f.FoundPosition();
  const int after = hitPos + f.FoundLength();
  Reformat();
  Change();
  // The next hit in the dialog's direction: after the replacement, or before the replaced hit.
  const bool down = dialog->Options().Contains(frDown);
  bool next = false;
  if (down) {
    f.SetPosition(after);
    next = f.FindNext(dialog->FindText());
  } else if (hitPos > 0) {
    f.SetPosition(hitPos - 1);
    next = f.FindPrevious(dialog->FindText());
  }
  if (next) {
    engine_->SelectRange(f.FoundPosition(), f.FoundLength());
    engine_->SetCursor(down ? f.FoundPosition() + f.FoundLength() : f.FoundPosition(), 0, 0, 0);
  } else {
    engine_->SetCursor(after, 0, 0, 0);
  }
  engine_->ScrollToCursor();
  engine_->Redraw();
}

// --- attached controls ---------------------------------------------------------------------------

void TRiCustomRichText::SetRiRuler(TRiRuler* ruler) {
  if (ruler_ == ruler) return;
  if (ruler_ != nullptr && ruler_->Editor() == this) {
    ruler_->SetEditor(nullptr);
    ruler_->SetHeader(nullptr);
  }
  ReplaceLink(this, ruler_, ruler);
  if (ruler_ == nullptr) return;
  ruler_->SetEditor(this);
  ruler_->SetHeader(&engine_->Header());
  ShowParagraph();
  ShowRulerOffset();
}

void TRiCustomRichText::SetStatusBar(TRiStatusBarBasic* bar) {
  if (statusBar_ == bar) return;
  if (statusBar_ != nullptr && statusBar_->Editor() == this) statusBar_->SetEditor(nullptr);
  ReplaceLink(this, statusBar_, bar);
  if (statusBar_ == nullptr) return;
  statusBar_->SetEditor(this);
  statusBar_->RefreshItems();
}

void TRiCustomRichText::SetRiToolBar(TRiCustomToolPanel* panel) {
  if (!ReplaceLink(this, toolBar_, panel) || toolBar_ == nullptr) return;
  toolBar_->Attach(this);
  ShowAttributes();
  ShowParagraph();
}

void TRiCustomRichText::SetStatusLabel(TLabel* label) { ReplaceLink(this, statusLabel_, label); }

void TRiCustomRichText::SetStatusText(const std::string& text) {
  const std::string shown = text.empty() ? RichTextString(rsReady) : text;
  if (statusLabel_ != nullptr) {
    statusLabel_->SetCaption(shown);
    statusLabel_->Invalidate();
  }
  if (statusBar_ != nullptr) statusBar_->SetItemText(TRiStatusItem::stStatus, shown);
}

void TRiCustomRichText::UpdateAttachedControls() {
  if (ruler_ != nullptr) {
    ruler_->SetHeader(&engine_->Header());
    ShowRulerOffset();
  }
  if (statusBar_ != nullptr) statusBar_->RefreshItems();
  if (toolBar_ != nullptr) {
    toolBar_->Attach(this);
    ShowAttributes();
  }
  ShowParagraph();
}

void TRiCustomRichText::Loaded() {
  TRiCustomRtfEdit::Loaded();
  if (!ComponentState().Contains(TComponentStateFlag::csDesigning)) UpdateAttachedControls();
}

void TRiCustomRichText::WMSetFocus(TMessage& msg) {
  InheritedMessage(TRiCustomRichText::StaticClass(), msg);
  if (!ComponentState().Contains(TComponentStateFlag::csDesigning) && Visible()) UpdateAttachedControls();
}

void TRiCustomRichText::SetWordWrap(bool value) {
  TRiCustomRtfEdit::SetWordWrap(value);
  UpdateAttachedControls();
}

void TRiCustomRichText::SetZooming(int value) {
  TRiCustomRtfEdit::SetZooming(value);
  UpdateAttachedControls();
}

void TRiCustomRichText::SetResizing(int value) {
  TRiCustomRtfEdit::SetResizing(value);
  UpdateAttachedControls();
}

void TRiCustomRichText::CursorShown() { ShowPosition(); }

void TRiCustomRichText::ViewScrolled() { ShowRulerOffset(); }

// --- what the attached controls show ---------------------------------------------------------------

void TRiCustomRichText::ShowParagraph() {
  PTParagraph par = engine_->CursorPar;
  if (ruler_ != nullptr && par != nullptr) {
    ruler_->SetHeader(&engine_->Header());
    if (par->IsCell()) {
      const int origin = ruler_->LeftMargin() + ruler_->XOffset();
      ruler_->SetTableCell(true, origin + engine_->CellLeft(par), origin + engine_->TextWidth() - engine_->CellRight(par));
      ruler_->ShowValues(ruler_->FirstIndent(), ruler_->LeftIndent(), ruler_->RightIndent(), par->Tabs);
    } else {
      ruler_->SetTableCell(false, 0, 0);
      ruler_->ShowValues(par->FirstIndent, par->LeftIndent, par->RightIndent, par->Tabs);
    }
    ShowRulerOffset();
  }
  if (toolBar_ != nullptr && par != nullptr) {
    static constexpr int kButtonOfAlignment[4] = {1, 2, 4, 3};
    toolBar_->PressButton(tkPress, tgAlignment, kButtonOfAlignment[par->Alignment & 3]);
    toolBar_->SetField(tfFontName, setMode_->FontName(), 0);
    ShowEditState();
  }
}

void TRiCustomRichText::ShowAttributes() {
  if (toolBar_ == nullptr) return;
  const std::uint32_t style = setMode_->Style() & 0xFFFF;
  const bool selection = engine_->HasSelection();
  struct Bit {
    std::uint32_t Value;
    int Button;
  };
  static constexpr Bit kBits[] = {{fsBold, 2},   {fsItalic, 3}, {fsUnderline, 4}, {fsLink, 5},    {fsStrikeOut, 6},
                                  {fsSuper, 7},  {fsSub, 8},    {swHidden, 9},    {0x0400u, 19}};
  bool any = false;
  for (const Bit& b : kBits) {
    bool on = (style & b.Value) != 0;
    if (b.Value == swHidden) on = on && selection;
    any = any || on;
    if (on)
      toolBar_->PressButton(tkPress, tgStyle, b.Button);
    else
      toolBar_->ReleaseButton(tkRelease, tgStyle, b.Button);
  }
  if (!any && !selection)
    toolBar_->PressButton(tkPress, tgStyle, 1);
  else
    toolBar_->ReleaseButton(tkRelease, tgStyle, 1);
  toolBar_->SetField(tfFontName, setMode_->FontName(), 0);
  toolBar_->SetField(tfSize, std::to_string(setMode_->Size()), 0);
  toolBar_->SetField(tfTextColor, std::to_string(setMode_->TextColor()), 0);
  toolBar_->SetField(tfBackColor, std::to_string(setMode_->BackgroundColor()), 0);
}

void TRiCustomRichText::ShowEditState() {
  if (toolBar_ == nullptr) return;
  const bool selection = engine_->HasSelection();
  toolBar_->EnableButton(tgEdit, 1, selection, 0);
  toolBar_->EnableButton(tgEdit, 2, selection && !ReadOnly(), 0);
  toolBar_->EnableButton(tgEdit, 3, clipboardNotEmpty_ && !ReadOnly(), 0);
  // Select all shows pressed while the whole text is selected.
  int start = 0, length = 0;
  bool all = false;
  if (engine_->GetSelection(start, length)) {
    int total = -1;
    for (PTParagraph p = engine_->FirstPar; p != nullptr; p = p->Next) total += TRiRTFText::ParagraphLength(p) + 1;
    all = start == 0 && length >= total;
  }
  if (all)
    toolBar_->PressButton(tkPress, tgEdit, 4);
  else
    toolBar_->ReleaseButton(tkRelease, tgEdit, 4);
}

void TRiCustomRichText::DoEditState(bool selectionMarked, bool clipboardNotEmpty) {
  TRiCustomRtfEdit::DoEditState(selectionMarked, clipboardNotEmpty);
  clipboardNotEmpty_ = clipboardNotEmpty;
  ShowEditState();
}

void TRiCustomRichText::ShowRulerOffset() {
  if (ruler_ == nullptr) return;
  // The scale starts where the text area starts in the editor's window.
  const TPoint editorOrigin = ClientOrigin();
  const TPoint rulerOrigin = ruler_->ClientOrigin();
  ruler_->SetLeftMargin(editorOrigin.X - rulerOrigin.X + engine_->LeftOffset);
  ruler_->SetXOffset(engine_->HorzOffset());
}

namespace {

// A measurement in the ruler's unit with the language's decimal separator.
std::string Measure(int twips, PTRiRulerUnit unit) {
  char buffer[32];
  if (unit == PTRiRulerUnit::Inch)
    std::snprintf(buffer, sizeof buffer, "%.2f in", twips / 1440.0);
  else
    std::snprintf(buffer, sizeof buffer, "%.1f cm", twips / 567.0);
  std::string text = buffer;
  std::replace(text.begin(), text.end(), '.', RichTextDecimalSeparator());
  return text;
}

}  // namespace

void TRiCustomRichText::ShowPosition() {
  if (statusBar_ == nullptr || engine_->CursorPar == nullptr || engine_->CursorLine == nullptr) return;
  TRiRTFTextInput& e = *engine_;
  // Line and page of the cursor, and the top of its page; the count also makes sure that the
  // cursor stands on a line of the document.
  int line = 0, page = 1, pageTop = 0;
  const bool found = e.LinePlace(e.CursorPar, e.CursorLine, line, page, pageTop);
  if (!found) return;  // the document is being replaced: the cursor is not placed yet
  const int res = std::max(1, e.Header().ResolutionX);
  const int resY = std::max(1, e.Header().ResolutionY);
  const PTRiRulerUnit unit = ruler_ != nullptr ? ruler_->Units() : PTRiRulerUnit::Centimeter;
  const int x = MulDiv(std::max(0, e.CharX(e.CursorPar, e.CursorLine, e.CursorOffset) - 1), TwipsPerInch, res);
  const int y = MulDiv(std::max(0, e.CursorLine->Top - pageTop), TwipsPerInch, resY);
  statusBar_->SetItemText(TRiStatusItem::stLine, std::to_string(line));
  statusBar_->SetItemText(TRiStatusItem::stPage, std::to_string(page));
  statusBar_->SetItemText(TRiStatusItem::stXPos, Measure(x, unit));
  statusBar_->SetItemText(TRiStatusItem::stYPos, Measure(y, unit));
  statusBar_->SetItemText(TRiStatusItem::stInsert, e.InsertMode ? "INS" : "OVR");
}

void TRiCustomRichText::StatusBarUpdate() {
  if (statusBar_ == nullptr) return;
  statusBar_->SetItemText(TRiStatusItem::stTxtFmt, RichTextString(engine_->PlainMode ? rsPlain : rsRich));
  statusBar_->SetItemText(TRiStatusItem::stStatus, RichTextString(rsReady));
  statusBar_->SetItemText(TRiStatusItem::stFileName, FileName.empty() ? std::string(" ") : FileName);
  ShowPosition();
}

// --- commands of the attached controls ---------------------------------------------------------------

void TRiCustomRichText::ApplyStyle(std::uint16_t add, std::uint16_t remove) {
  if (!CanEdit()) return;
  // Removing first: superscript added to subscript text must not be undone by the exclusion rule.
  TAttr a{};
  if (remove != 0) {
    a.Style = static_cast<std::uint8_t>(remove);
    a.Extra = static_cast<std::uint8_t>(remove >> 8);
    engine_->SetAttr(a, amRemoveStyle);
  }
  if (add != 0) {
    a.Style = static_cast<std::uint8_t>(add);
    a.Extra = static_cast<std::uint8_t>(add >> 8);
    engine_->SetAttr(a, amAddStyle);
  }
  Change();
  engine_->Redraw();
  ShowAttributes();
}

void TRiCustomRichText::ToolPanelCommand(int kind, int group, int number) {
  switch (group) {
    case tgStyle: {
      const bool press = kind != tkRelease;
      if (number == 1) {
        if (press && CanEdit()) {
          TAttr a{};  // replaces the style byte by nothing
          engine_->SetAttr(a, amReplaceStyleByte);
          Change();
          engine_->Redraw();
          ShowAttributes();
        }
      } else if (number >= 2 && number <= 6) {
        const std::uint16_t bit = kStyleOfButton[number];
        press ? ApplyStyle(bit, 0) : ApplyStyle(0, bit);
      } else if (number == 7) {
        press ? ApplyStyle(fsSuper, fsSub) : ApplyStyle(0, fsSuper | fsSub);
      } else if (number == 8) {
        press ? ApplyStyle(fsSub, fsSuper) : ApplyStyle(0, fsSuper | fsSub);
      } else if (number == 9) {
        hiddenButton_ = press ? !hiddenButton_ : false;
        hiddenButton_ ? ApplyStyle(swHidden, 0) : ApplyStyle(0, swHidden);
      } else if (number == 19) {
        press ? ApplyStyle(0x0400, 0) : ApplyStyle(0, 0x0400);
      }
      break;
    }
    case tgAlignment: {
      static constexpr int kAlignmentOfButton[5] = {-1, 0, 1, 3, 2};
      if (number < 1 || number > 4 || kind == tkRelease || !CanEdit()) break;
      engine_->SetAlignment(kAlignmentOfButton[number]);
      Change();
      ShowParagraph();
      break;
    }
    case tgEdit:
      switch (number) {
        case 1: CopyToClipboard(); break;
        case 2:
          if (CanEdit()) {
            CutToClipboard();
            Change();
          }
          break;
        case 3:
          if (CanEdit()) {
            PasteFromClipboard();
            Change();
          }
          break;
        case 4: SelectAll(); break;
        case 5: Unselect(); break;
        case 6: ShowFindDialog(); break;
        case 7:
          if (!ReadOnly()) ShowReplaceDialog();
          break;
        case 8:
          if (!ReadOnly()) FireEvent(StartSpellCheck, this);
          break;
        default: break;
      }
      ShowEditState();
      break;
    case tgFile: FileCommand(number); break;
    case tgPrint:
      if (number == 1) {
        Print();
      } else if (number == 2) {
        TPrinterSetupDialog dialog(nullptr);
        dialog.Execute();
      }
      break;
    default: break;
  }
}

void TRiCustomRichText::FileCommand(int number) {
  auto saveAs = [this] {
    TSaveDialog dialog(nullptr);
    dialog.SetFilter(RichTextString(rsFileFilter));
    dialog.SetDefaultExt("RTF");
    dialog.SetFileName(FileName);
    if (!dialog.Execute()) return;
    SaveToFile(dialog.FileName());
  };
  switch (number) {
    case 3: {
      if (ReadOnly() || !CanEdit()) return;
      TOpenDialog dialog(nullptr);
      dialog.SetFilter(RichTextString(rsFileFilter));
      if (!dialog.Execute()) return;
      LoadFromFile(dialog.FileName());
      break;
    }
    case 4: saveAs(); break;
    case 5:
      // Saving keeps the document on screen.
      if (FileName.empty())
        saveAs();
      else
        SaveToFile(FileName);
      break;
    default: break;
  }
}

void TRiCustomRichText::ToolPanelField(int kind, const std::string& value, int extra) {
  if (!CanEdit()) return;
  if (kind == tfParagraph) {
    int v = 0;
    if (ParseInt(value, v)) SetParagraphValue(v, static_cast<std::uint8_t>(extra));
    ShowParagraph();  // the ruler and the alignment buttons show the paragraph as it is now
    return;
  }
  TAttr a = engine_->CurAttr;
  std::uint16_t mask = 0;
  int v = 0;
  switch (kind) {
    case tfFontName: {
      const int index = GetFontIndex(value);
      if (value.empty() || index >= MaxFonts) return;
      a.Font = static_cast<std::uint8_t>(index);
      mask = amFont;
      break;
    }
    case tfSize:
      if (!ParseInt(value, v) || v < 1 || v > 255) return;
      a.Size = static_cast<std::uint8_t>(v);
      mask = amSize;
      break;
    case tfTextColor:
      if (!ParseInt(value, v) || v < 0 || v >= ColorCount) return;
      a.SetTextColor(v);
      mask = amTextColor;
      break;
    case tfBackColor:
      if (!ParseInt(value, v) || v < 0 || v >= ColorCount) return;
      a.SetBackColor(v);
      mask = amBackColor;
      break;
    default:
      return;
  }
  engine_->SetAttr(a, mask);
  Change();
  engine_->Redraw();
  ShowAttributes();  // the fields show what the next typed character takes
}

void TRiCustomRichText::RulerChanged(int typ, int, int num, bool changing) {
  if (typ != RulerSelType || ruler_ == nullptr) return;
  PTParagraph par = engine_->CursorPar;
  if (par == nullptr) return;
  if (changing && par->IsCell()) return;
  if (!CanEdit()) {
    ShowParagraph();  // the ruler shows the paragraph as it stays
    return;
  }
  if (!par->IsCell()) engine_->SetIndents(false, ruler_->FirstIndent(), ruler_->LeftIndent(), ruler_->RightIndent());
  const TTabSet added = ruler_->Tabs() & ~par->Tabs;
  if (added != 0) {
    engine_->SetTabs(added, false);
  } else if (num == rmNone) {
    // A tab changed its kind: every paragraph that uses it is laid out again.
    engine_->ReformatAll();
  }
  if (!changing) Change();
  engine_->Redraw();
  engine_->ScrollToCursor();
}

void TRiCustomRichText::FocusRequest() {
  if (!Focused()) {
    if (Visible() && Enabled() && CanFocus()) SetFocus();
    return;
  }
  if (CanEdit()) engine_->ScrollToCursor();
}

}  // namespace tw::richtext
