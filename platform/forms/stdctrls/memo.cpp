#include <algorithm>

#include "platform/forms/stdctrls/measure.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw {

namespace {

// The lines of a memo, kept in the memo's text (CR LF between lines).
class TMemoStrings : public TStrings {
  TW_CLASS(TMemoStrings, TStrings)
 public:
  explicit TMemoStrings(TMemo* memo) : memo_(memo) {}
  int GetCount() const override {
    const std::string t = memo_->GetText();
    if (t.empty()) return 0;
    int n = 1;
    for (std::size_t i = 0; i < t.size(); ++i)
      if (t[i] == '\n') ++n;
    // A final line break does not start another line.
    if (t.back() == '\n') --n;
    return n;
  }
  std::string Get(int index) const override {
    std::vector<std::string> lines = Split();
    if (index < 0 || index >= static_cast<int>(lines.size())) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    return lines[static_cast<std::size_t>(index)];
  }
  void Put(int index, const std::string& s) override {
    std::vector<std::string> lines = Split();
    if (index < 0 || index >= static_cast<int>(lines.size())) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    lines[static_cast<std::size_t>(index)] = s;
    Join(lines);
  }
  void Clear() override { memo_->SetText(""); }
  void Delete(int index) override {
    std::vector<std::string> lines = Split();
    if (index < 0 || index >= static_cast<int>(lines.size())) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    lines.erase(lines.begin() + index);
    Join(lines);
  }
  void Insert(int index, const std::string& s) override {
    std::vector<std::string> lines = Split();
    if (index < 0 || index > static_cast<int>(lines.size())) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    lines.insert(lines.begin() + index, s);
    Join(lines);
  }

 private:
  std::vector<std::string> Split() const {
    std::vector<std::string> lines;
    const std::string t = memo_->GetText();
    std::size_t start = 0;
    while (start < t.size()) {
      std::size_t p = t.find('\n', start);
      std::string line = t.substr(start, p == std::string::npos ? std::string::npos : p - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      if (p == std::string::npos) break;
      start = p + 1;
    }
    return lines;
  }
  void Join(const std::vector<std::string>& lines) {
    std::string t;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) t += "\r\n";
      t += lines[i];
    }
    memo_->SetText(t);
  }
  TMemo* memo_;
};

}  // namespace

TW_MESSAGE_MAP(TMemo, OnMessage<TMemo, &TMemo::WMGetDlgCodeMemo>(WM_GETDLGCODE),
               OnMessage<TMemo, &TMemo::WMVScroll>(WM_VSCROLL), OnMessage<TMemo, &TMemo::WMMouseWheel>(WM_MOUSEWHEEL),
               OnMessage<TMemo, &TMemo::CMWantSpecialKey>(CM_WANTSPECIALKEY));
TW_PUBLISHED(TMemo, Prop("Lines", &TMemo::Lines, &TMemo::SetLines),
             Prop("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap),
             Prop("ScrollBars", &TMemo::ScrollBars, &TMemo::SetScrollBars),
             Prop("WantReturns", &TMemo::WantReturns, &TMemo::SetWantReturns),
             Prop("WantTabs", &TMemo::WantTabs, &TMemo::SetWantTabs),
             Prop("Alignment", &TMemo::Alignment, &TMemo::SetAlignment));
TW_REGISTER_CLASS(TMemo);

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner), lines_(std::make_unique<TMemoStrings>(this)) {
  SetBounds(Left(), Top(), 185, 89);
  SetAutoSelect(false);
}

TMemo::~TMemo() = default;

void TMemo::SetLines(TStrings* lines) {
  if (lines != nullptr) lines_->Assign(lines);
}
void TMemo::SetWordWrap(bool v) {
  wordWrap_ = v;
  if (v) scrollX_ = 0;
  ScrollToCaret();
  ScrollChanged();
  Invalidate();
}
void TMemo::SetScrollBars(TScrollStyle v) {
  if (v == scrollBars_) return;
  scrollBars_ = v;
  if (HandleAllocated()) RecreateWnd();
  Invalidate();
}

void TMemo::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  if (scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth) params.Style |= WS_HSCROLL;
}

