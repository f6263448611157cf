// Buttons with pictures: TBitBtn (a push button with a glyph; the standard kinds draw their own
// glyph and set caption, modal result, Default and Cancel) and TSpeedButton (a windowless
// button that can stay down, alone or as one of a group sharing a GroupIndex).
#pragma once

#include <functional>
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

// The glyph of a picture button and how it sits beside the caption: Layout, Margin (-1: the
// glyph and caption are centred together), Spacing and NumGlyphs (1 to 4 images side by side
// for up, disabled, down and exclusive).  `changed` runs after every change.
class TGlyphFace {
 public:
  explicit TGlyphFace(std::function<void()> changed);
  TGlyphFace(const TGlyphFace&) = delete;
  TGlyphFace& operator=(const TGlyphFace&) = delete;
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* glyph);  // nullptr empties it
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  // Draws glyph and caption in `r` (DrawButtonFace).
  void Draw(TCanvas* canvas, TRect r, const std::string& caption, TBitBtnKind kind, TButtonState state,
            const TFont* font) const;

 private:
  void Changed() const;
  std::function<void()> changed_;
  std::unique_ptr<TBitmap> glyph_;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  int numGlyphs_ = 1;
};

class TBitBtn : public TButton {
  TW_CLASS(TBitBtn, TButton)
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  TBitBtnKind Kind() const { return kind_; }
  // A standard kind sets Caption, ModalResult, Default (OK, Yes) and Cancel (Cancel, No).
  void SetKind(TBitBtnKind kind);
  TBitmap* Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(TBitmap* glyph) { glyph_.SetGlyph(glyph); }
  TButtonLayout Layout() const { return glyph_.Layout(); }
  void SetLayout(TButtonLayout v) { glyph_.SetLayout(v); }
  int Margin() const { return glyph_.Margin(); }
  void SetMargin(int v) { glyph_.SetMargin(v); }
  int Spacing() const { return glyph_.Spacing(); }
  void SetSpacing(int v) { glyph_.SetSpacing(v); }
  int NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int v) { glyph_.SetNumGlyphs(v); }
  // Closing kinds close the form when it is not modal.
  void Click() override;

 protected:
  void PaintContent(TCanvas* canvas, TRect r, bool down) override;

 private:
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  TGlyphFace glyph_;
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
  TBitmap* Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(TBitmap* glyph) { glyph_.SetGlyph(glyph); }
  TButtonLayout Layout() const { return glyph_.Layout(); }
  void SetLayout(TButtonLayout v) { glyph_.SetLayout(v); }
  int Margin() const { return glyph_.Margin(); }
  void SetMargin(int v) { glyph_.SetMargin(v); }
  int Spacing() const { return glyph_.Spacing(); }
  void SetSpacing(int v) { glyph_.SetSpacing(v); }
  int NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int v) { glyph_.SetNumGlyphs(v); }
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
  TGlyphFace glyph_;
  bool pressed_ = false;
  bool dragging_ = false;
  bool mouseInside_ = false;
};

}  // namespace tw
