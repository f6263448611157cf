#include "platform/forms/comctrls/outline.h"

#include <algorithm>

#include "platform/forms/comctrls/ctrlpaint.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

// The tree as tab-indented lines: reading gives one line per node; writing rebuilds the tree.
class TOutline::TOutlineLines : public TStrings {
 public:
  explicit TOutlineLines(TOutline* outline) : outline_(outline) {}
  int GetCount() const override { return outline_->ItemCount(); }
  std::string Get(int index) const override {
    const TOutlineNode* n = outline_->Items(index + 1);
    return std::string(static_cast<std::size_t>(n->Level() - 1), '\t') + n->Text();
  }
  void Put(int index, const std::string& s) override {
    outline_->Items(index + 1)->SetText(s.substr(std::min(s.find_first_not_of('\t'), s.size())));
  }
  std::intptr_t GetObject(int index) const override {
    return reinterpret_cast<std::intptr_t>(outline_->Items(index + 1)->Data());
  }
  void PutObject(int index, std::intptr_t object) override {
    outline_->Items(index + 1)->SetData(reinterpret_cast<void*>(object));
  }
  void Clear() override { outline_->Clear(); }
  void Delete(int index) override { outline_->Delete(index + 1); }
  // Inserting is only possible at the end: a line's tabs place it below the lines before it.
  void Insert(int index, const std::string& s) override {
    if (index != GetCount()) {
      outline_->Insert(index + 1, s.substr(std::min(s.find_first_not_of('\t'), s.size())));
      return;
    }
    const std::size_t tabs = std::min(s.find_first_not_of('\t'), s.size());
    const std::string text = s.substr(tabs);
    const int level = static_cast<int>(tabs) + 1;
    const int count = GetCount();
    if (count == 0 || level <= 1) {
      outline_->Add(0, text);
      return;
    }
    // The nearest node above at a lower level is the parent; deeper tabs than one more level
    // than the last node hang the line below the last node.
    TOutlineNode* last = outline_->Items(count);
    if (level > last->Level()) {
      outline_->AddChild(count, text);
      return;
    }
    TOutlineNode* n = last;
    while (n != nullptr && n->Level() >= level) n = n->Parent();
    outline_->AddChild(n == nullptr ? 0 : n->Index(), text);
  }

 private:
  TOutline* outline_;
};

// --- TOutlineNode

void TOutlineNode::SetText(const std::string& value) {
  text_ = value;
  outline_->Changed();
}

int TOutlineNode::Level() const {
  int level = 0;
  for (const TOutlineNode* n = this; n->parent_ != nullptr; n = n->parent_) ++level;
  return level;
}

int TOutlineNode::Index() const {
  outline_->Reindex();
  const auto& flat = outline_->flat_;
  auto it = std::find(flat.begin(), flat.end(), this);
  return it == flat.end() ? 0 : static_cast<int>(it - flat.begin()) + 1;
}

TOutlineNode* TOutlineNode::Parent() const {
  return parent_ == nullptr || parent_->parent_ == nullptr ? nullptr : parent_;
}

void TOutlineNode::SetExpanded(bool value) {
  if (value == expanded_) return;
  expanded_ = value;
  outline_->NodeExpandedChanged(this);
}

void TOutlineNode::FullExpand() {
  outline_->BeginUpdate();
  if (HasItems()) SetExpanded(true);
  for (auto& c : children_) c->FullExpand();
  outline_->EndUpdate();
}

void TOutlineNode::FullCollapse() {
  outline_->BeginUpdate();
  for (auto& c : children_) c->FullCollapse();
  if (HasItems()) SetExpanded(false);
  outline_->EndUpdate();
}

bool TOutlineNode::IsVisible() const {
  for (const TOutlineNode* p = parent_; p != nullptr && p->parent_ != nullptr; p = p->parent_)
    if (!p->expanded_) return false;
  return true;
}

int TOutlineNode::GetFirstChild() const { return children_.empty() ? 0 : children_.front()->Index(); }
int TOutlineNode::GetLastChild() const { return children_.empty() ? 0 : children_.back()->Index(); }

int TOutlineNode::GetNextChild(int index) const {
  for (std::size_t i = 0; i + 1 < children_.size(); ++i)
    if (children_[i]->Index() == index) return children_[i + 1]->Index();
  return 0;
}

int TOutlineNode::GetPrevChild(int index) const {
  for (std::size_t i = 1; i < children_.size(); ++i)
    if (children_[i]->Index() == index) return children_[i - 1]->Index();
  return 0;
}

