// Keys with modifiers on a real X server, pressed and released as quickly as a keyboard or an
// input tool gives them: every key is handled with the modifiers held when it came, not with
// those of the moment the program gets round to it.
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

}  // namespace
}  // namespace tw::app::test
