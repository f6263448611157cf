#include "platform/forms/comctrls/grids.h"

#include <algorithm>

#include "platform/classes/classesconst.h"
#include "platform/forms/comctrls/ctrlpaint.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace tw {

// A column or a row of the grid seen as a list of lines.
class TStringGrid::TGridStrings : public TStrings {
 public:
  TGridStrings(TStringGrid* grid, bool isCol, int index) : grid_(grid), isCol_(isCol), index_(index) {}
  int GetCount() const override { return isCol_ ? grid_->rowCount_ : grid_->colCount_; }
  std::string Get(int i) const override {
    Check(i);
    return isCol_ ? grid_->Cells(index_, i) : grid_->Cells(i, index_);
  }
  void Put(int i, const std::string& s) override {
    Check(i);
    if (isCol_) grid_->SetCells(index_, i, s); else grid_->SetCells(i, index_, s);
  }
  std::intptr_t GetObject(int i) const override {
    Check(i);
    return isCol_ ? grid_->Objects(index_, i) : grid_->Objects(i, index_);
  }
  void PutObject(int i, std::intptr_t o) override {
    Check(i);
    if (isCol_) grid_->SetObjects(index_, i, o); else grid_->SetObjects(i, index_, o);
  }
  // The line count is the grid's: clearing empties the cells, adding fills the first empty
  // line is not offered, as the grid's shape does not follow a line list.
  void Clear() override {
    for (int i = 0; i < GetCount(); ++i) {
      Put(i, std::string());
      PutObject(i, 0);
    }
  }
  void Delete(int) override { Error(classesconst::SListIndexError, -1); }
  void Insert(int index, const std::string& s) override {
    if (index < 0 || index >= GetCount()) Error(classesconst::SListIndexError, index);
    Put(index, s);
  }
  // Assigning lines fills the cells in order; lines beyond the grid are dropped.
  void Assign(const TPersistent* source) override {
    if (const auto* src = dynamic_cast<const TStrings*>(source); src != nullptr) {
      for (int i = 0; i < GetCount(); ++i) {
        Put(i, i < src->Count() ? src->Get(i) : std::string());
        PutObject(i, i < src->Count() ? src->GetObject(i) : 0);
      }
      return;
    }
    TStrings::Assign(source);
  }
  bool isCol() const { return isCol_; }
  int index() const { return index_; }

 private:
  void Check(int i) const {
    if (i < 0 || i >= GetCount()) Error(classesconst::SListIndexError, i);
  }
  TStringGrid* grid_;
  bool isCol_;
  int index_;
};

TW_MESSAGE_MAP(TStringGrid, OnMessage<TStringGrid, &TStringGrid::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TStringGrid, &TStringGrid::WMVScroll>(WM_VSCROLL),
               OnMessage<TStringGrid, &TStringGrid::WMHScroll>(WM_HSCROLL),
               OnMessage<TStringGrid, &TStringGrid::WMMouseWheel>(WM_MOUSEWHEEL),
               OnMessage<TStringGrid, &TStringGrid::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TStringGrid, &TStringGrid::WMKillFocus>(WM_KILLFOCUS));

TStringGrid::TStringGrid(TComponent* owner) : TCustomControl(owner) {
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  controlStyle_.Exclude(TControlStyleFlag::csCaptureMouse);
  controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  Resize(colCount_, rowCount_);
  SetBounds(0, 0, 320, 120);
}

TStringGrid::~TStringGrid() = default;

void TStringGrid::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (scrollBars_ == TGridScrollBars::ssVertical || scrollBars_ == TGridScrollBars::ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == TGridScrollBars::ssHorizontal || scrollBars_ == TGridScrollBars::ssBoth) params.Style |= WS_HSCROLL;
  if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE; else params.Style |= WS_BORDER;
}

void TStringGrid::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollBars();
}

// --- shape

