#include "entry/fkcalendar.h"

#include <algorithm>

#include "platform/classes/typinfo.h"
#include "platform/rtl/formatsettings.h"

namespace tw::entry {

TW_PUBLISHED(TFkCalendarColors, Prop("ActiveColor", &TFkCalendarColors::ActiveColor),
             Prop("InactiveColor", &TFkCalendarColors::InactiveColor),
             Prop("LabelColor", &TFkCalendarColors::LabelColor), Prop("TextColor", &TFkCalendarColors::TextColor));

TW_PUBLISHED(TFkCustomCalendar, Prop("Colors", &TFkCustomCalendar::Colors),
             Prop("Day", &TFkCustomCalendar::Day, &TFkCustomCalendar::SetDay),
             Prop("Month", &TFkCustomCalendar::Month, &TFkCustomCalendar::SetMonth),
             Prop("Year", &TFkCustomCalendar::Year, &TFkCustomCalendar::SetYear),
             Prop("DayNameLen", &TFkCustomCalendar::DayNameLen, &TFkCustomCalendar::SetDayNameLen),
             Prop("DrawHeader", &TFkCustomCalendar::DrawHeader, &TFkCustomCalendar::SetDrawHeader),
             Prop("DrawGridLines", &TFkCustomCalendar::DrawGridLines, &TFkCustomCalendar::SetDrawGridLines),
             Prop("HeaderHeight", &TFkCustomCalendar::HeaderHeight, &TFkCustomCalendar::SetHeaderHeight),
             Prop("Initialize", &TFkCustomCalendar::Initialize, &TFkCustomCalendar::SetInitialize),
             Prop("LineColor", &TFkCustomCalendar::LineColor), Prop("ReadOnly", &TFkCustomCalendar::ReadOnly),
             Prop("ShortNames", &TFkCustomCalendar::ShortNames, &TFkCustomCalendar::SetShortNames),
             Prop("WantDblClicks", &TFkCustomCalendar::WantDblClicks, &TFkCustomCalendar::SetWantDblClicks),
             Prop("BorderStyle", &TFkCustomCalendar::BorderStyle, &TFkCustomCalendar::SetBorderStyle),
             Prop("WeekStarts", &TFkCustomCalendar::WeekStarts, &TFkCustomCalendar::SetWeekStarts),
             Prop("OnChange", &TFkCustomCalendar::OnChange),
             Prop("OnDrawHeader", &TFkCustomCalendar::OnDrawHeader),
             Prop("OnDrawItem", &TFkCustomCalendar::OnDrawItem),
             Prop("OnUserCommand", &TFkCustomCalendar::OnUserCommand));
TW_REGISTER_CLASS(TFkCalendar);

TW_MESSAGE_MAP(TFkCustomCalendar, tw::OnMessage<TFkCustomCalendar, &TFkCustomCalendar::WMKeyDown>(WM_KEYDOWN),
               tw::OnMessage<TFkCustomCalendar, &TFkCustomCalendar::WMGetDlgCode>(WM_GETDLGCODE),
               tw::OnMessage<TFkCustomCalendar, &TFkCustomCalendar::WMLButtonDown>(WM_LBUTTONDOWN),
               tw::OnMessage<TFkCustomCalendar, &TFkCustomCalendar::WMSetFocus>(WM_SETFOCUS),
               tw::OnMessage<TFkCustomCalendar, &TFkCustomCalendar::WMKillFocus>(WM_KILLFOCUS),
               tw::OnMessage<TFkCustomCalendar, &TFkCustomCalendar::WMWinIniChange>(WM_WININICHANGE));

TFkCalendarColors::TFkCalendarColors()
    : active_(std::make_unique<TFkColors>(clHighlightText, clHighlight)),
      inactive_(std::make_unique<TFkColors>(clGrayText, clWindow)),
      label_(std::make_unique<TFkColors>(clWindowText, clWindow)),
      text_(std::make_unique<TFkColors>(clWindowText, clWindow)) {}

void TFkCalendarColors::SetOnChange(const std::function<void()>& f) {
  for (TFkColors* c : {active_.get(), inactive_.get(), label_.get(), text_.get()}) c->OnChange = f;
}

TFkCustomCalendar::TFkCustomCalendar(TComponent* owner)
    : TFkBase(owner), colors_(std::make_unique<TFkCalendarColors>()) {
  colors_->SetOnChange([this] { Invalidate(); });
  SetBounds(0, 0, 200, 160);
  SetTabStop(true);
  controlStyle_.Include(TControlStyleFlag::csClickEvents).Include(TControlStyleFlag::csOpaque);
  DayNumberToDMY(CurrentDayNumber(), day_, month_, year_);
  if (year_ == 0) {
    day_ = month_ = 1;
    year_ = 2000;
  }
  BuildGrid();
}

DayNumber TFkCustomCalendar::GetDate() const { return DMYToDayNumber(day_, month_, year_, 0); }

bool TFkCustomCalendar::Shows(DayNumber date) {
  return date >= 0 && date <= MaxDayNumber && AddMonthsYears(date, 1, 0) != BadDate &&
         AddMonthsYears(date, -1, 0) != BadDate;
}

DayNumber TFkCustomCalendar::NearestShown(DayNumber date) {
  if (date < 0 || date > MaxDayNumber) return BadDate;
  if (Shows(date)) return date;
  // Only the first and the last month of the range lie outside.
  return AddMonthsYears(date, AddMonthsYears(date, 1, 0) == BadDate ? -1 : 1, 0);
}

void TFkCustomCalendar::SetDate(DayNumber date) {
  if (date == BadDate || date == GetDate()) return;
  // A date less than a month from either end of the range could not be paged from.
  if (!Shows(date)) return;
  int d, m, y;
  DayNumberToDMY(date, d, m, y);
  bool newMonth = m != month_ || y != year_;
  day_ = d;
  month_ = m;
  year_ = y;
  if (newMonth) BuildGrid();
  Invalidate();
  FireEvent(OnChange, this);
}

void TFkCustomCalendar::IncMonths(int n) { SetDate(AddMonthsYears(GetDate(), n, 0)); }
void TFkCustomCalendar::IncYears(int n) { SetDate(AddMonthsYears(GetDate(), 0, n)); }

void TFkCustomCalendar::SetDay(int v) {
  if (ValidDate(v, month_, year_, 0)) SetDate(DMYToDayNumber(v, month_, year_, 0));
}
void TFkCustomCalendar::SetMonth(int v) {
  if (ValidDate(day_, v, year_, 0)) SetDate(DMYToDayNumber(day_, v, year_, 0));
}
void TFkCustomCalendar::SetYear(int v) {
  if (ValidDate(day_, month_, v, 0)) SetDate(DMYToDayNumber(day_, month_, v, 0));
}

void TFkCustomCalendar::SetInitialize(bool v) {
  initialize_ = v;
  if (v && !ComponentState().Contains(TComponentStateFlag::csLoading)) SetDate(CurrentDayNumber());
}

void TFkCustomCalendar::SetWeekStarts(TStDayType v) {
  if (static_cast<int>(v) > 6) return;
  weekStarts_ = v;
  BuildGrid();
  Invalidate();
}

void TFkCustomCalendar::SetBorderStyle(TBorderStyle v) {
  if (v == borderStyle_) return;
  borderStyle_ = v;
  Layout();
  Invalidate();
}

void TFkCustomCalendar::SetWantDblClicks(bool v) {
  wantDblClicks_ = v;
  if (v) controlStyle_.Include(TControlStyleFlag::csDoubleClicks);
  else controlStyle_.Exclude(TControlStyleFlag::csDoubleClicks);
}

int TFkCustomCalendar::BorderWidth() const {
  if (borderStyle_ == TBorderStyle::bsNone) return 0;
  return Ctl3D() ? 2 : 1;
}

void TFkCustomCalendar::BuildGrid() {
  const int wd = static_cast<int>(DMYWeekDay(1, month_, year_, 0));
  firstCell_ = ((wd - static_cast<int>(weekStarts_)) % 7 + 7) % 7 + 1;
  const int days = DaysInMonth(month_, year_, 0);
  int prevMonth = month_ == 1 ? 12 : month_ - 1;
  int prevYear = month_ == 1 ? year_ - 1 : year_;
  int prevDays = DaysInMonth(prevMonth, prevYear, 0);
  if (prevDays == 0) prevDays = 31;
  for (int c = 1; c < firstCell_; ++c) cells_[static_cast<std::size_t>(c - 1)] = prevDays - (firstCell_ - c) + 1;
  for (int d = 1; d <= days; ++d) cells_[static_cast<std::size_t>(firstCell_ + d - 2)] = d;
  lastCell_ = firstCell_ + days - 1;
  for (int c = lastCell_ + 1, n = 1; c <= 42; ++c, ++n) cells_[static_cast<std::size_t>(c - 1)] = n;
}

void TFkCustomCalendar::Layout() {
  const int b = BorderWidth();
  const TRect r = ClientRect();
  const int width = std::max(0, r.Width() - 2 * b), height = std::max(0, r.Height() - 2 * b);
  int header = 0;
  if (drawHeader_) header = headerHeight_ != 0 ? headerHeight_ : 2 * Canvas()->TextHeight("Wy") + 6;
  rowTop_[0] = b;
  rowTop_[1] = b + header;
  const int rest = std::max(0, height - header);
  for (int i = 0; i < 7; ++i) rowTop_[static_cast<std::size_t>(i + 2)] = rowTop_[static_cast<std::size_t>(i + 1)] + rest / 7 + (i < rest % 7 ? 1 : 0);
  colLeft_[0] = b;
  for (int i = 0; i < 7; ++i) colLeft_[static_cast<std::size_t>(i + 1)] = colLeft_[static_cast<std::size_t>(i)] + width / 7 + (i < width % 7 ? 1 : 0);
}

TRect TFkCustomCalendar::CellRect(int cell) const {
  if (cell < 1 || cell > 42) return {};
  int row = (cell - 1) / 7 + 1, col = (cell - 1) % 7;
  return Rect(colLeft_[static_cast<std::size_t>(col)], rowTop_[static_cast<std::size_t>(row + 1)],
              colLeft_[static_cast<std::size_t>(col + 1)], rowTop_[static_cast<std::size_t>(row + 2)]);
}

int TFkCustomCalendar::CellAt(int x, int y) const {
  int row = 0, col = 0;
  for (int i = 1; i <= 6; ++i)
    if (y >= rowTop_[static_cast<std::size_t>(i + 1)] && y < rowTop_[static_cast<std::size_t>(i + 2)]) row = i;
  for (int i = 1; i <= 7; ++i)
    if (x >= colLeft_[static_cast<std::size_t>(i - 1)] && x < colLeft_[static_cast<std::size_t>(i)]) col = i;
  if (row == 0 || col == 0) return 0;
  return (row - 1) * 7 + col;
}

void TFkCustomCalendar::MoveTo(DayNumber d) {
  if (d < 0 || d > MaxDayNumber) return;
  SetDate(d);
}

void TFkCustomCalendar::CreateWnd() {
  TFkBase::CreateWnd();
  Layout();
  if (initialize_) SetDate(CurrentDayNumber());
}

void TFkCustomCalendar::Resize() {
  TFkBase::Resize();
  Layout();
}

void TFkCustomCalendar::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS; }

