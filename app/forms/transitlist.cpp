// The transit list writer: title lines, the aspect loop over both charts with the lookup of
// interpretation texts (including references to the text of another aspect), and the closing
// text.
#include "app/forms/transitlist.h"

#include <chrono>
#include <cmath>
#include <vector>

#include "horoscope/chartglobals.h"
#include "horoscope/chartmath.h"
#include "horoscope/horoscope.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/sys/zoneclock.h"

namespace tw::app {

namespace {

std::uint64_t RunCounter = 0;

// Orb kind of the transit aspects.
constexpr std::uint8_t TransitOrbKind = 2;

int AspectOfAngle(long angle) {
  switch (angle) {
    case 0: return 1;
    case 30: return 6;
    case 60: return 5;
    case 90: return 3;
    case 120: return 4;
    case 150: return 7;
    case 180: return 2;
    default: return 0;
  }
}

// The date and the time of day of a chart as one value in the class library's reading, so that
// both are decoded from the same moment (a time that rounds up to midnight shows the next day).
TDateTime MomentOf(const horoscope::THoroscope& chart) {
  return horoscope::ContinuousToDateTime(chart.HorDate + chart.HorTime);
}

}  // namespace

bool SetChartClock(horoscope::THoroscope& chart, TDateTime date, TDateTime timeOfDay, const std::string& zone,
                   std::optional<int> showingOffsetSeconds) {
  const auto clock = ZoneClockAtLocal(zone, horoscope::ContinuousToDateTime(date + timeOfDay), showingOffsetSeconds);
  if (!clock) return false;
  using horoscope::TSummerTimeType;
  chart.HorDate = date;
  chart.HorTime = timeOfDay;
  chart.HorPlaceZoneHours = clock->StandardHours();
  if (clock->SavingHours() == 0.0) {
    chart.HorSummertimeCode = TSummerTimeType::tzNormal;
  } else if (clock->SavingHours() == 1.0) {
    chart.HorSummertimeCode = TSummerTimeType::tzSummertime;
  } else if (clock->SavingHours() == 2.0) {
    chart.HorSummertimeCode = TSummerTimeType::tzWartime;
  } else {
    chart.HorSummertimeCode = TSummerTimeType::tzNormal;
    chart.HorPlaceZoneHours += clock->SavingHours();
  }
  chart.HorPlaceLongitude = clock->StandardHours() * 15.0;
  chart.HorPlaceLatitude = 45.0;
  return true;
}

bool SetTransitClock(horoscope::THoroscope& chart, TDateTime date, ZoneInstant now, const std::string& zone) {
  const auto clock = ZoneClockAt(zone, now);
  if (!clock) return false;
  // The showing the clock is in now decides a reading shown twice: today's gives back `now`.
  return SetChartClock(chart, date, TimeOf(clock->Local()), zone, clock->OffsetSeconds);
}

std::uint64_t TransitRunCounter() { return RunCounter; }

std::optional<int> ReferredAspect(std::string_view text) {
  if (text.empty() || text.front() != '@') return std::nullopt;
  long angle = 0;
  for (std::size_t k = 1; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
    // Digits beyond any listed angle cannot name one; stop growing so long runs cannot overflow.
    if (angle <= 100000) angle = angle * 10 + (text[k] - '0');
  }
  return AspectOfAngle(angle);
}

void WriteInPieces(ITransitView& view, std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = std::min(text.size(), MaxTextPiece);
    view.InputString(std::string(text.substr(0, n)));
    text.remove_prefix(n);
  }
}

std::string FormatMessage(const std::string& pattern, const std::string& a1, const std::string& a2,
                          const std::string& a3) {
  try {
    return Format(pattern, {a1, a2, a3});
  } catch (const Exception&) {
    return pattern;
  }
}

std::string BirthLine(const std::string& pattern, const std::string& date, const std::string& time,
                      const std::string& place) {
  std::string shown = pattern;
  std::vector<std::size_t> at;
  for (std::size_t k = shown.find("%s"); k != std::string::npos; k = shown.find("%s", k + 2)) at.push_back(k);
  // No place: the words that lead to it go with it ("... at %s in %s" ends at the time).
  if (place.empty() && at.size() == 3) shown.erase(at[1] + 2, at[2] - at[1]);
  return FormatMessage(shown, date, time, place);
}

