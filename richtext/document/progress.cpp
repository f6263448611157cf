#include "richtext/document/progress.h"

#include <cmath>
#include <vector>

namespace tw::richtext {
namespace {

struct Frame {
  int Current = 0;
  int End = 100;
  int Share = 100;
  int Total = 0;
  int LastUnits = 0;
  float PerUnit = 0.0f;
  int Step = -1;
  bool Pushed = false;  // false for frames started while reports were disabled
};

struct State {
  std::vector<Frame> Stack;
  bool Disabled = false;
  TProgressEvent Event;
};

State& S() {
  static State state;
  return state;
}

void Fire(int percent) {
  if (S().Event) {
    auto handler = S().Event;
    handler(percent);
  }
}

}  // namespace

int ProgressStart(int total) {
  State& s = S();
  Frame f;
  if (s.Disabled) {
    s.Stack.push_back(f);  // keeps starts and ends paired
    return -1;
  }
  f.Pushed = true;
  if (!s.Stack.empty()) {
    const Frame& parent = s.Stack.back();
    f.Current = parent.Current;
    f.End = parent.End;
    if (parent.Share >= 1 && parent.Share <= 99)
      f.End = f.Current + (parent.End - f.Current) * parent.Share / 100;
    else if (parent.Share <= 0)
      f.End = f.Current;
  }
  f.Total = total;
  if (total > 0) {
    f.PerUnit = static_cast<float>(f.End - f.Current) / static_cast<float>(total);
    f.Step = f.PerUnit > 0.0f ? static_cast<int>(std::lround(1.0f / f.PerUnit)) : 1;
    if (f.Step < 1) f.Step = 1;
  }
  s.Stack.push_back(f);
  return f.Step;
}

void ProgressReport(int done) {
  State& s = S();
  if (s.Disabled || s.Stack.empty() || !s.Stack.back().Pushed) return;
  Frame& f = s.Stack.back();
  if (f.Step <= 0 || done - f.LastUnits < f.Step) return;
  const int old = f.Current;
  if (f.Current < f.End) {
    f.Current += static_cast<int>(std::lround(static_cast<float>(done - f.LastUnits) * f.PerUnit));
    if (f.Current > f.End) f.Current = f.End;
  }
  f.LastUnits = done;
  if (f.Current != old) Fire(f.Current);
}

void ProgressEnd() {
  State& s = S();
  if (s.Stack.empty()) return;
  const Frame f = s.Stack.back();
  s.Stack.pop_back();
  if (!f.Pushed || s.Disabled) return;
  Fire(f.End);
  if (s.Stack.empty()) Fire(0);
}

void ProgressSetShare(int percent) {
  State& s = S();
  if (!s.Disabled && !s.Stack.empty()) s.Stack.back().Share = percent;
}

void ProgressReset() {
  S().Stack.clear();
  if (!S().Disabled) Fire(0);
}

int ProgressStep() { return S().Stack.empty() ? 0 : S().Stack.back().Step; }
void SetProgressEvent(TProgressEvent event) { S().Event = std::move(event); }
void SetProgressDisabled(bool disabled) { S().Disabled = disabled; }
bool ProgressDisabled() { return S().Disabled; }

}  // namespace tw::richtext
