// Keys with modifiers on a real X server, pressed and released as quickly as a keyboard or an
// input tool gives them: every key is handled with the modifiers held when it came, not with
// those of the moment the program gets round to it.
#include <array>
#include <chrono>

#include "app/forms/mainwindow.h"
#include "app/forms/tests/wmforms_test_util.h"
#include "entry/fkpicturefield.h"

namespace tw::app::test {
namespace {

class KeysX11Test : public WindowManagerFormsTest {
 protected:
  void SetUp() override {
    WindowManagerFormsTest::SetUp();
    if (IsSkipped()) return;
    StartWithKeyboard(main, options, cal);
    // What the start set going (the first list, the focus's arrival) has finished, as it has
    // before a user's first key.
    PumpUntil([] { return false; }, 20);
    // Whenever the language editor shows, it is noted and closed.
    auto* watch = new TTimer(Application());
    watch->SetInterval(30);
    watch->OnTimer = [this](TObject*) {
      for (int i = 0; i < Screen()->FormCount(); ++i) {
        TCustomForm* form = Screen()->Forms(i);
        if (form->ClassName() == "TLangEditorForm" && form->Visible()) {
          ++editorShown;
          form->SetModalResult(mrCancel);
        }
      }
    };
    watch->SetEnabled(true);
  }
  // A key with modifiers in the transit date field, all of it sent at once; true when the
  // language editor showed afterwards.  A key expected to open it is waited for as long as a
  // loaded machine may take; one expected to do nothing gets two seconds to show otherwise.
  bool EditorAfter(KeySym key, std::initializer_list<KeySym> modifiers, bool expected) {
    const int before = editorShown;
    main->dfTransDate->SetFocus();
    if (!PumpUntil([&] { return GetFocus() == main->dfTransDate->Handle(); })) ADD_FAILURE() << "no focus";
    wm->PressKey(key, modifiers);
    if (expected) {
      PumpUntil([&] { return editorShown > before; }, 3000);
    } else {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      PumpUntil([&] { return editorShown > before || std::chrono::steady_clock::now() >= end; }, 3000);
    }
    return editorShown > before;
  }

  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  TfrmCal* cal = nullptr;
  int editorShown = 0;
};

TEST_F(KeysX11Test, CtrlAltEOpensTheLanguageEditorHoweverQuicklyTheKeysComeUp) {
  EXPECT_TRUE(EditorAfter(XK_e, {XK_Control_L, XK_Alt_L}, true));
  EXPECT_TRUE(EditorAfter(XK_e, {XK_Alt_L, XK_Control_R}, true));
  // Only Ctrl and Alt together, and only with E.
  EXPECT_FALSE(EditorAfter(XK_e, {XK_Control_L}, false));
  EXPECT_FALSE(EditorAfter(XK_e, {XK_Alt_L}, false));
  EXPECT_FALSE(EditorAfter(XK_e, {XK_Shift_L, XK_Control_L, XK_Alt_L}, false));
  EXPECT_FALSE(EditorAfter(XK_r, {XK_Control_L, XK_Alt_L}, false));
  EXPECT_TRUE(EditorAfter(XK_e, {XK_Control_L, XK_Alt_L}, true));
  EXPECT_TRUE(Viewable(main->Handle()));
}

// Ctrl and E let go at the same instant, Alt a moment later, and both releases read by the
// program's idle wait before it handles E's: the key-up of E is still handled with Ctrl and Alt.
TEST_F(KeysX11Test, CtrlAltEOpensTheLanguageEditorWhenEAndCtrlComeUpTogether) {
  ::Display* x = wm->X();
  const auto key = [x](KeySym k, bool down) { XTestFakeKeyEvent(x, XKeysymToKeycode(x, k), down, CurrentTime); };
  for (const auto& [first, second, ctrl] : {std::array<KeySym, 3>{XK_Alt_L, XK_Control_R, XK_Control_R},
                                            std::array<KeySym, 3>{XK_Control_L, XK_Alt_L, XK_Control_L}}) {
    const int before = editorShown;
    main->dfTransDate->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == main->dfTransDate->Handle(); }));
    key(first, true);
    key(second, true);
    key(XK_e, true);
    key(XK_e, false);
    key(ctrl, false);
    XSync(x, False);
    // Waiting for input as when idle, until Ctrl's release has been read (if it is read at all
    // before the keys ahead of it are handled).
    bool ctrlRead = false;
    for (int i = 0; i < 20 && !(ctrlRead && GetAsyncKeyState(VK_CONTROL) >= 0); ++i) {
      Display().Wait(25, -1);
      ctrlRead = ctrlRead || GetAsyncKeyState(VK_CONTROL) < 0;
    }
    EXPECT_TRUE(PumpUntil([&] { return editorShown > before; }, 300)) << "Ctrl first: " << (first == XK_Control_L);
    key(first == ctrl ? second : first, false);
    XSync(x, False);
    PumpUntil([] { return GetAsyncKeyState(VK_MENU) >= 0; });
  }
}

}  // namespace
}  // namespace tw::app::test
