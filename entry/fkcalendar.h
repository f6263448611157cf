// A month-view calendar: a header with the month and year, a row of week-day names and six
// weeks of seven days, one of which is the selected date.  Keys go through the controller's
// command tables; a click selects the day under the pointer, in its own month.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "entry/date/dayarith.h"
#include "entry/fkcolors.h"
#include "entry/fkcontroller.h"
#include "entry/fkintl.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::entry {

TW_ENUM_NAMES(TStDayType, "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday");

class TFkCalendarColors : public TPersistent {
  TW_CLASS(TFkCalendarColors, TPersistent)
 public:
  TFkCalendarColors();
  TFkColors* ActiveColor() const { return active_.get(); }
  TFkColors* InactiveColor() const { return inactive_.get(); }
  TFkColors* LabelColor() const { return label_.get(); }
  TFkColors* TextColor() const { return text_.get(); }
  void SetOnChange(const std::function<void()>& f);

 private:
  std::unique_ptr<TFkColors> active_, inactive_, label_, text_;
};

using TCalendarDrawHeaderEvent = std::function<void(TObject* Sender, int Month, int Year, const TRect& Rect)>;
using TCalendarDrawItemEvent = std::function<void(TObject* Sender, int Day, int Month, int Year, const TRect& Rect)>;
using TCalendarUserCommandEvent = std::function<void(TObject* Sender, std::uint16_t Command)>;

class TFkCustomCalendar : public TFkBase {
  TW_CLASS(TFkCustomCalendar, TFkBase)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TFkCustomCalendar(TComponent* owner);

  virtual void SetDate(DayNumber date);
  DayNumber GetDate() const;
  // Whether SetDate takes `date`: every valid day a month or more from either end of the day
  // range (the calendar pages by months from the day it shows).
  static bool Shows(DayNumber date);
  // `date` when the calendar shows it; else the same day of the nearest month it shows (the
  // day clamped to that month's length); BadDate for BadDate.
  static DayNumber NearestShown(DayNumber date);
  void IncMonths(int n);
  void IncYears(int n);

  int Day() const { return day_; }
  int Month() const { return month_; }
  int Year() const { return year_; }
  void SetDay(int v);
  void SetMonth(int v);
  void SetYear(int v);

  TFkCalendarColors* Colors() const { return colors_.get(); }
  // A single border is drawn as a sunken 3-D edge (a flat frame without Ctl3D); the header and
  // grid lie inside it.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  std::uint8_t DayNameLen() const { return dayNameLen_; }
  void SetDayNameLen(std::uint8_t v) { if (v != 0) { dayNameLen_ = v; Invalidate(); } }
  bool DrawHeader() const { return drawHeader_; }
  void SetDrawHeader(bool v) { drawHeader_ = v; Layout(); Invalidate(); }
  bool DrawGridLines() const { return drawGridLines_; }
  void SetDrawGridLines(bool v) { drawGridLines_ = v; Layout(); Invalidate(); }
  int HeaderHeight() const { return headerHeight_; }
  void SetHeaderHeight(int v) { if (v >= 0) { headerHeight_ = v; Layout(); Invalidate(); } }
  bool Initialize() const { return initialize_; }
  void SetInitialize(bool v);
  TColor LineColor = 0xC0C0C0;
  bool ReadOnly = false;
  bool ShortNames() const { return shortNames_; }
  void SetShortNames(bool v) { shortNames_ = v; Invalidate(); }
  // Double clicks reach the calendar (OnDblClick) only while this is on; off, a second click
  // counts as another single click.
  bool WantDblClicks() const { return wantDblClicks_; }
  void SetWantDblClicks(bool v);
  TStDayType WeekStarts() const { return weekStarts_; }
  void SetWeekStarts(TStDayType v);

  // The day shown in a cell (1..42) and the cells of the month's first and last days.
  int CellDay(int cell) const { return cells_.at(static_cast<std::size_t>(cell - 1)); }
  int FirstCell() const { return firstCell_; }
  int LastCell() const { return lastCell_; }
  // The cell (1..42) at a client point; 0 outside the weeks.
  int CellAt(int x, int y) const;
  TRect CellRect(int cell) const;

  TNotifyEvent OnChange;
  TCalendarDrawHeaderEvent OnDrawHeader;
  TCalendarDrawItemEvent OnDrawItem;
  TCalendarUserCommandEvent OnUserCommand;

 protected:
  void CreateWnd() override;
  void Paint() override;
  void Resize() override;
  void WMKeyDown(TMessage& msg);
  void WMGetDlgCode(TMessage& msg);
  void WMLButtonDown(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void WMWinIniChange(TMessage& msg);

 private:
  void BuildGrid();
  void Layout();
  void MoveTo(DayNumber d);

  std::unique_ptr<TFkCalendarColors> colors_;
  int day_ = 1, month_ = 1, year_ = 2000;
  std::array<int, 42> cells_{};
  int firstCell_ = 1, lastCell_ = 31;
  std::uint8_t dayNameLen_ = 3;
  bool drawHeader_ = true;
  bool drawGridLines_ = true;
  int headerHeight_ = 0;
  bool initialize_ = true;
  bool shortNames_ = false;
  TStDayType weekStarts_ = TStDayType::Sunday;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool wantDblClicks_ = true;
  int BorderWidth() const;
  // Row tops (header, names, six weeks, bottom) and column lefts (seven columns and the right).
  std::array<int, 9> rowTop_{};
  std::array<int, 8> colLeft_{};
};

class TFkCalendar : public TFkCustomCalendar {
  TW_CLASS(TFkCalendar, TFkCustomCalendar)
 public:
  using TFkCustomCalendar::TFkCustomCalendar;
};

}  // namespace tw::entry
