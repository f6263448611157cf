// Typing into the editor: characters reach the control one at a time as key presses do.
#include <benchmark/benchmark.h>

#include "platform/forms/forms.h"
#include "platform/win/winapi.h"
#include "platform/win/display.h"
#include "richtext/controls/richtext.h"

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

// One character typed into a document of state.range(0) pages, through the window's character
// message as a key press sends it, followed by the repaint that the keystroke causes; at the
// document's start (state.range(1) 0), middle (1) or end (2).  The cost should not grow with the
// document.
void BM_TypeIntoDocument(benchmark::State& state) {
  tw::SelectDisplay("offscreen");
  tw::ResetWindowSystem();
  const int pages = static_cast<int>(state.range(0));
  const int where = static_cast<int>(state.range(1));
  tw::TForm* form = nullptr;
  auto* rt = MakeEditor(form);
  auto& e = *rt->RtfText();
  // About 2 lines a paragraph at this width and 54 lines a page of the default letter page.
  const std::string text =
      "The quick brown fox jumps over the lazy dog while the planets move on through the signs, "
      "and every transit brings its own story to the reader of the chart. ";
  const std::string par = text + text;
  tw::richtext::PTParagraph p = e.FirstPar;
  e.ReplaceText(p, p->FirstLine, &e.CurAttr, static_cast<int>(par.size()), par.data(), 0, 0);
  const int paragraphs = pages * 24;
  for (int i = 1; i < paragraphs; ++i) {
    e.NewParagraph(p, static_cast<int>(par.size()) + 4);
    e.ReplaceText(p, p->FirstLine, &e.CurAttr, static_cast<int>(par.size()), par.data(), 0, 0);
  }
  rt->Reformat();
  int count = 1;
  for (auto* q = e.FirstPar; q != nullptr; q = q->Next)
    for (auto* l = q->FirstLine; l != nullptr; l = l->Next) count += (l->Flags & tw::richtext::lfPageStart) != 0;
  state.counters["pages"] = count;
  if (where == 0) {
    e.MoveCursor(tw::richtext::cmDocStart, false);
  } else if (where == 1) {
    int chars = 0;
    for (auto* q = e.FirstPar; q != nullptr; q = q->Next)
      for (auto* l = q->FirstLine; l != nullptr; l = l->Next) chars += l->Length;
    rt->SetCursorPos(chars / 2);
  } else {
    e.MoveCursor(tw::richtext::cmDocEnd, false);
  }
  tw::UpdateWindow(rt->Handle());
  const std::string words = "Lorem ipsum dolor sit amet, consectetur adipiscing elit. ";
  std::size_t i = 0;
  for (auto _ : state) {
    char c = words[i % words.size()];
    if (i % 400 == 399) c = '\r';
    ++i;
    tw::SendMessage(rt->Handle(), tw::WM_CHAR, static_cast<unsigned char>(c), 0);
    tw::UpdateWindow(rt->Handle());
  }
  benchmark::DoNotOptimize(rt->RtfText()->CursorPosition());
  delete form;
  tw::DoneApplication();
}
BENCHMARK(BM_TypeIntoDocument)
    ->ArgNames({"pages", "at"})
    ->Args({1, 2})
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({2000, 2})
    ->Unit(benchmark::kMicrosecond);

}  // namespace


