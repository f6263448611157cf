// Typing into the editor: characters reach the control one at a time as key presses do.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/win/winapi.h"
#include "platform/win/display.h"
#include "richtext/controls/richtext.h"
#include "richtext/controls/statusbar.h"

namespace {

// A shown form with a focused, wrapping editor.
tw::richtext::TRiRichText* MakeEditor(tw::TForm*& form) {
  form = new tw::TForm(tw::Application());
  form->SetBounds(0, 0, 640, 480);
  auto* rt = new tw::richtext::TRiRichText(form);
  rt->SetParent(form);
  rt->SetBounds(0, 0, 600, 440);
  rt->SetWordWrap(true);
  form->Show();
  rt->SetFocus();
  return rt;
}

void BM_Typing10000Characters(benchmark::State& state) {
  tw::SelectDisplay("offscreen");
  tw::ResetWindowSystem();
  const std::string words = "The quick brown fox jumps over the lazy dog. ";
  for (auto _ : state) {
    state.PauseTiming();
    tw::TForm* form = nullptr;
    auto* rt = MakeEditor(form);
    state.ResumeTiming();
    for (int i = 0; i < 10000; ++i) {
      char c = words[static_cast<std::size_t>(i) % words.size()];
      if (i % 500 == 499) c = '\r';
      rt->RtfText()->InputString(std::string(1, c));
    }
    benchmark::DoNotOptimize(rt->RtfText()->CursorPosition());
    state.PauseTiming();
    delete form;
    tw::DoneApplication();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Typing10000Characters)->Unit(benchmark::kMillisecond)->Iterations(3);

// A shown editor holding a document of Pages pages, the cursor at its start (0), middle (1) or
// end (2), painted once; with StatusBar, a status bar showing the cursor's line and page.
struct TDocumentEditor {
  TDocumentEditor(int Pages, int Where, bool StatusBar = false) {
    rt = MakeEditor(form);
    if (StatusBar) {
      auto* bar = new tw::richtext::TRiStatusBarBasic(form);
      bar->SetParent(form);
      bar->SetBounds(0, 440, 600, 22);
      bar->Items()->SetText("60stLine\n60stPage\n80stYPos");
      rt->SetStatusBar(bar);
    }
    auto& e = *rt->RtfText();
    // About 2 lines a paragraph at this width and 54 lines a page of the default letter page.
    const std::string text =
        "The quick brown fox jumps over the lazy dog while the planets move on through the signs, "
        "and every transit brings its own story to the reader of the chart. ";
    const std::string par = text + text;
    tw::richtext::PTParagraph p = e.FirstPar;
    e.ReplaceText(p, p->FirstLine, &e.CurAttr, static_cast<int>(par.size()), par.data(), 0, 0);
    const int paragraphs = Pages * 24;
    for (int i = 1; i < paragraphs; ++i) {
      e.NewParagraph(p, static_cast<int>(par.size()) + 4);
      e.ReplaceText(p, p->FirstLine, &e.CurAttr, static_cast<int>(par.size()), par.data(), 0, 0);
    }
    rt->Reformat();
    for (auto* q = e.FirstPar; q != nullptr; q = q->Next)
      for (auto* l = q->FirstLine; l != nullptr; l = l->Next) pages += (l->Flags & tw::richtext::lfPageStart) != 0;
    if (Where == 0) {
      e.MoveCursor(tw::richtext::cmDocStart, false);
    } else if (Where == 1) {
      int chars = 0;
      for (auto* q = e.FirstPar; q != nullptr; q = q->Next)
        for (auto* l = q->FirstLine; l != nullptr; l = l->Next) chars += l->Length;
      rt->SetCursorPos(chars / 2);
    } else {
      e.MoveCursor(tw::richtext::cmDocEnd, false);
    }
    tw::UpdateWindow(rt->Handle());
  }
  ~TDocumentEditor() { delete form; }

  // One keystroke through the window's character message, as a key press sends it, followed by
  // the repaint it causes; its wall-clock time in microseconds.
  double Type() {
    static const std::string words = "Lorem ipsum dolor sit amet, consectetur adipiscing elit. ";
    char c = words[typed % words.size()];
    if (typed % 400 == 399) c = '\r';
    ++typed;
    if (!rt->Focused()) rt->SetFocus();  // the two editors take turns: focus moves outside the timing
    const auto t0 = std::chrono::steady_clock::now();
    tw::SendMessage(rt->Handle(), tw::WM_CHAR, static_cast<unsigned char>(c), 0);
    tw::UpdateWindow(rt->Handle());
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  }

  tw::TForm* form = nullptr;
  tw::richtext::TRiRichText* rt = nullptr;
  int pages = 1;
  std::size_t typed = 0;
};

double Percentile(std::vector<double> V, double P) {
  std::sort(V.begin(), V.end());
  const std::size_t i = std::min(V.size() - 1, static_cast<std::size_t>(P * static_cast<double>(V.size())));
  return V[i];
}

// Keystrokes into a document of state.range(0) pages at its start (state.range(1) 0), middle (1)
// or end (2), beside keystrokes at the end of a one-page document: both editors typed into by
// turns, in rounds, so that the machine's load falls on both.  Reported: the median and the
// 99th percentile of single keystrokes on each side, and their ratios.  The cost should not
// grow with the document, at any keystroke.
void TypeIntoDocument(benchmark::State& state, bool statusBar) {
  tw::SelectDisplay("offscreen");
  tw::ResetWindowSystem();
  constexpr int kRounds = 10, kKeysPerRound = 50;
  std::vector<double> large, small;
  double pages = 0;
  for (auto _ : state) {
    TDocumentEditor big(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), statusBar);
    TDocumentEditor one(1, 2, statusBar);
    one.form->SetBounds(640, 0, 640, 480);  // side by side: both are painted
    pages = big.pages;
    double elapsed = 0;
    for (int round = 0; round < kRounds; ++round)
      for (int k = 0; k < kKeysPerRound; ++k) {
        large.push_back(big.Type());
        small.push_back(one.Type());
        elapsed += large.back() + small.back();
      }
    state.SetIterationTime(elapsed / 1e6);
  }
  tw::DoneApplication();
  state.counters["pages"] = pages;
  state.counters["median_us"] = Percentile(large, 0.5);
  state.counters["p99_us"] = Percentile(large, 0.99);
  state.counters["one_page_median_us"] = Percentile(small, 0.5);
  state.counters["one_page_p99_us"] = Percentile(small, 0.99);
  state.counters["median_ratio"] = Percentile(large, 0.5) / Percentile(small, 0.5);
  state.counters["p99_ratio"] = Percentile(large, 0.99) / Percentile(small, 0.99);
}

void BM_TypeIntoDocument(benchmark::State& state) { TypeIntoDocument(state, false); }
// The same with a status bar on each editor: the cursor's line and page are shown after every
// keystroke.
void BM_TypeIntoDocumentWithStatusBar(benchmark::State& state) { TypeIntoDocument(state, true); }

// Both at the start, middle and end of 2,000 pages, once each.
void AtThreePlaces(benchmark::internal::Benchmark* b) {
  b->ArgNames({"pages", "at"})
      ->Args({2000, 0})
      ->Args({2000, 1})
      ->Args({2000, 2})
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_TypeIntoDocument)->Apply(AtThreePlaces);
BENCHMARK(BM_TypeIntoDocumentWithStatusBar)->Apply(AtThreePlaces);

}  // namespace
