#include <algorithm>
#include <cstdlib>

#include "platform/forms/stdctrls/measure.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

bool IsWordChar(char c) {
  auto u = static_cast<unsigned char>(c);
  return u > ' ' && std::string_view(".,;:!?()[]{}<>\"'/\\-+=*&|").find(c) == std::string_view::npos;
}

constexpr int kMargin = 2;

}  // namespace

TW_MESSAGE_MAP(TCustomEdit, OnMessage<TCustomEdit, &TCustomEdit::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TCustomEdit, &TCustomEdit::WMSetTextEdit>(WM_SETTEXT),
               OnMessage<TCustomEdit, &TCustomEdit::WMSetFocusEdit>(WM_SETFOCUS),
               OnMessage<TCustomEdit, &TCustomEdit::WMKillFocusEdit>(WM_KILLFOCUS),
               OnMessage<TCustomEdit, &TCustomEdit::WMCut>(WM_CUT),
               OnMessage<TCustomEdit, &TCustomEdit::WMCopy>(WM_COPY),
               OnMessage<TCustomEdit, &TCustomEdit::WMPaste>(WM_PASTE),
               OnMessage<TCustomEdit, &TCustomEdit::WMClear>(WM_CLEAR),
               OnMessage<TCustomEdit, &TCustomEdit::WMUndo>(WM_UNDO),
               OnMessage<TCustomEdit, &TCustomEdit::WMUndo>(EM_UNDO),
               OnMessage<TCustomEdit, &TCustomEdit::EMGetSel>(EM_GETSEL),
               OnMessage<TCustomEdit, &TCustomEdit::EMSetSel>(EM_SETSEL),
               OnMessage<TCustomEdit, &TCustomEdit::EMReplaceSel>(EM_REPLACESEL),
               OnMessage<TCustomEdit, &TCustomEdit::EMGetModify>(EM_GETMODIFY),
               OnMessage<TCustomEdit, &TCustomEdit::EMSetModify>(EM_SETMODIFY),
               OnMessage<TCustomEdit, &TCustomEdit::EMLimitText>(EM_LIMITTEXT),
               OnMessage<TCustomEdit, &TCustomEdit::EMCanUndo>(EM_CANUNDO),
               OnMessage<TCustomEdit, &TCustomEdit::EMEmptyUndo>(EM_EMPTYUNDOBUFFER),
               OnMessage<TCustomEdit, &TCustomEdit::EMSetReadOnly>(EM_SETREADONLY),
               OnMessage<TCustomEdit, &TCustomEdit::EMGetLineCount>(EM_GETLINECOUNT),
               OnMessage<TCustomEdit, &TCustomEdit::EMLineIndex>(EM_LINEINDEX),
               OnMessage<TCustomEdit, &TCustomEdit::EMLineFromChar>(EM_LINEFROMCHAR));

