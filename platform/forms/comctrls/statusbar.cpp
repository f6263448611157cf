#include "platform/forms/comctrls/statusbar.h"

#include <algorithm>

#include "platform/classes/classesconst.h"
#include "platform/forms/comctrls/ctrlpaint.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace tw {

namespace {
constexpr int kGripSize = 15;
}

// --- TStatusPanel

TStatusPanel::TStatusPanel(TStatusPanels* panels) : TCollectionItem(panels) {}

void TStatusPanel::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  Changed();
}

void TStatusPanel::SetWidth(int value) {
  width_ = std::max(0, value);
  Changed();
}

void TStatusPanel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Changed();
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  bevel_ = value;
  Changed();
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  style_ = value;
  Changed();
}

void TStatusPanel::Assign(const TPersistent* source) {
  if (const auto* p = dynamic_cast<const TStatusPanel*>(source); p != nullptr) {
    text_ = p->text_;
    width_ = p->width_;
    alignment_ = p->alignment_;
    bevel_ = p->bevel_;
    style_ = p->style_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// --- TStatusPanels

TStatusPanels::TStatusPanels(TStatusBar* bar)
    : TCollection([](TCollection* c) -> TCollectionItem* { return new TStatusPanel(static_cast<TStatusPanels*>(c)); }),
      bar_(bar) {}

void TStatusPanels::Assign(const TPersistent* source) {
  if (source == this) return;
  TCollection::Assign(source);
}

void TStatusPanels::Changed() {
  if (bar_ != nullptr) bar_->Invalidate();
  TCollection::Changed();
}

// --- TStatusBar

TW_MESSAGE_MAP(TStatusBar, OnMessage<TStatusBar, &TStatusBar::CMFontChanged>(CM_FONTCHANGED),
               OnMessage<TStatusBar, &TStatusBar::WMNCHitTest>(WM_NCHITTEST));

TStatusBar::TStatusBar(TComponent* owner) : TCustomControl(owner), panels_(std::make_unique<TStatusPanels>(this)) {
  SetParentColor(false);
  SetColor(clBtnFace);
  SetBounds(0, 0, 200, 19);
  AdjustHeight();
  SetAlign(TAlign::alBottom);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::AdjustHeight() {
  const int h = std::max(19, FontRowHeight(Font()) + 6);
  if (h != Height()) SetHeight(h);
}

void TStatusBar::CMFontChanged(TMessage& msg) {
  InheritedMessage(TStatusBar::StaticClass(), msg);
  AdjustHeight();
  Invalidate();
}

void TStatusBar::SetSimplePanel(bool value) {
  simplePanel_ = value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& value) {
  if (value == simpleText_) return;
  simpleText_ = value;
  if (simplePanel_) Invalidate();
}

void TStatusBar::SetSizeGrip(bool value) {
  sizeGrip_ = value;
  Invalidate();
}

TRect TStatusBar::GripRect() const {
  if (!sizeGrip_) return {};
  return Rect(ClientWidth() - kGripSize, ClientHeight() - kGripSize, ClientWidth(), ClientHeight());
}

TRect TStatusBar::PanelRect(int index) const {
  const int right = ClientWidth() - (sizeGrip_ ? kGripSize : 0);
  if (simplePanel_) return index == 0 ? Rect(0, 2, std::max(0, right), ClientHeight()) : TRect{};
  const int count = panels_->Count();
  if (index < 0 || index >= count) return {};
  int x = 0;
  for (int i = 0; i < index; ++i) x += panels_->Items(i)->Width() + 2;
  int w = panels_->Items(index)->Width();
  if (index == count - 1) w = std::max(w, right - x);  // the last panel takes the rest
  return Rect(x, 2, std::min(x + w, std::max(x, right)), ClientHeight());
}

int TStatusBar::PanelAt(TPoint p) const {
  const int n = simplePanel_ ? 1 : panels_->Count();
  for (int i = 0; i < n; ++i)
    if (PtInRect(PanelRect(i), p)) return i;
  return -1;
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const TRect& rect) {
  FireEvent(OnDrawPanel, this, panel, rect);
}

void TStatusBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  c->Font()->Assign(Font());
  auto text = [&](TRect r, const std::string& s, TAlignment align) {
    unsigned fmt = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (align == TAlignment::taRightJustify) fmt |= DT_RIGHT;
    else if (align == TAlignment::taCenter) fmt |= DT_CENTER;
    InflateRect(r, -2, 0);
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    c->DrawText(s, r, fmt);
    c->Brush()->SetStyle(TBrushStyle::bsSolid);
  };
  if (simplePanel_) {
    TRect r = PanelRect(0);
    c->DrawEdge(r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    text(r, simpleText_, TAlignment::taLeftJustify);
  } else {
    for (int i = 0; i < panels_->Count(); ++i) {
      TStatusPanel* p = panels_->Items(i);
      TRect r = PanelRect(i);
      if (IsRectEmpty(r)) continue;
      if (p->Bevel() == pbLowered) c->DrawEdge(r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
      else if (p->Bevel() == pbRaised) c->DrawEdge(r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
      c->Brush()->SetColor(Color());
      c->Font()->Assign(Font());
      if (p->Style() == psOwnerDraw) {
        c->IntersectClipRect(r);
        DrawPanel(p, r);
        c->ResetClip();
      } else {
        text(r, p->Text(), p->Alignment());
      }
    }
  }
  if (sizeGrip_) {
    // Diagonal ridges in the corner: highlight and shadow pairs.
    const TRect g = GripRect();
    for (int k = 0; k < 3; ++k) {
      const int off = 4 * k + 2;
      c->Pen()->SetColor(clBtnHighlight);
      c->MoveTo(g.Right - off - 2, g.Bottom);
      c->LineTo(g.Right, g.Bottom - off - 2);
      c->Pen()->SetColor(clBtnShadow);
      c->MoveTo(g.Right - off, g.Bottom);
      c->LineTo(g.Right, g.Bottom - off);
      c->MoveTo(g.Right - off + 1, g.Bottom);
      c->LineTo(g.Right, g.Bottom - off + 1);
    }
  }
}

void TStatusBar::WMNCHitTest(TMessage& msg) {
  InheritedMessage(TStatusBar::StaticClass(), msg);
  if (!sizeGrip_ || !HandleAllocated()) return;
  // The grip sizes the form when the form can be sized and the bar lies at its bottom right.
  TCustomForm* form = GetParentForm(this);
  if (form == nullptr || (GetWindowLong(form->Handle(), GWL_STYLE) & WS_THICKFRAME) == 0) return;
  POINT p{static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(msg.LParam))),
          static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(msg.LParam)))};
  ::tw::ScreenToClient(handle_, &p);
  if (PtInRect(GripRect(), p)) msg.Result = HTBOTTOMRIGHT;
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TStatusPanel, Prop("Text", &TStatusPanel::Text, &TStatusPanel::SetText),
             Prop("Width", &TStatusPanel::Width, &TStatusPanel::SetWidth),
             Prop("Alignment", &TStatusPanel::Alignment, &TStatusPanel::SetAlignment),
             Prop("Bevel", &TStatusPanel::Bevel, &TStatusPanel::SetBevel),
             Prop("Style", &TStatusPanel::Style, &TStatusPanel::SetStyle));
TW_PUBLISHED(TStatusBar, Prop("Panels", &TStatusBar::Panels, &TStatusBar::SetPanels),
             Prop("SimplePanel", &TStatusBar::SimplePanel, &TStatusBar::SetSimplePanel),
             Prop("SimpleText", &TStatusBar::SimpleText, &TStatusBar::SetSimpleText),
             Prop("SizeGrip", &TStatusBar::SizeGrip, &TStatusBar::SetSizeGrip),
             Prop("OnDrawPanel", &TStatusBar::OnDrawPanel));
TW_REGISTER_CLASS(TStatusBar);
}  // namespace tw
