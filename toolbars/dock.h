// TDockX: a control along one edge of a form that holds docked toolbars in rows, packs them
// and sizes itself to the rows it holds.
#pragma once

#include <functional>
#include <vector>

#include "platform/forms/controls.h"

namespace tw::toolbars {

class TToolbarX;

enum class TDockPosition { dpTop, dpBottom, dpLeft, dpRight };
TW_ENUM_NAMES(TDockPosition, "dpTop", "dpBottom", "dpLeft", "dpRight");

enum class TDockBoundLine { blTop, blBottom, blLeft, blRight };
TW_ENUM_NAMES(TDockBoundLine, "blTop", "blBottom", "blLeft", "blRight");
using TDockBoundLines = Set<TDockBoundLine>;

using TInsertRemoveEvent = std::function<void(TObject* Sender, bool Inserting, TToolbarX* Bar)>;

// The thicknesses of a toolbar, or the largest of one row's toolbars.
struct TRowSize {
  int ItemHeight = 0;    // largest item height
  int ItemWidth = 0;     // largest item width
  int DockedHeight = 0;  // thickness docked horizontally
  int DockedWidth = 0;   // thickness docked vertically
};

class TDockX : public TCustomControl {
  TW_CLASS(TDockX, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TDockX(TComponent* owner);
  ~TDockX() override;

  TDockPosition Position() const { return position_; }
  void SetPosition(TDockPosition value);
  TDockBoundLines BoundLines() const { return boundLines_; }
  void SetBoundLines(TDockBoundLines value);
  bool Vertical() const { return position_ == TDockPosition::dpLeft || position_ == TDockPosition::dpRight; }

  void SetParent(TWinControl* parent) override;

  // Adds (inserting; appended when `append`) or removes a toolbar and re-arranges.
  void InsertRemoveBar(bool inserting, TToolbarX* bar, bool append);
  const std::vector<TToolbarX*>& Toolbars() const { return bars_; }

  // Places the toolbars in their rows and sizes the dock.
  void ArrangeToolbars();
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  // Rows: the highest row number (-1 without toolbars); the thickness of every row as last
  // arranged; the row at a pixel offset across the rows (`insert` set when a new row is to be
  // made there).
  int HighestRow() const;
  void BuildRowSizes();
  const TRowSize& RowSize(int row) const;
  int RowCount() const { return static_cast<int>(rowSizes_.size()); }
  int RowAtOffset(int offset, bool& insert) const;
  // Where the rows start across the dock and the start of positions along it (bound lines).
  int RowOrigin() const;
  int Lead() const;

  TInsertRemoveEvent OnInsertRemoveBar;

 protected:
  void CreateParams(TCreateParams& params) override;
  void AlignControls(TControl* control, TRect& rect) override;
  void Loaded() override;
  void Paint() override;
  void WMSizeDock(TMessage& msg);

 private:
  int RowThickness(int row) const;
  void SetThickness(int thickness);

  TDockPosition position_ = TDockPosition::dpTop;
  TDockBoundLines boundLines_;
  int updateCount_ = 0;
  std::vector<TToolbarX*> bars_;
  std::vector<TRowSize> rowSizes_;
};

}  // namespace tw::toolbars