void TStringGrid::Resize(int cols, int rows) {
  cols = std::max(1, cols);
  rows = std::max(1, rows);
  colWidths_.resize(static_cast<std::size_t>(cols), defaultColWidth_);
  rowHeights_.resize(static_cast<std::size_t>(rows), defaultRowHeight_);
  cells_.resize(static_cast<std::size_t>(rows));
  for (auto& r : cells_) r.resize(static_cast<std::size_t>(cols));
  colCount_ = cols;
  rowCount_ = rows;
  fixedCols_ = std::min(fixedCols_, cols - 1);
  fixedRows_ = std::min(fixedRows_, rows - 1);
  ClampCurrent();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::ClampCurrent() {
  col_ = std::clamp(col_, fixedCols_, colCount_ - 1);
  row_ = std::clamp(row_, fixedRows_, rowCount_ - 1);
  anchorCol_ = std::clamp(anchorCol_, fixedCols_, colCount_ - 1);
  anchorRow_ = std::clamp(anchorRow_, fixedRows_, rowCount_ - 1);
  topRow_ = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  leftCol_ = std::clamp(leftCol_, fixedCols_, std::max(fixedCols_, colCount_ - 1));
  selection_ = {std::min(anchorCol_, col_), std::min(anchorRow_, row_), std::max(anchorCol_, col_),
                std::max(anchorRow_, row_)};
  if (options_.Contains(goRowSelect)) {
    selection_.Left = fixedCols_;
    selection_.Right = colCount_ - 1;
  }
}

void TStringGrid::SetColCount(int value) { Resize(value, rowCount_); }
void TStringGrid::SetRowCount(int value) { Resize(colCount_, value); }

void TStringGrid::SetFixedCols(int value) {
  if (value < 0 || value >= colCount_) throw EInvalidOperation("Fixed column count must be less than column count");
  fixedCols_ = value;
  ClampCurrent();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedRows(int value) {
  if (value < 0 || value >= rowCount_) throw EInvalidOperation("Fixed row count must be less than row count");
  fixedRows_ = value;
  ClampCurrent();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetDefaultColWidth(int value) {
  defaultColWidth_ = std::max(0, value);
  std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int value) {
  defaultRowHeight_ = std::max(0, value);
  std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
  UpdateScrollBars();
  Invalidate();
}

int TStringGrid::ColWidths(int col) const {
  if (col < 0 || col >= colCount_) throw EListError(Format(classesconst::SListIndexError, {col}));
  return colWidths_[static_cast<std::size_t>(col)];
}

void TStringGrid::SetColWidths(int col, int width) {
  ColWidths(col);
  colWidths_[static_cast<std::size_t>(col)] = std::max(0, width);
  UpdateScrollBars();
  UpdateEditorBounds();
  Invalidate();
}

int TStringGrid::RowHeights(int row) const {
  if (row < 0 || row >= rowCount_) throw EListError(Format(classesconst::SListIndexError, {row}));
  return rowHeights_[static_cast<std::size_t>(row)];
}

void TStringGrid::SetRowHeights(int row, int height) {
  RowHeights(row);
  rowHeights_[static_cast<std::size_t>(row)] = std::max(0, height);
  UpdateScrollBars();
  UpdateEditorBounds();
  Invalidate();
}

void TStringGrid::SetGridLineWidth(int value) {
  gridLineWidth_ = std::max(0, value);
  Invalidate();
}

void TStringGrid::SetOptions(TGridOptions value) {
  options_ = value;
  if (!options_.Contains(goEditing)) HideEditor(true);
  ClampCurrent();
  Invalidate();
}

void TStringGrid::SetScrollBars(TGridScrollBars value) {
  scrollBars_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TStringGrid::SetFixedColor(TColor value) {
  fixedColor_ = value;
  Invalidate();
}

// --- contents

std::string TStringGrid::Cells(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return std::string();
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].text;
}

void TStringGrid::SetCells(int col, int row, const std::string& value) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
    throw EListError(Format(classesconst::SListIndexError, {col < 0 || col >= colCount_ ? col : row}));
  cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].text = value;
  if (EditorMode() && col == col_ && row == row_ && editor_->EditText() != value) editor_->SetEditText(value);
  if (HandleAllocated()) {
    RECT r = CellRect(col, row);
    if (!IsRectEmpty(r)) InvalidateRect(handle_, &r, false);
  }
}

std::intptr_t TStringGrid::Objects(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return 0;
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].object;
}

void TStringGrid::SetObjects(int col, int row, std::intptr_t value) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
    throw EListError(Format(classesconst::SListIndexError, {col < 0 || col >= colCount_ ? col : row}));
  cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].object = value;
}

TStrings* TStringGrid::Cols(int col) {
  if (col < 0 || col >= colCount_) throw EListError(Format(classesconst::SListIndexError, {col}));
  for (auto& v : lineViews_)
    if (v->isCol() && v->index() == col) return v.get();
  lineViews_.push_back(std::make_unique<TGridStrings>(this, true, col));
  return lineViews_.back().get();
}

