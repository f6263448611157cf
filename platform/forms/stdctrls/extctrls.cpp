#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/measure.h"

#include <algorithm>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

// --- TPanel

TW_PUBLISHED(TPanel, Prop("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner),
             Prop("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter),
             Prop("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth),
             Prop("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth),
             Prop("BorderStyle", &TPanel::BorderStyle, &TPanel::SetBorderStyle),
             Prop("Alignment", &TPanel::Alignment, &TPanel::SetAlignment));
TW_REGISTER_CLASS(TPanel);

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 185, 41);
  controlStyle_.Include(TControlStyleFlag::csAcceptsControls);
  controlStyle_.Include(TControlStyleFlag::csSetCaption);
  controlStyle_.Include(TControlStyleFlag::csOpaque);
  SetParentColor(false);
  SetColor(clBtnFace);
}

void TPanel::SetBevelInner(TPanelBevel v) {
  bevelInner_ = v;
  Realign();
  Invalidate();
}
void TPanel::SetBevelOuter(TPanelBevel v) {
  bevelOuter_ = v;
  Realign();
  Invalidate();
}
void TPanel::SetBevelWidth(int v) {
  bevelWidth_ = std::max(v, 1);
  Realign();
  Invalidate();
}
void TPanel::SetBorderWidth(int v) {
  borderWidth_ = std::max(v, 0);
  Realign();
  Invalidate();
}
void TPanel::SetBorderStyle(TBorderStyle v) {
  borderStyle_ = v;
  Realign();
  Invalidate();
}
void TPanel::SetAlignment(TAlignment v) {
  alignment_ = v;
  Invalidate();
}
void TPanel::SetText(const std::string& text) {
  TCustomControl::SetText(text);
  Invalidate();
}

void TPanel::AlignControls(TControl* control, TRect& rect) {
  // Aligned children stay inside the border and bevels.
  int inset = borderWidth_;
  if (bevelOuter_ != TPanelBevel::bvNone) inset += bevelWidth_;
  if (bevelInner_ != TPanelBevel::bvNone) inset += bevelWidth_;
  if (borderStyle_ == TBorderStyle::bsSingle) inset += 2;
  InflateRect(rect, -inset, -inset);
  TCustomControl::AlignControls(control, rect);
}

void TPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  if (borderStyle_ == TBorderStyle::bsSingle) c->DrawEdge(r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  auto bevel = [&](TPanelBevel b) {
    if (b == TPanelBevel::bvNone) return;
    if (b == TPanelBevel::bvSpace) {
      InflateRect(r, -bevelWidth_, -bevelWidth_);
      return;
    }
    const bool raised = b == TPanelBevel::bvRaised;
    Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, bevelWidth_);
  };
  bevel(bevelOuter_);
  InflateRect(r, -borderWidth_, -borderWidth_);
  bevel(bevelInner_);
  if (Caption().empty()) return;
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  unsigned format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
  if (alignment_ == TAlignment::taCenter) format |= DT_CENTER;
  if (alignment_ == TAlignment::taRightJustify) format |= DT_RIGHT;
  if (Enabled())
    c->DrawText(Caption(), r, format);
  else
    DrawDisabledText(c, Caption(), r, format);
}

// --- TBevel

TW_PUBLISHED(TBevel, Prop("Shape", &TBevel::Shape, &TBevel::SetShape), Prop("Style", &TBevel::Style, &TBevel::SetStyle));
TW_REGISTER_CLASS(TBevel);

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(Left(), Top(), 50, 50); }

void TBevel::SetShape(TBevelShape v) {
  shape_ = v;
  Invalidate();
}
void TBevel::SetStyle(TBevelStyle v) {
  style_ = v;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* c = Canvas();
  const TColor first = style_ == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
  const TColor second = style_ == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
  TRect r = ClientRect();
  const int w = r.Width();
  const int h = r.Height();
  auto hline = [&](int y, TColor color) {
    c->Pen()->SetColor(color);
    c->MoveTo(0, y);
    c->LineTo(w, y);
  };
  auto vline = [&](int x, TColor color) {
    c->Pen()->SetColor(color);
    c->MoveTo(x, 0);
    c->LineTo(x, h);
  };
  c->Pen()->SetWidth(1);
  switch (shape_) {
    case TBevelShape::bsBox: Frame3D(c, r, first, second, 1); break;
    case TBevelShape::bsFrame: {
      TRect outer = Rect(0, 0, w - 1, h - 1);
      Frame3D(c, outer, first, first, 1);
      TRect inner = Rect(1, 1, w, h);
      Frame3D(c, inner, second, second, 1);
      break;
    }
    case TBevelShape::bsTopLine:
      hline(0, first);
      hline(1, second);
      break;
    case TBevelShape::bsBottomLine:
      hline(h - 2, first);
      hline(h - 1, second);
      break;
    case TBevelShape::bsLeftLine:
      vline(0, first);
      vline(1, second);
      break;
    case TBevelShape::bsRightLine:
      vline(w - 2, first);
      vline(w - 1, second);
      break;
    case TBevelShape::bsSpacer: break;
  }
}

