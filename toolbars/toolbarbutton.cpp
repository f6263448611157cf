#include "toolbars/toolbarbutton.h"

#include <algorithm>

#include "platform/forms/forms.h"
#include "platform/rtl/win1252.h"

namespace tw::toolbars {

TW_PUBLISHED(TToolbarButtonX,
             Prop("AllowAllUp", &TToolbarButtonX::AllowAllUp, &TToolbarButtonX::SetAllowAllUp),
             Prop("GroupIndex", &TToolbarButtonX::GroupIndex, &TToolbarButtonX::SetGroupIndex),
             Prop("Down", &TToolbarButtonX::Down, &TToolbarButtonX::SetDown),
             Prop("Glyph", &TToolbarButtonX::Glyph, &TToolbarButtonX::SetGlyph),
             Prop("Layout", &TToolbarButtonX::Layout, &TToolbarButtonX::SetLayout),
             Prop("Margin", &TToolbarButtonX::Margin, &TToolbarButtonX::SetMargin),
             Prop("NumGlyphs", &TToolbarButtonX::NumGlyphs, &TToolbarButtonX::SetNumGlyphs),
             Prop("Opaque", &TToolbarButtonX::Opaque, &TToolbarButtonX::SetOpaque),
             Prop("Spacing", &TToolbarButtonX::Spacing, &TToolbarButtonX::SetSpacing));
TW_REGISTER_CLASS(TToolbarButtonX);
TW_MESSAGE_MAP(TToolbarButtonX, OnMessage<TToolbarButtonX, &TToolbarButtonX::CMMouseEnter>(CM_MOUSEENTER),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMMouseLeave>(CM_MOUSELEAVE),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMButtonPressed>(CM_BUTTONPRESSED),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMDialogChar>(CM_DIALOGCHAR),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMRedraw>(CM_FONTCHANGED),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMRedraw>(CM_TEXTCHANGED),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMSysColorChange>(CM_SYSCOLORCHANGE),
               OnMessage<TToolbarButtonX, &TToolbarButtonX::CMEnabledChangedButton>(CM_ENABLEDCHANGED));

namespace {

// The accelerator of a caption: the character after a single '&'.
bool IsAccelerator(char key, const std::string& caption) {
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

// The 8 x 8 pattern behind an exclusive button that the pointer is not over.
void FillExclusive(TCanvas* c, const TRect& r) {
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  const TColor light = clBtnHighlight;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left + ((r.Left + y + 1) & 1); x < r.Right; x += 2) c->SetPixel(x, y, light);
}

}  // namespace

TButtonLayoutResult LayoutButton(const TRect& client, TSize glyph, TSize text, TButtonLayout layout, int margin,
                                 int spacing) {
  const TPoint origin{client.Left, client.Top};
  const int roomW = client.Width(), roomH = client.Height();
  const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
  TPoint g{0, 0}, t{0, 0};
  // Across the layout both are centred.
  if (horizontal) {
    g.Y = (roomH - glyph.cy + 1) / 2;
    t.Y = (roomH - text.cy + 1) / 2;
  } else {
    g.X = (roomW - glyph.cx + 1) / 2;
    t.X = (roomW - text.cx + 1) / 2;
  }
  if (text.cx == 0 || glyph.cx == 0) spacing = 0;
  const int room = horizontal ? roomW : roomH;
  const int glyphLen = horizontal ? glyph.cx : glyph.cy;
  const int textLen = horizontal ? text.cx : text.cy;
  if (margin == -1) {
    if (spacing == -1) {
      const int total = glyphLen + textLen;
      margin = spacing = (room - total) / 3;
    } else {
      margin = (room - glyphLen - spacing - textLen + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (room - margin - glyphLen - textLen) / 2;
  }
  switch (layout) {
    case TButtonLayout::blGlyphLeft:
      g.X = margin;
      t.X = g.X + glyph.cx + spacing;
      break;
    case TButtonLayout::blGlyphRight:
      g.X = roomW - margin - glyph.cx;
      t.X = g.X - spacing - text.cx;
      break;
    case TButtonLayout::blGlyphTop:
      g.Y = margin;
      t.Y = g.Y + glyph.cy + spacing;
      break;
    case TButtonLayout::blGlyphBottom:
      g.Y = roomH - margin - glyph.cy;
      t.Y = g.Y - spacing - text.cy;
      break;
  }
  return {TPoint{g.X + origin.X, g.Y + origin.Y}, Bounds(t.X + origin.X, t.Y + origin.Y, text.cx, text.cy)};
}

TToolbarButtonX::TToolbarButtonX(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TButtonGlyph>()) {
  SetBounds(0, 0, 23, 22);
  controlStyle_ = {TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csDoubleClicks};
  SetParentFont(true);
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

TToolbarButtonX::~TToolbarButtonX() { glyph_->OnChange = nullptr; }

void TToolbarButtonX::Loaded() {
  TGraphicControl::Loaded();
  state_ = Enabled() ? TButtonState::bsUp : TButtonState::bsDisabled;
  glyph_->Invalidate();
}

void TToolbarButtonX::SetGlyph(TBitmap* value) {
  glyph_->SetGlyph(value);
  Invalidate();
}

void TToolbarButtonX::SetNumGlyphs(int value) {
  glyph_->SetNumGlyphs(value);
  Invalidate();
}

void TToolbarButtonX::SetLayout(TButtonLayout value) {
  if (layout_ == value) return;
  layout_ = value;
  Invalidate();
}

void TToolbarButtonX::SetMargin(int value) {
  if (value < -1) value = -1;
  if (margin_ == value) return;
  margin_ = value;
  Invalidate();
}

void TToolbarButtonX::SetSpacing(int value) {
  if (value < -1) value = -1;
  if (spacing_ == value) return;
  spacing_ = value;
  Invalidate();
}

void TToolbarButtonX::SetOpaque(bool value) {
  if (Opaque() == value) return;
  if (value) controlStyle_.Include(TControlStyleFlag::csOpaque);
  else controlStyle_.Exclude(TControlStyleFlag::csOpaque);
  Invalidate();
}

void TToolbarButtonX::SetAllowAllUp(bool value) {
  if (allowAllUp_ == value) return;
  allowAllUp_ = value;
  UpdateExclusive();
}

void TToolbarButtonX::SetGroupIndex(int value) {
  if (groupIndex_ == value) return;
  groupIndex_ = value;
  // Outside a group a button cannot stay down.
  if (value == 0 && down_) {
    down_ = false;
    state_ = Enabled() ? TButtonState::bsUp : TButtonState::bsDisabled;
    Invalidate();
  }
  UpdateExclusive();
}

void TToolbarButtonX::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  if (down_ && !allowAllUp_) return;
  down_ = value;
  if (value) {
    if (state_ == TButtonState::bsUp) Invalidate();
    state_ = TButtonState::bsExclusive;
  } else {
    state_ = TButtonState::bsUp;
    Invalidate();
  }
  if (value) UpdateExclusive();
}

void TToolbarButtonX::UpdateExclusive() {
  if (groupIndex_ == 0 || Parent() == nullptr) return;
  TMessage msg{CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), 0, 0};
  // The other buttons learn who went down (or the group's AllowAllUp) through the message's
  // pointer to this button.
  msg.LParam = reinterpret_cast<LPARAM>(this);
  Parent()->Broadcast(msg);
}

void TToolbarButtonX::CMButtonPressed(TMessage& msg) {
  if (msg.WParam != static_cast<WPARAM>(groupIndex_) || groupIndex_ == 0) return;
  auto* sender = reinterpret_cast<TToolbarButtonX*>(msg.LParam);
  if (sender == this || sender == nullptr) return;
  if (sender->Down() && down_) {
    down_ = false;
    state_ = TButtonState::bsUp;
    Invalidate();
  }
  allowAllUp_ = sender->AllowAllUp();
}

void TToolbarButtonX::Click() { TGraphicControl::Click(); }

void TToolbarButtonX::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft) {
    Perform(CM_MOUSELEAVE, 0, 0);
    return;
  }
  if (!Enabled()) return;
  mouseInControl_ = true;
  if (!down_) {
    state_ = TButtonState::bsDown;
    Invalidate();
  } else if (allowAllUp_) {
    Invalidate();
  }
  dragging_ = true;
}

