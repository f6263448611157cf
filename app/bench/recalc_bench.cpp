// One full recalculation of the transit list as the program makes it, with the messages it
// causes (the view painted again): the main window at its designed size over the shipped
// tables, served by the embedded database server, on the offscreen display; beside it one
// chart cast, the unit the recalculation is measured in.  The ratio of the two is measured in
// alternating rounds of one benchmark, so that the machine's load falls on both.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/startup.h"
#include "app/forms/texttables.h"
#include "app/lib/singleinstance.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbengine/base/serverlog.h"
#include "entry/date/dayarith.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "horoscope/chartglobals.h"
#include "horoscope/horoscope.h"
#include "horoscope/swissephemeris.h"
#include "dataset/session.h"
#include "platform/classes/registry.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "richtext/controls/richtext.h"
#include "richtext/document/attr.h"
#include "richtext/document/document.h"

namespace tw::app {
namespace {

namespace fs = std::filesystem;

// The program's windows over a private copy of the shipped tables.
class TBenchProgram {
 public:
  TBenchProgram() {
    folder_ = fs::temp_directory_path() / ("tw_recalc_bench_" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "guard");
    const char* built = std::getenv("TIDEWELL_PROGRAM_DIR");
    const fs::path source = built != nullptr && *built != '\0' ? built : TIDEWELL_BUILT_PROGRAM_DIR;
    for (const char* name : {InterpretationTableName, MessageTableName}) fs::copy_file(source / name, folder_ / name);
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetSettingsStorePath((folder_ / "registry.ini").string());
    SetMessageBoxFunc([](const std::string&, const std::string&, unsigned) { return 1; });
    TSingleInstance::SetRuntimeFolder((folder_ / "guard").string());
    Application()->SetName("Tidewell");
    Application()->SetTitle("Corvane - Tidewell");
    RegisterWindowClasses();
    dbengine::QNSetLogPath((folder_ / "QNSERVER.LOG").string());
    dbaccess::RegisterEmbeddedServer(folder_.string());
    Session().AddStandardAlias(TextDatabaseName, folder_.string() + "/");
    horoscope::LanguageCode = "ENG";
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder_.string();
    options = Application()->CreateForm<TfrmOptions>();
    horoscope::TSwissEphemeris::Instance().SetEphePath(horoscope::ProgramEphemerisPath());
    main->OpenTables();
    main->LoadMessages();
    main->Show();
    main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(2026, 6, 15)));
    options->SelectPerson(1);
    options->dfPers->SetAsString("Bench Person");
    options->dfPers->OnChange(options->dfPers);
    // A birth date whose list is long: at least 20 entries.
    for (int day = 0; day < 3000 && entries < 20; day += 7) {
      options->dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1970, 1, 1) + day));
      options->dfDate->OnChange(options->dfDate);
      Recalculate();
      entries = CountEntries();
    }
  }
  ~TBenchProgram() {
    DoneApplication();
    Session().Close();
    Session().DeleteAlias(TextDatabaseName);
    dbaccess::DbiExit();
    ResetWindowSystem();
    SetMessageBoxFunc(nullptr);
    SetSettingsStorePath("");
    TSingleInstance::SetRuntimeFolder("");
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  // The recalculation and the messages it leaves behind, as the message loop would handle them
  // before the user sees the list.
  void Recalculate() {
    StopFlag = false;
    main->ShowTransits();
    Application()->ProcessMessages();
  }
  // Entries of the list: each heading holds one hidden help context of a transit body,
  // 20000 to 20015 (the label of a heading also starts sentences of the texts, so it is not
  // counted).
  int CountEntries() const {
    int n = 0;
    for (const richtext::TParagraph* p = main->rtext->RtfText()->FirstPar; p != nullptr; p = p->Next)
      for (const richtext::TLine* l = p->FirstLine; l != nullptr; l = l->Next) {
        if (!l->HasAttrs()) continue;
        std::string run;
        for (int i = 0; i <= l->Length; ++i) {
          const bool hidden = i < l->Length && (l->Attrs[static_cast<std::size_t>(i)].Extra & richtext::fxHidden) != 0;
          if (hidden) {
            run += l->Text()[i];
            continue;
          }
          if (run.size() == 5 && run.compare(0, 3, "200") == 0) ++n;
          run.clear();
        }
      }
    return n;
  }

  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  int entries = 0;

 private:
  fs::path folder_;
};

// At the window's designed size (no arguments) and at a given width and height.
void BM_FullRecalculation(benchmark::State& state) {
  TBenchProgram program;
  if (state.range(0) > 0) program.main->SetBounds(0, 0, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  program.Recalculate();
  program.entries = program.CountEntries();
  if (program.entries < 20) {
    state.SkipWithError("no person with a list of 20 entries");
    return;
  }
  for (auto _ : state) program.Recalculate();
  state.counters["entries"] = program.CountEntries();
  state.counters["width"] = program.main->Width();
  state.counters["height"] = program.main->Height();
}
BENCHMARK(BM_FullRecalculation)->Args({0, 0})->Args({1000, 750})->Unit(benchmark::kMicrosecond);

// One chart as the transit list casts it: bodies 0 to 10 and 15, then the houses.  The moment
// moves by a few hours each cast, so the ephemeris cannot answer from its last result.
class TCaster {
 public:
  TCaster() : chart_(nullptr) {
    horoscope::TSwissEphemeris::Instance().SetEphePath(horoscope::ProgramEphemerisPath());
    chart_.HorTime = 0.0;
    chart_.HorPlaceZoneHours = 1;
    chart_.HorPlaceLongitude = 15;
    chart_.HorPlaceLatitude = 45;
    chart_.HorBodyEnabled[15] = 1;
  }
  void Cast() {
    chart_.HorDate = 36526.0 + step_;
    step_ += 0.137;
    chart_.Calculate();
    benchmark::DoNotOptimize(chart_.HorLongitude.data());
  }

 private:
  horoscope::THoroscope chart_;
  double step_ = 0;
};

void BM_CastChart(benchmark::State& state) {
  TCaster caster;
  for (auto _ : state) caster.Cast();
}
BENCHMARK(BM_CastChart)->Unit(benchmark::kMicrosecond);

template <class Fn>
double Seconds(int Times, Fn&& Work) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < Times; ++i) Work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / Times;
}

// The recalculation with its messages in chart casts: recalculations and casts by turns, the
// median of the rounds' ratios.
void BM_RecalculationInCasts(benchmark::State& state) {
  TBenchProgram program;
  if (state.range(0) > 0) program.main->SetBounds(0, 0, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  TCaster caster;
  program.Recalculate();
  if (program.CountEntries() < 20) {
    state.SkipWithError("no person with a list of 20 entries");
    return;
  }
  std::vector<double> ratios, recalcs, casts;
  for (auto _ : state) {
    const double recalc = Seconds(10, [&] { program.Recalculate(); });
    const double cast = Seconds(200, [&] { caster.Cast(); });
    recalcs.push_back(recalc);
    casts.push_back(cast);
    ratios.push_back(recalc / cast);
    state.SetIterationTime(recalc * 10 + cast * 200);
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.counters["recalc_us"] = median(recalcs) * 1e6;
  state.counters["cast_us"] = median(casts) * 1e6;
  state.counters["casts_per_recalc"] = median(ratios);
  state.counters["width"] = program.main->Width();
  state.counters["height"] = program.main->Height();
}
BENCHMARK(BM_RecalculationInCasts)->Args({0, 0})->Args({1000, 750})->Iterations(9)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tw::app
