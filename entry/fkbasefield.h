// The common engine of the single-line entry fields: edit buffer, caret and selection, data
// type, options, state, range limits, typed value access, validation with numeric error codes,
// the error report through the controller, key and mouse handling, the clipboard, focus
// protocol and painting.  Field classes supply the edit operation, the type check and the
// conversion between the edit text and a typed value.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "entry/date/dayarith.h"
#include "entry/fkcaret.h"
#include "entry/fkcolors.h"
#include "entry/fkcontroller.h"
#include "entry/fkexcept.h"
#include "entry/fkintl.h"
#include "entry/fkuserdata.h"
#include "entry/fkvalue.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/datetime.h"

namespace tw {
class TPopupMenu;
}

namespace tw::entry {

// Field error codes.
constexpr std::uint16_t ecOutOfRange = 256;
constexpr std::uint16_t ecInvalidType = 257;
constexpr std::uint16_t ecRequired = 258;
constexpr std::uint16_t ecInvalidDate = 259;
constexpr std::uint16_t ecInvalidTime = 260;
constexpr std::uint16_t ecBlanks = 261;
constexpr std::uint16_t ecPartial = 262;
constexpr std::uint16_t ecUserFirst = 32768;

enum class TZeroDisplay : std::uint8_t { zdShow, zdHide, zdHideUntilModified };
TW_ENUM_NAMES(TZeroDisplay, "zdShow", "zdHide", "zdHideUntilModified");

using TValidationErrorEvent = std::function<void(TObject* Sender, std::uint16_t ErrorCode, const std::string& ErrorMsg)>;
using TUserCommandEvent = std::function<void(TObject* Sender, std::uint16_t Command)>;
using TUserValidationEvent = std::function<void(TObject* Sender, std::uint16_t& ErrorCode)>;

bool IsNumericType(TPictureDataType t);
bool IsIntegerType(TPictureDataType t);
bool IsRealType(TPictureDataType t);
// A number read in radix 16, 8 or 2 that a field of a signed integer type wrote: a text of
// `digits` digits as wide as the type's bit pattern (or the 32-bit pattern of a range text) is
// that pattern's two's complement, so a negative number reads back as itself.
std::int64_t SignedFromPattern(std::int64_t value, std::size_t digits, int radix, TPictureDataType t);

class TFkBaseEntryField : public TFkBase {
  TW_CLASS(TFkBaseEntryField, TFkBase)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TFkBaseEntryField(TComponent* owner);
  ~TFkBaseEntryField() override;