std::string TOutlineNode::FullPath() const {
  const TOutlineNode* p = Parent();
  return p == nullptr ? text_ : p->FullPath() + outline_->ItemSeparator() + text_;
}

// --- TOutline

TW_MESSAGE_MAP(TOutline, OnMessage<TOutline, &TOutline::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TOutline, &TOutline::WMVScroll>(WM_VSCROLL),
               OnMessage<TOutline, &TOutline::WMMouseWheel>(WM_MOUSEWHEEL),
               OnMessage<TOutline, &TOutline::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TOutline, &TOutline::WMKillFocus>(WM_KILLFOCUS));

TOutline::TOutline(TComponent* owner)
    : TCustomControl(owner), root_(std::make_unique<TOutlineNode>(this, nullptr)),
      lines_(std::make_unique<TOutlineLines>(this)) {
  root_->expanded_ = true;
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
}

TOutline::~TOutline() = default;

void TOutline::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_VSCROLL;
  if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE; else params.Style |= WS_BORDER;
}

void TOutline::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollBar();
}

void TOutline::Reindex() const {
  if (!dirty_) return;
  flat_.clear();
  shown_.clear();
  std::function<void(TOutlineNode*, bool)> walk = [&](TOutlineNode* n, bool visible) {
    for (auto& c : n->children_) {
      flat_.push_back(c.get());
      if (visible) shown_.push_back(c.get());
      walk(c.get(), visible && c->expanded_);
    }
  };
  walk(root_.get(), true);
  dirty_ = false;
}

void TOutline::Changed() {
  dirty_ = true;
  if (updateCount_ > 0) return;
  Reindex();
  if (selected_ > static_cast<int>(flat_.size())) selected_ = static_cast<int>(flat_.size());
  top_ = std::clamp(top_, 0, std::max(0, static_cast<int>(shown_.size()) - 1));
  UpdateScrollBar();
  Invalidate();
}

void TOutline::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

int TOutline::ItemCount() const {
  Reindex();
  return static_cast<int>(flat_.size());
}

TOutlineNode* TOutline::Items(int index) const {
  Reindex();
  if (index < 1 || index > static_cast<int>(flat_.size())) throw EOutlineError(Format("Invalid outline index %d", {index}));
  return flat_[static_cast<std::size_t>(index - 1)];
}

TOutlineNode* TOutline::NodeOrRoot(int index) const { return index == 0 ? root_.get() : Items(index); }

int TOutline::InsertNode(TOutlineNode* parent, std::size_t pos, const std::string& text, void* data) {
  auto node = std::make_unique<TOutlineNode>(this, parent);
  node->text_ = text;
  node->data_ = data;
  TOutlineNode* raw = node.get();
  // A selection keeps its node: remember it across the renumbering.
  TOutlineNode* sel = selected_ > 0 ? Items(selected_) : nullptr;
  parent->children_.insert(parent->children_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(node));
  dirty_ = true;
  if (sel != nullptr) selected_ = sel->Index();
  Changed();
  return raw->Index();
}

int TOutline::AddObject(int index, const std::string& text, void* data) {
  TOutlineNode* parent = index == 0 ? root_.get() : Items(index)->parent_;
  return InsertNode(parent, parent->children_.size(), text, data);
}

int TOutline::AddChildObject(int index, const std::string& text, void* data) {
  TOutlineNode* parent = NodeOrRoot(index);
  return InsertNode(parent, parent->children_.size(), text, data);
}

int TOutline::InsertObject(int index, const std::string& text, void* data) {
  if (index == 0) return AddChildObject(0, text, data);
  TOutlineNode* node = Items(index);
  TOutlineNode* parent = node->parent_;
  auto it = std::find_if(parent->children_.begin(), parent->children_.end(),
                         [&](const auto& c) { return c.get() == node; });
  return InsertNode(parent, static_cast<std::size_t>(it - parent->children_.begin()), text, data);
}

void TOutline::Delete(int index) {
  TOutlineNode* node = Items(index);
  TOutlineNode* sel = selected_ > 0 ? Items(selected_) : nullptr;
  // A selection inside the removed branch moves to the node before it.
  for (const TOutlineNode* n = sel; n != nullptr; n = n->parent_)
    if (n == node) {
      sel = index > 1 ? Items(index - 1) : nullptr;
      break;
    }
  TOutlineNode* parent = node->parent_;
  parent->children_.erase(std::find_if(parent->children_.begin(), parent->children_.end(),
                                       [&](const auto& c) { return c.get() == node; }));
  dirty_ = true;
  selected_ = sel != nullptr ? sel->Index() : 0;
  if (selected_ == 0 && ItemCount() > 0) selected_ = 1;
  Changed();
}