TStrings* TStringGrid::Rows(int row) {
  if (row < 0 || row >= rowCount_) throw EListError(Format(classesconst::SListIndexError, {row}));
  for (auto& v : lineViews_)
    if (!v->isCol() && v->index() == row) return v.get();
  lineViews_.push_back(std::make_unique<TGridStrings>(this, false, row));
  return lineViews_.back().get();
}

void TStringGrid::SetCols(int col, TStrings* value) { Cols(col)->Assign(value); }
void TStringGrid::SetRows(int row, TStrings* value) { Rows(row)->Assign(value); }

// --- geometry

TRect TStringGrid::CellRect(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return {};
  if ((col >= fixedCols_ && col < leftCol_) || (row >= fixedRows_ && row < topRow_)) return {};
  TRect r;
  auto colSpan = [&](int target, int& left, int& right) {
    int xx = 0;
    for (int c = 0; c < fixedCols_; ++c) {
      if (c == target) {
        left = xx;
        right = xx + colWidths_[static_cast<std::size_t>(c)];
        return true;
      }
      xx += colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
    }
    for (int c = leftCol_; c < colCount_ && xx < ClientWidth(); ++c) {
      if (c == target) {
        left = xx;
        right = xx + colWidths_[static_cast<std::size_t>(c)];
        return true;
      }
      xx += colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
    }
    return false;
  };
  auto rowSpan = [&](int target, int& top, int& bottom) {
    int yy = 0;
    for (int rr = 0; rr < fixedRows_; ++rr) {
      if (rr == target) {
        top = yy;
        bottom = yy + rowHeights_[static_cast<std::size_t>(rr)];
        return true;
      }
      yy += rowHeights_[static_cast<std::size_t>(rr)] + gridLineWidth_;
    }
    for (int rr = topRow_; rr < rowCount_ && yy < ClientHeight(); ++rr) {
      if (rr == target) {
        top = yy;
        bottom = yy + rowHeights_[static_cast<std::size_t>(rr)];
        return true;
      }
      yy += rowHeights_[static_cast<std::size_t>(rr)] + gridLineWidth_;
    }
    return false;
  };
  if (!colSpan(col, r.Left, r.Right) || !rowSpan(row, r.Top, r.Bottom)) return {};
  return r;
}

void TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
  col = -1;
  row = -1;
  int xx = 0;
  for (int c = 0; c < colCount_; ++c) {
    if (c >= fixedCols_ && c < leftCol_) continue;
    const int w = colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
    if (x >= xx && x < xx + w) { col = c; break; }
    xx += w;
    if (xx > ClientWidth()) break;
  }
  int yy = 0;
  for (int r = 0; r < rowCount_; ++r) {
    if (r >= fixedRows_ && r < topRow_) continue;
    const int h = rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
    if (y >= yy && y < yy + h) { row = r; break; }
    yy += h;
    if (yy > ClientHeight()) break;
  }
  if (col < 0 || row < 0) col = row = -1;
}

int TStringGrid::VisibleColCount() const {
  int x = 0;
  for (int c = 0; c < fixedCols_; ++c) x += colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
  int n = 0;
  for (int c = leftCol_; c < colCount_; ++c) {
    x += colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
    if (x > ClientWidth() + gridLineWidth_) break;
    ++n;
  }
  return std::max(n, 1);
}

int TStringGrid::VisibleRowCount() const {
  int y = 0;
  for (int r = 0; r < fixedRows_; ++r) y += rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
  int n = 0;
  for (int r = topRow_; r < rowCount_; ++r) {
    y += rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
    if (y > ClientHeight() + gridLineWidth_) break;
    ++n;
  }
  return std::max(n, 1);
}

int TStringGrid::MaxTopRow() const {
  // The top row that shows the last row at the bottom.
  int room = ClientHeight();
  for (int r = 0; r < fixedRows_; ++r) room -= rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
  int top = rowCount_ - 1;
  int used = rowHeights_[static_cast<std::size_t>(top)] + gridLineWidth_;
  while (top > fixedRows_ && used + rowHeights_[static_cast<std::size_t>(top - 1)] + gridLineWidth_ <= room) {
    --top;
    used += rowHeights_[static_cast<std::size_t>(top)] + gridLineWidth_;
  }
  return std::max(fixedRows_, top);
}

int TStringGrid::MaxLeftCol() const {
  int room = ClientWidth();
  for (int c = 0; c < fixedCols_; ++c) room -= colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
  int left = colCount_ - 1;
  int used = colWidths_[static_cast<std::size_t>(left)] + gridLineWidth_;
  while (left > fixedCols_ && used + colWidths_[static_cast<std::size_t>(left - 1)] + gridLineWidth_ <= room) {
    --left;
    used += colWidths_[static_cast<std::size_t>(left)] + gridLineWidth_;
  }
  return std::max(fixedCols_, left);
}

