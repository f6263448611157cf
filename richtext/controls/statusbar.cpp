#include "richtext/controls/statusbar.h"

#include <algorithm>
#include <cctype>

#include "platform/forms/stdctrls/measure.h"
#include "richtext/controls/componentlink.h"
#include "richtext/controls/richedit.h"

namespace tw::richtext {

namespace {

// Widths beyond this are taken as this; no bar is wider.
constexpr int kMaxItemWidth = 32767;

// ASCII letters compared without case.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

TColor TextColorOf(std::uint8_t flags) {
  if (flags & sfWarning) return clWhite;
  if (flags & sfHighlight) return clNavy;
  return clBtnText;
}

TColor BackColorOf(std::uint8_t flags) {
  if (flags & sfWarning) return clMaroon;
  if (flags & sfInfo) return clInfoBk;
  return clBtnFace;
}

void Line(TCanvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

}  // namespace

bool ParseStatusItem(const std::string& entry, TRiStatusItemRec& item) {
  if (entry.empty()) return false;
  item = TRiStatusItemRec{};
  std::size_t i = 0;
  if (i < entry.size() && entry[i] == '@') item.Flags |= sfRaised, ++i;
  if (i < entry.size() && entry[i] == '$') item.Flags |= sfSunken, ++i;
  if (i < entry.size() && entry[i] == '%') item.Flags |= sfHighlight, ++i;
  int width = 0;
  while (i < entry.size() && std::isdigit(static_cast<unsigned char>(entry[i]))) {
    width = std::min(kMaxItemWidth, width * 10 + (entry[i] - '0'));
    ++i;
  }
  item.DesiredWidth = width;
  const std::size_t eq = entry.find('=', i);
  const std::string name = entry.substr(i, eq == std::string::npos ? std::string::npos : eq - i);
  item.Text = eq == std::string::npos ? name : entry.substr(eq + 1);
  item.Kind = TRiStatusItem::stString;
  const TEnumNames& names = TwEnumNames(static_cast<const TRiStatusItem*>(nullptr));
  for (int k = static_cast<int>(TRiStatusItem::stGauge); k <= static_cast<int>(TRiStatusItem::stPathName); ++k) {
    if (SameName(name, names.NameOf(k))) {
      item.Kind = static_cast<TRiStatusItem>(k);
      break;
    }
  }
  return true;
}

TW_MESSAGE_MAP(TRiStatusBarBasic, OnMessage<TRiStatusBarBasic, &TRiStatusBarBasic::CMFontChanged>(CM_FONTCHANGED));

TW_PUBLISHED(TRiStatusBarBasic, Prop("Items", &TRiStatusBarBasic::ItemStrings, &TRiStatusBarBasic::SetItems),
             Prop("TextAlignment", &TRiStatusBarBasic::TextAlignment, &TRiStatusBarBasic::SetTextAlignment),
             Prop("Gauge", &TRiStatusBarBasic::Gauge, &TRiStatusBarBasic::SetGauge),
             Prop("SizeGrip", &TRiStatusBarBasic::SizeGrip, &TRiStatusBarBasic::SetSizeGrip),
             Prop("GaugeWidth", &TRiStatusBarBasic::GaugeWidth, &TRiStatusBarBasic::SetGaugeWidth),
             Prop("OnUpdate", &TRiStatusBarBasic::OnUpdate));

TRiStatusBarBasic::TRiStatusBarBasic(TComponent* owner)
    : TCustomControl(owner), items_(std::make_unique<TStringList>()) {
  items_->OnChange = [this](TObject*) { Rebuild(); };
  SetBounds(Left(), Top(), 300, 22);
  SetAlign(TAlign::alBottom);
  SetParentColor(false);
  SetColor(clBtnFace);
  controlStyle_.Include(TControlStyleFlag::csOpaque);
}

TRiStatusBarBasic::~TRiStatusBarBasic() { items_->OnChange = nullptr; }

void TRiStatusBarBasic::SetItems(TStrings* items) {
  if (items == nullptr)
    items_->Clear();
  else
    items_->Assign(items);
}

void TRiStatusBarBasic::SetEditor(TRiCustomRtfEdit* editor) { ReplaceLink(this, editor_, editor); }

void TRiStatusBarBasic::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == editor_) editor_ = nullptr;
}

int TRiStatusBarBasic::TextWidthOf(const std::string& text) const { return MeasureCanvas(Font())->TextWidth(text); }

int TRiStatusBarBasic::TextHeightOfA() const { return MeasureCanvas(Font())->TextHeight("A"); }