void TToolbarButtonX::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!dragging_) return;
  dragging_ = false;
  const bool inside = x >= 0 && x < ClientWidth() && y >= 0 && y < ClientHeight();
  if (groupIndex_ == 0) {
    state_ = TButtonState::bsUp;
    mouseInControl_ = mouseInControl_ && inside;
    Invalidate();
  } else if (inside) {
    SetDown(!down_);
    if (down_) Invalidate();
  } else {
    if (down_) state_ = TButtonState::bsExclusive;
    Invalidate();
  }
  if (state_ == TButtonState::bsDown) state_ = TButtonState::bsUp;
  if (inside) Click();
  CheckMouseOver();
}

void TToolbarButtonX::CheckMouseOver() {
  if (Parent() == nullptr) return;
  POINT pt{};
  GetCursorPos(&pt);
  const TPoint p = ScreenToClient(pt);
  const bool over = p.X >= 0 && p.X < Width() && p.Y >= 0 && p.Y < Height();
  if (over != mouseInControl_) {
    mouseInControl_ = over;
    Invalidate();
  }
}

void TToolbarButtonX::CMMouseEnter(TMessage& msg) {
  InheritedMessage(TToolbarButtonX::StaticClass(), msg);
  // A program in the background does not light up its flat buttons.
  if (!mouseInControl_ && Enabled() && Application()->Active()) {
    mouseInControl_ = true;
    Invalidate();
  }
}

