// The picture-mask engine of the picture fields.  A mask says, position by position, what the
// user may type (mask characters) and what is shown fixed (literals); "$" and "," are
// semi-literals of number masks.  This class analyses the mask, tests and case-forces typed
// characters, merges a value's text into the mask and strips the edited text back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "entry/fkbasefield.h"

namespace tw::entry {

// Position kinds.
constexpr std::uint8_t pkLiteral = 0, pkEditable = 1, pkSemiLiteral = 2;

bool IsEditableMaskChar(char c);
// Case-forces `ch` by a mask character and tests it; `before` is the character before it.
bool AcceptMaskChar(char maskChar, char& ch, char before, const TFkIntlSup& intl, const TFkUserData& userData);

class TFkPictureBase : public TFkBaseEntryField {
  TW_CLASS(TFkPictureBase, TFkBaseEntryField)
 public:
  explicit TFkPictureBase(TComponent* owner);

  bool IsLiteral(int pos) const { return Kind(pos) == pkLiteral; }
  bool IsSemiLiteral(int pos) const { return Kind(pos) == pkSemiLiteral; }
  std::uint8_t Kind(int pos) const;
  // The mask character of a position (the last mask character past the mask's end).
  char MaskCharAt(int pos) const;
  const std::vector<std::uint8_t>& PictureFlags() const { return flags_; }

  void CalcPictureFlags();
  void InitPictureFlags();
  void ChangeMask(const std::string& mask) override;
  int FirstEditPosition() const override;
  int LastEditPosition() const;
  int EndOfText() const;
  bool IsEmpty() const override;
  void MoveCaret(int pos) override;
  // Caret after the last character typed (over literals), or at the first edit position.
  void MoveCaretToEnd() override;
  void MoveCaretToStart() override;
  void ResetOptions() override;

  // The value text `source` merged into the mask.  With `whole`, the merge also says whether
  // the mask shows a number's text whole: it is set false when a digit, a decimal other than a
  // trailing zero or the sign finds no position whose mask character takes it (a merge would
  // drop them and show another number).
  std::string MergeWithPicture(const std::string& source, bool* whole = nullptr) const;
  std::string StripPicture(const std::string& text) const;
  // The left currency text as a "$" run shows it just before the number; empty without "$",
  // and empty when every character of the text is one a number shows (a digit, the sign, the
  // decimal or thousands character, a blank, or what the mask's positions take): such a text
  // would read as part of the number, so it is never shown, stripped or removed.
  std::string CurrencyBeforeNumber() const;
  // Right-aligns the integer part and/or pads the decimals of a number mask's edit text.
  void FixDecimalPoint(bool justifyInteger, bool padDecimals);
  virtual void RemoveNumberDecorations();
  void RestoreNumberDecorations();
  bool HasNumberCharacters() const;
  // A field of a numeric type: only its mask's ".", "," and "$" and its radix characters make
  // a number.  Strings, dates and times keep their characters where the mask puts them.
  bool IsNumberField() const { return IsNumericType(DataTypeCode()); }
  // The position of a number field's decimal point in the mask; -1 for a mask without one and
  // for every field that holds no number.
  int DecimalPointPosition() const;
  std::string GetValueText() const override { return StripPicture(editText_.substr(0, 255)); }
  void SetEditText(const std::string& text) override { editText_ = MergeWithPicture(text); }
  void GetMaskWidth(std::uint16_t& width, std::uint16_t& decimals);

  // Case-forces `ch` by the mask character and tests it; `before` is the character before.
  bool AcceptChar(char maskChar, char& ch, char before) const;
  // Start and end (exclusive) of the run of non-literal positions around a position.
  int RunStart(int pos) const;
  int RunEnd(int pos) const;

 protected:
  void CreateWnd() override;
  bool allEditable_ = false;
  bool realType_ = false;
  bool decorationsRemoved_ = false;
  int semiLiterals_ = 0;
  int anchor_ = 0;

 private:
  std::vector<std::uint8_t> flags_;
};

}  // namespace tw::entry