// --- focus and scrolling

void TStringGrid::SetTopRow(int value) {
  value = std::clamp(value, fixedRows_, MaxTopRow());
  if (value == topRow_) return;
  topRow_ = value;
  UpdateScrollBars();
  UpdateEditorBounds();
  Invalidate();
  FireEvent(OnTopLeftChanged, this);
}

void TStringGrid::SetLeftCol(int value) {
  value = std::clamp(value, fixedCols_, MaxLeftCol());
  if (value == leftCol_) return;
  leftCol_ = value;
  UpdateScrollBars();
  UpdateEditorBounds();
  Invalidate();
  FireEvent(OnTopLeftChanged, this);
}

void TStringGrid::MakeVisible(int col, int row) {
  if (row >= fixedRows_) {
    if (row < topRow_) SetTopRow(row);
    else {
      int top = topRow_;
      while (top < row && top < rowCount_ - 1) {
        int y = 0;
        for (int r = 0; r < fixedRows_; ++r) y += rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
        for (int r = top; r <= row; ++r) y += rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
        if (y <= ClientHeight() + gridLineWidth_) break;
        ++top;
      }
      SetTopRow(top);
    }
  }
  if (col >= fixedCols_) {
    if (col < leftCol_) SetLeftCol(col);
    else {
      int left = leftCol_;
      while (left < col && left < colCount_ - 1) {
        int x = 0;
        for (int c = 0; c < fixedCols_; ++c) x += colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
        for (int c = left; c <= col; ++c) x += colWidths_[static_cast<std::size_t>(c)] + gridLineWidth_;
        if (x <= ClientWidth() + gridLineWidth_) break;
        ++left;
      }
      SetLeftCol(left);
    }
  }
}

void TStringGrid::SetCol(int value) {
  if (value < fixedCols_ || value >= colCount_) return;
  MoveCurrent(value, row_, false);
}

void TStringGrid::SetRow(int value) {
  if (value < fixedRows_ || value >= rowCount_) return;
  MoveCurrent(col_, value, false);
}

void TStringGrid::SetSelection(TGridRect value) {
  value.Left = std::clamp(value.Left, fixedCols_, colCount_ - 1);
  value.Right = std::clamp(value.Right, fixedCols_, colCount_ - 1);
  value.Top = std::clamp(value.Top, fixedRows_, rowCount_ - 1);
  value.Bottom = std::clamp(value.Bottom, fixedRows_, rowCount_ - 1);
  anchorCol_ = value.Left;
  anchorRow_ = value.Top;
  col_ = value.Right;
  row_ = value.Bottom;
  ClampCurrent();
  Invalidate();
}

bool TStringGrid::SelectCell(int col, int row) {
  bool can = true;
  FireEvent(OnSelectCell, this, col, row, can);
  return can;
}

bool TStringGrid::MoveCurrent(int col, int row, bool extend) {
  col = std::clamp(col, fixedCols_, colCount_ - 1);
  row = std::clamp(row, fixedRows_, rowCount_ - 1);
  if (col == col_ && row == row_ && !extend) {
    anchorCol_ = col;
    anchorRow_ = row;
    ClampCurrent();
    Invalidate();
    return true;
  }
  if (!SelectCell(col, row)) return false;
  const bool wasEditing = EditorMode();
  if (wasEditing) HideEditor(true);
  col_ = col;
  row_ = row;
  if (!extend || !options_.Contains(goRangeSelect) || options_.Contains(goEditing)) {
    anchorCol_ = col;
    anchorRow_ = row;
  }
  ClampCurrent();
  MakeVisible(col, row);
  if (wasEditing && options_.Contains(goAlwaysShowEditor)) ShowEditor();
  Invalidate();
  return true;
}

void TStringGrid::UpdateScrollBars() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  if (scrollBars_ == TGridScrollBars::ssVertical || scrollBars_ == TGridScrollBars::ssBoth) {
    si.nMin = fixedRows_;
    si.nMax = rowCount_ - 1;
    si.nPage = static_cast<UINT>(MaxTopRow() == fixedRows_ ? rowCount_ : VisibleRowCount());
    si.nPos = topRow_;
    SetScrollInfo(handle_, SB_VERT, &si, true);
  }
  if (scrollBars_ == TGridScrollBars::ssHorizontal || scrollBars_ == TGridScrollBars::ssBoth) {
    si.nMin = fixedCols_;
    si.nMax = colCount_ - 1;
    si.nPage = static_cast<UINT>(MaxLeftCol() == fixedCols_ ? colCount_ : VisibleColCount());
    si.nPos = leftCol_;
    SetScrollInfo(handle_, SB_HORZ, &si, true);
  }
}

