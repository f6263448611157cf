// The simple entry field: one mask character governs every position of a free text up to
// MaxLength characters.  It holds a string, a character, a Boolean, a yes/no value or a
// number (no dates or times).
#pragma once

#include <string>

#include "entry/fkbasefield.h"

namespace tw::entry {

using TSimpleDataType = TPictureDataType;  // the same codes, without pftDate and pftTime

class TFkCustomSimpleField : public TFkBaseEntryField {
  TW_CLASS(TFkCustomSimpleField, TFkBaseEntryField)
 public:
  explicit TFkCustomSimpleField(TComponent* owner);

  TSimpleDataType DataType() const { return DataTypeCode(); }
  virtual void SetDataType(TSimpleDataType type);
  char PictureMask() const { return pictureMask_; }
  // One of "!#123456789ABEKLOXYabilx"; anything else raises EInvalidPictureMask.
  virtual void SetPictureMask(char mask);
  // From another simple field: the data type and every option, each through its setter.
  void Assign(const TPersistent* source) override;

  std::uint16_t Transfer(TFkValue& value, int flag) override;
  std::uint16_t ValidateType() override;
  void PerformEdit(TMessage& msg, std::uint16_t command) override;
  void IncDecValue(bool wrap, double delta) override;
  std::string GetDisplayText() const override;

 protected:
  void CreateWnd() override;

 private:
  bool CheckChar(char& ch, int pos) const;
  bool AutoAdvance(int target, bool typed);
  void DeleteSelection();
  bool InsertChar(char ch);
  void TextEditor(TMessage& msg, std::uint16_t command);
  void CharEditor(TMessage& msg, std::uint16_t command);
  void ClearToEmptyValue();
  int Radix() const;

  char pictureMask_ = 'X';
  bool windowMadeBefore_ = false;
  int anchor_ = 0;
};

class TFkSimpleField : public TFkCustomSimpleField {
  TW_CLASS(TFkSimpleField, TFkCustomSimpleField)
 public:
  using TFkCustomSimpleField::TFkCustomSimpleField;
};

}  // namespace tw::entry
