#include "platform/forms/stdctrls/buttons.h"

#include <algorithm>

#include "platform/rtl/uilanguage.h"

namespace tw {

namespace {

constexpr int kKindGlyphSize = 18;

struct KindInfo {
  const char* Caption;
  TModalResult Result;
};

KindInfo KindOf(TBitBtnKind kind) {
  switch (kind) {
    case TBitBtnKind::bkOK: return {"OK", mrOk};
    case TBitBtnKind::bkCancel: return {"Cancel", mrCancel};
    case TBitBtnKind::bkHelp: return {"&Help", mrNone};
    case TBitBtnKind::bkYes: return {"&Yes", mrYes};
    case TBitBtnKind::bkNo: return {"&No", mrNo};
    case TBitBtnKind::bkClose: return {"&Close", mrNone};
    case TBitBtnKind::bkAbort: return {"Abort", mrAbort};
    case TBitBtnKind::bkRetry: return {"&Retry", mrRetry};
    case TBitBtnKind::bkIgnore: return {"&Ignore", mrIgnore};
    case TBitBtnKind::bkAll: return {"&All", mrAll};
    case TBitBtnKind::bkCustom: break;
  }
  return {"", mrNone};
}

// One image of a glyph that holds `numGlyphs` images side by side.
std::unique_ptr<TBitmap> GlyphPart(TBitmap* glyph, int numGlyphs, TButtonState state) {
  const int n = std::clamp(numGlyphs, 1, 4);
  const int w = glyph->Width() / n;
  int index = static_cast<int>(state);
  if (index >= n) index = 0;
  auto part = std::make_unique<TBitmap>();
  part->SetSize(w, glyph->Height());
  part->Canvas()->CopyRect(Rect(0, 0, w, glyph->Height()), glyph->Canvas(),
                           Rect(index * w, 0, (index + 1) * w, glyph->Height()));
  part->SetTransparent(true);
  return part;
}

}  // namespace

// The kinds' captions in the program's language.
constexpr TUiTextPair kGermanCaptions[] = {
    {"Cancel", "Abbrechen"}, {"&Help", "&Hilfe"},       {"&Yes", "&Ja"},          {"&No", "&Nein"},
    {"&Close", "&Schlie\xDF" "en"}, {"Abort", "Abbrechen"}, {"&Retry", "&Wiederholen"}, {"&Ignore", "&Ignorieren"},
    {"&All", "&Alle"},
};

std::string BitBtnKindCaption(TBitBtnKind kind) { return UiText(KindOf(kind).Caption, kGermanCaptions); }
TModalResult BitBtnKindModalResult(TBitBtnKind kind) { return KindOf(kind).Result; }

void DrawKindGlyph(TCanvas* c, TBitBtnKind kind, TPoint o, bool enabled) {
  auto line = [&](int x1, int y1, int x2, int y2) {
    c->MoveTo(o.X + x1, o.Y + y1);
    c->LineTo(o.X + x2, o.Y + y2);
  };
  auto pen = [&](TColor color, int width) {
    c->Pen()->SetColor(enabled ? color : clBtnShadow);
    c->Pen()->SetWidth(width);
  };
  switch (kind) {
    case TBitBtnKind::bkOK:
    case TBitBtnKind::bkYes:
      pen(RGB(0, 128, 0), 2);  // a green check mark
      line(3, 9, 7, 13);
      line(7, 13, 15, 4);
      break;
    case TBitBtnKind::bkCancel:
    case TBitBtnKind::bkNo:
    case TBitBtnKind::bkAbort:
      pen(RGB(192, 0, 0), 2);  // a red cross
      line(4, 4, 14, 14);
      line(14, 4, 4, 14);
      break;
    case TBitBtnKind::bkHelp:
      pen(RGB(0, 0, 160), 2);  // a blue question mark
      line(5, 5, 7, 3);
      line(7, 3, 11, 3);
      line(11, 3, 13, 5);
      line(13, 5, 13, 7);
      line(13, 7, 9, 10);
      line(9, 10, 9, 12);
      line(9, 14, 9, 16);
      break;
    case TBitBtnKind::bkClose:
      pen(RGB(128, 128, 0), 1);  // an open door
      c->Brush()->SetStyle(TBrushStyle::bsClear);
      c->Rectangle(o.X + 4, o.Y + 2, o.X + 14, o.Y + 17);
      pen(RGB(128, 64, 0), 2);
      line(5, 3, 10, 5);
      line(10, 5, 10, 17);
      break;
    case TBitBtnKind::bkRetry:
      pen(RGB(0, 128, 0), 2);  // a circular arrow
      c->Brush()->SetStyle(TBrushStyle::bsClear);
      c->Ellipse(o.X + 3, o.Y + 3, o.X + 15, o.Y + 15);
      line(11, 2, 15, 4);
      break;
    case TBitBtnKind::bkIgnore:
      pen(RGB(0, 128, 0), 2);  // a figure walking past
      line(9, 3, 9, 11);
      line(9, 11, 5, 16);
      line(9, 11, 13, 16);
      line(5, 7, 13, 7);
      break;
    case TBitBtnKind::bkAll:
      pen(RGB(0, 128, 0), 2);  // two check marks
      line(1, 9, 4, 12);
      line(4, 12, 10, 4);
      line(7, 11, 10, 14);
      line(10, 14, 17, 5);
      break;
    case TBitBtnKind::bkCustom:
      break;
  }
  c->Pen()->SetWidth(1);
}

void DrawButtonFace(TCanvas* c, TRect r, const std::string& caption, TBitmap* glyph, int numGlyphs, TBitBtnKind kind,
                    TButtonLayout layout, int margin, int spacing, TButtonState state, const TFont* font) {
  const bool hasBitmap = glyph != nullptr && !glyph->Empty();
  const bool hasKind = !hasBitmap && kind != TBitBtnKind::bkCustom;
  TSize g{0, 0};
  if (hasBitmap) g = TSize{glyph->Width() / std::clamp(numGlyphs, 1, 4), glyph->Height()};
  if (hasKind) g = TSize{kKindGlyphSize, kKindGlyphSize};
  c->Font()->Assign(font);
  TRect calc = Rect(0, 0, 0, 0);
  if (!caption.empty()) c->DrawText(caption, calc, DT_SINGLELINE | DT_CALCRECT);
  const TSize t{calc.Width(), calc.Height()};
  const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
  const int gap = (g.cx > 0 && t.cx > 0) ? std::max(spacing, 0) : 0;
  const int total = horizontal ? g.cx + gap + t.cx : g.cy + gap + t.cy;
  const int room = horizontal ? r.Width() : r.Height();
  const int start = margin >= 0 ? margin : (room - total) / 2;
  TPoint gp{0, 0};
  TRect tr = r;
  if (horizontal) {
    const int gy = r.Top + (r.Height() - g.cy) / 2;
    if (layout == TButtonLayout::blGlyphLeft) {
      gp = TPoint{r.Left + start, gy};
      tr = Rect(gp.X + g.cx + gap, r.Top, gp.X + g.cx + gap + t.cx, r.Bottom);
    } else {
      gp = TPoint{r.Right - start - g.cx, gy};
      tr = Rect(gp.X - gap - t.cx, r.Top, gp.X - gap, r.Bottom);
    }
  } else {
    const int gx = r.Left + (r.Width() - g.cx) / 2;
    if (layout == TButtonLayout::blGlyphTop) {
      gp = TPoint{gx, r.Top + start};
      tr = Rect(r.Left, gp.Y + g.cy + gap, r.Right, gp.Y + g.cy + gap + t.cy);
    } else {
      gp = TPoint{gx, r.Bottom - start - g.cy};
      tr = Rect(r.Left, gp.Y - gap - t.cy, r.Right, gp.Y - gap);
    }
  }
  const bool enabled = state != TButtonState::bsDisabled;
  if (hasBitmap) {
    auto part = GlyphPart(glyph, numGlyphs, state);
    c->Draw(gp.X, gp.Y, part.get());
  } else if (hasKind) {
    DrawKindGlyph(c, kind, gp, enabled);
  }
  if (!caption.empty()) {
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    const unsigned format = DT_SINGLELINE | DT_VCENTER | (horizontal ? DT_LEFT : DT_CENTER);
    if (enabled)
      c->DrawText(caption, tr, format);
    else
      DrawDisabledText(c, caption, tr, format);
  }
}

// --- TBitBtn

// --- TGlyphFace

TGlyphFace::TGlyphFace(std::function<void()> changed)
    : changed_(std::move(changed)), glyph_(std::make_unique<TBitmap>()) {
  glyph_->OnChange = [this](TObject*) { Changed(); };
}

void TGlyphFace::Changed() const {
  if (changed_) changed_();
}

void TGlyphFace::SetGlyph(TBitmap* glyph) {
  if (glyph == nullptr)
    glyph_->SetSize(0, 0);
  else
    glyph_->Assign(glyph);
  Changed();
}
void TGlyphFace::SetLayout(TButtonLayout v) {
  layout_ = v;
  Changed();
}
void TGlyphFace::SetMargin(int v) {
  margin_ = std::max(v, -1);
  Changed();
}
void TGlyphFace::SetSpacing(int v) {
  spacing_ = v;
  Changed();
}
void TGlyphFace::SetNumGlyphs(int v) {
  numGlyphs_ = std::clamp(v, 1, 4);
  Changed();
}

void TGlyphFace::Draw(TCanvas* canvas, TRect r, const std::string& caption, TBitBtnKind kind, TButtonState state,
                        const TFont* font) const {
  DrawButtonFace(canvas, r, caption, glyph_.get(), numGlyphs_, kind, layout_, margin_, spacing_, state, font);
}

// --- TBitBtn

TW_PUBLISHED(TBitBtn, Prop("Kind", &TBitBtn::Kind, &TBitBtn::SetKind), Prop("Glyph", &TBitBtn::Glyph, &TBitBtn::SetGlyph),
             Prop("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout), Prop("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin),
             Prop("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing),
             Prop("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs));
TW_REGISTER_CLASS(TBitBtn);

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), glyph_([this] { Invalidate(); }) {}

TBitBtn::~TBitBtn() = default;

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  if (kind != TBitBtnKind::bkCustom) {
    SetCaption(BitBtnKindCaption(kind));
    SetModalResult(BitBtnKindModalResult(kind));
    if (kind == TBitBtnKind::bkOK || kind == TBitBtnKind::bkYes) SetDefault(true);
    if (kind == TBitBtnKind::bkCancel || kind == TBitBtnKind::bkNo) SetCancel(true);
  }
  Invalidate();
}

void TBitBtn::Click() {
  TCustomForm* form = GetParentForm(this);
  if (kind_ == TBitBtnKind::bkClose && form != nullptr) {
    form->Close();
    TButtonControl::Click();
    return;
  }
  TButton::Click();
}

void TBitBtn::PaintContent(TCanvas* c, TRect r, bool down) {
  if (down) OffsetRect(r, 1, 1);
  const TButtonState state = !Enabled() ? TButtonState::bsDisabled : down ? TButtonState::bsDown : TButtonState::bsUp;
  glyph_.Draw(c, r, Caption(), kind_, state, Font());
}

// --- TSpeedButton

TW_MESSAGE_MAP(TSpeedButton, OnMessage<TSpeedButton, &TSpeedButton::CMMouseEnter>(CM_MOUSEENTER),
               OnMessage<TSpeedButton, &TSpeedButton::CMMouseLeave>(CM_MOUSELEAVE),
               OnMessage<TSpeedButton, &TSpeedButton::CMDialogChar>(CM_DIALOGCHAR),
               OnMessage<TSpeedButton, &TSpeedButton::CMButtonPressed>(CM_BUTTONPRESSED));
TW_PUBLISHED(TSpeedButton, Prop("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex),
             Prop("Down", &TSpeedButton::Down, &TSpeedButton::SetDown),
             Prop("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp),
             Prop("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat),
             Prop("Glyph", &TSpeedButton::Glyph, &TSpeedButton::SetGlyph),
             Prop("Layout", &TSpeedButton::Layout, &TSpeedButton::SetLayout),
             Prop("Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin),
             Prop("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing),
             Prop("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs));
TW_REGISTER_CLASS(TSpeedButton);

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_([this] { Invalidate(); }) {
  SetBounds(Left(), Top(), 23, 22);
  controlStyle_.Include(TControlStyleFlag::csSetCaption);
  controlStyle_.Include(TControlStyleFlag::csOpaque);
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGroupIndex(int v) {
  groupIndex_ = v;
  if (groupIndex_ == 0) down_ = false;
  Invalidate();
}

void TSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (!v && !allowAllUp_) {
    // Nothing else of the group would be down.
    bool otherDown = false;
    if (Parent() != nullptr)
      for (int i = 0; i < Parent()->ControlCount(); ++i) {
        auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
        if (b != nullptr && b != this && b->groupIndex_ == groupIndex_ && b->down_) otherDown = true;
      }
    if (!otherDown) return;
  }
  down_ = v;
  Invalidate();
  if (v && Parent() != nullptr) {
    TMessage msg{CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this), 0};
    Parent()->Broadcast(msg);
  }
}

void TSpeedButton::CMButtonPressed(TMessage& msg) {
  if (static_cast<int>(msg.WParam) != groupIndex_ || reinterpret_cast<TSpeedButton*>(msg.LParam) == this) return;
  auto* sender = reinterpret_cast<TSpeedButton*>(msg.LParam);
  if (down_) {
    down_ = false;
    Invalidate();
  }
  allowAllUp_ = sender->allowAllUp_;
}

void TSpeedButton::SetAllowAllUp(bool v) {
  allowAllUp_ = v;
  if (Parent() != nullptr)
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
      if (b != nullptr && b->groupIndex_ == groupIndex_ && groupIndex_ != 0) b->allowAllUp_ = v;
    }
}

void TSpeedButton::SetFlat(bool v) {
  flat_ = v;
  Invalidate();
}
void TSpeedButton::Click() {
  if (groupIndex_ != 0) SetDown(!down_ || !allowAllUp_ ? true : false);
  TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && Enabled()) {
    pressed_ = true;
    dragging_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  if (dragging_) {
    const bool inside = PtInRect(ClientRect(), TPoint{x, y});
    if (inside != pressed_) {
      pressed_ = inside;
      Invalidate();
    }
  }
  TGraphicControl::MouseMove(shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && dragging_) {
    dragging_ = false;
    pressed_ = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::CMMouseEnter(TMessage&) {
  mouseInside_ = true;
  if (flat_) Invalidate();
}
void TSpeedButton::CMMouseLeave(TMessage&) {
  mouseInside_ = false;
  if (flat_) Invalidate();
}

void TSpeedButton::CMDialogChar(TMessage& msg) {
  if (Enabled() && IsShowing() && IsAccel(static_cast<char>(msg.WParam), Caption())) {
    Click();
    msg.Result = 1;
  }
}

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  const bool down = pressed_ || down_;
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  if (down_ && !pressed_) {
    // A button that stays down shows a light dither.
    for (int y = r.Top + 2; y < r.Bottom - 2; ++y)
      for (int x = r.Left + 2 + (y & 1); x < r.Right - 2; x += 2) c->SetPixel(x, y, clBtnHighlight);
  }
  TRect face = r;
  if (!flat_ || mouseInside_ || down) {
    if (flat_)
      c->DrawEdge(face, down ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    else
      c->DrawEdge(face, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  }
  if (down) OffsetRect(face, 1, 1);
  const TButtonState state = !Enabled()          ? TButtonState::bsDisabled
                             : down_ && !pressed_ ? TButtonState::bsExclusive
                             : down              ? TButtonState::bsDown
                                                 : TButtonState::bsUp;
  glyph_.Draw(c, face, Caption(), TBitBtnKind::bkCustom, state, Font());
}

}  // namespace tw