  // ---- options
  bool ArrowIncDec() const { return arrowIncDec_; }
  void SetArrowIncDec(bool v) { arrowIncDec_ = v; if (v) autoAdvanceUpDown_ = false; OptionsChanged(); }
  bool AutoAdvanceChar = false;
  bool AutoAdvanceLeftRight = false;
  bool AutoAdvanceUpDown() const { return autoAdvanceUpDown_; }
  void SetAutoAdvanceUpDown(bool v) { autoAdvanceUpDown_ = v; if (v) arrowIncDec_ = false; OptionsChanged(); }
  bool AutoSelect = true;
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  // Height from the font: its character height plus eight border heights.
  virtual void AdjustHeight();
  void SetBounds(int left, int top, int width, int height) override;
  bool BeepOnError = true;
  TBorderStyle BorderStyle() const { return borderStyle_; }
  // A change recreates the window.
  void SetBorderStyle(TBorderStyle v);
  bool CaretToEnd() const { return caretToEnd_; }
  void SetCaretToEnd(bool v) { caretToEnd_ = v; OptionsChanged(); }
  TColor ControlCharColor = clRed;
  std::uint8_t DecimalPlaces() const { return decimalPlaces_; }
  void SetDecimalPlaces(std::uint8_t v);
  TFkColors* DisabledColors() const { return disabledColors_.get(); }
  TFkCaret* CaretIns() const { return carets_->InsertCaret(); }
  TFkCaret* CaretOvr() const { return carets_->OverwriteCaret(); }
  const TFkCaretPair* Carets() const { return carets_.get(); }
  TFkColors* ErrorColors() const { return errorColors_.get(); }
  TFkColors* HighlightColors() const { return highlightColors_.get(); }
  int Epoch() const { return epoch_; }
  void SetEpoch(int v) { if (v == 0 || (v >= 1600 && v <= 3999)) epoch_ = v; }
  bool InputRequired = false;
  bool InsertPushes() const { return insertPushes_; }
  void SetInsertPushes(bool v) { insertPushes_ = v; OptionsChanged(); }
  bool ForceInsert() const { return forceInsert_; }
  void SetForceInsert(bool v) { forceInsert_ = v; if (v) forceOvertype_ = false; OptionsChanged(); }
  bool ForceOvertype() const { return forceOvertype_; }
  void SetForceOvertype(bool v) { forceOvertype_ = v; if (v) forceInsert_ = false; OptionsChanged(); }
  std::uint16_t LastError = 0;
  std::uint16_t MaxLength() const { return maxLength_; }
  void SetMaxLength(std::uint16_t v);
  char PadChar = ' ';
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c) { passwordChar_ = c; if (c == 0) passwordMode_ = false; Invalidate(); }
  bool PasswordMode() const { return passwordMode_; }
  void SetPasswordMode(bool v) { passwordMode_ = v; Invalidate(); }
  bool ReadOnly = false;
  bool RightAlign() const { return rightAlign_; }
  void SetRightAlign(bool v);
  bool RightJustify() const { return rightJustify_; }
  void SetRightJustify(bool v);
  bool SoftValidation = false;
  bool StripLiterals() const { return stripLiterals_; }
  void SetStripLiterals(bool v) { stripLiterals_ = v; dataSize_ = 0; OptionsChanged(); }
  int TextMargin() const { return textMargin_; }
  void SetTextMargin(int v) { if (v >= 2) { textMargin_ = v; Invalidate(); } }
  bool TrimBlanks() const { return trimBlanks_; }
  void SetTrimBlanks(bool v);
  bool Uninitialized = false;
  TZeroDisplay ZeroDisplay = TZeroDisplay::zdShow;
  double ZeroDisplayValue = 0;
  TFkIntlSup* IntlSupport() const { return intl_; }
  void SetIntlSupport(TFkIntlSup* intl) { intl_ = intl != nullptr ? intl : &DefaultIntlSup(); }
  TFkUserData* UserData() const { return userData_; }

  // ---- events
  TNotifyEvent OnChange;
  TValidationErrorEvent OnError;
  TUserCommandEvent OnUserCommand;
  TUserValidationEvent OnUserValidation;

  // ---- value access
  TPictureDataType DataTypeCode() const { return static_cast<TPictureDataType>(dataTypeByte_ & 0x3F); }
  TDateTime GetAsDateTime();
  DayNumber GetAsDayNumber();
  std::string GetAsString();
  bool IsValid() const { return !invalid_; }
  void SetAsDayNumber(DayNumber d);
  void SetAsSeconds(SecondsOfDay t);
  void SetAsString(const std::string& s);
  std::uint16_t GetValue(TFkValue& value);
  void SetValue(const TFkValue& value);
  bool StrToValue(const std::string& text, TFkValue& value) const;
  // The conversion of a range text; StrToValue unless the field class reads ranges its own way.
  virtual bool RangeTextToValue(const std::string& text, TFkValue& value) const { return StrToValue(text, value); }
  std::string RangeToText(const TFkValue& range) const;
  std::string RangeHi() const { return RangeToText(rangeHi_); }
  std::string RangeLo() const { return RangeToText(rangeLo_); }
  void SetRangeHi(const std::string& text);
  void SetRangeLo(const std::string& text);
  bool GetInputRequired() const { return InputRequired; }
  const TFkValue& RangeHiValue() const { return rangeHi_; }
  const TFkValue& RangeLoValue() const { return rangeLo_; }
  int GetEpoch() const;
  // 16, 8 or 2 when the mask holds "K", "O" or "b"; else 10.
  int MaskRadix() const;
  std::uint16_t DataSize();
  bool Modified() const { return modified_; }
  int SelectionLength() const { return selEnd_ - selStart_; }
  int SelStart() const { return selStart_; }
  int SelEnd() const { return selEnd_; }
  int CaretPosition() const { return caret_; }
  const std::string& EditText() const { return editText_; }
  const std::string& Mask() const { return mask_; }

