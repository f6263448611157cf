// The picture entry field: a data type and a picture mask decide how the edit text is shown,
// edited, validated and turned into a typed value.  Dates and times are edited under masks of
// the international settings.
#pragma once

#include <string>

#include "entry/fkpicturebase.h"

namespace tw::entry {

class TFkCustomPictureField : public TFkPictureBase {
  TW_CLASS(TFkCustomPictureField, TFkPictureBase)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TFkCustomPictureField(TComponent* owner);

  TPictureDataType DataType() const { return dataType_; }
  virtual void SetDataType(TPictureDataType type);
  const std::string& PictureMask() const { return pictureMask_; }
  virtual void SetPictureMask(const std::string& mask);
  bool InitDateTime() const { return initDateTime_; }
  void SetInitDateTime(bool value);
  void Assign(const TPersistent* source) override;

  std::uint16_t Transfer(TFkValue& value, int flag) override;
  std::uint16_t ValidateType() override;
  bool ValidateField(bool exiting) override;
  void SetValueFromText(const std::string& text) override;
  // Date and time range texts are read through the field's own mask.
  bool RangeTextToValue(const std::string& text, TFkValue& value) const override;
  void IncDecValue(bool wrap, double delta) override;
  void PerformEdit(TMessage& msg, std::uint16_t command) override;
  std::string GetDisplayText() const override;

 protected:
  void CreateWnd() override;
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);

 private:
  void TextEditor(TMessage& msg, std::uint16_t command);
  void CharEditor(TMessage& msg, std::uint16_t command);
  void ClearValue();
  bool TestChar(char& ch, int pos) const;
  void DeleteSelection();
  void DeleteAtCaret();
  bool InsertAtCaret(char ch, bool beep);
  void SkipLiteralsRight();
  void SkipLiteralsLeft();
  // Puts the caret within the editable span and, when it stands on a literal, on the next
  // editable position (or just past the last one).
  void KeepCaretOffLiterals();
  void Advance(int target, bool typed);
  void ExtendSelection(int oldAnchor);
  void CompleteDateTime(bool date);
  void PasteText(const std::string& text);
  bool HasFourDigitYear() const;
  // The days a mask with a two-digit year shows without changing their century: the hundred
  // years from the epoch. False when the mask's year runs are not two digits of an epoch.
  bool TwoDigitYearWindow(DayNumber& lo, DayNumber& hi) const;
  // Today, or a blank date when the mask cannot show today.
  DayNumber TodayForMask() const;
  std::string MaskText() const;
  // The number text merged into the mask; EEntryFieldError when the mask cannot show it whole.
  std::string MergedNumber(const std::string& text) const;

  TPictureDataType dataType_ = TPictureDataType::pftString;
  std::string pictureMask_ = "XXXXXXXXXXXXXXX";
  bool initDateTime_ = false;
  bool notHandled_ = false;
};

// Registers the entry controls for creation by name from form resources.
void RegisterFieldkitClasses();

class TFkPictureField : public TFkCustomPictureField {
  TW_CLASS(TFkPictureField, TFkCustomPictureField)
 public:
  using TFkCustomPictureField::TFkCustomPictureField;
};

}  // namespace tw::entry