void TOutline::Clear() {
  root_->children_.clear();
  selected_ = 0;
  top_ = 0;
  Changed();
}

int TOutline::GetTextItem(const std::string& text) const {
  Reindex();
  for (std::size_t i = 0; i < flat_.size(); ++i)
    if (AnsiCompareText(flat_[i]->Text(), text) == 0) return static_cast<int>(i) + 1;
  return 0;
}

int TOutline::GetDataItem(const void* data) const {
  Reindex();
  for (std::size_t i = 0; i < flat_.size(); ++i)
    if (flat_[i]->Data() == data) return static_cast<int>(i) + 1;
  return 0;
}

void TOutline::FullExpand() {
  BeginUpdate();
  for (auto& c : root_->children_) c->FullExpand();
  EndUpdate();
}

void TOutline::FullCollapse() {
  BeginUpdate();
  for (auto& c : root_->children_) c->FullCollapse();
  EndUpdate();
}

void TOutline::NodeExpandedChanged(TOutlineNode* node) {
  dirty_ = true;
  // A collapse that hides the selection moves it to the collapsed node.
  if (!node->expanded_ && selected_ > 0) {
    for (const TOutlineNode* n = Items(selected_)->parent_; n != nullptr; n = n->parent_)
      if (n == node) {
        selected_ = node->Index();
        break;
      }
  }
  const int index = node->Index();
  Changed();
  if (node->expanded_) FireEvent(OnExpand, this, index);
  else FireEvent(OnCollapse, this, index);
}

void TOutline::SetLines(TStrings* value) {
  BeginUpdate();
  Clear();
  if (value != nullptr)
    for (int i = 0; i < value->Count(); ++i) lines_->Add(value->Get(i));
  EndUpdate();
}

int TOutline::RowCount() const {
  Reindex();
  return static_cast<int>(shown_.size());
}

int TOutline::RowItem(int row) const {
  Reindex();
  if (row < 0 || row >= static_cast<int>(shown_.size())) return 0;
  return shown_[static_cast<std::size_t>(row)]->Index();
}

int TOutline::ItemIndex() const {
  if (selected_ == 0) return -1;
  Reindex();
  auto it = std::find(shown_.begin(), shown_.end(), flat_[static_cast<std::size_t>(selected_ - 1)]);
  return it == shown_.end() ? -1 : static_cast<int>(it - shown_.begin());
}

void TOutline::SetItemIndex(int row) { SetSelectedItem(RowItem(row)); }

void TOutline::SetSelectedItem(int index) {
  if (index < 0 || index > ItemCount()) throw EOutlineError(Format("Invalid outline index %d", {index}));
  if (index > 0) {
    // Selecting a hidden node shows it.
    BeginUpdate();
    for (TOutlineNode* p = Items(index)->Parent(); p != nullptr; p = p->Parent()) p->SetExpanded(true);
    EndUpdate();
  }
  selected_ = index;
  MakeVisible(ItemIndex());
  Invalidate();
}

int TOutline::ItemHeight() const { return itemHeight_ > 0 ? itemHeight_ : std::max(16, FontRowHeight(Font()) + 2); }

void TOutline::SetItemHeight(int value) {
  itemHeight_ = std::max(0, value);
  UpdateScrollBar();
  Invalidate();
}

void TOutline::SetOutlineStyle(TOutlineStyle value) {
  style_ = value;
  Invalidate();
}

void TOutline::SetOptions(TOutlineOptions value) {
  options_ = value;
  Invalidate();
}

void TOutline::SetTopItem(int row) {
  const int rows = std::max(1, ClientHeight() / ItemHeight());
  row = std::clamp(row, 0, std::max(0, RowCount() - rows));
  if (row == top_) return;
  top_ = row;
  UpdateScrollBar();
  Invalidate();
}

void TOutline::MakeVisible(int row) {
  if (row < 0) return;
  const int rows = std::max(1, ClientHeight() / ItemHeight());
  if (row < top_) SetTopItem(row);
  else if (row >= top_ + rows) SetTopItem(row - rows + 1);
}

void TOutline::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  const int rows = std::max(1, ClientHeight() / ItemHeight());
  si.nMin = 0;
  si.nMax = std::max(0, RowCount() - 1);
  si.nPage = static_cast<UINT>(RowCount() > rows ? rows : RowCount() + 1);
  si.nPos = top_;
  SetScrollInfo(handle_, SB_VERT, &si, true);
}

void TOutline::Resize() {
  TCustomControl::Resize();
  UpdateScrollBar();
}