void TStringGrid::Resize() {
  TCustomControl::Resize();
  UpdateScrollBars();
}

static int ScrollTarget(WPARAM wParam, int pos, int page, int minPos, int maxPos, HWND hwnd, int bar, bool track) {
  switch (LOWORD(wParam)) {
    case SB_LINEUP: return pos - 1;
    case SB_LINEDOWN: return pos + 1;
    case SB_PAGEUP: return pos - std::max(1, page);
    case SB_PAGEDOWN: return pos + std::max(1, page);
    case SB_TOP: return minPos;
    case SB_BOTTOM: return maxPos;
    case SB_THUMBTRACK:
      if (!track) return pos;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      SCROLLINFO si;
      si.fMask = SIF_TRACKPOS;
      if (GetScrollInfo(hwnd, bar, &si)) return si.nTrackPos;
      return static_cast<SHORT>(HIWORD(wParam));
    }
    default: return pos;
  }
}

void TStringGrid::WMVScroll(TMessage& msg) {
  SetTopRow(ScrollTarget(msg.WParam, topRow_, VisibleRowCount(), fixedRows_, MaxTopRow(), handle_, SB_VERT,
                         options_.Contains(goThumbTracking)));
  msg.Result = 0;
}

void TStringGrid::WMHScroll(TMessage& msg) {
  SetLeftCol(ScrollTarget(msg.WParam, leftCol_, VisibleColCount(), fixedCols_, MaxLeftCol(), handle_, SB_HORZ,
                          options_.Contains(goThumbTracking)));
  msg.Result = 0;
}

void TStringGrid::WMMouseWheel(TMessage& msg) {
  SetTopRow(topRow_ - GET_WHEEL_DELTA_WPARAM(msg.WParam) / 120 * 3);
  msg.Result = 1;
}

void TStringGrid::WMGetDlgCode(TMessage& msg) {
  msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (options_.Contains(goTabs)) msg.Result |= DLGC_WANTTAB;
  if (options_.Contains(goEditing)) msg.Result |= DLGC_WANTALLKEYS;
}

void TStringGrid::WMSetFocus(TMessage& msg) {
  InheritedMessage(TStringGrid::StaticClass(), msg);
  Invalidate();
}

void TStringGrid::WMKillFocus(TMessage& msg) {
  InheritedMessage(TStringGrid::StaticClass(), msg);
  Invalidate();
}

// --- editing

std::string TStringGrid::GetEditText(int col, int row) {
  std::string value = Cells(col, row);
  FireEvent(OnGetEditText, this, col, row, value);
  return value;
}

void TStringGrid::SetEditText(int col, int row, const std::string& value) {
  if (Cells(col, row) != value) SetCells(col, row, value);
  FireEvent(OnSetEditText, this, col, row, value);
}

void TStringGrid::UpdateEditorBounds() {
  if (!EditorMode()) return;
  TRect r = CellRect(col_, row_);
  if (IsRectEmpty(r)) {
    editor_->SetVisible(false);
    return;
  }
  editor_->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  editor_->SetVisible(true);
}

void TStringGrid::ShowEditor() {
  if (!options_.Contains(goEditing) || options_.Contains(goRowSelect)) return;
  if (editor_ == nullptr) {
    editor_ = new TInplaceEdit(this);
    editor_->SetVisible(false);
    editor_->SetParent(this);
  }
  editOriginal_ = GetEditText(col_, row_);
  editor_->SetEditText(editOriginal_);
  editorShown_ = true;
  UpdateEditorBounds();
  editor_->SelectAll();
  if (Focused() || (editor_->HandleAllocated() && GetFocus() != 0)) editor_->SetFocus();
}

void TStringGrid::HideEditor(bool accept) {
  if (!EditorMode()) return;
  editorShown_ = false;
  if (!accept) SetEditText(col_, row_, editOriginal_);
  const bool hadFocus = editor_->Focused();
  editor_->SetVisible(false);
  if (hadFocus && CanFocus()) SetFocus();
  Invalidate();
}

void TStringGrid::SetEditorMode(bool value) {
  if (value) ShowEditor(); else HideEditor(true);
}