TW_PUBLISHED(TCustomEdit, Prop("Text", &TCustomEdit::GetText, &TCustomEdit::SetText),
             Prop("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength),
             Prop("PasswordChar", &TCustomEdit::PasswordChar, &TCustomEdit::SetPasswordChar),
             Prop("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly),
             Prop("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect),
             Prop("HideSelection", &TCustomEdit::HideSelection, &TCustomEdit::SetHideSelection),
             Prop("CharCase", &TCustomEdit::CharCase, &TCustomEdit::SetCharCase),
             Prop("BorderStyle", &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle),
             Prop("OnChange", &TCustomEdit::OnChange));

TCustomEdit::TCustomEdit(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 121, 21);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  controlStyle_.Exclude(TControlStyleFlag::csSetCaption);
  controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
  SetCursor(crIBeam);
}

TCustomEdit::~TCustomEdit() {
  if (hasCaret_) DestroyCaret();
}

void TCustomEdit::SetText(const std::string& text) {
  std::string t = text;
  if (charCase_ == TEditCharCase::ecUpperCase) t = AnsiUpperCase(t);
  if (charCase_ == TEditCharCase::ecLowerCase) t = AnsiLowerCase(t);
  if (t == GetText()) return;
  SetTextField(t);
  caret_ = anchor_ = 0;
  scrollX_ = scrollY_ = 0;
  modified_ = false;
  canUndo_ = false;
  Invalidate();
  UpdateCaret();
  ScrollChanged();
  Perform(CM_TEXTCHANGED, 0, 0);
  Change();
}

void TCustomEdit::Change() {
  if (ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  FireEvent(OnChange, this);
}

void TCustomEdit::SetMaxLength(int v) { maxLength_ = std::max(0, v); }
void TCustomEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  Invalidate();
}
void TCustomEdit::SetHideSelection(bool v) {
  hideSelection_ = v;
  Invalidate();
}
void TCustomEdit::SetCharCase(TEditCharCase v) {
  charCase_ = v;
  std::string t = GetText();
  if (v == TEditCharCase::ecUpperCase) t = AnsiUpperCase(t);
  if (v == TEditCharCase::ecLowerCase) t = AnsiLowerCase(t);
  if (t != GetText()) {
    SetTextField(t);
    Invalidate();
    Change();
  }
}
void TCustomEdit::SetBorderStyle(TBorderStyle v) {
  borderStyle_ = v;
  Invalidate();
}

void TCustomEdit::SetSelStart(int v) {
  const int n = static_cast<int>(GetText().size());
  caret_ = anchor_ = std::clamp(v, 0, n);
  ScrollToCaret();
  Invalidate();
}

void TCustomEdit::SetSelLength(int v) {
  const int n = static_cast<int>(GetText().size());
  anchor_ = SelStart();
  caret_ = std::clamp(anchor_ + v, 0, n);
  ScrollToCaret();
  Invalidate();
}

std::string TCustomEdit::SelText() const {
  return GetText().substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
}

void TCustomEdit::SetSelText(const std::string& text) { ReplaceSelection(text, false); }

void TCustomEdit::SelectAll() {
  anchor_ = 0;
  caret_ = static_cast<int>(GetText().size());
  Invalidate();
  UpdateCaret();
}

void TCustomEdit::ClearSelection() {
  if (SelLength() > 0) ReplaceSelection("", false);
}

void TCustomEdit::ReplaceSelection(const std::string& text, bool byUser) {
  std::string insert = text;
  if (!MultiLine()) {
    // One line: the text ends at the first line break.
    auto cut = insert.find_first_of("\r\n");
    if (cut != std::string::npos) insert.resize(cut);
  }
  if (charCase_ == TEditCharCase::ecUpperCase) insert = AnsiUpperCase(insert);
  if (charCase_ == TEditCharCase::ecLowerCase) insert = AnsiLowerCase(insert);
  std::string t = GetText();
  const int start = SelStart();
  const int len = SelLength();
  if (byUser && maxLength_ > 0) {
    const int room = maxLength_ - (static_cast<int>(t.size()) - len);
    if (room <= 0 && !insert.empty()) {
      MessageBeep(0);
      return;
    }
    if (static_cast<int>(insert.size()) > room) insert.resize(static_cast<std::size_t>(std::max(room, 0)));
  }
  if (len == 0 && insert.empty()) return;
  undoText_ = t;
  undoCaret_ = caret_;
  canUndo_ = true;
  t.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(len), insert);
  SetTextField(t);
  caret_ = anchor_ = start + static_cast<int>(insert.size());
  modified_ = true;
  ScrollToCaret();
  Invalidate();
  Change();
}

void TCustomEdit::CopyToClipboard() {
  if (passwordChar_ != 0 || SelLength() == 0) return;
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
  EmptyClipboard();
  SetClipboardData(CF_TEXT, SelText());
  CloseClipboard();
}

void TCustomEdit::CutToClipboard() {
  if (readOnly_ || passwordChar_ != 0 || SelLength() == 0) return;
  CopyToClipboard();
  ReplaceSelection("", true);
}

void TCustomEdit::PasteFromClipboard() {
  if (readOnly_) return;
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
  std::string text = GetClipboardData(CF_TEXT);
  CloseClipboard();
  if (!text.empty()) ReplaceSelection(text, true);
}

void TCustomEdit::Undo() {
  if (!canUndo_) return;
  std::string t = GetText();
  const int c = caret_;
  SetTextField(undoText_);
  undoText_ = t;
  caret_ = anchor_ = std::clamp(undoCaret_, 0, static_cast<int>(GetText().size()));
  undoCaret_ = c;
  modified_ = true;
  ScrollToCaret();
  Invalidate();
  Change();
}

// --- positions

std::vector<TCustomEdit::TTextLine> TCustomEdit::LayoutLines() {
  const std::string t = GetText();
  const int n = static_cast<int>(t.size());
  if (!MultiLine()) return {TTextLine{0, n}};
  std::vector<TTextLine> lines;
  int start = 0;
  for (;;) {
    auto p = t.find('\n', static_cast<std::size_t>(start));
    if (p == std::string::npos) {
      lines.push_back(TTextLine{start, n});
      break;
    }
    int end = static_cast<int>(p);
    if (end > start && t[static_cast<std::size_t>(end - 1)] == '\r') --end;
    lines.push_back(TTextLine{start, end});
    start = static_cast<int>(p) + 1;
  }
  return lines;
}

int TCustomEdit::LineOfPos(const std::vector<TTextLine>& lines, int pos) {
  int line = 0;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i)
    if (lines[static_cast<std::size_t>(i)].Start <= pos) line = i;
  return line;
}

