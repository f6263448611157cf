// The standard controls: labels, edits and memos, push buttons, check boxes, radio buttons and
// group boxes.  Each paints itself in the classic 3-D look with the system colours, publishes
// its properties for form descriptions, and is registered for creation by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"
#include "platform/forms/forms.h"

namespace tw {

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
TW_ENUM_NAMES(TEditCharCase, "ecNormal", "ecUpperCase", "ecLowerCase");
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
TW_ENUM_NAMES(TScrollStyle, "ssNone", "ssHorizontal", "ssVertical", "ssBoth");
enum class TBorderStyle { bsNone, bsSingle };
TW_ENUM_NAMES(TBorderStyle, "bsNone", "bsSingle");
enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
TW_ENUM_NAMES(TCheckBoxState, "cbUnchecked", "cbChecked", "cbGrayed");

// Whether `key` is the accelerator of `caption` ("&Save" has S; "&&" is a plain ampersand).
bool IsAccel(char key, const std::string& caption);
// Draws text disabled: raised in the highlight colour, then in the shadow colour.
void DrawDisabledText(TCanvas* canvas, const std::string& text, TRect r, unsigned format);

class TLabel : public TGraphicControl {
  TW_CLASS(TLabel, TGraphicControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TLabel(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* v);
  void SetText(const std::string& text) override;

 protected:
  void Paint() override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void AdjustBounds();
  unsigned TextFormat() const;
  void CMDialogChar(TMessage& msg);
  void CMFontChangedLabel(TMessage& msg);

 private:
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

// The editing engine of TEdit and TMemo: text, selection, caret, clipboard, undo, keyboard and
// mouse.  Lines of a memo are separated by CR LF in the text.
class TCustomEdit : public TCustomControl {
  TW_CLASS(TCustomEdit, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TCustomEdit(TComponent* owner);
  ~TCustomEdit() override;

  std::string GetText() const override { return TControl::GetText(); }
  void SetText(const std::string& text) override;
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  bool Modified() const { return modified_; }
  void SetModified(bool v) { modified_ = v; }

  int SelStart() const { return std::min(anchor_, caret_); }
  void SetSelStart(int v);
  int SelLength() const { return std::abs(caret_ - anchor_); }
  void SetSelLength(int v);
  std::string SelText() const;
  void SetSelText(const std::string& text);
  void SelectAll();
  void ClearSelection();
  void CutToClipboard();
  void CopyToClipboard();
  void PasteFromClipboard();
  void Undo();
  bool CanUndo() const { return canUndo_; }
  void Clear() { SetText(""); }

  TNotifyEvent OnChange;

 protected:
  virtual bool MultiLine() const { return false; }
  virtual void Change();
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DoEnter() override;
  void DoExit() override;

  // Replaces the selection as typing does (ReadOnly and MaxLength are the caller's business).
  void ReplaceSelection(const std::string& text, bool byUser);
  void SetCaret(int pos, bool extend);
  std::string DisplayText() const;
  TRect TextRect() const;
  int LineHeight();
  // Offset of the character nearest to a client point.
  int PosFromPoint(int x, int y);
  TPoint PointFromPos(int pos);
  void UpdateCaret();
  void ScrollToCaret();
  // A line as shown: [Start, End) of the text, End before the line break.
  struct TTextLine {
    int Start;
    int End;
  };
  // The lines as shown (a memo breaks at CR LF and, with WordWrap, at the width).
  virtual std::vector<TTextLine> LayoutLines();
  // The shown line holding `pos`: the last one starting at or before it.
  static int LineOfPos(const std::vector<TTextLine>& lines, int pos);
  // Called after the text, the caret or the scroll position changed (scroll bars follow).
  virtual void ScrollChanged() {}
  // Start and end of the shown line holding `pos`.
  int LineStart(int pos);
  int LineEnd(int pos);
  int WordLeft(int pos) const;
  int WordRight(int pos) const;

  void WMGetDlgCode(TMessage& msg);
  void WMSetTextEdit(TMessage& msg);
  void WMSetFocusEdit(TMessage& msg);
  void WMKillFocusEdit(TMessage& msg);
  void WMCut(TMessage& msg);
  void WMCopy(TMessage& msg);
  void WMPaste(TMessage& msg);
  void WMClear(TMessage& msg);
  void WMUndo(TMessage& msg);
  void EMGetSel(TMessage& msg);
  void EMSetSel(TMessage& msg);
  void EMReplaceSel(TMessage& msg);
  void EMGetModify(TMessage& msg);
  void EMSetModify(TMessage& msg);
  void EMLimitText(TMessage& msg);
  void EMCanUndo(TMessage& msg);
  void EMEmptyUndo(TMessage& msg);
  void EMSetReadOnly(TMessage& msg);
  void EMGetLineCount(TMessage& msg);
  void EMLineIndex(TMessage& msg);
  void EMLineFromChar(TMessage& msg);

  int caret_ = 0;
  int anchor_ = 0;
  int scrollX_ = 0;
  int scrollY_ = 0;  // first visible line

 private:
  int maxLength_ = 0;
  char passwordChar_ = 0;
  bool readOnly_ = false;
  bool autoSelect_ = true;
  bool hideSelection_ = true;
  TEditCharCase charCase_ = TEditCharCase::ecNormal;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool modified_ = false;
  bool canUndo_ = false;
  std::string undoText_;
  int undoCaret_ = 0;
  bool mouseSelecting_ = false;
  bool focusByMouse_ = false;
  bool hasCaret_ = false;
  bool focused_ = false;
};

class TEdit : public TCustomEdit {
  TW_CLASS(TEdit, TCustomEdit)
 public:
  explicit TEdit(TComponent* owner);
};

class TMemo : public TCustomEdit {
  TW_CLASS(TMemo, TCustomEdit)
 public:
  explicit TMemo(TComponent* owner);
  ~TMemo() override;
  TStrings* Lines() const { return lines_.get(); }
  void SetLines(TStrings* lines);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle v);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  // Scrolls so that `line` (of the shown lines) is the first visible one.
  void ScrollToLine(int line);
  int TopLine() const { return scrollY_; }

 protected:
  bool MultiLine() const override { return true; }
  std::vector<TTextLine> LayoutLines() override;
  void ScrollChanged() override;
  void CreateParams(TCreateParams& params) override;
  void Resize() override;
  void WMVScroll(TMessage& msg);
  void WMMouseWheel(TMessage& msg);
  int VisibleLines();
  void KeyPress(char& key) override;
  void WMGetDlgCodeMemo(TMessage& msg);
  void CMWantSpecialKey(TMessage& msg);
  TW_MESSAGE_MAP_DECLARE();

 private:
  std::unique_ptr<TStrings> lines_;
  bool wordWrap_ = true;
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  TAlignment alignment_ = TAlignment::taLeftJustify;
};

// A push button: Default buttons are clicked by Enter, Cancel buttons by Esc; a click sets the
// form's ModalResult to the button's.
class TButtonControl : public TCustomControl {
  TW_CLASS(TButtonControl, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TButtonControl(TComponent* owner);

 protected:
  void DoEnter() override;
  void DoExit() override;
  void WMGetDlgCodeButton(TMessage& msg);
  void CMDialogCharButton(TMessage& msg);
  void CMEnabledChangedButton(TMessage& msg);
  void CMTextChangedButton(TMessage& msg);
  // The caption's accelerator chooses the control (focus and click).
  virtual void AccelChosen();
  bool focused_ = false;
};

class TButton : public TButtonControl {
  TW_CLASS(TButton, TButtonControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult v) { modalResult_ = v; }
  void Click() override;
  bool Pressed() const { return pressed_; }

 protected:
  void Paint() override;
  // The face without the frame: caption (TBitBtn adds the glyph).
  virtual void PaintContent(TCanvas* canvas, TRect r, bool down);
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CMDialogKeyButton(TMessage& msg);
  // Whether this button is the one Enter clicks now: focused, or Default while no other button
  // has the focus.
  bool IsActiveDefault() const;

 private:
  bool default_ = false;
  bool cancel_ = false;
  TModalResult modalResult_ = mrNone;
  bool pressed_ = false;
  bool mouseDown_ = false;
  bool spaceDown_ = false;
};

class TCustomCheckBox : public TButtonControl {
  TW_CLASS(TCustomCheckBox, TButtonControl)
 public:
  explicit TCustomCheckBox(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);

 protected:
  void Paint() override;
  // Draws the empty box (sunken square) and answers the inner area the mark goes into.
  virtual TRect PaintBox(TCanvas* canvas, TRect box);
  virtual void PaintMark(TCanvas* canvas, TRect box) = 0;
  void KeyPress(char& key) override;
  void AccelChosen() override;
  virtual void Toggle() = 0;
  TAlignment alignment_ = TAlignment::taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
  TW_CLASS(TCheckBox, TCustomCheckBox)
 public:
  explicit TCheckBox(TComponent* owner);
  bool Checked() const { return state_ == TCheckBoxState::cbChecked; }
  void SetChecked(bool v) { SetState(v ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState v);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  void Click() override;

 protected:
  void PaintMark(TCanvas* canvas, TRect box) override;
  void Toggle() override;

 private:
  TCheckBoxState state_ = TCheckBoxState::cbUnchecked;
  bool allowGrayed_ = false;
  bool settingState_ = false;
};

class TRadioButton : public TCustomCheckBox {
  TW_CLASS(TRadioButton, TCustomCheckBox)
 public:
  explicit TRadioButton(TComponent* owner);
  bool Checked() const { return checked_; }
  // Checking one unchecks the other radio buttons of the same parent.
  void SetChecked(bool v);
  void Click() override;
  void SetParent(TWinControl* parent) override;

 protected:
  TRect PaintBox(TCanvas* canvas, TRect box) override;
  void PaintMark(TCanvas* canvas, TRect box) override;
  void Toggle() override;
  void DoEnter() override;

 private:
  // The radio buttons of one parent are one group with one Tab stop: the checked button, else
  // the first in the Tab order (the arrows move within the group).
  static void UpdateGroupTabStop(TWinControl* parent);
  bool checked_ = false;
  bool settingChecked_ = false;
};

class TGroupBox : public TCustomControl {
  TW_CLASS(TGroupBox, TCustomControl)
 public:
  explicit TGroupBox(TComponent* owner);

 protected:
  void Paint() override;
};

// Registers the classes of this module for creation by name (the program calls it at start;
// every control's own file registers it as well).
void RegisterStdControls();

}  // namespace tw
