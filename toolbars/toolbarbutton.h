// TToolbarButtonX: a flat button that shows a raised edge only while the pointer is over it and
// a sunken one while it is down, with a glyph and an optional caption; buttons of one group
// (GroupIndex) in one parent work as radio buttons.
#pragma once

#include <memory>

#include "platform/forms/controls.h"
#include "toolbars/buttonglyph.h"

namespace tw::toolbars {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
TW_ENUM_NAMES(TButtonLayout, "blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom");

// Where the glyph and the caption go inside a client area.
struct TButtonLayoutResult {
  TPoint GlyphPos;
  TRect TextBounds;
};
TButtonLayoutResult LayoutButton(const TRect& client, TSize glyph, TSize text, TButtonLayout layout, int margin,
                                 int spacing);

class TToolbarButtonX : public TGraphicControl {
  TW_CLASS(TToolbarButtonX, TGraphicControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TToolbarButtonX(TComponent* owner);
  ~TToolbarButtonX() override;

  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  bool Down() const { return down_; }
  void SetDown(bool value);
  TBitmap* Glyph() const { return glyph_->Glyph(); }
  void SetGlyph(TBitmap* value);
  int NumGlyphs() const { return glyph_->NumGlyphs(); }
  void SetNumGlyphs(int value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  bool Opaque() const { return controlStyle_.Contains(TControlStyleFlag::csOpaque); }
  void SetOpaque(bool value);

  TButtonState State() const { return state_; }
  bool MouseInControl() const { return mouseInControl_; }
  TButtonGlyph* ButtonGlyph() const { return glyph_.get(); }
  void Click() override;

 protected:
  void Loaded() override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CMMouseEnter(TMessage& msg);
  void CMMouseLeave(TMessage& msg);
  void CMButtonPressed(TMessage& msg);
  void CMDialogChar(TMessage& msg);
  void CMRedraw(TMessage& msg);
  void CMSysColorChange(TMessage& msg);
  void CMEnabledChangedButton(TMessage& msg);

 private:
  void UpdateExclusive();
  void CheckMouseOver();

  std::unique_ptr<TButtonGlyph> glyph_;
  TButtonState state_ = TButtonState::bsUp;
  bool allowAllUp_ = false;
  int groupIndex_ = 0;
  bool down_ = false;
  bool dragging_ = false;
  bool mouseInControl_ = false;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
};

}  // namespace tw::toolbars