int TOutline::GetItem(int x, int y) const {
  (void)x;
  if (y < 0) return 0;
  return RowItem(top_ + y / ItemHeight());
}

bool TOutline::HasPlusMinus() const { return style_ == osPlusMinusText || style_ == osPlusMinusPictureText; }
bool TOutline::HasPictures() const {
  return style_ == osPictureText || style_ == osPlusMinusPictureText || style_ == osTreePictureText;
}

int TOutline::NodeLeft(const TOutlineNode* node) const {
  const int root = options_.Contains(ooDrawTreeRoot) || HasPlusMinus() ? 1 : 0;
  return 2 + (node->Level() - 1 + root) * Indent();
}

void TOutline::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  c->Font()->Assign(Font());
  Reindex();
  const int h = ItemHeight();
  const bool focused = Focused();
  const int selRow = ItemIndex();
  for (int row = top_; row < static_cast<int>(shown_.size()); ++row) {
    const int y = (row - top_) * h;
    if (y >= ClientHeight()) break;
    const TOutlineNode* n = shown_[static_cast<std::size_t>(row)];
    int x = NodeLeft(n);
    const int mid = y + h / 2;
    if (HasTree()) {
      // Dotted-looking tree lines: to the node, and down past it while siblings follow.
      c->Pen()->SetColor(clGrayText);
      const int lx = x - Indent() / 2;
      if (n->Level() > 1 || options_.Contains(ooDrawTreeRoot)) {
        c->MoveTo(lx, mid);
        c->LineTo(x, mid);
        const TOutlineNode* p = n->parent_;
        const bool lastChild = p->children_.back().get() == n;
        c->MoveTo(lx, y);
        c->LineTo(lx, lastChild ? mid : y + h);
        int ax = lx - Indent();
        for (const TOutlineNode* a = p; a != nullptr && a->parent_ != nullptr; a = a->parent_, ax -= Indent()) {
          if (a->parent_->children_.back().get() != a && (a->Level() > 1 || options_.Contains(ooDrawTreeRoot))) {
            c->MoveTo(ax, y);
            c->LineTo(ax, y + h);
          }
        }
      }
    }
    if ((HasPlusMinus() || HasTree()) && n->HasItems()) {
      const int bx = x - Indent() / 2;
      TRect box = Rect(bx - 4, mid - 4, bx + 5, mid + 5);
      c->Brush()->SetColor(clWindow);
      c->Pen()->SetColor(clGrayText);
      c->Rectangle(box);
      c->Pen()->SetColor(clWindowText);
      c->MoveTo(bx - 2, mid);
      c->LineTo(bx + 3, mid);
      if (!n->Expanded()) {
        c->MoveTo(bx, mid - 2);
        c->LineTo(bx, mid + 3);
      }
    }
    if (HasPictures()) {
      // A small page (leaf), closed or open folder.
      TRect pic = Rect(x, mid - 5, x + 12, mid + 5);
      c->Brush()->SetColor(n->HasItems() ? (n->Expanded() ? clWindow : clYellow) : clWindow);
      c->Pen()->SetColor(clWindowText);
      c->Rectangle(pic);
      x += 15;
    }
    const std::string& text = n->Text();
    TRect tr = Rect(x, y, x + c->TextWidth(text) + 4, y + h);
    const bool sel = row == selRow;
    c->Brush()->SetColor(sel ? clHighlight : Color());
    c->Font()->SetColor(sel ? clHighlightText : (Enabled() ? Font()->Color() : clGrayText));
    c->TextRect(tr, x + 2, y + std::max(0, (h - c->TextHeight("Wg")) / 2), text);
    if (sel && focused && options_.Contains(ooDrawFocusRect)) c->DrawFocusRect(tr);
  }
}

void TOutline::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TOutline::WMVScroll(TMessage& msg) {
  const int rows = std::max(1, ClientHeight() / ItemHeight());
  int top = top_;
  switch (LOWORD(msg.WParam)) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= rows; break;
    case SB_PAGEDOWN: top += rows; break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = RowCount(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si;
      si.fMask = SIF_TRACKPOS;
      top = GetScrollInfo(handle_, SB_VERT, &si) ? si.nTrackPos : static_cast<SHORT>(HIWORD(msg.WParam));
      break;
    }
    default: return;
  }
  SetTopItem(top);
  msg.Result = 0;
}

void TOutline::WMMouseWheel(TMessage& msg) {
  SetTopItem(top_ - GET_WHEEL_DELTA_WPARAM(msg.WParam) / 120 * 3);
  msg.Result = 1;
}

void TOutline::WMSetFocus(TMessage& msg) {
  InheritedMessage(TOutline::StaticClass(), msg);
  Invalidate();
}

