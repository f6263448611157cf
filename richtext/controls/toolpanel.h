// Tool panels of the rich-text editor.  TRiCustomToolPanel is a panel that knows the editor it
// serves and passes every state report (button pressed, released, enabled; field values) on to a
// next panel, so that several panels can be chained behind one editor; a chain that loops back
// is reported once and broken.  TRiToolPanel is a ready panel with the style, alignment and edit
// buttons; its buttons send their commands to the editor.
//
// Command numbering shared with the rich-text component: groups 0x100 style, 0x200 alignment,
// 0x300 edit, 0x400 file, 0x500 print; kind 6 is a button press, kind 7 a release.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/extctrls.h"

namespace tw::richtext {

class TRiCustomRtfEdit;

constexpr int tgStyle = 0x100;
constexpr int tgAlignment = 0x200;
constexpr int tgEdit = 0x300;
constexpr int tgFile = 0x400;
constexpr int tgPrint = 0x500;
constexpr int tkPress = 6;
constexpr int tkRelease = 7;

// Field kinds of SetField: font name, size, text colour, background colour, paragraph value.
constexpr int tfFontName = 1;
constexpr int tfSize = 2;
constexpr int tfTextColor = 3;
constexpr int tfBackColor = 4;
constexpr int tfParagraph = 10;

// The text shown when a chain of panels loops back.
constexpr const char* ToolBarLoopMessage = "Error: NextToolBar Loop";

class TRiCustomToolPanel : public TPanel {
  TW_CLASS(TRiCustomToolPanel, TPanel)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TRiCustomToolPanel(TComponent* owner);
  ~TRiCustomToolPanel() override;

  // Serves `editor`; with none, the first editor of the owner that has the focus.  Passed on.
  void Attach(TRiCustomRtfEdit* editor);
  // Each shows the state on this panel and passes it on; the result tells whether a panel of the
  // chain has the button.
  bool PressButton(int kind, int group, int number);
  bool ReleaseButton(int kind, int group, int number);
  bool EnableButton(int group, int number, bool enabled, int value);
  void SetField(int kind, const std::string& value, int extra);
  void SetFieldState(int kind, int value);
  void SetState(int value);
  int State() const { return state_; }

  TRiCustomRtfEdit* Editor() const { return editor_; }
  TRiCustomToolPanel* NextToolBar() const { return next_; }
  void SetNextToolBar(TRiCustomToolPanel* next);
  bool Movable() const { return movable_; }
  void SetMovable(bool v) { movable_ = v; }
  bool Sizeable() const { return sizeable_; }
  void SetSizeable(bool v) { sizeable_ = v; }

  // Hit test of a client point as the window system's WM_NCHITTEST answers it.
  LRESULT HitTest(int x, int y, bool leftButtonDown) const;

 protected:
  // What this panel itself does; the base class has no buttons.
  virtual void DoAttach(TRiCustomRtfEdit* /*editor*/) {}
  virtual bool DoPressButton(int /*kind*/, int /*group*/, int /*number*/) { return false; }
  virtual bool DoReleaseButton(int /*kind*/, int /*group*/, int /*number*/) { return false; }
  virtual bool DoEnableButton(int /*group*/, int /*number*/, bool /*enabled*/, int /*value*/) { return false; }
  virtual void DoSetField(int /*kind*/, const std::string& /*value*/, int /*extra*/) {}
  virtual void DoSetFieldState(int /*kind*/, int /*value*/) {}

  // Runs `own` and then `pass` on the next panel, under the loop guard.
  template <typename Own, typename Pass>
  bool Forward(Own own, Pass pass);

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void WMNCHitTest(TMessage& msg);

 private:
  void SetEditor(TRiCustomRtfEdit* editor);
  bool inForward_ = false;
  bool movable_ = false;
  bool sizeable_ = false;
  TRiCustomRtfEdit* editor_ = nullptr;
  int state_ = 0;
  TRiCustomToolPanel* next_ = nullptr;
};

// A panel with the buttons of the style group (plain, bold, italic, underline, double underline,
// strike-out, superscript, subscript), the alignment group (left, right, justified, centred) and
// the edit group (copy, cut, paste).
class TRiToolPanel : public TRiCustomToolPanel {
  TW_CLASS(TRiToolPanel, TRiCustomToolPanel)
 public:
  explicit TRiToolPanel(TComponent* owner);

  // The button of a group and number; nullptr when the panel has none.
  TSpeedButton* Button(int group, int number) const;

 protected:
  bool DoPressButton(int kind, int group, int number) override;
  bool DoReleaseButton(int kind, int group, int number) override;
  bool DoEnableButton(int group, int number, bool enabled, int value) override;

 private:
  struct Entry {
    TSpeedButton* Button;
    int Group;
    int Number;
    bool Toggles;
  };
  void AddButton(int group, int number, const std::string& caption, int groupIndex, bool toggles);
  void ButtonClicked(const Entry& entry);
  std::vector<Entry> buttons_;
  int nextX_ = 2;
};

}  // namespace tw::richtext