void TRiStatusBarBasic::Rebuild() {
  count_ = 0;
  for (int i = 0; i < items_->Count() && count_ < MaxStatusItems; ++i) {
    TRiStatusItemRec item;
    if (!ParseStatusItem(items_->StringRef(i), item)) continue;
    item.Definition = i;
    if (item.DesiredWidth == 0) item.DesiredWidth = TextWidthOf(item.Text);
    if (item.DesiredWidth < 10) item.DesiredWidth = 30;
    records_[static_cast<std::size_t>(count_++)] = item;
  }
  const bool defined = count_ > 0;
  if (gauge_) {
    TRiStatusItemRec g;
    g.Text = "Gauge";
    g.Definition = -1;
    g.Kind = TRiStatusItem::stGauge;
    g.DesiredWidth = gaugeWidth_;
    records_[static_cast<std::size_t>(count_++)] = g;
  }
  if (defined) RefreshItems();
  LayOut();
  Invalidate();
}

void TRiStatusBarBasic::RefreshItems() {
  FireEvent(OnUpdate, this);
  if (editor_ != nullptr) editor_->StatusBarUpdate();
}

bool TRiStatusBarBasic::SetItemText(TRiStatusItem kind, const std::string& text) {
  for (int i = 0; i < count_; ++i) {
    TRiStatusItemRec& item = records_[static_cast<std::size_t>(i)];
    if (item.Kind != kind) continue;
    if (item.Text != text) {
      item.Text = text;
      if (Visible() && HandleAllocated()) Invalidate();
    }
    return true;
  }
  return false;
}

std::string TRiStatusBarBasic::ItemText(TRiStatusItem kind) const {
  for (int i = 0; i < count_; ++i)
    if (records_[static_cast<std::size_t>(i)].Kind == kind) return records_[static_cast<std::size_t>(i)].Text;
  return "";
}

void TRiStatusBarBasic::SetGaugeValue(int percent) {
  for (int i = 0; i < count_; ++i) {
    TRiStatusItemRec& item = records_[static_cast<std::size_t>(i)];
    if (item.Kind != TRiStatusItem::stGauge) continue;
    item.Value = std::clamp(percent, 0, 100);
    if (Visible() && HandleAllocated()) Invalidate();
    return;
  }
}

int TRiStatusBarBasic::GaugeValue() const {
  for (int i = 0; i < count_; ++i)
    if (records_[static_cast<std::size_t>(i)].Kind == TRiStatusItem::stGauge) return records_[static_cast<std::size_t>(i)].Value;
  return 0;
}

void TRiStatusBarBasic::SetTextAlignment(int value) {
  alignment_ = std::clamp(value, 0, 2);
  Invalidate();
}

void TRiStatusBarBasic::SetGauge(bool value) {
  if (gauge_ == value) return;
  gauge_ = value;
  Rebuild();
}

void TRiStatusBarBasic::SetSizeGrip(bool value) {
  sizeGrip_ = value;
  Invalidate();
}

void TRiStatusBarBasic::SetGaugeWidth(int value) {
  gaugeWidth_ = std::clamp(value, 0, kMaxItemWidth);
  Rebuild();
}

void TRiStatusBarBasic::LayOut() {
  if (count_ == 0) return;
  const int client = ClientWidth();
  const int room = std::max(0, client - 4);
  long long sum = 0;
  for (int i = 0; i < count_; ++i) sum += records_[static_cast<std::size_t>(i)].DesiredWidth + 2;
  const int right = std::max(2, client - 2);
  int x = 2;
  if (sum >= room) {
    // Too wide together: every item shrinks in proportion.
    for (int i = 0; i < count_; ++i) {
      TRiStatusItemRec& item = records_[static_cast<std::size_t>(i)];
      item.X = x;
      item.Width = sum > 0 ? static_cast<int>(item.DesiredWidth * static_cast<long long>(room) / sum) : 0;
      x += item.Width + 2;
    }
    TRiStatusItemRec& last = records_[static_cast<std::size_t>(count_ - 1)];
    last.Width = std::max(0, right - last.X);
    return;
  }
  for (int i = 0; i < count_; ++i) {
    TRiStatusItemRec& item = records_[static_cast<std::size_t>(i)];
    item.X = x;
    item.Width = item.DesiredWidth;
    x += item.Width + 2;
  }
  TRiStatusItemRec& last = records_[static_cast<std::size_t>(count_ - 1)];
  if (gauge_ && last.Kind == TRiStatusItem::stGauge && last.Definition == -1) {
    last.Width = gaugeWidth_;
    last.X = right - last.Width;
    if (count_ >= 2) {
      TRiStatusItemRec& text = records_[static_cast<std::size_t>(count_ - 2)];
      text.Width = std::max(0, last.X - 2 - text.X);
    }
  } else {
    last.Width = std::max(0, right - last.X);
  }
}

void TRiStatusBarBasic::FitHeight() {
  const int h = TextHeightOfA() + 4;
  if (h > Height()) SetHeight(h);
}

void TRiStatusBarBasic::Resize() {
  TCustomControl::Resize();
  LayOut();
}