int TCustomEdit::LineStart(int pos) {
  const auto lines = LayoutLines();
  return lines[static_cast<std::size_t>(LineOfPos(lines, pos))].Start;
}

int TCustomEdit::LineEnd(int pos) {
  const auto lines = LayoutLines();
  const auto line = static_cast<std::size_t>(LineOfPos(lines, pos));
  const TTextLine& l = lines[line];
  // A line broken by wrapping ends before its break, so that the caret stays on it.
  if (line + 1 < lines.size() && lines[line + 1].Start == l.End && l.End > l.Start) return l.End - 1;
  return l.End;
}

int TCustomEdit::WordLeft(int pos) const {
  const std::string t = GetText();
  while (pos > 0 && !IsWordChar(t[static_cast<std::size_t>(pos - 1)])) --pos;
  while (pos > 0 && IsWordChar(t[static_cast<std::size_t>(pos - 1)])) --pos;
  return pos;
}

int TCustomEdit::WordRight(int pos) const {
  const std::string t = GetText();
  const int n = static_cast<int>(t.size());
  while (pos < n && IsWordChar(t[static_cast<std::size_t>(pos)])) ++pos;
  while (pos < n && !IsWordChar(t[static_cast<std::size_t>(pos)])) ++pos;
  return pos;
}

std::string TCustomEdit::DisplayText() const {
  if (passwordChar_ != 0) return std::string(GetText().size(), passwordChar_);
  return GetText();
}

TRect TCustomEdit::TextRect() const {
  TRect r = ClientRect();
  if (borderStyle_ == TBorderStyle::bsSingle) InflateRect(r, -2, -2);
  InflateRect(r, -kMargin + 1, -kMargin + 1);
  return r;
}

int TCustomEdit::LineHeight() { return MeasureCanvas(Font())->TextHeight("Wg"); }

TPoint TCustomEdit::PointFromPos(int pos) {
  TCanvas* m = MeasureCanvas(Font());
  const std::string t = DisplayText();
  const TRect r = TextRect();
  const auto lines = LayoutLines();
  const int line = LineOfPos(lines, pos);
  const TTextLine& l = lines[static_cast<std::size_t>(line)];
  const int end = std::clamp(pos, l.Start, l.End);
  const int x = m->TextWidth(std::string_view(t).substr(static_cast<std::size_t>(l.Start), static_cast<std::size_t>(end - l.Start)));
  return TPoint{r.Left + x - scrollX_, r.Top + (line - scrollY_) * LineHeight()};
}

int TCustomEdit::PosFromPoint(int x, int y) {
  const std::string t = DisplayText();
  const TRect r = TextRect();
  const auto lines = LayoutLines();
  int line = 0;
  if (MultiLine()) {
    const int dy = y - r.Top;
    line = (dy < 0 ? -1 : dy / std::max(1, LineHeight())) + scrollY_;
    line = std::clamp(line, 0, static_cast<int>(lines.size()) - 1);
  }
  const int start = lines[static_cast<std::size_t>(line)].Start;
  const int end = lines[static_cast<std::size_t>(line)].End;
  const int target = x - r.Left + scrollX_;
  int prevWidth = 0;
  for (int i = start; i < end; ++i) {
    const int w = MeasureCanvas(Font())->TextWidth(std::string_view(t).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i + 1 - start)));
    if (target < (prevWidth + w + 1) / 2) return i;
    prevWidth = w;
  }
  // Past the end of a wrapped line the caret stays on it, before the break.
  if (line + 1 < static_cast<int>(lines.size()) && lines[static_cast<std::size_t>(line + 1)].Start == end && end > start)
    return end - 1;
  return end;
}

