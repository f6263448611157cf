#include <algorithm>

#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/measure.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/win1252.h"

namespace tw {

bool IsAccel(char key, const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return AnsiUpperCase(std::string(1, caption[i + 1])) == AnsiUpperCase(std::string(1, key));
  }
  return false;
}

void DrawDisabledText(TCanvas* canvas, const std::string& text, TRect r, unsigned format) {
  canvas->Brush()->SetStyle(TBrushStyle::bsClear);
  TRect shifted = r;
  OffsetRect(shifted, 1, 1);
  canvas->Font()->SetColor(clBtnHighlight);
  canvas->DrawText(text, shifted, format);
  canvas->Font()->SetColor(clBtnShadow);
  canvas->DrawText(text, r, format);
}

TW_MESSAGE_MAP(TLabel, OnMessage<TLabel, &TLabel::CMDialogChar>(CM_DIALOGCHAR),
               OnMessage<TLabel, &TLabel::CMFontChangedLabel>(CM_FONTCHANGED));

TW_PUBLISHED(TLabel, Prop("Alignment", &TLabel::Alignment, &TLabel::SetAlignment),
             Prop("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize),
             Prop("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap),
             Prop("Transparent", &TLabel::Transparent, &TLabel::SetTransparent),
             Prop("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar),
             Prop("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl));
TW_REGISTER_CLASS(TLabel);

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 65, 13);
  controlStyle_.Include(TControlStyleFlag::csSetCaption);
  controlStyle_.Include(TControlStyleFlag::csOpaque);
}

void TLabel::SetAlignment(TAlignment v) {
  alignment_ = v;
  Invalidate();
}
void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}
void TLabel::SetWordWrap(bool v) {
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}
void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  if (v)
    controlStyle_.Exclude(TControlStyleFlag::csOpaque);
  else
    controlStyle_.Include(TControlStyleFlag::csOpaque);
  Invalidate();
}
void TLabel::SetShowAccelChar(bool v) {
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}
void TLabel::SetFocusControl(TWinControl* v) {
  focusControl_ = v;
  if (v != nullptr) v->FreeNotification(this);
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TLabel::SetText(const std::string& text) {
  TGraphicControl::SetText(text);
  AdjustBounds();
  Invalidate();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::CMFontChangedLabel(TMessage& msg) {
  InheritedMessage(TLabel::StaticClass(), msg);
  AdjustBounds();
}

unsigned TLabel::TextFormat() const {
  unsigned f = DT_EXPANDTABS;
  if (wordWrap_) f |= DT_WORDBREAK;
  if (!showAccelChar_) f |= DT_NOPREFIX;
  if (alignment_ == TAlignment::taCenter) f |= DT_CENTER;
  if (alignment_ == TAlignment::taRightJustify) f |= DT_RIGHT;
  return f;
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  TCanvas* c = MeasureCanvas(Font());
  std::string text = Caption();
  if (text.empty() || (showAccelChar_ && text == "&")) text.assign(1, ' ');
  TRect r = Rect(0, 0, wordWrap_ ? Width() : 0, 0);
  c->DrawText(text, r, TextFormat() | DT_CALCRECT);
  int left = Left();
  if (alignment_ == TAlignment::taRightJustify) left += Width() - r.Width();
  if (alignment_ == TAlignment::taCenter) left += (Width() - r.Width()) / 2;
  if (wordWrap_) left = Left();
  SetBounds(left, Top(), wordWrap_ ? Width() : r.Width(), r.Height());
}

void TLabel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
    c->FillRect(r);
  }
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  c->Font()->Assign(Font());
  if (Enabled()) {
    c->DrawText(Caption(), r, TextFormat());
  } else {
    DrawDisabledText(c, Caption(), r, TextFormat());
  }
}

void TLabel::CMDialogChar(TMessage& msg) {
  if (focusControl_ == nullptr || !Enabled() || !showAccelChar_) return;
  if (!IsAccel(static_cast<char>(msg.WParam), Caption())) return;
  if (focusControl_->CanFocus()) {
    focusControl_->SetFocus();
    msg.Result = 1;
  }
}

void RegisterStdControls() {
  RegisterClass<TLabel>();
  RegisterClass<TEdit>();
  RegisterClass<TMemo>();
  RegisterClass<TButton>();
  RegisterClass<TCheckBox>();
  RegisterClass<TRadioButton>();
  RegisterClass<TGroupBox>();
  RegisterClass<TBitBtn>();
  RegisterClass<TSpeedButton>();
  RegisterClass<TPanel>();
  RegisterClass<TBevel>();
  RegisterClass<TImage>();
  RegisterClass<TRadioGroup>();
}

}  // namespace tw