void TFkCustomCalendar::WMKeyDown(TMessage& msg) {
  InheritedMessage(TFkCustomCalendar::StaticClass(), msg);
  if (ReadOnly || Controller() == nullptr || msg.WParam == 0) return;
  const std::uint16_t cmd = Controller()->EntryCommands()->TranslateKeyMessage(msg.WParam);
  if (cmd == 0) return;
  const DayNumber d = GetDate();
  bool handled = true;
  switch (cmd) {
    case ccLeft: MoveTo(d - 1); break;
    case ccRight: MoveTo(d + 1); break;
    case ccUp: MoveTo(d - 7); break;
    case ccDown: MoveTo(d + 7); break;
    case ccHome: MoveTo(DMYToDayNumber(1, month_, year_, 0)); break;
    case ccEnd: MoveTo(DMYToDayNumber(DaysInMonth(month_, year_, 0), month_, year_, 0)); break;
    case ccPrevPage: IncMonths(-1); break;
    case ccNextPage: IncMonths(1); break;
    case ccFirstPage: IncYears(-1); break;
    case ccLastPage: IncYears(1); break;
    default:
      if (cmd >= ccUserFirst) FireEvent(OnUserCommand, this, cmd);
      else handled = false;
  }
  if (handled) msg.Result = 0;
}