// --- TImage

TW_PUBLISHED(TImage, Prop("Picture", &TImage::Picture, &TImage::SetPicture),
             Prop("Stretch", &TImage::Stretch, &TImage::SetStretch), Prop("Center", &TImage::Center, &TImage::SetCenter),
             Prop("Transparent", &TImage::Transparent, &TImage::SetTransparent),
             Prop("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize));
TW_REGISTER_CLASS(TImage);

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  SetBounds(Left(), Top(), 105, 105);
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::SetPicture(TPicture* picture) { picture_->Assign(picture); }
void TImage::SetStretch(bool v) {
  stretch_ = v;
  Invalidate();
}
void TImage::SetCenter(bool v) {
  center_ = v;
  Invalidate();
}
void TImage::SetTransparent(bool v) {
  transparent_ = v;
  PictureChanged();
}
void TImage::SetAutoSize(bool v) {
  autoSize_ = v;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (TGraphic* g = picture_->Graphic()) {
    if (g->Is<TBitmap>() && g->Transparent() != transparent_) g->SetTransparent(transparent_);
    if (autoSize_ && g->Width() > 0 && g->Height() > 0) SetBounds(Left(), Top(), g->Width(), g->Height());
  }
  Invalidate();
}

TRect TImage::DestRect() const {
  const int w = picture_->Width();
  const int h = picture_->Height();
  if (stretch_) return ClientRect();
  if (center_) return Bounds((Width() - w) / 2, (Height() - h) / 2, w, h);
  return Bounds(0, 0, w, h);
}

void TImage::Paint() {
  TCanvas* c = Canvas();
  TGraphic* g = picture_->Graphic();
  if (g == nullptr || g->Empty()) return;
  c->StretchDraw(DestRect(), g);
}

// --- TRadioGroup

TW_PUBLISHED(TRadioGroup, Prop("Items", &TRadioGroup::Items, &TRadioGroup::SetItems),
             Prop("ItemIndex", &TRadioGroup::ItemIndex, &TRadioGroup::SetItemIndex),
             Prop("Columns", &TRadioGroup::Columns, &TRadioGroup::SetColumns));
TW_REGISTER_CLASS(TRadioGroup);

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner), items_(std::make_unique<TStringList>()) {
  items_->OnChange = [this](TObject*) {
    if (!ComponentState().Contains(TComponentStateFlag::csLoading)) {
      if (itemIndex_ >= items_->Count()) itemIndex_ = items_->Count() - 1;
      UpdateButtons();
    }
  };
}

TRadioGroup::~TRadioGroup() { items_->OnChange = nullptr; }

void TRadioGroup::SetItems(TStrings* items) {
  if (items != nullptr) items_->Assign(items);
}

void TRadioGroup::SetItemIndex(int v) {
  if (ComponentState().Contains(TComponentStateFlag::csLoading)) {
    itemIndex_ = v;
    return;
  }
  v = std::clamp(v, -1, items_->Count() - 1);
  itemIndex_ = v;
  updating_ = true;
  for (int i = 0; i < ButtonCount(); ++i) buttons_[static_cast<std::size_t>(i)]->SetChecked(i == v);
  updating_ = false;
}

void TRadioGroup::SetColumns(int v) {
  columns_ = std::clamp(v, 1, 16);
  ArrangeButtons();
}

void TRadioGroup::Loaded() {
  TGroupBox::Loaded();
  UpdateButtons();
}

void TRadioGroup::Resize() {
  TGroupBox::Resize();
  ArrangeButtons();
}

void TRadioGroup::UpdateButtons() {
  while (ButtonCount() > items_->Count()) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (ButtonCount() < items_->Count()) {
    auto* b = new TRadioButton(this);
    b->OnClick = [this](TObject* sender) { ButtonClicked(sender); };
    b->SetParent(this);
    buttons_.push_back(b);
  }
  for (int i = 0; i < ButtonCount(); ++i) buttons_[static_cast<std::size_t>(i)]->SetCaption(items_->Strings(i));
  SetItemIndex(itemIndex_);
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  const int th = MeasureCanvas(Font())->TextHeight("0");
  const int perColumn = (ButtonCount() + columns_ - 1) / columns_;
  const int top = th + 2;
  const int height = std::max(ClientHeight() - top - 4, 0);
  const int width = std::max(ClientWidth() - 16, 0) / columns_;
  const int step = perColumn > 0 ? std::max(height / perColumn, 1) : 1;
  for (int i = 0; i < ButtonCount(); ++i) {
    const int col = i / perColumn;
    const int row = i % perColumn;
    buttons_[static_cast<std::size_t>(i)]->SetBounds(8 + col * width, top + row * step + (step - 17) / 2, width, 17);
  }
}

void TRadioGroup::ButtonClicked(TObject* sender) {
  if (updating_) return;
  for (int i = 0; i < ButtonCount(); ++i)
    if (buttons_[static_cast<std::size_t>(i)] == sender) {
      itemIndex_ = i;
      break;
    }
  Click();
}

}  // namespace tw