  // ---- validation and editing
  virtual bool ValidateField(bool exiting);
  virtual void MoveCaretToEnd() { caret_ = static_cast<int>(editText_.size()); }
  virtual void MoveCaretToStart() { caret_ = 0; scroll_ = 0; }
  virtual void PerformEdit(TMessage& msg, std::uint16_t command) = 0;
  virtual int FirstEditPosition() const { return 0; }
  virtual bool IsEmpty() const;
  virtual std::string GetDisplayText() const;
  virtual bool IsReadOnly() const { return ReadOnly; }
  virtual void ResetOptions();
  virtual void MoveCaretToEntry();
  // Flag 0: size, 1: edit text to value, 2: value to edit text.  Returns the data size.
  virtual std::uint16_t Transfer(TFkValue& value, int flag);
  virtual std::uint16_t ValidateType() = 0;
  virtual void MoveCaret(int pos);
  virtual void SetValueFromText(const std::string& text) { SetAsString(text); }
  virtual void IncDecValue(bool wrap, double delta) = 0;
  // Sets the edit text (cut to MaxLength).
  virtual void SetEditText(const std::string& text);
  virtual std::string GetValueText() const { return editText_; }
  virtual void ChangeMask(const std::string& mask);

  // Runs one editing command.  For ccTypedChar the message's WParam holds the character; for
  // ccPaste its LParam points to the text (a std::string) to paste.
  void PerformCommand(TMessage& msg, std::uint16_t command);
  void SetSelection(int start, int end);
  // True when a repaint is needed.
  bool UpdateCaretAndScroll(bool caretMoved);
  void MoveCaretBy(int count);
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void ClearSelection();
  void SelectAll();
  void SaveEditText();
  void Restore();
  void FocusNextControl();
  void FocusPreviousControl();
  void IncreaseValue(bool wrap, double delta);
  void DecreaseValue(bool wrap, double delta);
  // One step of Delta (either sign) for both of the above.
  void StepValue(bool wrap, double delta);
  // The edit-text position under a client x coordinate.  Left of the text area a scrolled
  // field first scrolls back by the distance in average character widths.
  int PositionAt(int x);
  bool InsertMode() const { return insertMode_; }

  // Layout of the text: the vertical offset of the text inside the frame (from the font, the
  // border, the height and the 3-D look), whether the last layout put the text against the
  // right edge, and the left and right ends of the text area in client pixels.
  int TopMargin() const { return topMargin_; }
  bool RightAlignedNow() const { return rightAlignedNow_; }
  int TextAreaLeft() const;
  int TextAreaRight() const;
  // The width of the frame drawn inside the client area: 2 for a 3-D single border, 1 for a
  // flat one, 0 without a border.
  int FrameWidth() const;

  // The field's own right-click menu (Restore, Cut, Copy, Paste, Delete, Select All), enabled
  // by the field's state; the caller owns it.  A right click shows it unless the field has a
  // PopupMenu of its own.
  TPopupMenu* CreateContextMenu();

  // The raw range limits as stored in form resources: the limit in the byte layout of the data
  // type, 10 bytes.
  void DefineProperties(TFiler* filer) override;

 protected:
  // The value of a date or time field, or BadDate / BadTime with LastError set (see
  // GetAsDateTime).
  std::int64_t ReadDateOrTime(TPictureDataType t);
  void CreateWnd() override;
  // Applies the range texts read from a form resource.
  void Loaded() override;
  void Paint() override;
  void DoOnChange();
  void DoOnError(std::uint16_t code, const std::string& text);
  void DoOnUserCommand(std::uint16_t command) { FireEvent(OnUserCommand, this, command); }
  void DoOnUserValidation(std::uint16_t& code);
  void OptionsChanged();
  // Copies the options the field classes share, each through its setter (Assign).
  void AssignOptions(const TFkBaseEntryField* o);
  void Beep();
  bool Loading() const { return ComponentState().Contains(TComponentStateFlag::csLoading); }
  void MarkModified() { modified_ = modifiedSinceSet_ = true; }
  void SetDefaultRange(TPictureDataType t);
  void ToggleInsertMode();
  void ClearToEmpty();

