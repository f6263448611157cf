// Toolbar places read back from a damaged settings store: the input's lines become the stored
// values ("Visible", "DockedTo", "DockRow", "DockPos", "FloatLeft", "FloatTop", "FloatRight",
// "FloatBottom", "FloatRightX"); loading them must leave the bar docked in a dock of the form or
// floating with its window on the screen.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/classes/registry.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "toolbars/dock.h"
#include "toolbars/floatparent.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarbutton.h"
#include "toolbars/toolbarpos.h"

using namespace tw;
using namespace tw::toolbars;

namespace {

const char* const kKey = "\\Software\\Orvelle\\TidewellFuzz";
const char* const kNames[] = {"Visible",  "DockedTo", "DockRow",    "DockPos",    "FloatLeft",
                              "FloatTop", "FloatRight", "FloatBottom", "FloatRightX"};

struct Scene {
  TForm* form = nullptr;
  TDockX* top = nullptr;
  TDockX* left = nullptr;
  TToolbarX* bar = nullptr;

  Scene() {
    SelectDisplay("offscreen");
    // Every value written is flushed to disk: a memory file system keeps that cheap.
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = std::string(folder) + "/tw_fuzz_toolbar_position_" + std::to_string(getpid()) + ".ini";
    SetSettingsStorePath(path);
    form = new TForm(Application());
    form->SetBounds(50, 50, 500, 400);
    top = new TDockX(form);
    top->SetName("DockTop");
    top->SetParent(form);
    left = new TDockX(form);
    left->SetName("DockLeft");
    left->SetPosition(TDockPosition::dpLeft);
    left->SetParent(form);
    bar = new TToolbarX(form);
    bar->SetName("ToolbarX");
    for (int i = 0; i < 3; ++i) {
      auto* b = new TToolbarButtonX(form);
      b->SetParent(bar);
      b->SetLeft(i * 23);
    }
    bar->SetDockedTo(top);
    form->Show();
  }
  ~Scene() { std::remove(path.c_str()); }
  std::string path;
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Scene& s = TheScene();
  std::vector<std::string> values(1);
  for (std::size_t i = 0; i < size && values.size() <= 9; ++i) {
    if (data[i] == '\n') values.emplace_back();
    else values.back().push_back(static_cast<char>(data[i]));
  }
  {
    TRegIniFile ini(kKey);
    ini.EraseSection("ToolbarX");
    for (std::size_t i = 0; i < values.size() && i < 9; ++i) ini.WriteString("ToolbarX", kNames[i], values[i]);
  }
  LoadToolbarPosition(s.bar, kKey);
  Application()->ProcessMessages();
  const TSize screen = Display().ScreenSize();
  if (s.bar->DockedTo() != nullptr) {
    if (s.bar->DockedTo() != s.top && s.bar->DockedTo() != s.left) __builtin_trap();
    if (s.bar->DockRow() < 0) __builtin_trap();
  } else {
    const TRect w = s.bar->FloatParent()->BoundsRect();
    if (w.Width() <= 0 || w.Width() > screen.cx || w.Left < 0 || w.Top < 0 || w.Right > screen.cx ||
        w.Bottom > screen.cy)
      __builtin_trap();
  }
  // Back to the start for the next input.
  s.bar->SetVisible(true);
  s.bar->SetFloatRect(TRect{});
  s.bar->SetFloatRightX(0);
  s.bar->SetDockRow(0);
  s.bar->SetDockPos(0);
  s.bar->SetDockedTo(s.top);
  return 0;
}