void TCustomEdit::ScrollToCaret() {
  if (!HandleAllocated()) return;
  const TRect r = TextRect();
  TPoint p = PointFromPos(caret_);
  if (p.X < r.Left) scrollX_ -= r.Left - p.X;
  if (p.X > r.Right - 1) scrollX_ += p.X - (r.Right - 1);
  if (scrollX_ < 0) scrollX_ = 0;
  if (MultiLine()) {
    const int lh = std::max(1, LineHeight());
    const int visible = std::max(1, r.Height() / lh);
    const int line = LineOfPos(LayoutLines(), caret_);
    if (line < scrollY_) scrollY_ = line;
    if (line >= scrollY_ + visible) scrollY_ = line - visible + 1;
  }
  UpdateCaret();
  ScrollChanged();
}

void TCustomEdit::UpdateCaret() {
  if (!hasCaret_) return;
  TPoint p = PointFromPos(caret_);
  SetCaretPos(p.X, p.Y);
}

void TCustomEdit::SetCaret(int pos, bool extend) {
  caret_ = std::clamp(pos, 0, static_cast<int>(GetText().size()));
  if (!extend) anchor_ = caret_;
  ScrollToCaret();
  Invalidate();
}

// --- painting

void TCustomEdit::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (borderStyle_ == TBorderStyle::bsSingle) c->DrawEdge(r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
  c->FillRect(r);
  c->Font()->Assign(Font());
  const TRect tr = TextRect();
  c->IntersectClipRect(tr);
  const std::string t = DisplayText();
  const bool showSel = SelLength() > 0 && (focused_ || !hideSelection_);
  const int lh = LineHeight();
  const auto lines = LayoutLines();
  for (int line = scrollY_; line < static_cast<int>(lines.size()); ++line) {
    const int lineStart = lines[static_cast<std::size_t>(line)].Start;
    const int lineEnd = lines[static_cast<std::size_t>(line)].End;
    const int y = tr.Top + (line - scrollY_) * lh;
    if (y >= tr.Bottom) break;
    std::string_view text = std::string_view(t).substr(static_cast<std::size_t>(lineStart), static_cast<std::size_t>(lineEnd - lineStart));
    const int x0 = tr.Left - scrollX_;
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->Font()->SetColor(Enabled() ? Font()->Color() : clGrayText);
    c->TextOut(x0, y, text);
    if (showSel) {
      const int s = std::clamp(SelStart(), lineStart, lineEnd);
      const int e = std::clamp(SelStart() + SelLength(), lineStart, lineEnd);
      if (e > s) {
        const int xs = x0 + c->TextWidth(text.substr(0, static_cast<std::size_t>(s - lineStart)));
        const int xe = x0 + c->TextWidth(text.substr(0, static_cast<std::size_t>(e - lineStart)));
        c->Brush()->SetStyle(TBrushStyle::bsSolid);
        c->Brush()->SetColor(clHighlight);
        c->FillRect(Rect(xs, y, xe, y + lh));
        c->Brush()->SetStyle(TBrushStyle::bsClear);
        c->Font()->SetColor(clHighlightText);
        c->TextOut(xs, y, text.substr(static_cast<std::size_t>(s - lineStart), static_cast<std::size_t>(e - s)));
      }
    }
  }
  c->ResetClip();
}

// --- keyboard

void TCustomEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  const bool ext = shift.Contains(TShiftStateFlag::ssShift);
  const bool ctrl = shift.Contains(TShiftStateFlag::ssCtrl);
  const int n = static_cast<int>(GetText().size());
  auto lineUpDown = [&](int dir) {
    TPoint p = PointFromPos(caret_);
    SetCaret(PosFromPoint(p.X, p.Y + dir * LineHeight()), ext);
  };
  switch (key) {
    case VK_LEFT:
      if (!ext && SelLength() > 0 && !ctrl)
        SetCaret(SelStart(), false);
      else
        SetCaret(ctrl ? WordLeft(caret_) : caret_ - ((caret_ >= 2 && GetText().compare(static_cast<std::size_t>(caret_ - 2), 2, "\r\n") == 0) ? 2 : 1), ext);
      break;
    case VK_RIGHT:
      if (!ext && SelLength() > 0 && !ctrl)
        SetCaret(SelStart() + SelLength(), false);
      else
        SetCaret(ctrl ? WordRight(caret_) : caret_ + ((GetText().compare(static_cast<std::size_t>(caret_), 2, "\r\n") == 0) ? 2 : 1), ext);
      break;
    case VK_HOME: SetCaret(ctrl ? 0 : LineStart(caret_), ext); break;
    case VK_END: SetCaret(ctrl ? n : LineEnd(caret_), ext); break;
    case VK_UP:
      if (!MultiLine()) return;
      lineUpDown(-1);
      break;
    case VK_DOWN:
      if (!MultiLine()) return;
      lineUpDown(1);
      break;
    case VK_DELETE:
      if (readOnly_) break;
      if (ext) {
        CutToClipboard();
      } else if (SelLength() == 0 && caret_ < n) {
        anchor_ = caret_;
        caret_ += GetText().compare(static_cast<std::size_t>(caret_), 2, "\r\n") == 0 ? 2 : 1;
        ReplaceSelection("", true);
      } else {
        ReplaceSelection("", true);
      }
      break;
    case VK_INSERT:
      if (ctrl) CopyToClipboard();
      else if (ext) PasteFromClipboard();
      else return;
      break;
    default:
      return;
  }
  key = 0;
}

void TCustomEdit::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const auto k = static_cast<unsigned char>(key);
  if (k == 0) return;
  switch (k) {
    case 1: SelectAll(); break;           // Ctrl+A
    case 3: CopyToClipboard(); break;     // Ctrl+C
    case 22: PasteFromClipboard(); break; // Ctrl+V
    case 24: CutToClipboard(); break;     // Ctrl+X
    case 26: Undo(); break;               // Ctrl+Z
    case 8:
      if (readOnly_) break;
      if (SelLength() == 0 && caret_ > 0) {
        anchor_ = caret_;
        caret_ -= (caret_ >= 2 && GetText().compare(static_cast<std::size_t>(caret_ - 2), 2, "\r\n") == 0) ? 2 : 1;
      }
      ReplaceSelection("", true);
      break;
    default:
      if (k < 32 || readOnly_) return;
      ReplaceSelection(std::string(1, key), true);
      break;
  }
  key = 0;
}

// --- mouse

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    if (!Focused() && CanFocus()) {
      focusByMouse_ = true;
      SetFocus();
      focusByMouse_ = false;
    }
    if (shift.Contains(TShiftStateFlag::ssDouble)) {
      const int p = PosFromPoint(x, y);
      anchor_ = WordLeft(std::min(p + 1, static_cast<int>(GetText().size())));
      if (anchor_ > p) anchor_ = p;
      int end = p;
      const std::string t = GetText();
      while (end < static_cast<int>(t.size()) && IsWordChar(t[static_cast<std::size_t>(end)])) ++end;
      int start = p;
      while (start > 0 && IsWordChar(t[static_cast<std::size_t>(start - 1)])) --start;
      anchor_ = start;
      caret_ = end;
      ScrollToCaret();
      Invalidate();
    } else {
      SetCaret(PosFromPoint(x, y), shift.Contains(TShiftStateFlag::ssShift));
      mouseSelecting_ = true;
      SetMouseCapture(true);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
  if (mouseSelecting_ && shift.Contains(TShiftStateFlag::ssLeft)) SetCaret(PosFromPoint(x, y), true);
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && mouseSelecting_) {
    mouseSelecting_ = false;
    SetMouseCapture(false);
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

// --- focus

void TCustomEdit::DoEnter() {
  if (autoSelect_ && !focusByMouse_ && !MultiLine()) SelectAll();
  TCustomControl::DoEnter();
}

void TCustomEdit::DoExit() { TCustomControl::DoExit(); }

void TCustomEdit::WMSetFocusEdit(TMessage& msg) {
  InheritedMessage(TCustomEdit::StaticClass(), msg);
  focused_ = true;
  if (HandleAllocated()) {
    CreateCaret(Handle(), 0, 1, LineHeight());
    hasCaret_ = true;
    UpdateCaret();
    ShowCaret(Handle());
  }
  Invalidate();
}

void TCustomEdit::WMKillFocusEdit(TMessage& msg) {
  InheritedMessage(TCustomEdit::StaticClass(), msg);
  focused_ = false;
  if (hasCaret_) {
    DestroyCaret();
    hasCaret_ = false;
  }
  Invalidate();
}

// --- messages

void TCustomEdit::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL; }

