// Speed of the window system's hot paths: delivering posted messages and painting a window.
#include <benchmark/benchmark.h>

#include "platform/win/display.h"
#include "platform/win/winapi.h"

namespace {

using namespace tw;

int delivered = 0;

LRESULT CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) {
    ++delivered;
    return 0;
  }
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    cairo_t* cr = DCCairo(dc);
    cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    for (int y = 0; y < 600; y += 20) {
      cairo_rectangle(cr, 10, y + 2, 780, 16);
    }
    cairo_fill(cr);
    EndPaint(h, &ps);
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

HWND MakeWindow(int width, int height) {
  SelectDisplay("offscreen");
  WNDCLASS wc;
  wc.lpfnWndProc = CountingProc;
  wc.lpszClassName = "Bench";
  wc.hbrBackground = COLOR_WINDOW + 1;
  RegisterClass(wc);
  HWND h = CreateWindowEx(0, "Bench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, width, height, 0, 0, 0, nullptr);
  ProcessMessages();
  return h;
}

void BM_DeliverPostedMessages(benchmark::State& state) {
  HWND h = MakeWindow(100, 100);
  for (auto _ : state) {
    delivered = 0;
    for (int i = 0; i < 100000; ++i) PostMessage(h, WM_USER, static_cast<WPARAM>(i), 0);
    ProcessMessages();
    if (delivered != 100000) state.SkipWithError("messages lost");
  }
  state.SetItemsProcessed(state.iterations() * 100000);
  DestroyWindow(h);
}
BENCHMARK(BM_DeliverPostedMessages)->Unit(benchmark::kMillisecond);

void BM_PaintFullWindow(benchmark::State& state) {
  HWND h = MakeWindow(800, 600);
  for (auto _ : state) {
    InvalidateRect(h, nullptr, true);
    UpdateWindow(h);
  }
  DestroyWindow(h);
}
BENCHMARK(BM_PaintFullWindow)->Unit(benchmark::kMicrosecond);

void BM_PaintWindowWithChildren(benchmark::State& state) {
  HWND h = MakeWindow(800, 600);
  for (int i = 0; i < 40; ++i)
    CreateWindowEx(0, "Bench", "", WS_CHILD | WS_VISIBLE, (i % 8) * 100, (i / 8) * 120, 90, 100, h, 0, 0, nullptr);
  ProcessMessages();
  for (auto _ : state) {
    InvalidateRect(h, nullptr, true);
    UpdateWindow(h);
  }
  DestroyWindow(h);
}
BENCHMARK(BM_PaintWindowWithChildren)->Unit(benchmark::kMicrosecond);

}  // namespace
