// Process-wide progress reporting of long document operations: a stack of frames, each mapping
// its own units onto a share of its parent's percentage range.
#pragma once

#include <functional>

namespace tw::richtext {

using TProgressEvent = std::function<void(int percent)>;

// Pushes a frame for `total` units; returns the step in units between reports (-1 without a
// total).
int ProgressStart(int total);
// Reports `done` units of the top frame; calls the event when the percentage changed.
void ProgressReport(int done);
// Pops the top frame after reporting its end percentage; an empty stack reports 0.
void ProgressEnd();
// The share in percent that the top frame's next child may take.
void ProgressSetShare(int percent);
// Pops every frame and reports 0.
void ProgressReset();
// The step of the top frame (0 when there is none).
int ProgressStep();
void SetProgressEvent(TProgressEvent event);
void SetProgressDisabled(bool disabled);
bool ProgressDisabled();

// Disables progress reports while it lives and restores the previous setting.
class TProgressSuppressor {
 public:
  TProgressSuppressor() : old_(ProgressDisabled()) { SetProgressDisabled(true); }
  ~TProgressSuppressor() { SetProgressDisabled(old_); }
  TProgressSuppressor(const TProgressSuppressor&) = delete;
  TProgressSuppressor& operator=(const TProgressSuppressor&) = delete;

 private:
  bool old_;
};

// Ends a started frame on every path.
class TProgressFrame {
 public:
  explicit TProgressFrame(int total) { step_ = ProgressStart(total); }
  ~TProgressFrame() { ProgressEnd(); }
  TProgressFrame(const TProgressFrame&) = delete;
  TProgressFrame& operator=(const TProgressFrame&) = delete;
  int Step() const { return step_; }

 private:
  int step_;
};

}  // namespace tw::richtext