void TToolbarButtonX::CMMouseLeave(TMessage& msg) {
  InheritedMessage(TToolbarButtonX::StaticClass(), msg);
  if (mouseInControl_ && !dragging_) {
    mouseInControl_ = false;
    Invalidate();
  } else if (dragging_) {
    mouseInControl_ = false;
  }
}

void TToolbarButtonX::CMDialogChar(TMessage& msg) {
  const char key = static_cast<char>(msg.WParam & 0xFF);
  if (Enabled() && Visible() && IsAccelerator(key, Caption())) {
    Click();
    msg.Result = 1;
    return;
  }
  InheritedMessage(TToolbarButtonX::StaticClass(), msg);
}

void TToolbarButtonX::CMRedraw(TMessage& msg) {
  InheritedMessage(TToolbarButtonX::StaticClass(), msg);
  Invalidate();
}

void TToolbarButtonX::CMSysColorChange(TMessage& msg) {
  glyph_->Invalidate();
  Invalidate();
  InheritedMessage(TToolbarButtonX::StaticClass(), msg);
}

void TToolbarButtonX::CMEnabledChangedButton(TMessage& msg) {
  InheritedMessage(TToolbarButtonX::StaticClass(), msg);
  if (!Enabled()) mouseInControl_ = false;
  Invalidate();
}

void TToolbarButtonX::Paint() {
  TCanvas* c = Canvas();
  if (!Enabled()) {
    state_ = TButtonState::bsDisabled;
    dragging_ = false;
  } else if (state_ == TButtonState::bsDisabled) {
    state_ = down_ && groupIndex_ != 0 ? TButtonState::bsExclusive : TButtonState::bsUp;
  }
  const TRect client = ClientRect();
  if (Opaque()) {
    c->Brush()->SetColor(Color());
    c->FillRect(client);
  }
  const bool pressed = state_ == TButtonState::bsDown || state_ == TButtonState::bsExclusive;
  const bool designing = ComponentState().Contains(TComponentStateFlag::csDesigning);
  if (designing || (mouseInControl_ && Enabled()) || pressed) {
    TRect edge = client;
    c->DrawEdge(edge, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  TRect content = client;
  InflateRect(content, -1, -1);
  if (pressed) OffsetRect(content, 1, 1);
  if (state_ == TButtonState::bsExclusive && !mouseInControl_) {
    TRect back = client;
    InflateRect(back, -1, -1);
    FillExclusive(c, back);
  }
  c->Font()->Assign(Font());
  const std::string caption = Caption();
  std::string shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown.push_back(caption[i]);
  }
  const TSize textSize = shown.empty() ? TSize{0, 0} : TSize{c->TextWidth(shown), c->TextHeight(shown)};
  const TButtonLayoutResult place =
      LayoutButton(content, glyph_->GlyphSize(), textSize, layout_, margin_, spacing_);
  // An opaque button shows its glyph over the button face in the up and down states.
  const TSize glyphSize = glyph_->GlyphSize();
  if (Opaque() && glyphSize.cx > 0 && (state_ == TButtonState::bsUp || state_ == TButtonState::bsDown)) {
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(Bounds(place.GlyphPos.X, place.GlyphPos.Y, glyphSize.cx, glyphSize.cy));
  }
  glyph_->Draw(c, place.GlyphPos.X, place.GlyphPos.Y, state_);
  if (!shown.empty()) {
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    TRect r = place.TextBounds;
    if (state_ == TButtonState::bsDisabled) {
      OffsetRect(r, 1, 1);
      c->Font()->SetColor(clBtnHighlight);
      c->DrawText(shown, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      OffsetRect(r, -1, -1);
      c->Font()->SetColor(clBtnShadow);
    }
    c->DrawText(shown, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
  }
}

}  // namespace tw::toolbars