void TCustomEdit::WMSetTextEdit(TMessage& msg) {
  const char* p = reinterpret_cast<const char*>(msg.LParam);
  SetText(p != nullptr ? std::string(p) : std::string());
  msg.Result = 1;
}

void TCustomEdit::WMCut(TMessage&) { CutToClipboard(); }
void TCustomEdit::WMCopy(TMessage&) { CopyToClipboard(); }
void TCustomEdit::WMPaste(TMessage&) { PasteFromClipboard(); }
void TCustomEdit::WMClear(TMessage&) {
  if (!readOnly_) ReplaceSelection("", true);
}
void TCustomEdit::WMUndo(TMessage& msg) {
  msg.Result = canUndo_ ? 1 : 0;
  Undo();
}

void TCustomEdit::EMGetSel(TMessage& msg) {
  const auto s = static_cast<DWORD>(SelStart());
  const auto e = static_cast<DWORD>(SelStart() + SelLength());
  if (msg.WParam != 0) *reinterpret_cast<DWORD*>(msg.WParam) = s;
  if (msg.LParam != 0) *reinterpret_cast<DWORD*>(msg.LParam) = e;
  msg.Result = static_cast<LRESULT>((std::min<DWORD>(e, 0xFFFF) << 16) | std::min<DWORD>(s, 0xFFFF));
}

void TCustomEdit::EMSetSel(TMessage& msg) {
  const int n = static_cast<int>(GetText().size());
  const auto s = static_cast<int>(static_cast<std::int32_t>(msg.WParam));
  const auto e = static_cast<int>(static_cast<std::int32_t>(msg.LParam));
  if (s < 0) {
    anchor_ = caret_;  // -1 removes the selection
  } else {
    anchor_ = std::min(s, n);
    caret_ = e < 0 ? n : std::min(e, n);
  }
  ScrollToCaret();
  Invalidate();
}

void TCustomEdit::EMReplaceSel(TMessage& msg) {
  const char* p = reinterpret_cast<const char*>(msg.LParam);
  ReplaceSelection(p != nullptr ? std::string(p) : std::string(), false);
  if (msg.WParam == 0) canUndo_ = false;
}

void TCustomEdit::EMGetModify(TMessage& msg) { msg.Result = modified_ ? 1 : 0; }
void TCustomEdit::EMSetModify(TMessage& msg) { modified_ = msg.WParam != 0; }
void TCustomEdit::EMLimitText(TMessage& msg) { SetMaxLength(static_cast<int>(msg.WParam)); }
void TCustomEdit::EMCanUndo(TMessage& msg) { msg.Result = canUndo_ ? 1 : 0; }
void TCustomEdit::EMEmptyUndo(TMessage&) { canUndo_ = false; }
void TCustomEdit::EMSetReadOnly(TMessage& msg) {
  readOnly_ = msg.WParam != 0;
  msg.Result = 1;
}

void TCustomEdit::EMGetLineCount(TMessage& msg) { msg.Result = static_cast<LRESULT>(LayoutLines().size()); }

void TCustomEdit::EMLineIndex(TMessage& msg) {
  const auto lines = LayoutLines();
  const auto line = static_cast<std::int32_t>(msg.WParam);
  if (line < 0) {
    msg.Result = lines[static_cast<std::size_t>(LineOfPos(lines, caret_))].Start;
    return;
  }
  msg.Result = line < static_cast<std::int32_t>(lines.size()) ? lines[static_cast<std::size_t>(line)].Start : -1;
}

void TCustomEdit::EMLineFromChar(TMessage& msg) {
  auto pos = static_cast<std::int32_t>(msg.WParam);
  if (pos < 0) pos = SelStart();
  msg.Result = LineOfPos(LayoutLines(), pos);
}

// --- TEdit

TW_REGISTER_CLASS(TEdit);

TEdit::TEdit(TComponent* owner) : TCustomEdit(owner) {}

}  // namespace tw