// --- keys and mouse

void TStringGrid::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  const bool shiftDown = shift.Contains(TShiftStateFlag::ssShift);
  const bool ctrl = shift.Contains(TShiftStateFlag::ssCtrl);
  const int page = std::max(1, VisibleRowCount() - 1);
  int c = col_, r = row_;
  switch (key) {
    case VK_UP: --r; break;
    case VK_DOWN: ++r; break;
    case VK_LEFT: if (options_.Contains(goRowSelect)) SetLeftCol(leftCol_ - 1); else --c; break;
    case VK_RIGHT: if (options_.Contains(goRowSelect)) SetLeftCol(leftCol_ + 1); else ++c; break;
    case VK_PRIOR: r -= page; break;
    case VK_NEXT: r += page; break;
    case VK_HOME: if (ctrl) r = fixedRows_; c = fixedCols_; break;
    case VK_END: if (ctrl) r = rowCount_ - 1; c = colCount_ - 1; break;
    case VK_TAB:
      if (!options_.Contains(goTabs)) return;
      if (!shiftDown) {
        if (++c >= colCount_) { c = fixedCols_; if (++r >= rowCount_) r = fixedRows_; }
      } else {
        if (--c < fixedCols_) { c = colCount_ - 1; if (--r < fixedRows_) r = rowCount_ - 1; }
      }
      MoveCurrent(c, r, false);
      key = 0;
      return;
    case VK_RETURN:
    case VK_F2:
      if (options_.Contains(goEditing)) {
        if (EditorMode()) HideEditor(true); else ShowEditor();
        key = 0;
      }
      return;
    case VK_ESCAPE:
      if (EditorMode()) {
        HideEditor(false);
        key = 0;
      }
      return;
    default: return;
  }
  MoveCurrent(c, r, shiftDown && options_.Contains(goRangeSelect));
  key = 0;
}

void TStringGrid::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const unsigned char ch = static_cast<unsigned char>(key);
  if (ch < 32 || !options_.Contains(goEditing) || EditorMode()) return;
  // A typed character opens the editor with that character in place of the text.
  ShowEditor();
  if (EditorMode()) {
    editor_->SetEditText(std::string(1, key));
    SetEditText(col_, row_, editor_->EditText());
  }
  key = 0;
}

int TStringGrid::ColumnEdgeAt(int x, int y) const {
  if (!options_.Contains(goColSizing)) return -1;
  int fixedHeight = 0;
  for (int r = 0; r < fixedRows_; ++r) fixedHeight += rowHeights_[static_cast<std::size_t>(r)] + gridLineWidth_;
  if (y >= fixedHeight || fixedRows_ == 0) return -1;
  int xx = 0;
  for (int c = 0; c < colCount_; ++c) {
    if (c >= fixedCols_ && c < leftCol_) continue;
    xx += colWidths_[static_cast<std::size_t>(c)];
    if (std::abs(x - xx) <= 2) return c;
    xx += gridLineWidth_;
    if (xx > ClientWidth()) break;
  }
  return -1;
}

void TStringGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (DoubleClickDown(button, shift, x, y)) return;
  if (button == TMouseButton::mbLeft) {
    if (CanFocus() && !Focused() && !(editor_ != nullptr && editor_->Focused())) SetFocus();
    const int edge = ColumnEdgeAt(x, y);
    if (edge >= 0) {
      sizingCol_ = edge;
      sizingStart_ = x - colWidths_[static_cast<std::size_t>(edge)];
      SetMouseCapture(true);
    } else {
      int c, r;
      MouseToCell(x, y, c, r);
      if (c >= fixedCols_ && r >= fixedRows_) {
        const bool same = c == col_ && r == row_;
        if (same && options_.Contains(goEditing) && !shift.Contains(TShiftStateFlag::ssDouble)) {
          ShowEditor();
        } else if (MoveCurrent(c, r, shift.Contains(TShiftStateFlag::ssShift))) {
          selecting_ = options_.Contains(goRangeSelect) && !options_.Contains(goEditing);
          if (selecting_) SetMouseCapture(true);
        }
        Click();
      }
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TStringGrid::MouseMove(TShiftState shift, int x, int y) {
  if (sizingCol_ >= 0) {
    SetColWidths(sizingCol_, std::max(1, x - sizingStart_));
  } else if (selecting_) {
    int c, r;
    MouseToCell(x, y, c, r);
    if (c >= fixedCols_ && r >= fixedRows_ && (c != col_ || r != row_)) MoveCurrent(c, r, true);
  } else if (HandleAllocated()) {
    ::tw::SetCursor(LoadCursor(0, ColumnEdgeAt(x, y) >= 0 ? IDC_SIZEWE : IDC_ARROW));
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TStringGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (sizingCol_ >= 0 || selecting_) {
    sizingCol_ = -1;
    selecting_ = false;
    SetMouseCapture(false);
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

// --- painting

void TStringGrid::DrawCell(int col, int row, TRect rect, TGridDrawState state) {
  if (defaultDrawing_) {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->TextRect(rect, rect.Left + 2, rect.Top + 2, Cells(col, row));
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
  }
  FireEvent(OnDrawCell, this, col, row, rect, state);
}

void TStringGrid::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  const bool focused = Focused() || (editor_ != nullptr && editor_->Focused());
  auto paintRange = [&](int r0, int r1, int c0, int c1) {
    for (int r = r0; r < r1; ++r) {
      for (int col = c0; col < c1; ++col) {
        TRect rect = CellRect(col, r);
        if (IsRectEmpty(rect)) continue;
        TGridDrawState state;
        const bool fixed = col < fixedCols_ || r < fixedRows_;
        if (fixed) state.Include(gdFixed);
        const bool isCurrent = col == col_ && r == row_;
        const bool inSel = !fixed && col >= selection_.Left && col <= selection_.Right && r >= selection_.Top &&
                           r <= selection_.Bottom;
        if (isCurrent && focused) state.Include(gdFocused);
        if (inSel && (!isCurrent || options_.Contains(goDrawFocusSelected) || options_.Contains(goRowSelect)))
          state.Include(gdSelected);
        c->Font()->Assign(Font());
        if (fixed) c->Brush()->SetColor(fixedColor_);
        else if (state.Contains(gdSelected) && (focused || options_.Contains(goRowSelect))) {
          c->Brush()->SetColor(clHighlight);
          c->Font()->SetColor(clHighlightText);
        } else {
          c->Brush()->SetColor(Color());
        }
        c->FillRect(rect);
        if (fixed && (options_.Contains(goFixedVertLine) || options_.Contains(goFixedHorzLine))) {
          TRect e = rect;
          c->DrawEdge(e, BDR_RAISEDINNER, BF_RECT);
        }
        c->IntersectClipRect(rect);
        DrawCell(col, r, rect, state);
        c->ResetClip();
        if (state.Contains(gdFocused) && !options_.Contains(goRowSelect) && !EditorMode()) c->DrawFocusRect(rect);
        // Grid lines along the right and bottom edges.
        if (gridLineWidth_ > 0) {
          const bool vert = fixed ? options_.Contains(goFixedVertLine) : options_.Contains(goVertLine);
          const bool horz = fixed ? options_.Contains(goFixedHorzLine) : options_.Contains(goHorzLine);
          c->Brush()->SetColor(fixed ? clBlack : clSilver);
          if (vert) c->FillRect(Rect(rect.Right, rect.Top, rect.Right + gridLineWidth_, rect.Bottom + gridLineWidth_));
          if (horz) c->FillRect(Rect(rect.Left, rect.Bottom, rect.Right + gridLineWidth_, rect.Bottom + gridLineWidth_));
        }
      }
    }
  };
  const int lastRow = std::min(rowCount_, topRow_ + VisibleRowCount() + 1);
  const int lastCol = std::min(colCount_, leftCol_ + VisibleColCount() + 1);
  paintRange(0, fixedRows_, 0, fixedCols_);
  paintRange(0, fixedRows_, leftCol_, lastCol);
  paintRange(topRow_, lastRow, 0, fixedCols_);
  paintRange(topRow_, lastRow, leftCol_, lastCol);
}

// --- TInplaceEdit

TW_MESSAGE_MAP(TInplaceEdit, OnMessage<TInplaceEdit, &TInplaceEdit::WMGetDlgCode>(WM_GETDLGCODE),
               OnMessage<TInplaceEdit, &TInplaceEdit::WMKillFocus>(WM_KILLFOCUS));

TInplaceEdit::TInplaceEdit(TStringGrid* grid) : TCustomControl(grid), grid_(grid) {
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  SetParentColor(false);
  SetColor(clWindow);
  SetTabStop(false);
}

void TInplaceEdit::SetEditText(const std::string& value) {
  text_ = value;
  caret_ = static_cast<int>(text_.size());
  selAll_ = false;
  Invalidate();
}

void TInplaceEdit::Changed() {
  Invalidate();
  grid_->SetEditText(grid_->Col(), grid_->Row(), text_);
}

void TInplaceEdit::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  c->Font()->Assign(grid_->Font());
  const int ty = 2;
  if (selAll_ && !text_.empty()) {
    c->Brush()->SetColor(clHighlight);
    c->Font()->SetColor(clHighlightText);
    c->TextOut(2, ty, text_);
  } else {
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->TextOut(2, ty, text_);
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
  }
  if (Focused()) {
    const int x = 2 + c->TextWidth(text_.substr(0, static_cast<std::size_t>(caret_)));
    c->Pen()->SetColor(clWindowText);
    c->MoveTo(x, ty);
    c->LineTo(x, ty + c->TextHeight("Wg"));
  }
}

void TInplaceEdit::WMGetDlgCode(TMessage& msg) {
  // Tab moves between cells only when the grid says so; otherwise it leaves the grid.
  msg.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
  if (grid_->Options().Contains(goTabs)) msg.Result |= DLGC_WANTTAB;
}

void TInplaceEdit::WMKillFocus(TMessage& msg) {
  InheritedMessage(TInplaceEdit::StaticClass(), msg);
  Invalidate();
}

void TInplaceEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  const int len = static_cast<int>(text_.size());
  switch (key) {
    case VK_LEFT: caret_ = std::max(0, caret_ - 1); selAll_ = false; Invalidate(); break;
    case VK_RIGHT: caret_ = std::min(len, caret_ + 1); selAll_ = false; Invalidate(); break;
    case VK_HOME: caret_ = 0; selAll_ = false; Invalidate(); break;
    case VK_END: caret_ = len; selAll_ = false; Invalidate(); break;
    case VK_BACK:
      if (selAll_) { text_.clear(); caret_ = 0; selAll_ = false; Changed(); }
      else if (caret_ > 0) { text_.erase(static_cast<std::size_t>(caret_ - 1), 1); --caret_; Changed(); }
      break;
    case VK_DELETE:
      if (selAll_) { text_.clear(); caret_ = 0; selAll_ = false; Changed(); }
      else if (caret_ < len) { text_.erase(static_cast<std::size_t>(caret_), 1); Changed(); }
      break;
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_F2:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_TAB: {
      // Keys that end or move the editing go to the grid.
      Word k = key;
      TStringGrid* grid = grid_;
      key = 0;
      grid->KeyDown(k, shift);
      return;
    }
    default: return;
  }
  key = 0;
}

void TInplaceEdit::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (static_cast<unsigned char>(key) < 32) return;
  if (selAll_) {
    text_.clear();
    caret_ = 0;
    selAll_ = false;
  }
  text_.insert(static_cast<std::size_t>(caret_), 1, key);
  ++caret_;
  key = 0;
  Changed();
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TStringGrid, Prop("ColCount", &TStringGrid::ColCount, &TStringGrid::SetColCount),
             Prop("RowCount", &TStringGrid::RowCount, &TStringGrid::SetRowCount),
             Prop("FixedCols", &TStringGrid::FixedCols, &TStringGrid::SetFixedCols),
             Prop("FixedRows", &TStringGrid::FixedRows, &TStringGrid::SetFixedRows),
             Prop("DefaultColWidth", &TStringGrid::DefaultColWidth, &TStringGrid::SetDefaultColWidth),
             Prop("DefaultRowHeight", &TStringGrid::DefaultRowHeight, &TStringGrid::SetDefaultRowHeight),
             Prop("GridLineWidth", &TStringGrid::GridLineWidth, &TStringGrid::SetGridLineWidth),
             Prop("Options", &TStringGrid::Options, &TStringGrid::SetOptions),
             Prop("ScrollBars", &TStringGrid::ScrollBars, &TStringGrid::SetScrollBars),
             Prop("DefaultDrawing", &TStringGrid::DefaultDrawing, &TStringGrid::SetDefaultDrawing),
             Prop("FixedColor", &TStringGrid::FixedColor, &TStringGrid::SetFixedColor),
             Prop("OnSelectCell", &TStringGrid::OnSelectCell), Prop("OnDrawCell", &TStringGrid::OnDrawCell),
             Prop("OnGetEditText", &TStringGrid::OnGetEditText), Prop("OnSetEditText", &TStringGrid::OnSetEditText),
             Prop("OnTopLeftChanged", &TStringGrid::OnTopLeftChanged));
TW_REGISTER_CLASS(TStringGrid);
}  // namespace tw