  // Message handlers.
  void WMKeyDown(TMessage& msg);
  void WMSysKeyDown(TMessage& msg);
  void WMChar(TMessage& msg);
  void WMGetDlgCode(TMessage& msg);
  void WMCopy(TMessage& msg);
  void WMCut(TMessage& msg);
  void WMClear(TMessage& msg);
  void WMPaste(TMessage& msg);
  void WMSetText(TMessage& msg);
  void EMGetSel(TMessage& msg);
  void EMSetSel(TMessage& msg);
  void EMGetModify(TMessage& msg);
  void EMSetModify(TMessage& msg);
  void WMLButtonDown(TMessage& msg);
  void WMLButtonDblClk(TMessage& msg);
  void WMMouseMove(TMessage& msg);
  void WMEraseBkgnd(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void CMDialogChar(TMessage& msg);
  void FKErrorReport(TMessage& msg);
  void FKGetDataSize(TMessage& msg);
  void FKFocusMove(TMessage& msg);
  void CMFontChanged(TMessage& msg);
  void WMRButtonUp(TMessage& msg);
  void CMCtl3DChanged(TMessage& msg);
  void CMEnabledChanged(TMessage& msg);
  // Recomputes the top margin from the font, border, height and 3-D look.
  void UpdateTopMargin();
  // Decides the layout of the display text: from the right when RightAlign is on and the
  // whole text fits; returns the x of the first shown character.
  int LayoutText(const std::string& shown);

  void DispatchCommand(TMessage& msg, std::uint16_t command);
  void CopySelection();

  // Data.
  std::string editText_;
  std::string mask_ = "X";
  std::uint16_t maxLength_ = 15;
  int caret_ = 0;
  int selStart_ = 0;
  int selEnd_ = 0;
  int scroll_ = 0;
  std::uint8_t dataTypeByte_ = 0;
  std::uint8_t fieldClass_ = 0;
  std::uint16_t dataSize_ = 0;
  TFkValue rangeHi_;
  TFkValue rangeLo_;
  std::unique_ptr<std::string> savedText_;
  std::string pendingRangeHi_, pendingRangeLo_;
  // Raw limits read from a form resource, decoded by the data type once loading is done.
  std::string pendingRawHi_, pendingRawLo_;
  TFkIntlSup* intl_;
  TFkUserData* userData_;

  // State flags.
  bool returning_ = false;
  bool skipValidation_ = false;
  bool focusByMouse_ = false;
  bool invalid_ = false;
  bool validating_ = false;
  bool modified_ = false;
  bool modifiedSinceSet_ = false;
  bool radix16_ = false, radix8_ = false, radix2_ = false;
  bool windowReady_ = false;
  bool focused_ = false;
  bool keepPosition_ = false;
  bool errorPending_ = false;
  bool insertMode_ = true;
  bool acceptNextChar_ = false;
  bool charAllowed_ = false;
  bool controlChar_ = false;
  bool settingValue_ = false;
  bool readingValue_ = false;
  bool transfersSuspended_ = false;

  bool arrowIncDec_ = false;
  bool autoAdvanceUpDown_ = false;
  bool caretToEnd_ = true;
  std::uint8_t decimalPlaces_ = 0;
  int epoch_ = 0;
  bool insertPushes_ = true;
  bool forceInsert_ = false;
  bool forceOvertype_ = false;
  char passwordChar_ = '*';
  bool passwordMode_ = false;
  bool rightJustify_ = false;
  bool stripLiterals_ = false;
  int textMargin_ = 2;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool rightAlign_ = false;
  bool rightAlignedNow_ = false;
  int topMargin_ = 0;
  bool trimBlanks_ = true;

  std::unique_ptr<TFkColors> disabledColors_;
  std::unique_ptr<TFkColors> errorColors_;
  std::unique_ptr<TFkColors> highlightColors_;
  std::unique_ptr<TFkCaretPair> carets_;
  bool autoSize_ = true;
  bool adjusting_ = false;
};

}  // namespace tw::entry
