// The form library's edits: TCustomStrEdit (an edit that shows its text aligned while it does
// not have the focus and can keep its last value in the settings store), TNumEdit (a number
// edit with display masks, decimals, rounding and a range check) and TDateEdit (a date edit
// with a display format).
#pragma once

#include <functional>
#include <string>

#include "platform/classes/component.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/datetime.h"

namespace tw::app {

class TCustomStrEdit : public TEdit {
  TW_CLASS(TCustomStrEdit, TEdit)
 public:
  explicit TCustomStrEdit(TComponent* owner);
  ~TCustomStrEdit() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  // Keep the last value under the form's section: restored when the form is read, stored when
  // the edit goes away.
  bool SaveDefault() const { return saveDefault_; }
  void SetSaveDefault(bool value) { saveDefault_ = value; }
  // The gap between frame and text when the edit paints its text itself.
  int TextMargin();

 protected:
  void Paint() override;
  void DoEnter() override;
  void DoExit() override;
  void Loaded() override;
  // The value stored by SaveDefault; the number and date edits store theirs.
  virtual std::string DefaultText() { return GetText(); }
  virtual void RestoreDefault(const std::string& text) { SetText(text); }
  // Keeps the focus in the edit with its text selected (after a value that cannot be taken).
  void RefuseExit();
  // Whether leaving the edit checks its text: not while the edit or its form goes away or the
  // form is hidden (no message box, no focus taken back then).
  bool ExitChecks() const;
  // Stores the default value now (the destructors of derived edits call it while they are whole).
  void StoreDefault();

 private:
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool saveDefault_ = false;
  bool hasFocus_ = false;
  bool stored_ = false;
};

// The three display masks of a number edit; changing one redraws the edit's text.
class TMasks : public TPersistent {
  TW_CLASS(TMasks, TPersistent)
 public:
  explicit TMasks(std::function<void()> changed = nullptr) : changed_(std::move(changed)) {}
  const std::string& PositiveMask() const { return positive_; }
  void SetPositiveMask(const std::string& v);
  const std::string& NegativeMask() const { return negative_; }
  void SetNegativeMask(const std::string& v);
  const std::string& ZeroMask() const { return zero_; }
  void SetZeroMask(const std::string& v);
  // Copies the three masks from another TMasks.
  void Assign(const TPersistent* source) override;
  // The float format of the three masks: positive;negative;zero (empty sections left out at the end).
  std::string FormatString() const;

 private:
  void Changed();
  std::string positive_;
  std::string negative_;
  std::string zero_;
  std::function<void()> changed_;
};

enum class TNumericType { ntExtended, ntCurrency, ntLongInt, ntPercent };
TW_ENUM_NAMES(TNumericType, "ntExtended", "ntCurrency", "ntLongInt", "ntPercent");

// The range message of the number edits.
constexpr char kRangeMessage[] = "Wert muss zwischen  %g und %g liegen";

class TCustomNumEdit : public TCustomStrEdit {
  TW_CLASS(TCustomNumEdit, TCustomStrEdit)
 public:
  explicit TCustomNumEdit(TComponent* owner);
  ~TCustomNumEdit() override;

  double Value() const { return value_; }
  // Stores the value and shows it formatted.
  void SetValue(double value);
  double Min() const { return min_; }
  void SetMin(double value) { min_ = value; }
  // 0 means no range.  A maximum below the value brings the value down to it.
  double Max() const { return max_; }
  void SetMax(double value);
  int Decimals() const { return decimals_; }
  void SetDecimals(int value);
  int Digits() const { return digits_; }
  void SetDigits(int value) { digits_ = value; }
  TNumericType NumericType() const { return numericType_; }
  // In the form designer the type presets decimals, digits and masks; at run time the stored
  // values are used as they are.
  void SetNumericType(TNumericType value);
  bool UseRounding() const { return useRounding_; }
  void SetUseRounding(bool value);
  bool Validate() const { return validate_; }
  void SetValidate(bool value) { validate_ = value; }
  // Empty text when the value is 0.
  bool LeerWennNull() const { return leerWennNull_; }
  void SetLeerWennNull(bool value);
  TMasks* Masks() const { return masks_.get(); }
  // Keeps the edit's own masks object; copies the masks and redraws.
  void SetMasks(TMasks* masks);

  // The value rounded (or cut) to Decimals places.
  double RoundedValue(double value) const;
  // The text the value is shown with.
  std::string ValueText(double value) const;
  // The text reduced to digits, "." for the decimal separator, the exponent of scientific
  // notation, and a leading "-" when the text begins or ends with one or stands in parentheses.
  static std::string ReduceText(const std::string& text);
  // Reads a text as the edit does: the text the value is shown with is the value itself; any
  // other is reduced, and is negative too when it is what the negative mask shows.
  bool ReadText(const std::string& text, double& value) const;
  // Whether the value lies in the range (any value does while Max is 0).
  bool InRange(double value) const;
  // Takes the text as the edit does when it is left: false (with the text kept) when it is not a
  // number or, with Validate, lies outside the range.
  bool CommitText();

 protected:
  void KeyPress(char& key) override;
  void DoExit() override;
  // The number read from the text, with "." as its decimal point.
  std::string DefaultText() override;
  void RestoreDefault(const std::string& text) override;

 private:
  void UpdateText();
  double value_ = 0;
  double min_ = 0;
  double max_ = 0;
  int decimals_ = 0;
  int digits_ = 0;
  TNumericType numericType_ = TNumericType::ntExtended;
  bool useRounding_ = false;
  bool validate_ = false;
  bool leerWennNull_ = false;
  std::unique_ptr<TMasks> masks_;
};

class TNumEdit : public TCustomNumEdit {
  TW_CLASS(TNumEdit, TCustomNumEdit)
 public:
  explicit TNumEdit(TComponent* owner);
  ~TNumEdit() override;
};

class TDateEdit : public TCustomStrEdit {
  TW_CLASS(TDateEdit, TCustomStrEdit)
 public:
  explicit TDateEdit(TComponent* owner);
  ~TDateEdit() override;

  TDateTime Value() const { return value_; }
  // Values before 2 January 1900 (and past the year 9999) show an empty text.
  void SetValue(TDateTime value);
  // Empty means "dd.mm.yyyy".
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& value);
  bool EmptyAllowed() const { return emptyAllowed_; }
  void SetEmptyAllowed(bool value) { emptyAllowed_ = value; }

  int AsInteger() const;
  void SetAsInteger(int value) { SetValue(value); }
  int AsLongint() const { return AsInteger(); }
  void SetAsLongint(int value) { SetValue(value); }
  double AsReal() const { return value_; }
  void SetAsReal(double value) { SetValue(value); }
  double AsDouble() const { return value_; }
  void SetAsDouble(double value) { SetValue(value); }
  // The value freshly formatted.
  std::string AsString() const;
  void SetAsString(const std::string& text);

  // Takes the text as the edit does when it is left; raises EConvertError for a text that is
  // not a date (or time) of the display format.
  void CommitText();

 protected:
  void DoExit() override;
  // The stored text is shown and, when it reads as a date, taken as the value, so that value
  // and text agree from the start; a stored text that does not read is shown as it is.
  void RestoreDefault(const std::string& text) override;

 private:
  std::string EffectiveFormat() const { return displayFormat_.empty() ? "dd.mm.yyyy" : displayFormat_; }
  TDateTime value_ = 0;
  std::string displayFormat_;
  bool emptyAllowed_ = false;
};

}  // namespace tw::app