void TTransitListWriter::WriteTitle(const horoscope::THoroscope& transit,
                                    const horoscope::THoroscope& radix) {
  using horoscope::GetMessageText;
  View.SetCurrentAttr(TTransitAttr::Header);
  View.InputString(GetMessageText(MsgPersonLabel) + " " + radix.HorName + "\r");
  const TDateTime born = MomentOf(radix), moment = MomentOf(transit);
  View.InputString(BirthLine(GetMessageText(MsgBirthLine), DateToStrWholeYear(born), FormatDateTime("hh:nn", born),
                             Trim(radix.HorPlace)) +
                   "\r");
  View.InputString(FormatMessage(GetMessageText(MsgTransitLine), DateToStrWholeYear(moment),
                                 FormatDateTime("hh:nn", moment)) +
                   "\r");
  // A body the ephemeris could not compute takes no part in the list: say so, rather than
  // leave its aspects silently out.
  const std::pair<const horoscope::THoroscope*, int> charts[] = {{&radix, MsgRadixNotComputed},
                                                                  {&transit, MsgTransitNotComputed}};
  for (const auto& [chart, message] : charts) {
    std::string names;
    for (int b = 0; b <= LastListedBody; ++b) {
      if (chart->HorBodyRefused[static_cast<std::size_t>(b)] == 0) continue;
      if (!names.empty()) names += ", ";
      names += horoscope::GetBodyName(b);
    }
    if (!names.empty()) View.InputString(FormatMessage(GetMessageText(message), names) + "\r");
  }
  View.InputString("\r");
}

void TTransitListWriter::WriteAspectHeading(int transitBody, int aspect, int radixBody) {
  using horoscope::GetMessageText;
  const auto run = [this](const std::string& link, int helpContext, const char* after) {
    View.SetCurrentAttr(TTransitAttr::Link);
    View.InputString(link);
    View.SetCurrentAttr(TTransitAttr::Number);
    View.InputString(std::to_string(helpContext));
    View.SetCurrentAttr(TTransitAttr::Title);
    View.InputString(after);
  };
  run(GetMessageText(MsgTransitBodyLabel) + " " + horoscope::GetBodyName(transitBody),
      TransitBodyHelpBase + transitBody, " ");
  run(horoscope::GetAspectName(aspect), AspectHelpBase + aspect, " ");
  run(GetMessageText(MsgRadixBodyLabel) + " " + horoscope::GetBodyName(radixBody),
      RadixBodyHelpBase + radixBody, "\r");
}

void TTransitListWriter::WriteTextBlock(const std::string& text) {
  if (!LetOthersRun()) return;
  View.SetCurrentAttr(TTransitAttr::Text);
  View.InputString(text);
  ++Entries;
  LetOthersRun();
}

bool TTransitListWriter::LetOthersRun() {
  if (OnProcessMessages) OnProcessMessages();
  // Outside Write (the parts used on their own) there is no list that could be overtaken.
  return MyRun == 0 || RunCounter == MyRun;
}

bool TTransitListWriter::Write(const horoscope::THoroscope& transit,
                               const horoscope::THoroscope& radix) {
  MyRun = ++RunCounter;
  struct TRunEnd {
    std::uint64_t& Run;
    ~TRunEnd() { Run = 0; }
  } runEnd{MyRun};
  Entries = 0;
  if (StopFlag != nullptr) *StopFlag = false;

  WriteTitle(transit, radix);

  const std::string& lang = horoscope::LanguageCode;
  for (int i = 0; i <= LastListedBody; ++i) {
    if (transit.HorBodyEnabled[static_cast<std::size_t>(i)] == 0) continue;
    for (int j = 0; j <= LastListedBody; ++j) {
      if (radix.HorBodyEnabled[static_cast<std::size_t>(j)] == 0) continue;
      // Always the transit body against the radix body: a radix whose Sun and Pluto could not
      // be computed is no absent chart.
      const int a = horoscope::AspectBetween(TransitOrbKind, i, transit.HorLongitude[static_cast<std::size_t>(i)], j,
                                             radix.HorLongitude[static_cast<std::size_t>(j)]);
      if (Stopped()) return false;
      if (a == 0) continue;
      std::string text;
      if (!Texts.FindText(lang, i, j, a, text)) continue;
      if (const auto r = ReferredAspect(text)) {
        if (*r == a) continue;
        std::string referred;
        if (!Texts.FindText(lang, i, j, *r, referred)) continue;
        text = std::move(referred);
      }
      WriteAspectHeading(i, a, j);
      WriteTextBlock(text);
      if (RunCounter != MyRun) return false;
    }
  }
  if (Stopped()) return false;
  WriteInPieces(View, horoscope::GetMessageText(MsgClosingText));
  return true;
}

}  // namespace tw::app
