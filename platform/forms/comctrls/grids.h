// TStringGrid: a table of text cells with fixed (heading) rows and columns, per-column widths
// and per-row heights, a focused cell and a selection, scrolling, column sizing by mouse, an
// in-place editor (Enter or F2 opens it, Esc restores the text) and owner drawing of cells.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"

namespace tw {

enum class TGridOption {
  goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goDrawFocusSelected, goRowSizing,
  goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect, goAlwaysShowEditor, goThumbTracking
};
TW_ENUM_NAMES(TGridOption, "goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine", "goRangeSelect",
              "goDrawFocusSelected", "goRowSizing", "goColSizing", "goRowMoving", "goColMoving", "goEditing", "goTabs",
              "goRowSelect", "goAlwaysShowEditor", "goThumbTracking");
using enum TGridOption;
using TGridOptions = Set<TGridOption>;

enum class TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
TW_ENUM_NAMES(TGridDrawStateFlag, "gdSelected", "gdFocused", "gdFixed");
using enum TGridDrawStateFlag;
using TGridDrawState = Set<TGridDrawStateFlag>;

enum class TGridScrollBars { ssNone, ssHorizontal, ssVertical, ssBoth };
TW_ENUM_NAMES(TGridScrollBars, "ssNone", "ssHorizontal", "ssVertical", "ssBoth");

// A range of cells: columns Left..Right, rows Top..Bottom (inclusive).
struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;
using TGetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;

class TStringGrid;
class TInplaceEdit;

class TStringGrid : public TCustomControl {
  TW_CLASS(TStringGrid, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TStringGrid(TComponent* owner);
  ~TStringGrid() override;

  // --- shape
  int ColCount() const { return colCount_; }
  void SetColCount(int value);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int value);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int value);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int value);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int value);
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int value);
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;
  void SetRowHeights(int row, int height);
  int GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int value);
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions value);
  TGridScrollBars ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TGridScrollBars value);
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool value) { defaultDrawing_ = value; }
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor value);

  // --- contents
  std::string Cells(int col, int row) const;
  void SetCells(int col, int row, const std::string& value);
  std::intptr_t Objects(int col, int row) const;
  void SetObjects(int col, int row, std::intptr_t value);
  // A column or row as a list of lines (reading and writing go to the cells).
  TStrings* Cols(int col);
  TStrings* Rows(int row);
  void SetCols(int col, TStrings* value);
  void SetRows(int row, TStrings* value);

  // --- focus, selection, scrolling
  int Col() const { return col_; }
  void SetCol(int value);
  int Row() const { return row_; }
  void SetRow(int value);
  TGridRect Selection() const { return selection_; }
  void SetSelection(TGridRect value);
  int TopRow() const { return topRow_; }
  void SetTopRow(int value);
  int LeftCol() const { return leftCol_; }
  void SetLeftCol(int value);
  int VisibleColCount() const;
  int VisibleRowCount() const;
  // The cell at a client point (-1, -1 when none) and a cell's rectangle (empty when hidden).
  void MouseToCell(int x, int y, int& col, int& row) const;
  TRect CellRect(int col, int row) const;

  // --- editing
  bool EditorMode() const { return editor_ != nullptr && editorShown_; }
  void SetEditorMode(bool value);
  TInplaceEdit* InplaceEditor() const { return editor_; }

  TSelectCellEvent OnSelectCell;
  TDrawCellEvent OnDrawCell;
  TGetEditEvent OnGetEditText;
  TSetEditEvent OnSetEditText;
  TNotifyEvent OnTopLeftChanged;

 protected:
  friend class TInplaceEdit;
  virtual bool SelectCell(int col, int row);
  virtual void DrawCell(int col, int row, TRect rect, TGridDrawState state);
  virtual std::string GetEditText(int col, int row);
  virtual void SetEditText(int col, int row, const std::string& value);
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Resize() override;
  void WMGetDlgCode(TMessage& msg);
  void WMVScroll(TMessage& msg);
  void WMHScroll(TMessage& msg);
  void WMMouseWheel(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);

  // Moves the focus cell as the user did (OnSelectCell may refuse); `extend` grows the
  // selection from its anchor instead of replacing it.
  bool MoveCurrent(int col, int row, bool extend);
  void MakeVisible(int col, int row);
  void UpdateScrollBars();
  void ShowEditor();
  void HideEditor(bool accept);
  void UpdateEditorBounds();
  int MaxTopRow() const;
  int MaxLeftCol() const;

 private:
  struct Cell {
    std::string text;
    std::intptr_t object = 0;
  };
  class TGridStrings;
  void Resize(int cols, int rows);
  void ClampCurrent();
  int ColumnEdgeAt(int x, int y) const;

  int colCount_ = 5;
  int rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int gridLineWidth_ = 1;
  std::vector<int> colWidths_;
  std::vector<int> rowHeights_;
  std::vector<std::vector<Cell>> cells_;  // [row][col]
  TGridOptions options_{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TGridScrollBars scrollBars_ = TGridScrollBars::ssBoth;
  bool defaultDrawing_ = true;
  TColor fixedColor_ = clBtnFace;
  int col_ = 1;
  int row_ = 1;
  int anchorCol_ = 1;
  int anchorRow_ = 1;
  TGridRect selection_{1, 1, 1, 1};
  int topRow_ = 1;
  int leftCol_ = 1;
  TInplaceEdit* editor_ = nullptr;
  bool editorShown_ = false;
  std::string editOriginal_;
  int sizingCol_ = -1;
  int sizingStart_ = 0;
  bool selecting_ = false;
  std::vector<std::unique_ptr<TGridStrings>> lineViews_;
};

// The grid's in-place editor: a one-line editor over the focused cell.
class TInplaceEdit : public TCustomControl {
  TW_CLASS(TInplaceEdit, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TInplaceEdit(TStringGrid* grid);
  const std::string& EditText() const { return text_; }
  void SetEditText(const std::string& value);
  int SelStart() const { return caret_; }
  void SelectAll() { selAll_ = true; caret_ = static_cast<int>(text_.size()); Invalidate(); }

 protected:
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void WMGetDlgCode(TMessage& msg);
  void WMKillFocus(TMessage& msg);

 private:
  void Changed();
  TStringGrid* grid_;
  std::string text_;
  int caret_ = 0;
  bool selAll_ = false;
};

}  // namespace tw
