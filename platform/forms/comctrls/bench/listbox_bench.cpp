// A list box of 10,000 lines: adding them to a sorted list, and painting the list.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"

namespace tw {
namespace {

std::string LineName(int i) {
  // Spread over the alphabet so that sorted inserts land all over the list.
  unsigned v = static_cast<unsigned>(i) * 2654435761u;
  std::string s = "Item ";
  for (int k = 0; k < 6; ++k) {
    s += static_cast<char>('a' + v % 26);
    v /= 26;
  }
  return s;
}

struct Fixture {
  Fixture() {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    form = new TForm(Application());
    form->SetBounds(0, 0, 400, 500);
    list = new TListBox(form);
    list->SetParent(form);
    list->SetBounds(0, 0, 300, 450);
    form->Show();
    Application()->ProcessMessages();
  }
  ~Fixture() {
    DoneApplication();
    ResetWindowSystem();
  }
  TForm* form = nullptr;
  TListBox* list = nullptr;
};

void BM_ListBoxAddSorted10000(benchmark::State& state) {
  Fixture f;
  f.list->SetSorted(true);
  for (auto _ : state) {
    f.list->Items()->BeginUpdate();
    f.list->Items()->Clear();
    for (int i = 0; i < 10000; ++i) f.list->Items()->Add(LineName(i));
    f.list->Items()->EndUpdate();
    benchmark::DoNotOptimize(f.list->Items()->Count());
  }
}
BENCHMARK(BM_ListBoxAddSorted10000)->Unit(benchmark::kMillisecond);

void BM_ListBoxAddSortedUnbatched10000(benchmark::State& state) {
  Fixture f;
  f.list->SetSorted(true);
  for (auto _ : state) {
    f.list->Items()->Clear();
    for (int i = 0; i < 10000; ++i) f.list->Items()->Add(LineName(i));
    benchmark::DoNotOptimize(f.list->Items()->Count());
  }
}
BENCHMARK(BM_ListBoxAddSortedUnbatched10000)->Unit(benchmark::kMillisecond);

void BM_ListBoxPaint10000(benchmark::State& state) {
  Fixture f;
  for (int i = 0; i < 10000; ++i) f.list->Items()->Add(LineName(i));
  f.list->SetItemIndex(5000);
  for (auto _ : state) {
    f.list->Repaint();
    benchmark::DoNotOptimize(f.list->TopIndex());
  }
}
BENCHMARK(BM_ListBoxPaint10000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tw

