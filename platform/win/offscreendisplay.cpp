// The offscreen display: windows exist only as backing stores; input comes from tests; the
// clock is virtual and moves only when asked to (or when a wait would otherwise block while a
// timer is pending, so that loops waiting for a timer run without real time passing).
#include <poll.h>
#include <unistd.h>

#include "platform/rtl/exceptions.h"
#include "platform/win/displaybackends.h"

namespace tw::win {
namespace {

constexpr int kLongestIdleWaitMs = 30000;

void Drain(int fd) {
  std::uint64_t value;
  while (read(fd, &value, sizeof value) > 0) {
  }
}

class OffscreenDisplay final : public DisplayBackend {
 public:
  const char* Name() const override { return "offscreen"; }
  std::uint64_t NowMs() override { return now_; }
  bool AdvanceClock(std::uint64_t ms) override {
    now_ += ms;
    return true;
  }
  void Wait(int timeoutMs, int wakeFd) override {
    pollfd p{wakeFd, POLLIN, 0};
    if (wakeFd >= 0 && poll(&p, 1, 0) > 0) {
      Drain(wakeFd);
      return;
    }
    if (timeoutMs >= 0) {
      now_ += static_cast<std::uint64_t>(timeoutMs);
      return;
    }
    // Nothing is due: only another thread can bring a message.  A wait that nothing ends would
    // hang the test run; after half a minute of real time it ends with an error instead.
    if (wakeFd < 0) return;
    if (poll(&p, 1, kLongestIdleWaitMs) > 0) {
      Drain(wakeFd);
      return;
    }
    throw Exception("The offscreen display waited for input that never came");
  }
  TSize ScreenSize() override { return {1024, 768}; }
  bool InputCanArrive() const override { return false; }
  bool DecoratesWindows() const override {
    return frame_.Left > 0 || frame_.Top > 0 || frame_.Right > 0 || frame_.Bottom > 0;
  }
  RECT FrameExtents(HWND h) override {
    if (!DecoratesWindows() || !IsWindow(h) || GetParent(h) != 0) return {};
    const auto style = static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
    return (style & WS_CAPTION) == WS_CAPTION ? frame_ : RECT{};
  }
  void SimulateFrame(const RECT& thickness) override { frame_ = thickness; }

 private:
  std::uint64_t now_ = 1000;
  RECT frame_{};
};

}  // namespace

std::unique_ptr<DisplayBackend> MakeOffscreenDisplay() { return std::make_unique<OffscreenDisplay>(); }

}  // namespace tw::win

namespace tw {

RECT WindowManagerFrame(HWND hwnd) { return Display().FrameExtents(hwnd); }

void SimulateWindowManagerFrame(const RECT& thickness) { Display().SimulateFrame(thickness); }

}  // namespace tw

namespace tw::win {

}  // namespace tw::win