void TRiStatusBarBasic::CMFontChanged(TMessage& msg) {
  InheritedMessage(TRiStatusBarBasic::StaticClass(), msg);
  Invalidate();
}

void TRiStatusBarBasic::UpdateTextExtent() {
  const int th = TextHeightOfA();
  const int h = ClientHeight();
  switch (alignment_) {
    case 0: textTop_ = 3; break;
    case 1: textTop_ = (h - th) / 2; break;
    default: textTop_ = h - th - 2; break;
  }
  textTop_ = std::max(3, textTop_);
  textBottom_ = textTop_ + th;
}

void TRiStatusBarBasic::Paint() { PaintAll(*Canvas()); }

void TRiStatusBarBasic::PaintAll(TCanvas& c) {
  c.SetFont(Font());
  UpdateTextExtent();
  const TRect all{0, 0, ClientWidth(), ClientHeight()};
  c.Brush()->SetColor(Color());
  c.Brush()->SetStyle(TBrushStyle::bsSolid);
  c.FillRect(all);
  c.Pen()->SetColor(clBtnHighlight);
  Line(c, 0, 0, all.Right, 0);
  for (int i = 0; i < count_; ++i) PaintItem(c, i);
  if (sizeGrip_) PaintSizeGrip(c);
}

void TRiStatusBarBasic::PaintItem(TCanvas& c, int index) {
  const TRiStatusItemRec& item = records_[static_cast<std::size_t>(index)];
  if (item.Kind == TRiStatusItem::stGauge) {
    PaintGauge(c, item);
    return;
  }
  const TRect r{item.X, 2, item.X + item.Width, ClientHeight() - 2};
  if (r.Width() <= 0 || r.Height() <= 0) return;
  c.Brush()->SetColor(BackColorOf(item.Flags));
  c.Font()->SetColor(TextColorOf(item.Flags));
  const int down = (item.Flags & sfSunken) ? 1 : 0;
  c.TextRect(TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}, r.Left + 3, textTop_ + down, item.Text);
  const bool sunken = (item.Flags & sfSunken) != 0 || (item.Flags & sfRaised) == 0;
  const TColor topLeft = sunken ? clBtnShadow : clBtnHighlight;
  const TColor bottomRight = sunken ? clBtnHighlight : clBtnShadow;
  c.Pen()->SetColor(topLeft);
  Line(c, r.Left, r.Bottom - 1, r.Left, r.Top);
  Line(c, r.Left, r.Top, r.Right - 1, r.Top);
  c.Pen()->SetColor(bottomRight);
  Line(c, r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1);
  Line(c, r.Right - 1, r.Bottom - 1, r.Left - 1, r.Bottom - 1);
}

void TRiStatusBarBasic::PaintGauge(TCanvas& c, const TRiStatusItemRec& item) {
  const TRect r{item.X, 2, item.X + item.Width, ClientHeight() - 2};
  if (r.Width() <= 0 || r.Height() <= 0) return;
  c.Brush()->SetColor(Color());
  c.FillRect(r);
  const int filled = static_cast<int>(0.01 * item.Value * item.Width);
  c.Brush()->SetColor(clNavy);
  // Vertical segments of 3 pixels every 4 pixels.
  for (int x = 0; x < filled; x += 4)
    c.FillRect(TRect{r.Left + x, r.Top + 1, r.Left + std::min(x + 3, filled), r.Bottom - 1});
  c.Pen()->SetColor(clBtnShadow);
  Line(c, r.Left, r.Bottom - 1, r.Left, r.Top);
  Line(c, r.Left, r.Top, r.Right - 1, r.Top);
}

void TRiStatusBarBasic::PaintSizeGrip(TCanvas& c) {
  const int right = ClientWidth() - 1, bottom = ClientHeight() - 1;
  for (int k = 3; k <= 15; k += 4) {
    c.Pen()->SetColor(clBtnHighlight);
    Line(c, right - k, bottom, right + 1, bottom - k - 1);
    c.Pen()->SetColor(clBtnShadow);
    Line(c, right - k + 1, bottom, right + 1, bottom - k);
    Line(c, right - k + 2, bottom, right + 1, bottom - k + 1);
  }
}

void TRiStatusBarBasic::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (!OnItemClick) return;
  UpdateTextExtent();
  for (int i = 0; i < count_; ++i) {
    const TRiStatusItemRec& item = records_[static_cast<std::size_t>(i)];
    if (x >= item.X && x < item.X + item.Width && y >= 0 && y < ClientHeight()) {
      const TRiStatusItemRec copy = item;  // the handler may change the items
      FireEvent(OnItemClick, this, copy.Width, Top() + textTop_, copy.X, copy.Text, copy.Kind);
      return;
    }
  }
}

}  // namespace tw::richtext
