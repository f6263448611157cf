// The transit list: the aspects that the bodies of the transit chart form with the bodies of the
// person's birth chart, each with its interpretation text, written as formatted text into a view.
//
// The writer works against two small interfaces so that it can run without a database or a
// window: an interpretation lookup keyed by (language, transit body, radix body, aspect) and a
// text sink that takes attribute switches and strings.  The main window adapts its table and its
// rich-text view to them.
//
// Everything runs on the user-interface thread.  Between entries the writer lets the caller
// process pending messages; handlers that run there may set the stop flag (the list ends at the
// next aspect test, without closing text) or start a new list (the running one then leaves the
// view to the newer list and returns).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/rtl/datetime.h"
#include "platform/sys/timezones.h"

namespace tw::horoscope {
class THoroscope;
}

namespace tw::app {

// Interpretation texts by their four key values; false when there is no such record.
class ITransitTexts {
 public:
  virtual ~ITransitTexts() = default;
  virtual bool FindText(const std::string& languageCode, int transitBody, int radixBody, int aspect,
                        std::string& text) = 0;
};

// The character attributes the list uses.  Link is the title attribute with the link-run bit,
// Number the title attribute with the hidden-text bit.
enum class TTransitAttr : std::uint8_t { Header, Title, Link, Number, Text };

// Where the list goes: the attribute of the text that follows, and the text itself ("\r" ends a
// paragraph).
class ITransitView {
 public:
  virtual ~ITransitView() = default;
  virtual void SetCurrentAttr(TTransitAttr attr) = 0;
  virtual void InputString(const std::string& text) = 0;
};

// Help-context numbers carried by the hidden runs of a heading.
inline constexpr int TransitBodyHelpBase = 20000;
inline constexpr int RadixBodyHelpBase = 21000;
inline constexpr int AspectHelpBase = 22000;

// Message numbers of the list's fixed texts.
inline constexpr int MsgBadBirthDate = 92;
inline constexpr int MsgBadBirthTime = 93;
inline constexpr int MsgBadTransitDate = 97;
inline constexpr int MsgPersonLabel = 94;
inline constexpr int MsgBirthLine = 95;
inline constexpr int MsgTransitLine = 96;
inline constexpr int MsgClosingText = 100;
inline constexpr int MsgTransitBodyLabel = 102;
inline constexpr int MsgRadixBodyLabel = 103;
// Title lines naming the bodies a chart could not compute for its moment (one "%s": the names).
inline constexpr int MsgRadixNotComputed = 105;
inline constexpr int MsgTransitNotComputed = 106;

// Longest piece handed to the view in one InputString call for the long fixed texts.
inline constexpr std::size_t MaxTextPiece = 250;

// Bodies that can take part in the list.
inline constexpr int LastListedBody = 15;

// When `text` refers to the text of another aspect ("@" followed by an angle in decimal
// digits), the aspect number of that angle: 0 -> 1, 30 -> 6, 60 -> 5, 90 -> 3, 120 -> 4,
// 150 -> 7, 180 -> 2, any other angle (also one too long to be a number) -> 0.  "@" alone means
// angle 0.  No value when the text is no reference.
std::optional<int> ReferredAspect(std::string_view text);

// Hands `text` to the view in pieces of at most MaxTextPiece characters, in the attribute that
// is current in the view.
void WriteInPieces(ITransitView& view, std::string_view text);

// Format of a message pattern that comes from the message table: a pattern that does not fit
// its arguments gives the pattern itself rather than ending the list.
// The birth line of the title (pattern with the date, the time and the place); without a place
// the words that lead to it are left out too.
std::string BirthLine(const std::string& pattern, const std::string& date, const std::string& time,
                      const std::string& place);
std::string FormatMessage(const std::string& pattern, const std::string& a1, const std::string& a2 = {},
                          const std::string& a3 = {});

// Sets a chart's moment and place for a local date and time of day as the clocks of the tz zone
// `zone` showed them (ZoneClockAtLocal, with its rules for skipped readings and readings shown
// twice; `showingOffsetSeconds` picks the showing): HorDate and HorTime; HorPlaceZoneHours the
// standard offset; the saving as the summer-time code (one hour tzSummertime, two hours
// tzWartime, any other amount added to the zone offset under tzNormal); HorPlaceLongitude the
// zone's meridian (standard hours x 15, east positive) and HorPlaceLatitude 45.  So the chart's
// universal time is the instant the clocks showed, also in summer and when the local moment lies
// on the other side of midnight in universal time.  False, and the chart unchanged, for an
// unknown zone.
bool SetChartClock(horoscope::THoroscope& chart, TDateTime date, TDateTime timeOfDay, const std::string& zone,
                   std::optional<int> showingOffsetSeconds = std::nullopt);

// The transit chart's moment: `date` at the time of day the zone's clock shows at the instant
// `now`.  On the day the clock shows then, the chart is cast for that very instant, in either
// showing of an hour the clocks show twice; on another day such an hour is read in the showing
// the clock is in at `now`.  False, and the chart unchanged, for an unknown zone.
bool SetTransitClock(horoscope::THoroscope& chart, TDateTime date, ZoneInstant now, const std::string& zone);

// One list over two computed charts.
class TTransitListWriter {
 public:
  TTransitListWriter(ITransitTexts& texts, ITransitView& view) : Texts(texts), View(view) {}

  // Called between entries; the main window processes the application's pending messages.
  std::function<void()> OnProcessMessages;

  // The flag that ends a running list; owned by the caller (the main window's Esc, Exit and
  // person buttons set it).  Cleared at the start of every Write.
  bool* StopFlag = nullptr;

  // Writes the three title lines, the entries and (for a complete list) the closing text.
  // Answers true for a complete list; false when stopped or overtaken by a newer list.
  // Exceptions of the lookup or the view pass to the caller.
  bool Write(const horoscope::THoroscope& transit, const horoscope::THoroscope& radix);

  // The parts of Write, usable on their own.  The title names, after the date lines, the
  // listed bodies each chart could not compute (HorBodyRefused).
  void WriteTitle(const horoscope::THoroscope& transit, const horoscope::THoroscope& radix);
  void WriteAspectHeading(int transitBody, int aspect, int radixBody);
  void WriteTextBlock(const std::string& text);

  // Number of entries written by the last Write.
  int EntryCount() const { return Entries; }

 private:
  bool Stopped() const { return StopFlag != nullptr && *StopFlag; }
  // Processes pending messages; false when a newer list started meanwhile.
  bool LetOthersRun();

  ITransitTexts& Texts;
  ITransitView& View;
  int Entries = 0;
  std::uint64_t MyRun = 0;
};

// Counts the lists begun in this process; a list that finds the counter moved on after its
// message processing knows that a newer list has taken the view.
std::uint64_t TransitRunCounter();

}  // namespace tw::app