void TFkCustomCalendar::WMLButtonDown(TMessage& msg) {
  if (CanFocus() && !Focused()) SetFocus();
  InheritedMessage(TFkCustomCalendar::StaticClass(), msg);
  if (ReadOnly) return;
  const int x = static_cast<std::int16_t>(msg.LParam & 0xFFFF);
  const int y = static_cast<std::int16_t>((msg.LParam >> 16) & 0xFFFF);
  const int cell = CellAt(x, y);
  if (cell == 0) return;
  MoveTo(GetDate() + (cell - (firstCell_ + day_ - 1)));
}

void TFkCustomCalendar::WMSetFocus(TMessage& msg) {
  InheritedMessage(TFkCustomCalendar::StaticClass(), msg);
  Invalidate();
}

void TFkCustomCalendar::WMKillFocus(TMessage& msg) {
  InheritedMessage(TFkCustomCalendar::StaticClass(), msg);
  Invalidate();
}

void TFkCustomCalendar::WMWinIniChange(TMessage& msg) {
  InheritedMessage(TFkCustomCalendar::StaticClass(), msg);
  DefaultIntlSup().ReadIntlSettings();
  Invalidate();
}

void TFkCustomCalendar::Paint() {
  Layout();
  TCanvas* cv = Canvas();
  const TRect r = ClientRect();
  cv->Font()->Assign(Font());
  cv->Brush()->SetColor(colors_->TextColor()->BackColor());
  cv->FillRect(r);
  if (drawGridLines_) {
    cv->Pen()->SetColor(LineColor);
    for (int row = 1; row <= 6; ++row) {
      cv->MoveTo(colLeft_[0], rowTop_[static_cast<std::size_t>(row + 1)]);
      cv->LineTo(colLeft_[7], rowTop_[static_cast<std::size_t>(row + 1)]);
    }
    for (int col = 1; col < 7; ++col) {
      cv->MoveTo(colLeft_[static_cast<std::size_t>(col)], rowTop_[2]);
      cv->LineTo(colLeft_[static_cast<std::size_t>(col)], rowTop_[8]);
    }
  }
  auto centred = [&](const TRect& cell, const std::string& text, int y) {
    cv->TextOut(cell.Left + (cell.Width() - cv->TextWidth(text)) / 2, y, text);
  };
  if (drawHeader_) {
    const TRect header = Rect(colLeft_[0], rowTop_[0], colLeft_[7], rowTop_[1]);
    if (OnDrawHeader) {
      FireEvent(OnDrawHeader, this, month_, year_, header);
    } else {
      const TFkIntlSup& intl = DefaultIntlSup();
      cv->Brush()->SetColor(colors_->TextColor()->BackColor());
      cv->Font()->SetColor(colors_->TextColor()->TextColor());
      centred(header, intl.DayNumberToText(intl.BuildLongDateMask(shortNames_, false), GetDate(), true), header.Top + 2);
    }
  }
  const auto& names = FormatSettings().LongDayNames;
  cv->Brush()->SetColor(colors_->LabelColor()->BackColor());
  cv->Font()->SetColor(colors_->LabelColor()->TextColor());
  for (int col = 0; col < 7; ++col) {
    const std::string name = names[static_cast<std::size_t>((static_cast<int>(weekStarts_) + col) % 7)].substr(0, dayNameLen_);
    const TRect cell = Rect(colLeft_[static_cast<std::size_t>(col)], rowTop_[1], colLeft_[static_cast<std::size_t>(col + 1)], rowTop_[2]);
    centred(cell, name, cell.Bottom - cv->TextHeight(name) - 2);
  }
  const int selected = firstCell_ + day_ - 1;
  for (int cell = 1; cell <= 42; ++cell) {
    const TRect cr = CellRect(cell);
    int m = month_, y = year_;
    if (cell < firstCell_) {
      m = month_ == 1 ? 12 : month_ - 1;
      y = month_ == 1 ? year_ - 1 : year_;
    } else if (cell > lastCell_) {
      m = month_ == 12 ? 1 : month_ + 1;
      y = month_ == 12 ? year_ + 1 : year_;
    }
    if (OnDrawItem) {
      FireEvent(OnDrawItem, this, CellDay(cell), m, y, cr);
      continue;
    }
    TFkColors* c = cell == selected ? colors_->ActiveColor()
                   : (cell < firstCell_ || cell > lastCell_) ? colors_->InactiveColor()
                                                              : colors_->TextColor();
    cv->Brush()->SetColor(c->BackColor());
    TRect inner = cr;
    if (drawGridLines_) inner = Rect(cr.Left + 1, cr.Top + 1, cr.Right, cr.Bottom);
    cv->FillRect(inner);
    cv->Font()->SetColor(c->TextColor());
    const std::string text = std::to_string(CellDay(cell));
    centred(cr, text, cr.Top + (cr.Height() - cv->TextHeight(text)) / 2);
  }
  if (Focused()) cv->DrawFocusRect(CellRect(selected));
  if (borderStyle_ == TBorderStyle::bsSingle) {
    TRect edge = r;
    if (Ctl3D()) {
      cv->DrawEdge(edge, EDGE_SUNKEN, BF_RECT);
    } else {
      cv->Brush()->SetColor(clWindowFrame);
      cv->FrameRect(edge);
    }
  }
}

}  // namespace tw::entry