std::vector<TCustomEdit::TTextLine> TMemo::LayoutLines() {
  std::vector<TTextLine> hard = TCustomEdit::LayoutLines();
  const bool wraps = wordWrap_ && scrollBars_ != TScrollStyle::ssHorizontal && scrollBars_ != TScrollStyle::ssBoth;
  const int width = TextRect().Width();
  if (!wraps || width <= 0) return hard;
  TCanvas* m = MeasureCanvas(Font());
  const std::string t = GetText();
  auto widthOf = [&](int from, int to) {
    return m->TextWidth(std::string_view(t).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
  };
  std::vector<TTextLine> lines;
  for (const TTextLine& l : hard) {
    int s = l.Start;
    for (;;) {
      if (widthOf(s, l.End) <= width) {
        lines.push_back(TTextLine{s, l.End});
        break;
      }
      // The longest run that fits (at least one character), then back to its last space.
      int e = s + 1;
      while (e < l.End && widthOf(s, e + 1) <= width) ++e;
      int brk = e;
      for (int i = e - 1; i > s; --i)
        if (t[static_cast<std::size_t>(i)] == ' ') {
          brk = i + 1;
          break;
        }
      lines.push_back(TTextLine{s, brk});
      s = brk;
    }
  }
  return lines;
}

int TMemo::VisibleLines() {
  return std::max(1, TextRect().Height() / std::max(1, LineHeight()));
}

void TMemo::ScrollToLine(int line) {
  const int count = static_cast<int>(LayoutLines().size());
  scrollY_ = std::clamp(line, 0, std::max(0, count - VisibleLines()));
  Invalidate();
  UpdateCaret();
  ScrollChanged();
}

void TMemo::ScrollChanged() {
  if (!HandleAllocated() || (scrollBars_ != TScrollStyle::ssVertical && scrollBars_ != TScrollStyle::ssBoth)) return;
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = std::max(0, static_cast<int>(LayoutLines().size()) - 1);
  info.nPage = static_cast<UINT>(VisibleLines());
  info.nPos = scrollY_;
  SetScrollInfo(Handle(), SB_VERT, &info, true);
}

void TMemo::Resize() {
  TCustomEdit::Resize();
  ScrollChanged();
}

void TMemo::WMVScroll(TMessage& msg) {
  const int page = VisibleLines();
  switch (static_cast<WORD>(msg.WParam & 0xFFFF)) {
    case SB_LINEUP: ScrollToLine(scrollY_ - 1); break;
    case SB_LINEDOWN: ScrollToLine(scrollY_ + 1); break;
    case SB_PAGEUP: ScrollToLine(scrollY_ - page); break;
    case SB_PAGEDOWN: ScrollToLine(scrollY_ + page); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollToLine(static_cast<int>((msg.WParam >> 16) & 0xFFFF)); break;
    case SB_TOP: ScrollToLine(0); break;
    case SB_BOTTOM: ScrollToLine(static_cast<int>(LayoutLines().size())); break;
    default: break;
  }
  msg.Result = 0;
}

void TMemo::WMMouseWheel(TMessage& msg) {
  const auto delta = static_cast<std::int16_t>((msg.WParam >> 16) & 0xFFFF);
  ScrollToLine(scrollY_ - delta / 120 * 3);
  msg.Result = 0;
}
void TMemo::SetAlignment(TAlignment v) {
  alignment_ = v;
  Invalidate();
}

void TMemo::KeyPress(char& key) {
  if (key == '\r') {
    if (wantReturns_ && !ReadOnly()) ReplaceSelection("\r\n", true);
    key = 0;
    return;
  }
  if (key == '\t') {
    if (wantTabs_ && !ReadOnly()) ReplaceSelection("\t", true);
    key = 0;
    return;
  }
  TCustomEdit::KeyPress(key);
}

void TMemo::WMGetDlgCodeMemo(TMessage& msg) {
  msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
  if (wantTabs_) msg.Result |= DLGC_WANTTAB;
}

}  // namespace tw

namespace tw {
void TMemo::CMWantSpecialKey(TMessage& msg) {
  msg.Result = (wantReturns_ && static_cast<UINT>(msg.WParam) == VK_RETURN) ? 1 : 0;
}
}  // namespace tw
