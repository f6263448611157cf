// Buttons with pictures: TBitBtn (a push button with a glyph; the standard kinds draw their own
// glyph and set caption, modal result, Default and Cancel) and TSpeedButton (a windowless
// button that can stay down, alone or as one of a group sharing a GroupIndex).
#pragma once

#include <memory>

#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/gfx/graphic.h"

namespace tw {

enum class TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
TW_ENUM_NAMES(TBitBtnKind, "bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort", "bkRetry",
              "bkIgnore", "bkAll");
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
TW_ENUM_NAMES(TButtonLayout, "blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom");
// Which of the glyph's images to draw.
enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// The caption of a standard kind ("OK", "Cancel", "&Help" ...).
std::string BitBtnKindCaption(TBitBtnKind kind);
TModalResult BitBtnKindModalResult(TBitBtnKind kind);
// Draws the glyph of a standard kind in an 18-pixel square at `origin`.
void DrawKindGlyph(TCanvas* canvas, TBitBtnKind kind, TPoint origin, bool enabled);

// Lays out and draws glyph and caption in `r` as the picture buttons do; `glyph` may be empty
// (then `kind` draws one when not bkCustom).
void DrawButtonFace(TCanvas* canvas, TRect r, const std::string& caption, TBitmap* glyph, int numGlyphs,
                    TBitBtnKind kind, TButtonLayout layout, int margin, int spacing, TButtonState state,
                    const TFont* font);

class TBitBtn : public TButton {
  TW_CLASS(TBitBtn, TButton)
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  TBitBtnKind Kind() const { return kind_; }
  // A standard kind sets Caption, ModalResult, Default (OK, Yes) and Cancel (Cancel, No).
  void SetKind(TBitBtnKind kind);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* glyph);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  // Closing kinds close the form when it is not modal.
  void Click() override;

 protected:
  void PaintContent(TCanvas* canvas, TRect r, bool down) override;

 private:
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  std::unique_ptr<TBitmap> glyph_;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  int numGlyphs_ = 1;
};

class TSpeedButton : public TGraphicControl {
  TW_CLASS(TSpeedButton, TGraphicControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool Down() const { return down_; }
  // Putting a grouped button down lets the others of its group up; a lone grouped button goes
  // up only with AllowAllUp.
  void SetDown(bool v);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* glyph);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  void Click() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CMMouseEnter(TMessage& msg);
  void CMMouseLeave(TMessage& msg);
  void CMDialogChar(TMessage& msg);
  void CMButtonPressed(TMessage& msg);

 private:
  int groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  bool flat_ = false;
  std::unique_ptr<TBitmap> glyph_;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  int numGlyphs_ = 1;
  bool pressed_ = false;
  bool dragging_ = false;
  bool mouseInside_ = false;
};

}  // namespace tw