void TOutline::WMKillFocus(TMessage& msg) {
  InheritedMessage(TOutline::StaticClass(), msg);
  Invalidate();
}

void TOutline::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0 || RowCount() == 0) return;
  const int rows = std::max(1, ClientHeight() / ItemHeight());
  const int row = ItemIndex();
  TOutlineNode* node = selected_ > 0 ? Items(selected_) : nullptr;
  auto selectRow = [&](int r) {
    r = std::clamp(r, 0, RowCount() - 1);
    if (RowItem(r) != selected_) {
      SetItemIndex(r);
      Click();
    }
  };
  switch (key) {
    case VK_UP: selectRow(row < 0 ? 0 : row - 1); break;
    case VK_DOWN: selectRow(row + 1); break;
    case VK_PRIOR: selectRow(row - rows + 1); break;
    case VK_NEXT: selectRow(row < 0 ? rows - 1 : row + rows - 1); break;
    case VK_HOME: selectRow(0); break;
    case VK_END: selectRow(RowCount() - 1); break;
    case VK_RIGHT:
      if (node != nullptr && node->HasItems()) {
        if (!node->Expanded()) node->Expand();
        else selectRow(row + 1);
      }
      break;
    case VK_LEFT:
      if (node != nullptr) {
        if (node->HasItems() && node->Expanded()) node->Collapse();
        else if (node->Parent() != nullptr) {
          SetSelectedItem(node->Parent()->Index());
          Click();
        }
      }
      break;
    case VK_ADD:
      if (node != nullptr && node->HasItems()) node->Expand();
      break;
    case VK_SUBTRACT:
      if (node != nullptr && node->HasItems()) node->Collapse();
      break;
    case VK_MULTIPLY:
      if (node != nullptr) node->FullExpand();
      break;
    case VK_RETURN:
      if (node != nullptr && node->HasItems()) node->SetExpanded(!node->Expanded());
      break;
    default: return;
  }
  key = 0;
}

void TOutline::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  TOutlineNode* node = selected_ > 0 ? Items(selected_) : nullptr;
  // '+' and '-' typed on the main keyboard act as the keypad keys do.
  if (key == '+' || key == '-' || key == '*') {
    if (node != nullptr && node->HasItems()) {
      if (key == '+') node->Expand();
      else if (key == '-') node->Collapse();
      else node->FullExpand();
    }
    key = 0;
    return;
  }
  const unsigned char ch = static_cast<unsigned char>(key);
  if (ch < 32) return;
  // A letter moves to the next shown node starting with it.
  const int n = RowCount();
  const int start = ItemIndex();
  for (int k = 1; k <= n; ++k) {
    const int r = (start + k) % n;
    const std::string& t = Items(RowItem(r))->Text();
    if (!t.empty() && AnsiCompareText(t.substr(0, 1), std::string(1, key)) == 0) {
      SetItemIndex(r);
      Click();
      break;
    }
  }
  key = 0;
}

void TOutline::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (DoubleClickDown(button, shift, x, y)) return;
  if (button == TMouseButton::mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    const int index = GetItem(x, y);
    if (index > 0) {
      TOutlineNode* node = Items(index);
      const int bx = NodeLeft(node) - Indent() / 2;
      if ((HasPlusMinus() || HasTree()) && node->HasItems() && x >= bx - 6 && x <= bx + 6) {
        node->SetExpanded(!node->Expanded());
      } else {
        SetSelectedItem(index);
        Click();
      }
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TOutline::DblClick() {
  // A double click opens or closes the node under it, then tells the program.
  if (selected_ > 0) {
    TOutlineNode* node = Items(selected_);
    if (node->HasItems()) node->SetExpanded(!node->Expanded());
  }
  TCustomControl::DblClick();
}

}  // namespace tw

namespace tw {
TStrings* TOutline::Lines() const { return lines_.get(); }
}  // namespace tw

namespace tw {
TW_PUBLISHED(TOutline, Prop("Lines", &TOutline::Lines, &TOutline::SetLines),
             Prop("OutlineStyle", &TOutline::OutlineStyle, &TOutline::SetOutlineStyle),
             Prop("Options", &TOutline::Options, &TOutline::SetOptions),
             Prop("ItemHeight", &TOutline::ItemHeight, &TOutline::SetItemHeight),
             Prop("ItemSeparator", &TOutline::ItemSeparator, &TOutline::SetItemSeparator),
             Prop("OnExpand", &TOutline::OnExpand), Prop("OnCollapse", &TOutline::OnCollapse));
TW_REGISTER_CLASS(TOutline);
}  // namespace tw
